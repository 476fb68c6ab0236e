#include "Spreadsheet/formula/FormulaReferences.h"

#include <gtest/gtest.h>

#include <random>

namespace zentora::spreadsheet {
namespace {

std::string Text(std::string_view formula, const FormulaReference& reference) {
  return std::string(formula.substr(reference.begin, reference.end - reference.begin));
}

TEST(FindReferencesTest, ReportsEachReferenceWithItsSpan) {
  const std::string formula = "SUM('Bob''s Records'!B2:$B$9)+A1*Summary!C$3";
  const auto found = FindReferences(formula);
  ASSERT_EQ(found.size(), 3u);
  EXPECT_EQ(Text(formula, found[0]), "'Bob''s Records'!B2:$B$9");
  EXPECT_EQ(formula.substr(found[0].areaBegin, 8), "B2:$B$9)");
  EXPECT_EQ(found[0].firstSheet, "Bob's Records");
  EXPECT_EQ(found[0].kind, AreaKind::CellRange);
  EXPECT_TRUE(found[0].last.rowAbsolute && found[0].last.columnAbsolute);
  EXPECT_FALSE(found[0].first.rowAbsolute || found[0].first.columnAbsolute);
  EXPECT_EQ(Text(formula, found[1]), "A1");
  EXPECT_FALSE(found[1].hasSheet);
  EXPECT_EQ(Text(formula, found[2]), "Summary!C$3");
  EXPECT_EQ(found[2].first.row, 3);
  EXPECT_TRUE(found[2].first.rowAbsolute);
  EXPECT_FALSE(found[2].first.columnAbsolute);
}

TEST(FindReferencesTest, TellsAreaKinds) {
  const auto found = FindReferences("SUM($A:$C)+SUM(3:5)+Data!#REF!+LOG10");
  ASSERT_EQ(found.size(), 4u);
  EXPECT_EQ(found[0].kind, AreaKind::ColumnRange);
  EXPECT_EQ(found[0].last.column, 3);
  EXPECT_EQ(found[1].kind, AreaKind::RowRange);
  EXPECT_EQ(found[1].last.row, 5);
  EXPECT_EQ(found[2].kind, AreaKind::Error);
  EXPECT_EQ(found[2].firstSheet, "Data");
  // Without a parenthesis LOG10 is the cell in column LOG, row 10.
  EXPECT_EQ(found[3].kind, AreaKind::Cell);
  EXPECT_EQ(found[3].first.row, 10);
}

TEST(FindReferencesTest, ReadsThreeDimensionalAndExternalPrefixes) {
  const auto found = FindReferences("Jan:Mar!A1+'Week 1:Week 4'!B2+[1]Sheet1!C3+'[2]Other book'!D4");
  ASSERT_EQ(found.size(), 4u);
  EXPECT_EQ(found[0].firstSheet, "Jan");
  EXPECT_EQ(found[0].lastSheet, "Mar");
  EXPECT_EQ(found[1].firstSheet, "Week 1");
  EXPECT_EQ(found[1].lastSheet, "Week 4");
  EXPECT_FALSE(found[0].external || found[1].external);
  EXPECT_TRUE(found[2].external);
  EXPECT_EQ(found[2].firstSheet, "Sheet1");
  EXPECT_TRUE(found[3].external);
  EXPECT_EQ(found[3].firstSheet, "Other book");
}

TEST(FindReferencesTest, SkipsWhatOnlyLooksLikeAReference) {
  for (const char* formula : {"\"A1\"",
                              "\"say \"\"B2\"\"\"",
                              "{1,\"B2\";3,4}",
                              "LOG10(2)",
                              "ATAN2(1,2)",
                              "_xlfn.CONCAT(\"x\")",
                              "Table1[[#This Row],[A1]]",
                              "Table1[Col'[A1']]",
                              "[@A1]",
                              "TRUE",
                              "MyName",
                              "Sheet1!MyName",
                              "R1C1",
                              "XFE1",
                              "A1048577",
                              "A0",
                              "A01",
                              "1.5E+10",
                              "#REF!",
                              "#DIV/0!",
                              "[1]!Total",
                              "'unterminated A1"}) {
    EXPECT_TRUE(FindReferences(formula).empty()) << formula;
  }
}

TEST(FindReferencesTest, KeepsSpansInsideTheTextForArbitraryInput) {
  const std::string alphabet = "AB19$:!'\"[]{}(),#.- _xZ";
  std::mt19937 random(7);
  for (int round = 0; round < 20000; ++round) {
    std::string formula(random() % 24, ' ');
    for (char& c : formula) c = alphabet[random() % alphabet.size()];
    std::size_t previousEnd = 0;
    for (const FormulaReference& reference : FindReferences(formula)) {
      ASSERT_LE(previousEnd, reference.begin) << formula;
      ASSERT_LE(reference.begin, reference.areaBegin) << formula;
      ASSERT_LT(reference.areaBegin, reference.end) << formula;
      ASSERT_LE(reference.end, formula.size()) << formula;
      previousEnd = reference.end;
    }
  }
}

}  // namespace
}  // namespace zentora::spreadsheet

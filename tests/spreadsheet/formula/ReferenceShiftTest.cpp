#include "Spreadsheet/formula/ReferenceShift.h"

#include <gtest/gtest.h>

#include "Spreadsheet/Address.h"

namespace zentora::spreadsheet {
namespace {

constexpr auto kLastRow = static_cast<std::int32_t>(kMaxRows);
const SheetOrder kSheets({"Intro", "Bob's Records", "Summary", "Jan", "Feb", "Mar"});
// Rows 5 and 6 go; row 7 becomes row 5.
const RowDeletion kDeletion{"Bob's Records", 5, 6};

struct Case {
  const char* home;
  const char* formula;
  const char* expected;
};

const Case kCases[] = {
    {"Bob's Records", "B7&\" \"&C7", "B5&\" \"&C5"},
    {"Bob's Records", "A4*2", "A4*2"},
    {"Bob's Records", "A4+A5+A6", "A4+#REF!+#REF!"},
    {"Bob's Records", "$A$7*A$8*$A9+A10", "$A$5*A$6*$A7+A8"},
    {"Bob's Records", "a9+$b$9", "A7+$B$7"},
    {"Bob's Records", "A5:A9 B7", "A5:A7 B5"},
    {"Bob's Records", "SUM(A9:A2)", "SUM(A7:A2)"},
    {"Bob's Records", "SUM(A9,\n A10)", "SUM(A7,\n A8)"},
    {"Bob's Records", "SUM(A2:A1048576)+A1048576", "SUM(A2:A1048576)+A1048574"},
    {"Bob's Records", "Summary!A9+Intro!A9+A9", "Summary!A9+Intro!A9+A7"},
    // From another sheet only references to the sheet that lost rows move.
    {"Summary", "A7+B9", "A7+B9"},
    {"Summary", "SUM('Bob''s Records'!B2:B20)", "SUM('Bob''s Records'!B2:B18)"},
    {"Summary", "SUM('Bob''s Records'!$B$5:$B$6)", "SUM('Bob''s Records'!#REF!)"},
    {"Summary", "SUM('Bob''s Records'!B5:B9)", "SUM('Bob''s Records'!B5:B7)"},
    {"Summary", "'BOB''S RECORDS'!B9", "'BOB''S RECORDS'!B7"},
    {"Summary", "VLOOKUP(A2,'Bob''s Records'!$A$2:$D$100,2,FALSE)",
     "VLOOKUP(A2,'Bob''s Records'!$A$2:$D$98,2,FALSE)"},
    {"Summary", "INDEX('Bob''s Records'!C:C,MATCH(A2,'Bob''s Records'!$A:$A,0))",
     "INDEX('Bob''s Records'!C:C,MATCH(A2,'Bob''s Records'!$A:$A,0))"},
    {"Summary", "SUM('Bob''s Records'!7:9)+SUM('Bob''s Records'!$4:$5)",
     "SUM('Bob''s Records'!5:7)+SUM('Bob''s Records'!$4:$4)"},
    {"Summary", "COUNTA('Bob''s Records'!5:6)", "COUNTA('Bob''s Records'!#REF!)"},
    {"Summary", "'Bob''s Records'!#REF!+'Bob''s Records'!A9", "'Bob''s Records'!#REF!+'Bob''s Records'!A7"},
    // What only looks like a reference is FindReferences' business (FormulaReferencesTest); an external
    // book's sheet of the same name stays.
    {"Summary", "[1]Sheet1!A9+'[1]Bob''s Records'!A9", "[1]Sheet1!A9+'[1]Bob''s Records'!A9"},
    // A defined name has no home sheet: references without a sheet stay.
    {"", "'Bob''s Records'!$A$1:$D$20,$A$9", "'Bob''s Records'!$A$1:$D$18,$A$9"},
    // A sheet span moves when it holds the sheet that lost rows.
    {"Summary", "SUM(Jan:Mar!B9)", "SUM(Jan:Mar!B9)"},
    {"Summary", "SUM(Intro:Summary!B9)", "SUM(Intro:Summary!B7)"},
    {"Summary", "SUM(Summary:Intro!B5)", "SUM(Summary:Intro!#REF!)"},
    {"Summary", "SUM('Intro:Bob''s Records'!B9:B12)", "SUM('Intro:Bob''s Records'!B7:B10)"},
    {"Summary", "SUM(Intro:Nowhere!B9)", "SUM(Intro:Nowhere!B9)"}};

TEST(RowDeletionTest, RewritesFormulasAsTheApplicationDoes) {
  for (const Case& c : kCases) {
    const Rewrite rewrite = ShiftFormulaForRowDeletion(c.formula, c.home, kDeletion, kSheets);
    EXPECT_EQ(rewrite.text, c.expected) << "formula " << c.formula << " on " << c.home;
    EXPECT_EQ(rewrite.changed, std::string_view(c.formula) != c.expected) << c.formula;
  }
}

TEST(RowDeletionTest, MatchesSheetNamesWithUnicodeCaseFolding) {
  const SheetOrder sheets({"Übersicht", "Straße"});
  EXPECT_EQ(ShiftFormulaForRowDeletion("ÜBERSICHT!A9", "Straße", {"übersicht", 1, 1}, sheets).text,
            "ÜBERSICHT!A8");
  EXPECT_TRUE(SheetOrder::SameName("ΣΊΣΥΦΟΣ", "σίσυφος"));
  EXPECT_FALSE(SheetOrder::SameName("Sheet1", "Sheet2"));
  EXPECT_EQ(sheets.Position("STRASSE"), std::nullopt) << "simple folding keeps ß apart from SS";
  EXPECT_EQ(sheets.Position("straße"), 1u);
}

TEST(RowSpanTest, MovesShrinksOrDropsSpans) {
  const RowDeletion deletion{"S", 5, 6};
  const std::pair<RowSpan, std::optional<RowSpan>> spans[] = {
      {{1, 4}, RowSpan{1, 4}},
      {{7, 9}, RowSpan{5, 7}},
      {{5, 6}, std::nullopt},
      {{6, 6}, std::nullopt},
      {{4, 5}, RowSpan{4, 4}},
      {{6, 8}, RowSpan{5, 6}},
      {{2, 9}, RowSpan{2, 7}},
      {{7, kLastRow}, RowSpan{5, kLastRow}},
      {{kLastRow, kLastRow}, RowSpan{kLastRow - 2, kLastRow - 2}}};
  for (const auto& [span, expected] : spans)
    EXPECT_EQ(ShiftRowSpan(span, deletion), expected) << span.first << ":" << span.last;
}

TEST(RangeListTest, MovesShrinksAndDropsEntries) {
  const RowDeletion deletion{"S", 5, 6};
  const Rewrite rewrite = ShiftRangeListForRowDeletion("A1:B4 A5:B6 A7:B9 D2:D10 $E$6:e$8", deletion);
  EXPECT_EQ(rewrite.text, "A1:B4 A5:B7 D2:D8 E5:E6");
  EXPECT_TRUE(rewrite.changed);
  EXPECT_EQ(ShiftRangeListForRowDeletion("C5", deletion).text, "");
  const Rewrite untouched = ShiftRangeListForRowDeletion("A1:A4 B2:B2 A:A", deletion);
  EXPECT_EQ(untouched.text, "A1:A4 B2:B2 A:A");
  EXPECT_FALSE(untouched.changed);
}

TEST(TranslateTest, MovesOnlyRelativePartsAndInvalidatesThoseMovedOffTheSheet) {
  const struct {
    const char* formula;
    std::int32_t rows, columns;
    const char* expected;
  } cases[] = {{"A1+$A$1+A$1+$A1", 2, 1, "B3+$A$1+B$1+$A3"},
               {"SUM(A:A)+SUM($A:$A)+SUM(1:1)", 2, 1, "SUM(B:B)+SUM($A:$A)+SUM(3:3)"},
               {"'My Sheet'!A1+[1]Sheet1!A1", 1, 0, "'My Sheet'!A2+[1]Sheet1!A2"},
               {"\"A1\"&A1", 1, 0, "\"A1\"&A2"},
               {"A1+Data!B1:B3+$A$1", -1, 0, "#REF!+Data!#REF!+$A$1"},
               {"XFD1", 0, 1, "#REF!"},
               {"A1+B2", 0, 0, "A1+B2"},
               {"$A$1+SUM($B:$B)", 4, 4, "$A$1+SUM($B:$B)"}};
  for (const auto& c : cases) {
    const Rewrite rewrite = TranslateFormula(c.formula, c.rows, c.columns);
    EXPECT_EQ(rewrite.text, c.expected) << c.formula;
    EXPECT_EQ(rewrite.changed, std::string_view(c.formula) != c.expected) << c.formula;
  }
}

}  // namespace
}  // namespace zentora::spreadsheet

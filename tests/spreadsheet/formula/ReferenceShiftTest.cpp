#include "Spreadsheet/formula/ReferenceShift.h"

#include <gtest/gtest.h>

#include <ostream>

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

// Names each case by its formula in test listings.
void PrintTo(const Case& c, std::ostream* out) { *out << c.home << ": " << c.formula; }

class RowDeletionTable : public testing::TestWithParam<Case> {};

TEST_P(RowDeletionTable, RewritesAsTheApplicationDoes) {
  const Case& c = GetParam();
  const Rewrite rewrite = ShiftFormulaForRowDeletion(c.formula, c.home, kDeletion, kSheets);
  EXPECT_EQ(rewrite.text, c.expected) << "formula " << c.formula << " on " << c.home;
  EXPECT_EQ(rewrite.changed, std::string_view(c.formula) != c.expected) << c.formula;
}

INSTANTIATE_TEST_SUITE_P(
    SameSheet, RowDeletionTable,
    testing::Values(Case{"Bob's Records", "B7&\" \"&C7", "B5&\" \"&C5"},
                    Case{"Bob's Records", "A4*2", "A4*2"},
                    Case{"Bob's Records", "A4+A5+A6", "A4+#REF!+#REF!"},
                    Case{"Bob's Records", "$A$7*A$8*$A9+A10", "$A$5*A$6*$A7+A8"},
                    Case{"Bob's Records", "a9+$b$9", "A7+$B$7"},
                    Case{"Bob's Records", "A5:A9 B7", "A5:A7 B5"},
                    Case{"Bob's Records", "SUM(A9:A2)", "SUM(A7:A2)"},
                    Case{"Bob's Records", "SUM(A9,\n A10)", "SUM(A7,\n A8)"},
                    Case{"Bob's Records", "SUM(A2:A1048576)+A1048576", "SUM(A2:A1048576)+A1048574"},
                    Case{"Bob's Records", "Summary!A9+Intro!A9+A9", "Summary!A9+Intro!A9+A7"}));

INSTANTIATE_TEST_SUITE_P(
    OtherSheet, RowDeletionTable,
    testing::Values(Case{"Summary", "A7+B9", "A7+B9"},
                    Case{"Summary", "SUM('Bob''s Records'!B2:B20)", "SUM('Bob''s Records'!B2:B18)"},
                    Case{"Summary", "SUM('Bob''s Records'!$B$5:$B$6)", "SUM('Bob''s Records'!#REF!)"},
                    Case{"Summary", "'Bob''s Records'!A6", "'Bob''s Records'!#REF!"},
                    Case{"Summary", "SUM('Bob''s Records'!B5:B9)", "SUM('Bob''s Records'!B5:B7)"},
                    Case{"Summary", "SUM('Bob''s Records'!B2:B6)", "SUM('Bob''s Records'!B2:B4)"},
                    Case{"Summary", "'BOB''S RECORDS'!B9", "'BOB''S RECORDS'!B7"},
                    Case{"Summary", "VLOOKUP(A2,'Bob''s Records'!$A$2:$D$100,2,FALSE)",
                         "VLOOKUP(A2,'Bob''s Records'!$A$2:$D$98,2,FALSE)"},
                    Case{"Summary", "INDEX('Bob''s Records'!C:C,MATCH(A2,'Bob''s Records'!$A:$A,0))",
                         "INDEX('Bob''s Records'!C:C,MATCH(A2,'Bob''s Records'!$A:$A,0))"},
                    Case{"Summary", "SUM('Bob''s Records'!7:9)+SUM('Bob''s Records'!$4:$5)",
                         "SUM('Bob''s Records'!5:7)+SUM('Bob''s Records'!$4:$4)"},
                    Case{"Summary", "COUNTA('Bob''s Records'!5:6)", "COUNTA('Bob''s Records'!#REF!)"},
                    Case{"Summary", "'Bob''s Records'!#REF!+'Bob''s Records'!A9",
                         "'Bob''s Records'!#REF!+'Bob''s Records'!A7"}));

INSTANTIATE_TEST_SUITE_P(
    LooksAlike, RowDeletionTable,
    testing::Values(
        Case{"Bob's Records", "LOG10(A9)+ATAN2(A9,B9)+DAYS360(A1,A9)",
             "LOG10(A7)+ATAN2(A7,B7)+DAYS360(A1,A7)"},
        Case{"Bob's Records", "LOG10+1", "LOG8+1"},
        Case{"Bob's Records", "\"A9 stays\"&A9&\"say \"\"B9\"\"\"", "\"A9 stays\"&A7&\"say \"\"B9\"\"\""},
        Case{"Bob's Records", "SUM(Table1[Amount])+Table1[[#This Row],[A9]]*A9",
             "SUM(Table1[Amount])+Table1[[#This Row],[A9]]*A7"},
        Case{"Bob's Records", "SUM({1,\"A9\";3,4})+A9", "SUM({1,\"A9\";3,4})+A7"},
        Case{"Bob's Records", "MyName+_xlfn.XLOOKUP(A9,A:A,B:B)", "MyName+_xlfn.XLOOKUP(A7,A:A,B:B)"},
        Case{"Bob's Records", "IF(ISERROR(A9),#N/A,#REF!)", "IF(ISERROR(A7),#N/A,#REF!)"},
        Case{"Summary", "[1]Sheet1!A9+'[1]Bob''s Records'!A9", "[1]Sheet1!A9+'[1]Bob''s Records'!A9"}));

INSTANTIATE_TEST_SUITE_P(ThreeDimensional, RowDeletionTable,
                         testing::Values(Case{"Summary", "SUM(Jan:Mar!B9)", "SUM(Jan:Mar!B9)"},
                                         Case{"Summary", "SUM(Intro:Summary!B9)", "SUM(Intro:Summary!B7)"},
                                         Case{"Summary", "SUM(Summary:Intro!B5)", "SUM(Summary:Intro!#REF!)"},
                                         Case{"Summary", "SUM('Intro:Bob''s Records'!B9:B12)",
                                              "SUM('Intro:Bob''s Records'!B7:B10)"},
                                         Case{"Summary", "SUM(Intro:Nowhere!B9)", "SUM(Intro:Nowhere!B9)"}));

TEST(RowDeletionTest, LeavesReferencesWithoutSheetInDefinedNames) {
  const Rewrite rewrite =
      ShiftFormulaForRowDeletion("'Bob''s Records'!$A$1:$D$20,$A$9", "", kDeletion, kSheets);
  EXPECT_EQ(rewrite.text, "'Bob''s Records'!$A$1:$D$18,$A$9");
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
  EXPECT_EQ(ShiftRowSpan({1, 4}, deletion), (RowSpan{1, 4}));
  EXPECT_EQ(ShiftRowSpan({7, 9}, deletion), (RowSpan{5, 7}));
  EXPECT_EQ(ShiftRowSpan({5, 6}, deletion), std::nullopt);
  EXPECT_EQ(ShiftRowSpan({6, 6}, deletion), std::nullopt);
  EXPECT_EQ(ShiftRowSpan({4, 5}, deletion), (RowSpan{4, 4}));
  EXPECT_EQ(ShiftRowSpan({6, 8}, deletion), (RowSpan{5, 6}));
  EXPECT_EQ(ShiftRowSpan({2, 9}, deletion), (RowSpan{2, 7}));
  EXPECT_EQ(ShiftRowSpan({7, kLastRow}, deletion), (RowSpan{5, kLastRow}));
  EXPECT_EQ(ShiftRowSpan({kLastRow, kLastRow}, deletion), (RowSpan{kLastRow - 2, kLastRow - 2}));
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

TEST(TranslateTest, MovesOnlyRelativeParts) {
  EXPECT_EQ(TranslateFormula("A1+$A$1+A$1+$A1", 2, 1).text, "B3+$A$1+B$1+$A3");
  EXPECT_EQ(TranslateFormula("SUM(A:A)+SUM($A:$A)+SUM(1:1)", 2, 1).text, "SUM(B:B)+SUM($A:$A)+SUM(3:3)");
  EXPECT_EQ(TranslateFormula("'My Sheet'!A1+[1]Sheet1!A1", 1, 0).text, "'My Sheet'!A2+[1]Sheet1!A2");
  EXPECT_EQ(TranslateFormula("\"A1\"&A1", 1, 0).text, "\"A1\"&A2");
}

TEST(TranslateTest, InvalidatesReferencesMovedOffTheSheet) {
  EXPECT_EQ(TranslateFormula("A1+Data!B1:B3+$A$1", -1, 0).text, "#REF!+Data!#REF!+$A$1");
  EXPECT_EQ(TranslateFormula("XFD1", 0, 1).text, "#REF!");
}

TEST(TranslateTest, ReportsNoChangeWhenNothingMoves) {
  const Rewrite still = TranslateFormula("A1+B2", 0, 0);
  EXPECT_EQ(still.text, "A1+B2");
  EXPECT_FALSE(still.changed);
  EXPECT_FALSE(TranslateFormula("$A$1+SUM($B:$B)", 4, 4).changed);
}

}  // namespace
}  // namespace zentora::spreadsheet

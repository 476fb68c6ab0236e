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
    {"Bob's Records", "B7&\" \"&C7+A4+A5+A6", "B5&\" \"&C5+A4+#REF!+#REF!"},
    {"Bob's Records", "$A$7*A$8*$A9+A10+a9+$b$9", "$A$5*A$6*$A7+A8+A7+$B$7"},
    {"Bob's Records", "SUM(A5:A9 B7)+SUM(A9:A2)+SUM(A9,\n A10)", "SUM(A5:A7 B5)+SUM(A7:A2)+SUM(A7,\n A8)"},
    {"Bob's Records", "SUM(A2:A1048576)+A1048576+Summary!A9+Intro!A9",
     "SUM(A2:A1048576)+A1048574+Summary!A9+Intro!A9"},
    // From another sheet only references to the sheet that lost rows move.
    {"Summary", "SUM('Bob''s Records'!B2:B20)+'BOB''S RECORDS'!B9",
     "SUM('Bob''s Records'!B2:B18)+'BOB''S RECORDS'!B7"},
    {"Summary", "SUM('Bob''s Records'!$B$5:$B$6)+SUM('Bob''s Records'!B5:B9)",
     "SUM('Bob''s Records'!#REF!)+SUM('Bob''s Records'!B5:B7)"},
    {"Summary", "INDEX('Bob''s Records'!C:C,MATCH(A2,'Bob''s Records'!$A:$A,0))",
     "INDEX('Bob''s Records'!C:C,MATCH(A2,'Bob''s Records'!$A:$A,0))"},
    {"Summary", "SUM('Bob''s Records'!7:9)+SUM('Bob''s Records'!$4:$5)+COUNTA('Bob''s Records'!5:6)",
     "SUM('Bob''s Records'!5:7)+SUM('Bob''s Records'!$4:$4)+COUNTA('Bob''s Records'!#REF!)"},
    {"Summary", "'Bob''s Records'!#REF!+'Bob''s Records'!A9", "'Bob''s Records'!#REF!+'Bob''s Records'!A7"},
    // An external book's sheet of the same name stays, and so do sheet spans without the sheet that lost
    // rows.
    {"Summary", "[1]Sheet1!A9+'[1]Bob''s Records'!A9+SUM(Jan:Mar!B9)+SUM(Intro:Nowhere!B9)",
     "[1]Sheet1!A9+'[1]Bob''s Records'!A9+SUM(Jan:Mar!B9)+SUM(Intro:Nowhere!B9)"},
    // A defined name has no home sheet: references without a sheet stay.
    {"", "'Bob''s Records'!$A$1:$D$20,$A$9", "'Bob''s Records'!$A$1:$D$18,$A$9"},
    {"Summary", "SUM(Intro:Summary!B9)+SUM(Summary:Intro!B5)+SUM('Intro:Bob''s Records'!B9:B12)",
     "SUM(Intro:Summary!B7)+SUM(Summary:Intro!#REF!)+SUM('Intro:Bob''s Records'!B7:B10)"}};

TEST(RowDeletionTest, RewritesFormulasAsTheApplicationDoes) {
  for (const Case& c : kCases) {
    const Rewrite rewrite = ShiftFormulaForRowDeletion(c.formula, c.home, kDeletion, kSheets);
    EXPECT_EQ(rewrite.text, c.expected) << "formula " << c.formula << " on " << c.home;
    EXPECT_EQ(rewrite.changed, std::string_view(c.formula) != c.expected) << c.formula;
  }
}

TEST(RowSpanTest, MovesShrinksOrDropsSpans) {
  std::string shifted;
  for (const RowSpan span :
       {RowSpan{1, 4}, {7, 9}, {5, 6}, {6, 6}, {4, 5}, {6, 8}, {2, 9}, {7, kLastRow}, {kLastRow, kLastRow}}) {
    const std::optional<RowSpan> moved = ShiftRowSpan(span, {"S", 5, 6});
    shifted += moved ? std::to_string(moved->first) + ":" + std::to_string(moved->last) + " " : "- ";
  }
  EXPECT_EQ(shifted, "1:4 5:7 - - 4:4 5:6 2:7 5:1048576 1048574:1048574 ");
}

TEST(RangeListTest, MovesShrinksAndDropsEntries) {
  std::string shifted;
  for (const char* list : {"A1:B4 A5:B6 A7:B9 D2:D10 $E$6:e$8", "C5", "A1:A4 B2:B2 A:A"}) {
    const Rewrite rewrite = ShiftRangeListForRowDeletion(list, {"S", 5, 6});
    shifted += rewrite.text + (rewrite.changed ? " (changed)|" : "|");
  }
  EXPECT_EQ(shifted, "A1:B4 A5:B7 D2:D8 E5:E6 (changed)| (changed)|A1:A4 B2:B2 A:A|");
}

TEST(TranslateTest, MovesOnlyRelativePartsAndInvalidatesThoseMovedOffTheSheet) {
  EXPECT_EQ(TranslateFormula("A1+$A$1+A$1+$A1+SUM(A:A)+SUM($A:$A)+SUM(1:1)+'My Sheet'!A1+\"A1\"", 2, 1).text,
            "B3+$A$1+B$1+$A3+SUM(B:B)+SUM($A:$A)+SUM(3:3)+'My Sheet'!B3+\"A1\"");
  EXPECT_EQ(TranslateFormula("A1+Data!B1:B3+$A$1+XFD2", -1, 1).text, "#REF!+Data!#REF!+$A$1+#REF!");
}

}  // namespace
}  // namespace zentora::spreadsheet

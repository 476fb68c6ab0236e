#include "Spreadsheet/formula/FormulaReferences.h"

#include <gtest/gtest.h>

namespace zentora::spreadsheet {
namespace {

std::string Corner(const ReferenceCorner& corner) {
  return (corner.columnAbsolute ? "$" : "") + std::to_string(corner.column) + "," +
         (corner.rowAbsolute ? "$" : "") + std::to_string(corner.row);
}

// A reference as "prefix|area [external] [sheets first:last] kind first-corner:last-corner".
std::string Describe(std::string_view formula, const FormulaReference& reference) {
  static const char* kKinds[] = {"cell", "range", "columns", "rows", "error"};
  std::string text = std::string(formula.substr(reference.begin, reference.areaBegin - reference.begin)) +
                     "|" +
                     std::string(formula.substr(reference.areaBegin, reference.end - reference.areaBegin));
  if (reference.external) text += " external";
  if (reference.hasSheet) text += " sheets " + reference.firstSheet + ":" + reference.lastSheet;
  return text + " " + kKinds[static_cast<int>(reference.kind)] + " " + Corner(reference.first) + ":" +
         Corner(reference.last);
}

struct Found {
  const char* formula;
  std::vector<std::string> references;
};

const Found kFound[] = {
    {"SUM('Bob''s Records'!B2:$B$9)+A1*Summary!C$3",
     {"'Bob''s Records'!|B2:$B$9 sheets Bob's Records:Bob's Records range 2,2:$2,$9", "|A1 cell 1,1:1,1",
      "Summary!|C$3 sheets Summary:Summary cell 3,$3:3,$3"}},
    // Without a parenthesis LOG10 is the cell in column LOG, row 10.
    {"SUM($A:$C)+SUM(3:5)+Data!#REF!+LOG10",
     {"|$A:$C columns $1,0:$3,0", "|3:5 rows 0,3:0,5", "Data!|#REF! sheets Data:Data error 0,0:0,0",
      "|LOG10 cell 8509,10:8509,10"}},
    {"Jan:Mar!A1+'Week 1:Week 4'!B2+[1]Sheet1!C3+'[2]Other book'!D4",
     {"Jan:Mar!|A1 sheets Jan:Mar cell 1,1:1,1", "'Week 1:Week 4'!|B2 sheets Week 1:Week 4 cell 2,2:2,2",
      "[1]Sheet1!|C3 external sheets Sheet1:Sheet1 cell 3,3:3,3",
      "'[2]Other book'!|D4 external sheets Other book:Other book cell 4,4:4,4"}},
    {"\"A1\"&\"say \"\"B2\"\"\"&{1,\"B2\";3,4}+LOG10(2)+ATAN2(1,2)+_xlfn.CONCAT(\"x\")", {}},
    {"Table1[[#This Row],[A1]]+Table1[Col'[A1']]+[@A1]+TRUE+MyName+Sheet1!MyName+R1C1", {}},
    {"XFE1+A1048577+A0+A01+1.5E+10+#REF!+#DIV/0!+[1]!Total", {}},
    {"'unterminated A1", {}},
};

TEST(FindReferencesTest, ReportsEachReferenceWithItsSpanSheetsAndCornersAndSkipsLookAlikes) {
  for (const Found& found : kFound) {
    std::vector<std::string> references;
    for (const FormulaReference& reference : FindReferences(found.formula))
      references.push_back(Describe(found.formula, reference));
    EXPECT_EQ(references, found.references) << found.formula;
  }
}

}  // namespace
}  // namespace zentora::spreadsheet

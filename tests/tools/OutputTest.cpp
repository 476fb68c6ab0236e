#include "Output.h"

#include <gtest/gtest.h>

#include <sstream>
#include <tuple>

namespace zentora::cli {
namespace {

TEST(Output, JsonEscapesEveryControlCharacterTableCellsStayOnOneLineAndTablesNarrowToFit) {
  EXPECT_EQ(JsonString("a\"b\\c1\n2\r3\t4\b5\f6"), R"("a\"b\\c1\n2\r3\t4\b5\f6")");
  std::string controls(1, '\0');
  for (char c = 1; c < 0x20; ++c) controls += c;
  const std::string json = JsonString(controls + '\x7F');
  for (const char c : json) EXPECT_GE(static_cast<unsigned char>(c), 0x20) << json;
  for (const char* code : {"\"\\u0000\\u0001", "\\u007F\""})
    EXPECT_NE(json.find(code), std::string::npos) << json;
  EXPECT_EQ(TableCell("a\r\nb\nc\rd") + TableCell("x\ty") + TableCell("Müller"), "a⏎b⏎c⏎dx·yMüller");

  const std::vector<std::vector<std::string>> note = {{"ID", "Notiz"}, {"k1", "Köln liegt am Rhein"}};
  const std::tuple<std::vector<std::vector<std::string>>, std::size_t, std::string> tables[] = {
      {note, 14, "ID  Notiz\n--  ----------\nk1  Köln lieg…\n"},
      {note, 0, "ID  Notiz\n--  -------------------\nk1  Köln liegt am Rhein\n"},
      {{{"Ort", "PLZ"}, {"Köln-Deutz", "51063"}},
       0,
       "Ort         PLZ\n----------  -----\nKöln-Deutz  51063\n"},
      {{{"Ort", "PLZ", "Straße"}, {"Köln", "50667", "Domkloster"}}, 5, "…  ……\n-  -…\n…  ……\n"},
      // A CR LF pair counts as one character, also where a cut falls on it.
      {{{"Notiz", "x"}, {"a\r\nb\tc", "ab\r\ncd"}}, 9, "No…  x\n---  ---\na⏎…  ab…\n"},
      {{{"N", "x"}, {"a\r\nb", "1"}}, 0, "N    x\n---  -\na⏎b  1\n"}};
  for (const auto& [rows, width, table] : tables) {
    std::ostringstream out;
    WriteTable(out,
               {rows.size(), rows[0].size(),
                [&](std::size_t row, std::vector<std::string>& cells) { cells = rows[row]; }},
               width);
    EXPECT_EQ(out.str(), table) << width;
  }
}

TEST(Output, WritersStopAskingForRowsOnceTheOutputFails) {
  std::size_t asked = 0;
  const TableRows table{1000, 1, [&](std::size_t, std::vector<std::string>& cells) {
                          ++asked;
                          cells = {"x"};
                        }};
  std::ostringstream closed;
  closed.setstate(std::ios::badbit);
  WriteTable(closed, table);
  EXPECT_EQ(asked, 1000u) << "the widths are measured, no line is made";
  asked = 0;
  WriteJsonObjects(closed, table);
  EXPECT_EQ(asked, 1u) << "the headings only";
}

}  // namespace
}  // namespace zentora::cli

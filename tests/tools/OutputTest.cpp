#include "Output.h"

#include <gtest/gtest.h>

#include <sstream>

namespace zentora::cli {
namespace {

TEST(JsonString, EscapesQuotesBackslashesAndEveryControlCharacter) {
  EXPECT_EQ(JsonString("a\"b\\c"), R"("a\"b\\c")");
  EXPECT_EQ(JsonString("1\n2\r3\t4\b5\f6"), R"("1\n2\r3\t4\b5\f6")");
  std::string controls;
  for (char c = 1; c < 0x20; ++c) controls += c;
  const std::string json = JsonString(controls + '\x7F');
  for (const char c : json) EXPECT_GE(static_cast<unsigned char>(c), 0x20) << json;
  EXPECT_NE(json.find("\\u0001"), std::string::npos);
  EXPECT_NE(json.find("\\u007F"), std::string::npos);
  EXPECT_EQ(JsonString(std::string("nul\0", 4)), R"("nul\u0000")");
}

TEST(TableCell, ShowsLineBreaksAndControlCharactersOnOneLine) {
  EXPECT_EQ(TableCell("a\r\nb\nc\rd"), "a⏎b⏎c⏎d");
  EXPECT_EQ(TableCell("x\ty"), "x·y");
  EXPECT_EQ(TableCell("Müller"), "Müller");
}

TEST(WriteTable, NarrowsTheWidestColumnsUntilALineFits) {
  const struct {
    std::vector<std::vector<std::string>> rows;
    std::size_t width;
    std::string table;
  } cases[] = {
      {{{"ID", "Notiz"}, {"k1", "Köln liegt am Rhein"}}, 14, "ID  Notiz\n--  ----------\nk1  Köln lieg…\n"},
      {{{"ID", "Notiz"}, {"k1", "Köln liegt am Rhein"}},
       0,
       "ID  Notiz\n--  -------------------\nk1  Köln liegt am Rhein\n"},
      {{{"Ort", "PLZ", "Straße"}, {"Köln", "50667", "Domkloster"}}, 5, "…  ……\n-  -…\n…  ……\n"}};
  for (const auto& example : cases) {
    std::ostringstream out;
    WriteTable(out, example.rows, example.width);
    EXPECT_EQ(out.str(), example.table) << example.width;
  }
}

}  // namespace
}  // namespace zentora::cli

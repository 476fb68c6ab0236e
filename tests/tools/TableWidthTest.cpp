// Tables fitted to a width: the widest columns give way first, cut cells end in "…".
#include <gtest/gtest.h>

#include <sstream>

#include "Output.h"

namespace zentora::cli {
namespace {

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
      {{{"Ort", "PLZ", "Straße"}, {"Köln", "50667", "Domkloster"}}, 5, "…  ……\n-  -…\n…  ……\n"},
  };
  for (const auto& example : cases) {
    std::ostringstream out;
    WriteTable(out, example.rows, example.width);
    EXPECT_EQ(out.str(), example.table) << example.width;
  }
}

}  // namespace
}  // namespace zentora::cli

#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <utility>

#include "ConditionFilter.h"
#include "GeneralItem.h"

namespace zentora::host {
namespace {

GeneralItem Contact() {
  GeneralItem item;
  item.Item_ID("K02");
  item.Item_Typ("contact");
  item.Item_Text("Jörg Weiß-Schulz");
  item.Item_Owner("anna");
  item.Item_Keywords("kunde,berlin");
  item.Item_DataSet("Ort", "München");
  item.Item_DataSet("Notiz", "a&b; c");
  return item;
}

TEST(ConditionFilters, MatchAsTheGrammarReads) {
  // Fixed names in any case, spaces around do not count; "=" compares exactly; the general item keys its
  // data fields exactly and a missing one reads ""; "~" folds simply (ß is not "ss"); "&" binds closer
  // than ";"; escaped separators and spaces belong to the value, which runs to the separator.
  GeneralItem item = Contact();
  for (const char* condition :
       {"", "type=contact", "TYPE = contact ", "type<>note", "$Ort=München", "$Fehlt=", "text~WEIß-schulz",
        "keywords~Berlin", "owner=anna&type=note;id=K02", "$Notiz=a\\&b\\; c", "$Notiz~\\ c"})
    EXPECT_TRUE(ConditionFilter(condition).Matches(item)) << condition;
  for (const char* condition :
       {"type=Contact", "$ort=München", "text~WEISS", "owner=anna&type=note", "id=K02=x"})
    EXPECT_FALSE(ConditionFilter(condition).Matches(item)) << condition;
}

TEST(ConditionFilters, MalformedExpressionsNameTheirPosition) {
  const std::tuple<const char*, std::size_t, const char*> cases[] = {
      {"type", 1, "has no operator"},           {"type=a&", 8, "empty condition"},
      {"type=a;;text=b", 8, "empty condition"}, {"=a", 1, "without a field name"},
      {"typ=a", 1, "unknown field \"typ\""},    {"type=a&$=b", 8, "\"$\" without a data field name"},
      {"text<a", 5, "unknown operator \"<\""},  {"text>a", 5, "unknown operator \">\""},
      {"text=a\\", 7, "backslash ends"}};
  for (const auto& [condition, position, says] : cases) {
    try {
      ConditionFilter filter(condition);
      ADD_FAILURE() << condition << " was accepted";
    } catch (const FilterSyntaxError& error) {
      EXPECT_EQ(error.position(), position) << condition;
      const std::string message = error.what();
      EXPECT_NE(message.find(says), std::string::npos) << message;
      EXPECT_NE(message.find("position " + std::to_string(position)), std::string::npos) << message;
    }
  }
}

}  // namespace
}  // namespace zentora::host

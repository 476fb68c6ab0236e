#include <gtest/gtest.h>

#include <string>

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
  struct Case {
    const char* condition;
    bool matches;
  };
  const Case cases[] = {
      {"", true},
      {"type=contact", true},
      {"TYPE = contact ", true},  // fixed names in any case, spaces around do not count
      {"type=Contact", false},    // "=" compares exactly
      {"type<>note", true},
      {"$Ort=München", true},
      {"$ort=München", false},  // the general item keys its data fields exactly
      {"$Fehlt=", true},        // a missing data field reads ""
      {"text~WEISS", false},    // simple folding: ß is not "ss"
      {"text~WEIß-schulz", true},
      {"keywords~Berlin", true},
      {"owner=anna&type=note", false},        // and
      {"owner=anna&type=note;id=K02", true},  // or, "&" binding closer
      {"$Notiz=a\\&b\\; c", true},            // escaped separators belong to the value
      {"$Notiz~\\ c", true},                  // an escaped space is kept
      {"id=K02=x", false},                    // the value runs to the separator
  };
  GeneralItem item = Contact();
  for (const Case& c : cases) EXPECT_EQ(ConditionFilter(c.condition).Matches(item), c.matches) << c.condition;
}

TEST(ConditionFilters, MalformedExpressionsNameTheirPosition) {
  struct Case {
    const char* condition;
    std::size_t position;
    const char* says;
  };
  const Case cases[] = {
      {"type", 1, "has no operator"},           {"type=a&", 8, "empty condition"},
      {"type=a;;text=b", 8, "empty condition"}, {"=a", 1, "without a field name"},
      {"typ=a", 1, "unknown field \"typ\""},    {"type=a&$=b", 8, "\"$\" without a data field name"},
      {"text<a", 5, "unknown operator \"<\""},  {"text>a", 5, "unknown operator \">\""},
      {"text=a\\", 7, "backslash ends"},
  };
  for (const Case& c : cases) {
    try {
      ConditionFilter filter(c.condition);
      ADD_FAILURE() << c.condition << " was accepted";
    } catch (const FilterSyntaxError& error) {
      EXPECT_EQ(error.position(), c.position) << c.condition;
      const std::string message = error.what();
      EXPECT_NE(message.find(c.says), std::string::npos) << message;
      EXPECT_NE(message.find("position " + std::to_string(c.position)), std::string::npos) << message;
    }
  }
}

}  // namespace
}  // namespace zentora::host

// The stand-in host library. What the recording notification service records, stores and finds is
// read by every component test; here only what those tests do not reach: the owner from the system
// and the per-thread service. Then the general item and the condition filter.
#include <gtest/gtest.h>
#include <pwd.h>
#include <unistd.h>

#include <stdexcept>
#include <string>
#include <thread>
#include <tuple>
#include <utility>
#include <vector>

#include "ConditionFilter.h"
#include "GeneralItem.h"
#include "HostLocationObject.h"
#include "NotificationService.h"

namespace zentora::host {
namespace {

TEST(NotificationServices, DefaultOwnerIsTheUsersLoginNameAndEachThreadHasOneServiceItMayReplace) {
  const passwd* user = getpwuid(geteuid());
  // A user without a login name gets another default.
  EXPECT_TRUE(user == nullptr || user->pw_name[0] == '\0' ||
              RecordingNotificationService::DefaultOwnerText() == user->pw_name);
  // The thread's service is created once per thread and can be replaced.
  excel::NotificationService& first = excel::ThreadNotificationService();
  EXPECT_TRUE(&excel::ThreadNotificationService() == &first &&
              dynamic_cast<RecordingNotificationService*>(&first));

  excel::NotificationService* other = nullptr;
  std::thread([&other] { other = &excel::ThreadNotificationService(); }).join();
  EXPECT_NE(other, &first);
  auto own = std::make_shared<RecordingNotificationService>("host");
  ReplaceThreadNotificationService(own);
  EXPECT_EQ(&excel::ThreadNotificationService(), own.get());
  ReplaceThreadNotificationService(nullptr);
  EXPECT_NE(&excel::ThreadNotificationService(), own.get());
}

TEST(GeneralItem, DataFieldsKeepTheirOrderAndCompareExactlyKeywordsAreAnOrderedSetOfNonEmptyTexts) {
  GeneralItem item;
  item.Item_ID("parameter");
  EXPECT_EQ(item.Item_Url(), "#parameter");
  std::vector<bool> done = {item.Item_DataSet("Condition", "$type=contact"), item.Item_DataAdd("Flags"),
                            item.Item_DataAdd("Flags"), item.Item_DataSet("Condition", "$type=firma")};
  EXPECT_EQ(item.Item_DataText("Condition"), "$type=firma");
  done.insert(done.end(), {item.Item_DataHasKey("flags"), item.Item_DataRemove("Condition"),
                           item.Item_DataRemove("Condition")});
  EXPECT_EQ(done, (std::vector<bool>{true, true, false, true, false, true, false}));
  EXPECT_EQ(item.Item_DataCount(), 1);
  EXPECT_EQ(item.Item_DataKey(1) + "|" + item.Item_DataKey(2), "Flags|");

  item.Item_Keywords("rot,,grün,rot");
  EXPECT_EQ(item.Item_Keywords(), "rot,grün");
  EXPECT_FALSE(item.Item_KeywordAdd("") || !item.Item_KeywordAdd("blau") || !item.Item_KeywordRemove("rot"));
  EXPECT_FALSE(item.Item_KeywordHas("rot"));
  EXPECT_EQ(item.Item_KeywordCount(), 2);
  EXPECT_EQ(item.Item_Keyword(2) + "|" + item.Item_Keyword(3), "blau|");
}

TEST(GeneralItem, RemembersItsLocationWithoutKeepingItAliveAndThrowsWithoutAnHonestAnswer) {
  GeneralItem item;
  auto location = std::make_shared<HostLocationObject>();
  item.Item_Init(location);
  EXPECT_EQ(item.InitObject(), location);
  location.reset();
  EXPECT_EQ(item.InitObject(), nullptr);
  EXPECT_EQ(item.Item_Location(), nullptr);
  // Members without an honest answer throw.
  EXPECT_THROW(item.Item_ToString(), std::logic_error);
  EXPECT_THROW(item.Item_LogModifyCount(), std::logic_error);
  EXPECT_EQ(item.Item_EvalAll(), -1);
  EXPECT_EQ(item.Item_GetFile("File", 0), "");
}

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
      EXPECT_TRUE(message.find(says) != std::string::npos &&
                  message.find("position " + std::to_string(position)) != std::string::npos)
          << message;
    }
  }
}

}  // namespace
}  // namespace zentora::host

#include "GeneralItem.h"

#include <gtest/gtest.h>

#include <stdexcept>

#include "HostLocationObject.h"

namespace zentora::host {
namespace {

TEST(GeneralItem, UrlIsTheIdentifierAfterAHash) {
  GeneralItem item;
  item.Item_ID("parameter");
  EXPECT_EQ(item.Item_Url(), "#parameter");
}

TEST(GeneralItem, DataFieldsKeepTheirOrderAndCompareExactly) {
  GeneralItem item;
  EXPECT_TRUE(item.Item_DataSet("Condition", "$type=contact"));
  EXPECT_TRUE(item.Item_DataAdd("Flags"));
  EXPECT_FALSE(item.Item_DataAdd("Flags"));
  EXPECT_TRUE(item.Item_DataSet("Flags", "Log"));
  EXPECT_TRUE(item.Item_DataSet("Condition", "$type=firma"));
  EXPECT_EQ(item.Item_DataCount(), 2);
  EXPECT_EQ(item.Item_DataKey(1), "Condition");
  EXPECT_EQ(item.Item_DataKey(3), "");
  EXPECT_EQ(item.Item_DataText("Condition"), "$type=firma");
  EXPECT_FALSE(item.Item_DataHasKey("flags"));
  EXPECT_TRUE(item.Item_DataRemove("Condition"));
  EXPECT_FALSE(item.Item_DataRemove("Condition"));
  EXPECT_EQ(item.Item_DataKey(1), "Flags");
}

TEST(GeneralItem, KeywordsAreAnOrderedSetOfNonEmptyTexts) {
  GeneralItem item;
  item.Item_Keywords("rot,,grün,rot");
  EXPECT_EQ(item.Item_Keywords(), "rot,grün");
  EXPECT_FALSE(item.Item_KeywordAdd(""));
  EXPECT_TRUE(item.Item_KeywordAdd("blau"));
  EXPECT_TRUE(item.Item_KeywordRemove("rot"));
  EXPECT_FALSE(item.Item_KeywordHas("rot"));
  EXPECT_EQ(item.Item_KeywordCount(), 2);
  EXPECT_EQ(item.Item_Keyword(2), "blau");
  EXPECT_EQ(item.Item_Keyword(3), "");
}

TEST(GeneralItem, RemembersItsLocationWithoutKeepingItAlive) {
  GeneralItem item;
  auto location = std::make_shared<HostLocationObject>();
  item.Item_Init(location);
  EXPECT_EQ(item.InitObject(), location);
  location.reset();
  EXPECT_EQ(item.InitObject(), nullptr);
  EXPECT_EQ(item.Item_Location(), nullptr);
}

TEST(GeneralItem, MembersWithoutAnHonestAnswerThrow) {
  GeneralItem item;
  EXPECT_THROW(item.Item_ToString(), std::logic_error);
  EXPECT_THROW(item.Item_LogModifyCount(), std::logic_error);
  EXPECT_EQ(item.Item_EvalAll(), -1);
  EXPECT_EQ(item.Item_GetFile("File", 0), "");
}

}  // namespace
}  // namespace zentora::host

#include "GeneralItem.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <vector>

#include "HostLocationObject.h"

namespace zentora::host {
namespace {

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

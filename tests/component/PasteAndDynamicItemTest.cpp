#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "ComponentFixture.h"
#include "ConditionFilter.h"
#include "GeneralItem.h"
#include "ItemEnumerator.h"
#include "item/Item.h"
#include "outside/Guid.h"
#include "text/Stamps.h"

namespace zentora::excel::testing {
namespace {

const Grid kContacts = {
    {"ID", "TYPE", "TEXT", "Vorname", "OWNER", "LOG"},
    {"a1", "contact", "Anna Müller", "Anna", "anna", "20240101120000"},
    {"b2", "contact", "Bernd Weiß", "Bernd", "bernd", "20240102120000"},
};

TEST(TextFormFields, FieldValueTakesTheExactKeyBehindEscapedBars) {
  const std::pair<const char*, const char*> cases[] = {
      {"ID=k1|Type=contact", "k1"}, {"id=k1|ID=k2", "k2"},     {"Id=k1", ""},     {"Text=a\\|ID=x|ID=y", "y"},
      {"Text=a\\\\|ID=y", "y"},     {"ID=k\\|1|ID=k2", "k|1"}, {"Text=x|ID", ""}, {"ID=a=b", "a=b"}};
  for (const auto& [text, id] : cases) EXPECT_EQ(FieldValue(text, "ID"), id) << text;
}

using Pasting = ComponentTest;

TEST_F(Pasting, KnownIDsUpdateInPlaceOthersAppendMissingOnesGetAGuidAndOnlyAConnectedPasteIsTold) {
  CountingGuidSource guids;
  const GuidOverride predictable(guids);
  const std::string path = Book("Kontakte.xlsx", kContacts);
  auto location = Open(path);
  service->ClearNotifications();
  const auto updated = location->PasteItem("ID=B2|Type=person|Text=Bernd W.", false);
  // Vorname is not carried by the text; the owner is the service's default.
  EXPECT_EQ((Texts{updated->Item_DataText("Vorname"), updated->Item_Owner()}), (Texts{"", "tester"}));
  EXPECT_TRUE(updated->Item_Notify() && hostLocation->Changed() && StampAge(updated->Item_LogString()) >= 0);
  EXPECT_EQ(Codes(), Numbers{});  // an unconnected paste into an existing row goes untold
  const auto pasted = location->PasteItem("ID=a1|Text=Anna M.", true);
  ASSERT_EQ(Codes(), Numbers{37});
  EXPECT_TRUE(service->Notifications()[0].text == "ID=a1|Text=Anna M." &&
              service->Notifications()[0].object == pasted);

  EXPECT_EQ(location->PasteItem("ID=k9|Text=Karl|DataVorname=Karl|Owner=karl", false)->Item_Owner(), "karl");
  // Each new row is keyed by a GUID first; the one written into the cell without ID is the next.
  const std::string id = location->PasteItem("Type=note|Text=Ohne Kennung", true)->Item_ID();
  EXPECT_EQ(id, "{00000000-0000-4000-8000-000000000003}");
  const auto codes = Codes();
  EXPECT_EQ(std::count(codes.begin(), codes.end(), 37), 2);  // a new row also tells its own writes
  EXPECT_EQ(Keys(location->Items), (Texts{"a1", "B2", "k9", id}));
  location->Disconnect();
  EXPECT_EQ(Open(path)->GetItem(id)->Item_Text(), "Ohne Kennung");
}

TEST_F(Pasting, FileAndPathFieldsGiveTypeAndText) {
  auto location = Open(Book("Kontakte.xlsx", kContacts));
  const std::vector<std::string> cases[] = {
      {"ID=f1|DataFile=x", "file", "Bericht 2024.pdf"},
      {"ID=f2|DataFile=x|DataPath=y", "path", "Archiv"},
      {"ID=f3|Type=File|DataFile=x", "File", ""},  // only the exact type takes the file's name
      {"ID=f4|Type=file|Text=Titel|DataFile=x", "file", "Titel"}};
  for (const auto& c : cases) {
    auto general = std::make_shared<host::GeneralItem>();
    general->Item_ID(FieldValue(c[0], "ID"));
    service->StoreFile(general, "File", "C:\\Ablage/2024\\ Bericht 2024.pdf ", "");
    service->StoreFile(general, "Path", "/srv/daten/Archiv", "");
    const auto pasted = location->PasteItem(c[0], false);
    EXPECT_EQ((Texts{c[0], pasted->Item_Typ(), pasted->Item_Text()}), c);
  }
}

using DynamicItems = ComponentTest;

TEST_F(DynamicItems, OneObjectFollowsTheLatestBindingUntilTheNextOpeningAndFormsNoCycleWithItsLocation) {
  auto location = Open(Book("Kontakte.xlsx", kContacts));
  auto first = location->DynamicItem(1);
  EXPECT_TRUE(first->Item_Notify());
  EXPECT_EQ(location->DynamicItem(2), first);
  EXPECT_EQ(first->Item_ID(), "b2");
  EXPECT_TRUE(location->GetDynamicItem("A1") == first && !location->GetDynamicItem("zz"));
  EXPECT_EQ(first->Item_Text(), "Anna Müller");  // left where it was
  EXPECT_EQ(hostLocation->ChangeCounter(), 1);   // created once
  // The old object still reads its identifier's row through the location, wherever that row now is.
  location->OpenLocation(Book("Umgestellt.xlsx", {{"ID", "TEXT"}, {"b2", "x"}, {"a1", "Anna neu"}}));
  EXPECT_NE(location->DynamicItem(2), first);
  const std::weak_ptr<Location> watched = location;
  location.reset();
  EXPECT_EQ(first->Item_Text(), "Anna neu");  // the host's reference holds the location
  watched.lock()->Disconnect();
  first.reset();
  EXPECT_TRUE(watched.expired());
}

TEST_F(DynamicItems, EnumeratorYieldsTheMatchingItemsInRowOrder) {
  auto location = Open(Book("Kontakte.xlsx", kContacts));
  hostLocation->SetStore(location);
  for (const auto& [condition, ids] : {std::pair<const char*, std::vector<std::string>>{"", {"a1", "b2"}},
                                       {"$Vorname~ERN", {"b2"}},
                                       {"type=contact&owner=nobody", {}}}) {
    std::shared_ptr<FilterExpression> filter = std::make_shared<host::ConditionFilter>(condition);
    const auto enumerator = std::dynamic_pointer_cast<host::ItemEnumerator>(location->CreateEnum(filter));
    std::vector<std::string> found;
    while (const auto item = enumerator->Next()) found.push_back(item->Item_ID());
    EXPECT_EQ(found, ids) << condition;
  }
  EXPECT_EQ(hostLocation->ChangeCounter(), 1);  // the walks used the one shared item
}

}  // namespace
}  // namespace zentora::excel::testing

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "ComponentFixture.h"
#include "ConditionFilter.h"
#include "Error.h"
#include "GeneralItem.h"
#include "ItemEnumerator.h"
#include "item/Item.h"
#include "location/Location.h"
#include "outside/Guid.h"
#include "text/Stamps.h"

namespace zentora::excel::testing {
namespace {

const Grid kContacts = {
    {"ID", "TYPE", "TEXT", "Vorname", "OWNER", "LOG"},
    {"a1", "contact", "Anna Müller", "Anna", "anna", "20240101120000"},
    {"b2", "contact", "Bernd Weiß", "Bernd", "bernd", "20240102120000"},
};

TEST(FieldValues, FindTheExactKeyBehindEscapedBars) {
  struct Case {
    const char* text;
    const char* key;
    const char* value;
  };
  const Case cases[] = {
      {"ID=k1|Type=contact", "ID", "k1"},
      {"id=k1|ID=k2", "ID", "k2"},                 // the lower-case key is another key
      {"Id=k1", "ID", ""},                         // no exact key at all
      {"Text=a\\|ID=fake|ID=real", "ID", "real"},  // an escaped bar ends no field
      {"Text=a\\\\|ID=real", "ID", "real"},        // an escaped backslash does not escape the bar
      {"ID=k\\|1|ID=k2", "ID", "k|1"},             // the value is unescaped
      {"Text=x|ID", "ID", ""},                     // a name without "=" has an empty value
      {"Text=a=b", "Text", "a=b"},                 // the name ends at the first "="
      {"", "ID", ""},
  };
  for (const Case& c : cases) EXPECT_EQ(FieldValue(c.text, c.key), c.value) << c.text;
}

TEST(PathFileNames, TakeWhatFollowsTheLastSeparatorOfEitherKind) {
  EXPECT_EQ(PathFileName("C:\\Daten/Berichte\\ Jahr 2024.pdf "), "Jahr 2024.pdf");
  EXPECT_EQ(PathFileName("/srv\\share/Bericht.txt"), "Bericht.txt");
  EXPECT_EQ(PathFileName("  Notiz.txt  "), "Notiz.txt");
  EXPECT_EQ(PathFileName("ordner/"), "");
}

using Pasting = ComponentTest;

TEST_P(Pasting, KnownIDRewritesItsRowInPlaceWithDefaultsAndNoCount) {
  auto location = Open(Book("Kontakte.xlsx", kContacts));
  service->ClearNotifications();
  const auto pasted = location->PasteItem("ID=B2|Type=person|Text=Bernd W.", false);

  EXPECT_EQ(location->Count(), 2);
  EXPECT_EQ(location->RowOfID("B2"), 3);
  EXPECT_EQ(pasted->Item_Text(), "Bernd W.");
  EXPECT_EQ(pasted->Item_DataText("Vorname"), "");  // not carried by the text
  EXPECT_EQ(pasted->Item_Owner(), "tester");        // the service's default owner
  EXPECT_EQ(pasted->Item_LogString().size(), 14U);
  EXPECT_GE(StampAge(pasted->Item_LogString()), 0);
  EXPECT_TRUE(pasted->Item_Notify());
  EXPECT_TRUE(hostLocation->Changed());
  // Notifications stay off until the defaults are in, and switching them on tells nothing.
  EXPECT_EQ(Codes(), std::vector<std::int32_t>{});
  EXPECT_EQ(location->GetItem("a1")->Item_Text(), "Anna Müller");
}

TEST_P(Pasting, UnknownIDAppendsARowBearingIt) {
  const std::string path = Book("Kontakte.xlsx", kContacts);
  auto location = Open(path);
  const auto pasted = location->PasteItem("ID=k9|Type=contact|Text=Karl|DataVorname=Karl|Owner=karl", false);
  EXPECT_EQ(location->Count(), 3);
  EXPECT_EQ(Keys(location->Items), (std::vector<std::string>{"a1", "b2", "k9"}));
  EXPECT_EQ(pasted->Item_Owner(), "karl");
  location->Disconnect();
  EXPECT_EQ(Read(path, 4, 4)[3], (std::vector<std::string>{"k9", "contact", "Karl", "Karl"}));
}

TEST_P(Pasting, TextWithoutIDGetsAGuidThatIsWrittenAndFoundAfterReopening) {
  CountingGuidSource guids;
  const GuidOverride predictable(guids);
  const std::string path = Book("Kontakte.xlsx", kContacts);
  auto location = Open(path);
  const std::string id = location->PasteItem("Type=note|Text=Ohne Kennung", false)->Item_ID();
  // The row's first GUID keys the new row; the second is the one written into its cell.
  EXPECT_EQ(id, "{00000000-0000-4000-8000-000000000002}");
  EXPECT_EQ(Keys(location->Items).back(), id);
  location->Disconnect();

  auto reopened = Open(path);
  ASSERT_EQ(reopened->Count(), 3);
  EXPECT_EQ(reopened->GetItem(id)->Item_Text(), "Ohne Kennung");
}

TEST_P(Pasting, FileAndPathFieldsGiveTypeAndText) {
  auto location = Open(Book("Kontakte.xlsx", kContacts));
  struct Case {
    const char* text;
    const char* type;
    const char* title;
  };
  // The host's recorded file paths answer Item_GetFile; the item's own Data fields decide the type.
  const Case cases[] = {
      {"ID=f1|DataFile=x", "file", "Bericht 2024.pdf"},
      {"ID=f2|DataFile=x|DataPath=y", "path", "Archiv"},
      {"ID=f3|Type=File|DataFile=x", "File", ""},  // only the exact type takes the file's name
      {"ID=f4|Type=file|Text=Eigener Titel|DataFile=x", "file", "Eigener Titel"},
  };
  for (const Case& c : cases) {
    const std::string id = FieldValue(c.text, "ID");
    auto general = std::make_shared<host::GeneralItem>();
    general->Item_ID(id);
    service->StoreFile(general, "File", "C:\\Ablage/2024\\ Bericht 2024.pdf ", "");
    service->StoreFile(general, "Path", "/srv/daten/Archiv", "");
    const auto pasted = location->PasteItem(c.text, false);
    EXPECT_EQ(pasted->Item_Typ(), c.type) << c.text;
    EXPECT_EQ(pasted->Item_Text(), c.title) << c.text;
  }
}

TEST_P(Pasting, ConnectedPasteIsToldOnceWithTheTextAfterTheDefaults) {
  auto location = Open(Book("Kontakte.xlsx", kContacts));
  const std::string text = "ID=a1|Type=contact|Text=Anna M.";
  service->ClearNotifications();
  location->PasteItem(text, false);
  EXPECT_EQ(Codes(), std::vector<std::int32_t>{});

  const auto pasted = location->PasteItem(text, true);
  ASSERT_EQ(Codes(), std::vector<std::int32_t>{37});
  EXPECT_EQ(service->Notifications()[0].text, text);
  EXPECT_EQ(service->Notifications()[0].object, pasted);
  EXPECT_EQ(pasted->Item_Owner(), "tester");  // filled in before the host was told

  service->ClearNotifications();
  location->PasteItem("Text=neu", true);  // a new row notifies its own writes, and 37 once
  const auto codes = Codes();
  EXPECT_EQ(std::count(codes.begin(), codes.end(), 37), 1);
}

INSTANTIATE_TEST_SUITE_P(Backends, Pasting, kBothBackends, BackendName);

using DynamicItems = ComponentTest;

TEST_P(DynamicItems, OneObjectFollowsTheLatestBindingAndIsCreatedOnce) {
  auto location = Open(Book("Kontakte.xlsx", kContacts));
  const auto first = location->DynamicItem(1);
  EXPECT_EQ(hostLocation->ChangeCounter(), 1);
  EXPECT_TRUE(first->Item_Notify());
  const auto second = location->DynamicItem(2);
  EXPECT_EQ(first, second);
  EXPECT_EQ(first->Item_ID(), "b2");
  EXPECT_EQ(location->GetDynamicItem("A1"), first);
  EXPECT_EQ(second->Item_Text(), "Anna Müller");
  EXPECT_EQ(location->GetDynamicItem("zz"), nullptr);  // leaves it where it was
  EXPECT_EQ(first->Item_ID(), "a1");
  EXPECT_EQ(hostLocation->ChangeCounter(), 1);  // nothing created after the first request

  location->OpenLocation(folder.Path("Kontakte.xlsx"));
  const auto fresh = location->DynamicItem(1);
  EXPECT_NE(fresh, first);
  EXPECT_EQ(first->Item_ID(), "a1");  // the old object still reads through its location
}

TEST_P(DynamicItems, LocationAndSharedItemFormNoCycle) {
  std::weak_ptr<Location> watched;
  std::weak_ptr<HostItem> item;
  {
    auto location = Open(Book("Kontakte.xlsx", kContacts));
    watched = location;
    item = location->DynamicItem(1);
    location->Disconnect();
  }
  EXPECT_TRUE(watched.expired());
  EXPECT_TRUE(item.expired());

  // A reference the host keeps holds the location, and the item works on.
  std::shared_ptr<HostItem> kept;
  {
    auto location = Open(Book("Kontakte.xlsx", kContacts));
    watched = location;
    kept = location->GetDynamicItem("b2");
  }
  EXPECT_FALSE(watched.expired());
  EXPECT_EQ(kept->Item_Text(), "Bernd Weiß");
  watched.lock()->Disconnect();
  kept.reset();
  EXPECT_TRUE(watched.expired());
}

TEST_P(DynamicItems, EnumeratorYieldsTheMatchingItemsInRowOrder) {
  auto location = Open(Book("Kontakte.xlsx", kContacts));
  std::shared_ptr<FilterExpression> filter;
  EXPECT_THROW(location->CreateEnum(filter), std::invalid_argument);  // the host object knows no store
  hostLocation->SetStore(location);
  for (const auto& [condition, expected] :
       {std::pair<const char*, std::vector<std::string>>{"", {"a1", "b2"}},
        {"$Vorname~ERN", {"b2"}},
        {"owner=anna;$Vorname=Bernd", {"a1", "b2"}},
        {"type=contact&owner=nobody", {}}}) {
    filter = std::make_shared<host::ConditionFilter>(condition);
    const auto enumerator = std::dynamic_pointer_cast<host::ItemEnumerator>(location->CreateEnum(filter));
    ASSERT_TRUE(enumerator);
    std::vector<std::string> ids;
    while (const auto item = enumerator->Next()) ids.push_back(item->Item_ID());
    EXPECT_EQ(ids, expected) << condition;
  }
  EXPECT_EQ(hostLocation->ChangeCounter(), 1);  // the walk used the one shared item
}

INSTANTIATE_TEST_SUITE_P(Backends, DynamicItems, kBothBackends, BackendName);

}  // namespace
}  // namespace zentora::excel::testing

#include "location/Location.h"

#include <gtest/gtest.h>

#include "ComponentFixture.h"
#include "Error.h"
#include "GeneralItem.h"
#include "outside/Guid.h"

namespace zentora::excel::testing {
namespace {

const Grid kThreeContacts = {
    {"ID", "TYPE", "TEXT", "Vorname", "Ort"},
    {"a1", "contact", "Anna Müller", "Anna", "Köln"},
    {"b2", "contact", "Bernd Weiß", "Bernd", "Gießen"},
    {"c3", "contact", "Clara Öztürk", "Clara", "Düsseldorf"},
};

using Loading = ComponentTest;

TEST_F(Loading, MissingFileBecomesNewWorkbookWithDefaultHeadings) {
  auto location = Open(folder.Path("Neu.xlsx"));
  EXPECT_EQ((Numbers{location->IDfield, location->ColumnCount(), location->Count()}), (Numbers{1, 5, 0}));
  EXPECT_EQ(Keys(location->tablemapping), (Texts{"type", "text", "$Vorname", "$Nachname", "id"}));
  location->Disconnect();
  EXPECT_EQ(Read(folder.Path("Neu.xlsx"), 1, 5), (Grid{{"ID", "TYPE", "TEXT", "Vorname", "Nachname"}}));
}

TEST_F(Loading, HeadingsMapExactlyAndTheIdentifierColumnIsAppendedOrTakesAnEmptyHeadingsPlace) {
  auto location = Open(Book("Koepfe.xlsx", {{"id", "Type", "Date", "TXT", "DATUM", "TYP"}, {"x", "y"}}));
  EXPECT_EQ(Keys(location->tablemapping), (Texts{"$id", "$Type", "$Date", "text", "datum", "type", "id"}));
  EXPECT_EQ((Numbers{location->IDfield, location->ColumnCount(), location->Count()}), (Numbers{7, 7, 1}));
  location->Disconnect();

  location = Open(Book("Luecke.xlsx", {{"TEXT", "Ort", "", "ID"}, {"Eins", "Bonn", "", "k1"}}));
  EXPECT_EQ((Numbers{location->IDfield, location->ColumnCount(), location->GetField("$ID")}),
            (Numbers{3, 3, 0}));
  location->Disconnect();
  EXPECT_EQ(Read(folder.Path("Luecke.xlsx"), 1, 4)[0], (Texts{"TEXT", "Ort", "ID", "ID"}));
}

TEST_F(Loading, RowsWithoutIdentifierGetOneAndTheFirstEmptyRowEndsTheItems) {
  CountingGuidSource guids;
  GuidOverride guidOverride(guids);
  Grid grid = {{"ID", "TEXT"}, {"", "ohne Kennung"}, {"*", "Stern"}, {"k4", "mit Kennung"}};
  grid.push_back({"", "", "", "", "", "", "", "", "", "", "jenseits Spalte 10"});
  grid.push_back({"k6", "nach dem Ende"});
  auto location = Open(Book("Zeilen.xlsx", grid));
  const Texts ids = {"{00000000-0000-4000-8000-000000000001}", "{00000000-0000-4000-8000-000000000002}",
                     "k4"};
  EXPECT_EQ(Keys(location->Items), ids);
  location->Disconnect();
  EXPECT_EQ(Read(folder.Path("Zeilen.xlsx"), 4, 1), (Grid{{"ID"}, {ids[0]}, {ids[1]}, {"k4"}}));
}

TEST_F(Loading, DuplicateHeadingsOrIdentifiersFailWithTheCollectionsError) {
  const std::pair<Grid, std::string> cases[] = {
      {{{"ID", "TYP", "TYPE"}}, "type"},
      {{{"ID", "TEXT", "TEXT"}}, "text"},
      {{{"ID", "Straße", "STRASSE", "STRAßE"}}, "data field \"STRAßE\""},
      {{{"ID", "TEXT"}, {"Ärger", "x"}, {"ärger", "y"}}, "ärger"}};
  for (const auto& [grid, key] : cases) {
    const std::string path = Book(key + ".xlsx", grid);
    auto location = Location::Create(Factory());
    ExpectError([&] { location->OpenLocation(path); }, ErrorCode::DuplicateKey, key);
  }
}

TEST_F(Loading, IndexesAndTextFormatsTheRowsReopeningSavesTheOpenWorkbookAndReloadsOnlyTheNewOne) {
  const std::string first = Book("Erste.xlsx", kThreeContacts);
  auto location = Open(first);
  EXPECT_EQ(Entries(location->Items), (Texts{"a1=2", "b2=3", "c3=4"}));
  EXPECT_EQ(record->formats.size(), 15U);
  EXPECT_EQ(record->formats.rbegin()->first, std::make_pair(4, 5)) << "rows 2 to 4, columns 1 to 5";
  location->WriteSheet(2, "text", "geändert");
  location->RowOfID("a1");
  location->OpenLocation(Book("Zweite.xlsx", {{"ID", "TEXT"}, {"z9", "Zett"}}));
  EXPECT_EQ(Keys(location->Items), (Texts{"z9"}));
  EXPECT_EQ(std::make_pair(location->DataList.Count(), location->LastKey), std::make_pair(0, std::string()));
  location->Disconnect();
  EXPECT_EQ(Read(first, 2, 3)[1][2], "geändert");
}

TEST_F(Loading, InitLocationFillsTheHostSettingsItem) {
  auto location = Location::Create(Factory());
  location->LocObject = hostLocation;
  EXPECT_TRUE(location->InitLocation("ignored"));
  auto settings = std::dynamic_pointer_cast<host::GeneralItem>(hostLocation->SettingsItem());
  ASSERT_TRUE(settings);
  EXPECT_TRUE(settings->InitObject() == location && settings->UserMode() && settings->Item_Notify());
  EXPECT_EQ((Texts{settings->Item_ID(), settings->Item_Typ(), settings->Item_Text(),
                   settings->Item_DataText("Condition"), settings->Item_DataText("Flags")}),
            (Texts{"parameter", "parameter", "Parameter", "$type=contact", "KeywordTree,Log,DataFix"}));
  ExpectError([&] { Location::Create(Factory())->InitLocation(""); }, ErrorCode::NotOpen);
}

TEST_F(ComponentTest, DisconnectSavesClosesQuitsSkipsFailingStepsAndKeepsTheCollections) {
  for (const bool failing : {false, true}) {
    const std::string path = Book(failing ? "Fehler.xlsx" : "Schluss.xlsx", kThreeContacts);
    auto location = Open(path);
    if (failing) record->failing = {"SaveAs", "Close", "Quit"};
    record->calls.clear();
    location->Disconnect();
    record->failing.clear();
    EXPECT_EQ(record->calls, (Texts{"SaveAs " + path + " 1", "Close", "Quit"}));
    EXPECT_EQ((Numbers{location->Count(), location->Items.Count()}), (Numbers{0, 3}));
    location->Disconnect();
    location->Save();
    EXPECT_EQ(record->calls.size(), 3U);
  }
  ExpectError([&] { Open(folder.Path("fehlt/Neu.xlsx")); }, ErrorCode::Spreadsheet, "fehlt/Neu.xlsx");
}

TEST_F(ComponentTest,
       WritesAppendColumnsThatReopenAsTheSameFieldsAFailedOneKeepsItsColumnEachHeadingFindsItsOwn) {
  const std::string path = Book("Anbau.xlsx", kThreeContacts);
  auto location = Open(path);
  EXPECT_EQ(location->ReadSheet(4, "owner"), "");  // no column yet
  EXPECT_TRUE(location->WriteSheet(2, "$Telefon", ""));
  EXPECT_EQ(location->ColumnCount(), 5) << "an empty text adds no column";
  EXPECT_TRUE(location->WriteSheet(3, "$Telefon", "+49 221 12345"));
  EXPECT_TRUE(location->WriteSheet(4, "owner", "grün"));
  EXPECT_TRUE(location->WriteSheet(2, "Farbe", "blau"));
  EXPECT_THROW(location->WriteSheet(0, "$Fax", "1"), std::exception);
  EXPECT_EQ(Entries(location->DataList), (Texts{"Vorname", "Ort", "Telefon", "Fax"}));
  for (std::int32_t row = 2; row <= 4; ++row) EXPECT_EQ((record->formats[{row, 6}]), "@");
  location->Disconnect();
  ExpectError([&] { location->WriteSheet(2, "$Mobil", "2"); }, ErrorCode::NotOpen);
  EXPECT_EQ((Numbers{location->ColumnCount(), location->GetField("$Mobil")}), (Numbers{10, 10}));

  location->OpenLocation(path);
  EXPECT_EQ(
      (Numbers{location->GetField("owner"), location->GetField("$telefon"), location->GetField("Farbe"),
               location->GetField("$FARBE"), location->GetField("type"), location->GetField("$vorname")}),
      (Numbers{7, 6, 0, 8, 2, 4}));

  // A capital I with dot has a lower-case form of two characters that no longer matches it
  // without regard to letter case; the heading's own text must still find its column.
  location->OpenLocation(
      Book("Iller.xlsx", {{"ID", "TEXT", "İl", "İlçe"}, {"t1", "Ankara", "x", "Çankaya"}}));
  EXPECT_TRUE(location->WriteSheet(2, "$İl", "İzmir"));
  EXPECT_EQ(location->ColumnCount(), 4);
  EXPECT_EQ((Texts{location->ReadSheet(2, "$İl"), location->ReadSheet(2, "$İlçe")}),
            (Texts{"İzmir", "Çankaya"}));
}

TEST_F(ComponentTest, RowLookupsUseTheCacheOnlyForTheExactIdentifierAndChangeKeyMovesTheEntry) {
  auto location = Open(Book("Index.xlsx", kThreeContacts));
  EXPECT_EQ((Numbers{location->RowOfID(""), location->RowOfID("b2")}), (Numbers{0, 3}));
  EXPECT_EQ(location->LastKey, "b2");
  location->LastRow = 42;  // a planted answer shows whether the cache or the index replied
  EXPECT_EQ((Numbers{location->RowOfID("b2"), location->RowOfID("B2"), location->RowOfID("zz"),
                     location->RowOfID("")}),
            (Numbers{42, 3, 0, 0}));
  EXPECT_EQ(location->LastKey, "B2");
  // Changing a key moves the entry in place and caches the new key.
  location->ChangeKey("b2", "neu");
  EXPECT_EQ(location->LastKey, "neu");
  EXPECT_EQ(std::make_pair(location->RowOfID("NEU"), location->RowOfID("b2")), std::make_pair(3, 0));
  location->ChangeKey("c3", "letzte");
  location->ChangeKey("fehlt", "x");
  ExpectError([&] { location->ChangeKey("a1", "Letzte"); }, ErrorCode::DuplicateKey);
  EXPECT_EQ(Keys(location->Items), (Texts{"a1", "neu", "letzte"}));
}

TEST_F(ComponentTest, NewItemsGetAnIndexEntryAndATextFormattedRowLookupsIgnoreLetterCase) {
  auto location = Open(Book("Neu.xlsx", kThreeContacts));
  location->RowOfID("a1");
  auto item = location->NewItem(true);
  auto unbound = location->NewItem(false);
  ASSERT_EQ((Numbers{location->Count(), location->Items.Count()}), (Numbers{4, 4}));
  EXPECT_EQ((Texts{location->Items.At(4), location->LastKey, item->Item_ID()}), (Texts{"5", "", ""}));
  EXPECT_TRUE(item->Item_Notify() && !unbound->Item_Notify());
  for (std::int32_t column = 1; column <= 5; ++column) EXPECT_EQ((record->formats[{5, column}]), "@");

  EXPECT_TRUE(location->HasID("B2") && !location->HasID("") && !location->GetItem("fehlt"));
  EXPECT_EQ(hostLocation->ChangeCounter(), 2);
  EXPECT_EQ((Texts{location->Item(1)->Item_ID(), location->GetItem("C3")->Item_ID()}), (Texts{"a1", "c3"}));
  ExpectError([&] { location->Item(5); }, ErrorCode::OutOfRange, "position 5");
  ExpectError([&] { location->Item(0); }, ErrorCode::OutOfRange);
  location->LocObject = nullptr;
  ExpectError([&] { location->NewItem(false); }, ErrorCode::NotOpen, "LocObject");
}

}  // namespace
}  // namespace zentora::excel::testing

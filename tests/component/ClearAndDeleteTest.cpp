#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "ComponentFixture.h"
#include "Error.h"
#include "GeneralItem.h"
#include "Spreadsheet/Address.h"
#include "item/Item.h"
#include "location/Location.h"

namespace zentora::excel::testing {
namespace {

const Grid kFourContacts = {
    {"ID", "TYPE", "TEXT", "Vorname"},          {"a1", "contact", "Anna Müller", "Anna"},
    {"b2", "contact", "Bernd Weiß", "Bernd"},   {"c3", "contact", "Clara Öztürk", "Clara"},
    {"d4", "contact", "Dieter Ünal", "Dieter"},
};

// A general item carrying `id`, as the host hands items around.
std::shared_ptr<HostItem> HostItemWithID(const std::string& id) {
  auto item = std::make_shared<host::GeneralItem>();
  item->Item_ID(id);
  return item;
}

TEST(ColumnLetters, AgreeWithTheEngineForEveryColumnOfTheSheetAndRefuseOthers) {
  for (std::int32_t column = 1; column <= 16384; ++column)
    ASSERT_EQ(ColumnLetter(column), spreadsheet::ColumnLetters(static_cast<std::uint32_t>(column))) << column;
  for (const std::int32_t column : {0, -1, 16385})
    ExpectError([&] { ColumnLetter(column); }, ErrorCode::OutOfRange, std::to_string(column));
}

using Deleting = ComponentTest;

TEST_F(Deleting, FirstRowMovesTheRestUpAndRenumbersThemLastRowRemovesOnlyItsEntryCacheForgetsMovedRows) {
  const std::string path = Book("Kontakte.xlsx", kFourContacts);
  auto location = Open(path);
  service->ClearNotifications();
  std::shared_ptr<HostItem> item = location->GetItem("A1");
  const std::shared_ptr<HostItem> passed = item;
  EXPECT_TRUE(location->DeleteItem(item));
  ASSERT_EQ(Codes(), Numbers{38});
  EXPECT_TRUE(item == passed && service->Notifications()[0].object == passed && hostLocation->Changed() &&
              location->Count() == 3);
  EXPECT_EQ(Entries(location->Items), (Texts{"b2=2", "c3=3", "d4=4"}));
  EXPECT_EQ((Texts{service->Notifications()[0].text, passed->Item_Text(), record->calls.back()}),
            (Texts{"", kRecordGone, "DeleteRows 2:2 -4162"}));

  item = location->GetItem("d4");
  EXPECT_TRUE(location->DeleteItem(item));
  EXPECT_EQ(Entries(location->Items), (Texts{"b2=2", "c3=3"}));
  ASSERT_EQ(location->RowOfID("c3"), 3);
  item = location->GetItem("b2");
  ASSERT_TRUE(location->DeleteItem(item));
  EXPECT_EQ(location->LastKey, "");
  EXPECT_EQ((Numbers{location->RowOfID("c3"), location->RowOfID("b2")}), (Numbers{2, 0}));
  location->Disconnect();
  EXPECT_EQ(Read(path, 3, 2), (Grid{{"ID", "TYPE"}, {"c3", "contact"}, {"", ""}}));
}

TEST_F(Deleting, AnUnknownIdentifierOrAFailingCellReadOrRowDeleteLeavesCountIndexAndSheetAsTheyWere) {
  for (const std::string operation : {"", "CellText", "DeleteRows"}) {
    SCOPED_TRACE(operation);
    auto location = Open(Book(operation + "Kontakte.xlsx", kFourContacts));
    std::shared_ptr<HostItem> item = location->GetItem("b2");
    ASSERT_EQ(location->RowOfID("d4"), 5);
    service->ClearNotifications();
    const std::size_t calls = record->calls.size();
    if (operation.empty()) {
      for (std::shared_ptr<HostItem> stranger : {HostItemWithID("zz"), HostItemWithID("")})
        EXPECT_FALSE(location->DeleteItem(stranger));
      std::shared_ptr<HostItem> none;
      ExpectError([&] { location->DeleteItem(none); }, ErrorCode::NotOpen);
      EXPECT_TRUE(record->calls.size() == calls && Codes().empty());
    } else {
      record->failing.insert(operation);
      ExpectError([&] { location->DeleteItem(item); }, ErrorCode::Spreadsheet, operation);
      record->failing.clear();
    }
    EXPECT_EQ((Numbers{location->Count(), location->RowOfID("d4"), hostLocation->Changed()}),
              (Numbers{4, 5, 0}));
    EXPECT_EQ(Entries(location->Items), (Texts{"a1=2", "b2=3", "c3=4", "d4=5"}));
    EXPECT_EQ(record->sheet->CellText(3, 1), "b2");
    location->Disconnect();
  }
}

TEST_F(Deleting, MovedRowWhoseIdentifierCellDisagreesKeepsOneEntryInRowOrder) {
  auto location = Open(Book("Kontakte.xlsx", kFourContacts));
  // A new item: its identifier is in the index only, its cell still empty.
  location->NewItem(true);
  const std::string fresh(location->Items.KeyAt(5));
  ExcelWorksheet& sheet = location->ItemSheet();
  sheet.SetCellText(4, 1, "c3-neu");  // edited by a user
  sheet.SetCellText(5, 1, "b2");      // names another entry's identifier
  std::shared_ptr<HostItem> anna = location->GetItem("a1");
  ASSERT_TRUE(location->DeleteItem(anna));
  EXPECT_EQ(Entries(location->Items), (Texts{"b2=2", "c3-neu=3", "d4=4", fresh + "=5"}));
  EXPECT_EQ((Numbers{location->Count(), location->RowOfID(fresh)}), (Numbers{4, 5}));
}

// A host that answers every notification by handing back `answer`.
struct ReplacingService : host::RecordingNotificationService {
  explicit ReplacingService(std::shared_ptr<HostObject> reply) : answer(std::move(reply)) {}
  void Notify(std::int32_t, const std::string&, std::shared_ptr<HostObject>& object) override {
    object = answer;
  }
  std::shared_ptr<HostObject> answer;
};

TEST_F(Deleting, ObjectTheHostLeavesReplacesTheItem) {
  auto location = Open(Book("Kontakte.xlsx", kFourContacts));
  const std::shared_ptr<HostItem> answer = HostItemWithID("host");
  host::ReplaceThreadNotificationService(std::make_shared<ReplacingService>(answer));
  std::shared_ptr<HostItem> item = location->GetItem("c3");
  EXPECT_TRUE(location->DeleteItem(item));
  EXPECT_EQ(item, answer);

  host::ReplaceThreadNotificationService(std::make_shared<ReplacingService>(hostLocation));
  item = location->GetItem("a1");
  ExpectError([&] { location->DeleteItem(item); }, ErrorCode::TypeMismatch, "\"a1\"");
  EXPECT_TRUE(location->Count() == 3 && location->HasID("a1") && item->Item_ID() == "a1");
}

TEST_F(ComponentTest, ClearingEmptiesTheItemRowsButKeepsHeadingsAndFormatsAndNeedsNoRowsOrSheet) {
  Grid tenItems = {{"ID", "TYPE", "TEXT", "Vorname", "Nachname", "Ort"}};
  for (int row = 1; row <= 10; ++row) tenItems.push_back(Texts(6, "x" + std::to_string(row)));
  const std::string path = Book("Zehn.xlsx", tenItems);
  auto location = Open(path);
  auto empty = Open(Book("Leer.xlsx", {{"ID", "TYPE", "Vorname"}}));
  auto closed = Open(Book("Vier.xlsx", kFourContacts));
  closed->Disconnect();  // keeps the collections; Clear empties them without a sheet
  for (const auto& cleared : {location, empty, closed}) {
    record->calls.clear();
    service->ClearNotifications();
    cleared->Clear();
    EXPECT_EQ((Numbers{cleared->Count(), cleared->Items.Count(), cleared->DataList.Count()}),
              (Numbers{0, 0, 0}));
    EXPECT_EQ(Codes(), Numbers{75});
    EXPECT_EQ(service->Notifications()[0].object, hostLocation);
    EXPECT_EQ(record->calls, cleared == location ? Texts{"ClearContents A2:F11"} : Texts{});
  }
  EXPECT_EQ(std::to_string(location->ColumnCount()) + location->LastKey, "6");
  location->NewItem(true);  // new items start again at row 2
  EXPECT_EQ(location->Items.At(1), "2");
  location->Disconnect();
  EXPECT_EQ(Read(path, 3, 6), (Grid{tenItems[0], Texts(6), Texts(6)}));
}

}  // namespace
}  // namespace zentora::excel::testing

#include "item/Item.h"

#include <gtest/gtest.h>

#include <thread>

#include "ComponentFixture.h"
#include "Error.h"
#include "outside/Clock.h"

namespace zentora::excel::testing {
namespace {

const Grid kContacts = {
    {"ID", "TYPE", "TEXT", "DATUM", "LOG", "Telefon"},
    {"a1", "contact", "Anna Müller", "01.02.2024", "20240101120000", "0221 1"},
    {"b2", "contact", "Bernd Weiß", "", "", ""},
};

// 5 March 2024, 10:00:00 local time.
const LocalDateTime kMorning{2024, 3, 5, 10, 0, 0, 0};

// Records the changes it is told; keeps the item as a plain pointer, since the item keeps the sink.
class SinkRecorder : public NotificationSink {
 public:
  struct Received {
    std::int32_t code;
    std::string text;
    const HostItem* item;
  };
  void Change(std::int32_t code, const std::string& text, const std::shared_ptr<HostItem>& item) override {
    changes.push_back({code, text, item.get()});
  }
  std::vector<Received> changes;
};

class ItemTest : public ComponentTest {
 protected:
  void SetUp() override {
    ComponentTest::SetUp();
    path = Book("Kontakte.xlsx", kContacts);
    location = Open(path);
  }
  void TearDown() override {
    if (location) location->Disconnect();
    ComponentTest::TearDown();
  }

  FixedClock clock{kMorning};
  ClockOverride clockOverride{clock};
  std::string path;
  std::shared_ptr<Location> location;
};

using FixedFields = ItemTest;

TEST_P(FixedFields, WritesReachTheSheetAndSurviveReopening) {
  auto item = location->GetItem("b2");
  item->Item_Typ("firma");
  item->Item_Text("Weiß & Söhne\nGmbH");
  item->Item_Datum("2024-03-05");
  EXPECT_EQ(item->Item_Typ(), "firma");
  EXPECT_EQ(item->Item_Datum(), "2024-03-05");
  location->Disconnect();
  const Grid saved = Read(path, 3, 6);
  EXPECT_EQ(saved[2], (std::vector<std::string>{"b2", "firma", "Weiß & Söhne\nGmbH", "2024-03-05", "", ""}));
}

TEST_P(FixedFields, EachWriteSendsItsChangeCodeWithTheItem) {
  auto item = location->GetItem("b2");
  item->Item_Typ("t");
  item->Item_Text("x");
  item->Item_Text("x");
  item->Item_Datum("d");
  EXPECT_EQ(Codes(), (std::vector<std::int32_t>{2, 3, 3, 4}));
  EXPECT_EQ(service->Notifications()[1].text, "x");
  EXPECT_EQ(service->Notifications()[1].object, item);
  EXPECT_TRUE(hostLocation->Changed());
}

TEST_P(FixedFields, IdentifierChangesRekeyTheIndexOnlyWhenTheTextDiffers) {
  auto item = location->GetItem("b2");
  item->Item_ID("b2");
  EXPECT_TRUE(Codes().empty());
  item->Item_ID("B2");
  EXPECT_EQ(item->Item_ID(), "B2");
  EXPECT_EQ(location->Items.KeyAt(2), "B2");
  item->Item_ID("neu-7");
  EXPECT_EQ(Codes(), (std::vector<std::int32_t>{1, 1}));
  EXPECT_EQ(service->Notifications()[1].text, "neu-7");
  EXPECT_FALSE(location->HasID("b2"));
  EXPECT_EQ(location->GetItem("NEU-7")->Item_Text(), "Bernd Weiß");
}

TEST_P(FixedFields, AnIdentifierOfAnotherRowIsRefusedBeforeAnythingIsWritten) {
  auto item = location->GetItem("b2");
  const Error byLetter = CaughtError([&] { item->Item_ID("A1"); });
  EXPECT_EQ(byLetter.code(), ErrorCode::DuplicateKey);
  EXPECT_NE(std::string(byLetter.what()).find("\"A1\" is already used by row 2"), std::string::npos);
  const Error byText = CaughtError([&] { item->Item_ToString("ID=a1|Text=x"); });
  EXPECT_EQ(byText.code(), ErrorCode::DuplicateKey);
  EXPECT_TRUE(Codes().empty());
  location->Disconnect();
  location = Open(path);
  EXPECT_EQ(location->Count(), 2);
  EXPECT_EQ(location->GetItem("a1")->Item_Text(), "Anna Müller");
}

TEST_P(FixedFields, UrlIsTheReferenceTextAndTheIdentifier) {
  EXPECT_EQ(location->GetItem("A1")->Item_Url(), "zentora://test/Adressen#a1");
}

TEST_P(FixedFields, NewItemRowStaysEmptyUntilItsFieldsAreWritten) {
  auto item = location->NewItem(true);
  EXPECT_EQ(item->Item_Text(), "");
  item->Item_Text("Neuer Kontakt");
  item->Item_ID("n4");
  location->Disconnect();
  EXPECT_EQ(Read(path, 4, 3)[3], (std::vector<std::string>{"n4", "", "Neuer Kontakt"}));
}

INSTANTIATE_TEST_SUITE_P(Backends, FixedFields, kBothBackends, BackendName);

// Cases that count cell reads, which only the fake spreadsheet does.
using CountedFixedFields = ItemTest;

TEST_P(CountedFixedFields, UrlAsksTheHostBeforeItReadsTheIdentifier) {
  auto item = location->GetItem("a1");
  location->LocObject = nullptr;
  const auto reads = fake.state->cellReads;
  const Error error = CaughtError([&] { item->Item_Url(); });
  EXPECT_EQ(error.code(), ErrorCode::NotOpen);
  EXPECT_NE(std::string(error.what()).find("LocObject"), std::string::npos) << error.what();
  EXPECT_EQ(fake.state->cellReads, reads);
  location->LocObject = hostLocation;
}

INSTANTIATE_TEST_SUITE_P(Fake, CountedFixedFields, ::testing::Values(Backend::Fake), BackendName);

using Notification = ItemTest;

TEST_P(Notification, SwitchingOnAgainSendsCode66ButTheFirstTimeNothing) {
  auto item = location->NewItem(false);
  item->Item_Notify(true);
  EXPECT_TRUE(Codes().empty());
  item->Item_Notify(false);
  EXPECT_FALSE(item->Item_Notify());
  item->Item_Notify(true);
  item->Item_Notify(true);
  EXPECT_EQ(Codes(), (std::vector<std::int32_t>{66, 66}));
  EXPECT_EQ(service->Notifications()[0].text, "");
}

TEST_P(Notification, WithNotificationOffWritesStampNothingAndTellNobody) {
  auto item = location->GetItem("a1");
  item->Item_Notify(false);
  item->Item_Text("still");
  EXPECT_EQ(item->Item_Text(), "still");
  EXPECT_EQ(location->ReadSheet(2, "log"), "20240101120000");
  EXPECT_TRUE(Codes().empty());
  EXPECT_FALSE(hostLocation->Changed());
}

TEST_P(Notification, ChangesStampTheLogOnlyWhenItHasACreationStamp) {
  auto logged = location->GetItem("a1");
  logged->Item_Text("eins");
  EXPECT_EQ(location->ReadSheet(2, "log"), "20240101120000,20240305100000*1");
  clock.Set({2024, 3, 5, 10, 30, 15, 0});
  logged->Item_Typ("zwei");
  EXPECT_EQ(location->ReadSheet(2, "log"), "20240101120000,20240305103015*2");

  auto unlogged = location->GetItem("b2");
  unlogged->Item_Text("ohne Log");
  EXPECT_EQ(location->ReadSheet(3, "log"), "");
  EXPECT_EQ(Codes(), (std::vector<std::int32_t>{3, 2, 3}));
}

TEST_P(Notification, SwitchingOnAgainStampsNoLog) {
  auto item = location->GetItem("a1");
  item->Item_Notify(true);
  EXPECT_EQ(Codes(), (std::vector<std::int32_t>{66}));
  EXPECT_EQ(location->ReadSheet(2, "log"), "20240101120000");
}

TEST_P(Notification, AFutureModificationStampKeepsItsCount) {
  location->WriteSheet(2, "log", "20240101120000,20240305110000*4");
  location->GetItem("a1")->Item_Text("x");
  EXPECT_EQ(location->ReadSheet(2, "log"), "20240101120000,20240305100000*4");
}

TEST_P(Notification, HoldSilencesTheServiceButStillMarksTheLocationChanged) {
  hostLocation->SetHold(true);
  location->GetItem("a1")->Item_Text("x");
  EXPECT_TRUE(Codes().empty());
  EXPECT_TRUE(hostLocation->Changed());
}

TEST_P(Notification, ASinkTakesTheNotificationInsteadOfTheService) {
  auto sink = std::make_shared<SinkRecorder>();
  auto item = location->GetItem("a1");
  item->Item_NotifyEvent(sink);
  EXPECT_EQ(item->Item_NotifyEvent(), sink);
  item->Item_Text("an die Senke");
  ASSERT_EQ(sink->changes.size(), 1U);
  EXPECT_EQ(sink->changes[0].code, 3);
  EXPECT_EQ(sink->changes[0].text, "an die Senke");
  EXPECT_EQ(sink->changes[0].item, item.get());
  EXPECT_TRUE(Codes().empty());
  EXPECT_FALSE(hostLocation->Changed());
  EXPECT_EQ(location->ReadSheet(2, "log"), "20240101120000,20240305100000*1");
}

INSTANTIATE_TEST_SUITE_P(Backends, Notification, kBothBackends, BackendName);

using VanishedRecord = ItemTest;

TEST_P(VanishedRecord, ReadsTheRecordGoneTextAndWritesNothing) {
  auto item = location->GetItem("a1");
  location->ChangeKey("a1", "anderswo");
  EXPECT_EQ(item->Item_ID(), kRecordGone);
  EXPECT_EQ(item->Item_Text(), "-Datensatz nicht mehr vorhanden-");
  EXPECT_EQ(item->Item_DataText("Telefon"), kRecordGone);
  item->Item_Text("verloren");
  item->Item_ID("x");
  EXPECT_FALSE(item->Item_DataSet("Telefon", "1"));
  EXPECT_EQ(location->ReadSheet(2, "text"), "Anna Müller");
  EXPECT_TRUE(Codes().empty());
  EXPECT_TRUE(location->HasID("anderswo"));
}

TEST_P(VanishedRecord, AnItemFollowsItsIdentifierAfterTheLocationIsReopened) {
  auto item = location->GetItem("b2");
  location->Disconnect();
  const std::string other = Book("Umgestellt.xlsx", {{"ID", "TEXT"}, {"x", "eins"}, {"b2", "Bernd neu"}});
  location->OpenLocation(other);
  EXPECT_EQ(item->Item_Text(), "Bernd neu");
  location->OpenLocation(path);
  EXPECT_EQ(item->Item_Text(), "Bernd Weiß");
}

INSTANTIATE_TEST_SUITE_P(Backends, VanishedRecord, kBothBackends, BackendName);

using DataFields = ItemTest;

TEST_P(DataFields, NamesComeFromTheLocationAndCompareExactly) {
  auto item = location->GetItem("a1");
  EXPECT_EQ(item->Item_DataCount(), 1);
  EXPECT_EQ(item->Item_DataKey(1), "Telefon");
  EXPECT_EQ(item->Item_DataKey(0), "");
  EXPECT_EQ(item->Item_DataKey(2), "");
  EXPECT_TRUE(item->Item_DataHasKey("Telefon"));
  EXPECT_FALSE(item->Item_DataHasKey("telefon"));
  EXPECT_EQ(item->Item_DataText("TELEFON"), "0221 1");
  EXPECT_FALSE(item->Item_DataRemove("Telefon"));
}

TEST_P(DataFields, SettingANewNonEmptyFieldAppendsItsColumn) {
  auto item = location->GetItem("b2");
  EXPECT_TRUE(item->Item_DataAdd("E-Mail"));
  EXPECT_FALSE(item->Item_DataHasKey("E-Mail"));
  EXPECT_TRUE(item->Item_DataSet("E-Mail", "bernd@example.de"));
  EXPECT_EQ(item->Item_DataCount(), 2);
  EXPECT_FALSE(item->Item_DataAdd("E-Mail"));
  EXPECT_EQ(Codes(), (std::vector<std::int32_t>{5, 7}));
  EXPECT_EQ(service->Notifications()[1].text, "");
  location->Disconnect();
  EXPECT_EQ(Read(path, 3, 7)[2][6], "bernd@example.de");
  EXPECT_EQ(Read(path, 1, 7)[0][6], "E-Mail");
}

INSTANTIATE_TEST_SUITE_P(Backends, DataFields, kBothBackends, BackendName);

using OtherMembers = ItemTest;

TEST_P(OtherMembers, AccessOwnerAndSourceAreCellsWithTheirCodes) {
  auto item = location->GetItem("a1");
  item->Item_Owner("");
  item->Item_Owner("anna");
  item->Item_Access("alle");
  item->Item_Source("Import");
  EXPECT_EQ(item->Item_Owner(), "anna");
  EXPECT_EQ(item->Item_Access(), "alle");
  EXPECT_EQ(item->Item_Source(), "Import");
  EXPECT_EQ(Codes(), (std::vector<std::int32_t>{15, 15, 14, 72}));
  EXPECT_EQ(location->GetField("owner"), 7);
}

TEST_P(OtherMembers, FixedAnswersAndTheHostsFiles) {
  auto item = location->GetItem("a1");
  EXPECT_EQ(item->Item_EvalCount(), 0);
  EXPECT_FALSE(item->Item_EvalAdd("u", "", 3));
  EXPECT_EQ(item->Item_EvalString(), "");
  item->Item_Retention("10y");
  EXPECT_EQ(item->Item_Retention(), "");
  EXPECT_FALSE(item->Item_DeleteFile("File"));
  EXPECT_EQ(item->Item_Location(), hostLocation);
  item->Item_UserMode(true);
  item->Item_UserMode(false);
  EXPECT_EQ(item->Item_SetFile("File", "/tmp/brief.pdf", "copy"), "/tmp/brief.pdf");
  EXPECT_EQ(item->Item_GetFile("File", 2), "/tmp/brief.pdf");
  item->Item_EvalString("ignored");
  EXPECT_EQ(Codes(), (std::vector<std::int32_t>{74, 11}));
  EXPECT_EQ(location->ReadSheet(2, "log"), "20240101120000,20240305100000*1");
}

TEST_P(OtherMembers, OverallRatingReadsDecimalCommaOrPointAndMinusOneForNone) {
  auto item = location->GetItem("a1");
  EXPECT_EQ(item->Item_EvalAll(), -1);
  const std::pair<std::string, std::int16_t> cases[] = {{"4,5", 4},        {"5,5", 6},   {"3.7", 4},
                                                        {"1.234,6", 1235}, {"1.234", 1}, {"85%", 85},
                                                        {"0,4", -1},       {"gut", -1}};
  for (const auto& [cell, rating] : cases) {
    location->WriteSheet(2, "evalall", cell);
    EXPECT_EQ(item->Item_EvalAll(), rating) << cell;
  }
  location->WriteSheet(2, "evalall", "40000");
  EXPECT_EQ(CaughtError([&] { item->Item_EvalAll(); }).code(), ErrorCode::Overflow);
}

TEST_P(OtherMembers, InitAcceptsOnlyALocation) {
  auto item = Item::Create();
  EXPECT_EQ(CaughtError([&] { item->Item_Init(hostLocation); }).code(), ErrorCode::TypeMismatch);
  EXPECT_THROW(item->Item_Text(), Error);
}

TEST_P(OtherMembers, InitWithNoObjectLetsGoOfTheLocation) {
  auto item = location->GetItem("a1");
  item->Item_Init(nullptr);
  EXPECT_EQ(CaughtError([&] { item->Item_Text(); }).code(), ErrorCode::NotOpen);
  // Without a location the release has no host counter to count down.
  item.reset();
  EXPECT_EQ(hostLocation->ChangeCounter(), 1);
}

class TopicRecorder : public TopicTree {
 public:
  void AddKeyword(const std::shared_ptr<HostItem>& /*item*/, const std::string& keyword) override {
    calls.push_back("+" + keyword);
  }
  void RemoveKeyword(const std::shared_ptr<HostItem>& /*item*/, const std::string& keyword) override {
    calls.push_back("-" + keyword);
  }
  std::vector<std::string> calls;
};

using Keywords = ItemTest;

TEST_P(Keywords, AddingTrimsBlanksAndRefusesDuplicates) {
  auto item = location->GetItem("b2");
  EXPECT_TRUE(item->Item_KeywordAdd("  rot\t"));
  EXPECT_FALSE(item->Item_KeywordAdd("rot"));
  EXPECT_FALSE(item->Item_KeywordAdd(" "));
  EXPECT_TRUE(item->Item_KeywordAdd("grün"));
  EXPECT_EQ(item->Item_Keywords(), "rot,grün");
  EXPECT_EQ(Codes(), (std::vector<std::int32_t>{8, 8}));
  EXPECT_EQ(service->Notifications()[1].text, "grün");
}

TEST_P(Keywords, EntriesCountEmptyOnesAndCompareExactly) {
  auto item = location->GetItem("b2");
  const std::pair<std::string, std::int32_t> counts[] = {
      {"a,b", 2}, {"a,,b", 3}, {"a,", 1}, {",a", 2}, {"", 0}};
  for (const auto& [list, count] : counts) {
    location->WriteSheet(3, "keywords", list);
    EXPECT_EQ(item->Item_KeywordCount(), count) << list;
  }
  location->WriteSheet(3, "keywords", "a,,b");
  EXPECT_TRUE(item->Item_KeywordHas(""));
  EXPECT_EQ(item->Item_Keyword(2), "");
  EXPECT_EQ(item->Item_Keyword(3), "b");
  EXPECT_EQ(item->Item_Keyword(4), "");
  EXPECT_EQ(item->Item_Keyword(0), "");
  location->WriteSheet(3, "keywords", "a,b");
  EXPECT_FALSE(item->Item_KeywordHas(""));
  EXPECT_FALSE(item->Item_KeywordHas("A"));
}

TEST_P(Keywords, RemovingTakesEveryEqualEntryAndKeepsTheOrder) {
  auto item = location->GetItem("b2");
  location->WriteSheet(3, "keywords", "b,a,b");
  EXPECT_FALSE(item->Item_KeywordRemove("B"));
  EXPECT_TRUE(item->Item_KeywordRemove("b"));
  EXPECT_EQ(item->Item_Keywords(), "a");
  EXPECT_TRUE(item->Item_KeywordRemove("a"));
  EXPECT_EQ(item->Item_Keywords(), "");
  EXPECT_EQ(Codes(), (std::vector<std::int32_t>{9, 9}));
}

TEST_P(Keywords, ReplacingTheListAddsFirstThenRemoves) {
  auto item = location->GetItem("b2");
  location->WriteSheet(3, "keywords", "a,b");
  item->Item_Keywords("b / c");
  EXPECT_EQ(item->Item_Keywords(), "b,c");
  EXPECT_EQ(Codes(), (std::vector<std::int32_t>{8, 9}));
}

TEST_P(Keywords, TheHostsTopicTreeHearsOfChangesWhileNotificationIsOn) {
  // The topic tree is kept per thread once found, so this runs on a thread of its own.
  auto topics = std::make_shared<TopicRecorder>();
  std::thread([&] {
    auto threadService = std::make_shared<host::RecordingNotificationService>();
    auto topicLocation = std::make_shared<host::HostLocationObject>("topics");
    topicLocation->SetTopics(topics);
    threadService->AddLocation("topics", topicLocation);
    host::ReplaceThreadNotificationService(threadService);
    auto item = location->GetItem("b2");
    item->Item_KeywordAdd("rot");
    item->Item_KeywordRemove("rot");
    item->Item_Notify(false);
    item->Item_KeywordAdd("still");
    host::ReplaceThreadNotificationService(nullptr);
  }).join();
  EXPECT_EQ(topics->calls, (std::vector<std::string>{"+rot", "-rot"}));
  EXPECT_EQ(location->ReadSheet(3, "keywords"), "still");
}

INSTANTIATE_TEST_SUITE_P(Backends, Keywords, kBothBackends, BackendName);

using Logs = ItemTest;

TEST_P(Logs, ViewsAreCountedWithoutCountingAsChanges) {
  auto item = location->GetItem("a1");
  item->Item_Text("geändert");
  EXPECT_TRUE(item->Item_LogViewAdd(""));
  EXPECT_TRUE(item->Item_LogViewAdd("gestern"));
  EXPECT_EQ(item->Item_LogString(), "20240101120000,20240305100000*1,gestern*2");
  EXPECT_EQ(item->Item_LogCreationDate(), "20240101120000");
  EXPECT_EQ(item->Item_LogModifyDate(), "20240305100000");
  EXPECT_EQ(item->Item_LogModifyCount(), 1);
  EXPECT_EQ(item->Item_LogViewDate(), "gestern");
  EXPECT_EQ(item->Item_LogViewCount(), 2);
  EXPECT_EQ(item->Item_LogCreationUser(), "");
  EXPECT_EQ(Codes(), (std::vector<std::int32_t>{3, 12, 12}));
  EXPECT_EQ(service->Notifications()[1].text, "20240305100000");
}

TEST_P(Logs, AViewOfAnEmptyLogStartsItsThirdField) {
  auto item = location->GetItem("b2");
  EXPECT_TRUE(item->Item_LogViewAdd(""));
  EXPECT_EQ(item->Item_LogString(), ",,20240305100000*1");
}

TEST_P(Logs, SettingTheLogNotifiesEvenWhenTheRowIsGone) {
  auto item = location->GetItem("b2");
  item->Item_LogString("20200101000000");
  EXPECT_EQ(location->ReadSheet(3, "log"), "20200101000000");
  location->ChangeKey("b2", "weg");
  item->Item_LogString("x");
  EXPECT_FALSE(item->Item_LogViewAdd(""));
  EXPECT_EQ(Codes(), (std::vector<std::int32_t>{13, 13}));
  EXPECT_EQ(location->ReadSheet(3, "log"), "20200101000000");
}

INSTANTIATE_TEST_SUITE_P(Backends, Logs, kBothBackends, BackendName);

using TextForm = ItemTest;

TEST_P(TextForm, CarriesTheFilledFieldsWithTheirEscapes) {
  auto item = location->GetItem("a1");
  item->Item_Notify(false);
  item->Item_Text("Anna|Müller\r\nZeile 2");
  item->Item_Owner("anna");
  location->WriteSheet(2, "keywords", "rot,grün");
  EXPECT_EQ(item->Item_ToString(),
            "ID=a1|Type=contact|Text=Anna\\|Müller\\nZeile 2|Date=01.02.2024|DataTelefon=0221 1"
            "|Keywords=rot,grün|Owner=anna|Log=20240101120000");
}

TEST_P(TextForm, ReadingATextReplacesTheRowAndRekeysTheIndex) {
  auto item = location->GetItem("b2");
  item->Item_ToString("|ID=7| text =a\\nb|Date=ignoriert|DATUM=2024|dataX=nein|DataFax= 0221 9|Eval=5");
  EXPECT_EQ(item->Item_ID(), "7");
  EXPECT_EQ(item->Item_Text(), "a\r\nb");
  EXPECT_EQ(item->Item_Datum(), "2024");
  EXPECT_EQ(item->Item_Typ(), "");
  EXPECT_EQ(item->Item_DataText("Fax"), " 0221 9");
  EXPECT_EQ(location->GetField("$X"), 0);
  EXPECT_EQ(location->Items.KeyAt(2), "7");
  EXPECT_TRUE(Codes().empty());
}

TEST_P(TextForm, AnEmptyTextEmptiesTheRowButTheItemStaysFindable) {
  auto item = location->GetItem("a1");
  item->Item_ToString("");
  EXPECT_EQ(item->Item_ID(), "");
  EXPECT_EQ(item->Item_Text(), "");
  EXPECT_EQ(location->RowOfID("a1"), 2);
}

TEST_P(TextForm, RoundTripsBetweenTwoItems) {
  auto source = location->GetItem("a1");
  auto target = location->GetItem("b2");
  source->Item_Text("Zeile 1\r\nZeile | 2 \\ Ende");
  std::string form = source->Item_ToString();
  ASSERT_EQ(form.rfind("ID=a1|", 0), 0U) << form;
  form.replace(0, 5, "ID=kopie");
  target->Item_ToString(form);
  EXPECT_EQ(target->Item_ID(), "kopie");
  EXPECT_EQ(target->Item_Text(), source->Item_Text());
  EXPECT_EQ(target->Item_DataText("Telefon"), "0221 1");
}

INSTANTIATE_TEST_SUITE_P(Backends, TextForm, kBothBackends, BackendName);

INSTANTIATE_TEST_SUITE_P(Backends, OtherMembers, kBothBackends, BackendName);

using Lifetime = ItemTest;

TEST_P(Lifetime, ReleasingItemsCountsTheHostsCounterDown) {
  auto first = location->Item(1);
  auto second = location->Item(2);
  auto third = location->GetItem("a1");
  EXPECT_EQ(hostLocation->ChangeCounter(), 3);
  hostLocation->SetChangeTime(0);
  second.reset();
  third.reset();
  EXPECT_EQ(hostLocation->ChangeCounter(), 1);
  EXPECT_FLOAT_EQ(hostLocation->ChangeTime(), 36000.0F);
}

TEST_P(Lifetime, ItemsKeepTheirLocationAliveAfterTheHostLetsGoOfIt) {
  auto item = location->GetItem("a1");
  std::weak_ptr<Location> watch = location;
  location.reset();
  ASSERT_FALSE(watch.expired());
  EXPECT_EQ(item->Item_Text(), "Anna Müller");
  watch.lock()->Disconnect();
  item.reset();
  EXPECT_TRUE(watch.expired());
  EXPECT_EQ(hostLocation->ChangeCounter(), 0);
}

INSTANTIATE_TEST_SUITE_P(Backends, Lifetime, kBothBackends, BackendName);

}  // namespace
}  // namespace zentora::excel::testing

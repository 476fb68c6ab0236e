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

// Records the changes it is told as "code text".
class SinkRecorder : public NotificationSink {
 public:
  void Change(std::int32_t code, const std::string& text, const std::shared_ptr<HostItem>& item) override {
    calls.push_back(std::to_string(code) + " " + text);
    last = item.get();  // a plain pointer: the item keeps the sink
  }
  Texts calls;
  const HostItem* last = nullptr;
};

class ItemTest : public ComponentTest {
 protected:
  void SetUp() override {
    ComponentTest::SetUp();
    location = Open(Book("Kontakte.xlsx", kContacts));
  }
  std::string Log(std::int32_t row) { return location->ReadSheet(row, "log"); }

  // 5 March 2024, 10:00:00 local time.
  FixedClock clock{LocalDateTime{2024, 3, 5, 10, 0, 0, 0}};
  ClockOverride clockOverride{clock};
  std::shared_ptr<Location> location;
};

TEST_F(ItemTest, FixedFieldWritesSendTheirCodesIdentifierChangesRekeyTheIndexAndRefuseAnotherRowsIdentifier) {
  auto item = location->GetItem("b2");
  item->Item_ID("b2");  // unchanged: untold
  item->Item_Typ("firma");
  item->Item_Text("Weiß & Söhne\nGmbH");
  item->Item_Text("Weiß & Söhne\nGmbH");
  item->Item_Datum("2024-03-05");
  item->Item_ID("B2");
  EXPECT_EQ(location->Items.KeyAt(2), "B2");
  item->Item_ID("neu-7");
  EXPECT_EQ(Codes(), (Numbers{2, 3, 3, 4, 1, 1}));
  EXPECT_EQ((Texts{service->Notifications()[1].text, service->Notifications()[5].text,
                   location->ReadSheet(3, "datum"), location->GetItem("NEU-7")->Item_Text()}),
            (Texts{"Weiß & Söhne\nGmbH", "neu-7", "2024-03-05", "Weiß & Söhne\nGmbH"}));
  ExpectError([&] { item->Item_ID("A1"); }, ErrorCode::DuplicateKey, "\"A1\" is already used by row 2");
  ExpectError([&] { item->Item_ToString("ID=a1|Text=x"); }, ErrorCode::DuplicateKey);
  EXPECT_EQ(Codes().size(), 6U);
}

TEST_F(ItemTest, ChangesAndViewsAreStampedInTheLogOnlyWhenItHasACreationStampAndSwitchingOnAgainSends66) {
  auto logged = location->GetItem("a1");
  logged->Item_Text("eins");
  EXPECT_EQ(Log(2), "20240101120000,20240305100000*1");
  clock.Set({2024, 3, 5, 10, 30, 15, 0});
  logged->Item_Typ("zwei");
  EXPECT_EQ(Log(2), "20240101120000,20240305103015*2");
  location->WriteSheet(2, "log", "20240101120000,20240305110000*4");
  logged->Item_Text("x");
  EXPECT_EQ(Log(2), "20240101120000,20240305103015*4") << "a stamp from the future keeps its count";
  EXPECT_TRUE(logged->Item_LogViewAdd("") && logged->Item_LogViewAdd("gestern"));
  EXPECT_EQ(Log(2), "20240101120000,20240305103015*4,gestern*2") << "views are no changes";
  auto plain = location->GetItem("b2");
  plain->Item_Text("ohne Log");  // no creation stamp: no change is stamped, as the view below shows
  EXPECT_TRUE(plain->Item_LogViewAdd(""));
  EXPECT_EQ(Log(3), ",,20240305103015*1");
  EXPECT_EQ(Codes(), (Numbers{3, 2, 3, 12, 12, 3, 12}));

  service->ClearNotifications();
  auto item = location->NewItem(false);
  item->Item_Notify(true);
  EXPECT_TRUE(Codes().empty()) << "the first switch on is silent";
  item->Item_Notify(false);
  item->Item_Notify(true);
  logged->Item_Notify(true);
  EXPECT_EQ(Codes(), (Numbers{66, 66}));
  EXPECT_EQ(service->Notifications()[0].text + Log(2), "20240101120000,20240305103015*4,gestern*2");
}

TEST_F(ItemTest, NotificationOffHoldAndSinkEachDecideWhoHears) {
  auto silent = location->GetItem("b2");
  silent->Item_Notify(false);
  silent->Item_Text("still");
  auto sink = std::make_shared<SinkRecorder>();
  auto item = location->GetItem("a1");
  item->Item_NotifyEvent(sink);
  item->Item_Text("an die Senke");
  EXPECT_EQ(sink->calls, Texts{"3 an die Senke"});
  EXPECT_EQ(sink->last, item.get());
  EXPECT_TRUE(Codes().empty() && !hostLocation->Changed());
  EXPECT_EQ(Log(2), "20240101120000,20240305100000*1");
  hostLocation->SetHold(true);
  location->GetItem("a1")->Item_Text("x");
  EXPECT_TRUE(Codes().empty() && hostLocation->Changed());
}

TEST_F(ItemTest, VanishedRecordReadsTheRecordGoneTextAndWritesNothingButSettingTheLogStillNotifies) {
  auto item = location->GetItem("a1");
  item->Item_LogString("20200101000000");
  location->ChangeKey("a1", "anderswo");
  EXPECT_EQ((Texts{item->Item_ID(), item->Item_Text(), item->Item_DataText("Telefon")}),
            Texts(3, "-Datensatz nicht mehr vorhanden-"));
  item->Item_Text("verloren");
  item->Item_ID("x");
  item->Item_LogString("x");
  EXPECT_FALSE(item->Item_DataSet("Telefon", "1") || item->Item_LogViewAdd(""));
  EXPECT_EQ((Texts{location->ReadSheet(2, "text"), Log(2)}), (Texts{"Anna Müller", "20200101000000"}));
  EXPECT_EQ(Codes(), (Numbers{13, 13}));
}

TEST_F(ItemTest, DataFieldsCompareExactlyAndANewOneAppendsItsColumn) {
  auto item = location->GetItem("b2");
  EXPECT_EQ((Texts{item->Item_DataKey(0), item->Item_DataKey(1), item->Item_DataKey(2),
                   location->GetItem("a1")->Item_DataText("TELEFON")}),
            (Texts{"", "Telefon", "", "0221 1"}));
  EXPECT_FALSE(item->Item_DataHasKey("telefon") || item->Item_DataRemove("Telefon"));
  EXPECT_TRUE(item->Item_DataAdd("E-Mail"));
  EXPECT_FALSE(item->Item_DataHasKey("E-Mail"));
  EXPECT_TRUE(item->Item_DataSet("E-Mail", "bernd@example.de") && item->Item_DataCount() == 2);
  EXPECT_FALSE(item->Item_DataAdd("E-Mail"));
  EXPECT_EQ(Codes(), (Numbers{5, 7}));
  EXPECT_EQ(location->ReadSheet(3, "$E-MAIL"), "bernd@example.de");
}

TEST_F(ItemTest, AccessOwnerSourceFilesRatingAndFixedAnswers) {
  auto item = location->GetItem("a1");
  item->Item_Owner("");
  item->Item_Owner("anna");
  item->Item_Access("alle");
  item->Item_Source("Import");
  item->Item_Retention("10y");
  item->Item_UserMode(true);
  item->Item_UserMode(false);
  EXPECT_EQ((Texts{item->Item_Owner(), item->Item_Access(), item->Item_Source(), item->Item_EvalString(),
                   item->Item_Retention(), item->Item_SetFile("File", "/tmp/brief.pdf", "copy"),
                   item->Item_GetFile("File", 2)}),
            (Texts{"anna", "alle", "Import", "", "", "/tmp/brief.pdf", "/tmp/brief.pdf"}));
  EXPECT_FALSE(item->Item_EvalCount() != 0 || item->Item_EvalAdd("u", "", 3) ||
               item->Item_DeleteFile("File") || item->Item_Location() != hostLocation);
  item->Item_EvalString("ignored");
  EXPECT_EQ(Codes(), (Numbers{15, 15, 14, 72, 74, 11}));
  EXPECT_EQ(Log(2), "20240101120000,20240305100000*5");
  for (const char* rating : {"", "0,4"}) {  // no rating, or one that rounds to none
    location->WriteSheet(2, "evalall", rating);
    EXPECT_EQ(item->Item_EvalAll(), -1);
  }
  location->WriteSheet(2, "evalall", "40000");
  ExpectError([&] { item->Item_EvalAll(); }, ErrorCode::Overflow);
}

TEST_F(ItemTest, InitAcceptsOnlyALocationNoObjectLetsGoOfItAndReleasesCountTheHostsCounterDown) {
  ExpectError([&] { Item::Create()->Item_Init(hostLocation); }, ErrorCode::TypeMismatch);
  auto item = location->GetItem("a1");
  auto second = location->Item(2);
  auto third = location->GetItem("a1");
  EXPECT_EQ(hostLocation->ChangeCounter(), 3);
  hostLocation->SetChangeTime(0);
  third.reset();
  EXPECT_EQ(hostLocation->ChangeCounter(), 2);
  EXPECT_FLOAT_EQ(hostLocation->ChangeTime(), 36000.0F);
  item->Item_Init(nullptr);
  ExpectError([&] { item->Item_Text(); }, ErrorCode::NotOpen);
  item.reset();  // without a location the release has no host counter to count down
  EXPECT_EQ(hostLocation->ChangeCounter(), 2);
}

TEST_F(ItemTest, KeywordsAddTrimmedRefuseDuplicatesRemoveEveryEqualEntryAndCountEmptyOnes) {
  auto item = location->GetItem("b2");
  const std::vector<bool> added = {item->Item_KeywordAdd("  rot\t"), item->Item_KeywordAdd("rot"),
                                   item->Item_KeywordAdd(" "), item->Item_KeywordAdd("grün")};
  EXPECT_EQ(added, (std::vector<bool>{true, false, false, true}));
  EXPECT_EQ(item->Item_Keywords(), "rot,grün");
  location->WriteSheet(3, "keywords", "b,a,b");
  EXPECT_FALSE(item->Item_KeywordRemove("B"));
  EXPECT_TRUE(item->Item_KeywordRemove("b"));
  EXPECT_EQ(item->Item_Keywords(), "a");
  location->WriteSheet(3, "keywords", "a,b");
  item->Item_Keywords("b / c");
  EXPECT_EQ(item->Item_Keywords(), "b,c");
  EXPECT_EQ(Codes(), (Numbers{8, 8, 9, 8, 9}));
  location->WriteSheet(3, "keywords", ",a,,b,");
  EXPECT_EQ((Texts{std::to_string(item->Item_KeywordCount()), item->Item_Keyword(0), item->Item_Keyword(1),
                   item->Item_Keyword(2), item->Item_Keyword(4), item->Item_Keyword(5)}),
            (Texts{"4", "", "", "a", "b", ""}));
  EXPECT_TRUE(item->Item_KeywordHas("") && !item->Item_KeywordHas("A"));
}

// Records the keyword changes the host's topic tree is told of.
struct TopicRecorder : TopicTree {
  void AddKeyword(const std::shared_ptr<HostItem>&, const std::string& keyword) override {
    calls += "+" + keyword;
  }
  void RemoveKeyword(const std::shared_ptr<HostItem>&, const std::string& keyword) override {
    calls += "-" + keyword;
  }
  std::string calls;
};

TEST_F(ItemTest, TheHostsTopicTreeHearsOfKeywordChangesWhileNotificationIsOn) {
  auto topics = std::make_shared<TopicRecorder>();
  std::thread([&] {  // the topic tree is kept per thread once found
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
  })
      .join();
  EXPECT_EQ(topics->calls, "+rot-rot");
}

TEST_F(ItemTest, TheTextFormCarriesTheFilledFieldsWithTheirEscapesAndReadingOneReplacesTheRow) {
  auto item = location->GetItem("a1");
  item->Item_Notify(false);
  item->Item_Text("Anna|Müller\r\nZeile 2 \\ Ende");
  item->Item_Owner("anna");
  location->WriteSheet(2, "keywords", "rot,grün");
  EXPECT_EQ(item->Item_ToString(),
            "ID=a1|Type=contact|Text=Anna\\|Müller\\nZeile 2 \\\\ Ende|Date=01.02.2024|DataTelefon=0221 1"
            "|Keywords=rot,grün|Owner=anna|Log=20240101120000");
  auto target = location->GetItem("b2");
  target->Item_ToString("|ID=7| text =a\\nb|Date=ignoriert|DATUM=2024|dataX=nein|DataFax= 0221 9|Eval=5");
  EXPECT_EQ((Texts{target->Item_ID(), target->Item_Text(), target->Item_Datum(), target->Item_Typ(),
                   target->Item_DataText("Fax"), std::string(location->Items.KeyAt(2))}),
            (Texts{"7", "a\r\nb", "2024", "", " 0221 9", "7"}));
  EXPECT_TRUE(location->GetField("$X") == 0 && Codes().empty());
  item->Item_ToString("");
  EXPECT_EQ(item->Item_ID() + item->Item_Text(), "");
  EXPECT_EQ(location->RowOfID("a1"), 2) << "an emptied row stays findable";
}

}  // namespace
}  // namespace zentora::excel::testing

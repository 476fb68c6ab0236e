#include "NotificationService.h"

#include <gtest/gtest.h>

#include <thread>

#include "GeneralItem.h"
#include "HostLocationObject.h"

namespace zentora::host {
namespace {

TEST(RecordingNotificationService, RecordsNotificationsInOrderAndLeavesTheObject) {
  RecordingNotificationService service("anna");
  std::shared_ptr<excel::HostObject> item = std::make_shared<GeneralItem>();
  const auto before = item;
  service.Notify(3, "neuer Text", item);
  service.Notify(66, "", item);
  EXPECT_EQ(item, before);
  ASSERT_EQ(service.Notifications().size(), 2U);
  EXPECT_EQ(service.Notifications()[0].code, 3);
  EXPECT_EQ(service.Notifications()[0].text, "neuer Text");
  EXPECT_EQ(service.Notifications()[0].object, item);
  service.ClearNotifications();
  EXPECT_TRUE(service.Notifications().empty());
  EXPECT_EQ(service.DefaultOwner(), "anna");
}

TEST(RecordingNotificationService, KnowsLocationsByExactName) {
  RecordingNotificationService service;
  auto topics = std::make_shared<HostLocationObject>("topics");
  service.AddLocation("topics", topics);
  EXPECT_EQ(service.LocationByName("topics"), topics);
  EXPECT_EQ(service.LocationByName("Topics"), nullptr);
}

TEST(RecordingNotificationService, StoresFilesPerItemAndKey) {
  RecordingNotificationService service;
  auto item = std::make_shared<GeneralItem>();
  item->Item_ID("k1");
  EXPECT_EQ(service.FetchFile(item, "File", 2), "");
  EXPECT_EQ(service.StoreFile(item, "File", "/tmp/brief.pdf", "copy"), "/tmp/brief.pdf");
  EXPECT_EQ(service.FetchFile(item, "File", 2), "/tmp/brief.pdf");
  EXPECT_EQ(service.FetchFile(item, "Path", 2), "");
}

TEST(RecordingNotificationService, DefaultOwnerIsNeverEmpty) {
  EXPECT_FALSE(RecordingNotificationService::DefaultOwnerText().empty());
}

TEST(ThreadNotificationService, IsCreatedOncePerThreadAndCanBeReplaced) {
  excel::NotificationService& first = excel::ThreadNotificationService();
  EXPECT_EQ(&excel::ThreadNotificationService(), &first);
  EXPECT_NE(dynamic_cast<RecordingNotificationService*>(&first), nullptr);

  excel::NotificationService* other = nullptr;
  std::thread([&other] { other = &excel::ThreadNotificationService(); }).join();
  EXPECT_NE(other, &first);

  auto own = std::make_shared<RecordingNotificationService>("host");
  ReplaceThreadNotificationService(own);
  EXPECT_EQ(&excel::ThreadNotificationService(), own.get());
  ReplaceThreadNotificationService(nullptr);
  EXPECT_NE(&excel::ThreadNotificationService(), own.get());
}

}  // namespace
}  // namespace zentora::host

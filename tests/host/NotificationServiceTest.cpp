// What the recording service records, stores and finds is read by every component test; here
// only what those tests do not reach: the owner from the system and the per-thread service.
#include "NotificationService.h"

#include <gtest/gtest.h>

#include <thread>

namespace zentora::host {
namespace {

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

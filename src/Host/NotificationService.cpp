#include "NotificationService.h"

#include <pwd.h>
#include <unistd.h>

#include <utility>

#include "outside/HostItem.h"

namespace zentora::host {
namespace {

// Kept for the thread's life once created, as the host's service is.
thread_local std::shared_ptr<excel::NotificationService> threadService;

}  // namespace

RecordingNotificationService::RecordingNotificationService(std::string defaultOwner)
    : defaultOwner_(std::move(defaultOwner)) {}

std::shared_ptr<excel::HostLocation> RecordingNotificationService::LocationByName(const std::string& name) {
  const auto found = locations_.find(name);
  return found == locations_.end() ? nullptr : found->second;
}

void RecordingNotificationService::Notify(std::int32_t code, const std::string& text,
                                          std::shared_ptr<excel::HostObject>& object) {
  notifications_.push_back(Notification{code, text, object});
}

std::string RecordingNotificationService::FetchFile(const std::shared_ptr<excel::HostItem>& item,
                                                    const std::string& key, std::int32_t /*option*/) {
  const auto found = files_.find({item->Item_ID(), key});
  return found == files_.end() ? std::string() : found->second;
}

std::string RecordingNotificationService::DefaultOwner() { return defaultOwner_; }

std::string RecordingNotificationService::StoreFile(const std::shared_ptr<excel::HostItem>& item,
                                                    const std::string& key, const std::string& file,
                                                    const std::string& /*command*/) {
  files_[{item->Item_ID(), key}] = file;
  return file;
}

void RecordingNotificationService::AddLocation(const std::string& name,
                                               std::shared_ptr<excel::HostLocation> location) {
  locations_[name] = std::move(location);
}

std::string RecordingNotificationService::DefaultOwnerText() {
  const passwd* user = getpwuid(geteuid());
  if (user == nullptr || user->pw_name == nullptr || user->pw_name[0] == '\0') return "Zentora";
  return user->pw_name;
}

void ReplaceThreadNotificationService(std::shared_ptr<excel::NotificationService> service) {
  threadService = std::move(service);
}

}  // namespace zentora::host

namespace zentora::excel {

NotificationService& ThreadNotificationService() {
  if (!host::threadService) host::threadService = std::make_shared<host::RecordingNotificationService>();
  return *host::threadService;
}

}  // namespace zentora::excel

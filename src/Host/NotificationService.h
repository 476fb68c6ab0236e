// The host's notification service. The calling thread's service is created on
// first use as a RecordingNotificationService; a host program may replace it.
// The recording service keeps every notification it is told, so that a host
// program or a test can show or check them, and knows the host's locations by
// name. Single-threaded: each thread has its own service.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "../Connectors/Excel/outside/Host.h"

namespace zentora::host {

// One notification as the service was told it.
struct Notification {
  std::int32_t code = 0;
  std::string text;
  std::shared_ptr<excel::HostObject> object;
};

class RecordingNotificationService : public excel::NotificationService {
 public:
  // A service whose default owner text is `defaultOwner`.
  explicit RecordingNotificationService(std::string defaultOwner = DefaultOwnerText());

  // The location registered under `name` (exact name); nullptr when none is.
  std::shared_ptr<excel::HostLocation> LocationByName(const std::string& name) override;
  // Records the notification; `object` is left as it is.
  void Notify(std::int32_t code, const std::string& text,
              std::shared_ptr<excel::HostObject>& object) override;
  // The file last stored for the item's identifier and `key`; "" when none was.
  std::string FetchFile(const std::shared_ptr<excel::HostItem>& item, const std::string& key,
                        std::int32_t option) override;
  std::string DefaultOwner() override;
  // Remembers `file` for the item's identifier and `key`, and returns `file`; `command` is not used.
  std::string StoreFile(const std::shared_ptr<excel::HostItem>& item, const std::string& key,
                        const std::string& file, const std::string& command) override;

  // Registers `location` under `name`, replacing an earlier one.
  void AddLocation(const std::string& name, std::shared_ptr<excel::HostLocation> location);
  // The notifications recorded so far, oldest first.
  const std::vector<Notification>& Notifications() const { return notifications_; }
  // Forgets the recorded notifications.
  void ClearNotifications() { notifications_.clear(); }

  // The default owner text: the login name of the process's user, "Zentora" when it has none.
  static std::string DefaultOwnerText();

 private:
  std::string defaultOwner_;
  std::vector<Notification> notifications_;
  std::map<std::string, std::shared_ptr<excel::HostLocation>> locations_;
  std::map<std::pair<std::string, std::string>, std::string> files_;
};

// Makes `service` the calling thread's notification service (nullptr: a new recording one on next use).
void ReplaceThreadNotificationService(std::shared_ptr<excel::NotificationService> service);

}  // namespace zentora::host

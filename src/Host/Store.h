// One opened store with the host objects a host keeps around it: the host
// location object, the notification service and the Location. The workbook
// stays marked as in use from opening to closing; a store that is not closed
// explicitly (the work on it failed) closes without saving, so the file stays
// as it was. Single-threaded, like the Location it holds.
#pragma once

#include <chrono>
#include <memory>
#include <optional>
#include <string>

#include "../Connectors/Excel/location/Location.h"
#include "HostLocationObject.h"
#include "NotificationService.h"

namespace zentora::host {

class Store {
 public:
  // Opens the store at `path` (created with the default headings when missing), waiting up to
  // `inUseWait` (when given) for a workbook that another program or process holds, and makes
  // `service` the thread's notification service. A failed opening writes nothing back and throws.
  Store(const std::string& path, const excel::Location::ApplicationFactory& startApplication,
        std::optional<std::chrono::milliseconds> inUseWait,
        std::shared_ptr<RecordingNotificationService> service =
            std::make_shared<RecordingNotificationService>());
  // Closes without saving when still open; resets the thread's notification service.
  ~Store();
  Store(const Store&) = delete;
  Store& operator=(const Store&) = delete;

  // Closes as a host does: Disconnect saves what loading wrote (identifiers, the text format), which
  // for a workbook already in that form writes nothing; a failing save there is not reported.
  void Close();
  // Saves once, throwing when the change did not reach the file (the store then stays open), then
  // closes.
  void SaveAndClose();
  // Closes without writing anything; the file stays as it was last saved.
  void CloseWithoutSaving();
  // True until one of the closing calls.
  bool IsOpen() const { return open_; }
  // Makes this store's notification service the calling thread's, for a host that works on the
  // store from more than one thread (one at a time).
  void UseOnThisThread() const;

  // Adds an item in a new row at the end with a new identifier, written into its identifier cell
  // so that it stays when the workbook is opened again. Throws what the location throws.
  std::shared_ptr<excel::HostItem> AddItem();

  excel::Location& location() { return *location_; }
  const RecordingNotificationService& notifications() const { return *service_; }

 private:
  std::shared_ptr<RecordingNotificationService> service_;
  std::shared_ptr<HostLocationObject> hostLocation_;
  std::shared_ptr<excel::Location> location_;
  bool open_ = true;
};

}  // namespace zentora::host

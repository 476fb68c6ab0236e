// The host library as the component sees it: the host's location object,
// item interface, notification service and sink, topic tree, enumerator and
// filter expression, as narrow C++ interfaces. The host library implements
// them; the component only calls them. All calls happen on the host's thread.
//
// Automation calls report failure by status; here a failing call throws
// (zentora::excel::Error from the component, any std::exception from the
// host) and a result comes back as the return value.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace zentora::excel {

// Any object that travels through the host's object arguments (an item, a host
// location, the component's Location). Owned through std::shared_ptr.
class HostObject {
 public:
  virtual ~HostObject() = default;
};

class HostItem;

// The host's receiver of an item's changes, given to an item by the host.
class NotificationSink : public HostObject {
 public:
  // Told that `item` changed: `code` is the change code, `text` its text.
  virtual void Change(std::int32_t code, const std::string& text, const std::shared_ptr<HostItem>& item) = 0;
};

// The host's keyword index, told of every keyword an item gains or loses.
class TopicTree : public HostObject {
 public:
  // Told that `item` gained the keyword `keyword`.
  virtual void AddKeyword(const std::shared_ptr<HostItem>& item, const std::string& keyword) = 0;
  // Told that `item` lost the keyword `keyword`.
  virtual void RemoveKeyword(const std::shared_ptr<HostItem>& item, const std::string& keyword) = 0;
};

// The host's own object for one store; a Location keeps it as `LocObject`.
class HostLocation : public HostObject {
 public:
  // Sets the changed flag; the component only ever sets it to true.
  virtual void SetChanged(bool changed) = 0;
  // The location's topic tree; nullptr when it has none.
  virtual std::shared_ptr<TopicTree> Topics() = 0;
  // The change counter: how many item objects of this location are alive, as counted by the component.
  virtual std::int32_t ChangeCounter() = 0;
  // Stores `counter` as the change counter.
  virtual void SetChangeCounter(std::int32_t counter) = 0;
  // Stores the time of the last counter change, in seconds since local midnight.
  virtual void SetChangeTime(float secondsSinceMidnight) = 0;
  // The hold flag: true while the host wants no notifications for this location.
  virtual bool Hold() = 0;
  // The settings item; nullptr until one is set.
  virtual std::shared_ptr<HostItem> SettingsItem() = 0;
  // Replaces the settings item (nullptr clears it).
  virtual void SetSettingsItem(std::shared_ptr<HostItem> item) = 0;
  // The location's reference text, the first part of an item's URL.
  virtual std::string ReferenceText() = 0;
};

// The host's filter expression, handed through to the enumerator untouched.
class FilterExpression : public HostObject {};

// The host's enumerator over the items of a location that match a filter.
class Enumerator : public HostObject {
 public:
  // Initialises the enumerator; the objects left in the two arguments replace the caller's.
  virtual void Init(std::shared_ptr<HostLocation>& location, std::shared_ptr<FilterExpression>& filter) = 0;
};

// A store as the host walks it: the component's Location offers its items in row order to the
// host's enumerator through this interface.
class ItemStore : public HostObject {
 public:
  // The number of items; 0 while the store is closed.
  virtual std::int32_t Count() const = 0;
  // The store's one shared item, moved to position `pos`; the caller keeps `pos` within 1 to Count.
  virtual std::shared_ptr<HostItem> DynamicItem(std::int32_t pos) = 0;
};

// The host's notification service: one per thread, created on first use, kept for the thread's life.
class NotificationService : public HostObject {
 public:
  // The host location object of the host's location named `name`; nullptr when there is none.
  virtual std::shared_ptr<HostLocation> LocationByName(const std::string& name) = 0;
  // Tells the host of a change; the object left in `object` replaces the caller's.
  virtual void Notify(std::int32_t code, const std::string& text, std::shared_ptr<HostObject>& object) = 0;
  // The path of the file stored for `item` under `key`; `option` as the host defines it.
  virtual std::string FetchFile(const std::shared_ptr<HostItem>& item, const std::string& key,
                                std::int32_t option) = 0;
  // The owner text that new items get when they carry none.
  virtual std::string DefaultOwner() = 0;
  // Stores `file` for `item` under `key` with the host command `command`; returns the host's answer.
  virtual std::string StoreFile(const std::shared_ptr<HostItem>& item, const std::string& key,
                                const std::string& file, const std::string& command) = 0;
};

// The calling thread's notification service, created on first use. Provided by the host library.
NotificationService& ThreadNotificationService();

// A new object of the host's general item class, not yet initialised. Provided by the host library.
std::shared_ptr<HostItem> CreateGeneralItem();

// A new object of the host's enumerator class, not yet initialised. Provided by the host library.
std::shared_ptr<Enumerator> CreateEnumerator();

}  // namespace zentora::excel

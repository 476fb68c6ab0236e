// The host's object for one store, kept in memory: it stores what the
// component writes to it (changed flag, change counter and time, settings
// item) and offers what the host sets up (hold flag, reference text, topics).
// Single-threaded, like every host object.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "../Connectors/Excel/outside/Host.h"

namespace zentora::host {

class HostLocationObject : public excel::HostLocation {
 public:
  // A location object with the reference text `referenceText`, all flags false, counter 0.
  explicit HostLocationObject(std::string referenceText = "");

  void SetChanged(bool changed) override;
  std::shared_ptr<excel::TopicTree> Topics() override;
  std::int32_t ChangeCounter() override;
  void SetChangeCounter(std::int32_t counter) override;
  void SetChangeTime(float secondsSinceMidnight) override;
  bool Hold() override;
  std::shared_ptr<excel::HostItem> SettingsItem() override;
  void SetSettingsItem(std::shared_ptr<excel::HostItem> item) override;
  std::string ReferenceText() override;

  // The changed flag as last set; false initially.
  bool Changed() const { return changed_; }
  // The change time as last set; 0 initially.
  float ChangeTime() const { return changeTime_; }
  // Sets the hold flag; while true, items send no notifications to the service.
  void SetHold(bool hold) { hold_ = hold; }
  // Replaces the topic tree (nullptr removes it).
  void SetTopics(std::shared_ptr<excel::TopicTree> topics) { topics_ = std::move(topics); }
  // The store the host opened for this location, for its enumerators; nullptr when none is set or
  // it has gone. Held weakly, since the store keeps this object.
  std::shared_ptr<excel::ItemStore> Store() const { return store_.lock(); }
  // Links the store the host opened for this location.
  void SetStore(const std::shared_ptr<excel::ItemStore>& store) { store_ = store; }

 private:
  std::string referenceText_;
  bool changed_ = false;
  bool hold_ = false;
  std::int32_t changeCounter_ = 0;
  float changeTime_ = 0;
  std::shared_ptr<excel::HostItem> settingsItem_;
  std::shared_ptr<excel::TopicTree> topics_;
  std::weak_ptr<excel::ItemStore> store_;
};

}  // namespace zentora::host

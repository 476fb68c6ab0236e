#include "HostLocationObject.h"

#include <utility>

namespace zentora::host {

HostLocationObject::HostLocationObject(std::string referenceText)
    : referenceText_(std::move(referenceText)) {}

void HostLocationObject::SetChanged(bool changed) { changed_ = changed; }

std::shared_ptr<excel::TopicTree> HostLocationObject::Topics() { return topics_; }

std::int32_t HostLocationObject::ChangeCounter() { return changeCounter_; }

void HostLocationObject::SetChangeCounter(std::int32_t counter) { changeCounter_ = counter; }

void HostLocationObject::SetChangeTime(float secondsSinceMidnight) { changeTime_ = secondsSinceMidnight; }

bool HostLocationObject::Hold() { return hold_; }

std::shared_ptr<excel::HostItem> HostLocationObject::SettingsItem() { return settingsItem_; }

void HostLocationObject::SetSettingsItem(std::shared_ptr<excel::HostItem> item) {
  settingsItem_ = std::move(item);
}

std::string HostLocationObject::ReferenceText() { return referenceText_; }

}  // namespace zentora::host

#include "ItemEnumerator.h"

#include <stdexcept>

#include "HostLocationObject.h"

namespace zentora::host {

void ItemEnumerator::Init(std::shared_ptr<excel::HostLocation>& location,
                          std::shared_ptr<excel::FilterExpression>& filter) {
  const auto* hostLocation = dynamic_cast<const HostLocationObject*>(location.get());
  std::shared_ptr<excel::ItemStore> store = hostLocation ? hostLocation->Store() : nullptr;
  if (!store) throw std::invalid_argument("the enumerator needs a host location object that knows its store");
  auto conditions = std::dynamic_pointer_cast<const ConditionFilter>(filter);
  if (filter && !conditions) throw std::invalid_argument("the enumerator understands only condition filters");
  store_ = std::move(store);
  filter_ = std::move(conditions);
  position_ = 0;
}

std::shared_ptr<excel::HostItem> ItemEnumerator::Next() {
  if (!store_) return nullptr;
  while (position_ < store_->Count()) {
    std::shared_ptr<excel::HostItem> item = store_->DynamicItem(++position_);
    if (!filter_ || filter_->Matches(*item)) return item;
  }
  return nullptr;
}

}  // namespace zentora::host

namespace zentora::excel {

std::shared_ptr<Enumerator> CreateEnumerator() { return std::make_shared<host::ItemEnumerator>(); }

}  // namespace zentora::excel

// The host's enumerator: walks the items of a store in row order and yields
// those that meet a ConditionFilter. It reaches the store through the host
// location object the store was opened with (HostLocationObject::SetStore) and
// yields the store's one shared item, moved to each matching row in turn, so a
// walk creates no item objects. Single-threaded, like every host object.
#pragma once

#include <cstdint>
#include <memory>

#include "../Connectors/Excel/outside/Host.h"
#include "../Connectors/Excel/outside/HostItem.h"
#include "ConditionFilter.h"

namespace zentora::host {

class ItemEnumerator : public excel::Enumerator {
 public:
  // Starts a walk over the store of `location` with `filter` (nullptr: every item); both are left
  // as they are. Throws std::invalid_argument when `location` is no HostLocationObject or knows no
  // store, or when `filter` is not a ConditionFilter.
  void Init(std::shared_ptr<excel::HostLocation>& location,
            std::shared_ptr<excel::FilterExpression>& filter) override;
  // The next matching item: the store's shared item moved to its row, so it follows the walk;
  // nullptr after the last item (and before Init). Items the store gains during the walk are
  // visited too. Throws what reading the item throws; the walk then goes on after that item.
  std::shared_ptr<excel::HostItem> Next();

 private:
  std::shared_ptr<excel::ItemStore> store_;
  std::shared_ptr<const ConditionFilter> filter_;
  std::int32_t position_ = 0;
};

}  // namespace zentora::host

// The key index of KeyedCollection: an open-addressing hash table (linear
// probing, backward-shift removal) of pointers to entries, each slot keeping
// the key's folded hash so that most probes never touch the entry itself.
// Entries are owned elsewhere; an entry's `key` member is its key.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <utility>
#include <vector>

#include "CaseFolding.h"

namespace zentora::excel::detail {

template <typename Entry>
class KeyTable {
 public:
  KeyTable() = default;
  KeyTable(KeyTable&& other) noexcept
      : slots_(std::move(other.slots_)),
        mask_(std::exchange(other.mask_, 0)),
        used_(std::exchange(other.used_, 0)) {}
  KeyTable& operator=(KeyTable&& other) noexcept {
    slots_ = std::move(other.slots_);
    mask_ = std::exchange(other.mask_, 0);
    used_ = std::exchange(other.used_, 0);
    return *this;
  }

  // The entry whose key folds equal to `key` (with `hash` = FoldedHash(key)), or nullptr.
  Entry* Find(std::string_view key, std::size_t hash) const {
    if (slots_.empty()) return nullptr;
    for (std::size_t i = hash & mask_;; i = (i + 1) & mask_) {
      const Slot& slot = slots_[i];
      if (slot.entry == nullptr) return nullptr;
      if (slot.hash == hash && FoldedEqual(slot.entry->key, key)) return slot.entry;
    }
  }

  // Adds `entry` under its key's `hash`; its key must not be present yet. Only
  // growing the table can throw (std::bad_alloc), and it leaves the table as it was.
  void Insert(Entry* entry, std::size_t hash) {
    if ((used_ + 1) * 4 > slots_.size() * 3) Grow();
    Place(Slot{hash, entry});
    ++used_;
  }

  // Removes `entry`, which is present under `hash`.
  void Erase(const Entry* entry, std::size_t hash) {
    std::size_t hole = hash & mask_;
    while (slots_[hole].entry != entry) hole = (hole + 1) & mask_;
    // Moves later slots of the same probe run back into the hole, so that no
    // run is broken and lookups need no tombstones.
    for (std::size_t next = (hole + 1) & mask_; slots_[next].entry != nullptr; next = (next + 1) & mask_) {
      const std::size_t home = slots_[next].hash & mask_;
      const bool homeAfterHole = hole <= next ? (home > hole && home <= next) : (home > hole || home <= next);
      if (!homeAfterHole) {
        slots_[hole] = slots_[next];
        hole = next;
      }
    }
    slots_[hole] = Slot{};
    --used_;
  }

  // Removes every entry and frees the table.
  void Clear() noexcept {
    slots_.clear();
    slots_.shrink_to_fit();
    mask_ = 0;
    used_ = 0;
  }

 private:
  struct Slot {
    std::size_t hash = 0;
    Entry* entry = nullptr;
  };

  void Place(const Slot& slot) {
    std::size_t i = slot.hash & mask_;
    while (slots_[i].entry != nullptr) i = (i + 1) & mask_;
    slots_[i] = slot;
  }

  void Grow() {
    std::vector<Slot> old(slots_.empty() ? 16 : slots_.size() * 2);
    old.swap(slots_);
    mask_ = slots_.size() - 1;
    for (const Slot& slot : old) {
      if (slot.entry != nullptr) Place(slot);
    }
  }

  std::vector<Slot> slots_;  // a power of two in size, at most three quarters used
  std::size_t mask_ = 0;
  std::size_t used_ = 0;
};

}  // namespace zentora::excel::detail

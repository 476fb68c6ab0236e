// The key index of KeyedCollection: an open-addressing hash table (linear
// probing, backward-shift removal) of pointers to entries, each slot keeping
// the key's folded hash so that most probes never touch the entry itself.
// Entries are owned elsewhere; an entry's `key` member is its key.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <utility>

#include "CaseFolding.h"
#include "ZeroedMemory.h"

namespace zentora::excel::detail {

template <typename Entry>
class KeyTable {
 public:
  KeyTable() = default;
  KeyTable(KeyTable&& other) noexcept
      : memory_(std::move(other.memory_)),
        slots_(std::exchange(other.slots_, nullptr)),
        size_(std::exchange(other.size_, 0)),
        mask_(std::exchange(other.mask_, 0)),
        used_(std::exchange(other.used_, 0)) {}
  KeyTable& operator=(KeyTable&& other) noexcept {
    memory_ = std::move(other.memory_);
    slots_ = std::exchange(other.slots_, nullptr);
    size_ = std::exchange(other.size_, 0);
    mask_ = std::exchange(other.mask_, 0);
    used_ = std::exchange(other.used_, 0);
    return *this;
  }

  // The entry whose key folds equal to `key` (with `hash` = FoldedHash(key)), or nullptr.
  Entry* Find(std::string_view key, std::size_t hash) const {
    if (size_ == 0) return nullptr;
    for (std::size_t i = hash & mask_;; i = (i + 1) & mask_) {
      const Slot& slot = slots_[i];
      if (slot.entry == nullptr) return nullptr;
      if (slot.hash == hash && FoldedEqual(slot.entry->key, key)) return slot.entry;
    }
  }

  // Adds `entry` under its key's `hash`; its key must not be present yet. Only
  // growing the table can throw (std::bad_alloc), and it leaves the table as it was.
  void Insert(Entry* entry, std::size_t hash) {
    if ((used_ + 1) * 4 > size_ * 3) Resize(size_ == 0 ? 16 : size_ * 2);
    Place(Slot{hash, entry});
    ++used_;
  }

  // Makes room for `count` entries in all, so that inserting up to that many rehashes nothing.
  // Throws std::bad_alloc and leaves the table as it was when there is no memory for it.
  void Reserve(std::size_t count) {
    std::size_t size = size_ == 0 ? 16 : size_;
    while (count * 4 > size * 3) size *= 2;
    if (size > size_) Resize(size);
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
    memory_ = ZeroedMemory();
    slots_ = nullptr;
    size_ = 0;
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

  // Moves every slot into a new table of `size` slots (a power of two).
  void Resize(std::size_t size) {
    ZeroedMemory fresh(size * sizeof(Slot));  // all slots free: zero bytes are a free slot
    ZeroedMemory old = std::exchange(memory_, std::move(fresh));
    const Slot* oldSlots = std::exchange(slots_, static_cast<Slot*>(memory_.data()));
    const std::size_t oldSize = std::exchange(size_, size);
    mask_ = size - 1;
    for (std::size_t i = 0; i < oldSize; ++i) {
      if (oldSlots[i].entry != nullptr) Place(oldSlots[i]);
    }
  }

  ZeroedMemory memory_;
  Slot* slots_ = nullptr;  // size_ slots in memory_
  std::size_t size_ = 0;   // a power of two, or 0; at most three quarters used
  std::size_t mask_ = 0;
  std::size_t used_ = 0;
};

}  // namespace zentora::excel::detail

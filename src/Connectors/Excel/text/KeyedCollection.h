// An ordered collection of values, each optionally under a text key, as the
// location keeps its identifier index, heading mapping and data field names.
// Entries keep their insertion order and count from 1; keys compare by Unicode
// simple case folding ("ärzte" = "ÄRZTE", "Straße" = "STRAßE" but not "STRASSE").
//
// Cost: lookup by key and by position O(1) (key lookup on average). Adding at the
// end is O(1) amortised, and moves and rehashes nothing up to a Reserve; Replace is
// O(1). Insert and RemoveAt in the middle shift the later entries' pointers (memmove
// cost, no rehashing, no key updates); RemoveKey also scans the positions for the
// entry. Clear is O(n). Entries never move while they are in the collection.
// Not thread-safe; the component uses it on the host's thread only.
#pragma once

#include <algorithm>
#include <cstdint>
#include <limits>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "../Error.h"
#include "internal/CaseFolding.h"
#include "internal/EntryPool.h"
#include "internal/KeyTable.h"
#include "internal/StoredKey.h"

namespace zentora::excel {

namespace detail {
[[noreturn]] void ThrowDuplicateKey(std::string_view key);
[[noreturn]] void ThrowMissingKey(std::string_view key);
[[noreturn]] void ThrowPositionOutside(std::int64_t position, std::int32_t count);
[[noreturn]] void ThrowCollectionFull();
}  // namespace detail

template <typename Value>
class KeyedCollection {
 public:
  KeyedCollection() = default;
  KeyedCollection(const KeyedCollection&) = delete;
  KeyedCollection& operator=(const KeyedCollection&) = delete;
  KeyedCollection(KeyedCollection&&) noexcept = default;
  KeyedCollection& operator=(KeyedCollection&& other) noexcept {
    if (this != &other) {
      Clear();
      entries_ = std::move(other.entries_);
      pool_ = std::move(other.pool_);
      byKey_ = std::move(other.byKey_);
    }
    return *this;
  }
  ~KeyedCollection() { Clear(); }

  // Number of entries; 0 for an empty collection.
  std::int32_t Count() const noexcept { return static_cast<std::int32_t>(entries_.size()); }

  // Appends `value` under `key`; throws DuplicateKey naming the key when it is present.
  void Add(std::string_view key, Value value) { Insert(Count() + 1, key, std::move(value)); }

  // Appends `value` as an entry without a key (reachable by position only).
  void AddWithoutKey(Value value) {
    CheckRoom();
    RoomForOneMore();
    entries_.push_back(pool_.Make(Entry{detail::StoredKey(""), 0, false, std::move(value)}));
  }

  // Inserts `value` under `key` before `before` (1..Count(); Count() + 1 appends).
  // Throws OutOfRange for another position and DuplicateKey when the key is present;
  // the collection is unchanged then.
  void Insert(std::int32_t before, std::string_view key, Value value) {
    if (before < 1 || before > Count() + 1) detail::ThrowPositionOutside(before, Count());
    CheckRoom();
    // With room made first, the insertion at the position cannot fail after the key is in.
    RoomForOneMore();
    Entry* entry = MakeKeyedEntry(key, std::move(value), nullptr);
    InsertKey(entry);
    entries_.insert(entries_.begin() + (before - 1), entry);
  }

  // Puts `value` under `key` at `position` in place of the entry there: the same as
  // RemoveAt(position) followed by Insert of the new entry at that position.
  // Throws OutOfRange for a position outside 1..Count(), DuplicateKey when another
  // entry holds the key; the collection is unchanged then.
  void Replace(std::int32_t position, std::string_view key, Value value) {
    Entry*& slot = SlotAt(position);
    Entry* entry = MakeKeyedEntry(key, std::move(value), slot);
    if (slot->hasKey) byKey_.Erase(slot, slot->hash);  // then the insertion cannot fail
    InsertKey(entry);
    pool_.Release(std::exchange(slot, entry));
  }

  // Removes the entry at `position`; later entries move up one. Throws OutOfRange outside 1..Count().
  void RemoveAt(std::int32_t position) {
    Entry* entry = SlotAt(position);
    if (entry->hasKey) byKey_.Erase(entry, entry->hash);
    entries_.erase(entries_.begin() + (position - 1));
    pool_.Release(entry);
  }

  // Removes the entry under `key`; throws InvalidArgument naming the key when it is absent.
  void RemoveKey(std::string_view key) {
    Entry* entry = byKey_.Find(key, detail::FoldedHash(key));
    if (entry == nullptr) detail::ThrowMissingKey(key);
    byKey_.Erase(entry, entry->hash);
    entries_.erase(std::find(entries_.begin(), entries_.end(), entry));
    pool_.Release(entry);
  }

  // Makes room for `count` entries in all, so that adding up to that many moves no position and
  // rehashes no key. Room that stays unused costs address space, hardly any memory.
  void Reserve(std::int32_t count) {
    if (count <= 0) return;
    const auto room = static_cast<std::size_t>(count);
    entries_.reserve(room);
    if (room > entries_.size()) pool_.Reserve(room - entries_.size());
    byKey_.Reserve(room);
  }

  // Removes every entry.
  void Clear() noexcept {
    byKey_.Clear();
    for (Entry* entry : entries_) pool_.Release(entry);
    entries_.clear();
    pool_.Clear();
  }

  // The value under `key`, or nullptr when no entry has that key.
  const Value* Find(std::string_view key) const {
    const Entry* entry = byKey_.Find(key, detail::FoldedHash(key));
    return entry == nullptr ? nullptr : &entry->value;
  }
  Value* Find(std::string_view key) {
    Entry* entry = byKey_.Find(key, detail::FoldedHash(key));
    return entry == nullptr ? nullptr : &entry->value;
  }

  // True when an entry has `key`.
  bool Contains(std::string_view key) const { return Find(key) != nullptr; }

  // The value at `position`; throws OutOfRange outside 1..Count().
  const Value& At(std::int32_t position) const { return SlotAt(position)->value; }
  Value& At(std::int32_t position) { return SlotAt(position)->value; }

  // The key of the entry at `position` as it was added; "" for an entry without a key. The text
  // stays valid while the entry is in the collection. Throws OutOfRange outside 1..Count().
  std::string_view KeyAt(std::int32_t position) const { return SlotAt(position)->key; }

 private:
  struct Entry {
    detail::StoredKey key;
    std::size_t hash;  // FoldedHash(key) for a keyed entry
    bool hasKey;
    Value value;
  };

  // A new keyed entry, not yet in the table or at a position; throws DuplicateKey when an entry
  // other than `replaced` holds the key.
  Entry* MakeKeyedEntry(std::string_view key, Value value, const Entry* replaced) {
    const std::size_t hash = detail::FoldedHash(key);
    const Entry* holder = byKey_.Find(key, hash);
    if (holder != nullptr && holder != replaced) detail::ThrowDuplicateKey(key);
    return pool_.Make(Entry{detail::StoredKey(key), hash, true, std::move(value)});
  }

  // Puts the new `entry` into the key table; when that fails (no memory for a larger table) the
  // entry goes back to the pool and the table is as it was.
  void InsertKey(Entry* entry) {
    try {
      byKey_.Insert(entry, entry->hash);
    } catch (...) {
      pool_.Release(entry);
      throw;
    }
  }

  // Makes sure one more position fits without another allocation.
  void RoomForOneMore() {
    if (entries_.size() == entries_.capacity())
      entries_.reserve(std::max<std::size_t>(16, 2 * entries_.size()));
  }

  const Entry* SlotAt(std::int32_t position) const {
    if (position < 1 || position > Count()) detail::ThrowPositionOutside(position, Count());
    return entries_[static_cast<std::size_t>(position - 1)];
  }
  Entry*& SlotAt(std::int32_t position) {
    if (position < 1 || position > Count()) detail::ThrowPositionOutside(position, Count());
    return entries_[static_cast<std::size_t>(position - 1)];
  }

  void CheckRoom() const {
    if (Count() == std::numeric_limits<std::int32_t>::max()) detail::ThrowCollectionFull();
  }

  // The pool owns the entries; the positions point at all of them, the key table at the keyed ones.
  std::vector<Entry*, detail::ZeroedAllocator<Entry*>> entries_;
  detail::EntryPool<Entry> pool_;
  detail::KeyTable<Entry> byKey_;
};

// Empties `collection`, with the effect of removing entry 1 while any entry is left, in O(n).
template <typename Value>
void ClearCollection(KeyedCollection<Value>& collection) noexcept {
  collection.Clear();
}

}  // namespace zentora::excel

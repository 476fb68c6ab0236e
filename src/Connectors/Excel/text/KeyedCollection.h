// An ordered collection of values, each optionally under a text key, as the
// location keeps its identifier index, heading mapping and data field names.
// Entries keep their insertion order and count from 1; keys compare by Unicode
// simple case folding ("ärzte" = "ÄRZTE", "Straße" = "STRAßE" but not "STRASSE").
//
// Cost: lookup by key and by position O(1) (key lookup on average). Adding at the
// end is O(1) amortised (without moves or rehashing up to a Reserve), Replace is O(1). Insert and RemoveAt in
// the middle shift the later entries' pointers (memmove cost, no rehashing, no key updates); RemoveKey also
// scans the positions for the entry. Clear is O(n). Not thread-safe; the component uses it on the host's
// thread only.
#pragma once

#include <algorithm>
#include <concepts>
#include <cstdint>
#include <limits>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "../Error.h"
#include "internal/CaseFolding.h"
#include "internal/KeyTable.h"

namespace zentora::excel {

namespace detail {
[[noreturn]] void ThrowDuplicateKey(std::string_view key);
[[noreturn]] void ThrowMissingKey(std::string_view key);
[[noreturn]] void ThrowPositionOutside(std::int64_t position, std::int32_t count);
[[noreturn]] void ThrowCollectionFull();
}  // namespace detail

// What the collection takes as a key: any text a std::string_view can show.
template <typename Key>
concept KeyText = std::convertible_to<Key, std::string_view>;

template <typename Value>
class KeyedCollection {
 public:
  KeyedCollection() = default;
  KeyedCollection(const KeyedCollection&) = delete;
  KeyedCollection& operator=(const KeyedCollection&) = delete;
  KeyedCollection(KeyedCollection&&) noexcept = default;
  KeyedCollection& operator=(KeyedCollection&&) noexcept = default;

  // Number of entries; 0 for an empty collection.
  std::int32_t Count() const noexcept { return static_cast<std::int32_t>(entries_.size()); }

  // Appends `value` under `key`; throws DuplicateKey naming the key when it is present. A key
  // handed over as a std::string rvalue becomes the entry's key without a copy, and is moved from
  // only when the entry is added (after a failure it still holds the key).
  template <KeyText Key>
  void Add(Key&& key, Value value) {
    Insert(Count() + 1, std::forward<Key>(key), std::move(value));
  }

  // Appends `value` as an entry without a key (reachable by position only).
  void AddWithoutKey(Value value) {
    CheckRoom();
    entries_.push_back(std::make_unique<Entry>(Entry{std::string(), 0, false, std::move(value)}));
  }

  // Inserts `value` under `key` before `before` (1..Count(); Count() + 1 appends).
  // Throws OutOfRange for another position and DuplicateKey when the key is present;
  // the collection is unchanged then. The key is taken over as Add takes it.
  template <KeyText Key>
  void Insert(std::int32_t before, Key&& key, Value value) {
    if (before < 1 || before > Count() + 1) detail::ThrowPositionOutside(before, Count());
    CheckRoom();
    auto entry = MakeKeyedEntry(std::forward<Key>(key), std::move(value), nullptr);
    // With room reserved first, the insertion below cannot fail after the key is in.
    if (entries_.size() == entries_.capacity())
      entries_.reserve(std::max<std::size_t>(16, 2 * entries_.size()));
    byKey_.Insert(entry.get(), entry->hash);
    entries_.insert(entries_.begin() + (before - 1), std::move(entry));
  }

  // Puts `value` under `key` at `position` in place of the entry there: the same as
  // RemoveAt(position) followed by Insert of the new entry at that position.
  // Throws OutOfRange for a position outside 1..Count(), DuplicateKey when another
  // entry holds the key; the collection is unchanged then.
  void Replace(std::int32_t position, std::string_view key, Value value) {
    std::unique_ptr<Entry>& slot = SlotAt(position);
    auto entry = MakeKeyedEntry(key, std::move(value), slot.get());
    if (slot->hasKey) byKey_.Erase(slot.get(), slot->hash);
    byKey_.Insert(entry.get(), entry->hash);
    slot = std::move(entry);
  }

  // Removes the entry at `position`; later entries move up one. Throws OutOfRange outside 1..Count().
  void RemoveAt(std::int32_t position) {
    const Entry& entry = *SlotAt(position);
    if (entry.hasKey) byKey_.Erase(&entry, entry.hash);
    entries_.erase(entries_.begin() + (position - 1));
  }

  // Removes the entry under `key`; throws InvalidArgument naming the key when it is absent.
  void RemoveKey(std::string_view key) {
    const Entry* entry = byKey_.Find(key, detail::FoldedHash(key));
    if (entry == nullptr) detail::ThrowMissingKey(key);
    byKey_.Erase(entry, entry->hash);
    entries_.erase(std::find_if(entries_.begin(), entries_.end(),
                                [entry](const std::unique_ptr<Entry>& e) { return e.get() == entry; }));
  }

  // Makes room for `count` entries in all, so that adding up to that many moves no position and
  // rehashes no key. Room that stays unused costs address space rather than memory.
  void Reserve(std::int32_t count) {
    if (count <= 0) return;
    entries_.reserve(static_cast<std::size_t>(count));
    byKey_.Reserve(static_cast<std::size_t>(count));
  }

  // Removes every entry.
  void Clear() noexcept {
    byKey_.Clear();
    entries_.clear();
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

  // The key of the entry at `position` as it was added; "" for an entry without a key.
  // Throws OutOfRange outside 1..Count().
  const std::string& KeyAt(std::int32_t position) const { return SlotAt(position)->key; }

 private:
  struct Entry {
    std::string key;
    std::size_t hash;  // FoldedHash(key) for a keyed entry
    bool hasKey;
    Value value;
  };

  // A new keyed entry; throws DuplicateKey when an entry other than `replaced` holds the key.
  template <KeyText Key>
  std::unique_ptr<Entry> MakeKeyedEntry(Key&& key, Value value, const Entry* replaced) const {
    const std::string_view text = key;
    const std::size_t hash = detail::FoldedHash(text);
    const Entry* holder = byKey_.Find(text, hash);
    if (holder != nullptr && holder != replaced) detail::ThrowDuplicateKey(text);
    return std::make_unique<Entry>(Entry{std::string(std::forward<Key>(key)), hash, true, std::move(value)});
  }

  const std::unique_ptr<Entry>& SlotAt(std::int32_t position) const {
    if (position < 1 || position > Count()) detail::ThrowPositionOutside(position, Count());
    return entries_[static_cast<std::size_t>(position - 1)];
  }
  std::unique_ptr<Entry>& SlotAt(std::int32_t position) {
    if (position < 1 || position > Count()) detail::ThrowPositionOutside(position, Count());
    return entries_[static_cast<std::size_t>(position - 1)];
  }

  void CheckRoom() const {
    if (Count() == std::numeric_limits<std::int32_t>::max()) detail::ThrowCollectionFull();
  }

  // Positions own the entries; the key table points at the keyed ones.
  std::vector<std::unique_ptr<Entry>> entries_;
  detail::KeyTable<Entry> byKey_;
};

// Empties `collection`, with the effect of removing entry 1 while any entry is left, in O(n).
template <typename Value>
void ClearCollection(KeyedCollection<Value>& collection) noexcept {
  collection.Clear();
}

}  // namespace zentora::excel

// The entries of a keyed collection, made in blocks that never move, so that the
// positions and the key table can point at them. An entry given back is reused
// by the next one made. Each new block is as large as all before it (or as a
// reservation asks), and large blocks are huge-page memory (see ZeroedMemory),
// so that 100,000 entries cost a few blocks instead of 100,000 allocations.
// The owner destroys its entries (Release) before the pool goes.
#pragma once

#include <algorithm>
#include <cstddef>
#include <new>
#include <utility>
#include <vector>

#include "ZeroedMemory.h"

namespace zentora::excel::detail {

template <typename Entry>
class EntryPool {
 public:
  EntryPool() = default;
  EntryPool(EntryPool&& other) noexcept
      : blocks_(std::move(other.blocks_)),
        next_(std::exchange(other.next_, nullptr)),
        end_(std::exchange(other.end_, nullptr)),
        free_(std::exchange(other.free_, nullptr)),
        made_(std::exchange(other.made_, 0)) {}
  EntryPool& operator=(EntryPool&& other) noexcept {
    EntryPool taken(std::move(other));
    std::swap(blocks_, taken.blocks_);
    std::swap(next_, taken.next_);
    std::swap(end_, taken.end_);
    std::swap(free_, taken.free_);
    std::swap(made_, taken.made_);
    return *this;
  }

  // Makes room for `count` more entries in the current block, starting a block that large when
  // the current one has less. Throws std::bad_alloc, the pool unchanged then.
  void Reserve(std::size_t count) {
    if (Left() < count) StartBlock(std::max(count, std::max<std::size_t>(16, made_)));
  }

  // A new entry moved from `entry`. Throws std::bad_alloc, the pool unchanged then.
  Entry* Make(Entry&& entry) {
    if (free_ != nullptr) {
      FreePlace* following = free_->next;
      Entry* made = ::new (static_cast<void*>(free_)) Entry(std::move(entry));
      free_ = following;
      return made;
    }
    if (Left() == 0) StartBlock(std::max<std::size_t>(16, made_));
    Entry* made = ::new (static_cast<void*>(next_)) Entry(std::move(entry));
    next_ += kSlot;
    ++made_;
    return made;
  }

  // Destroys `entry`, made by this pool, and keeps its place for the next entry made.
  void Release(Entry* entry) noexcept {
    entry->~Entry();
    free_ = ::new (static_cast<void*>(entry)) FreePlace{free_};
  }

  // Frees every block; the entries must have been released.
  void Clear() noexcept { *this = EntryPool(); }

 private:
  struct FreePlace {
    FreePlace* next;
  };
  static constexpr std::size_t kSlot = std::max(sizeof(Entry), sizeof(FreePlace));
  static_assert(alignof(Entry) <= alignof(std::max_align_t) && kSlot % alignof(FreePlace) == 0);

  std::size_t Left() const noexcept { return static_cast<std::size_t>(end_ - next_) / kSlot; }

  void StartBlock(std::size_t slots) {
    if (blocks_.size() == blocks_.capacity()) blocks_.reserve(std::max<std::size_t>(8, 2 * blocks_.size()));
    ZeroedMemory& block = blocks_.emplace_back(slots * kSlot);
    next_ = static_cast<std::byte*>(block.data());
    end_ = next_ + slots * kSlot;
  }

  std::vector<ZeroedMemory> blocks_;
  std::byte* next_ = nullptr;  // the first place never used, in the last block
  std::byte* end_ = nullptr;
  FreePlace* free_ = nullptr;  // places given back, each linked to the one given back before it
  std::size_t made_ = 0;       // places used from the blocks
};

}  // namespace zentora::excel::detail

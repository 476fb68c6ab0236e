// Zeroed memory for the large arrays of the keyed collections. Large blocks are
// mapped straight from the system, in whole 2 MiB pages with transparent huge
// pages asked for: fresh memory touched 4 KiB at a time costs one page fault
// per page, a large share of building an index of 100,000 identifiers on a
// virtual machine. Pages are touched only where written, so room reserved
// beyond what is used costs address space and at most one 2 MiB page per place
// written, not memory for all of it. Small blocks come from the heap.
#pragma once

#include <cstddef>
#include <utility>

namespace zentora::excel::detail {

// `bytes` (at least one) of zeroed memory, aligned for any type; throws std::bad_alloc when the
// system refuses. FreeZeroed with the same `bytes` gives it back.
void* AllocateZeroed(std::size_t bytes);
void FreeZeroed(void* memory, std::size_t bytes) noexcept;

// One block of AllocateZeroed memory, given back on destruction. Move-only.
class ZeroedMemory {
 public:
  // No memory: data() is nullptr.
  ZeroedMemory() = default;
  explicit ZeroedMemory(std::size_t bytes) : data_(AllocateZeroed(bytes)), bytes_(bytes) {}
  ZeroedMemory(ZeroedMemory&& other) noexcept
      : data_(std::exchange(other.data_, nullptr)), bytes_(std::exchange(other.bytes_, 0)) {}
  ZeroedMemory& operator=(ZeroedMemory&& other) noexcept {
    ZeroedMemory taken(std::move(other));
    std::swap(data_, taken.data_);
    std::swap(bytes_, taken.bytes_);
    return *this;
  }
  ~ZeroedMemory() {
    if (data_ != nullptr) FreeZeroed(data_, bytes_);
  }

  // The memory's start; nullptr when there is none.
  void* data() const noexcept { return data_; }

 private:
  void* data_ = nullptr;
  std::size_t bytes_ = 0;
};

// Lets a std::vector keep its elements in AllocateZeroed memory.
template <typename T>
struct ZeroedAllocator {
  using value_type = T;
  ZeroedAllocator() = default;
  template <typename U>
  ZeroedAllocator(const ZeroedAllocator<U>&) noexcept {}
  T* allocate(std::size_t count) { return static_cast<T*>(AllocateZeroed(count * sizeof(T))); }
  void deallocate(T* memory, std::size_t count) noexcept { FreeZeroed(memory, count * sizeof(T)); }
  bool operator==(const ZeroedAllocator&) const noexcept = default;
};

}  // namespace zentora::excel::detail

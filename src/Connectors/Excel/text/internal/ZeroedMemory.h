// Zeroed memory for the large arrays of the keyed collections. Large blocks are
// mapped straight from the system, aligned to 2 MiB and with transparent huge
// pages asked for: fresh memory touched 4 KiB at a time costs one page fault
// per page, a large share of building an index of 100,000 identifiers on a
// virtual machine. Pages are touched only where written, so room reserved
// beyond what is used costs address space rather than memory. Small blocks come
// from the heap. Move-only; the memory is returned on destruction.
#pragma once

#include <cstddef>
#include <utility>

namespace zentora::excel::detail {

class ZeroedMemory {
 public:
  // No memory: data() is nullptr.
  ZeroedMemory() = default;
  // `bytes` of zeroed memory (at least one byte); throws std::bad_alloc when the system refuses.
  explicit ZeroedMemory(std::size_t bytes);
  ZeroedMemory(ZeroedMemory&& other) noexcept
      : data_(std::exchange(other.data_, nullptr)), mapped_(std::exchange(other.mapped_, 0)) {}
  ZeroedMemory& operator=(ZeroedMemory&& other) noexcept {
    ZeroedMemory taken(std::move(other));
    std::swap(data_, taken.data_);
    std::swap(mapped_, taken.mapped_);
    return *this;
  }
  ~ZeroedMemory();

  // The memory's start, aligned for any type; nullptr when there is none.
  void* data() const noexcept { return data_; }

 private:
  void* data_ = nullptr;
  std::size_t mapped_ = 0;  // the length of the mapping; 0 for heap memory
};

}  // namespace zentora::excel::detail

// Transparent huge pages for large buffers about to be filled.
#pragma once

#include <sys/mman.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <memory_resource>
#include <new>

namespace zentora::spreadsheet {

// Asks for transparent huge pages on the whole 2 MiB pages inside a large buffer about to be filled:
// touching fresh memory costs one page fault per 4 KiB otherwise, which on virtual machines is a large
// share of reading or writing a big workbook. Without huge pages (or on small buffers) nothing changes.
inline void AdviseHugePages(char* data, std::size_t size) {
  constexpr std::uintptr_t kHuge = 2u << 20;
  const auto start = (reinterpret_cast<std::uintptr_t>(data) + kHuge - 1) & ~(kHuge - 1);
  const auto end = (reinterpret_cast<std::uintptr_t>(data) + size) & ~(kHuge - 1);
  if (end > start) madvise(reinterpret_cast<void*>(start), end - start, MADV_HUGEPAGE);
}

// Memory for many small blocks that live as long as their owner (the cells of a sheet's rows): a pool whose
// large chunks are aligned to and advised for huge pages, so that filling them costs a page fault per 2 MiB
// rather than per 4 KiB, and a block costs a free-list step rather than a malloc. Not thread-safe.
class PooledMemory {
 public:
  std::pmr::memory_resource* resource() { return &pool_; }

 private:
  class HugeChunks final : public std::pmr::memory_resource {
    static constexpr std::size_t kHuge = 2u << 20;
    static std::align_val_t Alignment(std::size_t bytes, std::size_t alignment) {
      return std::align_val_t(std::max(alignment, bytes >= kHuge ? kHuge : alignof(std::max_align_t)));
    }
    void* do_allocate(std::size_t bytes, std::size_t alignment) override {
      void* chunk = ::operator new(bytes, Alignment(bytes, alignment));
      AdviseHugePages(static_cast<char*>(chunk), bytes);
      return chunk;
    }
    void do_deallocate(void* chunk, std::size_t bytes, std::size_t alignment) override {
      ::operator delete(chunk, Alignment(bytes, alignment));
    }
    bool do_is_equal(const std::pmr::memory_resource& other) const noexcept override {
      return this == &other;
    }
  };

  HugeChunks chunks_;
  std::pmr::unsynchronized_pool_resource pool_{&chunks_};
};

}  // namespace zentora::spreadsheet

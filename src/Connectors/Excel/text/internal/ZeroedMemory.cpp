#include "text/internal/ZeroedMemory.h"

#include <sys/mman.h>

#include <cstdint>
#include <cstdlib>
#include <new>

namespace zentora::excel::detail {
namespace {

constexpr std::size_t kHugePage = std::size_t{2} << 20;
// Blocks from half a megabyte on are mapped, rounded up to whole huge pages: one page fault
// instead of 128 or more.
constexpr std::size_t kMappedFrom = std::size_t{1} << 19;

std::size_t MappedLength(std::size_t bytes) { return (bytes + kHugePage - 1) & ~(kHugePage - 1); }

}  // namespace

void* AllocateZeroed(std::size_t bytes) {
  if (bytes < kMappedFrom) {
    void* memory = std::calloc(bytes, 1);
    if (memory == nullptr) throw std::bad_alloc();
    return memory;
  }
  // Mapped with a huge page's worth of slack, then trimmed to a huge-page-aligned stretch.
  const std::size_t length = MappedLength(bytes);
  void* mapping =
      mmap(nullptr, length + kHugePage, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (mapping == MAP_FAILED) throw std::bad_alloc();
  const auto start = reinterpret_cast<std::uintptr_t>(mapping);
  const std::uintptr_t aligned = (start + kHugePage - 1) & ~(kHugePage - 1);
  if (aligned > start) munmap(mapping, aligned - start);
  if (const std::size_t tail = start + kHugePage - aligned; tail > 0)
    munmap(reinterpret_cast<void*>(aligned + length), tail);
  madvise(reinterpret_cast<void*>(aligned), length, MADV_HUGEPAGE);
  return reinterpret_cast<void*>(aligned);
}

void FreeZeroed(void* memory, std::size_t bytes) noexcept {
  if (bytes < kMappedFrom) {
    std::free(memory);
  } else {
    munmap(memory, MappedLength(bytes));
  }
}

}  // namespace zentora::excel::detail

#include "text/internal/ZeroedMemory.h"

#include <sys/mman.h>

#include <cstdint>
#include <cstdlib>
#include <new>

namespace zentora::excel::detail {
namespace {

constexpr std::size_t kHugePage = std::size_t{2} << 20;

}  // namespace

ZeroedMemory::ZeroedMemory(std::size_t bytes) {
  if (bytes < kHugePage) {
    data_ = std::calloc(bytes, 1);
    if (data_ == nullptr) throw std::bad_alloc();
    return;
  }
  // Mapped with a huge page's worth of slack, then trimmed to a huge-page-aligned stretch.
  const std::size_t length = (bytes + kHugePage - 1) & ~(kHugePage - 1);
  void* mapping =
      mmap(nullptr, length + kHugePage, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (mapping == MAP_FAILED) throw std::bad_alloc();
  const auto start = reinterpret_cast<std::uintptr_t>(mapping);
  const std::uintptr_t aligned = (start + kHugePage - 1) & ~(kHugePage - 1);
  if (aligned > start) munmap(mapping, aligned - start);
  if (const std::size_t tail = start + kHugePage - aligned; tail > 0)
    munmap(reinterpret_cast<void*>(aligned + length), tail);
  data_ = reinterpret_cast<void*>(aligned);
  mapped_ = length;
  madvise(data_, mapped_, MADV_HUGEPAGE);
}

ZeroedMemory::~ZeroedMemory() {
  if (mapped_ != 0) {
    munmap(data_, mapped_);
  } else {
    std::free(data_);
  }
}

}  // namespace zentora::excel::detail

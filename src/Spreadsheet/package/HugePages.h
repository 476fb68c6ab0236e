// Transparent huge pages for large buffers about to be filled.
#pragma once

#include <sys/mman.h>

#include <cstddef>
#include <cstdint>

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

}  // namespace zentora::spreadsheet

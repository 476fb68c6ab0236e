// Conversion of byte offsets into the 1-based 32-bit positions the text functions return.
#pragma once

#include <cstddef>
#include <cstdint>

namespace zentora::excel::detail {

// The 1-based position of byte offset `offset`; throws Overflow when it exceeds 32 bits.
std::int32_t PositionOf(std::size_t offset);

}  // namespace zentora::excel::detail

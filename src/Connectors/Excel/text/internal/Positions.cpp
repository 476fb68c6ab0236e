#include "text/internal/Positions.h"

#include <limits>
#include <string>

#include "Error.h"

namespace zentora::excel::detail {

std::int32_t PositionOf(std::size_t offset) {
  if (offset >= static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max())) {
    throw Error(ErrorCode::Overflow, "the text position " + std::to_string(offset + 1) + " exceeds 32 bits");
  }
  return static_cast<std::int32_t>(offset + 1);
}

}  // namespace zentora::excel::detail

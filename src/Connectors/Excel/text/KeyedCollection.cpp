#include "text/KeyedCollection.h"

#include <string>

namespace zentora::excel::detail {

void ThrowDuplicateKey(std::string_view key) {
  throw Error(ErrorCode::DuplicateKey, "the key \"" + std::string(key) + "\" is already in the collection");
}

void ThrowMissingKey(std::string_view key) {
  throw Error(ErrorCode::InvalidArgument, "the key \"" + std::string(key) + "\" is not in the collection");
}

void ThrowPositionOutside(std::int64_t position, std::int32_t count) {
  throw Error(ErrorCode::OutOfRange, "position " + std::to_string(position) +
                                         " is outside the collection of " + std::to_string(count) +
                                         " entries");
}

void ThrowCollectionFull() {
  throw Error(ErrorCode::Overflow, "the collection already holds the largest number of entries");
}

}  // namespace zentora::excel::detail

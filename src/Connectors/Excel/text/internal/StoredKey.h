// A key's text as a keyed collection's entry keeps it: inside the entry when it
// is short (item identifiers are 38 bytes), so that the index of a large store
// makes no allocation per key and its keys share the entries' memory; a longer
// key is allocated on its own.
#pragma once

#include <cstddef>
#include <cstring>
#include <memory>
#include <string_view>

namespace zentora::excel::detail {

class StoredKey {
 public:
  explicit StoredKey(std::string_view text) : length_(text.size()) {
    char* place = inline_;
    if (text.size() > sizeof inline_) {
      allocated_ = std::make_unique_for_overwrite<char[]>(text.size());
      place = allocated_.get();
    }
    if (!text.empty()) std::memcpy(place, text.data(), text.size());
  }

  // The text; valid while the key lives and does not move.
  std::string_view view() const noexcept { return {allocated_ ? allocated_.get() : inline_, length_}; }
  operator std::string_view() const noexcept { return view(); }

 private:
  std::unique_ptr<char[]> allocated_;  // the text when it does not fit inline_
  std::size_t length_;
  char inline_[40];
};

}  // namespace zentora::excel::detail

// Key comparison of the keyed collections: Unicode simple case folding applied
// code point by code point to UTF-8 text. Bytes that are not well-formed UTF-8
// stand for themselves, so every byte string has a folded form.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace zentora::excel::detail {

// Hash of the folded form of `text`; texts that compare equal by FoldedEqual hash equally.
std::size_t FoldedHash(std::string_view text);

// The folded form of `text`: each code point replaced by its simple case folding; an ill-formed
// byte is kept behind a 0xFF marker byte, so folded texts compare and search as the originals would.
std::string FoldedText(std::string_view text);

// True when `a` and `b` have the same folded form ("ärzte" and "ÄRZTE", not "Straße" and "STRASSE").
bool FoldedEqual(std::string_view a, std::string_view b) noexcept;

struct FoldedKeyHash {
  std::size_t operator()(std::string_view text) const { return FoldedHash(text); }
};

struct FoldedKeyEqual {
  bool operator()(std::string_view a, std::string_view b) const noexcept { return FoldedEqual(a, b); }
};

}  // namespace zentora::excel::detail

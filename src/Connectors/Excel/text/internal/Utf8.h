// Code point reading and writing on UTF-8 texts, for the text functions that
// work character by character.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace zentora::excel::detail {

// Marks a byte that does not start a well-formed UTF-8 sequence: the decoded
// value is kIllFormedByte plus the byte, above every code point.
inline constexpr char32_t kIllFormedByte = 0x110000;

// Decodes the code point at byte `i` and moves `i` past it; an ill-formed
// byte decodes as kIllFormedByte + byte and `i` moves by one. `i` must be < text.size().
char32_t NextCodePoint(std::string_view text, std::size_t& i) noexcept;

// Number of bytes of the code point starting at byte `i` (1 for an ill-formed byte).
std::size_t CodePointLength(std::string_view text, std::size_t i) noexcept;

// Writes `c` as UTF-8 to `out` (room for 4 bytes) and returns its length; a
// kIllFormedByte value writes its byte unchanged.
std::size_t EncodeCodePoint(char32_t c, char* out) noexcept;

// Appends `c` as UTF-8; a kIllFormedByte value appends its byte unchanged.
void AppendCodePoint(std::string& text, char32_t c);

// Byte length of the first `count` code points of `text` (all of it when shorter).
std::size_t PrefixLength(std::string_view text, std::size_t count) noexcept;

// The code point that ends just before byte `end` (decoded as NextCodePoint
// would); `end` must be > 0.
char32_t PreviousCodePoint(std::string_view text, std::size_t end) noexcept;

// The `count` code points of `text` from the `first`-th (counting from 1); ""
// when `text` has fewer than `first` code points.
std::string_view CodePointSlice(std::string_view text, std::size_t first, std::size_t count) noexcept;

}  // namespace zentora::excel::detail

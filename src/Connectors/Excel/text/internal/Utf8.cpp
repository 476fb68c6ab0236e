#include "text/internal/Utf8.h"

#include <cstdint>

namespace zentora::excel::detail {

char32_t NextCodePoint(std::string_view text, std::size_t& i) noexcept {
  const auto lead = static_cast<std::uint8_t>(text[i]);
  const auto illFormed = [&] {
    ++i;
    return kIllFormedByte + lead;
  };
  if (lead < 0x80) {
    ++i;
    return lead;
  }
  std::size_t length = 0;
  char32_t c = 0;
  char32_t smallest = 0;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2, c = lead & 0x1Fu, smallest = 0x80;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3, c = lead & 0x0Fu, smallest = 0x800;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4, c = lead & 0x07u, smallest = 0x10000;
  } else {
    return illFormed();
  }
  if (text.size() - i < length) return illFormed();
  for (std::size_t k = 1; k < length; ++k) {
    const auto next = static_cast<std::uint8_t>(text[i + k]);
    if ((next & 0xC0) != 0x80) return illFormed();
    c = (c << 6) | (next & 0x3Fu);
  }
  if (c < smallest || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return illFormed();
  i += length;
  return c;
}

std::size_t CodePointLength(std::string_view text, std::size_t i) noexcept {
  std::size_t next = i;
  NextCodePoint(text, next);
  return next - i;
}

std::size_t EncodeCodePoint(char32_t c, char* out) noexcept {
  const auto byte = [](char32_t bits) { return static_cast<char>(bits); };
  if (c >= kIllFormedByte) {
    out[0] = byte(c - kIllFormedByte);
    return 1;
  }
  if (c < 0x80) {
    out[0] = byte(c);
    return 1;
  }
  if (c < 0x800) {
    out[0] = byte(0xC0 | (c >> 6));
    out[1] = byte(0x80 | (c & 0x3F));
    return 2;
  }
  if (c < 0x10000) {
    out[0] = byte(0xE0 | (c >> 12));
    out[1] = byte(0x80 | ((c >> 6) & 0x3F));
    out[2] = byte(0x80 | (c & 0x3F));
    return 3;
  }
  out[0] = byte(0xF0 | (c >> 18));
  out[1] = byte(0x80 | ((c >> 12) & 0x3F));
  out[2] = byte(0x80 | ((c >> 6) & 0x3F));
  out[3] = byte(0x80 | (c & 0x3F));
  return 4;
}

void AppendCodePoint(std::string& text, char32_t c) {
  char encoded[4];
  text.append(encoded, EncodeCodePoint(c, encoded));
}

std::size_t PrefixLength(std::string_view text, std::size_t count) noexcept {
  std::size_t i = 0;
  for (std::size_t k = 0; k < count && i < text.size(); ++k) NextCodePoint(text, i);
  return i;
}

char32_t PreviousCodePoint(std::string_view text, std::size_t end) noexcept {
  std::size_t start = end - 1;
  while (start > 0 && end - start < 4 && (static_cast<std::uint8_t>(text[start]) & 0xC0) == 0x80) --start;
  std::size_t next = start;
  const char32_t c = NextCodePoint(text, next);
  if (next == end) return c;
  // The bytes before `end` are no complete sequence: the last byte stands alone.
  next = end - 1;
  return NextCodePoint(text, next);
}

std::string_view CodePointSlice(std::string_view text, std::size_t first, std::size_t count) noexcept {
  const std::size_t begin = PrefixLength(text, first - 1);
  return text.substr(begin, PrefixLength(text.substr(begin), count));
}

}  // namespace zentora::excel::detail

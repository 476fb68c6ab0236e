#include "text/internal/CaseFolding.h"

#include <bit>
#include <cstdint>
#include <cstring>
#include <string>

#include <unicode/uchar.h>

#include "text/internal/Utf8.h"

namespace zentora::excel::detail {
namespace {

// The eight-byte fast path packs bytes the way AddByte does only on little-endian machines.
static_assert(std::endian::native == std::endian::little);

constexpr std::uint64_t kBytesOf(std::uint8_t byte) { return 0x0101010101010101ULL * byte; }

// Lower-cases the ASCII capitals of eight ASCII bytes at once (all bytes below 0x80).
std::uint64_t FoldAsciiWord(std::uint64_t word) {
  const std::uint64_t atLeastA = word + kBytesOf(0x80 - 'A');
  const std::uint64_t aboveZ = word + kBytesOf(0x80 - 'Z' - 1);
  const std::uint64_t capitals = (atLeastA ^ aboveZ) & kBytesOf(0x80);
  return word | (capitals >> 2);
}

char FoldAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + ('a' - 'A')) : c; }

// Reads the code point at `i` and returns its folded value; an ill-formed
// byte stays as its kIllFormedByte value, which equals no code point.
char32_t NextFolded(std::string_view text, std::size_t& i) {
  const char32_t c = NextCodePoint(text, i);
  if (c >= kIllFormedByte) return c;
  return static_cast<char32_t>(u_foldCase(static_cast<UChar32>(c), U_FOLD_CASE_DEFAULT));
}

// Collects the folded text as a byte stream and mixes it eight bytes at a time,
// so the hash depends on the folded text only, not on how it was split up.
class FoldedHasher {
 public:
  void AddWord(std::uint64_t word) {
    hash_ = (hash_ ^ word) * 0x9E3779B97F4A7C15ULL;
    hash_ ^= hash_ >> 29;
  }
  void AddByte(std::uint8_t byte) {
    pending_ |= static_cast<std::uint64_t>(byte) << (8 * pendingCount_);
    if (++pendingCount_ == 8) {
      AddWord(pending_);
      pending_ = 0;
      pendingCount_ = 0;
    }
  }
  void AddCodePoint(char32_t c) {
    std::string encoded;
    if (c >= kIllFormedByte) encoded += '\xFF';
    AppendCodePoint(encoded, c);
    for (const char byte : encoded) AddByte(static_cast<std::uint8_t>(byte));
  }
  bool Aligned() const { return pendingCount_ == 0; }
  std::size_t Finish(std::size_t length) {
    AddWord(pending_ ^ (static_cast<std::uint64_t>(pendingCount_) << 56));
    AddWord(length);
    return static_cast<std::size_t>(hash_);
  }

 private:
  std::uint64_t hash_ = 0xCBF29CE484222325ULL;
  std::uint64_t pending_ = 0;
  int pendingCount_ = 0;
};

}  // namespace

std::size_t FoldedHash(std::string_view text) noexcept {
  FoldedHasher hasher;
  std::size_t foldedLength = 0;
  std::size_t i = 0;
  while (i < text.size()) {
    if (hasher.Aligned() && i + 8 <= text.size()) {
      std::uint64_t word = 0;
      std::memcpy(&word, text.data() + i, 8);
      if ((word & kBytesOf(0x80)) == 0) {
        hasher.AddWord(FoldAsciiWord(word));
        i += 8;
        foldedLength += 8;
        continue;
      }
    }
    const auto byte = static_cast<std::uint8_t>(text[i]);
    if (byte < 0x80) {
      hasher.AddByte(static_cast<std::uint8_t>(FoldAscii(static_cast<char>(byte))));
      ++i;
      ++foldedLength;
      continue;
    }
    hasher.AddCodePoint(NextFolded(text, i));
    ++foldedLength;
  }
  return hasher.Finish(foldedLength);
}

bool FoldedEqual(std::string_view a, std::string_view b) noexcept {
  if (a == b) return true;
  std::size_t i = 0;
  std::size_t j = 0;
  while (i < a.size() && j < b.size()) {
    const auto byteA = static_cast<std::uint8_t>(a[i]);
    const auto byteB = static_cast<std::uint8_t>(b[j]);
    if (byteA < 0x80 && byteB < 0x80) {
      if (FoldAscii(a[i]) != FoldAscii(b[j])) return false;
      ++i;
      ++j;
      continue;
    }
    if (NextFolded(a, i) != NextFolded(b, j)) return false;
  }
  return i == a.size() && j == b.size();
}

}  // namespace zentora::excel::detail

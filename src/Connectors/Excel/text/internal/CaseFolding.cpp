#include "text/internal/CaseFolding.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstdint>
#include <cstring>
#include <functional>
#include <string>
#include <utility>

#include <unicode/uchar.h>

#include "text/internal/Utf8.h"

namespace zentora::excel::detail {
namespace {

static_assert(std::endian::native == std::endian::little,
              "the word-wise folding reads bytes in little-endian order");

constexpr std::uint64_t kBytesOf(std::uint8_t byte) { return 0x0101010101010101ULL * byte; }

// Lower-cases the ASCII capitals among eight bytes at once. Exact for the bytes
// below the first non-ASCII byte (in memory order): the additions carry only
// towards later bytes on a little-endian machine.
std::uint64_t FoldAsciiWord(std::uint64_t word) {
  const std::uint64_t atLeastA = word + kBytesOf(0x80 - 'A');
  const std::uint64_t aboveZ = word + kBytesOf(0x80 - 'Z' - 1);
  const std::uint64_t capitals = (atLeastA ^ aboveZ) & kBytesOf(0x80);
  return word | (capitals >> 2);
}

char FoldAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + ('a' - 'A')) : c; }

// The simple case folding of `c`; an ill-formed byte's value stays as it is.
// The Latin, Greek and Cyrillic blocks that most keys use come from a table.
char32_t Fold(char32_t c) {
  constexpr char32_t kTabled = 0x530;
  static const std::array<char32_t, kTabled> kFolds = [] {
    std::array<char32_t, kTabled> folds{};
    for (char32_t k = 0; k < kTabled; ++k) {
      folds[k] = static_cast<char32_t>(u_foldCase(static_cast<UChar32>(k), U_FOLD_CASE_DEFAULT));
    }
    return folds;
  }();
  if (c < kTabled) return kFolds[c];
  if (c >= kIllFormedByte) return c;
  return static_cast<char32_t>(u_foldCase(static_cast<UChar32>(c), U_FOLD_CASE_DEFAULT));
}

// How many bytes at the start of an eight-byte word are ASCII.
std::size_t AsciiPrefix(std::uint64_t word) {
  const std::uint64_t high = word & kBytesOf(0x80);
  return high == 0 ? 8 : static_cast<std::size_t>(std::countr_zero(high)) / 8;
}

std::uint64_t WordAt(std::string_view text, std::size_t i) {
  std::uint64_t word = 0;
  std::memcpy(&word, text.data() + i, 8);
  return word;
}

// Folding at most doubles the length (an ill-formed byte gains a marker byte);
// eight spare bytes take the last whole-word write.
std::size_t FoldedBound(std::string_view text) { return 2 * text.size() + 8; }

// Writes the folded form of `text` to `folded` (FoldedBound bytes) and returns its length.
std::size_t FoldInto(std::string_view text, char* folded) {
  std::size_t length = 0;
  std::size_t i = 0;
  while (i < text.size()) {
    if (text.size() - i >= 8) {
      const std::uint64_t word = WordAt(text, i);
      const std::size_t ascii = AsciiPrefix(word);
      if (ascii > 0) {
        const std::uint64_t lowered = FoldAsciiWord(word);
        std::memcpy(folded + length, &lowered, 8);
        length += ascii;
        i += ascii;
        continue;
      }
    } else if (text.size() >= 8) {
      // The last word overlaps bytes already folded; it is taken only when all
      // eight bytes are ASCII, so the overlap was folded byte for byte.
      const std::uint64_t word = WordAt(text, text.size() - 8);
      if (AsciiPrefix(word) == 8) {
        const std::uint64_t lowered = FoldAsciiWord(word);
        const std::size_t fresh = text.size() - i;
        std::memcpy(folded + length + fresh - 8, &lowered, 8);
        length += fresh;
        break;
      }
    }
    if (static_cast<std::uint8_t>(text[i]) < 0x80) {
      folded[length++] = FoldAscii(text[i++]);
      continue;
    }
    const char32_t c = Fold(NextCodePoint(text, i));
    // An ill-formed byte gets a 0xFF marker, a byte that UTF-8 never uses.
    if (c >= kIllFormedByte) folded[length++] = '\xFF';
    length += EncodeCodePoint(c, folded + length);
  }
  return length;
}

}  // namespace

std::size_t FoldedHash(std::string_view text) {
  const std::size_t bound = FoldedBound(text);
  char local[512];
  std::string large;
  char* folded = local;
  if (bound > sizeof local) {
    large.resize(bound);
    folded = large.data();
  }
  return std::hash<std::string_view>{}(std::string_view(folded, FoldInto(text, folded)));
}

std::string FoldedText(std::string_view text) {
  std::string folded(FoldedBound(text), '\0');
  folded.resize(FoldInto(text, folded.data()));
  return folded;
}

bool FoldedEqual(std::string_view a, std::string_view b) noexcept {
  if (a == b) return true;
  std::size_t i = 0;
  std::size_t j = 0;
  while (i < a.size() && j < b.size()) {
    if (a.size() - i >= 8 && b.size() - j >= 8) {
      const std::uint64_t wordA = WordAt(a, i);
      const std::uint64_t wordB = WordAt(b, j);
      const std::size_t ascii = std::min(AsciiPrefix(wordA), AsciiPrefix(wordB));
      if (ascii > 0) {
        const std::uint64_t mask = ascii == 8 ? ~std::uint64_t{0} : (std::uint64_t{1} << (8 * ascii)) - 1;
        if (((FoldAsciiWord(wordA) ^ FoldAsciiWord(wordB)) & mask) != 0) return false;
        i += ascii;
        j += ascii;
        continue;
      }
    }
    const auto byteA = static_cast<std::uint8_t>(a[i]);
    const auto byteB = static_cast<std::uint8_t>(b[j]);
    if (byteA < 0x80 && byteB < 0x80) {
      if (FoldAscii(a[i++]) != FoldAscii(b[j++])) return false;
      continue;
    }
    const char32_t c = NextCodePoint(a, i);
    const char32_t d = NextCodePoint(b, j);
    if (c != d && Fold(c) != Fold(d)) return false;
  }
  return i == a.size() && j == b.size();
}

}  // namespace zentora::excel::detail

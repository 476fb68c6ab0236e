#include "text/Search.h"

#include <optional>

#include <unicode/uchar.h>

#include "Error.h"
#include "text/internal/CaseFolding.h"
#include "text/internal/Positions.h"
#include "text/internal/Utf8.h"

namespace zentora::excel {
namespace {

using detail::kIllFormedByte;

struct Occurrence {
  std::size_t offset;
  std::size_t length;
};

char32_t Lower(char32_t c, bool ignoreCase) {
  if (!ignoreCase || c >= kIllFormedByte) return c;
  return static_cast<char32_t>(u_tolower(static_cast<UChar32>(c)));
}

bool IsWordCodePoint(char32_t c, bool ignoreCase) {
  std::string character;
  detail::AppendCodePoint(character, Lower(c, ignoreCase));
  return IsWordChar(character);
}

// Length in `text` of a case-insensitive match of `find` at `offset`, if there is one.
std::optional<std::size_t> MatchIgnoringCase(std::string_view text, std::size_t offset,
                                             std::string_view find) {
  std::size_t i = offset;
  std::size_t j = 0;
  while (j < find.size()) {
    if (i >= text.size()) return std::nullopt;
    if (Lower(detail::NextCodePoint(text, i), true) != Lower(detail::NextCodePoint(find, j), true)) {
      return std::nullopt;
    }
  }
  return i - offset;
}

// The first occurrence of a non-empty `find` starting at or after byte `from`.
std::optional<Occurrence> FindFrom(std::string_view text, std::string_view find, std::size_t from,
                                   bool ignoreCase) {
  if (!ignoreCase) {
    const std::size_t offset = from < text.size() ? text.find(find, from) : std::string_view::npos;
    if (offset == std::string_view::npos) return std::nullopt;
    return Occurrence{offset, find.size()};
  }
  for (std::size_t offset = from; offset < text.size(); offset += detail::CodePointLength(text, offset)) {
    if (const auto length = MatchIgnoringCase(text, offset, find)) return Occurrence{offset, *length};
  }
  return std::nullopt;
}

// The text being searched as it stands: the part before the search start
// (`done`, already rewritten during a replacement) followed by the original
// from `restStart` on.
struct SearchedText {
  std::string_view done;
  std::string_view original;
  std::size_t restStart;

  // Whether the code point just before `offset` of the original, read in the
  // current text, is a word character; false at the start of the text.
  bool WordCharBefore(std::size_t offset, bool ignoreCase) const {
    if (offset > restStart) return IsWordCodePoint(detail::PreviousCodePoint(original, offset), ignoreCase);
    if (done.empty()) return false;
    return IsWordCodePoint(detail::PreviousCodePoint(done, done.size()), ignoreCase);
  }
};

std::optional<Occurrence> FindNext(const SearchedText& searched, std::string_view find, bool ignoreCase,
                                   bool wholeWord) {
  std::size_t from = searched.restStart;
  while (auto occurrence = FindFrom(searched.original, find, from, ignoreCase)) {
    if (!wholeWord) return occurrence;
    const std::size_t end = occurrence->offset + occurrence->length;
    std::size_t after = end;
    const bool freeLeft = !searched.WordCharBefore(occurrence->offset, ignoreCase);
    const bool freeRight = end >= searched.original.size() ||
                           !IsWordCodePoint(detail::NextCodePoint(searched.original, after), ignoreCase);
    if (freeLeft && freeRight) return occurrence;
    from = occurrence->offset + detail::CodePointLength(searched.original, occurrence->offset);
  }
  return std::nullopt;
}

}  // namespace

void ReplaceText(std::string& text, std::string_view find, std::string_view replacement, bool ignoreCase,
                 bool wholeWord) {
  if (find.empty()) return;
  std::string result;
  std::size_t restStart = 0;
  while (const auto occurrence =
             FindNext(SearchedText{result, text, restStart}, find, ignoreCase, wholeWord)) {
    result.append(text, restStart, occurrence->offset - restStart);
    result += replacement;
    restStart = occurrence->offset + occurrence->length;
  }
  if (restStart == 0) return;
  result.append(text, restStart);
  text = std::move(result);
}

std::int32_t FindWord(std::int32_t start, std::string_view text, std::string_view word) {
  if (start < 1) {
    throw Error(ErrorCode::InvalidArgument, "the search start " + std::to_string(start) + " is below 1");
  }
  if (word.empty()) return 0;
  const std::size_t from = static_cast<std::size_t>(start - 1);
  const auto occurrence = FindNext(SearchedText{text.substr(0, from), text, from}, word, false, true);
  return occurrence ? detail::PositionOf(occurrence->offset) : 0;
}

bool IsWordChar(std::string_view character) {
  return (character >= "A" && character <= "Z") || (character >= "a" && character <= "z") || character == "_";
}

std::string AsciiLower(std::string text) {
  for (char& c : text) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return text;
}

std::string CaseFolded(std::string_view text) { return detail::FoldedText(text); }

}  // namespace zentora::excel

#include "text/Tokens.h"

#include <limits>

#include "Error.h"
#include "text/internal/Positions.h"

namespace zentora::excel {
namespace {

// Offset of `separator` in `text` at or after `from`; an empty separator is
// found at `from` itself. npos when `from` lies at or beyond the end of `text`.
std::size_t Find(std::string_view text, std::string_view separator, std::size_t from) {
  if (from >= text.size()) return std::string_view::npos;
  return text.find(separator, from);
}

std::string CutAt(std::string& rest, std::size_t offset, std::size_t separatorLength) {
  if (offset == std::string::npos) {
    std::string token = std::move(rest);
    rest.clear();
    return token;
  }
  std::string token = rest.substr(0, offset);
  rest.erase(0, offset + separatorLength);
  return token;
}

}  // namespace

std::string_view TrimSpaces(std::string_view text) {
  const std::size_t first = text.find_first_not_of(' ');
  if (first == std::string_view::npos) return {};
  return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

std::string NextToken(std::string& rest, std::string_view separator) {
  return CutAt(rest, Find(rest, separator, 0), separator.size());
}

std::string NextTokenUnescaped(std::string& rest, std::string_view separator) {
  const std::int32_t position = FindUnescaped(rest, separator);
  return CutAt(rest, position == 0 ? std::string::npos : static_cast<std::size_t>(position - 1),
               separator.size());
}

std::int32_t FindUnescaped(std::string_view text, std::string_view separator) {
  std::size_t from = 0;
  for (std::size_t offset; (offset = Find(text, separator, from)) != std::string_view::npos;
       from = offset + 1) {
    std::size_t backslashes = 0;
    while (backslashes < offset && text[offset - backslashes - 1] == '\\') ++backslashes;
    if (backslashes > static_cast<std::size_t>(std::numeric_limits<std::int16_t>::max())) {
      throw Error(ErrorCode::Overflow, "more than 32767 backslashes stand before the separator at position " +
                                           std::to_string(offset + 1));
    }
    if (backslashes % 2 == 0) return detail::PositionOf(offset);
  }
  return 0;
}

std::string FirstToken(std::string_view text, std::string_view separator) {
  return std::string(text.substr(0, Find(text, separator, 0)));
}

std::string TrimBlanks(std::string_view text) {
  const auto isBlank = [](char c) { return static_cast<unsigned char>(c) <= 32; };
  std::size_t first = 0;
  std::size_t last = text.size();
  while (first < last && isBlank(text[first])) ++first;
  while (last > first && isBlank(text[last - 1])) --last;
  return std::string(text.substr(first, last - first));
}

std::string NextTrimmedToken(std::string& rest, std::string_view separator) {
  const std::string token(TrimSpaces(NextToken(rest, separator)));
  rest = std::string(TrimSpaces(rest));
  return token;
}

}  // namespace zentora::excel

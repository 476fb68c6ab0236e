#include "text/Escaping.h"

#include <cstdio>

#include "text/Numbers.h"
#include "text/Search.h"
#include "text/internal/Utf8.h"

namespace zentora::excel {
namespace {

std::string EscapedCharacter(char32_t c) {
  std::string escaped = "\\";
  if (c < 32) {
    char digits[4];
    std::snprintf(digits, sizeof digits, "%03u", static_cast<unsigned>(c));
    escaped += digits;
  } else {
    detail::AppendCodePoint(escaped, c);
  }
  return escaped;
}

}  // namespace

std::string EscapeText(std::string text, std::string_view extra) {
  ReplaceText(text, "\\", "\\\\", false, false);
  ReplaceText(text, "|", "\\|", false, false);
  ReplaceText(text, "\r", "", false, false);
  ReplaceText(text, "\n", "\\n", false, false);
  for (std::size_t i = 0; i < extra.size();) {
    const std::size_t start = i;
    const char32_t c = detail::NextCodePoint(extra, i);
    ReplaceText(text, extra.substr(start, i - start), EscapedCharacter(c), false, false);
  }
  return text;
}

std::string UnescapeText(std::string_view text) {
  std::string result;
  std::size_t copied = 0;
  for (std::size_t backslash = text.find('\\');
       backslash != std::string_view::npos && backslash + 1 < text.size();
       backslash = text.find('\\', copied)) {
    result.append(text, copied, backslash - copied);
    const std::size_t after = backslash + 1;
    const char next = text[after];
    if (next == 'n') {
      result += "\r\n";
      copied = after + 1;
    } else if (next >= '0' && next <= '9') {
      const std::string_view digits = detail::CodePointSlice(text.substr(after), 1, 3);
      const double code = RoundHalfEven(LeadingNumber(digits));
      if (code <= 255) {
        detail::AppendCodePoint(result, static_cast<char32_t>(code));
        copied = after + digits.size();
      } else {
        // A code above 255 names no character: the backslash stays and the
        // search goes on after it.
        result += '\\';
        copied = after;
      }
    } else {
      copied = after + detail::CodePointLength(text, after);
      result.append(text, after, copied - after);
    }
  }
  result.append(text, copied);
  return result;
}

}  // namespace zentora::excel

// Escaping of values inside the one-line item text form and the list fields:
// a backslash before "\", "|", "n" (line break) or a three-digit character code
// keeps those characters from being read as separators or line ends.
#pragma once

#include <string>
#include <string_view>

namespace zentora::excel {

// `text` with "\" doubled, "|" as "\|", CR removed, LF as "\n", and each code
// point of `extra` as "\" plus its three-digit code (below 32, "\009" for a tab)
// or plus itself, in that order.
std::string EscapeText(std::string text, std::string_view extra);

// Undoes EscapeText: "\n" gives CR LF, "\" and up to three characters starting
// with a digit give the character of that code (0 to 255, as a Unicode code
// point; a larger code leaves the text as it is), "\" and another character give
// that character. A backslash at the very end stays. Never fails.
std::string UnescapeText(std::string_view text);

}  // namespace zentora::excel

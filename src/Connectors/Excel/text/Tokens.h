// Cutting list texts into their entries: the "|"-separated item text form and
// the ","- and "*"-separated keyword and log fields. Separators compare exactly;
// positions are 1-based byte positions. A backslash escapes the character after it.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace zentora::excel {

// The text before the first `separator` in `rest`; `rest` keeps what follows
// that separator. Without a separator: all of `rest`, which becomes "".
std::string NextToken(std::string& rest, std::string_view separator);

// Like NextToken, cutting at the first separator that is not escaped (FindUnescaped);
// the token keeps its backslashes.
std::string NextTokenUnescaped(std::string& rest, std::string_view separator);

// Position of the first `separator` preceded by an even number of backslashes
// (none included); 0 when there is none. Throws Overflow for a run of more
// than 32767 backslashes before a separator.
std::int32_t FindUnescaped(std::string_view text, std::string_view separator);

// The text before the first `separator`, or all of `text` when it has none.
std::string FirstToken(std::string_view text, std::string_view separator);

// `text` without the leading and trailing characters of code 32 or less (blanks and control characters).
std::string TrimBlanks(std::string_view text);

// `text` without the spaces (only " ") at both ends; "" when it holds nothing else. Views into `text`.
std::string_view TrimSpaces(std::string_view text);

// NextToken with spaces (only " ") trimmed from both ends of the token and of what remains in `rest`.
std::string NextTrimmedToken(std::string& rest, std::string_view separator);

}  // namespace zentora::excel

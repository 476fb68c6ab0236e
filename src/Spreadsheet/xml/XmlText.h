// Text as it is stored in workbook XML: entity escaping for element text and
// attribute values, and the format's own `_xHHHH_` escapes for characters
// that XML cannot carry (control characters, CR) and for literal text that
// looks like such an escape.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace zentora::spreadsheet::xml {

// Appends `text` with &, <, > (and " in attributes) as entities.
void AppendEscaped(std::string& out, std::string_view text, bool attribute);

// Appends a cell text as stored inside <t>: control characters other than tab and LF, CR, NUL and the
// non-characters U+FFFE/U+FFFF become `_xHHHH_`, a literal `_xHHHH_` gets its underscore escaped as
// `_x005F_`, and XML specials become entities. The input must be valid UTF-8 (see IsValidUtf8).
void AppendCellText(std::string& out, std::string_view text);

// Decodes `_xHHHH_` escapes (surrogate pairs joined) in text read from a <t> or <v>; other text is kept.
void AppendDecodedCellText(std::string& out, std::string_view stored);

// True when `text` is well-formed UTF-8 without surrogate code points.
bool IsValidUtf8(std::string_view text);

// The number of UTF-16 code units `text` (valid UTF-8) takes: the unit the application counts cell length in.
std::size_t Utf16Length(std::string_view text);

// True when `text` starts or ends with a character that XML readers would strip without xml:space.
bool NeedsPreserveSpace(std::string_view text);

}  // namespace zentora::spreadsheet::xml

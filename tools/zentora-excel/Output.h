// How the command-line host prints items: a table padded by characters for
// people, JSON for programs.
#pragma once

#include <ostream>
#include <string>
#include <string_view>
#include <vector>

namespace zentora::cli {

// `text` as a JSON string literal, quotes included: '"', '\' and every control character
// escaped, all other bytes (UTF-8 included) as they are.
std::string JsonString(std::string_view text);

// One line of a table cell: line breaks shown as "⏎", other control characters as "·".
std::string TableCell(std::string_view text);

// Writes `rows` (the first one the headings) as columns padded to their widest cell, counted in
// characters, separated by two spaces, with a rule under the headings.
void WriteTable(std::ostream& out, const std::vector<std::vector<std::string>>& rows);

}  // namespace zentora::cli

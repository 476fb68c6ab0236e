// How the command-line host prints items: a table padded by characters for
// people, JSON for programs.
#pragma once

#include <cstddef>
#include <functional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

namespace zentora::cli {

// `text` as a JSON string literal, quotes included: '"', '\' and every control character
// escaped, all other bytes (UTF-8 included) as they are.
std::string JsonString(std::string_view text);

// A table handed over a row at a time: row(index, cells) sets `cells` to the texts of row `index`
// (0..rows-1, row 0 the headings), one per column. The writers below ask for each row when they
// need it (a table twice: once for the column widths, once to write), so that no table is held in
// memory; `cells` keeps its strings from call to call, so a source can reuse their storage. They
// stop asking once `out` fails (its reader went away, the disk is full).
struct TableRows {
  std::size_t rows = 0;
  std::size_t columns = 0;
  std::function<void(std::size_t row, std::vector<std::string>& cells)> row;
};

// Writes the rows after the first as a JSON array of objects, one per line, whose keys are the
// first row's texts in order; "[]" when there is only the first row.
void WriteJsonObjects(std::ostream& out, const TableRows& table);

// One line of a table cell: line breaks shown as "⏎", other control characters as "·".
std::string TableCell(std::string_view text);

// The width tables are fitted to when the output is not a terminal.
inline constexpr std::size_t kDefaultWidth = 100;

// The terminal's width in characters when standard output is a terminal, else kDefaultWidth.
std::size_t OutputWidth();

// Writes `rows` (the first one the headings) as columns of table cells padded to their widest cell,
// counted in characters, separated by two spaces, with a rule under the headings. With a `width` other than
// 0, the widest columns are narrowed until a line fits in `width` characters, their longer cells cut with
// "…"; when even one character per column does not fit, each line is cut at `width`.
void WriteTable(std::ostream& out, const TableRows& table, std::size_t width = 0);

}  // namespace zentora::cli

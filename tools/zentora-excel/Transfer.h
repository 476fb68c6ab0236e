// The command-line host's transfer commands: items leave a store in their
// one-line text form (export), enter one from it (import), go straight from one
// store into another (copy), and a filter picks the items `list` shows.
#pragma once

#include <cstdint>
#include <istream>
#include <ostream>
#include <string>
#include <vector>

#include "location/Location.h"

namespace zentora::cli {

// How many pasted items were new rows and how many replaced a row with their ID.
struct PasteCount {
  std::int64_t added = 0;
  std::int64_t updated = 0;
};

// Writes the text form of each item of `ids` (all items in row order when empty) to `out`, one
// per line. Throws NotFound naming `book` for an ID it does not hold, before writing.
void ExportItems(excel::Location& location, const std::vector<std::string>& ids, const std::string& book,
                 std::ostream& out);

// Pastes each non-empty line of `in` (a text form; a CR before the line end is dropped) into
// `location`, counting new and replaced rows. With `progress`, a running count is shown there on
// one line rewritten in place. Throws on the first failing paste, the earlier ones staying.
PasteCount ImportItems(excel::Location& location, std::istream& in, std::ostream* progress);

// Pastes the text form of each item of `ids` of `source` (all items when empty) into `target`.
// Throws like ExportItems for an unknown ID, before anything is pasted.
PasteCount CopyItems(excel::Location& source, excel::Location& target, const std::vector<std::string>& ids,
                     const std::string& sourceBook);

// The summary line of a paste: "N added, M updated".
std::string Summary(const PasteCount& count);

// The positions (1 to Count) of the items that meet the filter expression `where`, in row order,
// found by the host's enumerator. Throws host::FilterSyntaxError for a malformed expression.
std::vector<std::int32_t> MatchingPositions(excel::Location& location, const std::string& where);

}  // namespace zentora::cli

// The names a command line gives the fields of an item: the fixed fields by
// their field names in any letter case, read and written through the item's
// members; data fields by their headings; "$Name" for a data field whose
// heading spells a fixed name. A name without a column is answered with the
// headings that come closest to it.
#pragma once

#include <cstddef>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "FixedFields.h"
#include "location/Location.h"

namespace zentora::cli {

using host::FixedField;
using host::FixedFieldNamed;
using host::FixedFields;

// The data field a FIELD argument names: the argument without a leading "$".
std::string DataFieldName(const std::string& name);

// The column of field `name` in the open location (fixed field or data field as FIELD arguments
// name them); 0 when it has none.
std::int32_t ColumnOfField(excel::Location& location, const std::string& name);

// "no column "NAME" in BOOK, sheet "S"; the closest headings are "A" (column B), ...": the
// message for a field without a column, listing up to three headings of row 1 nearest to `name`
// (edit distance, ASCII letter case ignored), only those within a few edits when there are any.
std::string NoColumnMessage(excel::Location& location, const std::string& book, const std::string& name);

}  // namespace zentora::cli

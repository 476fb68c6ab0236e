// The fixed fields of an item by their names in lower case ("id", "type",
// "text", ... "source"), each with the item members that read and write it, so
// that hosts which name fields in text (a command line, a script) reach them
// the same way.
#pragma once

#include <span>
#include <string>
#include <string_view>

#include "../Connectors/Excel/outside/HostItem.h"

namespace zentora::host {

// A fixed field and the item members behind it; `set` is nullptr for a field the item only reports.
// `get` of a field that `isCellText` returns the text of the field's column in the item's row as it
// stands (empty without a column), so a host listing many items may read that column instead.
struct FixedField {
  std::string_view name;
  std::string (*get)(excel::HostItem& item);
  void (*set)(excel::HostItem& item, const std::string& value);
  bool isCellText = true;
};

// Every fixed field: id, type, text, datum, keywords, log, owner, access, evalcount, filesize,
// eval, evalall, source.
std::span<const FixedField> FixedFields();

// The fixed field that `name` names in any letter case; nullptr for a data field name or a "$" name.
const FixedField* FixedFieldNamed(std::string_view name);

}  // namespace zentora::host

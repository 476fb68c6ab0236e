// The command-line host: each command opens the workbook as a store, acts on
// its items through the host item interface, and disconnects, which saves the
// workbook when it changed (so `list`, `show` and `get` write back generated
// identifiers and the text format, as every host does). A failing command
// closes without saving.
#pragma once

#include <cstddef>
#include <ostream>
#include <string>
#include <vector>

#include "Output.h"
#include "location/Location.h"

namespace zentora::cli {

// Runs one command line (`args` without the program name), printing results to `out` and one
// line per error or note to `err`. Returns 0 on success, 1 when the command failed, 2 on a usage
// error, 3 when the ID or field is not in the workbook. `startApplication` starts the spreadsheet
// application the store runs on; tables are fitted to `width` characters (0: no limit).
int Run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
        const excel::Location::ApplicationFactory& startApplication = &excel::CreateExcelApplication,
        std::size_t width = kDefaultWidth);

}  // namespace zentora::cli

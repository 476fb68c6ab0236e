// The command-line host: each command opens the workbook as a store, acts on
// its items through the host item interface, and disconnects, which saves the
// workbook when it changed (so `list`, `show` and `get` write back generated
// identifiers and the text format, as every host does). A failing command
// closes without saving.
#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "location/Location.h"

namespace zentora::cli {

// Runs one command line (`args` without the program name), printing results to `out` and one
// line per error to `err`. Returns 0 on success, 1 when the command failed, 2 on a usage error.
// `startApplication` starts the spreadsheet application the store runs on.
int Run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
        const excel::Location::ApplicationFactory& startApplication = &excel::CreateExcelApplication);

}  // namespace zentora::cli

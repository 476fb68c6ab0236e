// What `zentora-excel --version` prints.
#pragma once

#include <ostream>

namespace zentora::cli {

// Writes the program's version and the versions of the libraries the workbook engine runs on
// (libzip, expat, ISA-L, ICU), one per line.
void WriteVersion(std::ostream& out);

}  // namespace zentora::cli

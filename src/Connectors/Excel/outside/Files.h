// What the component asks of the file system besides the workbook itself.
#pragma once

#include <string>

namespace zentora::excel {

// True when `path` names a regular file whose length can be read; false for "" and on any error.
bool FileExists(const std::string& path);

}  // namespace zentora::excel

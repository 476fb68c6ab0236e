#include "outside/Files.h"

#include <sys/stat.h>

namespace zentora::excel {

bool FileExists(const std::string& path) {
  if (path.empty()) return false;
  struct stat status {};
  return stat(path.c_str(), &status) == 0 && S_ISREG(status.st_mode);
}

}  // namespace zentora::excel

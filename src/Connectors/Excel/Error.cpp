#include "Error.h"

namespace zentora::excel {

Error::Error(ErrorCode code, const std::string& message) : std::runtime_error(message), code_(code) {}

}  // namespace zentora::excel

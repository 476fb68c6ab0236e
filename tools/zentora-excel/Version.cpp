#include "Version.h"

#include <expat.h>
#include <isa-l.h>
#include <unicode/uversion.h>
#include <zip.h>

#include <string_view>

namespace zentora::cli {

void WriteVersion(std::ostream& out) {
  UVersionInfo icu;
  u_getVersion(icu);
  char icuText[U_MAX_VERSION_STRING_LENGTH];
  u_versionToString(icu, icuText);
  std::string_view expat = XML_ExpatVersion();
  if (expat.starts_with("expat_")) expat.remove_prefix(6);
  out << "zentora-excel " << ZENTORA_VERSION << '\n'
      << "libzip " << zip_libzip_version() << '\n'
      << "expat " << expat << '\n'
      << "ISA-L " << ISAL_MAJOR_VERSION << '.' << ISAL_MINOR_VERSION << '.' << ISAL_PATCH_VERSION << '\n'
      << "ICU " << icuText << '\n';
}

}  // namespace zentora::cli

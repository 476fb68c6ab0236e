// Replacing a file safely: the new content goes to a fresh temporary file in
// the target's folder, is flushed to disk and renamed over the target, and the
// folder is flushed too. A symbolic link is followed: its target is replaced
// and the link stays. On failure the old file is untouched and the temporary
// file is gone.
#pragma once

#include <string>
#include <string_view>

namespace zentora::spreadsheet {

// Writes `content` to `path` as described above. With `keepPermissions` an existing target keeps its
// permission bits; otherwise (and for a new file) the process's default mode for new files applies.
// Throws Io naming the path and the system's reason.
void ReplaceFile(const std::string& path, std::string_view content, bool keepPermissions);

// The whole content of the file at `path`; throws Io naming the path when it cannot be read.
std::string ReadWholeFile(const std::string& path);

}  // namespace zentora::spreadsheet

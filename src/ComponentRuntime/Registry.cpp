#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string>
#include <system_error>
#include <vector>

#include "Runtime.h"

namespace zentora::runtime {
namespace {

// One registry entry per line: identifier, kind, name, version and library, separated by tabs.
struct Entry {
  const char* identifier;
  const char* kind;
  const char* name;
};
constexpr Entry kEntries[] = {
    {"{8A19864B-45A0-43A3-AE08-BDC672490FC3}", "class", "ZentoraExcel.Location"},
    {"{EAAD9C11-7299-44A1-99FF-918FD0D4BD4E}", "class", "ZentoraExcel.Item"},
    {"{3D28E04E-14A7-433E-8845-3B53422ED1EA}", "typelib", "ZentoraExcel"},
};
constexpr char kVersion[] = "1.0";

bool IsOurs(const std::string& line) {
  for (const Entry& entry : kEntries) {
    if (line.starts_with(std::string(entry.identifier) + "\t")) return true;
  }
  return false;
}

// The lines of the registry file other than ours, each with its line end; none when it is missing.
std::vector<std::string> OtherLines(const std::filesystem::path& path) {
  std::vector<std::string> lines;
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    if (std::filesystem::exists(path))
      throw std::runtime_error("cannot read the registry file " + path.string());
    return lines;
  }
  std::string line;
  while (std::getline(in, line)) {
    const bool ended = !in.eof();
    if (!IsOurs(line)) lines.push_back(line + (ended ? "\n" : ""));
  }
  if (in.bad()) throw std::runtime_error("cannot read the registry file " + path.string());
  return lines;
}

// Replaces the registry file by `lines` through a temporary file beside it; no lines remove it.
void WriteLines(const std::filesystem::path& path, const std::vector<std::string>& lines) {
  if (lines.empty()) {
    std::error_code ignored;
    std::filesystem::remove(path, ignored);
    return;
  }
  if (path.has_parent_path()) std::filesystem::create_directories(path.parent_path());
  const std::filesystem::path temporary = path.string() + ".new";
  {
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    for (const std::string& line : lines) out << line;
    out.flush();
    if (!out) throw std::runtime_error("cannot write the registry file " + temporary.string());
  }
  std::filesystem::rename(temporary, path);
}

}  // namespace

std::filesystem::path RegistryPath() {
  if (const char* chosen = std::getenv("ZENTORA_REGISTRY"); chosen && *chosen) return chosen;
  if (const char* config = std::getenv("XDG_CONFIG_HOME"); config && *config) {
    return std::filesystem::path(config) / "zentora" / "registry";
  }
  const char* home = std::getenv("HOME");
  if (!home || !*home) throw std::runtime_error("no registry file: neither ZENTORA_REGISTRY nor HOME is set");
  return std::filesystem::path(home) / ".config" / "zentora" / "registry";
}

void RegisterLibrary(const std::filesystem::path& library) {
  const std::filesystem::path path = RegistryPath();
  // Our entries go first, so that the other lines stay byte for byte as they were, whether or not
  // the last of them ends its line.
  std::vector<std::string> lines;
  for (const Entry& entry : kEntries) {
    std::ostringstream line;
    line << entry.identifier << '\t' << entry.kind << '\t' << entry.name << '\t' << kVersion << '\t'
         << library.string() << '\n';
    lines.push_back(line.str());
  }
  const std::vector<std::string> others = OtherLines(path);
  lines.insert(lines.end(), others.begin(), others.end());
  WriteLines(path, lines);
}

void UnregisterLibrary() {
  const std::filesystem::path path = RegistryPath();
  if (!std::filesystem::exists(path)) return;
  WriteLines(path, OtherLines(path));
}

}  // namespace zentora::runtime

#include "Python.h"

#include <sys/wait.h>

#include <array>
#include <cstdio>

namespace zentora::excel::testing {

ProcessOutcome RunShell(const std::string& command) {
  FILE* pipe = popen((command + " 2>&1").c_str(), "r");
  if (pipe == nullptr) return {-1, ""};
  std::string out;
  std::array<char, 4096> buffer{};
  while (const std::size_t read = std::fread(buffer.data(), 1, buffer.size(), pipe))
    out.append(buffer.data(), read);
  const int status = pclose(pipe);
  return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, out};
}

std::string ShellQuoted(const std::string& text) {
  std::string quoted = "'";
  for (const char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

ProcessOutcome RunPython(const std::string& script) {
  return RunShell("/usr/bin/python3 -c " + ShellQuoted(script));
}

bool HaveOpenpyxl() { return RunPython("import openpyxl").code == 0; }

}  // namespace zentora::excel::testing

// Runs Debian's Python for the interop tests (openpyxl writes and checks workbooks there).
#pragma once

#include <string>

namespace zentora::excel::testing {

struct ProcessOutcome {
  int code;         // the exit status; -1 when the process could not run or did not exit
  std::string out;  // what it wrote to stdout and stderr
};

// Runs `command` through the shell, collecting stdout and stderr.
ProcessOutcome RunShell(const std::string& command);

// `text` quoted for the shell (single quotes).
std::string ShellQuoted(const std::string& text);

// Runs the Python program `script` with /usr/bin/python3.
ProcessOutcome RunPython(const std::string& script);

// True when /usr/bin/python3 can import openpyxl.
bool HaveOpenpyxl();

}  // namespace zentora::excel::testing

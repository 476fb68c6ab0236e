// zentora-excel: the command-line host of the ZentoraExcel component.
#include <csignal>
#include <iostream>
#include <string>
#include <vector>

#include "Cli.h"

int main(int argc, char** argv) {
  // A reader that stops early (`| head`) makes writes fail instead of ending the process while it
  // still holds the workbook's in-use mark; Run reports the failed output once the store is closed.
  std::signal(SIGPIPE, SIG_IGN);
  const std::vector<std::string> args(argv + 1, argv + argc);
  return zentora::cli::Run(args, std::cout, std::cerr, &zentora::excel::CreateExcelApplication,
                           zentora::cli::OutputWidth());
}

// zentora-excel: the command-line host of the ZentoraExcel component.
#include <iostream>
#include <string>
#include <vector>

#include "Cli.h"

int main(int argc, char** argv) {
  const std::vector<std::string> args(argv + 1, argv + argc);
  return zentora::cli::Run(args, std::cout, std::cerr, &zentora::excel::CreateExcelApplication,
                           zentora::cli::OutputWidth());
}

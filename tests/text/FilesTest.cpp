#include "outside/Files.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

namespace zentora::excel {
namespace {

TEST(FileExists, TrueOnlyForAReadableRegularFile) {
  const std::filesystem::path folder =
      std::filesystem::temp_directory_path() / ("zentora-files-" + std::to_string(getpid()));
  std::filesystem::create_directories(folder);
  const std::filesystem::path file = folder / "Adressen.xlsx";
  std::ofstream(file) << "x";

  EXPECT_TRUE(FileExists(file.string()));
  EXPECT_FALSE(FileExists((folder / "missing.xlsx").string()));
  EXPECT_FALSE(FileExists(folder.string())) << "a folder has no file length";
  EXPECT_FALSE(FileExists(""));
  std::filesystem::remove_all(folder);
}

}  // namespace
}  // namespace zentora::excel

#include <gtest/gtest.h>

#include <random>

#include "Spreadsheet/package/Package.h"
#include "TestWorkbooks.h"

namespace zentora::spreadsheet {
namespace {

// Random bytes do not compress: every block's output outgrows its first buffer, and the part read
// back through the engine and through libzip must still be the bytes written.
TEST(ZipWriter, IncompressiblePartsReadBackExactly) {
  std::mt19937 random(7);
  std::string content((9u << 20) + 5, '\0');
  for (char& c : content) c = static_cast<char>(random());
  ZipWriter writer(1);
  writer.AddDeflated("noise.bin", Package::Content(content));
  const std::string archive = writer.Finish();
  Package package(archive, "noise.zip", {});
  EXPECT_EQ(package.Read("noise.bin"), content);
  EXPECT_EQ(testing::ReadPart(archive, "noise.bin"), content);
}

}  // namespace
}  // namespace zentora::spreadsheet

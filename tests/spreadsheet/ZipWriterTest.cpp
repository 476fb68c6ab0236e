#include "Spreadsheet/package/ZipWriter.h"

#include <gtest/gtest.h>

#include "Spreadsheet/package/Package.h"
#include "TestWorkbooks.h"

namespace zentora::spreadsheet {
namespace {

// Text that repeats with variations, spread over many pieces of different sizes.
std::string SampleText(std::size_t size) {
  std::string text;
  for (std::size_t i = 0; text.size() < size; ++i) {
    text += "<row r=\"" + std::to_string(i) + "\"><c t=\"s\"><v>" + std::to_string(i * 7919 % 100003) +
            "</v></c></row>";
  }
  text.resize(size);
  return text;
}

TEST(ZipWriter, PartsDeflatedInManyBlocksReadBackExactly) {
  for (std::size_t size : {std::size_t{0}, std::size_t{1}, std::size_t{4u << 20}, std::size_t{(4u << 20) + 1},
                           std::size_t{(8u << 20) + 12345}, std::size_t{21u << 20}}) {
    std::string content = SampleText(size);
    ZipWriter writer(6);
    writer.AddDeflated("part.xml", [&](const std::function<void(std::string_view)>& write) {
      // Uneven pieces, as a serializer hands them over.
      for (std::size_t at = 0; at < content.size(); at += 1'000'003)
        write(std::string_view(content).substr(at, 1'000'003));
    });
    std::string archive = writer.Finish();
    EXPECT_EQ(testing::ReadPart(archive, "part.xml"), content) << size;
  }
}

TEST(ZipWriter, CopiedPartsKeepTheirStoredBytesAndNonAsciiNames) {
  std::string original =
      Package::Build({{"a.xml", SampleText(5000)}, {"ü/b.bin", std::string(3000, '\x01')}}, 9);
  Package package(original, "original.zip", {});
  std::string written = package.Write({{"c.xml", Package::Content("<new/>")}}, 1);
  EXPECT_EQ(testing::StoredPart(written, "a.xml"), testing::StoredPart(original, "a.xml"));
  EXPECT_EQ(testing::StoredPart(written, "ü/b.bin"), testing::StoredPart(original, "ü/b.bin"));
  EXPECT_EQ(testing::ReadPart(written, "c.xml"), "<new/>");
  Package reread(written, "written.zip", {});
  EXPECT_EQ(reread.PartNames(), (std::vector<std::string>{"a.xml", "ü/b.bin", "c.xml"}));
}

}  // namespace
}  // namespace zentora::spreadsheet

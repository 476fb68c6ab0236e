#include "Spreadsheet/package/ZipWriter.h"

#include <gtest/gtest.h>

#include <random>

#include "Spreadsheet/package/Package.h"
#include "Spreadsheet/workbook/SharedStrings.h"
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

// Random bytes do not compress: every block's output outgrows its first buffer.
std::string Noise(std::size_t size) {
  std::mt19937 random(7);
  std::string noise(size, '\0');
  for (char& c : noise) c = static_cast<char>(random());
  return noise;
}

// Each part is read back through the engine and through libzip.
TEST(ZipWriter, PartsDeflatedInManyBlocksReadBackExactly) {
  for (const std::string& content :
       {SampleText(0), SampleText(1), SampleText(4u << 20), SampleText((4u << 20) + 1),
        SampleText((8u << 20) + 12345), SampleText(21u << 20), Noise((9u << 20) + 5)}) {
    ZipWriter writer(6);
    writer.AddDeflated("part.xml", [&](const std::function<void(std::string_view)>& write) {
      // Uneven pieces, as a serializer hands them over.
      for (std::size_t at = 0; at < content.size(); at += 1'000'003)
        write(std::string_view(content).substr(at, 1'000'003));
    });
    std::string archive = writer.Finish();
    EXPECT_EQ(testing::ReadPart(archive, "part.xml"), content) << content.size();
    EXPECT_EQ(Package(archive, "part.zip", {}).Read("part.xml"), content) << content.size();
  }
}

// The shared strings reserve room from the part's size as the zip directory declares it, which may lie:
// a size too small must still read everything, one past the inflation limits must be capped.
TEST(PackageSize, SharedStringsReadTheSameWhateverTheDirectoryDeclares) {
  const std::string part = "xl/sharedStrings.xml";
  const std::string sst = std::string("<sst xmlns=\"") + testing::kMainNamespace +
                          "\"><si><t>first</t></si><si/><si><t>last</t></si></sst>";
  for (std::uint32_t declared : {0u, 10u, 0xFFFFFFF0u}) {
    std::string bytes = Package::Build({{part, sst}}, 6);
    const std::size_t local = bytes.find(part), central = bytes.find(part, local + 1);
    for (std::size_t at : {local - 30 + 22, central - 46 + 24}) {
      for (std::size_t i = 0; i < 4; ++i) bytes[at + i] = static_cast<char>(declared >> (8 * i));
    }
    Package package(bytes, "sst.xlsx", {});
    SharedStrings strings(package, part);
    std::vector<std::string> read;
    for (std::size_t i = 0; i < strings.size(); ++i) read.emplace_back(strings.at(i));
    EXPECT_EQ(read, (std::vector<std::string>{"first", "", "last"})) << declared;
  }
}

}  // namespace
}  // namespace zentora::spreadsheet

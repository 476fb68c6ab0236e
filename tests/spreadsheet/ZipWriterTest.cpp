#include "Spreadsheet/package/ZipWriter.h"

#include <gtest/gtest.h>

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

// A package of one part whose zip directory (local and central header) declares `declared` bytes.
std::string WithDeclaredSize(const std::string& part, const std::string& content, std::uint32_t declared) {
  std::string bytes = Package::Build({{part, content}}, 6);
  const std::size_t local = bytes.find(part), central = bytes.find(part, local + 1);
  for (std::size_t at : {local - 30 + 22, central - 46 + 24}) {
    for (std::size_t i = 0; i < 4; ++i) bytes[at + i] = static_cast<char>(declared >> (8 * i));
  }
  return bytes;
}

// The shared strings read into room reserved from the part's declared size, which may lie: a size
// past the inflation limits must be capped, or the reservation would exceed the memory budget.
TEST(PackageSize, SharedStringsReadTheSameWhateverTheDirectoryDeclares) {
  const std::string part = "xl/sharedStrings.xml";
  const std::string sst = std::string("<sst xmlns=\"") + testing::kMainNamespace +
                          "\"><si><t>first</t></si><si><t>a_x000D_b</t></si>"
                          "<si><r><t>rich</t></r><r><t xml:space=\"preserve\"> run_x0041_</t></r>"
                          "<rPh><t>skipped</t></rPh></si><si/><si><t>last</t></si></sst>";
  for (std::uint32_t declared : {0u, 10u, static_cast<std::uint32_t>(sst.size()), 0xFFFFFFF0u}) {
    Package package(WithDeclaredSize(part, sst, declared), "sst.xlsx", {});
    SharedStrings strings(package, part);
    std::vector<std::string> read;
    for (std::size_t i = 0; i < strings.size(); ++i) read.emplace_back(strings.at(i));
    EXPECT_EQ(read, (std::vector<std::string>{"first", "a\rb", "rich runA", "", "last"})) << declared;
  }
}

}  // namespace
}  // namespace zentora::spreadsheet

// The shared strings read into room reserved from the part's declared size, which may lie: a size
// past the inflation limits must be capped, or the reservation would exceed the memory budget.
#include <gtest/gtest.h>

#include "Spreadsheet/package/Package.h"
#include "Spreadsheet/workbook/SharedStrings.h"
#include "TestWorkbooks.h"

namespace zentora::spreadsheet {
namespace {

const std::string kPart = "xl/sharedStrings.xml";

// A package of one part whose zip directory (local and central header) declares `declared` bytes.
std::string WithDeclaredSize(const std::string& content, std::uint32_t declared) {
  std::string bytes = Package::Build({{kPart, content}}, 6);
  const std::size_t local = bytes.find(kPart), central = bytes.find(kPart, local + 1);
  for (std::size_t at : {local - 30 + 22, central - 46 + 24}) {
    for (std::size_t i = 0; i < 4; ++i) bytes[at + i] = static_cast<char>(declared >> (8 * i));
  }
  return bytes;
}

TEST(PackageSize, SharedStringsReadTheSameWhateverTheDirectoryDeclares) {
  const std::string sst = std::string("<sst xmlns=\"") + testing::kMainNamespace +
                          "\"><si><t>first</t></si><si><t>a_x000D_b</t></si>"
                          "<si><r><t>rich</t></r><r><t xml:space=\"preserve\"> run_x0041_</t></r>"
                          "<rPh><t>skipped</t></rPh></si><si/><si><t>last</t></si></sst>";
  for (std::uint32_t declared : {0u, 10u, static_cast<std::uint32_t>(sst.size()), 0xFFFFFFF0u}) {
    Package package(WithDeclaredSize(sst, declared), "sst.xlsx", {});
    SharedStrings strings(package, kPart);
    ASSERT_EQ(strings.size(), 5u) << declared;
    EXPECT_EQ(strings.at(0), "first");
    EXPECT_EQ(strings.at(1), "a\rb");
    EXPECT_EQ(strings.at(2), "rich runA");
    EXPECT_EQ(strings.at(3), "");
    EXPECT_EQ(strings.at(4), "last");
  }
}

}  // namespace
}  // namespace zentora::spreadsheet

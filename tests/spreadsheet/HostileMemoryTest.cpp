// Hostile workbooks of realistic size, each run in a child process whose
// address space is bounded: a bomb or a flood must be refused with the
// engine's limit error before it costs more, and the widest valid sheet must
// open through the component.
#include <gtest/gtest.h>

#include "HostLocationObject.h"
#include "MemoryBound.h"
#include "NotificationService.h"
#include "Spreadsheet/workbook/Workbook.h"
#include "location/Location.h"

namespace zentora::spreadsheet {
namespace {

using testing::Parts;
using testing::WorkbookParts;

constexpr std::uint64_t kMiB = 1 << 20;

std::string Repeated(const std::string& element, std::size_t bytes) {
  std::string out;
  while (out.size() + element.size() <= bytes) out += element;
  return out;
}

// "" when opening `bytes` fails with LimitExceeded naming the file, `part` and `reason`.
std::string RefusalFault(const std::string& bytes, const std::string& part, const std::string& reason,
                         Limits limits = {}) {
  try {
    Workbook::OpenBytes(bytes, "hostile.xlsx", limits);
    return "opened";
  } catch (const Error& error) {
    std::string message = error.what();
    bool named = message.find("hostile.xlsx, part " + part) != std::string::npos &&
                 message.find(reason) != std::string::npos;
    return error.code() == ErrorCode::LimitExceeded && named ? "" : "wrong error: " + message;
  }
}

TEST(HostileMemory, TenMegabyteBombIsRefusedWithinItsFirstMegabytes) {
  std::uint32_t crc = 0;
  std::uint64_t size = 0;
  std::string head = std::string("<worksheet xmlns=\"") + testing::kMainNamespace + "\"><sheetData>";
  std::string raw =
      testing::RepeatedDeflate(head, Repeated("<row><c/><c/><c/><c/><c/><c/><c/><c/></row>", kMiB), 10'000,
                               "</sheetData></worksheet>", crc, size);
  std::string bomb =
      testing::PackageWithRawPart(WorkbookParts(""), "xl/worksheets/sheet1.xml", raw, crc, size);
  ASSERT_GT(bomb.size(), 9 * kMiB);
  ASSERT_GT(size, 9'000 * kMiB);
  long peak = testing::WithinMemory(256 * kMiB, [&] {
    return RefusalFault(bomb, "xl/worksheets/sheet1.xml", "inflates to more than 100 times");
  });
  std::cout << "peak memory of the bomb case: " << peak << " MiB\n";
}

TEST(HostileMemory, TwoHundredMillionEmptySharedStringsAreRefused) {
  std::uint32_t crc = 0;
  std::uint64_t size = 0;
  std::string head = std::string("<sst xmlns=\"") + testing::kMainNamespace + "\">";
  std::string raw = testing::RepeatedDeflate(head, Repeated("<si/>", kMiB), 1'000, "</sst>", crc, size);
  std::string flood = testing::PackageWithRawPart(WorkbookParts(""), "xl/sharedStrings.xml", raw, crc, size);
  ASSERT_LT(flood.size(), 2 * kMiB);
  // With the ratio opened up to deflate's maximum the memory budget stops the flood instead.
  Limits lenient;
  lenient.maxInflationRatio = 2'000;
  lenient.memoryAllowance = 16 * kMiB;
  long peak = testing::WithinMemory(640 * kMiB, [&] {
    return RefusalFault(flood, "xl/sharedStrings.xml", "inflates to more than 100 times") +
           RefusalFault(flood, "xl/sharedStrings.xml", "bytes of memory, the budget for a file of", lenient);
  });
  std::cout << "peak memory of the shared-strings flood: " << peak << " MiB\n";
}

TEST(HostileMemory, SheetWithSixteenThousandHeadingsOpensThroughTheComponent) {
  std::string headings = "<row r=\"1\"><c r=\"A1\" t=\"inlineStr\"><is><t>ID</t></is></c>";
  for (std::uint32_t column = 2; column <= kMaxColumns; ++column) {
    headings += "<c r=\"" + CellReference(1, column) + "\" t=\"inlineStr\"><is><t>H" +
                std::to_string(column) + "</t></is></c>";
  }
  headings +=
      "</row><row r=\"2\"><c r=\"B2\"><v>1</v></c><c r=\"XFD2\" "
      "t=\"inlineStr\"><is><t>last</t></is></c></row>";
  testing::TemporaryFolder folder;
  std::string path = folder.File("wide.xlsx");
  Workbook::OpenBytes(testing::PackageBytes(WorkbookParts(headings)), path)->SaveAs(path, false);
  long peak = testing::WithinMemory(256 * kMiB, [&]() -> std::string {
    auto service = std::make_shared<host::RecordingNotificationService>();
    host::ReplaceThreadNotificationService(service);
    auto location = excel::Location::Create();
    location->LocObject = std::make_shared<host::HostLocationObject>("zentora://test/wide");
    location->OpenLocation(path);
    if (location->ColumnCount() != 16'384 || location->IDfield != 1 || location->Count() != 1)
      return "headings or items not found";
    std::string id = location->Item(1)->Item_ID();
    location->Disconnect();
    auto reopened = Workbook::Open(path);
    if (reopened->FirstSheet().CellText(2, 1) != id ||
        reopened->FirstSheet().CellText(1, kMaxColumns) != "H16384")
      return "the saved sheet lost its ID or headings";
    return "";
  });
  std::cout << "peak memory of the widest sheet: " << peak << " MiB\n";
}

}  // namespace
}  // namespace zentora::spreadsheet

// The largest workbook the component is used with: a million records of 64
// columns whose ID column is empty. Listing it gives every row an ID and every
// cell the text format and saves; the engine must open what it wrote again,
// within a memory bound proportional to the cells. Slow: labelled "long".
#include <gtest/gtest.h>

#include <chrono>

#include "HostLocationObject.h"
#include "MemoryBound.h"
#include "NotificationService.h"
#include "Spreadsheet/package/FileSaving.h"
#include "Spreadsheet/workbook/Workbook.h"
#include "location/Location.h"

namespace zentora::spreadsheet {
namespace {

constexpr std::uint32_t kRecords = 1'000'000;
constexpr std::uint32_t kColumns = 64;

// The sheet: headings "ID", "F2".."F64"; each record an empty ID cell and 63 numbers. Cells without a
// reference follow one another, which keeps the part small to generate.
void WriteSheet(const std::function<void(std::string_view)>& write) {
  std::string out = std::string("<worksheet xmlns=\"") + testing::kMainNamespace + "\"><sheetData><row>";
  out += "<c t=\"inlineStr\"><is><t>ID</t></is></c>";
  for (std::uint32_t column = 2; column <= kColumns; ++column)
    out += "<c t=\"inlineStr\"><is><t>F" + std::to_string(column) + "</t></is></c>";
  out += "</row>";
  for (std::uint32_t record = 1; record <= kRecords; ++record) {
    out += "<row><c/>";
    for (std::uint32_t column = 2; column <= kColumns; ++column) {
      out += "<c><v>";
      out += std::to_string((record * 7 + column) % 1000);
      out += "</v></c>";
    }
    out += "</row>";
    if (out.size() > (1 << 20)) {
      write(out);
      out.clear();
    }
  }
  write(out + "</sheetData></worksheet>");
}

double SecondsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

TEST(LargeWorkbook, MillionRecordsWithoutIdsAreListedSavedAndOpenedAgain) {
  testing::TemporaryFolder folder;
  std::string path = folder.File("records.xlsx");
  auto start = std::chrono::steady_clock::now();
  {
    ZipWriter writer(1);
    for (const auto& [name, content] : testing::WorkbookParts("")) {
      if (name == "xl/worksheets/sheet1.xml") {
        writer.AddDeflated(name, WriteSheet);
      } else {
        writer.AddDeflated(name, [&](const std::function<void(std::string_view)>& write) { write(content); });
      }
    }
    ReplaceFile(path, writer.Finish(), false);
  }
  std::cout << "generated in " << SecondsSince(start) << " s" << std::endl;

  long peak = testing::WithinMemory(3ull << 30, [&]() -> std::string {
    auto begin = std::chrono::steady_clock::now();
    host::ReplaceThreadNotificationService(std::make_shared<host::RecordingNotificationService>());
    auto location = excel::Location::Create();
    location->LocObject = std::make_shared<host::HostLocationObject>("zentora://test/records");
    location->OpenLocation(path);
    if (location->Count() != static_cast<std::int32_t>(kRecords)) return "wrong item count";
    std::string lastId = location->Item(kRecords)->Item_ID();
    location->Disconnect();
    std::cout << "listed and saved in " << SecondsSince(begin) << " s" << std::endl;
    begin = std::chrono::steady_clock::now();
    auto reopened = Workbook::Open(path);
    Worksheet& sheet = reopened->FirstSheet();
    if (sheet.CellText(kRecords + 1, 1) != lastId || sheet.CellText(2, 1).size() != lastId.size())
      return "the saved IDs are missing";
    if (sheet.CellText(kRecords + 1, kColumns) != std::to_string((kRecords * 7 + kColumns) % 1000))
      return "the saved values changed";
    std::cout << "opened again in " << SecondsSince(begin) << " s" << std::endl;
    return "";
  });
  std::cout << "peak memory: " << peak << " MiB\n";
}

}  // namespace
}  // namespace zentora::spreadsheet

// Hostile and very large workbooks, each case run in a forked child whose address space is bounded
// (RLIMIT_AS): bombs and floods must be refused with the limit error before they cost more, and the
// widest and the longest valid sheets must open through the component and open again once it saved them.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <zlib.h>

#include <fstream>

#include "HostLocationObject.h"
#include "NotificationService.h"
#include "Spreadsheet/package/FileSaving.h"
#include "Spreadsheet/workbook/Workbook.h"
#include "TestWorkbooks.h"
#include "location/Location.h"

namespace zentora::spreadsheet {
namespace {

constexpr std::uint64_t kMiB = 1 << 20;
const std::string kRoot = std::string(" xmlns=\"") + testing::kMainNamespace + "\">";

[[noreturn]] void RunBounded(std::uint64_t bound, const std::function<std::string()>& body) {
#ifndef __SANITIZE_ADDRESS__  // its shadow memory needs terabytes of address space
  rlimit cap{};
  std::ifstream("/proc/self/statm") >> cap.rlim_cur;  // pages of address space in use
  cap.rlim_cur = cap.rlim_max = cap.rlim_cur * 4096 + bound;
  setrlimit(RLIMIT_AS, &cap);
#else
  (void)bound;
#endif
  std::string fault;
  try {
    fault = body();
  } catch (const std::exception& error) {
    fault = error.what();
  }
  std::fprintf(stderr, "%s\n", fault.c_str());
  std::_Exit(fault.empty() ? 0 : 1);
}

// Runs `body` (which returns "" or what went wrong) in a child that may take `bound` more bytes.
void WithinMemory(std::uint64_t bound, const std::function<std::string()>& body) {
  EXPECT_EXIT(RunBounded(bound, body), ::testing::ExitedWithCode(0), "");
}

// A workbook whose part `name` is `head`, MiBs of `element` up to `size` compressed bytes, and `tail`.
// The MiB is deflated once after a full flush, which makes its compressed form independent of what
// precedes it, and that form is repeated.
std::string Bomb(const std::string& name, const std::string& head, const std::string& element,
                 std::size_t size, const std::string& tail) {
  std::string chunk;
  while (chunk.size() < kMiB) chunk += element;
  z_stream stream{};
  deflateInit2(&stream, 9, Z_DEFLATED, -MAX_WBITS, 9, Z_DEFAULT_STRATEGY);
  auto deflated = [&](std::string input, int flush) {
    std::string out(input.size() + 1024, '\0');
    stream.next_in = reinterpret_cast<Bytef*>(input.data());
    stream.avail_in = static_cast<uInt>(input.size());
    stream.next_out = reinterpret_cast<Bytef*>(out.data());
    stream.avail_out = static_cast<uInt>(out.size());
    deflate(&stream, flush);
    return out.substr(0, out.size() - stream.avail_out);
  };
  std::string raw = deflated(head, Z_FULL_FLUSH), repeated = deflated(chunk, Z_FULL_FLUSH);
  while (raw.size() < size) raw += repeated;
  raw += deflated(tail, Z_FINISH);
  deflateEnd(&stream);
  ZipWriter writer(6);
  for (const auto& [part, content] : testing::WorkbookParts("")) {
    if (part != name) writer.AddDeflated(part, Package::Content(content));
    if (part == name)
      writer.AddStoredForm(part, 8, 0, raw.size(), 0, 0, [&](std::string& out) { out += raw; });
  }
  return writer.Finish();
}

TEST(HostileMemory, BombsAndFloodsAreRefusedEarly) {
  Limits lenient;  // deflate's own maximum ratio: the memory budget must stop the flood instead
  lenient.maxInflationRatio = 2'000;
  lenient.memoryAllowance = 16 * kMiB;
  lenient.memoryPerFileByte = 8;
  // 10 MB inflating to gigabytes of empty cells, and hundreds of millions of empty shared strings in 1.5 MB.
  for (const std::string& bytes :
       {Bomb("xl/worksheets/sheet1.xml", "<worksheet" + kRoot + "<sheetData>",
             "<row><c/><c/><c/><c/><c/><c/><c/></row>", 10'000'000, "</sheetData></worksheet>"),
        Bomb("xl/sharedStrings.xml", "<sst" + kRoot, "<si/>", 1'500'000, "</sst>")}) {
    for (const auto& [limits, reason] : {std::pair{Limits{}, "100 times"}, std::pair{lenient, "of memory"}}) {
      WithinMemory(512 * kMiB, [&]() -> std::string {
        try {
          Workbook::OpenBytes(bytes, "hostile.xlsx", limits);
        } catch (const Error& error) {
          std::string message = error.what();
          bool named =
              message.starts_with("hostile.xlsx, part xl/") && message.find(reason) != std::string::npos;
          return error.code() == ErrorCode::LimitExceeded && named ? "" : message;
        }
        return "opened";
      });
    }
  }
}

// The heading row of `columns` columns: "ID", "H2", "H3", ...
std::string Headings(std::uint32_t columns) {
  std::string row = "<row><c t=\"inlineStr\"><is><t>ID</t></is></c>";
  for (std::uint32_t column = 2; column <= columns; ++column)
    row += "<c t=\"inlineStr\"><is><t>H" + std::to_string(column) + "</t></is></c>";
  return row + "</row>";
}

// Lists the workbook at `path` as the command line does (the component gives rows IDs and cells the
// text format; closing saves), then opens it in the engine: "" when the last ID and heading are there.
std::string ListAndOpenAgain(const std::string& path, std::uint32_t items, std::uint32_t columns) {
  host::ReplaceThreadNotificationService(std::make_shared<host::RecordingNotificationService>());
  auto location = excel::Location::Create();
  location->LocObject = std::make_shared<host::HostLocationObject>("zentora://test/large");
  location->OpenLocation(path);
  if (location->Count() != static_cast<std::int32_t>(items))
    return "items: " + std::to_string(location->Count());
  std::string id = location->Item(location->Count())->Item_ID();
  location->Disconnect();
  auto saved = Workbook::Open(path);
  Worksheet& sheet = saved->FirstSheet();
  bool kept =
      sheet.CellText(items + 1, 1) == id && sheet.CellText(1, columns) == "H" + std::to_string(columns);
  return kept ? "" : "the saved workbook lost the last ID or heading";
}

TEST(HostileMemory, SixteenThousandHeadingsOpenThroughTheComponent) {
  testing::TemporaryFolder folder;
  std::string sheet = Headings(kMaxColumns) + "<row><c/><c><v>1</v></c></row>";
  ReplaceFile(folder.File("wide.xlsx"), testing::PackageBytes(testing::WorkbookParts(sheet)), false);
  WithinMemory(512 * kMiB, [&] { return ListAndOpenAgain(folder.File("wide.xlsx"), 1, kMaxColumns); });
}

// A million records of 64 columns with an empty ID column. Labelled "long".
TEST(LargeWorkbook, MillionRecordsWithoutIdsAreListedAndOpenAgain) {
#ifdef __SANITIZE_ADDRESS__
  GTEST_SKIP() << "minutes and gigabytes under AddressSanitizer";
#endif
  testing::TemporaryFolder folder;
  // Identical rows without cell references compress far better than real sheets, whose references
  // change from cell to cell: at the best levels past the memory budget's model bytes per file byte.
  // Level 0 compresses least and keeps this test about the number of records, not about that limit.
  ZipWriter writer(0);
  for (const auto& [name, content] : testing::WorkbookParts("")) {
    if (name != "xl/worksheets/sheet1.xml") writer.AddDeflated(name, Package::Content(content));
  }
  writer.AddDeflated("xl/worksheets/sheet1.xml", [](const std::function<void(std::string_view)>& write) {
    std::string out = "<worksheet" + kRoot + "<sheetData>" + Headings(64);
    for (int record = 0; record < 1'000'000; ++record) {
      out += "<row><c/>";  // cells without references follow one another: A is empty
      for (int column = 2; column <= 64; ++column) out += "<c><v>" + std::to_string(column) + "</v></c>";
      out += "</row>";
      if (out.size() > kMiB) write(out), out.clear();
    }
    write(out + "</sheetData></worksheet>");
  });
  ReplaceFile(folder.File("records.xlsx"), writer.Finish(), false);
  WithinMemory(5ull << 29, [&] { return ListAndOpenAgain(folder.File("records.xlsx"), 1'000'000, 64); });
}

}  // namespace
}  // namespace zentora::spreadsheet

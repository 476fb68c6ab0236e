// The workbook cycle the component runs on open and close, on a generated
// 100,000-row x 12-column workbook with its texts in shared strings: open,
// format every cell as text, write 1,000 cells, save. Each phase is printed
// next to the floor measured in the same run: inflating the parts, a
// streaming XML scan of the sheet and the shared strings with expat, and
// deflating the parts that changed. Peak memory is reported after the cycle,
// before the floor is measured.
//
// Usage: spreadsheet_cycle_benchmark [rows] [workbook path] [compression level]
#include <expat.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <zip.h>
#include <zlib.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "Spreadsheet/package/FileSaving.h"
#include "Spreadsheet/package/Package.h"
#include "Spreadsheet/workbook/Workbook.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr std::uint32_t kColumns = 12;

double SecondsSince(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

// Writes the workbook as common writers do: every text in the shared strings, cells referring to them.
void Generate(const std::string& path, std::uint32_t rows) {
  std::string strings, sheet;
  strings.reserve(static_cast<std::size_t>(rows) * kColumns * 40);
  sheet.reserve(static_cast<std::size_t>(rows) * kColumns * 32);
  const char* main = "http://schemas.openxmlformats.org/spreadsheetml/2006/main";
  sheet += std::string("<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n<worksheet xmlns=\"") +
           main + "\"><dimension ref=\"A1:L" + std::to_string(rows) + "\"/><sheetData>";
  std::uint32_t index = 0;
  for (std::uint32_t r = 1; r <= rows; ++r) {
    std::string number = std::to_string(r);
    sheet += "<row r=\"" + number + "\" spans=\"1:12\">";
    for (std::uint32_t c = 0; c < kColumns; ++c) {
      std::string reference = std::string(1, static_cast<char>('A' + c)) + number;
      sheet += "<c r=\"" + reference + "\" t=\"s\"><v>" + std::to_string(index++) + "</v></c>";
      if (r == 1) {
        strings += "<si><t>Heading " + std::to_string(c + 1) + "</t></si>";
      } else if (c == 0) {
        char id[48];
        std::snprintf(id, sizeof id, "{%08X-0000-4000-8000-%012X}", r * 2654435761u, r);
        strings += std::string("<si><t>") + id + "</t></si>";
      } else {
        strings += "<si><t>Value " + std::to_string(c) + " of record " + number + "</t></si>";
      }
    }
    sheet += "</row>";
  }
  sheet +=
      "</sheetData><pageMargins left=\"0.7\" right=\"0.7\" top=\"0.75\" bottom=\"0.75\" header=\"0.3\" "
      "footer=\"0.3\"/></worksheet>";
  std::string sst =
      std::string("<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n<sst xmlns=\"") + main +
      "\" count=\"" + std::to_string(index) + "\" uniqueCount=\"" + std::to_string(index) + "\">" + strings +
      "</sst>";
  strings.clear();
  auto base = zentora::spreadsheet::Workbook::CreateEmpty();
  std::string empty = base->SaveToBytes();
  zentora::spreadsheet::Package package(empty, "base", {});
  std::string rels = package.Read("xl/_rels/workbook.xml.rels");
  rels.insert(
      rels.find("</Relationships>"),
      "<Relationship Id=\"rId3\" Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/"
      "sharedStrings\" Target=\"sharedStrings.xml\"/>");
  std::string types = package.Read("[Content_Types].xml");
  types.insert(types.find("</Types>"),
               "<Override PartName=\"/xl/sharedStrings.xml\" ContentType=\"application/"
               "vnd.openxmlformats-officedocument.spreadsheetml.sharedStrings+xml\"/>");
  using zentora::spreadsheet::Package;
  std::string bytes = package.Write({{"xl/worksheets/sheet1.xml", Package::Content(sheet)},
                                     {"xl/sharedStrings.xml", Package::Content(sst)},
                                     {"xl/_rels/workbook.xml.rels", Package::Content(rels)},
                                     {"[Content_Types].xml", Package::Content(types)}},
                                    6);
  zentora::spreadsheet::ReplaceFile(path, bytes, false);
}

// Makes the workbook in a child process, so that its memory does not count in this one's peak.
void EnsureWorkbook(const std::string& path, std::uint32_t rows) {
  if (std::filesystem::exists(path)) return;
  std::printf("generating %s ...\n", path.c_str());
  pid_t child = fork();
  if (child == 0) {
    Generate(path, rows);
    _exit(0);
  }
  int status = 0;
  waitpid(child, &status, 0);
}

long PeakMegabytes() {
  struct rusage usage;
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss / 1024;
}

struct Floor {
  double inflate = 0, scan = 0, deflate = 0;
};

std::string InflatePart(zip_t* archive, const char* name) {
  zip_stat_t stat;
  zip_stat(archive, name, 0, &stat);
  std::string content(static_cast<std::size_t>(stat.size), '\0');
  zip_file_t* file = zip_fopen(archive, name, 0);
  std::size_t done = 0;
  zip_int64_t got;
  while (done < content.size() && (got = zip_fread(file, content.data() + done, content.size() - done)) > 0) {
    done += static_cast<std::size_t>(got);
  }
  zip_fclose(file);
  return content;
}

void Scan(const std::string& document) {
  XML_Parser parser = XML_ParserCreate("UTF-8");
  XML_SetElementHandler(
      parser, [](void*, const XML_Char*, const XML_Char**) {}, [](void*, const XML_Char*) {});
  XML_SetCharacterDataHandler(parser, [](void*, const XML_Char*, int) {});
  for (std::size_t at = 0; at < document.size(); at += 256 * 1024) {
    std::size_t size = std::min<std::size_t>(256 * 1024, document.size() - at);
    XML_Parse(parser, document.data() + at, static_cast<int>(size), at + size == document.size());
  }
  XML_ParserFree(parser);
}

double Deflate(const std::string& content, int level) {
  auto start = Clock::now();
  z_stream stream{};
  deflateInit2(&stream, level, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY);
  std::vector<unsigned char> out(256 * 1024);
  stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(content.data()));
  stream.avail_in = static_cast<uInt>(content.size());
  int result;
  do {
    stream.next_out = out.data();
    stream.avail_out = static_cast<uInt>(out.size());
    result = deflate(&stream, Z_FINISH);
  } while (result == Z_OK);
  deflateEnd(&stream);
  return SecondsSince(start);
}

Floor MeasureFloor(const std::string& path, const std::string& savedPath, int level) {
  Floor floor;
  std::string bytes = zentora::spreadsheet::ReadWholeFile(path);
  zip_error_t error;
  zip_source_t* source = zip_source_buffer_create(bytes.data(), bytes.size(), 0, &error);
  zip_t* archive = zip_open_from_source(source, ZIP_RDONLY, &error);
  auto start = Clock::now();
  std::string sheet = InflatePart(archive, "xl/worksheets/sheet1.xml");
  std::string strings = InflatePart(archive, "xl/sharedStrings.xml");
  floor.inflate = SecondsSince(start);
  zip_discard(archive);
  start = Clock::now();
  Scan(sheet);
  Scan(strings);
  floor.scan = SecondsSince(start);
  strings.clear();
  strings.shrink_to_fit();
  // The parts that changed are the sheet and the styles, as the engine wrote them.
  std::string saved = zentora::spreadsheet::ReadWholeFile(savedPath);
  source = zip_source_buffer_create(saved.data(), saved.size(), 0, &error);
  archive = zip_open_from_source(source, ZIP_RDONLY, &error);
  std::string newSheet = InflatePart(archive, "xl/worksheets/sheet1.xml");
  std::string newStyles = InflatePart(archive, "xl/styles.xml");
  zip_discard(archive);
  floor.deflate = Deflate(newSheet, level) + Deflate(newStyles, level);
  return floor;
}

}  // namespace

int main(int argc, char** argv) {
  std::uint32_t rows = argc > 1 ? static_cast<std::uint32_t>(std::stoul(argv[1])) : 100'000;
  std::string path = argc > 2 ? argv[2] : "/tmp/zentora-bench-" + std::to_string(rows) + "x12.xlsx";
  std::string savedPath = path + ".saved.xlsx";
  int level = argc > 3 ? std::stoi(argv[3]) : zentora::spreadsheet::Workbook::CreateEmpty()->compressionLevel;
  EnsureWorkbook(path, rows);

  auto start = Clock::now();
  auto workbook = zentora::spreadsheet::Workbook::Open(path);
  workbook->compressionLevel = level;
  double open = SecondsSince(start);
  zentora::spreadsheet::Worksheet& sheet = workbook->FirstSheet();
  start = Clock::now();
  for (std::uint32_t r = 1; r <= rows; ++r) {
    for (std::uint32_t c = 1; c <= kColumns; ++c) sheet.SetTextFormat(r, c);
  }
  double format = SecondsSince(start);
  start = Clock::now();
  for (std::uint32_t i = 0; i < 1000; ++i) {
    sheet.SetCellText(2 + (i * 97) % (rows - 1), 1 + i % kColumns, "written " + std::to_string(i));
  }
  double write = SecondsSince(start);
  start = Clock::now();
  workbook->SaveAs(savedPath, true);
  double save = SecondsSince(start);
  long peak = PeakMegabytes();
  workbook.reset();

  Floor floor = MeasureFloor(path, savedPath, level);
  double cycle = open + format + write + save;
  double floorSum = floor.inflate + floor.scan + floor.deflate;
  std::printf("workbook: %s (%u rows x %u columns, %.1f MiB); deflate level %d for engine and floor\n",
              path.c_str(), rows, kColumns,
              static_cast<double>(std::filesystem::file_size(path)) / (1024.0 * 1024.0), level);
  std::printf("%-28s %9s   %-34s %9s\n", "engine phase", "seconds", "floor phase", "seconds");
  std::printf("%-28s %9.3f   %-34s %9.3f\n", "open (read sheet + strings)", open, "inflate sheet + strings",
              floor.inflate);
  std::printf("%-28s %9.3f   %-34s %9.3f\n", "format every cell \"@\"", format,
              "expat scan of sheet + strings", floor.scan);
  std::printf("%-28s %9.3f   %-34s %9s\n", "write 1,000 cells", write, "", "");
  std::printf("%-28s %9.3f   %-34s %9.3f\n", "save", save, "deflate changed parts", floor.deflate);
  std::printf("%-28s %9.3f   %-34s %9.3f\n", "whole cycle", cycle, "floor", floorSum);
  std::printf("cycle / floor: %.2f\n", cycle / floorSum);
  std::printf("peak memory (cycle): %ld MiB\n", peak);
  std::printf("RESULT cycle_seconds=%.3f floor_seconds=%.3f peak_mib=%ld\n", cycle, floorSum, peak);
  return 0;
}

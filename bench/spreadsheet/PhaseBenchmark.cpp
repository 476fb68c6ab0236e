// Where the time of a record change goes, phase by phase, on a generated
// store of ROWS records x 12 text columns (the texts in shared strings, an
// ID in column A): each phase of the engine next to its floor, the same work
// done by libdeflate and expat alone, measured in the same run. Every phase
// runs `repeats` times and its fastest run is shown, so that a busy machine
// disturbs the figures less.
//
// Usage: spreadsheet_phase_benchmark [rows] [workbook path] [repeats] [floor]
// The workbook is generated (in a child process) when it does not exist yet; with 0 repeats that is
// all. With "floor" only the floor of the command-line job is measured and printed as
// "RESULT floor_set_seconds=S floor_get_seconds=G": reading every part's text with expat for get,
// plus deflating the sheet again and writing and syncing the file for set.
#include <expat.h>
#include <fcntl.h>
#include <libdeflate.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <zip.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "Spreadsheet/package/FileSaving.h"
#include "Spreadsheet/package/Package.h"
#include "Spreadsheet/workbook/SharedStrings.h"
#include "Spreadsheet/workbook/Styles.h"
#include "Spreadsheet/workbook/Workbook.h"
#include "text/KeyedCollection.h"

namespace {

using Clock = std::chrono::steady_clock;
using zentora::spreadsheet::Package;
constexpr std::uint32_t kColumns = 12;
constexpr const char* kSheetPart = "xl/worksheets/sheet1.xml";
constexpr const char* kStringsPart = "xl/sharedStrings.xml";

// Writes the store as common writers do: every text in the shared strings, cells referring to them.
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
        strings += c == 0 ? std::string("<si><t>ID</t></si>")
                          : "<si><t>Heading " + std::to_string(c + 1) + "</t></si>";
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
  Package package(empty, "base", {});
  std::string rels = package.Read("xl/_rels/workbook.xml.rels");
  rels.insert(
      rels.find("</Relationships>"),
      "<Relationship Id=\"rId3\" Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/"
      "sharedStrings\" Target=\"sharedStrings.xml\"/>");
  std::string types = package.Read("[Content_Types].xml");
  types.insert(types.find("</Types>"),
               "<Override PartName=\"/xl/sharedStrings.xml\" ContentType=\"application/"
               "vnd.openxmlformats-officedocument.spreadsheetml.sharedStrings+xml\"/>");
  std::string bytes = package.Write({{kSheetPart, Package::Content(sheet)},
                                     {kStringsPart, Package::Content(sst)},
                                     {"xl/_rels/workbook.xml.rels", Package::Content(rels)},
                                     {"[Content_Types].xml", Package::Content(types)}},
                                    6);
  zentora::spreadsheet::ReplaceFile(path, bytes, false);
}

// Makes the workbook in a child process, so that its memory does not count in this one's peak.
void EnsureWorkbook(const std::string& path, std::uint32_t rows) {
  if (std::filesystem::exists(path)) return;
  std::printf("generating %s ...\n", path.c_str());
  std::fflush(stdout);
  pid_t child = fork();
  if (child == 0) {
    Generate(path, rows);
    _exit(0);
  }
  int status = 0;
  waitpid(child, &status, 0);
}

// Each phase's fastest run for the engine and for its floor. The two run in turn, so that both
// see the same load on a shared machine.
class Phases {
 public:
  explicit Phases(int repeats) : repeats_(repeats) {}
  // Runs `engine` and `floor` (when given) `repeats` times each, alternating, keeping the fastest.
  void Time(const std::string& name, const std::function<void()>& engine,
            const std::function<void()>& floor = nullptr) {
    double best[2] = {1e300, floor ? 1e300 : 0};
    for (int i = 0; i < repeats_; ++i) {
      for (int side = 0; side < (floor ? 2 : 1); ++side) {
        auto start = Clock::now();
        side == 0 ? engine() : floor();
        best[side] = std::min(best[side], std::chrono::duration<double>(Clock::now() - start).count());
      }
    }
    names_.push_back(name);
    seconds_[name] = {best[0], best[1]};
  }
  // Prints the table: engine, floor and their ratio per phase, then the totals.
  void Print() const {
    std::printf("%-26s %10s %10s %8s\n", "phase", "engine s", "floor s", "ratio");
    double totals[2] = {0, 0};
    for (const std::string& name : names_) {
      auto [ours, base] = seconds_.at(name);
      totals[0] += ours;
      totals[1] += base;
      if (base > 0) {
        std::printf("%-26s %10.3f %10.3f %7.2fx\n", name.c_str(), ours, base, ours / base);
      } else {
        std::printf("%-26s %10.3f %10s %8s\n", name.c_str(), ours, "-", "-");
      }
    }
    std::printf("%-26s %10.3f %10.3f %7.2fx\n", "total", totals[0], totals[1], totals[0] / totals[1]);
  }

 private:
  int repeats_;
  std::vector<std::string> names_;
  std::map<std::string, std::pair<double, double>> seconds_;
};

// The compressed bytes of a part, as stored in the zip.
std::string CompressedPart(const std::string& bytes, const char* name, std::size_t& size) {
  zip_error_t error;
  zip_source_t* source = zip_source_buffer_create(bytes.data(), bytes.size(), 0, &error);
  zip_t* archive = zip_open_from_source(source, ZIP_RDONLY, &error);
  zip_stat_t stat;
  zip_stat(archive, name, 0, &stat);
  std::string compressed(static_cast<std::size_t>(stat.comp_size), '\0');
  zip_file_t* file = zip_fopen(archive, name, ZIP_FL_COMPRESSED);
  zip_fread(file, compressed.data(), compressed.size());
  zip_fclose(file);
  zip_discard(archive);
  size = static_cast<std::size_t>(stat.size);
  return compressed;
}

void ExpatScan(const std::string& document) {
  XML_Parser parser = XML_ParserCreate("UTF-8");
  XML_SetElementHandler(
      parser, [](void*, const XML_Char*, const XML_Char**) {}, [](void*, const XML_Char*) {});
  XML_SetCharacterDataHandler(parser, [](void*, const XML_Char*, int) {});
  constexpr std::size_t kChunk = 256 * 1024;
  for (std::size_t at = 0; at < document.size(); at += kChunk) {
    std::size_t size = std::min(kChunk, document.size() - at);
    XML_Parse(parser, document.data() + at, static_cast<int>(size), at + size == document.size());
  }
  XML_ParserFree(parser);
}

void WriteAndSync(const std::string& path, const std::string& bytes, bool sync) {
  int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  for (std::size_t done = 0; done < bytes.size();) {
    ssize_t wrote = write(fd, bytes.data() + done, bytes.size() - done);
    if (wrote <= 0) break;
    done += static_cast<std::size_t>(wrote);
  }
  if (sync) fsync(fd);
  close(fd);
}

long PeakMegabytes() {
  struct rusage usage;
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss / 1024;
}

}  // namespace

int main(int argc, char** argv) {
  namespace ss = zentora::spreadsheet;
  std::uint32_t rows = argc > 1 ? static_cast<std::uint32_t>(std::stoul(argv[1])) : 100'000;
  std::string path = argc > 2 ? argv[2] : "build/bench-data/store-" + std::to_string(rows) + "x12.xlsx";
  int repeats = argc > 3 ? std::stoi(argv[3]) : 3;
  std::filesystem::create_directories(std::filesystem::path(path).parent_path());
  EnsureWorkbook(path, rows);
  if (repeats <= 0) return 0;
  const bool floorOnly = argc > 4 && std::string(argv[4]) == "floor";
  const int level = ss::Workbook::CreateEmpty()->compressionLevel;
  Phases phases(repeats);
  auto ignore = [](const char*, std::size_t, bool) {};

  // The floor's inputs: the parts' compressed bytes and their inflated text.
  std::string bytes = ss::ReadWholeFile(path);
  std::size_t sheetSize = 0, stringsSize = 0;
  const std::string sheetDeflated = CompressedPart(bytes, kSheetPart, sheetSize);
  const std::string stringsDeflated = CompressedPart(bytes, kStringsPart, stringsSize);
  std::string sheetPlain(sheetSize, '\0'), stringsPlain(stringsSize, '\0');
  libdeflate_decompressor* decompressor = libdeflate_alloc_decompressor();
  auto floorInflate = [&] {
    if (libdeflate_deflate_decompress(decompressor, sheetDeflated.data(), sheetDeflated.size(),
                                      sheetPlain.data(), sheetPlain.size(), nullptr) != LIBDEFLATE_SUCCESS ||
        libdeflate_deflate_decompress(decompressor, stringsDeflated.data(), stringsDeflated.size(),
                                      stringsPlain.data(), stringsPlain.size(),
                                      nullptr) != LIBDEFLATE_SUCCESS) {
      std::printf("libdeflate cannot inflate the parts\n");
      std::exit(1);
    }
  };
  floorInflate();
  if (floorOnly) {
    std::string deflated(libdeflate_deflate_compress_bound(nullptr, sheetPlain.size()), '\0');
    libdeflate_compressor* compressor = libdeflate_alloc_compressor(level);
    const std::string floorPath = path + ".floor.xlsx";
    double get = 1e300, set = 1e300;
    for (int i = 0; i < repeats; ++i) {
      auto start = Clock::now();
      floorInflate();
      ExpatScan(stringsPlain);
      ExpatScan(sheetPlain);
      get = std::min(get, std::chrono::duration<double>(Clock::now() - start).count());
      libdeflate_deflate_compress(compressor, sheetPlain.data(), sheetPlain.size(), deflated.data(),
                                  deflated.size());
      WriteAndSync(floorPath, bytes, true);  // a file of the workbook's size
      set = std::min(set, std::chrono::duration<double>(Clock::now() - start).count());
    }
    std::filesystem::remove(floorPath);
    libdeflate_free_compressor(compressor);
    libdeflate_free_decompressor(decompressor);
    std::printf("RESULT floor_set_seconds=%.3f floor_get_seconds=%.3f\n", set, get);
    return 0;
  }

  // The engine single-threaded, phase by phase, each beside the floor.
  phases.Time("read file", [&] { bytes = ss::ReadWholeFile(path); });
  std::unique_ptr<Package> package;
  phases.Time(
      "inflate",
      [&] {
        package = std::make_unique<Package>(bytes, path, ss::Limits{});
        for (const char* part : {kSheetPart, kStringsPart}) package->Stream(part, ignore);
      },
      floorInflate);
  // The engine reads the shared strings as it inflates them: that pair is timed together.
  std::unique_ptr<ss::SharedStrings> sharedStrings;
  phases.Time(
      "inflate + shared strings",
      [&] {
        package = std::make_unique<Package>(bytes, path, ss::Limits{});
        sharedStrings = std::make_unique<ss::SharedStrings>(*package, kStringsPart);
      },
      [&] {
        libdeflate_deflate_decompress(decompressor, stringsDeflated.data(), stringsDeflated.size(),
                                      stringsPlain.data(), stringsPlain.size(), nullptr);
        ExpatScan(stringsPlain);
      });
  ss::Styles styles;
  std::uint64_t changes = 0;
  std::unique_ptr<ss::Worksheet> sheet;
  phases.Time(
      "sheet parse",
      [&] {
        sheet = std::make_unique<ss::Worksheet>(
            ss::SheetContext{path, sharedStrings.get(), &styles, false, &package->memory(), &changes});
        sheet->Read([&](const std::function<void(const char*, std::size_t, bool)>& sink) {
          constexpr std::size_t kChunk = 256 * 1024;
          for (std::size_t at = 0; at < sheetPlain.size(); at += kChunk) {
            std::size_t size = std::min(kChunk, sheetPlain.size() - at);
            sink(sheetPlain.data() + at, size, at + size == sheetPlain.size());
          }
        });
      },
      [&] { ExpatScan(sheetPlain); });
  libdeflate_free_decompressor(decompressor);
  phases.Time("index", [&] {
    zentora::excel::KeyedCollection<std::string> index;
    for (std::uint32_t r = 2; r <= rows; ++r) index.Add(sheet->CellText(r, 1), std::to_string(r));
  });
  phases.Time("text format", [&] {
    for (std::uint32_t r = 2; r <= rows; ++r) {
      for (std::uint32_t c = 1; c <= kColumns; ++c) sheet->SetTextFormat(r, c);
    }
  });
  sheet->SetCellText(rows / 2, 3, "changed");
  std::string serialized;
  phases.Time("serialise", [&] {
    serialized.clear();
    sheet->Serialize([&](std::string_view piece) { serialized += piece; });
  });
  // Deflate at the engine's level; the floor is libdeflate at the same level.
  std::string saved;
  std::string deflated(libdeflate_deflate_compress_bound(nullptr, serialized.size()), '\0');
  auto libdeflateAt = [&](int atLevel) {
    libdeflate_compressor* compressor = libdeflate_alloc_compressor(atLevel);
    std::size_t size = libdeflate_deflate_compress(compressor, serialized.data(), serialized.size(),
                                                   deflated.data(), deflated.size());
    libdeflate_free_compressor(compressor);
    return size;
  };
  phases.Time(
      "deflate",
      [&] {
        ss::ZipWriter writer(level);
        writer.AddDeflated(kSheetPart, Package::Content(serialized));
        saved = writer.Finish();
      },
      [&] { libdeflateAt(level); });
  const std::string savedPath = path + ".saved.xlsx";
  const std::string floorPath = path + ".floor.xlsx";
  phases.Time(
      "write + fsync", [&] { ss::ReplaceFile(savedPath, saved, false); },
      [&] { WriteAndSync(floorPath, saved, true); });
  std::filesystem::remove(floorPath);
  long peak = PeakMegabytes();

  std::printf(
      "workbook: %s (%u rows x %u columns, %.1f MiB; sheet %.1f MiB, shared strings %.1f MiB inflated)\n",
      path.c_str(), rows, kColumns, static_cast<double>(std::filesystem::file_size(path)) / 1048576.0,
      static_cast<double>(sheetSize) / 1048576.0, static_cast<double>(stringsSize) / 1048576.0);
  std::printf("fastest of %d runs each, engine and floor in turn; deflate at level %d\n", repeats, level);
  phases.Print();
  std::printf("the engine's deflate of the %.1f MiB sheet: %.2f MiB\n",
              static_cast<double>(serialized.size()) / 1048576.0,
              static_cast<double>(saved.size()) / 1048576.0);
  std::printf("the engine by level (seconds, MiB):");
  for (int atLevel = 0; atLevel <= 3; ++atLevel) {
    auto start = Clock::now();
    ss::ZipWriter writer(atLevel);
    writer.AddDeflated(kSheetPart, Package::Content(serialized));
    std::size_t size = writer.Finish().size();
    std::printf(" %d: %.3f %.2f;", atLevel, std::chrono::duration<double>(Clock::now() - start).count(),
                static_cast<double>(size) / 1048576.0);
  }
  std::printf("\nlibdeflate by level (seconds, MiB):");
  for (int atLevel = 1; atLevel <= 6; ++atLevel) {
    auto start = Clock::now();
    std::size_t size = libdeflateAt(atLevel);
    std::printf(" %d: %.3f %.2f;", atLevel, std::chrono::duration<double>(Clock::now() - start).count(),
                static_cast<double>(size) / 1048576.0);
  }
  std::printf("\npeak memory: %ld MiB\n", peak);
  return 0;
}

// The component on a 100,000-row workbook, next to the engine's own work in the
// same run: opening and saving the workbook directly (unchanged, and with the
// cell operations that loading makes) are the baselines for OpenLocation +
// Disconnect, reading cells directly the baseline for GetItem + Item_Text. The
// walk with the shared item (DynamicItem) and the pasting of 10,000 text forms
// report their cost per item beside GetItem's. OpenLoadedStore times what
// opening adds to loading: the headings, the ID index and the text format.
#include <benchmark/benchmark.h>
#include <malloc.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "HostLocationObject.h"
#include "NotificationService.h"
#include "Store.h"
#include "location/Location.h"
#include "outside/Spreadsheet.h"

namespace zentora::excel {
namespace {

constexpr std::int32_t kRows = 100000;

std::string Identifier(std::int32_t index) {
  char text[16];
  std::snprintf(text, sizeof text, "r%06d", index);
  return text;
}

// Where the benchmark workbook lives for this run.
std::string BenchBookPath() {
  return (std::filesystem::temp_directory_path() / ("zentora-bench-" + std::to_string(getpid()) + ".xlsx"))
      .string();
}

// The benchmark workbook: headings ID, TYPE, TEXT, Vorname, Nachname and kRows items, made once.
const std::string& BenchBook() {
  static const std::string path = [] {
    const std::string book = BenchBookPath();
    const auto application = CreateExcelApplication();
    const auto workbook = application->AddWorkbook();
    const auto sheet = workbook->FirstSheet();
    const char* headings[] = {"ID", "TYPE", "TEXT", "Vorname", "Nachname"};
    for (std::int32_t column = 1; column <= 5; ++column) sheet->SetCellText(1, column, headings[column - 1]);
    for (std::int32_t index = 1; index <= kRows; ++index) {
      const std::int32_t row = index + 1;
      sheet->SetCellText(row, 1, Identifier(index));
      sheet->SetCellText(row, 2, "contact");
      sheet->SetCellText(row, 3, "Kontakt Nummer " + std::to_string(index));
      sheet->SetCellText(row, 4, "Jörg");
      sheet->SetCellText(row, 5, "Weiß");
    }
    workbook->SaveAs(book);
    application->Quit();
    // Opened once by a location, the workbook carries what loading writes (the text format of
    // every item cell), so that every benchmark below reads and saves the same content.
    auto location = Location::Create();
    location->LocObject = std::make_shared<host::HostLocationObject>();
    location->OpenLocation(book);
    location->Disconnect();
    return book;
  }();
  return path;
}

void EngineOpenAndSave(benchmark::State& state) {
  const std::string& book = BenchBook();
  for (auto _ : state) {
    const auto application = CreateExcelApplication();
    const auto workbook = application->AddWorkbook(book);
    benchmark::DoNotOptimize(workbook->FirstSheet());
    workbook->SaveAs(book, kAccessModeNoChange);
    workbook->Close();
    application->Quit();
  }
}

// The engine work that OpenLocation + Disconnect asks for, done directly: read every row's
// identifier, text-format every item cell, save (a changed sheet is written out anew).
void EngineOpenFormatAndSave(benchmark::State& state) {
  const std::string& book = BenchBook();
  for (auto _ : state) {
    const auto application = CreateExcelApplication();
    const auto workbook = application->AddWorkbook(book);
    const auto sheet = workbook->FirstSheet();
    for (std::int32_t row = 2; row <= kRows + 1; ++row) {
      benchmark::DoNotOptimize(sheet->CellText(row, 1));
      sheet->SetNumberFormat(row, 1, row, 5, "@");
    }
    workbook->SaveAs(book, kAccessModeNoChange);
    workbook->Close();
    application->Quit();
  }
}

void OpenLocationAndDisconnect(benchmark::State& state) {
  const std::string& book = BenchBook();
  for (auto _ : state) {
    auto location = Location::Create();
    location->LocObject = std::make_shared<host::HostLocationObject>();
    location->OpenLocation(book);
    benchmark::DoNotOptimize(location->Count());
    location->Disconnect();
  }
}

// Hands every location the one sheet of a workbook loaded once; saving and closing do nothing.
class LoadedWorkbook : public ExcelWorkbook {
 public:
  explicit LoadedWorkbook(std::shared_ptr<ExcelWorksheet> sheet) : sheet_(std::move(sheet)) {}
  std::shared_ptr<ExcelWorksheet> FirstSheet() override { return sheet_; }
  void SaveAs(const std::string&, std::int32_t) override {}
  void Close() override {}

 private:
  std::shared_ptr<ExcelWorksheet> sheet_;
};

class LoadedApplication : public ExcelApplication {
 public:
  explicit LoadedApplication(std::shared_ptr<ExcelWorkbook> book) : book_(std::move(book)) {}
  void SetDisplayAlerts(bool) override {}
  std::shared_ptr<ExcelWorkbook> AddWorkbook() override { return book_; }
  std::shared_ptr<ExcelWorkbook> AddWorkbook(const std::string&) override { return book_; }
  void Quit() override {}
  void SetInUseWait(std::chrono::milliseconds) override {}

 private:
  std::shared_ptr<ExcelWorkbook> book_;
};

constexpr std::int32_t kStoreColumns = 12;

// OpenLocation on a store whose workbook is already loaded: 100,000 rows of 12 columns with
// GUID-shaped IDs in column A, opened once before so that its cells have the text format. Times the
// headings, the ID index and the format check; making the store and freeing the location are
// outside the timing.
void OpenLoadedStore(benchmark::State& state) {
  const std::string book = BenchBookPath() + "-store.xlsx";
  const auto application = CreateExcelApplication();
  const auto workbook = application->AddWorkbook();
  const auto sheet = workbook->FirstSheet();
  sheet->SetCellText(1, 1, "ID");
  for (std::int32_t column = 2; column <= kStoreColumns; ++column)
    sheet->SetCellText(1, column, "Feld " + std::to_string(column));
  for (std::int32_t index = 1; index <= kRows; ++index) {
    char id[40];
    std::snprintf(id, sizeof id, "{3C6EF362-0000-4000-8000-%012d}", index);
    sheet->SetCellText(index + 1, 1, id);
    for (std::int32_t column = 2; column <= kStoreColumns; ++column)
      sheet->SetCellText(index + 1, column, "Wert " + std::to_string(index));
  }
  workbook->SaveAs(book);
  const auto loaded = std::make_shared<LoadedApplication>(std::make_shared<LoadedWorkbook>(sheet));
  const auto open = [&] {
    auto location = Location::Create([&] { return loaded; });
    location->LocObject = std::make_shared<host::HostLocationObject>();
    location->OpenLocation(book);
    return location;
  };
  open();
  for (auto _ : state) {
    state.PauseTiming();
    auto location = Location::Create([&] { return loaded; });
    location->LocObject = std::make_shared<host::HostLocationObject>();
    state.ResumeTiming();
    location->OpenLocation(book);
    state.PauseTiming();
    benchmark::DoNotOptimize(location->Count());
    location.reset();
    // The memory freed goes back to the system, so that the next opening touches fresh memory
    // as a store opened by a new process does.
    malloc_trim(0);
    state.ResumeTiming();
  }
  application->Quit();
  std::filesystem::remove(book);
}

void EngineCellReads(benchmark::State& state) {
  const auto application = CreateExcelApplication();
  const auto sheet = application->AddWorkbook(BenchBook())->FirstSheet();
  for (auto _ : state) {
    for (std::int32_t row = 2; row <= kRows + 1; ++row) benchmark::DoNotOptimize(sheet->CellText(row, 3));
  }
  state.SetItemsProcessed(state.iterations() * kRows);
  application->Quit();
}

void GetItemAndText(benchmark::State& state) {
  auto location = Location::Create();
  location->LocObject = std::make_shared<host::HostLocationObject>();
  location->OpenLocation(BenchBook());
  for (auto _ : state) {
    for (std::int32_t index = 1; index <= kRows; ++index) {
      benchmark::DoNotOptimize(location->GetItem(Identifier(index))->Item_Text());
    }
  }
  state.SetItemsProcessed(state.iterations() * kRows);
  location->Disconnect();
}

// The same reading as GetItemAndText through the location's one shared item: no object per row.
void DynamicItemAndText(benchmark::State& state) {
  auto location = Location::Create();
  location->LocObject = std::make_shared<host::HostLocationObject>();
  location->OpenLocation(BenchBook());
  for (auto _ : state) {
    for (std::int32_t position = 1; position <= kRows; ++position) {
      benchmark::DoNotOptimize(location->DynamicItem(position)->Item_Text());
    }
  }
  state.SetItemsProcessed(state.iterations() * kRows);
  location->Disconnect();
}

constexpr std::int32_t kPasted = 10000;

// 10,000 text forms with new IDs pasted into a new store, each appending its row (the store is
// made and saved outside the timing).
void PasteTextForms(benchmark::State& state) {
  std::vector<std::string> texts;
  for (std::int32_t index = 1; index <= kPasted; ++index) {
    texts.push_back("ID=" + Identifier(index) + "|Type=contact|Text=Kontakt Nummer " + std::to_string(index) +
                    "|DataVorname=Jörg|DataNachname=Weiß|Owner=bench|Log=20240305100000");
  }
  const std::string book = BenchBookPath() + "-paste.xlsx";
  for (auto _ : state) {
    state.PauseTiming();
    std::filesystem::remove(book);
    host::ReplaceThreadNotificationService(nullptr);
    auto location = Location::Create();
    location->LocObject = std::make_shared<host::HostLocationObject>();
    location->OpenLocation(book);
    state.ResumeTiming();
    for (const std::string& text : texts) benchmark::DoNotOptimize(location->PasteItem(text, false));
    state.PauseTiming();
    location->Disconnect();
    state.ResumeTiming();
  }
  state.SetItemsProcessed(state.iterations() * kPasted);
  host::ReplaceThreadNotificationService(nullptr);
  std::filesystem::remove(book);
}

// DeleteItem of the record in row 2 of the 100,000: every row below moves up and the index follows.
// Opening the store, closing it without saving and freeing it are outside the timing.
void DeleteItemNearTheTop(benchmark::State& state) {
  for (auto _ : state) {
    state.PauseTiming();
    auto store = std::make_unique<host::Store>(BenchBook(), &CreateExcelApplication, std::nullopt);
    auto item = store->location().GetItem(Identifier(1));
    state.ResumeTiming();
    benchmark::DoNotOptimize(store->location().DeleteItem(item));
    state.PauseTiming();
    store->CloseWithoutSaving();
    store.reset();
    item.reset();
    state.ResumeTiming();
  }
}

BENCHMARK(EngineOpenAndSave)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(EngineOpenFormatAndSave)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(OpenLocationAndDisconnect)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(OpenLoadedStore)->Unit(benchmark::kMillisecond)->Iterations(9);
BENCHMARK(EngineCellReads)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(GetItemAndText)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(DynamicItemAndText)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(DeleteItemNearTheTop)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(PasteTextForms)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace
}  // namespace zentora::excel

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  std::filesystem::remove(zentora::excel::BenchBookPath());
  return 0;
}

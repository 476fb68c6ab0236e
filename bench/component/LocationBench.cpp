// The component on a 100,000-row workbook, next to the engine's own work in the
// same run: opening and saving the workbook directly (unchanged, and with the
// cell operations that loading makes) are the baselines for OpenLocation +
// Disconnect, reading cells directly the baseline for GetItem + Item_Text.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>

#include "HostLocationObject.h"
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
      for (std::int32_t column = 1; column <= 5; ++column) sheet->SetNumberFormat(row, column, "@");
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

BENCHMARK(EngineOpenAndSave)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(EngineOpenFormatAndSave)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(OpenLocationAndDisconnect)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(EngineCellReads)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(GetItemAndText)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace
}  // namespace zentora::excel

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  std::filesystem::remove(zentora::excel::BenchBookPath());
  return 0;
}

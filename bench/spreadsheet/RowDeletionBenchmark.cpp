// What keeping references in step costs a row delete. A generated workbook (records sheet of
// 50,000 rows x 8 columns plus two more sheets) loses row 2 again and again, with and without the
// rewriting installed; the plain engine delete is the baseline in the same run. Variants: no formulas
// anywhere (must cost the same as the baseline), a summary sheet with formulas over the records, and
// a computed column (one formula per record row, rewritten on every delete).
#include <benchmark/benchmark.h>

#include <string>

#include "Spreadsheet/package/Package.h"
#include "Spreadsheet/references/RowDeletionRewriter.h"
#include "Spreadsheet/workbook/Workbook.h"

namespace {

using zentora::spreadsheet::Package;
using zentora::spreadsheet::Workbook;

constexpr int kRows = 50'000;

std::string SheetPart(const std::string& sheetData) {
  return "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n<worksheet "
         "xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\"><sheetData>" +
         sheetData + "</sheetData></worksheet>";
}

// A third sheet of plain text, so that the first delete has other parts to look at.
std::string NotesRows() {
  std::string rows;
  for (int row = 1; row <= kRows / 10; ++row) {
    const std::string r = std::to_string(row);
    rows +=
        "<row r=\"" + r + "\"><c r=\"A" + r + "\" t=\"inlineStr\"><is><t>note " + r + "</t></is></c></row>";
  }
  return rows;
}

enum class Formulas { None, OnSummary, ComputedColumn };

std::string WorkbookBytes(Formulas formulas) {
  const bool withFormulas = formulas != Formulas::None;
  std::string records;
  for (int row = 1; row <= kRows; ++row) {
    const std::string r = std::to_string(row);
    records += "<row r=\"" + r + "\">";
    for (char column = 'A'; column <= 'H'; ++column) {
      records += "<c r=\"" + std::string(1, column) + r + "\"><v>" + r + "</v></c>";
    }
    if (formulas == Formulas::ComputedColumn) {
      records += "<c r=\"I" + r + "\" t=\"str\"><f>B" + r + "&amp;\" \"&amp;C" + r + "</f><v>x</v></c>";
    }
    records += "</row>";
  }
  std::string summary = "<row r=\"1\"><c r=\"A1\"><v>1</v></c></row>";
  if (withFormulas) {
    summary =
        "<row r=\"1\"><c r=\"A1\"><f>SUM(Records!B2:B50000)</f><v>0</v></c>"
        "<c r=\"B1\"><f>VLOOKUP(7,Records!$A$2:$H$50000,3,FALSE)</f><v>0</v></c></row>";
  }
  const std::string relationshipType = "http://schemas.openxmlformats.org/officeDocument/2006/relationships/";
  const std::string contentType = "application/vnd.openxmlformats-officedocument.spreadsheetml.";
  std::string types =
      "<Types xmlns=\"http://schemas.openxmlformats.org/package/2006/content-types\">"
      "<Default Extension=\"rels\" ContentType=\"application/vnd.openxmlformats-package.relationships+xml\"/>"
      "<Default Extension=\"xml\" ContentType=\"application/xml\"/>"
      "<Override PartName=\"/xl/workbook.xml\" ContentType=\"" +
      contentType + "sheet.main+xml\"/>";
  std::string sheets, relationships;
  for (int sheet = 1; sheet <= 3; ++sheet) {
    const std::string n = std::to_string(sheet);
    const char* names[] = {"Records", "Summary", "Notes"};
    types += "<Override PartName=\"/xl/worksheets/sheet" + n + ".xml\" ContentType=\"" + contentType +
             "worksheet+xml\"/>";
    sheets +=
        "<sheet name=\"" + std::string(names[sheet - 1]) + "\" sheetId=\"" + n + "\" r:id=\"rId" + n + "\"/>";
    relationships += "<Relationship Id=\"rId" + n + "\" Type=\"" + relationshipType +
                     "worksheet\" Target=\"worksheets/sheet" + n + ".xml\"/>";
  }
  return Package::Build(
      {{"[Content_Types].xml", types + "</Types>"},
       {"_rels/.rels",
        "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
        "<Relationship Id=\"rId1\" Type=\"" +
            relationshipType + "officeDocument\" Target=\"xl/workbook.xml\"/></Relationships>"},
       {"xl/workbook.xml",
        "<workbook xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\" "
        "xmlns:r=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships\"><sheets>" +
            sheets + "</sheets></workbook>"},
       {"xl/_rels/workbook.xml.rels",
        "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">" +
            relationships + "</Relationships>"},
       {"xl/worksheets/sheet1.xml", SheetPart(records)},
       {"xl/worksheets/sheet2.xml", SheetPart(summary)},
       {"xl/worksheets/sheet3.xml", SheetPart(NotesRows())}},
      1);
}

// 100 deletes of row 2 per iteration on a freshly opened workbook. The rewriting is installed and
// the first delete (which looks at every sheet once for formulas) done before the timing starts.
void DeleteRecords(benchmark::State& state, Formulas formulas, bool rewrite) {
  const std::string bytes = WorkbookBytes(formulas);
  for (auto _ : state) {
    state.PauseTiming();
    auto workbook = Workbook::OpenBytes(bytes, "bench.xlsx");
    if (rewrite) zentora::spreadsheet::KeepReferencesOnRowDeletion(*workbook);
    workbook->FirstSheet().DeleteRows(2, 2);
    state.ResumeTiming();
    for (int i = 0; i < 100; ++i) workbook->FirstSheet().DeleteRows(2, 2);
    benchmark::DoNotOptimize(workbook);
  }
  state.SetItemsProcessed(state.iterations() * 100);
}

// The one-time cost: installing the rewriting and the first delete, against a plain first delete.
void FirstDelete(benchmark::State& state, bool rewrite) {
  const std::string bytes = WorkbookBytes(Formulas::None);
  for (auto _ : state) {
    state.PauseTiming();
    auto workbook = Workbook::OpenBytes(bytes, "bench.xlsx");
    state.ResumeTiming();
    if (rewrite) zentora::spreadsheet::KeepReferencesOnRowDeletion(*workbook);
    workbook->FirstSheet().DeleteRows(2, 2);
    benchmark::DoNotOptimize(workbook);
  }
}

void EngineDeleteOnly_NoFormulas(benchmark::State& state) { DeleteRecords(state, Formulas::None, false); }
void WithRewriting_NoFormulas(benchmark::State& state) { DeleteRecords(state, Formulas::None, true); }
void EngineDeleteOnly_SummaryFormulas(benchmark::State& state) {
  DeleteRecords(state, Formulas::OnSummary, false);
}
void WithRewriting_SummaryFormulas(benchmark::State& state) {
  DeleteRecords(state, Formulas::OnSummary, true);
}
void EngineDeleteOnly_ComputedColumn(benchmark::State& state) {
  DeleteRecords(state, Formulas::ComputedColumn, false);
}
void WithRewriting_ComputedColumn(benchmark::State& state) {
  DeleteRecords(state, Formulas::ComputedColumn, true);
}
void EngineFirstDelete_NoFormulas(benchmark::State& state) { FirstDelete(state, false); }
void InstallAndFirstDelete_NoFormulas(benchmark::State& state) { FirstDelete(state, true); }

BENCHMARK(EngineDeleteOnly_NoFormulas)->Unit(benchmark::kMillisecond);
BENCHMARK(WithRewriting_NoFormulas)->Unit(benchmark::kMillisecond);
BENCHMARK(EngineDeleteOnly_SummaryFormulas)->Unit(benchmark::kMillisecond);
BENCHMARK(WithRewriting_SummaryFormulas)->Unit(benchmark::kMillisecond);
BENCHMARK(EngineDeleteOnly_ComputedColumn)->Unit(benchmark::kMillisecond);
BENCHMARK(WithRewriting_ComputedColumn)->Unit(benchmark::kMillisecond);
BENCHMARK(EngineFirstDelete_NoFormulas)->Unit(benchmark::kMillisecond);
BENCHMARK(InstallAndFirstDelete_NoFormulas)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();

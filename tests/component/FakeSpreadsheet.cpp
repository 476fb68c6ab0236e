#include "FakeSpreadsheet.h"

#include <fstream>
#include <sstream>

#include "Error.h"

namespace zentora::excel::testing {
namespace {

std::string Escape(std::string_view text) {
  std::string escaped;
  for (const char c : text) {
    if (c == '\\') {
      escaped += "\\\\";
    } else if (c == '\n') {
      escaped += "\\n";
    } else if (c == '\r') {
      escaped += "\\r";
    } else if (c == '\t') {
      escaped += "\\t";
    } else {
      escaped += c;
    }
  }
  return escaped;
}

std::string Unescape(std::string_view text) {
  std::string plain;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\\' || i + 1 == text.size()) {
      plain += text[i];
      continue;
    }
    const char next = text[++i];
    plain += next == 'n' ? '\n' : next == 'r' ? '\r' : next == 't' ? '\t' : next;
  }
  return plain;
}

std::string Cell(std::int32_t row, std::int32_t column) {
  return std::to_string(row) + "," + std::to_string(column);
}

// Row and column of an A1-style cell address ("F11").
std::pair<std::int32_t, std::int32_t> CellAt(std::string_view address) {
  std::int32_t column = 0;
  std::size_t pos = 0;
  while (pos < address.size() && address[pos] >= 'A' && address[pos] <= 'Z')
    column = column * 26 + (address[pos++] - 'A' + 1);
  return {std::stoi(std::string(address.substr(pos))), column};
}

}  // namespace

void FakeSpreadsheetState::Enter(const std::string& operation, const std::string& arguments) {
  calls.push_back(arguments.empty() ? operation : operation + " " + arguments);
  if (failing.count(operation) != 0)
    throw Error(ErrorCode::Spreadsheet, operation + " failed (injected fault)");
}

void FakeWorksheet::CheckCell(const char* operation, std::int32_t row, std::int32_t column) const {
  if (!open) throw Error(ErrorCode::NotOpen, std::string(operation) + ": the workbook is closed");
  if (row < 1 || column < 1)
    throw Error(ErrorCode::OutOfRange, std::string(operation) + ": no cell " + Cell(row, column));
}

std::string FakeWorksheet::CellText(std::int32_t row, std::int32_t column) {
  ++state_->cellReads;
  if (state_->failing.count("CellText") != 0) state_->Enter("CellText", Cell(row, column));
  CheckCell("CellText", row, column);
  return Peek(row, column);
}

void FakeWorksheet::SetCellText(std::int32_t row, std::int32_t column, std::string_view text) {
  state_->Enter("SetCellText", Cell(row, column) + " " + std::string(text));
  CheckCell("SetCellText", row, column);
  if (text.empty()) {
    cells.erase({row, column});
  } else {
    cells[{row, column}] = std::string(text);
  }
}

void FakeWorksheet::SetNumberFormat(std::int32_t row, std::int32_t column, std::string_view format) {
  if (state_->failing.count("SetNumberFormat") != 0) state_->Enter("SetNumberFormat", Cell(row, column));
  CheckCell("SetNumberFormat", row, column);
  formats[{row, column}] = std::string(format);
}

void FakeWorksheet::ClearContents(std::string_view address) {
  state_->Enter("ClearContents", std::string(address));
  if (!open) throw Error(ErrorCode::NotOpen, "ClearContents: the workbook is closed");
  const auto colon = address.find(':');
  if (colon == std::string_view::npos)
    throw Error(ErrorCode::InvalidArgument, "ClearContents: no range \"" + std::string(address) + "\"");
  const auto [firstRow, firstColumn] = CellAt(address.substr(0, colon));
  const auto [lastRow, lastColumn] = CellAt(address.substr(colon + 1));
  std::erase_if(cells, [&](const auto& cell) {
    const auto [row, column] = cell.first;
    return row >= firstRow && row <= lastRow && column >= firstColumn && column <= lastColumn;
  });
}

void FakeWorksheet::DeleteRows(std::string_view address, std::int32_t shift) {
  state_->Enter("DeleteRows", std::string(address) + " " + std::to_string(shift));
  if (!open) throw Error(ErrorCode::NotOpen, "DeleteRows: the workbook is closed");
  const auto colon = address.find(':');
  const std::int32_t first = std::stoi(std::string(address.substr(0, colon)));
  const std::int32_t last = std::stoi(std::string(address.substr(colon + 1)));
  const std::int32_t removed = last - first + 1;
  for (auto* grid : {&cells, &formats}) {
    std::map<std::pair<std::int32_t, std::int32_t>, std::string> moved;
    for (auto& [cell, text] : *grid) {
      if (cell.first < first) {
        moved.emplace(cell, std::move(text));
      } else if (cell.first > last) {
        moved.emplace(std::pair{cell.first - removed, cell.second}, std::move(text));
      }
    }
    *grid = std::move(moved);
  }
}

std::string FakeWorksheet::Format(std::int32_t row, std::int32_t column) const {
  const auto found = formats.find({row, column});
  return found == formats.end() ? std::string() : found->second;
}

std::string FakeWorksheet::Peek(std::int32_t row, std::int32_t column) const {
  const auto found = cells.find({row, column});
  return found == cells.end() ? std::string() : found->second;
}

FakeWorkbook::FakeWorkbook(std::shared_ptr<FakeSpreadsheetState> state)
    : sheet(std::make_shared<FakeWorksheet>(state)), state_(std::move(state)) {}

std::shared_ptr<ExcelWorksheet> FakeWorkbook::FirstSheet() {
  state_->Enter("FirstSheet");
  return sheet;
}

void FakeWorkbook::SaveAs(const std::string& path, std::int32_t accessMode) {
  state_->Enter("SaveAs", path + " " + std::to_string(accessMode));
  if (!sheet->open) throw Error(ErrorCode::NotOpen, "SaveAs: the workbook is closed");
  std::ofstream file(path, std::ios::trunc);
  if (!file) throw Error(ErrorCode::Spreadsheet, "SaveAs: cannot write \"" + path + "\"");
  for (const auto& [cell, text] : sheet->cells) {
    file << cell.first << '\t' << cell.second << '\t' << Escape(text) << '\n';
  }
}

void FakeWorkbook::Close() {
  state_->Enter("Close");
  sheet->open = false;
}

FakeApplication::FakeApplication(std::shared_ptr<FakeSpreadsheetState> state) : state_(std::move(state)) {
  ++state_->applications;
}

void FakeApplication::SetDisplayAlerts(bool on) { state_->Enter("SetDisplayAlerts", on ? "true" : "false"); }

std::shared_ptr<ExcelWorkbook> FakeApplication::AddWorkbook() {
  state_->Enter("AddWorkbook");
  workbooks.push_back(std::make_shared<FakeWorkbook>(state_));
  return workbooks.back();
}

std::shared_ptr<ExcelWorkbook> FakeApplication::AddWorkbook(const std::string& templatePath) {
  state_->Enter("AddWorkbook", templatePath);
  std::ifstream file(templatePath);
  if (!file) throw Error(ErrorCode::Spreadsheet, "AddWorkbook: cannot read \"" + templatePath + "\"");
  auto workbook = std::make_shared<FakeWorkbook>(state_);
  std::string line;
  while (std::getline(file, line)) {
    std::istringstream fields(line);
    std::int32_t row = 0;
    std::int32_t column = 0;
    fields >> row >> column;
    std::string text = line.substr(line.find('\t', line.find('\t') + 1) + 1);
    workbook->sheet->cells[{row, column}] = Unescape(text);
  }
  workbooks.push_back(workbook);
  return workbook;
}

void FakeApplication::Quit() {
  state_->Enter("Quit");
  for (const auto& workbook : workbooks) workbook->sheet->open = false;
}

std::shared_ptr<ExcelApplication> FakeSpreadsheet::Start() {
  lastApplication = std::make_shared<FakeApplication>(state);
  return lastApplication;
}

FakeWorksheet& FakeSpreadsheet::Sheet() { return *lastApplication->workbooks.back()->sheet; }

}  // namespace zentora::excel::testing

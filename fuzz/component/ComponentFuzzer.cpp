// Drives the component on the project's engine through a sequence of operations decoded from the input:
// open, set a field, new item, delete, clear, set a list field through its text form, save, reopen. After
// every reopen the index must equal the ID column of the saved workbook as the engine reads it, and the
// saved workbook must open in the engine. Errors of the component are expected; anything else is a finding.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>

#include "Error.h"
#include "HostLocationObject.h"
#include "NotificationService.h"
#include "Spreadsheet/package/FileSaving.h"
#include "Spreadsheet/workbook/Workbook.h"
#include "location/Location.h"

namespace {

using namespace zentora;

// The input read front to back; past its end every read gives zeros.
class Input {
 public:
  Input(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
  bool empty() const { return at_ >= size_; }
  std::uint8_t Byte() { return at_ < size_ ? data_[at_++] : 0; }
  std::string Text() {
    std::size_t length = Byte() % 24;
    std::string text;
    while (length-- > 0 && !empty()) text.push_back(static_cast<char>(Byte()));
    return text;
  }

 private:
  const std::uint8_t* data_;
  std::size_t size_;
  std::size_t at_ = 0;
};

// A small workbook: the default headings with one data field more, three items, one row without an ID.
const std::string& StartingWorkbook() {
  static const std::string bytes = [] {
    auto workbook = spreadsheet::Workbook::CreateEmpty();
    spreadsheet::Worksheet& sheet = workbook->FirstSheet();
    const char* rows[][6] = {{"ID", "TYPE", "TEXT", "Vorname", "Nachname", "Ort"},
                             {"K01", "contact", "Anna", "Anna", "Berg", "Köln"},
                             {"", "contact", "Bernd", "Bernd", "", "Bonn"},
                             {"k03", "note", "_x0041_ text", "", "Zoll", ""}};
    for (std::uint32_t row = 0; row < 4; ++row) {
      for (std::uint32_t column = 0; column < 6; ++column)
        sheet.SetCellText(row + 1, column + 1, rows[row][column]);
    }
    return workbook->SaveToBytes();
  }();
  return bytes;
}

const std::string& BookPath() {
  static const std::string path = [] {
    // A memory-backed folder where there is one: every save flushes the file to disk.
    std::filesystem::path base = std::filesystem::exists("/dev/shm") ? "/dev/shm" : "/tmp";
    std::filesystem::path folder = base / ("zentora-component-fuzz-" + std::to_string(getpid()));
    std::filesystem::create_directories(folder);
    return (folder / "book.xlsx").string();
  }();
  return path;
}

// The index must list the saved ID column row by row, and the saved workbook must open in the engine.
void CheckIndexAgainstFile(excel::Location& location) {
  location.Save();
  auto workbook = spreadsheet::Workbook::Open(BookPath());
  spreadsheet::Worksheet& sheet = workbook->FirstSheet();
  auto column = static_cast<std::uint32_t>(location.IDfield);
  for (std::int32_t position = 1; position <= location.Count(); ++position) {
    auto row = static_cast<std::uint32_t>(position + 1);
    if (location.Items.KeyAt(position) != sheet.CellText(row, column) ||
        location.Items.At(position) != std::to_string(row)) {
      __builtin_trap();
    }
  }
}

// Closes (saving) and opens the workbook again: what the component saved must open, and its index must
// match the file.
void Reopen(excel::Location& location) {
  location.Disconnect();
  try {
    location.OpenLocation(BookPath());
    CheckIndexAgainstFile(location);
  } catch (const excel::Error&) {
    __builtin_trap();
  }
}

std::shared_ptr<excel::HostItem> ItemAt(excel::Location& location, Input& input) {
  if (location.Count() == 0) return nullptr;
  return location.Item(1 + input.Byte() % location.Count());
}

void Run(excel::Location& location, Input& input) {
  static const char* const kFields[] = {"text", "type", "Vorname", "Nachname",
                                        "Ort",  "Neu",  "$Type",   "datum"};
  switch (input.Byte() % 9) {
    case 0:
      location.OpenLocation(BookPath());
      break;
    case 1:
      if (auto item = ItemAt(location, input)) {
        const char* field = kFields[input.Byte() % std::size(kFields)];
        std::string value = input.Text();
        if (std::string_view(field) == "text") {
          item->Item_Text(value);
        } else if (std::string_view(field) == "type") {
          item->Item_Typ(value);
        } else {
          item->Item_DataSet(field, value);
        }
      }
      break;
    case 2:
      location.NewItem(true)->Item_Text(input.Text());
      break;
    case 3:
      if (auto item = ItemAt(location, input)) location.DeleteItem(item);
      break;
    case 4:
      location.Clear();
      break;
    case 5:
      if (auto item = ItemAt(location, input)) {
        std::string text = input.Text();
        switch (input.Byte() % 3) {
          case 0:
            item->Item_Keywords(text);
            break;
          case 1:
            item->Item_EvalString(text);
            break;
          default:
            item->Item_LogString(text);
        }
      }
      break;
    case 6:
      location.Save();
      break;
    default:
      Reopen(location);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const bool ready = [] {
    host::ReplaceThreadNotificationService(std::make_shared<host::RecordingNotificationService>());
    return true;
  }();
  (void)ready;
  spreadsheet::ReplaceFile(BookPath(), StartingWorkbook(), false);
  auto location = excel::Location::Create();
  location->LocObject = std::make_shared<host::HostLocationObject>("zentora://fuzz/book");
  location->OpenLocation(BookPath());
  Input input(data, size);
  for (int steps = 0; steps < 32 && !input.empty(); ++steps) {
    try {
      Run(*location, input);
    } catch (const excel::Error&) {
    }
  }
  Reopen(*location);
  location->Disconnect();
  return 0;
}

#include "Cli.h"

#include <chrono>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <sstream>
#include <stdexcept>
#include <string_view>
#include <utility>

#include "Error.h"
#include "HostLocationObject.h"
#include "NotificationService.h"
#include "Output.h"
#include "outside/Files.h"
#include "text/Search.h"

namespace zentora::cli {
namespace {

using excel::HostItem;
using excel::Location;

constexpr char kProgram[] = "zentora-excel";

constexpr char kOverview[] =
    "usage: zentora-excel [--notifications] [--wait SECONDS] COMMAND BOOK ...\n"
    "\n"
    "Keeps the records of a store in an .xlsx workbook: one row per item, headings in row 1.\n"
    "Every command opens BOOK, acts, and closes it again, saving it when it changed.\n"
    "A command that fails leaves BOOK as it was.\n"
    "\n"
    "commands:\n"
    "  list BOOK [--json]          the items: ID, type, text and the data fields\n"
    "  show BOOK ID                every field of one item\n"
    "  get BOOK ID FIELD           one field of one item\n"
    "  set BOOK ID FIELD VALUE     change one field of one item\n"
    "  new BOOK [--type T] [--text X] [--data NAME=VALUE]...\n"
    "                              add an item; prints its new ID\n"
    "  delete BOOK ID              remove one item and its row\n"
    "\n"
    "options:\n"
    "  --notifications             print the change notifications the host received to stderr\n"
    "  --wait SECONDS              wait this long for a workbook another program or process has\n"
    "                              open (default 5); then fail naming who has it\n"
    "  --help                      this text; COMMAND --help explains one command\n";

const std::map<std::string, std::string, std::less<>> kCommandHelp = {
    {"list",
     "usage: zentora-excel list BOOK [--json]\n"
     "\n"
     "Prints the items of BOOK as a table: ID, TYPE, TEXT and one column per data field.\n"
     "With --json, prints an array with one object per item whose keys are the sheet's\n"
     "headings and whose values are the cells' texts exactly.\n"},
    {"show",
     "usage: zentora-excel show BOOK ID\n"
     "\n"
     "Prints every field of the item with identifier ID (any letter case), one per line:\n"
     "the fixed fields, then the data fields, then the item's URL.\n"},
    {"get",
     "usage: zentora-excel get BOOK ID FIELD\n"
     "\n"
     "Prints one field of the item with identifier ID (any letter case).\n"
     "FIELD is a fixed field in any letter case (id, type, text, datum, owner, access, source)\n"
     "or a data field by its heading (any letter case). A fixed name wins over a data heading\n"
     "that spells the same word; write $NAME (\"$Type\") to mean the data field.\n"},
    {"set",
     "usage: zentora-excel set BOOK ID FIELD VALUE\n"
     "\n"
     "Writes VALUE into one field of the item with identifier ID (any letter case); FIELD as\n"
     "for get. A data field without a column gets a new column headed FIELD.\n"},
    {"new",
     "usage: zentora-excel new BOOK [--type T] [--text X] [--data NAME=VALUE]...\n"
     "\n"
     "Adds an item in a new row at the end of BOOK (created with the default headings when\n"
     "it does not exist), writes its generated ID and the given fields, and prints the ID.\n"},
    {"delete",
     "usage: zentora-excel delete BOOK ID\n"
     "\n"
     "Removes the item with identifier ID (any letter case) from BOOK: its row is deleted and\n"
     "the rows below move up; formulas elsewhere in the workbook follow the moved cells.\n"},
};

// Raised for a command line that does not fit the command; exit code 2.
class UsageError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The fixed fields a FIELD argument can name, with the item members that read and write them.
struct FixedField {
  std::string (HostItem::*get)();
  void (HostItem::*set)(const std::string&);
};

const std::map<std::string, FixedField, std::less<>> kFixedFields = {
    {"id", {&HostItem::Item_ID, &HostItem::Item_ID}},
    {"type", {&HostItem::Item_Typ, &HostItem::Item_Typ}},
    {"text", {&HostItem::Item_Text, &HostItem::Item_Text}},
    {"datum", {&HostItem::Item_Datum, &HostItem::Item_Datum}},
    {"owner", {&HostItem::Item_Owner, &HostItem::Item_Owner}},
    {"access", {&HostItem::Item_Access, &HostItem::Item_Access}},
    {"source", {&HostItem::Item_Source, &HostItem::Item_Source}},
};

// The fixed field `name` names, or nullptr for a data field.
const FixedField* FixedFieldNamed(const std::string& name) {
  const auto found = kFixedFields.find(excel::AsciiLower(name));
  return found == kFixedFields.end() ? nullptr : &found->second;
}

// The data field a FIELD argument names: "$" removed when it starts with it.
std::string DataFieldName(const std::string& name) { return name.starts_with('$') ? name.substr(1) : name; }

// One opened store with the host objects a host keeps around it. The workbook stays marked as in
// use from opening to closing; a store that is not closed explicitly (the command failed) closes
// without saving, so the file stays as it was.
class Store {
 public:
  // Opens the store at `path`, waiting up to `inUseWait` (when given) for a workbook that another
  // program or process holds; a failed opening writes nothing back.
  Store(const std::string& path, const Location::ApplicationFactory& startApplication,
        std::optional<std::chrono::milliseconds> inUseWait)
      : service_(std::make_shared<host::RecordingNotificationService>()),
        hostLocation_(std::make_shared<host::HostLocationObject>(
            "file://" + std::filesystem::absolute(path).lexically_normal().string())),
        location_(Location::Create([startApplication, inUseWait] {
          auto application = startApplication();
          if (inUseWait) application->SetInUseWait(*inUseWait);
          return application;
        })) {
    host::ReplaceThreadNotificationService(service_);
    location_->LocObject = hostLocation_;
    try {
      try {
        location_->OpenLocation(path);
      } catch (const excel::Error& error) {
        // Another process created the missing workbook first: drop ours and open what it made.
        if (error.code() != excel::ErrorCode::ChangedOnDisk) throw;
        CloseWithoutSaving();
        open_ = true;
        location_->OpenLocation(path);
      }
    } catch (...) {
      host::ReplaceThreadNotificationService(nullptr);
      throw;
    }
  }
  ~Store() {
    if (open_) CloseWithoutSaving();
    host::ReplaceThreadNotificationService(nullptr);
  }
  Store(const Store&) = delete;
  Store& operator=(const Store&) = delete;

  // Closes as a host does: Disconnect saves what loading wrote (identifiers, the text format), which
  // for a workbook already in that form writes nothing; a failing save there is not reported.
  void Close() {
    open_ = false;
    location_->Disconnect();
  }
  // Saves once, failing the command when the change did not reach the file, then closes.
  void SaveAndClose() {
    location_->Save();
    CloseWithoutSaving();
  }

  Location& location() { return *location_; }
  const host::RecordingNotificationService& notifications() const { return *service_; }

  // The item with identifier `id`; throws naming the identifier and the book when there is none.
  std::shared_ptr<HostItem> ItemWithID(const std::string& id, const std::string& book) {
    auto item = location_->GetItem(id);
    if (!item) throw std::runtime_error("no item with ID \"" + id + "\" in " + book);
    return item;
  }

 private:
  // Closes the workbook first, so that Disconnect finds nothing to save.
  void CloseWithoutSaving() {
    open_ = false;
    if (location_->excelbook) {
      try {
        location_->excelbook->Close();
      } catch (const excel::Error&) {
        // Released below either way; nothing was written.
      }
      location_->excelbook.reset();
    }
    location_->Disconnect();
  }

  std::shared_ptr<host::RecordingNotificationService> service_;
  std::shared_ptr<host::HostLocationObject> hostLocation_;
  std::shared_ptr<Location> location_;
  bool open_ = true;
};

struct Invocation {
  std::string command;
  std::vector<std::string> operands;
  std::vector<std::pair<std::string, std::string>> options;
  bool json = false;
  bool help = false;
  std::optional<std::chrono::milliseconds> inUseWait;
};

void RequireOperands(const Invocation& call, std::size_t count, const char* names) {
  if (call.operands.size() != count) {
    throw UsageError(call.command + " needs " + names + "; see " + kProgram + " " + call.command + " --help");
  }
}

void RequireExistingBook(const std::string& book) {
  if (!excel::FileExists(book)) throw std::runtime_error("no workbook at \"" + book + "\"");
}

void ListItems(const Invocation& call, std::ostream& out, Store& store) {
  Location& location = store.location();
  if (call.json) {
    excel::ExcelWorksheet& sheet = location.ItemSheet();
    std::vector<std::string> headings;
    for (std::int32_t column = 1; column <= location.ColumnCount(); ++column) {
      headings.push_back(sheet.CellText(1, column));
    }
    out << "[";
    for (std::int32_t position = 1; position <= location.Count(); ++position) {
      out << (position == 1 ? "\n  {" : ",\n  {");
      for (std::int32_t column = 1; column <= location.ColumnCount(); ++column) {
        out << (column == 1 ? "" : ", ") << JsonString(headings[static_cast<std::size_t>(column - 1)]) << ": "
            << JsonString(sheet.CellText(position + 1, column));
      }
      out << "}";
    }
    out << (location.Count() == 0 ? "]\n" : "\n]\n");
    return;
  }
  std::vector<std::vector<std::string>> rows(1, {"ID", "TYPE", "TEXT"});
  for (std::int32_t index = 1; index <= location.DataList.Count(); ++index) {
    rows[0].push_back(TableCell(location.DataList.At(index)));
  }
  for (std::int32_t position = 1; position <= location.Count(); ++position) {
    const auto item = location.Item(position);
    std::vector<std::string> row = {TableCell(item->Item_ID()), TableCell(item->Item_Typ()),
                                    TableCell(item->Item_Text())};
    for (std::int32_t index = 1; index <= location.DataList.Count(); ++index) {
      row.push_back(TableCell(item->Item_DataText(location.DataList.At(index))));
    }
    rows.push_back(std::move(row));
  }
  WriteTable(out, rows);
}

void ShowItem(const Invocation& call, std::ostream& out, Store& store) {
  const auto item = store.ItemWithID(call.operands[1], call.operands[0]);
  std::vector<std::vector<std::string>> rows = {
      {"id:", TableCell(item->Item_ID())},         {"type:", TableCell(item->Item_Typ())},
      {"text:", TableCell(item->Item_Text())},     {"datum:", TableCell(item->Item_Datum())},
      {"owner:", TableCell(item->Item_Owner())},   {"access:", TableCell(item->Item_Access())},
      {"source:", TableCell(item->Item_Source())},
  };
  for (std::int32_t index = 1; index <= item->Item_DataCount(); ++index) {
    const std::string name = item->Item_DataKey(index);
    rows.push_back({TableCell(name) + ":", TableCell(item->Item_DataText(name))});
  }
  rows.push_back({"url:", TableCell(item->Item_Url())});
  for (const auto& row : rows) out << row[0] << ' ' << row[1] << '\n';
}

void GetField(const Invocation& call, std::ostream& out, Store& store) {
  const auto item = store.ItemWithID(call.operands[1], call.operands[0]);
  const std::string& field = call.operands[2];
  if (const FixedField* fixed = FixedFieldNamed(field)) {
    out << ((*item).*(fixed->get))() << '\n';
    return;
  }
  const std::string name = DataFieldName(field);
  if (store.location().GetField("$" + name) == 0) {
    throw std::runtime_error("no field \"" + field + "\" in " + call.operands[0]);
  }
  out << item->Item_DataText(name) << '\n';
}

void SetField(const Invocation& call, Store& store) {
  const auto item = store.ItemWithID(call.operands[1], call.operands[0]);
  const std::string& field = call.operands[2];
  const std::string& value = call.operands[3];
  if (const FixedField* fixed = FixedFieldNamed(field)) {
    ((*item).*(fixed->set))(value);
    return;
  }
  item->Item_DataSet(DataFieldName(field), value);
}

void NewItem(const Invocation& call, std::ostream& out, Store& store) {
  Location& location = store.location();
  const auto item = location.NewItem(true);
  // The new identifier lives in the index only; writing it into the row keeps it when the
  // workbook is next opened.
  const std::string id = location.Items.KeyAt(location.Items.Count());
  location.WriteSheet(location.RowOfID(id), "id", id);
  for (const auto& [option, value] : call.options) {
    if (option == "--type") {
      item->Item_Typ(value);
    } else if (option == "--text") {
      item->Item_Text(value);
    } else {
      const auto equals = value.find('=');
      item->Item_DataSet(value.substr(0, equals), value.substr(equals + 1));
    }
  }
  out << id << '\n';
}

void DeleteItem(const Invocation& call, Store& store) {
  auto item = store.ItemWithID(call.operands[1], call.operands[0]);
  store.location().DeleteItem(item);
}

Invocation Parse(const std::vector<std::string>& args, bool& notifications) {
  Invocation call;
  for (std::size_t index = 0; index < args.size(); ++index) {
    const std::string& arg = args[index];
    if (arg == "--help" || arg == "-h") {
      call.help = true;
    } else if (arg == "--notifications" && call.command.empty()) {
      notifications = true;
    } else if (arg == "--wait") {
      double seconds = -1;
      std::size_t used = 0;
      try {
        if (index + 1 < args.size()) seconds = std::stod(args[index + 1], &used);
      } catch (const std::logic_error&) {
        seconds = -1;
      }
      if (index + 1 == args.size() || used != args[index + 1].size() || !(seconds >= 0 && seconds <= 86400)) {
        throw UsageError("--wait needs a number of seconds from 0 to 86400");
      }
      ++index;
      call.inUseWait = std::chrono::milliseconds(static_cast<std::int64_t>(seconds * 1000));
    } else if (call.command.empty()) {
      if (arg.starts_with("-")) throw UsageError("unknown option " + arg + "; see " + kProgram + " --help");
      if (kCommandHelp.find(arg) == kCommandHelp.end()) {
        throw UsageError("unknown command \"" + arg + "\"; see " + kProgram + " --help");
      }
      call.command = arg;
    } else if (arg == "--json" && call.command == "list") {
      call.json = true;
    } else if (call.command == "new" && (arg == "--type" || arg == "--text" || arg == "--data")) {
      if (index + 1 == args.size()) throw UsageError(arg + " needs a value");
      const std::string& value = args[++index];
      if (arg == "--data" && (value.find('=') == std::string::npos || value.front() == '=')) {
        throw UsageError("--data needs NAME=VALUE, not \"" + value + "\"");
      }
      call.options.emplace_back(arg, value);
    } else if (arg.starts_with("--")) {
      throw UsageError("unknown option " + arg + " for " + call.command + "; see " + kProgram + " " +
                       call.command + " --help");
    } else {
      call.operands.push_back(arg);
    }
  }
  return call;
}

}  // namespace

int Run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
        const Location::ApplicationFactory& startApplication) {
  const std::string prefix = std::string(kProgram) + ": ";
  try {
    bool notifications = false;
    const Invocation call = Parse(args, notifications);
    if (call.command.empty()) {
      if (!call.help) throw UsageError("missing command; see " + std::string(kProgram) + " --help");
      out << kOverview;
      return 0;
    }
    if (call.help) {
      out << kCommandHelp.find(call.command)->second;
      return 0;
    }
    if (call.command == "list") RequireOperands(call, 1, "BOOK");
    if (call.command == "show") RequireOperands(call, 2, "BOOK and ID");
    if (call.command == "get") RequireOperands(call, 3, "BOOK, ID and FIELD");
    if (call.command == "set") RequireOperands(call, 4, "BOOK, ID, FIELD and VALUE");
    if (call.command == "new") RequireOperands(call, 1, "BOOK");
    if (call.command == "delete") RequireOperands(call, 2, "BOOK and ID");
    if (call.command != "new") RequireExistingBook(call.operands[0]);

    // Results are printed once the store closed well: `new` prints no ID whose row was not saved.
    std::ostringstream result;
    Store store(call.operands[0], startApplication, call.inUseWait);
    if (call.command == "list") ListItems(call, result, store);
    if (call.command == "show") ShowItem(call, result, store);
    if (call.command == "get") GetField(call, result, store);
    if (call.command == "set") SetField(call, store);
    if (call.command == "new") NewItem(call, result, store);
    if (call.command == "delete") DeleteItem(call, store);
    // A change that did not reach the file fails the command; Disconnect would drop the failure.
    if (call.command == "set" || call.command == "new" || call.command == "delete") {
      store.SaveAndClose();
    } else {
      store.Close();
    }
    out << result.str();
    if (notifications) {
      for (const auto& notification : store.notifications().Notifications()) {
        err << "notification " << notification.code << ' ' << JsonString(notification.text) << '\n';
      }
    }
    return 0;
  } catch (const UsageError& error) {
    err << prefix << error.what() << '\n';
    return 2;
  } catch (const excel::Error& error) {
    err << prefix << error.what() << " (error " << static_cast<int>(error.code()) << ")\n";
    return 1;
  } catch (const std::exception& error) {
    err << prefix << error.what() << '\n';
    return 1;
  }
}

}  // namespace zentora::cli

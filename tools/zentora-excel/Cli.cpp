#include "Cli.h"

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <iostream>
#include <map>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string_view>
#include <utility>

#include "ConditionFilter.h"
#include "Error.h"
#include "HostLocationObject.h"
#include "NotificationService.h"
#include "Output.h"
#include "Transfer.h"
#include "outside/Files.h"
#include "text/Search.h"

namespace zentora::cli {
namespace {

using excel::HostItem;
using excel::Location;

constexpr char kProgram[] = "zentora-excel";

constexpr char kOverview[] =
    "usage: zentora-excel [--notifications] COMMAND BOOK ...\n"
    "\n"
    "Keeps the records of a store in an .xlsx workbook: one row per item, headings in row 1.\n"
    "Every command opens BOOK, acts, and closes it again, saving it.\n"
    "\n"
    "commands:\n"
    "  list BOOK [--json] [--where EXPR]\n"
    "                              the items: ID, type, text and the data fields\n"
    "  show BOOK ID                every field of one item\n"
    "  get BOOK ID FIELD           one field of one item\n"
    "  set BOOK ID FIELD VALUE     change one field of one item\n"
    "  new BOOK [--type T] [--text X] [--data NAME=VALUE]...\n"
    "                              add an item; prints its new ID\n"
    "  delete BOOK ID              remove one item and its row\n"
    "  export BOOK [ID]...         the items' text forms, one per line\n"
    "  import BOOK [FILE]          paste text forms, one per line, from FILE or standard input\n"
    "  copy SOURCE TARGET [ID]...  paste the items of SOURCE into TARGET\n"
    "\n"
    "options:\n"
    "  --notifications             print the change notifications the host received to stderr\n"
    "  --help                      this text; COMMAND --help explains one command\n";

const std::map<std::string, std::string, std::less<>> kCommandHelp = {
    {"list",
     "usage: zentora-excel list BOOK [--json] [--where EXPR]\n"
     "\n"
     "Prints the items of BOOK as a table: ID, TYPE, TEXT and one column per data field.\n"
     "With --json, prints an array with one object per item whose keys are the sheet's\n"
     "headings and whose values are the cells' texts exactly.\n"
     "With --where, only the items that meet EXPR: conditions field=value, field<>value or\n"
     "field~text (contains, any letter case) joined by & (and) and ; (or); fixed fields by\n"
     "name (type, text, owner, ...), data fields as $NAME: --where '$Ort=Köln;text~müller'.\n"},
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
    {"export",
     "usage: zentora-excel export BOOK [ID]...\n"
     "\n"
     "Prints the text form of each item of BOOK (or of the items with the given IDs, in that\n"
     "order), one per line: ID=...|Type=...|Text=... with the fields the item carries.\n"},
    {"import",
     "usage: zentora-excel import BOOK [FILE]\n"
     "\n"
     "Pastes text forms, one per line, from FILE or standard input into BOOK (created with the\n"
     "default headings when it does not exist): a line whose ID is in BOOK replaces that item's\n"
     "row, any other line adds a row. Empty fields get the defaults of a pasted item (a new ID,\n"
     "owner, creation stamp). Prints \"N added, M updated\".\n"},
    {"copy",
     "usage: zentora-excel copy SOURCE TARGET [ID]...\n"
     "\n"
     "Pastes the items of SOURCE (or those with the given IDs) into TARGET as import does, and\n"
     "prints \"N added, M updated\".\n"},
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

// One opened store with the host objects a host keeps around it; closing saves.
class Store {
 public:
  // Opens the store at `path`; a failed opening writes nothing back.
  Store(const std::string& path, const Location::ApplicationFactory& startApplication)
      : service_(std::make_shared<host::RecordingNotificationService>()),
        hostLocation_(std::make_shared<host::HostLocationObject>(
            "file://" + std::filesystem::absolute(path).lexically_normal().string())),
        location_(Location::Create(startApplication)) {
    host::ReplaceThreadNotificationService(service_);
    location_->LocObject = hostLocation_;
    try {
      location_->OpenLocation(path);
    } catch (...) {
      host::ReplaceThreadNotificationService(nullptr);
      throw;
    }
  }
  // Closes the store as a host does: Disconnect saves the workbook.
  ~Store() {
    location_->Disconnect();
    host::ReplaceThreadNotificationService(nullptr);
  }
  Store(const Store&) = delete;
  Store& operator=(const Store&) = delete;

  Location& location() { return *location_; }
  const host::RecordingNotificationService& notifications() const { return *service_; }

  // The item with identifier `id`; throws naming the identifier and the book when there is none.
  std::shared_ptr<HostItem> ItemWithID(const std::string& id, const std::string& book) {
    auto item = location_->GetItem(id);
    if (!item) throw std::runtime_error("no item with ID \"" + id + "\" in " + book);
    return item;
  }

 private:
  std::shared_ptr<host::RecordingNotificationService> service_;
  std::shared_ptr<host::HostLocationObject> hostLocation_;
  std::shared_ptr<Location> location_;
};

struct Invocation {
  std::string command;
  std::vector<std::string> operands;
  std::vector<std::pair<std::string, std::string>> options;
  bool json = false;
  bool help = false;
  std::optional<std::string> where;
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
  std::vector<std::int32_t> positions;
  if (call.where) {
    positions = MatchingPositions(location, *call.where);
  } else {
    for (std::int32_t position = 1; position <= location.Count(); ++position) positions.push_back(position);
  }
  if (call.json) {
    excel::ExcelWorksheet& sheet = location.ItemSheet();
    std::vector<std::string> headings;
    for (std::int32_t column = 1; column <= location.ColumnCount(); ++column) {
      headings.push_back(sheet.CellText(1, column));
    }
    out << "[";
    for (const std::int32_t position : positions) {
      out << (position == positions.front() ? "\n  {" : ",\n  {");
      for (std::int32_t column = 1; column <= location.ColumnCount(); ++column) {
        out << (column == 1 ? "" : ", ") << JsonString(headings[static_cast<std::size_t>(column - 1)]) << ": "
            << JsonString(sheet.CellText(position + 1, column));
      }
      out << "}";
    }
    out << (positions.empty() ? "]\n" : "\n]\n");
    return;
  }
  std::vector<std::vector<std::string>> rows(1, {"ID", "TYPE", "TEXT"});
  for (std::int32_t index = 1; index <= location.DataList.Count(); ++index) {
    rows[0].push_back(TableCell(location.DataList.At(index)));
  }
  for (const std::int32_t position : positions) {
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

// import BOOK [FILE]: pastes the lines of FILE or standard input, then saves.
int ImportInto(const Invocation& call, std::ostream& out, std::ostream& err,
               const Location::ApplicationFactory& startApplication) {
  std::ifstream file;
  if (call.operands.size() == 2) {
    file.open(call.operands[1], std::ios::binary);
    if (!file) throw std::runtime_error("cannot read \"" + call.operands[1] + "\"");
  }
  Store store(call.operands[0], startApplication);
  std::istream& in = call.operands.size() == 2 ? static_cast<std::istream&>(file) : std::cin;
  const PasteCount count = ImportItems(store.location(), in, isatty(STDERR_FILENO) ? &err : nullptr);
  store.location().Save();
  out << Summary(count) << '\n';
  return 0;
}

// copy SOURCE TARGET [ID]...: pastes the source's items into the target, then saves the target.
int CopyBetween(const Invocation& call, std::ostream& out,
                const Location::ApplicationFactory& startApplication) {
  const std::string& target = call.operands[1];
  if (excel::FileExists(target) && std::filesystem::equivalent(call.operands[0], target)) {
    throw std::runtime_error("copy needs two different workbooks, not \"" + target + "\" twice");
  }
  Store source(call.operands[0], startApplication);
  Store destination(target, startApplication);
  const PasteCount count = CopyItems(source.location(), destination.location(),
                                     {call.operands.begin() + 2, call.operands.end()}, call.operands[0]);
  destination.location().Save();
  out << Summary(count) << '\n';
  return 0;
}

Invocation Parse(const std::vector<std::string>& args, bool& notifications) {
  Invocation call;
  for (std::size_t index = 0; index < args.size(); ++index) {
    const std::string& arg = args[index];
    if (arg == "--help" || arg == "-h") {
      call.help = true;
    } else if (arg == "--notifications" && call.command.empty()) {
      notifications = true;
    } else if (call.command.empty()) {
      if (arg.starts_with("-")) throw UsageError("unknown option " + arg + "; see " + kProgram + " --help");
      if (kCommandHelp.find(arg) == kCommandHelp.end()) {
        throw UsageError("unknown command \"" + arg + "\"; see " + kProgram + " --help");
      }
      call.command = arg;
    } else if (arg == "--json" && call.command == "list") {
      call.json = true;
    } else if (arg == "--where" && call.command == "list") {
      if (index + 1 == args.size()) throw UsageError("--where needs an expression");
      call.where = args[++index];
      try {
        host::ConditionFilter checked(*call.where);
      } catch (const host::FilterSyntaxError& error) {
        throw UsageError(error.what());
      }
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
    if (call.command == "export" && call.operands.empty()) RequireOperands(call, 1, "BOOK");
    if (call.command == "import" && call.operands.size() != 2) RequireOperands(call, 1, "BOOK");
    if (call.command == "copy" && call.operands.size() < 2) RequireOperands(call, 2, "SOURCE and TARGET");
    if (call.command != "new" && call.command != "import") RequireExistingBook(call.operands[0]);
    if (call.command == "import") return ImportInto(call, out, err, startApplication);
    if (call.command == "copy") return CopyBetween(call, out, startApplication);

    Store store(call.operands[0], startApplication);
    if (call.command == "list") ListItems(call, out, store);
    if (call.command == "show") ShowItem(call, out, store);
    if (call.command == "get") GetField(call, out, store);
    if (call.command == "set") SetField(call, store);
    if (call.command == "new") NewItem(call, out, store);
    if (call.command == "delete") DeleteItem(call, store);
    if (call.command == "export") {
      ExportItems(store.location(), {call.operands.begin() + 1, call.operands.end()}, call.operands[0], out);
    }
    // Disconnect saves too but drops a failed save silently; a change that did not reach the
    // file must fail the command.
    if (call.command == "set" || call.command == "new" || call.command == "delete") store.location().Save();
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

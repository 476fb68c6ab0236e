#include "Cli.h"

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iostream>
#include <limits>
#include <map>
#include <memory>
#include <optional>
#include <sstream>
#include <stdexcept>
#include <string_view>
#include <utility>

#include "Commands.h"
#include "ConditionFilter.h"
#include "FieldNames.h"
#include "LoadingWatch.h"
#include "NotificationService.h"
#include "Output.h"
#include "Store.h"
#include "Transfer.h"
#include "Version.h"
#include "outside/Files.h"
#include "text/Search.h"
#include "text/Tokens.h"

namespace zentora::cli {
namespace {

using excel::HostItem;
using excel::Location;
using host::Store;

constexpr char kOverview[] =
    "usage: zentora-excel [--notifications] [--dry-run] [--wait SECONDS] COMMAND BOOK ...\n"
    "\n"
    "Keeps the records of a store in an .xlsx workbook: one row per item, headings in row 1.\n"
    "Every command opens BOOK, acts, and closes it again, saving it when it changed.\n"
    "A command that fails leaves BOOK as it was.\n"
    "\n"
    "commands:\n"
    "  list BOOK [--json] [--wide] [--columns A,B,...] [--where EXPR]\n"
    "                              the items: ID, type, text and the data fields\n"
    "  show BOOK ID                every field of one item\n"
    "  get BOOK ID FIELD           one field of one item\n"
    "  set BOOK ID FIELD VALUE [--add-field]\n"
    "                              change one field of one item\n"
    "  new BOOK [--type T] [--text X] [--data NAME=VALUE]...\n"
    "                              add an item; prints its new ID\n"
    "  delete BOOK ID              remove one item and its row\n"
    "  export BOOK [ID]...         the items' text forms, one per line\n"
    "  import BOOK [FILE]          paste text forms, one per line, from FILE or standard input\n"
    "  copy SOURCE TARGET [ID]...  paste the items of SOURCE into TARGET\n"
    "  keywords BOOK ID [add WORD... | remove WORD... | set LIST] [--json]\n"
    "                              the item's keywords, or change them\n"
    "  log BOOK ID [--raw] [--json]  when the item was created, changed and viewed\n"
    "  view BOOK ID                record that the item was viewed\n"
    "  rating BOOK ID [--json]     the item's overall rating\n"
    "  text BOOK ID [--set FORM] [--json]\n"
    "                              the item's one-line text form, or set the item from one\n"
    "\n"
    "options:\n"
    "  --notifications             print the change notifications the host received to stderr\n"
    "  --dry-run                   do everything but write BOOK; say what opening it changes\n"
    "  --wait SECONDS              wait this long for a workbook another program or process has\n"
    "                              open (default 5); then fail naming who has it\n"
    "  --version                   the program's version and its libraries' versions\n"
    "  --help                      this text; COMMAND --help explains one command\n"
    "\n"
    "FIELD is a fixed field in any letter case (id, type, text, datum, keywords, log, owner,\n"
    "access, evalcount, filesize, eval, evalall, source) or a data field by its heading;\n"
    "$NAME means the data field NAME even when NAME spells a fixed field.\n"
    "\n"
    "How a workbook is read:\n"
    "  - The first sheet in tab order holds the items; other sheets are left alone.\n"
    "  - Row 1 holds the headings. Fixed fields are recognised by their exact headings\n"
    "    (ID, TYPE or TYP, TEXT or TXT, DATUM or DATE, KEYWORDS, LOG, OWNER, ACCESS,\n"
    "    EVALCOUNT, FILESIZE, EVAL, EVALALL, SOURCE); any other heading is a data field.\n"
    "    The first empty heading cell ends the headings; two headings that differ only in\n"
    "    letter case are an error.\n"
    "  - The column headed \"ID\" holds the item IDs; a sheet without one gets an \"ID\"\n"
    "    column after its last heading, and a row without an ID gets a new one.\n"
    "  - The items are the rows from row 2 down to the first row whose ID cell and first\n"
    "    ten cells are empty; rows below it are not read.\n"
    "  - Opening a workbook gives every item cell the text format, so a date or number\n"
    "    typed afterwards stays text, and a cell that held a date shows its serial number.\n"
    "  The first opening says on stderr what it changes; --dry-run shows it without writing.\n"
    "\n"
    "exit codes: 0 done, 1 the command failed, 2 the command line does not fit,\n"
    "3 no item with that ID or no column for that field in BOOK.\n";

// One command: its help text, the operands it takes and the options it accepts.
struct Command {
  std::string help;
  std::size_t minOperands;
  std::size_t maxOperands;
  const char* operandNames;
  // The accepted options, each followed by a space; "=" after a name marks an option with a value.
  const char* options;
};

const std::map<std::string, Command, std::less<>> kCommands = {
    {"list",
     {"usage: zentora-excel list BOOK [--json] [--wide] [--columns A,B,...] [--where EXPR]\n"
      "\n"
      "Prints the items of BOOK as a table: ID, TYPE, TEXT and one column per data field,\n"
      "fitted to the terminal's width (100 characters when the output is no terminal) by\n"
      "cutting long cells with \"…\"; --wide prints every cell in full. --columns picks the\n"
      "fields to print, named as FIELD for get. With --json, prints an array with one object\n"
      "per item whose keys are the sheet's headings (or the --columns names) and whose values\n"
      "are the cells' texts exactly. --where prints only the items that meet EXPR: conditions\n"
      "field=value, field<>value or field~text (contains, any letter case) joined by & (and)\n"
      "and ; (or), fixed fields by name, data fields as $NAME: --where '$Ort=Köln;text~müller'.\n",
      1, 1, "BOOK", "--json --wide --columns= --where= "}},
    {"export",
     {"usage: zentora-excel export BOOK [ID]...\n"
      "\n"
      "Prints the text form of each item of BOOK (or of the items with the given IDs, in that\n"
      "order), one per line: ID=...|Type=...|Text=... with the fields the item carries.\n",
      1, SIZE_MAX, "BOOK", ""}},
    {"import",
     {"usage: zentora-excel import BOOK [FILE]\n"
      "\n"
      "Pastes text forms, one per line, from FILE or standard input into BOOK (created with the\n"
      "default headings when it does not exist): a line whose ID is in BOOK replaces that item's\n"
      "row, any other line adds a row. Empty fields get the defaults of a pasted item (a new ID,\n"
      "owner, creation stamp). Prints \"N added, M updated\".\n",
      1, 2, "BOOK", ""}},
    {"copy",
     {"usage: zentora-excel copy SOURCE TARGET [ID]...\n"
      "\n"
      "Pastes the items of SOURCE (or those with the given IDs) into TARGET as import does, and\n"
      "prints \"N added, M updated\".\n",
      2, SIZE_MAX, "SOURCE and TARGET", ""}},
    {"show",
     {"usage: zentora-excel show BOOK ID\n"
      "\n"
      "Prints every field of the item with identifier ID (any letter case), one per line and\n"
      "in full: the fixed fields, then the data fields, then the item's URL.\n",
      2, 2, "BOOK and ID", ""}},
    {"get",
     {"usage: zentora-excel get BOOK ID FIELD\n"
      "\n"
      "Prints one field of the item with identifier ID (any letter case), in full.\n"
      "FIELD is a fixed field in any letter case (id, type, text, datum, keywords, log, owner,\n"
      "access, evalcount, filesize, eval, evalall, source), read through the item as a host\n"
      "reads it, or a data field by its heading (any letter case). A fixed name wins over a\n"
      "data heading that spells the same word; write $NAME (\"$Type\") to mean the data field.\n"
      "A data field without a column is an error that names the closest headings.\n",
      3, 3, "BOOK, ID and FIELD", ""}},
    {"set",
     {"usage: zentora-excel set BOOK ID FIELD VALUE [--add-field]\n"
      "\n"
      "Writes VALUE into one field of the item with identifier ID (any letter case); FIELD as\n"
      "for get. Fixed fields are written through the item, so the host is told and the log\n"
      "counts the change; keywords takes a list (\"a, b / c\"); evalcount, filesize, eval and\n"
      "evalall are only reported by the item and cannot be set. A data field without a column\n"
      "is an error that names the closest headings, unless --add-field appends a column\n"
      "headed FIELD.\n",
      4, 4, "BOOK, ID, FIELD and VALUE", "--add-field "}},
    {"new",
     {"usage: zentora-excel new BOOK [--type T] [--text X] [--data NAME=VALUE]...\n"
      "\n"
      "Adds an item in a new row at the end of BOOK (created with the default headings when\n"
      "it does not exist; its name must end in .xlsx or .xlsm), writes its generated ID and\n"
      "the given fields, and prints the ID.\n",
      1, 1, "BOOK", "--type= --text= --data= "}},
    {"delete",
     {"usage: zentora-excel delete BOOK ID\n"
      "\n"
      "Removes the item with identifier ID (any letter case) from BOOK: its row is deleted and\n"
      "the rows below move up; formulas elsewhere in the workbook follow the moved cells.\n",
      2, 2, "BOOK and ID", ""}},
    {"keywords",
     {"usage: zentora-excel keywords BOOK ID [add WORD... | remove WORD... | set LIST] [--json]\n"
      "\n"
      "Prints the item's keyword list as stored (\"a,b,c\"; with --json an array of the entries).\n"
      "add appends each WORD (blanks around it trimmed) unless the item has it; remove takes\n"
      "every entry equal to WORD away (letter case counts); set makes the list equal to LIST,\n"
      "whose entries are separated by \",\" or \"/\" (\"a, b / c\"). Each change is told to the\n"
      "host and counted in the item's log.\n",
      2, SIZE_MAX, "BOOK and ID", "--json "}},
    {"log",
     {"usage: zentora-excel log BOOK ID [--raw] [--json]\n"
      "\n"
      "Prints when the item was created, last changed and last viewed (local date and time)\n"
      "and how often it was changed and viewed. Changes are counted only once the log holds\n"
      "a creation date. --raw prints the log text as stored (\"created,changed*count,\n"
      "viewed*count\").\n",
      2, 2, "BOOK and ID", "--raw --json "}},
    {"view",
     {"usage: zentora-excel view BOOK ID\n"
      "\n"
      "Records a view of the item now: its log's view date and view count.\n",
      2, 2, "BOOK and ID", ""}},
    {"rating",
     {"usage: zentora-excel rating BOOK ID [--json]\n"
      "\n"
      "Prints the item's overall rating, the whole number the EVALALL cell holds (decimal comma\n"
      "or point, \"%\" ignored, rounded halves to even; \"none\" when it rounds to 0 or is empty),\n"
      "and the cell's text.\n",
      2, 2, "BOOK and ID", "--json "}},
    {"text",
     {"usage: zentora-excel text BOOK ID [--set FORM] [--json]\n"
      "\n"
      "Prints the item's one-line text form (\"ID=...|Type=...|Text=...|Date=...|Data<name>=...\"),\n"
      "the form in which items travel between stores. --set FORM empties the item's row and\n"
      "fills it from FORM (its ID included), as pasting an item from another store does.\n",
      2, 2, "BOOK and ID", "--set= --json "}},
};

// The option `arg` as `command` accepts it: 0 when not, 1 for a flag, 2 for an option with a value.
int AcceptedOption(const Command& command, const std::string& arg) {
  const std::string options = std::string(" ") + command.options;
  if (options.find(" " + arg + " ") != std::string::npos) return 1;
  return options.find(" " + arg + "= ") != std::string::npos ? 2 : 0;
}

// The item with identifier `id`; throws NotFound naming the identifier and the book when there is none.
std::shared_ptr<HostItem> ItemWithID(Store& store, const std::string& id, const std::string& book) {
  auto item = store.location().GetItem(id);
  if (!item) throw NotFound("no item with ID \"" + id + "\" in " + book);
  return item;
}

void RequireOperands(const Invocation& call, const Command& command) {
  const std::string help = std::string("; see ") + kProgram + " " + call.command + " --help";
  if (call.operands.size() < command.minOperands) {
    throw UsageError(call.command + " needs " + command.operandNames + help);
  }
  if (call.operands.size() > command.maxOperands) {
    throw UsageError("too many arguments for " + call.command + ": it takes " + command.operandNames +
                     ", not also \"" + call.operands[command.maxOperands] + "\"" + help);
  }
}

// Refuses a BOOK that is a folder, and one that is missing unless the command creates it.
void RequireBook(const std::string& book, bool created) {
  if (std::filesystem::is_directory(book)) throw std::runtime_error(book + " is a folder, not a workbook");
  if (!created && !excel::FileExists(book)) throw std::runtime_error("no workbook at \"" + book + "\"");
}

// Throws NotFound naming the closest headings, then `advice`, when the field has no column.
void RequireColumn(Location& location, const std::string& book, const std::string& field,
                   const std::string& advice) {
  if (ColumnOfField(location, field) == 0) throw NotFound(NoColumnMessage(location, book, field) + advice);
}

// The positions of the items `list` prints: those --where picks, or all.
std::vector<std::int32_t> ListedPositions(const Invocation& call, Location& location) {
  if (const auto where = call.Value("--where")) return MatchingPositions(location, *where);
  std::vector<std::int32_t> positions;
  for (std::int32_t position = 1; position <= location.Count(); ++position) positions.push_back(position);
  return positions;
}

// The table `list` prints, headings first: the fields named by --columns, or ID, TYPE, TEXT and the
// data fields; one row per item of `positions`. Fields kept as cell texts are read from their column
// when the table is written, so that neither the table nor an item per row is held; the fixed fields
// an item computes are read through each item once, here.
TableRows FieldTable(const Invocation& call, Location& location, const std::vector<std::int32_t>& positions) {
  // (heading printed, field) pairs.
  std::vector<std::pair<std::string, std::string>> columns = {
      {"ID", "id"}, {"TYPE", "type"}, {"TEXT", "text"}};
  if (const auto picked = call.Value("--columns")) {
    columns.clear();
    std::string rest = *picked;
    while (!rest.empty()) {
      const std::string field = excel::NextTrimmedToken(rest, ",");
      if (field.empty()) throw UsageError("--columns needs field names separated by \",\"");
      if (FixedFieldNamed(field) == nullptr) RequireColumn(location, call.operands[0], field, "");
      columns.emplace_back(field, field);
    }
  } else {
    for (std::int32_t index = 1; index <= location.DataList.Count(); ++index) {
      columns.emplace_back(location.DataList.At(index), "$" + location.DataList.At(index));
    }
  }
  struct Column {
    std::string heading;
    const FixedField* computed;  // a fixed field the item computes, else nullptr
    std::size_t slot = 0;        // its place among a row's computed values
    std::int32_t sheetColumn;    // else the field's column, 0 when it has none
  };
  auto table = std::make_shared<std::vector<Column>>();
  std::size_t computedCount = 0;
  for (const auto& [heading, field] : columns) {
    const FixedField* fixed = FixedFieldNamed(field);
    if (fixed != nullptr && !fixed->isCellText) {
      table->push_back({heading, fixed, computedCount++, 0});
    } else {
      table->push_back({heading, nullptr, 0, ColumnOfField(location, field)});
    }
  }
  auto computedValues = std::make_shared<std::vector<std::string>>();
  if (computedCount > 0) {
    computedValues->reserve(positions.size() * computedCount);
    for (const std::int32_t position : positions) {
      const auto item = location.Item(position);
      for (const Column& column : *table) {
        if (column.computed != nullptr) computedValues->push_back(column.computed->get(*item));
      }
    }
  }
  // The sheet columns a row is read from in one call.
  std::int32_t first = std::numeric_limits<std::int32_t>::max();
  std::int32_t last = 0;
  for (const Column& column : *table) {
    if (column.sheetColumn == 0) continue;
    first = std::min(first, column.sheetColumn);
    last = std::max(last, column.sheetColumn);
  }
  excel::ExcelWorksheet& sheet = location.ItemSheet();
  return {positions.size() + 1, table->size(),
          [table, computedValues, computedCount, &sheet, &positions, first, last,
           texts = std::vector<std::string>()](std::size_t row, std::vector<std::string>& cells) mutable {
            cells.resize(table->size());
            if (row == 0) {
              for (std::size_t index = 0; index < cells.size(); ++index)
                cells[index] = (*table)[index].heading;
              return;
            }
            // Item `position` is the row below it: row 1 holds the headings.
            if (last != 0) sheet.RowTexts(positions[row - 1] + 1, first, last, texts);
            for (std::size_t index = 0; index < cells.size(); ++index) {
              const Column& column = (*table)[index];
              if (column.computed != nullptr) {
                cells[index] = (*computedValues)[(row - 1) * computedCount + column.slot];
              } else if (column.sheetColumn == 0) {
                cells[index].clear();
              } else {
                cells[index] = texts[static_cast<std::size_t>(column.sheetColumn - first)];
              }
            }
          }};
}

void ListItems(const Invocation& call, std::ostream& out, Store& store) {
  Location& location = store.location();
  const std::vector<std::int32_t> positions = ListedPositions(call, location);
  TableRows table;
  if (call.Has("--json") && !call.Has("--columns")) {
    // The sheet's headings and cell texts exactly, whatever field each column is.
    excel::ExcelWorksheet& sheet = location.ItemSheet();
    const std::int32_t columns = location.ColumnCount();
    table = {positions.size() + 1, static_cast<std::size_t>(columns),
             [&sheet, &positions, columns](std::size_t row, std::vector<std::string>& cells) {
               sheet.RowTexts(row == 0 ? 1 : positions[row - 1] + 1, 1, columns, cells);
             }};
  } else {
    table = FieldTable(call, location, positions);
  }
  if (call.Has("--json")) {
    WriteJsonObjects(out, table);
  } else {
    WriteTable(out, table, call.Has("--wide") ? 0 : call.width);
  }
}

void ShowItem(const Invocation& call, std::ostream& out, Store& store) {
  const auto item = ItemWithID(store, call.operands[1], call.operands[0]);
  for (const FixedField& field : FixedFields())
    out << field.name << ": " << TableCell(field.get(*item)) << '\n';
  for (std::int32_t index = 1; index <= item->Item_DataCount(); ++index) {
    const std::string name = item->Item_DataKey(index);
    out << TableCell(name) << ": " << TableCell(item->Item_DataText(name)) << '\n';
  }
  out << "url: " << TableCell(item->Item_Url()) << '\n';
}

void GetField(const Invocation& call, std::ostream& out, Store& store) {
  const auto item = ItemWithID(store, call.operands[1], call.operands[0]);
  const std::string& field = call.operands[2];
  if (const FixedField* fixed = FixedFieldNamed(field)) {
    out << fixed->get(*item) << '\n';
    return;
  }
  RequireColumn(store.location(), call.operands[0], field, "");
  out << item->Item_DataText(DataFieldName(field)) << '\n';
}

void SetField(const Invocation& call, Store& store) {
  const auto item = ItemWithID(store, call.operands[1], call.operands[0]);
  const std::string& field = call.operands[2];
  const std::string& value = call.operands[3];
  if (const FixedField* fixed = FixedFieldNamed(field)) {
    if (fixed->set == nullptr) {
      throw UsageError("the field " + std::string(fixed->name) +
                       " is only reported by the item and cannot be set");
    }
    // The item writes a new ID into its cell before the index refuses one that is taken.
    const std::int32_t taken = fixed->name == "id" ? store.location().RowOfID(value) : 0;
    if (taken != 0 && taken != store.location().RowOfID(call.operands[1])) {
      throw std::runtime_error("the ID \"" + value + "\" is taken in " + call.operands[0] + " (row " +
                               std::to_string(taken) + "; IDs are compared without regard to letter case)");
    }
    fixed->set(*item, value);
    return;
  }
  if (!call.Has("--add-field")) {
    RequireColumn(store.location(), call.operands[0], field,
                  "; --add-field appends a column headed \"" + DataFieldName(field) + "\"");
  }
  item->Item_DataSet(DataFieldName(field), value);
}

void NewItem(const Invocation& call, std::ostream& out, Store& store) {
  const auto item = store.AddItem();
  for (const auto& [option, value] : call.options) {
    if (option == "--type") {
      item->Item_Typ(value);
    } else if (option == "--text") {
      item->Item_Text(value);
    } else if (option == "--data") {
      const auto equals = value.find('=');
      item->Item_DataSet(value.substr(0, equals), value.substr(equals + 1));
    }
  }
  out << item->Item_ID() << '\n';
}

void DeleteItem(const Invocation& call, Store& store) {
  auto item = ItemWithID(store, call.operands[1], call.operands[0]);
  store.location().DeleteItem(item);
}

// Checks what can be checked before BOOK is opened.
void CheckArguments(const Invocation& call) {
  RequireOperands(call, kCommands.find(call.command)->second);
  if (call.command == "get" || call.command == "set") {
    if (DataFieldName(call.operands[2]).empty())
      throw UsageError("FIELD is empty; name a field or a heading");
  }
  if (call.command == "keywords") CheckKeywordsArguments(call);
  if (const auto where = call.Value("--where")) {
    try {
      host::ConditionFilter checked(*where);
    } catch (const host::FilterSyntaxError& error) {
      throw UsageError(error.what());
    }
  }
  if (call.command == "copy" && excel::FileExists(call.operands[1]) &&
      std::filesystem::equivalent(call.operands[0], call.operands[1])) {
    throw UsageError("copy needs two different workbooks, not \"" + call.operands[1] + "\" twice");
  }
  if (call.command == "new") {
    const std::string extension =
        excel::AsciiLower(std::filesystem::path(call.operands[0]).extension().string());
    if (extension != ".xlsx" && extension != ".xlsm") {
      throw UsageError("new writes .xlsx workbooks; \"" + call.operands[0] +
                       "\" does not end in .xlsx or .xlsm");
    }
    for (const auto& [option, value] : call.options) {
      if (option == "--data" && (value.find('=') == std::string::npos || value.front() == '=')) {
        throw UsageError("--data needs NAME=VALUE, not \"" + value + "\"");
      }
    }
  }
}

struct Globals {
  bool notifications = false;
  bool dryRun = false;
  bool version = false;
  std::optional<std::chrono::milliseconds> inUseWait;
};

Invocation Parse(const std::vector<std::string>& args, Globals& globals) {
  Invocation call;
  const Command* command = nullptr;
  for (std::size_t index = 0; index < args.size(); ++index) {
    const std::string& arg = args[index];
    if (arg == "--help" || arg == "-h") {
      call.help = true;
    } else if (arg == "--notifications" && command == nullptr) {
      globals.notifications = true;
    } else if (arg == "--version" && command == nullptr) {
      globals.version = true;
    } else if (arg == "--dry-run") {
      globals.dryRun = true;
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
      globals.inUseWait = std::chrono::milliseconds(static_cast<std::int64_t>(seconds * 1000));
    } else if (command == nullptr) {
      if (arg.starts_with("-")) throw UsageError("unknown option " + arg + "; see " + kProgram + " --help");
      const auto found = kCommands.find(arg);
      if (found == kCommands.end()) {
        throw UsageError("unknown command \"" + arg + "\"; see " + kProgram + " --help");
      }
      call.command = arg;
      command = &found->second;
    } else if (const int accepted = AcceptedOption(*command, arg); accepted == 1) {
      call.options.emplace_back(arg, "");
    } else if (accepted == 2) {
      if (index + 1 == args.size()) throw UsageError(arg + " needs a value");
      call.options.emplace_back(arg, args[++index]);
    } else if (arg.starts_with("--")) {
      throw UsageError("unknown option " + arg + " for " + call.command + "; see " + kProgram + " " +
                       call.command + " --help");
    } else {
      call.operands.push_back(arg);
    }
  }
  return call;
}

// import BOOK [FILE]: pastes the lines of FILE or standard input into the store.
void ImportInto(const Invocation& call, std::ostream& out, std::ostream& err, Store& store) {
  std::ifstream file;
  if (call.operands.size() == 2) {
    file.open(call.operands[1], std::ios::binary);
    if (!file) throw std::runtime_error("cannot read \"" + call.operands[1] + "\"");
  }
  std::istream& in = call.operands.size() == 2 ? static_cast<std::istream&>(file) : std::cin;
  out << Summary(ImportItems(store.location(), in, isatty(STDERR_FILENO) ? &err : nullptr)) << '\n';
}

// copy SOURCE TARGET [ID]...: pastes the items of the store into TARGET, opened beside it, and saves it.
void CopyInto(const Invocation& call, std::ostream& out, Store& source,
              const Location::ApplicationFactory& startApplication,
              std::optional<std::chrono::milliseconds> inUseWait) {
  RequireBook(call.operands[1], true);
  Store target(call.operands[1], startApplication, inUseWait);
  const PasteCount count = CopyItems(source.location(), target.location(),
                                     {call.operands.begin() + 2, call.operands.end()}, call.operands[0]);
  target.SaveAndClose();
  out << Summary(count) << '\n';
}

// `message` with BOOK in front when it does not name BOOK already.
std::string NamingBook(const std::string& message, const std::string& book) {
  return book.empty() || message.find(book) != std::string::npos ? message : book + ": " + message;
}

}  // namespace

int Run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
        const Location::ApplicationFactory& startApplication, std::size_t width) {
  const std::string prefix = std::string(kProgram) + ": ";
  std::string book;
  try {
    Globals globals;
    Invocation call = Parse(args, globals);
    call.width = width;
    if (call.command.empty()) {
      if (globals.version && !call.help) {
        WriteVersion(out);
        return 0;
      }
      if (!call.help) throw UsageError("missing command; see " + std::string(kProgram) + " --help");
      out << kOverview;
      return 0;
    }
    if (call.help) {
      out << kCommands.find(call.command)->second.help;
      return 0;
    }
    CheckArguments(call);
    book = call.operands[0];
    const bool existed = excel::FileExists(book);
    RequireBook(book, call.command == "new" || call.command == "import");

    // Results are printed once the store closed well: `new` prints no ID whose row was not saved.
    // `list` only reads, so it prints as it goes and a large store's table is never held.
    std::ostringstream result;
    LoadingWatch watch(startApplication, globals.dryRun);
    Store store(book, watch.Factory(), globals.inUseWait);
    watch.Stop();
    if (existed) {
      const std::string changes = DescribeLoadingChanges(watch.changes(), book, globals.dryRun);
      if (!changes.empty()) err << prefix << changes << '\n';
    }
    if (call.command == "list") ListItems(call, out, store);
    if (call.command == "show") ShowItem(call, result, store);
    if (call.command == "get") GetField(call, result, store);
    if (call.command == "set") SetField(call, store);
    if (call.command == "new") NewItem(call, result, store);
    if (call.command == "delete") DeleteItem(call, store);
    if (call.command == "keywords")
      KeywordsCommand(call, result, err, *ItemWithID(store, call.operands[1], book));
    if (call.command == "log") LogCommand(call, result, *ItemWithID(store, call.operands[1], book));
    if (call.command == "view") ViewCommand(*ItemWithID(store, call.operands[1], book));
    if (call.command == "rating") {
      RatingCommand(call, result, store.location(), *ItemWithID(store, call.operands[1], book));
    }
    if (call.command == "text") TextCommand(call, result, *ItemWithID(store, call.operands[1], book));
    if (call.command == "export") {
      ExportItems(store.location(), {call.operands.begin() + 1, call.operands.end()}, book, result);
    }
    if (call.command == "import") ImportInto(call, result, err, store);
    if (call.command == "copy") CopyInto(call, result, store, watch.Factory(), globals.inUseWait);
    if (call.command == "list" || call.command == "show" || call.command == "get" ||
        call.command == "export" || call.command == "copy") {
      // What the first opening changed is saved here, where a failure can be told, and only here:
      // Close would serialise the workbook and fail again. The command only read, so it succeeds.
      try {
        store.location().Save();
      } catch (const std::exception& error) {
        err << prefix << NamingBook(error.what(), book)
            << "; the changes of opening it are not kept and are made again the next time\n";
      }
      store.CloseWithoutSaving();
    } else {
      // A change that did not reach the file fails the command; Disconnect would drop the failure.
      store.SaveAndClose();
    }
    out << result.view();
    if (!out.flush()) {
      err << prefix << "the output could not be written: its reader stopped or the disk is full\n";
      return kExitFailed;
    }
    if (globals.notifications) {
      for (const auto& notification : store.notifications().Notifications()) {
        err << "notification " << notification.code << ' ' << JsonString(notification.text) << '\n';
      }
    }
    return 0;
  } catch (const UsageError& error) {
    err << prefix << error.what() << '\n';
    return kExitUsage;
  } catch (const NotFound& error) {
    err << prefix << NamingBook(error.what(), book) << '\n';
    return kExitNotFound;
  } catch (const std::exception& error) {
    err << prefix << NamingBook(error.what(), book) << '\n';
    return kExitFailed;
  }
}

}  // namespace zentora::cli

#include "Location.h"

#include <unicode/locid.h>
#include <unicode/unistr.h>

#include <limits>
#include <string_view>
#include <utility>
#include <vector>

#include "Error.h"
#include "item/Item.h"
#include "outside/Clock.h"
#include "outside/Files.h"
#include "outside/Guid.h"
#include "text/Escaping.h"
#include "text/Numbers.h"
#include "text/Stamps.h"
#include "text/Tokens.h"

namespace zentora::excel {
namespace {

// Heading texts (exact, letter case included) that name fixed fields, and their field names.
struct FixedHeading {
  std::string_view heading;
  std::string_view field;
};
constexpr FixedHeading kFixedHeadings[] = {
    {"TYP", "type"},
    {"TYPE", "type"},
    {"TXT", "text"},
    {"TEXT", "text"},
    {"DATUM", "datum"},
    {"DATE", "datum"},
    {"KEYWORDS", "keywords"},
    {"LOG", "log"},
    {"OWNER", "owner"},
    {"ACCESS", "access"},
    {"EVALCOUNT", "evalcount"},
    {"FILESIZE", "filesize"},
    {"EVAL", "eval"},
    {"EVALALL", "evalall"},
    {"SOURCE", "source"},
};

constexpr std::string_view kDefaultHeadings[] = {"ID", "TYPE", "TEXT", "Vorname", "Nachname"};

// How many leading columns decide whether a row without identifier still holds an item.
constexpr std::int32_t kRowDataColumns = 10;

constexpr std::string_view kTextFormat = "@";

std::string UpperCase(const std::string& text) {
  std::string upper;
  icu::UnicodeString::fromUTF8(text).toUpper(icu::Locale::getRoot()).toUTF8String(upper);
  return upper;
}

// True when one of the cells (row, 1..columns) holds text.
bool RowHasData(ExcelWorksheet& sheet, std::int32_t row, std::int32_t columns) {
  for (std::int32_t column = 1; column <= columns; ++column) {
    if (!sheet.CellText(row, column).empty()) return true;
  }
  return false;
}

std::int32_t Increment(std::int32_t value, const char* what) {
  if (value == std::numeric_limits<std::int32_t>::max()) {
    throw Error(ErrorCode::Overflow, std::string(what) + " cannot grow beyond " + DecimalText(value));
  }
  return value + 1;
}

// Runs one step of an operation that goes on when a step fails.
template <typename Step>
void SkipOnFailure(Step step) noexcept {
  try {
    step();
  } catch (const std::exception&) {
    // The caller's contract is to carry on with its next step.
  }
}

// Change codes sent to the host's notification service.
constexpr std::int32_t kItemsCleared = 75;
constexpr std::int32_t kItemDeleted = 38;
constexpr std::int32_t kItemPasted = 37;

// The option of the host's file fetch that asks for the path of the stored file itself.
constexpr std::int32_t kFileOptionPath = 2;

// The widest sheet has 16384 columns (A to XFD).
constexpr std::int32_t kLastColumn = 16384;

// "<file>, sheet "<name>"": how loading names where a conflict is.
std::string SheetPlace(const std::string& file, ExcelWorksheet& sheet) {
  return file + ", sheet \"" + sheet.Name() + "\"";
}

}  // namespace

std::string ColumnLetter(std::int32_t n) {
  if (n < 1 || n > kLastColumn) {
    throw Error(ErrorCode::OutOfRange,
                "column " + DecimalText(n) + " is outside 1 to " + DecimalText(kLastColumn));
  }
  // Letters count from 1 in every place (A = 1 ... Z = 26), so 27 is AA and 703 is AAA.
  std::string letters;
  for (std::int32_t rest = n; rest > 0; rest = (rest - 1) / 26)
    letters.insert(letters.begin(), static_cast<char>('A' + (rest - 1) % 26));
  return letters;
}

std::string FieldValue(const std::string& text, const std::string& key) {
  std::string rest = text;
  while (!rest.empty()) {
    std::string value = NextTokenUnescaped(rest, "|");
    if (NextToken(value, "=") == key) return UnescapeText(value);
  }
  return "";
}

std::string PathFileName(const std::string& path) {
  std::string_view name = path;
  for (const char separator : {'\\', '/'}) {
    const std::size_t last = name.rfind(separator);
    if (last != std::string_view::npos) name.remove_prefix(last + 1);
  }
  return std::string(TrimSpaces(name));
}

std::shared_ptr<Location> Location::Create(ApplicationFactory startApplication) {
  return std::shared_ptr<Location>(new Location(std::move(startApplication)));
}

Location::Location(ApplicationFactory startApplication) : startApplication_(std::move(startApplication)) {}

ExcelWorksheet& Location::ItemSheet() {
  if (!excelItems)
    throw Error(ErrorCode::NotOpen, "the location has no open workbook (file \"" + LocFile + "\")");
  return *excelItems;
}

HostLocation& Location::HostLocationObject() {
  if (!LocObject)
    throw Error(ErrorCode::NotOpen, "the location's host location object (LocObject) is not set");
  return *LocObject;
}

bool Location::InitLocation(const std::string& /*file*/) {
  HostLocation& host = HostLocationObject();
  std::shared_ptr<HostItem> settings = CreateGeneralItem();
  host.SetSettingsItem(settings);
  settings->Item_Init(shared_from_this());
  settings->Item_UserMode(false);
  settings->Item_ID("parameter");
  settings->Item_Typ("parameter");
  settings->Item_Text("Parameter");
  settings->Item_DataSet("Condition", "$type=contact");
  settings->Item_DataSet("Flags", "KeywordTree,Log,DataFix");
  settings->Item_UserMode(true);
  settings->Item_Notify(true);
  return true;
}

std::int32_t Location::OpenLocation(const std::string& file) {
  DynItem.reset();
  Disconnect();
  LocFile = file;
  ClearCollection(tablemapping);
  ClearCollection(Items);
  ClearCollection(DataList);

  excelapp = startApplication_();
  excelapp->SetDisplayAlerts(false);
  if (FileExists(file)) {
    excelbook = excelapp->AddWorkbook(file);
    excelItems = excelbook->FirstSheet();
  } else {
    excelbook = excelapp->AddWorkbook();
    excelItems = excelbook->FirstSheet();
    std::int32_t column = 0;
    for (const std::string_view heading : kDefaultHeadings) excelItems->SetCellText(1, ++column, heading);
    excelbook->SaveAs(file);
  }

  ScanHeadings();
  tablemapping.Add("id", IDfield);
  ScanRows();
  LastKey.clear();
  return 1;
}

void Location::ScanHeadings() {
  ExcelWorksheet& sheet = ItemSheet();
  IDfield = 0;
  std::int16_t column = 0;
  // The scan ends at the first empty heading or at the sheet's last column.
  while (column < kLastColumn && !sheet.CellText(1, column + 1).empty()) {
    column = ToInt16(column + 1);
    const std::string heading = sheet.CellText(1, column);
    if (heading == "ID") {
      IDfield = column;
      continue;
    }
    std::string field = "$" + heading;
    for (const FixedHeading& entry : kFixedHeadings) {
      if (heading == entry.heading) field = entry.field;
    }
    MapHeading(field, column);
    if (field.front() == '$') DataList.AddWithoutKey(heading);
  }
  ColCount = column;
  if (IDfield == 0) {
    ColCount = ToInt16(column + 1);
    IDfield = ColCount;
    sheet.SetCellText(1, IDfield, "ID");
  }
}

void Location::MapHeading(const std::string& field, std::int16_t column) {
  try {
    tablemapping.Add(field, column);
  } catch (const Error& error) {
    if (error.code() != ErrorCode::DuplicateKey) throw;
    ExcelWorksheet& sheet = ItemSheet();
    const std::int16_t earlier = *tablemapping.Find(field);
    const bool data = field.front() == '$';
    throw Error(ErrorCode::DuplicateKey,
                SheetPlace(LocFile, sheet) + ": the headings \"" + sheet.CellText(1, earlier) +
                    "\" in column " + ColumnLetter(earlier) + " and \"" + sheet.CellText(1, column) +
                    "\" in column " + ColumnLetter(column) + " both name the " +
                    (data ? "data field \"" + field.substr(1) : "field \"" + field) + "\"" +
                    (data ? " (headings are compared without regard to letter case)" : ""));
  }
}

void Location::ScanRows() {
  ExcelWorksheet& sheet = ItemSheet();
  ItemCount = 0;
  // Every item's row is at most the last row holding a cell: the index is made that large at once.
  Items.Reserve(sheet.LastRow() - 1);
  for (;;) {
    std::string id = sheet.CellText(ItemCount + 2, IDfield);
    if (id.empty()) {
      if (!RowHasData(sheet, ItemCount + 2, kRowDataColumns)) break;
      id = "*";
    }
    ItemCount = Increment(ItemCount, "the item count");
    const std::int32_t row = ItemCount + 1;
    if (id == "*") {
      id = NewGuidText();
      sheet.SetCellText(row, IDfield, id);
    }
    try {
      Items.Add(id, DecimalText(row));
    } catch (const Error& error) {
      if (error.code() != ErrorCode::DuplicateKey) throw;
      throw Error(ErrorCode::DuplicateKey, SheetPlace(LocFile, sheet) + ": rows " + *Items.Find(id) +
                                               " and " + DecimalText(row) + " both carry the ID \"" + id +
                                               "\" (IDs are compared without regard to letter case)");
    }
    sheet.SetNumberFormat(row, 1, row, ColCount, kTextFormat);
  }
}

void Location::Disconnect() noexcept {
  if (excelapp) {
    SkipOnFailure([this] {
      if (excelbook) excelbook->SaveAs(LocFile, kAccessModeNoChange);
    });
    SkipOnFailure([this] {
      if (excelbook) excelbook->Close();
    });
    excelbook.reset();
    SkipOnFailure([this] { excelapp->Quit(); });
    excelapp.reset();
    excelItems.reset();
  }
  ItemCount = 0;
}

void Location::Save() {
  if (!excelbook) return;
  excelbook->SaveAs(LocFile, kAccessModeNoChange);
}

std::shared_ptr<excel::Item> Location::MakeItem(bool conn) {
  std::shared_ptr<excel::Item> item = excel::Item::Create();
  HostItem& hostItem = *item;
  hostItem.Item_Init(shared_from_this());
  if (conn) {
    hostItem.Item_Notify(true);
    const std::string id = item->AssignNewID();
    ItemCount = Increment(ItemCount, "the item count");
    const std::int32_t row = ItemCount + 1;
    Items.Add(id, DecimalText(row));
    ItemSheet().SetNumberFormat(row, 1, row, ColCount, kTextFormat);
  }
  CountCreatedItem();
  LastKey.clear();
  return item;
}

void Location::CountCreatedItem() {
  HostLocation& host = HostLocationObject();
  host.SetChangeCounter(Increment(host.ChangeCounter(), "the host location's change counter"));
  host.SetChangeTime(SecondsSinceMidnight());
}

std::shared_ptr<HostItem> Location::NewItem(bool conn) { return MakeItem(conn); }

std::shared_ptr<HostItem> Location::GetItem(const std::string& id) {
  const std::int32_t row = RowOfID(id);
  if (row == 0) return nullptr;
  std::shared_ptr<excel::Item> item = MakeItem(false);
  item->BindRow(row);
  item->Item_Notify(true);
  return item;
}

bool Location::HasID(const std::string& id) { return RowOfID(id) > 0; }

std::shared_ptr<HostItem> Location::Item(std::int32_t pos) {
  if (pos < 1 || pos > ItemCount) {
    throw Error(ErrorCode::OutOfRange, "item position " + DecimalText(pos) + " is outside 1 to " +
                                           DecimalText(ItemCount) + " (file \"" + LocFile + "\")");
  }
  std::shared_ptr<excel::Item> item = MakeItem(false);
  item->BindRow(pos + 1);
  item->Item_Notify(true);
  return item;
}

std::int32_t Location::GetField(const std::string& c) noexcept {
  std::int32_t column = 0;
  // The mapping's keys compare without regard to letter case, so the name is looked up as given:
  // lower-casing it first would lose headings such as "İl", whose lower-case form is longer and
  // no longer matches them.
  SkipOnFailure([&] {
    if (const std::int16_t* found = tablemapping.Find(c)) column = *found;
  });
  return column;
}

std::string Location::ReadSheet(std::int32_t row, const std::string& cmd) {
  const std::int32_t column = GetField(cmd);
  if (column == 0) return "";
  return ItemSheet().CellText(row, column);
}

bool Location::WriteSheet(std::int32_t row, const std::string& cmd, const std::string& wrt) {
  std::int32_t column = GetField(cmd);
  if (column == 0) {
    if (wrt.empty()) return true;
    // The new column is counted before the sheet is touched: on a closed location the write
    // fails at the heading and the column stays mapped, as after any other failing step.
    ColCount = ToInt16(ColCount + 1);
    column = ColCount;
    if (ItemCount >= 1) ItemSheet().SetNumberFormat(2, column, ItemCount + 1, column, kTextFormat);
    tablemapping.Add(cmd, ColCount);
    if (!cmd.empty() && cmd.front() == '$') {
      const std::string name = cmd.substr(1);
      ItemSheet().SetCellText(1, column, name);
      DataList.AddWithoutKey(name);
    } else {
      ItemSheet().SetCellText(1, column, UpperCase(cmd));
    }
  }
  ItemSheet().SetCellText(row, column, wrt);
  return true;
}

void Location::Clear() {
  if (excelItems && ItemCount >= 1)
    excelItems->ClearContents("A2:" + ColumnLetter(ColCount) + DecimalText(ItemCount + 1));
  ItemCount = 0;
  ClearCollection(Items);
  ClearCollection(DataList);
  LastKey.clear();
  std::shared_ptr<HostObject> object = LocObject;
  ThreadNotificationService().Notify(kItemsCleared, "", object);
}

bool Location::DeleteItem(std::shared_ptr<HostItem>& itm) {
  if (!itm) throw Error(ErrorCode::NotOpen, "DeleteItem needs an item object (file \"" + LocFile + "\")");
  const std::string id = itm->Item_ID();
  const std::int32_t row = RowOfID(id);
  if (row == 0) return false;
  --ItemCount;
  // The steps that can fail come before the index changes: when one fails, the count is
  // restored and the index, the cache and the sheet stay as they were (only the host has
  // already been told). The identifiers of the moving rows are read before their row moves.
  std::vector<std::pair<std::int32_t, std::string>> disagreeing;
  try {
    std::shared_ptr<HostObject> object = itm;
    ThreadNotificationService().Notify(kItemDeleted, "", object);
    std::shared_ptr<HostItem> answer = std::dynamic_pointer_cast<HostItem>(object);
    if (object && !answer) {
      throw Error(ErrorCode::TypeMismatch,
                  "the host answered the deletion of item \"" + id + "\" with an object that is not an item");
    }
    itm = std::move(answer);
    disagreeing = DisagreeingBelow(row);
    ItemSheet().DeleteRows(DecimalText(row) + ":" + DecimalText(row), kShiftUp);
  } catch (...) {
    ++ItemCount;
    throw;
  }
  RenumberBelow(row, disagreeing);
  LastKey.clear();
  HostLocationObject().SetChanged(true);
  return true;
}

std::vector<std::pair<std::int32_t, std::string>> Location::DisagreeingBelow(std::int32_t row) {
  ExcelWorksheet& sheet = ItemSheet();
  std::vector<std::pair<std::int32_t, std::string>> disagreeing;
  for (std::int32_t position = Items.Count(); position >= 1; --position) {
    const std::int32_t value = ToInt32(LeadingNumber(Items.At(position)));
    if (value <= row) continue;
    // Compared in place: the usual row shows its entry's key and needs nothing kept.
    std::string cell = sheet.CellText(value, IDfield);
    if (cell != Items.KeyAt(position)) disagreeing.emplace_back(position, std::move(cell));
  }
  return disagreeing;
}

void Location::RenumberBelow(std::int32_t row,
                             const std::vector<std::pair<std::int32_t, std::string>>& disagreeing) {
  // Walks downwards, so that removing the entry of `row` shifts no entry still to be visited and
  // the positions in `disagreeing` (made by the same walk) still name their entries.
  auto next = disagreeing.begin();
  for (std::int32_t position = Items.Count(); position >= 1; --position) {
    const std::int32_t value = ToInt32(LeadingNumber(Items.At(position)));
    if (value == row) {
      Items.RemoveAt(position);
      continue;
    }
    if (value < row) continue;
    if (next == disagreeing.end() || next->first != position) {  // the usual case: only the row number moves
      Items.At(position) = DecimalText(value - 1);
      continue;
    }
    const std::string& cell = (next++)->second;
    const std::string* holder = cell.empty() ? nullptr : Items.Find(cell);
    // An empty cell (a new item whose identifier is not written yet) or one naming another
    // entry's identifier keeps the entry's key, so that every remaining row keeps one entry.
    const bool keepKey = cell.empty() || (holder != nullptr && holder != &Items.At(position));
    const std::string key = keepKey ? std::string(Items.KeyAt(position)) : cell;
    Items.Replace(position, key, DecimalText(value - 1));
  }
}

std::int32_t Location::RowOfID(const std::string& id) noexcept {
  if (id.empty()) return 0;
  if (!LastKey.empty() && LastKey == id) return LastRow;
  std::int32_t row = 0;
  SkipOnFailure([&] {
    if (const std::string* found = Items.Find(id)) row = ToInt32(LeadingNumber(*found));
  });
  if (row > 0) {
    LastKey = id;
    LastRow = row;
  }
  return row;
}

void Location::ChangeKey(const std::string& oldId, const std::string& newId) {
  const std::int32_t row = RowOfID(oldId);
  if (row == 0) return;
  Items.Replace(row - 1, newId, DecimalText(row));
  LastKey = newId;
  LastRow = row;
}

std::shared_ptr<Enumerator> Location::CreateEnum(std::shared_ptr<FilterExpression>& expr) {
  std::shared_ptr<Enumerator> enumerator = CreateEnumerator();
  enumerator->Init(LocObject, expr);
  return enumerator;
}

std::shared_ptr<excel::Item> Location::PasteItem(const std::string& import, bool conn) {
  const std::int32_t row = RowOfID(FieldValue(import, "ID"));
  std::shared_ptr<excel::Item> pasted = MakeItem(row == 0);
  if (row > 0) pasted->BindRow(row);
  std::shared_ptr<HostItem> item = pasted;

  item->Item_ToString(import);
  if (item->Item_ID().empty()) item->Item_ID(NewGuidText());
  if (item->Item_Owner().empty()) item->Item_Owner(ThreadNotificationService().DefaultOwner());
  if (item->Item_LogString().empty()) item->Item_LogString(NowStamp());
  if (item->Item_Typ().empty()) {
    if (item->Item_DataHasKey("File")) item->Item_Typ("file");
    if (item->Item_DataHasKey("Path")) item->Item_Typ("path");
  }
  if (item->Item_Text().empty()) {
    // Files and folders are titled by their name when the text brought no title.
    for (const auto& [type, key] : {std::pair{"file", "File"}, std::pair{"path", "Path"}}) {
      if (item->Item_Typ() == type && item->Item_DataHasKey(key))
        item->Item_Text(PathFileName(item->Item_GetFile(key, kFileOptionPath)));
    }
  }
  if (conn) {
    std::shared_ptr<HostObject> object = item;
    ThreadNotificationService().Notify(kItemPasted, import, object);
    item = std::dynamic_pointer_cast<HostItem>(object);
    if (!item) {
      throw Error(object ? ErrorCode::TypeMismatch : ErrorCode::NotOpen,
                  "the host answered the pasting of an item into \"" + LocFile + "\" with " +
                      (object ? "an object that is not an item" : "no object"));
    }
  }
  item->Item_Notify(true);
  pasted = std::dynamic_pointer_cast<excel::Item>(item);
  if (!pasted) {
    throw Error(ErrorCode::TypeMismatch,
                "the host answered the pasting of an item into \"" + LocFile + "\" with an item of its own");
  }
  HostLocationObject().SetChanged(true);
  return pasted;
}

excel::Item& Location::SharedItem() {
  if (!DynItem) {
    std::shared_ptr<excel::Item> item = MakeItem(false);
    item->KeepLocationWeakly();
    DynItem = std::move(item);
    DynItem->Item_Notify(true);
  }
  return *DynItem;
}

std::shared_ptr<HostItem> Location::SharedItemReference() {
  // The host's reference owns both the location and the item, while neither owns the other: an
  // item kept across OpenLocation stays usable, and dropping every reference frees both.
  struct Holder {
    std::shared_ptr<Location> location;
    std::shared_ptr<excel::Item> item;
  };
  auto holder = std::make_shared<Holder>(Holder{shared_from_this(), DynItem});
  return std::shared_ptr<HostItem>(holder, holder->item.get());
}

std::shared_ptr<HostItem> Location::DynamicItem(std::int32_t pos) {
  excel::Item& item = SharedItem();
  item.BindRow(Increment(pos, "the item position"));
  return SharedItemReference();
}

std::shared_ptr<HostItem> Location::GetDynamicItem(const std::string& id) noexcept {
  SkipOnFailure([this] { SharedItem(); });
  const std::int32_t row = RowOfID(id);
  if (row == 0 || !DynItem) return nullptr;
  SkipOnFailure([&] { DynItem->BindRow(row); });
  std::shared_ptr<HostItem> item;
  SkipOnFailure([&] { item = SharedItemReference(); });
  return item;
}

}  // namespace zentora::excel

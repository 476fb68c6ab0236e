// One store of the host: a workbook whose first sheet holds the items, one row
// per item, with the headings in row 1. The location maps headings to fields,
// indexes identifiers to rows and hands out Item objects bound to rows.
// Single-threaded: called on the host's thread only.
//
// Automation methods report a status and deliver their result through an
// out-parameter; here the result is the return value and a failure is a thrown
// zentora::excel::Error (or the host's or spreadsheet's own exception), which
// ends the operation with what it did so far left done. The few operations
// that ignore errors (Disconnect, GetField, RowOfID) say so and never throw.
//
// A Location lives in a std::shared_ptr (see Create): each item keeps its
// location alive; the location keeps no items but its one shared item (see
// DynamicItem), which in turn does not keep the location alive.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "../outside/Host.h"
#include "../outside/HostItem.h"
#include "../outside/Spreadsheet.h"
#include "../text/KeyedCollection.h"

namespace zentora::excel {

class Item;

// The column letters of column `n`: 1 "A", 26 "Z", 27 "AA", 702 "ZZ", and beyond that the
// three-letter columns the sheet allows, 703 "AAA" to 16384 "XFD". Throws OutOfRange outside
// 1 to 16384.
std::string ColumnLetter(std::int32_t n);

// The unescaped value of the first field of the item text form `text` whose name is exactly `key`
// (letter case included); "" when there is none. Bars escaped by a backslash do not end a field;
// a field without "=" has an empty value.
std::string FieldValue(const std::string& text, const std::string& key);

// What follows the last "\" or "/" of `path`, without spaces at both ends; all of `path`, trimmed,
// when it has neither.
std::string PathFileName(const std::string& path);

class Location : public ItemStore, public std::enable_shared_from_this<Location> {
 public:
  // Starts the spreadsheet application for OpenLocation.
  using ApplicationFactory = std::function<std::shared_ptr<ExcelApplication>()>;

  // A new, unopened location that starts its spreadsheet application with `startApplication`
  // (the project's engine unless a test injects another).
  static std::shared_ptr<Location> Create(ApplicationFactory startApplication = &CreateExcelApplication);

  Location(const Location&) = delete;
  Location& operator=(const Location&) = delete;

  // The host's object for this location; set by the host, needed by InitLocation and NewItem.
  std::shared_ptr<HostLocation> LocObject;
  // The host's topic tree for this location; kept for the host, never used here.
  std::shared_ptr<TopicTree> Tree;
  // The running spreadsheet application; nullptr while closed.
  std::shared_ptr<ExcelApplication> excelapp;
  // The open workbook; nullptr while closed.
  std::shared_ptr<ExcelWorkbook> excelbook;
  // The workbook's first sheet, holding the items; nullptr while closed.
  std::shared_ptr<ExcelWorksheet> excelItems;
  // Identifier index: item identifier -> row number as decimal text; entry k is row k + 1.
  KeyedCollection<std::string> Items;
  // Field name ("type", "id", "$Vorname", ...) -> column number.
  KeyedCollection<std::int16_t> tablemapping;
  // Names of the free data fields, in column order (entries without keys).
  KeyedCollection<std::string> DataList;
  // Column of the identifiers; 0 while none is known.
  std::int16_t IDfield = 0;
  // Identifier of the last successful RowOfID; "" when the cache is empty.
  std::string LastKey;
  // Row of LastKey.
  std::int32_t LastRow = 0;

  // Gives LocObject a new general settings item filled with this location's settings; returns
  // true. Throws NotOpen when LocObject is not set. `file` is not used.
  bool InitLocation(const std::string& file);
  // Closes what is open (saving it), then opens the workbook at `file` or creates it there with
  // the five default headings, maps its headings and indexes its rows, writing new identifiers
  // into rows that lack one. Returns 1. Throws on the first failure, leaving done what was done;
  // two headings for one field or two rows with one identifier throw DuplicateKey.
  std::int32_t OpenLocation(const std::string& file);
  // A new item bound to this location; with `conn` also a new row at the end with a new GUID
  // identifier in the index (its cells text-formatted, its identifier cell left empty) and
  // notification on. Counts up the host's change counter. Throws NotOpen without LocObject.
  std::shared_ptr<HostItem> NewItem(bool conn = false);
  // A new item bound to the row of `id` (any letter case); nullptr when `id` is absent or "".
  std::shared_ptr<HostItem> GetItem(const std::string& id);
  // True when `id` (any letter case) is in the index.
  bool HasID(const std::string& id);
  // The number of items; 0 while closed.
  std::int32_t Count() const override { return ItemCount; }
  // A new item bound to the row of position `pos` (1 to Count). Throws OutOfRange outside that
  // range, before anything is created.
  std::shared_ptr<HostItem> Item(std::int32_t pos);
  // Saves the workbook under its path, closes it and quits the application, skipping any step
  // that fails; Count is 0 afterwards. Collections and the cache keep their entries.
  void Disconnect() noexcept;
  // Writes the open workbook to its path; does nothing while closed. Throws when the save fails.
  void Save();
  // The column of field `c` (any letter case); 0 when it has none. Never throws.
  std::int32_t GetField(const std::string& c) noexcept;
  // The text of the cell of `row` in the column of field `cmd`; "" when the field has no column.
  // Throws when the location is closed or the spreadsheet refuses the row.
  std::string ReadSheet(std::int32_t row, const std::string& cmd);
  // Writes `wrt` into the cell of `row` in the column of field `cmd`; a field without a column
  // gets one appended (headed by the data field's name, or the fixed field's name in upper case)
  // unless `wrt` is "". Returns true. Throws like ReadSheet; an appended column then stays.
  bool WriteSheet(std::int32_t row, const std::string& cmd, const std::string& wrt);
  // Empties every item row of the sheet (values only: the headings, cell formats and the sheet's
  // row count stay), the index and DataList, empties the cache and notifies the host with code 75
  // and LocObject. While closed, or without items, only the collections empty and the host is
  // still notified. Nothing is saved. Throws on the first failing call.
  void Clear();
  // Deletes the item whose identifier `itm` carries: notifies the host with code 38 (the object
  // the host leaves replaces `itm`), deletes the sheet row (the rows below move up), renumbers the
  // index entries of the moved rows in place, empties the cache and sets the host's changed flag.
  // Returns false, changing nothing and notifying no one, when the identifier is not in the index.
  // A moved row whose identifier cell is empty keeps its index key; one whose cell names another
  // identifier is indexed under the cell's text, unless another entry holds that text. Throws
  // NotOpen without `itm`, TypeMismatch when the host leaves an object that is not an item (`itm`
  // is kept then), and the spreadsheet's error; a failing notification, cell read or row delete
  // leaves Count, the index and the sheet as they were.
  bool DeleteItem(std::shared_ptr<HostItem>& itm);
  // A new enumerator of the host, initialised with LocObject and `expr`; the objects its Init leaves
  // in the two arguments replace LocObject and the caller's `expr`. Throws what the host throws.
  std::shared_ptr<Enumerator> CreateEnum(std::shared_ptr<FilterExpression>& expr);
  // Makes the item text form `import` an item of this location: the row of its "ID" when that is
  // indexed (emptied and rewritten, Count unchanged), else a new row. Then fills what is empty: a
  // new GUID identifier, the host's default owner, a creation stamp in the log, type "file" or
  // "path" from the data fields "File" and "Path", and for those types the text from the file's
  // name. With `conn` the host is told (code 37, `import`) and may answer with another item.
  // Notification ends on and the host's changed flag set. Throws on the first failing step, what
  // was written staying written; TypeMismatch when the host's answer is not one of our items.
  std::shared_ptr<excel::Item> PasteItem(const std::string& import, bool conn);
  // The location's shared item bound to row `pos` + 1; created (notification on) on the first
  // call after OpenLocation, the same object afterwards. `pos` is not checked. Every reference
  // handed out keeps the location and the item alive; the location's own one does not form a cycle.
  std::shared_ptr<HostItem> DynamicItem(std::int32_t pos) override;
  // The shared item bound to the row of `id` (any letter case); nullptr, the item staying on its
  // row, when `id` is not indexed or any step fails. Never throws.
  std::shared_ptr<HostItem> GetDynamicItem(const std::string& id) noexcept;

  // For the component's own use (items reach their rows through these):

  // The row of identifier `id` through the one-entry cache (exact match) or the index (any
  // letter case); 0 when `id` is "" or absent. Never throws.
  std::int32_t RowOfID(const std::string& id) noexcept;
  // Moves the index entry of `oldId` to the key `newId`, keeping its position and row, and
  // caches `newId`. Nothing happens when `oldId` is absent. Throws DuplicateKey when another
  // entry holds `newId`; the index is unchanged then.
  void ChangeKey(const std::string& oldId, const std::string& newId);
  // The number of columns in use.
  std::int16_t ColumnCount() const { return ColCount; }
  // The items sheet. Throws NotOpen while the location is closed.
  ExcelWorksheet& ItemSheet();
  // The host location object. Throws NotOpen while LocObject is not set.
  HostLocation& HostLocationObject();

 private:
  explicit Location(ApplicationFactory startApplication);

  std::shared_ptr<excel::Item> MakeItem(bool conn);
  // The shared item, created on first use; see DynamicItem.
  excel::Item& SharedItem();
  // A reference to the shared item that keeps it and this location alive.
  std::shared_ptr<HostItem> SharedItemReference();
  void ScanHeadings();
  // Maps `field` to `column`; throws DuplicateKey naming both columns when another heading has it.
  void MapHeading(const std::string& field, std::int16_t column);
  void ScanRows();
  void CountCreatedItem();
  // The index entries below `row` whose identifier cell shows other than their key: (position, what
  // the cell shows), from the last index entry upwards.
  std::vector<std::pair<std::int32_t, std::string>> DisagreeingBelow(std::int32_t row);
  // Removes the index entry of `row` and moves the entries below up one row; an entry in
  // `disagreeing` takes what its cell showed as its key, unless that is empty or another entry's.
  void RenumberBelow(std::int32_t row, const std::vector<std::pair<std::int32_t, std::string>>& disagreeing);

  ApplicationFactory startApplication_;
  // Path of the workbook given to OpenLocation; Save and Disconnect write there.
  std::string LocFile;
  // Number of item rows: rows 2 to ItemCount + 1.
  std::int32_t ItemCount = 0;
  // The shared item of the dynamic-item operations; set to nullptr by OpenLocation. The location
  // owns it and it holds the location only weakly, so the two form no cycle.
  std::shared_ptr<excel::Item> DynItem;
  // Number of columns in use: headings found, an appended ID column, columns appended by writes.
  std::int16_t ColCount = 0;
};

}  // namespace zentora::excel

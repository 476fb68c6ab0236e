// One record of a Location, as the host sees it through the host item
// interface. An item holds no field values: it keeps its location, its
// identifier and the row last found for it, finds its row again from the
// identifier on every access, and reads and writes the row's cells at once.
// A successful write stamps the item's log and tells the host (through the
// item's sink when one is set, else through the thread's notification service).
// An item whose identifier has left the location reads "-Datensatz nicht mehr
// vorhanden-" from every field and writes nothing. Single-threaded.
//
// Failures throw (zentora::excel::Error, or the host's or spreadsheet's own
// exception); nothing here catches them except the release of the item.
// Items live in a std::shared_ptr (see Create) and keep their location alive, except the
// location's own shared item, which its location owns (KeepLocationWeakly).
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "../outside/Host.h"
#include "../outside/HostItem.h"

namespace zentora::excel {

class Location;

// What every field of an item reads once its record has left the location.
inline constexpr char kRecordGone[] = "-Datensatz nicht mehr vorhanden-";

class Item : public HostItem, public std::enable_shared_from_this<Item> {
 public:
  // A new item bound to no location: its identifier is "", notification never switched on.
  static std::shared_ptr<Item> Create();
  // Counts the host location's change counter down and stamps its change time (failures there
  // are dropped: a release has no caller to report to), then lets go of the location.
  ~Item() override;
  Item(const Item&) = delete;
  Item& operator=(const Item&) = delete;

  // Free for the host to read and write; the component never looks at it.
  bool notifyenabled = false;

  // The identifier cell of the item's row.
  std::string Item_ID() override;
  // Writes a different identifier (exact comparison) into the row, moves the index entry to it
  // and notifies code 1; an equal identifier or a vanished row changes nothing. Throws
  // DuplicateKey (after the cell was written) when another item holds `id`.
  void Item_ID(const std::string& id) override;
  // The type cell.
  std::string Item_Typ() override;
  // Writes the type cell; notifies code 2.
  void Item_Typ(const std::string& type) override;
  // The text cell.
  std::string Item_Text() override;
  // Writes the text cell; notifies code 3.
  void Item_Text(const std::string& text) override;
  // The date cell.
  std::string Item_Datum() override;
  // Writes the date cell; notifies code 4.
  void Item_Datum(const std::string& date) override;
  // True while notification is on.
  bool Item_Notify() override;
  // Switches notification; switching it on again after it had been set notifies code 66.
  void Item_Notify(bool on) override;
  // The sink set by the host; nullptr when none.
  std::shared_ptr<NotificationSink> Item_NotifyEvent() override;
  // Sets the sink; with a sink the notification service and the changed flag are not used.
  void Item_NotifyEvent(std::shared_ptr<NotificationSink> sink) override;
  // Number of data columns of the location (the same for every item).
  std::int32_t Item_DataCount() override;
  // Name of data column `index` (from 1); "" outside 1 to the count.
  std::string Item_DataKey(std::int32_t index) override;
  // The cell of the data column `key` (any letter case); "" when there is no such column.
  std::string Item_DataText(const std::string& key) override;
  // Writes the data field (appending its column for a non-empty value); notifies code 7 with "".
  bool Item_DataSet(const std::string& key, const std::string& value) override;
  // Empties the data field unless a data column is named exactly `key` (then false); notifies code 5.
  bool Item_DataAdd(const std::string& key) override;
  // Always false: data columns are never removed.
  bool Item_DataRemove(const std::string& key) override;
  // True when a data column is named exactly `key`.
  bool Item_DataHasKey(const std::string& key) override;
  // Always 0: no single evaluations are kept.
  std::int32_t Item_EvalCount() override;
  // Always "".
  std::string Item_Eval(std::int32_t index) override;
  // The overall rating from the "evalall" cell (decimal comma or point, "%" ignored) rounded
  // halves to even; -1 when it rounds to 0. Throws Overflow beyond 16 bits.
  std::int16_t Item_EvalAll() override;
  // Always 0.
  std::int16_t Item_EvalUser(const std::string& user) override;
  // Always false; nothing is kept.
  bool Item_EvalAdd(const std::string& user, const std::string& dateTime, std::int16_t quality) override;
  // Keeps nothing, but notifies code 11 with "".
  void Item_EvalString(const std::string& evaluations) override;
  // Always "".
  std::string Item_EvalString() override;
  // Entries of the "keywords" cell, a ","-separated list (empty entries count).
  std::int32_t Item_KeywordCount() override;
  // Entry `index` (from 1); "" outside 1 to the count.
  std::string Item_Keyword(std::int32_t index) override;
  // Appends the keyword trimmed of blanks; false when that is empty or present (exact). Tells the
  // topic tree (notification on) and notifies code 8. True even when the row is gone.
  bool Item_KeywordAdd(const std::string& keyword) override;
  // Removes every entry equal to the trimmed keyword; false when there is none. Tells the topic
  // tree (notification on) and notifies code 9.
  bool Item_KeywordRemove(const std::string& keyword) override;
  // The "keywords" cell as stored.
  std::string Item_Keywords() override;
  // Makes the list equal to `keywords` ("," or "/" separated, spaces trimmed): adds first, then
  // removes from the last entry down.
  void Item_Keywords(const std::string& keywords) override;
  // True when "," + keyword + "," occurs in "," + list + "," (so "" is in an empty list).
  bool Item_KeywordHas(const std::string& keyword) override;
  // Creation stamp (field 1) of the "log" cell.
  std::string Item_LogCreationDate() override;
  // Always "": users are not recorded.
  std::string Item_LogCreationUser() override;
  // Modification stamp (field 2) of the log.
  std::string Item_LogModifyDate() override;
  // Always "".
  std::string Item_LogModifyUser() override;
  // Modification count of the log.
  std::int32_t Item_LogModifyCount() override;
  // View stamp (field 3) of the log.
  std::string Item_LogViewDate() override;
  // Always "".
  std::string Item_LogViewUser() override;
  // View count of the log.
  std::int32_t Item_LogViewCount() override;
  // Counts a view (unless the stored view stamp lies in the future) stamped `dateTime` or now;
  // notifies code 12. False when the row is gone.
  bool Item_LogViewAdd(const std::string& dateTime) override;
  // Writes the log text as given and notifies code 13, even when the row is gone.
  void Item_LogString(const std::string& log) override;
  // The "log" cell as stored.
  std::string Item_LogString() override;
  // Writes the access cell; notifies code 14.
  void Item_Access(const std::string& access) override;
  // The access cell.
  std::string Item_Access() override;
  // Writes the owner cell; notifies code 15.
  void Item_Owner(const std::string& owner) override;
  // The owner cell.
  std::string Item_Owner() override;
  // Accepted and ignored.
  void Item_UserMode(bool mode) override;
  // Binds the item to `location`, which must be a Location (else TypeMismatch); nullptr lets go of
  // the location, so the item's release then counts nothing down.
  void Item_Init(const std::shared_ptr<HostObject>& location) override;
  // The one-line text form "ID=..|Type=..|Text=..|Date=.." followed by the non-empty data fields,
  // keywords, source, access, owner, eval and log; text, date and data values escaped.
  std::string Item_ToString() override;
  // Empties the row (identifier cell included) and writes each entry of the text form: id (re-keys
  // the index), type, text, datum, access, owner, log, keywords (after removing every keyword),
  // keyword (added), Data<name>. Other keys, "Data" without a name and "Date" are ignored; nothing
  // is notified by the setter itself. A gone row changes nothing.
  void Item_ToString(const std::string& text) override;
  // The host location's reference text, "#", and the identifier cell.
  std::string Item_Url() override;
  // The location's host location object; throws NotOpen without a location.
  std::shared_ptr<HostLocation> Item_Location() override;
  // The source cell.
  std::string Item_Source() override;
  // Writes the source cell; notifies code 72.
  void Item_Source(const std::string& source) override;
  // The notification service's file fetch for this item, `key` and `option`, unchanged.
  std::string Item_GetFile(const std::string& key, std::int32_t option) override;
  // The notification service's file store; notifies code 74 with `key` whatever it returned.
  std::string Item_SetFile(const std::string& key, const std::string& file,
                           const std::string& command) override;
  // Always "".
  std::string Item_Retention() override;
  // Has no effect.
  void Item_Retention(const std::string& retention) override;
  // Always 0.
  double Item_FileSize() override;
  // Always 0.
  double Item_FileSizeSaved() override;
  // Always false; the host is not asked.
  bool Item_DeleteFile(const std::string& key) override;

  // For the location's own use:

  // Gives the item a new GUID identifier (nothing is written to the sheet) and returns it.
  std::string AssignNewID();
  // Binds the item to `row` and takes its identifier from the row's identifier cell.
  void BindRow(std::int32_t row);
  // Holds the location only weakly from now on: for the location's shared item, which the location
  // itself owns. Once the location has gone, every access throws NotOpen.
  void KeepLocationWeakly();

 private:
  Item() = default;

  // The bound location; nullptr when there is none or it has gone.
  Location* LocationOrNull() const noexcept;
  Location& Loc();
  bool LocateRow();
  std::string ReadField(const std::string& field);
  bool WriteField(const std::string& field, const std::string& text);
  // Throws DuplicateKey, writing nothing, when another row than the item's carries `id`.
  void RefuseIdentifierOfAnotherRow(const std::string& id);
  void WriteAndNotify(const std::string& field, const std::string& value, std::int32_t code);
  void NotifyChange(std::int32_t code, const std::string& text);

  std::shared_ptr<Location> itemloc;
  // The location of the location's shared item, held without keeping it alive; itemloc is empty then.
  std::weak_ptr<Location> weakloc;
  // 0 never set, 1 off, 2 on.
  std::int16_t notifystate = 0;
  std::shared_ptr<NotificationSink> notifyevent;
  std::string itemid;
  std::int32_t itemrow = 0;
};

}  // namespace zentora::excel

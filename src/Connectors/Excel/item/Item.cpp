#include "Item.h"

#include <limits>
#include <utility>
#include <vector>

#include "Error.h"
#include "location/Location.h"
#include "outside/Clock.h"
#include "outside/Guid.h"
#include "text/Escaping.h"
#include "text/LogText.h"
#include "text/Numbers.h"
#include "text/Search.h"
#include "text/Stamps.h"
#include "text/Tokens.h"

namespace zentora::excel {
namespace {

// Change codes that leave the log's modification untouched (views, evaluations, log writes,
// notification switched on again).
bool StampsLog(std::int32_t code) {
  return code != 10 && code != 11 && code != 12 && code != 13 && code != 66;
}

std::int32_t CountUp(std::int32_t count, const std::string& what) {
  if (count == std::numeric_limits<std::int32_t>::max())
    throw Error(ErrorCode::Overflow, what + " cannot grow");
  return count + 1;
}

// The thread's topic tree, fetched from the host location named "topics" on first use and kept;
// nullptr while the host has none (the next call asks again).
std::shared_ptr<TopicTree> KeptTopicTree() noexcept {
  thread_local std::shared_ptr<TopicTree> kept;
  if (!kept) {
    try {
      if (const auto topics = ThreadNotificationService().LocationByName("topics")) kept = topics->Topics();
    } catch (const std::exception&) {
      // No topic tree this time; keywords still change, only the host's index misses them.
    }
  }
  return kept;
}

// The keyword list escaped for the text form: "\" doubled, each (ASCII) character of `extra`
// and CR and LF escaped with a backslash.
std::string KeywordEscape(std::string text, const std::string& extra) {
  ReplaceText(text, "\\", "\\\\", false, false);
  for (const char c : extra) ReplaceText(text, std::string(1, c), std::string("\\") + c, false, false);
  ReplaceText(text, "\r", "\\r", false, false);
  ReplaceText(text, "\n", "\\n", false, false);
  return text;
}

}  // namespace

std::shared_ptr<Item> Item::Create() { return std::shared_ptr<Item>(new Item()); }

Item::~Item() {
  const Location* location = LocationOrNull();
  if (!location || !location->LocObject) return;
  try {
    HostLocation& host = *location->LocObject;
    const std::int32_t counter = host.ChangeCounter();
    if (counter > std::numeric_limits<std::int32_t>::min()) host.SetChangeCounter(counter - 1);
    host.SetChangeTime(SecondsSinceMidnight());
  } catch (const std::exception&) {
    // A release cannot fail: the host's counter stays as it was.
  }
}

Location* Item::LocationOrNull() const noexcept {
  if (itemloc) return itemloc.get();
  // The lock only asks whether the owner is alive; its owners keep it so after the lock is gone.
  return weakloc.lock().get();
}

Location& Item::Loc() {
  if (Location* location = LocationOrNull()) return *location;
  throw Error(ErrorCode::NotOpen,
              "the item belongs to no location (Item_Init was not called, or its location has gone)");
}

void Item::KeepLocationWeakly() {
  weakloc = itemloc;
  itemloc.reset();
}

std::string Item::AssignNewID() {
  itemid = NewGuidText();
  return itemid;
}

void Item::BindRow(std::int32_t row) {
  Location& location = Loc();
  itemrow = row;
  itemid = location.ItemSheet().CellText(row, location.IDfield);
}

bool Item::LocateRow() {
  itemrow = Loc().RowOfID(itemid);
  return itemrow >= 1;
}

std::string Item::ReadField(const std::string& field) {
  if (!LocateRow()) return kRecordGone;
  return Loc().ReadSheet(itemrow, field);
}

bool Item::WriteField(const std::string& field, const std::string& text) {
  if (!LocateRow()) return false;
  return Loc().WriteSheet(itemrow, field, text);
}

void Item::WriteAndNotify(const std::string& field, const std::string& value, std::int32_t code) {
  if (WriteField(field, value)) NotifyChange(code, value);
}

void Item::NotifyChange(std::int32_t code, const std::string& text) {
  if (notifystate != 2) return;
  const std::string stamp = NowStamp();
  Location* location = LocationOrNull();
  if (location && StampsLog(code)) {
    std::string log = ReadField("log");
    if (StampAge(LogCreationStamp(log)) >= 0) {
      const std::int32_t age = StampAge(LogModifyStamp(log));
      if (age == -1 || age >= 0) {
        SetLogModifyCount(
            log, CountUp(LogModifyCountOf(log), "the modification count of item \"" + itemid + "\""));
      }
      SetLogModifyStamp(log, stamp);
      WriteField("log", log);
    }
  }
  if (notifyevent) {
    notifyevent->Change(code, text, shared_from_this());
    return;
  }
  if (location) {
    HostLocation& host = location->HostLocationObject();
    if (!host.Hold()) {
      std::shared_ptr<HostObject> self = shared_from_this();
      ThreadNotificationService().Notify(code, text, self);
    }
    host.SetChanged(true);
  }
}

std::string Item::Item_ID() { return ReadField("id"); }

void Item::Item_ID(const std::string& id) {
  if (id == itemid) return;
  if (LocateRow()) RefuseIdentifierOfAnotherRow(id);
  if (!WriteField("id", id)) return;
  Loc().ChangeKey(itemid, id);
  itemid = id;
  NotifyChange(1, id);
}

void Item::RefuseIdentifierOfAnotherRow(const std::string& id) {
  // The index refuses a second row under one identifier only after the cell was written;
  // refusing first keeps the workbook from being saved with two rows under one identifier,
  // which could not be opened again.
  const std::int32_t holder = Loc().RowOfID(id);
  if (holder != 0 && holder != itemrow)
    throw Error(ErrorCode::DuplicateKey, "identifier \"" + id + "\" is already used by row " +
                                             std::to_string(holder) + ", not by row " +
                                             std::to_string(itemrow));
}

std::string Item::Item_Typ() { return ReadField("type"); }
void Item::Item_Typ(const std::string& type) { WriteAndNotify("type", type, 2); }
std::string Item::Item_Text() { return ReadField("text"); }
void Item::Item_Text(const std::string& text) { WriteAndNotify("text", text, 3); }
std::string Item::Item_Datum() { return ReadField("datum"); }
void Item::Item_Datum(const std::string& date) { WriteAndNotify("datum", date, 4); }

bool Item::Item_Notify() { return notifystate == 2; }

void Item::Item_Notify(bool on) {
  if (notifystate >= 1 && on) {
    notifystate = 2;
    NotifyChange(66, "");
  } else {
    notifystate = on ? 2 : 1;
  }
}

std::shared_ptr<NotificationSink> Item::Item_NotifyEvent() { return notifyevent; }
void Item::Item_NotifyEvent(std::shared_ptr<NotificationSink> sink) { notifyevent = std::move(sink); }

std::int32_t Item::Item_DataCount() { return Loc().DataList.Count(); }

std::string Item::Item_DataKey(std::int32_t index) {
  const auto& names = Loc().DataList;
  if (index < 1 || index > names.Count()) return "";
  return names.At(index);
}

std::string Item::Item_DataText(const std::string& key) { return ReadField("$" + key); }

bool Item::Item_DataSet(const std::string& key, const std::string& value) {
  const bool written = WriteField("$" + key, value);
  if (written) NotifyChange(7, "");
  return written;
}

bool Item::Item_DataAdd(const std::string& key) {
  if (Item_DataHasKey(key)) return false;
  const bool written = WriteField("$" + key, "");
  if (written) NotifyChange(5, "");
  return written;
}

bool Item::Item_DataRemove(const std::string& /*key*/) { return false; }

bool Item::Item_DataHasKey(const std::string& key) {
  const auto& names = Loc().DataList;
  for (std::int32_t index = 1; index <= names.Count(); ++index) {
    if (names.At(index) == key) return true;
  }
  return false;
}

std::int32_t Item::Item_EvalCount() { return 0; }
std::string Item::Item_Eval(std::int32_t /*index*/) { return ""; }
std::int16_t Item::Item_EvalAll() {
  const std::int16_t rating = ToInt16(ParseDecimal(ReadField("evalall")));
  return rating == 0 ? -1 : rating;
}
std::int16_t Item::Item_EvalUser(const std::string& /*user*/) { return 0; }
bool Item::Item_EvalAdd(const std::string& /*user*/, const std::string& /*dateTime*/,
                        std::int16_t /*quality*/) {
  return false;
}
void Item::Item_EvalString(const std::string& /*evaluations*/) { NotifyChange(11, ""); }
std::string Item::Item_EvalString() { return ""; }

std::int32_t Item::Item_KeywordCount() {
  std::string rest = ReadField("keywords");
  std::int32_t count = 0;
  while (!rest.empty()) {
    NextToken(rest, ",");
    ++count;
  }
  return count;
}

std::string Item::Item_Keyword(std::int32_t index) {
  std::string rest = ReadField("keywords");
  std::string keyword;
  for (std::int32_t taken = 0; taken < index; ++taken) {
    if (rest.empty()) return "";
    keyword = NextToken(rest, ",");
  }
  return keyword;
}

bool Item::Item_KeywordAdd(const std::string& keyword) {
  const std::string added = TrimBlanks(keyword);
  if (added.empty() || Item_KeywordHas(added)) return false;
  if (notifystate == 2) {
    if (const auto topics = KeptTopicTree()) topics->AddKeyword(shared_from_this(), added);
  }
  const std::string old = ReadField("keywords");
  if (WriteField("keywords", old + (old.empty() ? "" : ",") + added)) NotifyChange(8, added);
  return true;
}

bool Item::Item_KeywordRemove(const std::string& keyword) {
  const std::string removed = TrimBlanks(keyword);
  bool found = false;
  std::string kept;
  std::string rest = ReadField("keywords");
  while (!rest.empty()) {
    const std::string entry = NextToken(rest, ",");
    if (entry == removed) {
      found = true;
    } else {
      kept += "," + entry;
    }
  }
  if (!found) return false;
  if (notifystate == 2) {
    if (const auto topics = KeptTopicTree()) topics->RemoveKeyword(shared_from_this(), removed);
  }
  if (WriteField("keywords", kept.empty() ? kept : kept.substr(1))) NotifyChange(9, removed);
  return true;
}

std::string Item::Item_Keywords() { return ReadField("keywords"); }

void Item::Item_Keywords(const std::string& keywords) {
  std::string rest = keywords;
  ReplaceText(rest, "/", ",", false, false);
  std::string wanted = "\n";
  while (!rest.empty()) {
    const std::string entry = NextTrimmedToken(rest, ",");
    wanted += entry + "\n";
    Item_KeywordAdd(entry);
  }
  for (std::int32_t index = Item_KeywordCount(); index >= 1; --index) {
    if (wanted.find("\n" + Item_Keyword(index) + "\n") == std::string::npos)
      Item_KeywordRemove(Item_Keyword(index));
  }
}

bool Item::Item_KeywordHas(const std::string& keyword) {
  return ("," + ReadField("keywords") + ",").find("," + keyword + ",") != std::string::npos;
}

std::string Item::Item_LogCreationDate() { return LogCreationStamp(ReadField("log")); }
std::string Item::Item_LogCreationUser() { return ""; }
std::string Item::Item_LogModifyDate() { return LogModifyStamp(ReadField("log")); }
std::string Item::Item_LogModifyUser() { return ""; }
std::int32_t Item::Item_LogModifyCount() { return LogModifyCountOf(ReadField("log")); }
std::string Item::Item_LogViewDate() { return LogViewStamp(ReadField("log")); }
std::string Item::Item_LogViewUser() { return ""; }
std::int32_t Item::Item_LogViewCount() { return LogViewCountOf(ReadField("log")); }

bool Item::Item_LogViewAdd(const std::string& dateTime) {
  std::string log = ReadField("log");
  const std::int32_t age = StampAge(LogViewStamp(log));
  if (age == -1 || age >= 0) {
    SetLogViewCount(log, CountUp(LogViewCountOf(log), "the view count of item \"" + itemid + "\""));
  }
  const std::string viewed = dateTime.empty() ? NowStamp() : dateTime;
  SetLogViewStamp(log, viewed);
  const bool written = WriteField("log", log);
  if (written) NotifyChange(12, viewed);
  return written;
}

void Item::Item_LogString(const std::string& log) {
  WriteField("log", log);
  NotifyChange(13, log);
}

std::string Item::Item_LogString() { return ReadField("log"); }

void Item::Item_Access(const std::string& access) { WriteAndNotify("access", access, 14); }
std::string Item::Item_Access() { return ReadField("access"); }
void Item::Item_Owner(const std::string& owner) { WriteAndNotify("owner", owner, 15); }
std::string Item::Item_Owner() { return ReadField("owner"); }

void Item::Item_UserMode(bool /*mode*/) {}

void Item::Item_Init(const std::shared_ptr<HostObject>& location) {
  auto bound = std::dynamic_pointer_cast<Location>(location);
  if (location && !bound) throw Error(ErrorCode::TypeMismatch, "Item_Init needs a Location object");
  itemloc = std::move(bound);
  weakloc.reset();
}

std::string Item::Item_ToString() {
  std::string text = "ID=" + Item_ID();
  text += "|Type=" + Item_Typ();
  text += "|Text=" + EscapeText(Item_Text(), "");
  text += "|Date=" + EscapeText(Item_Datum(), "");
  const auto& names = Loc().DataList;
  for (std::int32_t index = 1; index <= names.Count(); ++index) {
    const std::string value = ReadField("$" + names.At(index));
    if (!value.empty()) text += "|Data" + names.At(index) + "=" + EscapeText(value, "");
  }
  const std::string keywords = Item_Keywords();
  if (!keywords.empty()) text += "|Keywords=" + KeywordEscape(keywords, "|");
  static constexpr std::pair<const char*, const char*> kPlainFields[] = {{"source", "|Source="},
                                                                         {"access", "|Access="},
                                                                         {"owner", "|Owner="},
                                                                         {"eval", "|Eval="},
                                                                         {"log", "|Log="}};
  for (const auto& [field, prefix] : kPlainFields) {
    const std::string value = ReadField(field);
    if (!value.empty()) text += prefix + value;
  }
  return text;
}

void Item::Item_ToString(const std::string& text) {
  if (!LocateRow()) return;
  Location& location = Loc();
  struct Entry {
    std::string key;
    std::string field;
    std::string value;
  };
  std::vector<Entry> entries;
  std::string rest = text;
  while (!rest.empty()) {
    std::string value = UnescapeText(NextTokenUnescaped(rest, "|"));
    std::string key(TrimSpaces(NextToken(value, "=")));
    std::string field = AsciiLower(key);
    entries.push_back({std::move(key), std::move(field), std::move(value)});
  }
  // Refused identifiers are found before the row is emptied, so a refused text changes nothing.
  for (const Entry& entry : entries)
    if (entry.field == "id") RefuseIdentifierOfAnotherRow(entry.value);

  ExcelWorksheet& sheet = location.ItemSheet();
  for (std::int32_t column = 1; column <= location.ColumnCount(); ++column)
    sheet.SetCellText(itemrow, column, "");
  for (const auto& [key, field, value] : entries) {
    if (field == "id") {
      if (WriteField(key, value)) {
        location.ChangeKey(itemid, value);
        itemid = value;
      }
    } else if (field == "type" || field == "text" || field == "access" || field == "owner" ||
               field == "datum" || field == "log") {
      WriteField(key, value);
    } else if (field == "keywords") {
      for (std::int32_t index = Item_KeywordCount(); index >= 1; --index)
        Item_KeywordRemove(Item_Keyword(index));
      WriteField(key, value);
    } else if (field == "keyword") {
      Item_KeywordAdd(value);
    } else if (key.starts_with("Data") && key.size() > 4) {
      WriteField("$" + key.substr(4), value);
    }
  }
}

std::string Item::Item_Url() {
  // The host is asked first: the operands of one expression would be read in no fixed order.
  const std::string reference = Loc().HostLocationObject().ReferenceText();
  return reference + "#" + Item_ID();
}

std::shared_ptr<HostLocation> Item::Item_Location() { return Loc().LocObject; }

std::string Item::Item_Source() { return ReadField("source"); }
void Item::Item_Source(const std::string& source) { WriteAndNotify("source", source, 72); }

std::string Item::Item_GetFile(const std::string& key, std::int32_t option) {
  return ThreadNotificationService().FetchFile(shared_from_this(), key, option);
}

std::string Item::Item_SetFile(const std::string& key, const std::string& file, const std::string& command) {
  std::string result = ThreadNotificationService().StoreFile(shared_from_this(), key, file, command);
  NotifyChange(74, key);
  return result;
}

std::string Item::Item_Retention() { return ""; }
void Item::Item_Retention(const std::string& /*retention*/) {}
double Item::Item_FileSize() { return 0; }
double Item::Item_FileSizeSaved() { return 0; }
bool Item::Item_DeleteFile(const std::string& /*key*/) { return false; }

}  // namespace zentora::excel

#include "Item.h"

#include <limits>

#include "Error.h"
#include "location/Location.h"
#include "outside/Clock.h"
#include "outside/Guid.h"
#include "text/LogText.h"
#include "text/Numbers.h"
#include "text/Stamps.h"

namespace zentora::excel {
namespace {

// Change codes that leave the log's modification untouched (views, evaluations, log writes,
// notification switched on again).
bool StampsLog(std::int32_t code) {
  return code != 10 && code != 11 && code != 12 && code != 13 && code != 66;
}

[[noreturn]] void NotSupportedYet(const char* member) {
  throw Error(ErrorCode::InvalidArgument, std::string(member) + " is not supported yet");
}

}  // namespace

std::shared_ptr<Item> Item::Create() { return std::shared_ptr<Item>(new Item()); }

Item::~Item() {
  if (!itemloc || !itemloc->LocObject) return;
  try {
    HostLocation& host = *itemloc->LocObject;
    const std::int32_t counter = host.ChangeCounter();
    if (counter > std::numeric_limits<std::int32_t>::min()) host.SetChangeCounter(counter - 1);
    host.SetChangeTime(SecondsSinceMidnight());
  } catch (const std::exception&) {
    // A release cannot fail: the host's counter stays as it was.
  }
}

Location& Item::Loc() {
  if (!itemloc) throw Error(ErrorCode::NotOpen, "the item belongs to no location (Item_Init was not called)");
  return *itemloc;
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
  return itemloc->ReadSheet(itemrow, field);
}

bool Item::WriteField(const std::string& field, const std::string& text) {
  if (!LocateRow()) return false;
  return itemloc->WriteSheet(itemrow, field, text);
}

void Item::WriteAndNotify(const std::string& field, const std::string& value, std::int32_t code) {
  if (WriteField(field, value)) NotifyChange(code, value);
}

void Item::NotifyChange(std::int32_t code, const std::string& text) {
  if (notifystate != 2) return;
  const std::string stamp = NowStamp();
  if (itemloc && StampsLog(code)) {
    std::string log = ReadField("log");
    if (StampAge(LogCreationStamp(log)) >= 0) {
      const std::int32_t age = StampAge(LogModifyStamp(log));
      if (age == -1 || age >= 0) {
        const std::int32_t count = LogModifyCountOf(log);
        if (count == std::numeric_limits<std::int32_t>::max()) {
          throw Error(ErrorCode::Overflow, "the modification count of item \"" + itemid + "\" cannot grow");
        }
        SetLogModifyCount(log, count + 1);
      }
      SetLogModifyStamp(log, stamp);
      WriteField("log", log);
    }
  }
  if (notifyevent) {
    notifyevent->Change(code, text, shared_from_this());
    return;
  }
  if (itemloc) {
    HostLocation& host = itemloc->HostLocationObject();
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
  if (!WriteField("id", id)) return;
  itemloc->ChangeKey(itemid, id);
  itemid = id;
  NotifyChange(1, id);
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
std::int16_t Item::Item_EvalAll() { NotSupportedYet("Item_EvalAll"); }
std::int16_t Item::Item_EvalUser(const std::string& /*user*/) { return 0; }
bool Item::Item_EvalAdd(const std::string& /*user*/, const std::string& /*dateTime*/,
                        std::int16_t /*quality*/) {
  return false;
}
void Item::Item_EvalString(const std::string& /*evaluations*/) { NotifyChange(11, ""); }
std::string Item::Item_EvalString() { return ""; }

std::int32_t Item::Item_KeywordCount() { NotSupportedYet("Item_KeywordCount"); }
std::string Item::Item_Keyword(std::int32_t /*index*/) { NotSupportedYet("Item_Keyword"); }
bool Item::Item_KeywordAdd(const std::string& /*keyword*/) { NotSupportedYet("Item_KeywordAdd"); }
bool Item::Item_KeywordRemove(const std::string& /*keyword*/) { NotSupportedYet("Item_KeywordRemove"); }
std::string Item::Item_Keywords() { NotSupportedYet("Item_Keywords"); }
void Item::Item_Keywords(const std::string& /*keywords*/) { NotSupportedYet("Item_Keywords"); }
bool Item::Item_KeywordHas(const std::string& /*keyword*/) { NotSupportedYet("Item_KeywordHas"); }

std::string Item::Item_LogCreationDate() { NotSupportedYet("Item_LogCreationDate"); }
std::string Item::Item_LogCreationUser() { NotSupportedYet("Item_LogCreationUser"); }
std::string Item::Item_LogModifyDate() { NotSupportedYet("Item_LogModifyDate"); }
std::string Item::Item_LogModifyUser() { NotSupportedYet("Item_LogModifyUser"); }
std::int32_t Item::Item_LogModifyCount() { NotSupportedYet("Item_LogModifyCount"); }
std::string Item::Item_LogViewDate() { NotSupportedYet("Item_LogViewDate"); }
std::string Item::Item_LogViewUser() { NotSupportedYet("Item_LogViewUser"); }
std::int32_t Item::Item_LogViewCount() { NotSupportedYet("Item_LogViewCount"); }
bool Item::Item_LogViewAdd(const std::string& /*dateTime*/) { NotSupportedYet("Item_LogViewAdd"); }
void Item::Item_LogString(const std::string& /*log*/) { NotSupportedYet("Item_LogString"); }
std::string Item::Item_LogString() { NotSupportedYet("Item_LogString"); }

void Item::Item_Access(const std::string& access) { WriteAndNotify("access", access, 14); }
std::string Item::Item_Access() { return ReadField("access"); }
void Item::Item_Owner(const std::string& owner) { WriteAndNotify("owner", owner, 15); }
std::string Item::Item_Owner() { return ReadField("owner"); }

void Item::Item_UserMode(bool /*mode*/) {}

void Item::Item_Init(const std::shared_ptr<HostObject>& location) {
  auto bound = std::dynamic_pointer_cast<Location>(location);
  if (!bound) throw Error(ErrorCode::TypeMismatch, "Item_Init needs a Location object");
  itemloc = std::move(bound);
}

std::string Item::Item_ToString() { NotSupportedYet("Item_ToString"); }
void Item::Item_ToString(const std::string& /*text*/) { NotSupportedYet("Item_ToString"); }

std::string Item::Item_Url() { return Loc().HostLocationObject().ReferenceText() + "#" + Item_ID(); }

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

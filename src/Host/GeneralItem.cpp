#include "GeneralItem.h"

#include <algorithm>
#include <stdexcept>

namespace zentora::host {
namespace {

[[noreturn]] void NotKept(const char* member) {
  throw std::logic_error(std::string("general item: ") + member +
                         " is not kept; the log is one text (Item_LogString)");
}

}  // namespace

std::string GeneralItem::Item_ID() { return id_; }
void GeneralItem::Item_ID(const std::string& id) { id_ = id; }
std::string GeneralItem::Item_Typ() { return type_; }
void GeneralItem::Item_Typ(const std::string& type) { type_ = type; }
std::string GeneralItem::Item_Text() { return text_; }
void GeneralItem::Item_Text(const std::string& text) { text_ = text; }
std::string GeneralItem::Item_Datum() { return datum_; }
void GeneralItem::Item_Datum(const std::string& date) { datum_ = date; }
bool GeneralItem::Item_Notify() { return notify_; }
void GeneralItem::Item_Notify(bool on) { notify_ = on; }
std::shared_ptr<excel::NotificationSink> GeneralItem::Item_NotifyEvent() { return sink_; }
void GeneralItem::Item_NotifyEvent(std::shared_ptr<excel::NotificationSink> sink) { sink_ = std::move(sink); }

std::vector<std::pair<std::string, std::string>>::iterator GeneralItem::FindData(const std::string& key) {
  return std::find_if(data_.begin(), data_.end(), [&key](const auto& field) { return field.first == key; });
}

std::int32_t GeneralItem::Item_DataCount() { return static_cast<std::int32_t>(data_.size()); }

std::string GeneralItem::Item_DataKey(std::int32_t index) {
  if (index < 1 || index > Item_DataCount()) return "";
  return data_[static_cast<std::size_t>(index - 1)].first;
}

std::string GeneralItem::Item_DataText(const std::string& key) {
  const auto field = FindData(key);
  return field == data_.end() ? std::string() : field->second;
}

bool GeneralItem::Item_DataSet(const std::string& key, const std::string& value) {
  const auto field = FindData(key);
  if (field == data_.end()) {
    data_.emplace_back(key, value);
  } else {
    field->second = value;
  }
  return true;
}

bool GeneralItem::Item_DataAdd(const std::string& key) {
  if (FindData(key) != data_.end()) return false;
  data_.emplace_back(key, "");
  return true;
}

bool GeneralItem::Item_DataRemove(const std::string& key) {
  const auto field = FindData(key);
  if (field == data_.end()) return false;
  data_.erase(field);
  return true;
}

bool GeneralItem::Item_DataHasKey(const std::string& key) { return FindData(key) != data_.end(); }

std::int32_t GeneralItem::Item_EvalCount() { return 0; }
std::string GeneralItem::Item_Eval(std::int32_t /*index*/) { return ""; }
std::int16_t GeneralItem::Item_EvalAll() { return -1; }
std::int16_t GeneralItem::Item_EvalUser(const std::string& /*user*/) { return 0; }
bool GeneralItem::Item_EvalAdd(const std::string& /*user*/, const std::string& /*dateTime*/,
                               std::int16_t /*quality*/) {
  return false;
}
void GeneralItem::Item_EvalString(const std::string& /*evaluations*/) {}
std::string GeneralItem::Item_EvalString() { return ""; }

std::int32_t GeneralItem::Item_KeywordCount() { return static_cast<std::int32_t>(keywords_.size()); }

std::string GeneralItem::Item_Keyword(std::int32_t index) {
  if (index < 1 || index > Item_KeywordCount()) return "";
  return keywords_[static_cast<std::size_t>(index - 1)];
}

bool GeneralItem::Item_KeywordAdd(const std::string& keyword) {
  if (keyword.empty() || Item_KeywordHas(keyword)) return false;
  keywords_.push_back(keyword);
  return true;
}

bool GeneralItem::Item_KeywordRemove(const std::string& keyword) {
  const auto found = std::find(keywords_.begin(), keywords_.end(), keyword);
  if (found == keywords_.end()) return false;
  keywords_.erase(found);
  return true;
}

std::string GeneralItem::Item_Keywords() {
  std::string joined;
  for (const auto& keyword : keywords_) {
    if (!joined.empty()) joined += ',';
    joined += keyword;
  }
  return joined;
}

void GeneralItem::Item_Keywords(const std::string& keywords) {
  keywords_.clear();
  std::size_t start = 0;
  while (start <= keywords.size()) {
    const std::size_t comma = std::min(keywords.find(',', start), keywords.size());
    Item_KeywordAdd(keywords.substr(start, comma - start));
    start = comma + 1;
  }
}

bool GeneralItem::Item_KeywordHas(const std::string& keyword) {
  return std::find(keywords_.begin(), keywords_.end(), keyword) != keywords_.end();
}

std::string GeneralItem::Item_LogCreationDate() { NotKept("Item_LogCreationDate"); }
std::string GeneralItem::Item_LogCreationUser() { NotKept("Item_LogCreationUser"); }
std::string GeneralItem::Item_LogModifyDate() { NotKept("Item_LogModifyDate"); }
std::string GeneralItem::Item_LogModifyUser() { NotKept("Item_LogModifyUser"); }
std::int32_t GeneralItem::Item_LogModifyCount() { NotKept("Item_LogModifyCount"); }
std::string GeneralItem::Item_LogViewDate() { NotKept("Item_LogViewDate"); }
std::string GeneralItem::Item_LogViewUser() { NotKept("Item_LogViewUser"); }
std::int32_t GeneralItem::Item_LogViewCount() { NotKept("Item_LogViewCount"); }
bool GeneralItem::Item_LogViewAdd(const std::string& /*dateTime*/) { NotKept("Item_LogViewAdd"); }
void GeneralItem::Item_LogString(const std::string& log) { log_ = log; }
std::string GeneralItem::Item_LogString() { return log_; }

void GeneralItem::Item_Access(const std::string& access) { access_ = access; }
std::string GeneralItem::Item_Access() { return access_; }
void GeneralItem::Item_Owner(const std::string& owner) { owner_ = owner; }
std::string GeneralItem::Item_Owner() { return owner_; }
void GeneralItem::Item_UserMode(bool mode) { userMode_ = mode; }
void GeneralItem::Item_Init(const std::shared_ptr<excel::HostObject>& location) { location_ = location; }

std::string GeneralItem::Item_ToString() { throw std::logic_error("general item: there is no text form"); }
void GeneralItem::Item_ToString(const std::string& /*text*/) {
  throw std::logic_error("general item: there is no text form");
}

std::string GeneralItem::Item_Url() { return "#" + id_; }
std::shared_ptr<excel::HostLocation> GeneralItem::Item_Location() { return nullptr; }
std::string GeneralItem::Item_Source() { return source_; }
void GeneralItem::Item_Source(const std::string& source) { source_ = source; }
std::string GeneralItem::Item_GetFile(const std::string& /*key*/, std::int32_t /*option*/) { return ""; }
std::string GeneralItem::Item_SetFile(const std::string& /*key*/, const std::string& /*file*/,
                                      const std::string& /*command*/) {
  return "";
}
std::string GeneralItem::Item_Retention() { return retention_; }
void GeneralItem::Item_Retention(const std::string& retention) { retention_ = retention; }
double GeneralItem::Item_FileSize() { return 0; }
double GeneralItem::Item_FileSizeSaved() { return 0; }
bool GeneralItem::Item_DeleteFile(const std::string& /*key*/) { return false; }

}  // namespace zentora::host

namespace zentora::excel {

std::shared_ptr<HostItem> CreateGeneralItem() { return std::make_shared<host::GeneralItem>(); }

}  // namespace zentora::excel

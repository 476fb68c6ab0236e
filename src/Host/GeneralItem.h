// The host's general item: a record kept wholly in memory, such as the
// settings item of a location. It keeps its identifier, type, text, date, data
// fields, keywords, log, access, owner, source and retention texts, and tells
// nobody of changes. It keeps no evaluations and no files, and its log is one
// text: the members that would need more answer as an item without them, or
// throw std::logic_error where no honest answer exists (text form, log parts).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "../Connectors/Excel/outside/HostItem.h"

namespace zentora::host {

class GeneralItem : public excel::HostItem {
 public:
  std::string Item_ID() override;
  void Item_ID(const std::string& id) override;
  std::string Item_Typ() override;
  void Item_Typ(const std::string& type) override;
  std::string Item_Text() override;
  void Item_Text(const std::string& text) override;
  std::string Item_Datum() override;
  void Item_Datum(const std::string& date) override;
  bool Item_Notify() override;
  void Item_Notify(bool on) override;
  std::shared_ptr<excel::NotificationSink> Item_NotifyEvent() override;
  void Item_NotifyEvent(std::shared_ptr<excel::NotificationSink> sink) override;
  std::int32_t Item_DataCount() override;
  std::string Item_DataKey(std::int32_t index) override;
  // Value of the field named exactly `key`; "" when there is none.
  std::string Item_DataText(const std::string& key) override;
  // Replaces or appends the field `key`; always true.
  bool Item_DataSet(const std::string& key, const std::string& value) override;
  bool Item_DataAdd(const std::string& key) override;
  bool Item_DataRemove(const std::string& key) override;
  bool Item_DataHasKey(const std::string& key) override;
  // No evaluations are kept: count 0, "" texts, overall rating -1, nothing recorded.
  std::int32_t Item_EvalCount() override;
  std::string Item_Eval(std::int32_t index) override;
  std::int16_t Item_EvalAll() override;
  std::int16_t Item_EvalUser(const std::string& user) override;
  bool Item_EvalAdd(const std::string& user, const std::string& dateTime, std::int16_t quality) override;
  void Item_EvalString(const std::string& evaluations) override;
  std::string Item_EvalString() override;
  std::int32_t Item_KeywordCount() override;
  std::string Item_Keyword(std::int32_t index) override;
  bool Item_KeywordAdd(const std::string& keyword) override;
  bool Item_KeywordRemove(const std::string& keyword) override;
  // The keywords joined by ",".
  std::string Item_Keywords() override;
  // Replaces the keywords by the entries of `keywords` separated by "," (empty entries dropped).
  void Item_Keywords(const std::string& keywords) override;
  bool Item_KeywordHas(const std::string& keyword) override;
  // The log's parts are not kept apart: each of these throws std::logic_error.
  std::string Item_LogCreationDate() override;
  std::string Item_LogCreationUser() override;
  std::string Item_LogModifyDate() override;
  std::string Item_LogModifyUser() override;
  std::int32_t Item_LogModifyCount() override;
  std::string Item_LogViewDate() override;
  std::string Item_LogViewUser() override;
  std::int32_t Item_LogViewCount() override;
  bool Item_LogViewAdd(const std::string& dateTime) override;
  void Item_LogString(const std::string& log) override;
  std::string Item_LogString() override;
  void Item_Access(const std::string& access) override;
  std::string Item_Access() override;
  void Item_Owner(const std::string& owner) override;
  std::string Item_Owner() override;
  void Item_UserMode(bool mode) override;
  // Remembers the location without keeping it alive (it usually owns this item's host location).
  void Item_Init(const std::shared_ptr<excel::HostObject>& location) override;
  // There is no text form: both directions throw std::logic_error.
  std::string Item_ToString() override;
  void Item_ToString(const std::string& text) override;
  // "#" followed by the identifier: the item belongs to no host location.
  std::string Item_Url() override;
  // Always nullptr: the item belongs to no host location.
  std::shared_ptr<excel::HostLocation> Item_Location() override;
  std::string Item_Source() override;
  void Item_Source(const std::string& source) override;
  // No files are kept: "" for every key.
  std::string Item_GetFile(const std::string& key, std::int32_t option) override;
  // No files are kept: returns "" and stores nothing.
  std::string Item_SetFile(const std::string& key, const std::string& file,
                           const std::string& command) override;
  std::string Item_Retention() override;
  void Item_Retention(const std::string& retention) override;
  double Item_FileSize() override;
  double Item_FileSizeSaved() override;
  bool Item_DeleteFile(const std::string& key) override;

  // True after the last Item_UserMode(true); false initially.
  bool UserMode() const { return userMode_; }
  // The object given to Item_Init while it is alive; nullptr otherwise.
  std::shared_ptr<excel::HostObject> InitObject() const { return location_.lock(); }

 private:
  std::vector<std::pair<std::string, std::string>>::iterator FindData(const std::string& key);

  std::string id_, type_, text_, datum_, log_, access_, owner_, source_, retention_;
  bool notify_ = false;
  bool userMode_ = false;
  std::shared_ptr<excel::NotificationSink> sink_;
  std::vector<std::pair<std::string, std::string>> data_;
  std::vector<std::string> keywords_;
  std::weak_ptr<excel::HostObject> location_;
};

}  // namespace zentora::host

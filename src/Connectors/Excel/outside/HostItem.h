// The host item interface: the one shape in which the host sees a record,
// whether it is the component's Item or the host's own general item. Members
// stand in the host's order; a getter precedes its setter except for
// EvalString, LogString, Access and Owner, whose setter comes first.
// Failures throw (see Host.h); results are return values.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "Host.h"

namespace zentora::excel {

class HostItem : public HostObject {
 public:
  // The identifier as stored for the record.
  virtual std::string Item_ID() = 0;
  // Changes the identifier; the same identifier again changes nothing.
  virtual void Item_ID(const std::string& id) = 0;
  // The record type.
  virtual std::string Item_Typ() = 0;
  // Stores the record type.
  virtual void Item_Typ(const std::string& type) = 0;
  // The record's title text.
  virtual std::string Item_Text() = 0;
  // Stores the title text.
  virtual void Item_Text(const std::string& text) = 0;
  // The record's date text.
  virtual std::string Item_Datum() = 0;
  // Stores the date text.
  virtual void Item_Datum(const std::string& date) = 0;
  // True while changes are notified.
  virtual bool Item_Notify() = 0;
  // Switches change notification on or off.
  virtual void Item_Notify(bool on) = 0;
  // The sink that receives this record's changes; nullptr when none is set.
  virtual std::shared_ptr<NotificationSink> Item_NotifyEvent() = 0;
  // Sets the sink that receives this record's changes (nullptr removes it).
  virtual void Item_NotifyEvent(std::shared_ptr<NotificationSink> sink) = 0;
  // Number of free data fields.
  virtual std::int32_t Item_DataCount() = 0;
  // Name of data field `index` (from 1); "" outside 1 to the count.
  virtual std::string Item_DataKey(std::int32_t index) = 0;
  // Value of the data field `key`; "" when there is none.
  virtual std::string Item_DataText(const std::string& key) = 0;
  // Stores `value` in the data field `key`; true when stored.
  virtual bool Item_DataSet(const std::string& key, const std::string& value) = 0;
  // Adds the data field `key` with an empty value; false when it is present.
  virtual bool Item_DataAdd(const std::string& key) = 0;
  // Removes the data field `key`; true when removed.
  virtual bool Item_DataRemove(const std::string& key) = 0;
  // True when the record has the data field `key`.
  virtual bool Item_DataHasKey(const std::string& key) = 0;
  // Number of individual evaluations.
  virtual std::int32_t Item_EvalCount() = 0;
  // Evaluation `index` (from 1) as text; "" when there is none.
  virtual std::string Item_Eval(std::int32_t index) = 0;
  // The overall rating; -1 for none.
  virtual std::int16_t Item_EvalAll() = 0;
  // The rating given by `user`; 0 for none.
  virtual std::int16_t Item_EvalUser(const std::string& user) = 0;
  // Records a rating; true when recorded.
  virtual bool Item_EvalAdd(const std::string& user, const std::string& dateTime, std::int16_t quality) = 0;
  // Takes all evaluations from their text form.
  virtual void Item_EvalString(const std::string& evaluations) = 0;
  // All evaluations in their text form.
  virtual std::string Item_EvalString() = 0;
  // Number of keywords.
  virtual std::int32_t Item_KeywordCount() = 0;
  // Keyword `index` (from 1); "" outside 1 to the count.
  virtual std::string Item_Keyword(std::int32_t index) = 0;
  // Adds a keyword; false when it is empty or present.
  virtual bool Item_KeywordAdd(const std::string& keyword) = 0;
  // Removes a keyword; false when it is absent.
  virtual bool Item_KeywordRemove(const std::string& keyword) = 0;
  // The keyword list as stored.
  virtual std::string Item_Keywords() = 0;
  // Makes the keyword list equal to `keywords`.
  virtual void Item_Keywords(const std::string& keywords) = 0;
  // True when the record has the keyword.
  virtual bool Item_KeywordHas(const std::string& keyword) = 0;
  // Creation stamp from the log.
  virtual std::string Item_LogCreationDate() = 0;
  // Creating user from the log.
  virtual std::string Item_LogCreationUser() = 0;
  // Last modification stamp from the log.
  virtual std::string Item_LogModifyDate() = 0;
  // Last modifying user from the log.
  virtual std::string Item_LogModifyUser() = 0;
  // Number of modifications from the log.
  virtual std::int32_t Item_LogModifyCount() = 0;
  // Last view stamp from the log.
  virtual std::string Item_LogViewDate() = 0;
  // Last viewing user from the log.
  virtual std::string Item_LogViewUser() = 0;
  // Number of views from the log.
  virtual std::int32_t Item_LogViewCount() = 0;
  // Records a view at `dateTime` ("" for now); true when recorded.
  virtual bool Item_LogViewAdd(const std::string& dateTime) = 0;
  // Replaces the log text.
  virtual void Item_LogString(const std::string& log) = 0;
  // The log text as stored.
  virtual std::string Item_LogString() = 0;
  // Stores the access text.
  virtual void Item_Access(const std::string& access) = 0;
  // The access text.
  virtual std::string Item_Access() = 0;
  // Stores the owner text.
  virtual void Item_Owner(const std::string& owner) = 0;
  // The owner text.
  virtual std::string Item_Owner() = 0;
  // Tells the record whether a user (true) or the program (false) is acting.
  virtual void Item_UserMode(bool mode) = 0;
  // Binds the record to its location object.
  virtual void Item_Init(const std::shared_ptr<HostObject>& location) = 0;
  // The record in its one-line text form.
  virtual std::string Item_ToString() = 0;
  // Replaces the record's content by what the text form carries.
  virtual void Item_ToString(const std::string& text) = 0;
  // The record's URL.
  virtual std::string Item_Url() = 0;
  // The host location object the record belongs to.
  virtual std::shared_ptr<HostLocation> Item_Location() = 0;
  // The source text.
  virtual std::string Item_Source() = 0;
  // Stores the source text.
  virtual void Item_Source(const std::string& source) = 0;
  // The path of the file stored under `key`.
  virtual std::string Item_GetFile(const std::string& key, std::int32_t option) = 0;
  // Stores `file` under `key` with the host command `command`; returns the host's answer.
  virtual std::string Item_SetFile(const std::string& key, const std::string& file,
                                   const std::string& command) = 0;
  // The retention text.
  virtual std::string Item_Retention() = 0;
  // Stores the retention text.
  virtual void Item_Retention(const std::string& retention) = 0;
  // Size of the record's file.
  virtual double Item_FileSize() = 0;
  // Size of the record's file when it was last saved.
  virtual double Item_FileSizeSaved() = 0;
  // Deletes the file stored under `key`; true when deleted.
  virtual bool Item_DeleteFile(const std::string& key) = 0;
};

}  // namespace zentora::excel

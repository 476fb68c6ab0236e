// The spreadsheet engine's one error type: a code for the kind of failure and
// a message that names the file, the part, the cell or the byte offset involved.
#pragma once

#include <stdexcept>
#include <string>

namespace zentora::spreadsheet {

enum class ErrorCode {
  InvalidArgument,  // a malformed address, text or option passed by the caller
  OutOfRange,       // a row or column outside the sheet, or an index outside a list
  NotAWorkbook,     // input that is not a readable workbook: not a zip, corrupt, encrypted, missing parts
  LimitExceeded,    // input that exceeds a size, count or nesting limit
  Io,               // the file system refused a read or write
  InUse,            // another program or process holds the workbook for editing
  ChangedOnDisk,    // the file was replaced or changed by someone else since it was read
  ReadOnly,         // the file may not be written by this user
};

class Error : public std::runtime_error {
 public:
  Error(ErrorCode code, const std::string& message) : std::runtime_error(message), code_(code) {}

  // The kind of failure.
  ErrorCode code() const noexcept { return code_; }

 private:
  ErrorCode code_;
};

}  // namespace zentora::spreadsheet

// The component's one error type. Every failure that reaches the host is an
// Error carrying a numeric code and a message that names the file, row,
// column, key or value involved.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

namespace zentora::excel {

// Numeric codes are those an automation host expects for the same condition.
enum class ErrorCode : std::int32_t {
  InvalidArgument = 5,   // an argument outside what the operation accepts
  Overflow = 6,          // a number that does not fit the target integer width
  OutOfRange = 9,        // a position or index outside the collection or sheet
  TypeMismatch = 13,     // a text that is not the number or object expected
  InUse = 70,            // the workbook is held by another program or process (the holder is named)
  ReadOnly = 75,         // the workbook file may not be written by this user
  NotOpen = 91,          // an operation that needs an open workbook or a set object
  DuplicateKey = 457,    // a key already present in a keyed collection
  Spreadsheet = 1004,    // the spreadsheet layer refused or failed an operation
  ChangedOnDisk = 1005,  // the workbook file was changed by another program since it was opened
};

class Error : public std::runtime_error {
 public:
  Error(ErrorCode code, const std::string& message);

  // The condition's numeric code.
  ErrorCode code() const noexcept { return code_; }

 private:
  ErrorCode code_;
};

}  // namespace zentora::excel

// What the command files of the command-line host share: the parsed command
// line, the errors that choose the exit code, and the commands on one item.
#pragma once

#include <optional>
#include <ostream>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "location/Location.h"

namespace zentora::cli {

inline constexpr char kProgram[] = "zentora-excel";

// Exit codes: success, a failed command, a command line that does not fit, an ID or field not in the book.
inline constexpr int kExitFailed = 1;
inline constexpr int kExitUsage = 2;
inline constexpr int kExitNotFound = 3;

// Raised for a command line that does not fit the command.
class UsageError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Raised for an ID or a field that the workbook does not have.
class NotFound : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

struct Invocation {
  std::string command;
  std::vector<std::string> operands;
  // Options in command-line order with their values ("" for a flag).
  std::vector<std::pair<std::string, std::string>> options;
  bool help = false;
  // Characters a table may take; 0 for no limit.
  std::size_t width = 0;

  // True when the option was given.
  bool Has(std::string_view option) const { return Value(option).has_value(); }
  // The value of the option's last occurrence; nullopt when it was not given.
  std::optional<std::string> Value(std::string_view option) const {
    std::optional<std::string> value;
    for (const auto& [name, given] : options) {
      if (name == option) value = given;
    }
    return value;
  }
};

// Throws UsageError when the operands after BOOK and ID are no keywords action.
void CheckKeywordsArguments(const Invocation& call);
// keywords BOOK ID [add WORD... | remove WORD... | set LIST]
void KeywordsCommand(const Invocation& call, std::ostream& out, std::ostream& err, excel::HostItem& item);
// log BOOK ID [--raw] [--json]
void LogCommand(const Invocation& call, std::ostream& out, excel::HostItem& item);
// view BOOK ID
void ViewCommand(excel::HostItem& item);
// rating BOOK ID [--json]
void RatingCommand(const Invocation& call, std::ostream& out, excel::Location& location,
                   excel::HostItem& item);
// text BOOK ID [--set FORM] [--json]
void TextCommand(const Invocation& call, std::ostream& out, excel::HostItem& item);

}  // namespace zentora::cli

#include "text/LogText.h"

#include "text/Numbers.h"
#include "text/Tokens.h"

namespace zentora::excel {
namespace {

// Field `number` (from 1) of the log; "" when the log has fewer fields.
std::string Field(std::string_view log, int number) {
  std::string rest(log);
  for (int i = 1; i < number; ++i) NextToken(rest, ",");
  return FirstToken(rest, ",");
}

std::string StampOf(const std::string& field) { return FirstToken(field, "*"); }

std::int32_t CountOf(const std::string& field) {
  const std::size_t star = field.find('*');
  if (star == std::string::npos) return 0;
  return ToInt32(LeadingNumber(std::string_view(field).substr(star + 1)));
}

// A stamp and count field taken apart at its first "*"; count is "" without one.
struct StampAndCount {
  std::string stamp;
  std::string count;

  explicit StampAndCount(std::string field) : stamp(NextToken(field, "*")), count(std::move(field)) {}
};

// What a writer puts into the field: the new stamp or the new count, the other kept.
struct FieldChange {
  std::string_view newStamp;
  std::int32_t newCount = 0;
  bool changesStamp = false;

  // The rewritten field and whether anything is present in it.
  std::pair<std::string, bool> Apply(const StampAndCount& old) const {
    const std::string stamp = changesStamp ? std::string(newStamp) : old.stamp;
    const std::string count = changesStamp ? old.count : DecimalText(newCount);
    const bool countPresent = changesStamp ? !count.empty() : newCount >= 1;
    return {stamp + "*" + count, !stamp.empty() || countPresent};
  }
};

void RewriteModifyField(std::string& log, const FieldChange& change) {
  const std::string creation = NextToken(log, ",");
  const auto [field, present] = change.Apply(StampAndCount(NextToken(log, ",")));
  std::string rewritten = creation;
  if (!log.empty() || present) rewritten += ",";
  rewritten += field;
  if (!log.empty()) rewritten += "," + log;
  log = std::move(rewritten);
}

void RewriteViewField(std::string& log, const FieldChange& change) {
  const std::string creation = NextToken(log, ",");
  const std::string modification = NextToken(log, ",");
  const auto [field, present] = change.Apply(StampAndCount(NextToken(log, ",")));
  std::string rewritten = creation;
  if (!modification.empty() || present) rewritten += ",";
  rewritten += modification;
  if (present) rewritten += ",";
  rewritten += field;
  log = std::move(rewritten);
}

}  // namespace

std::string LogCreationStamp(std::string_view log) { return FirstToken(log, ","); }

std::string LogModifyStamp(std::string_view log) { return StampOf(Field(log, 2)); }

std::int32_t LogModifyCountOf(std::string_view log) { return CountOf(Field(log, 2)); }

std::string LogViewStamp(std::string_view log) { return StampOf(Field(log, 3)); }

std::int32_t LogViewCountOf(std::string_view log) { return CountOf(Field(log, 3)); }

void SetLogModifyStamp(std::string& log, std::string_view stamp) {
  RewriteModifyField(log, FieldChange{stamp, 0, true});
}

void SetLogModifyCount(std::string& log, std::int32_t count) {
  RewriteModifyField(log, FieldChange{{}, count, false});
}

void SetLogViewStamp(std::string& log, std::string_view stamp) {
  RewriteViewField(log, FieldChange{stamp, 0, true});
}

void SetLogViewCount(std::string& log, std::int32_t count) {
  RewriteViewField(log, FieldChange{{}, count, false});
}

}  // namespace zentora::excel

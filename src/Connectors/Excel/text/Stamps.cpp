#include "text/Stamps.h"

#include <cmath>
#include <cstdio>
#include <limits>

#include "Error.h"
#include "outside/Clock.h"
#include "text/Numbers.h"
#include "text/Search.h"
#include "text/Tokens.h"
#include "text/internal/Utf8.h"

namespace zentora::excel {
namespace {

// The leading number of a date part; 0 when it has none or is too large to read.
double PartNumber(std::string_view part) {
  try {
    return LeadingNumber(part);
  } catch (const Error&) {
    return 0;
  }
}

// `number` rounded halves to even, with at least `width` digits, zero-padded after the sign.
std::string Padded(double number, int width) {
  const double whole = RoundHalfEven(number);
  char digits[400];
  std::snprintf(digits, sizeof digits, "%0*.0f", width, std::fabs(whole));
  return whole < 0 ? std::string("-") + digits : std::string(digits);
}

}  // namespace

std::string NowStamp() {
  const LocalDateTime now = LocalNow();
  char stamp[64];
  std::snprintf(stamp, sizeof stamp, "%04d%02d%02d%02d%02d%02d", now.year, now.month, now.day, now.hour,
                now.minute, now.second);
  return stamp;
}

std::string NormalizeStamp(std::string_view dateText) {
  const std::size_t eightCharacters = detail::PrefixLength(dateText, 8);
  if (eightCharacters < dateText.size() && dateText[eightCharacters] == '-') {
    std::string stamp(dateText.substr(0, eightCharacters));
    stamp += dateText.substr(eightCharacters + 1);
    return stamp;
  }
  if (dateText.find_first_of(".:") == std::string_view::npos) return std::string(dateText);

  std::string rest(dateText);
  ReplaceText(rest, "/", ".", false, false);
  const double day = PartNumber(NextToken(rest, "."));
  const double month = PartNumber(NextToken(rest, "."));
  double year = RoundHalfEven(PartNumber(NextToken(rest, " ")));
  const double hour = PartNumber(NextToken(rest, ":"));
  const double minute = PartNumber(NextToken(rest, ":"));
  const double second = PartNumber(rest);
  if (year >= 1 && year <= 29) {
    year += 2000;
  } else if (year >= 30 && year <= 99) {
    year += 1900;
  }
  return Padded(year, 4) + Padded(month, 2) + Padded(day, 2) + Padded(hour, 2) + Padded(minute, 2) +
         Padded(second, 2);
}

std::int32_t StampSeconds(std::string_view dateText) {
  const std::string stamp = NormalizeStamp(dateText);
  const auto field = [&stamp](std::size_t first, std::size_t count) {
    return PartNumber(detail::CodePointSlice(stamp, first, count));
  };
  const double days = ((field(1, 4) - 1980) * 12 + field(5, 2)) * 31 + field(7, 2);
  const double seconds = days * 24 * 3600 + (field(9, 2) * 60 + field(11, 2)) * 60 + field(13, 2);
  try {
    return ToInt32(seconds);
  } catch (const Error&) {
    return 0;
  }
}

std::int32_t StampAge(std::string_view dateText) {
  if (dateText.empty()) return -1;
  const std::int64_t age = std::int64_t{StampSeconds(NowStamp())} - StampSeconds(dateText);
  if (age < std::numeric_limits<std::int32_t>::min() || age > std::numeric_limits<std::int32_t>::max()) {
    throw Error(ErrorCode::Overflow, "the age of the date \"" + std::string(dateText) + "\" exceeds 32 bits");
  }
  return static_cast<std::int32_t>(age);
}

}  // namespace zentora::excel

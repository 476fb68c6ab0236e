#include "NumberText.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>

namespace zentora::spreadsheet {
namespace {

struct CivilDate {
  std::int64_t year;
  unsigned month;
  unsigned day;
};

// The proleptic Gregorian date `days` after 1970-01-01.
CivilDate DateFromDays(std::int64_t days) {
  days += 719468;
  std::int64_t era = (days >= 0 ? days : days - 146096) / 146097;
  auto dayOfEra = static_cast<unsigned>(days - era * 146097);
  unsigned yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
  std::int64_t year = static_cast<std::int64_t>(yearOfEra) + era * 400;
  unsigned dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
  unsigned monthIndex = (5 * dayOfYear + 2) / 153;
  unsigned day = dayOfYear - (153 * monthIndex + 2) / 5 + 1;
  unsigned month = monthIndex < 10 ? monthIndex + 3 : monthIndex - 9;
  return {year + (month <= 2 ? 1 : 0), month, day};
}

std::string TimeText(std::int64_t seconds) {
  char buffer[16];
  std::snprintf(buffer, sizeof buffer, "%02d:%02d:%02d", static_cast<int>(seconds / 3600),
                static_cast<int>(seconds / 60 % 60), static_cast<int>(seconds % 60));
  return buffer;
}

}  // namespace

std::string GeneralNumberText(double value) {
  if (!std::isfinite(value)) return "#NUM!";
  if (value == 0) return "0";
  if (std::fabs(value) < 1e15 && value == std::trunc(value)) {
    char buffer[32];
    auto result = std::to_chars(buffer, buffer + sizeof buffer, static_cast<std::int64_t>(value));
    return std::string(buffer, result.ptr);
  }
  char buffer[40];
  std::snprintf(buffer, sizeof buffer, "%.15G", value);
  std::string text = buffer;
  // Drop trailing zeros of the mantissa: "1.50000000000000E+20" -> "1.5E+20".
  std::size_t exponent = text.find('E');
  std::string mantissa = text.substr(0, exponent);
  std::string tail = exponent == std::string::npos ? "" : text.substr(exponent);
  if (mantissa.find('.') != std::string::npos) {
    while (mantissa.back() == '0') mantissa.pop_back();
    if (mantissa.back() == '.') mantissa.pop_back();
  }
  return mantissa + tail;
}

std::string NumberText(double value, NumberKind kind, bool date1904) {
  // The largest serial the application shows as a date: 31.12.9999.
  if (kind == NumberKind::Plain || !std::isfinite(value) || value < 0 || value >= 2958466) {
    return GeneralNumberText(value);
  }
  auto totalSeconds = static_cast<std::int64_t>(std::llround(value * 86400.0));
  std::int64_t serial = totalSeconds / 86400;
  std::int64_t seconds = totalSeconds % 86400;
  if (kind == NumberKind::Time && serial == 0) return TimeText(seconds);
  char buffer[32];
  if (date1904) {
    CivilDate date = DateFromDays(serial - 24107);  // 1904-01-01 is day -24107 of 1970
    std::snprintf(buffer, sizeof buffer, "%02u.%02u.%04lld", date.day, date.month,
                  static_cast<long long>(date.year));
  } else if (serial == 60) {
    std::snprintf(buffer, sizeof buffer, "29.02.1900");  // the application's day that never was
  } else if (serial == 0) {
    std::snprintf(buffer, sizeof buffer, "00.01.1900");
  } else {
    // Serial 1 is 1900-01-01; from serial 61 on the fictitious 29.02.1900 is skipped.
    CivilDate date = DateFromDays(serial - (serial < 60 ? 25568 : 25569));
    std::snprintf(buffer, sizeof buffer, "%02u.%02u.%04lld", date.day, date.month,
                  static_cast<long long>(date.year));
  }
  std::string text = buffer;
  if (seconds != 0) text += " " + TimeText(seconds);
  return text;
}

}  // namespace zentora::spreadsheet

// Date stamps: 14 digits "yyyymmddhhmmss" in local time (20110302143015), the
// texts of dates in workbooks turned into stamps, and the 32-bit seconds count
// by which stamps are compared. The count takes every month as 31 days, so a
// difference of two counts is true seconds only within one month.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace zentora::excel {

// The stamp of the present local date and time of the clock in force (CurrentClock()).
std::string NowStamp();

// The stamp of a date text: "20110302-143015" loses its dash; a text without
// "." and ":" is returned as it is; otherwise the text is read as
// day.month.year hour:minute:second ("/" counting as ".", missing parts as 0,
// years 1-29 as 20xx and 30-99 as 19xx). Never fails.
std::string NormalizeStamp(std::string_view dateText);

// The seconds count of the stamp of a date text:
// ((((year - 1980) * 12 + month) * 31 + day) * 24 * 3600) + (hour * 60 + minute) * 60 + second;
// 0 when that does not fit 32 bits (from late September 2046, before 1913, no year). Never fails.
std::int32_t StampSeconds(std::string_view dateText);

// StampSeconds of NowStamp() minus StampSeconds of `dateText`; -1 for an empty text.
// Throws Overflow when the difference does not fit 32 bits.
std::int32_t StampAge(std::string_view dateText);

}  // namespace zentora::excel

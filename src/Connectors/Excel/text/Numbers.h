// Numbers as they are read from and written into cell texts: the leading
// decimal number of a text, whole numbers rounded halves to even into the
// 16- and 32-bit widths the component uses, and the decimal text of a number.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace zentora::excel {

// The decimal number `text` starts with: optional sign, digits, "." and
// fraction, exponent "E"/"D" with digits; spaces, tabs and line feeds are skipped
// anywhere in it ("12x" and " 1 2" give 12 and 12). 0 when the text starts with
// no number. Throws Overflow naming the text when the number exceeds a double.
double LeadingNumber(std::string_view text);

// The number in a text written with a decimal comma or point: with both "." and
// "," present the points are dropped as thousands separators, "," reads as ".",
// "%" is dropped ("1.234,6" gives 1234.6, "85%" gives 85). 0 when there is no
// number or it is too large for a double.
double ParseDecimal(std::string text);

// `value` rounded to the nearest whole number, halves to even (2.5 gives 2, 3.5 gives 4).
double RoundHalfEven(double value) noexcept;

// `value` rounded halves to even as a 16-bit integer; throws Overflow naming the value outside its range.
std::int16_t ToInt16(double value);

// `value` rounded halves to even as a 32-bit integer; throws Overflow naming the value outside its range.
std::int32_t ToInt32(double value);

// The decimal text of `value` ("-12", "0").
std::string DecimalText(std::int64_t value);

// The shortest text that reads back as `value` ("2.5", "1e+300"), for messages.
std::string NumberText(double value);

}  // namespace zentora::excel

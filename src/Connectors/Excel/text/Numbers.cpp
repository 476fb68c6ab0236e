#include "text/Numbers.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>
#include <system_error>

#include "Error.h"
#include "text/Search.h"

namespace zentora::excel {
namespace {

bool IsSkipped(char c) { return c == ' ' || c == '\t' || c == '\n'; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Reads the longest number at the start of `text` into its plain form
// ("-12.5e3"), dropping the blanks that may stand between its characters.
class NumberScanner {
 public:
  explicit NumberScanner(std::string_view text) : text_(text) {}

  std::string Scan() {
    std::string number;
    if (Peek() == '+' || Peek() == '-') number += Take();
    const std::size_t integerDigits = TakeDigits(number);
    std::size_t fractionDigits = 0;
    if (Peek() == '.') {
      Take();
      number += '.';
      fractionDigits = TakeDigits(number);
    }
    if (integerDigits + fractionDigits == 0) return "";
    TakeExponent(number);
    return number;
  }

 private:
  char Peek() {
    while (next_ < text_.size() && IsSkipped(text_[next_])) ++next_;
    return next_ < text_.size() ? text_[next_] : '\0';
  }
  char Take() { return text_[next_++]; }

  std::size_t TakeDigits(std::string& number) {
    std::size_t count = 0;
    while (IsDigit(Peek())) {
      number += Take();
      ++count;
    }
    return count;
  }

  // An exponent counts only when digits follow its letter and optional sign.
  void TakeExponent(std::string& number) {
    const char letter = Peek();
    if (letter != 'e' && letter != 'E' && letter != 'd' && letter != 'D') return;
    const std::size_t mark = next_;
    Take();
    std::string exponent = "e";
    if (Peek() == '+' || Peek() == '-') exponent += Take();
    if (TakeDigits(exponent) == 0) {
      next_ = mark;
      return;
    }
    number += exponent;
  }

  std::string_view text_;
  std::size_t next_ = 0;
};

// Whether a number that does not fit a double is too large (rather than too
// small): its first significant digit stands at a positive decimal exponent.
bool ExceedsDouble(const std::string& number) {
  const std::size_t exponentAt = number.find('e');
  const std::string mantissa = number.substr(0, exponentAt);
  long long exponent = 0;
  if (exponentAt != std::string::npos) {
    const char* first = number.data() + exponentAt + 1;
    if (*first == '+') ++first;
    if (std::from_chars(first, number.data() + number.size(), exponent).ec != std::errc()) {
      return number[exponentAt + 1] != '-';
    }
  }
  const std::size_t point = mantissa.find('.');
  const std::size_t firstSignificant = mantissa.find_first_of("123456789");
  if (firstSignificant == std::string::npos) return false;
  const std::size_t integerEnd = point == std::string::npos ? mantissa.size() : point;
  const long long scale = firstSignificant < integerEnd
                              ? static_cast<long long>(integerEnd - firstSignificant)
                              : -static_cast<long long>(firstSignificant - integerEnd - 1);
  return scale + exponent > 0;
}

template <typename Integer>
Integer RoundedTo(double value, const char* width) {
  const double rounded = RoundHalfEven(value);
  if (!(rounded >= std::numeric_limits<Integer>::min() && rounded <= std::numeric_limits<Integer>::max())) {
    throw Error(ErrorCode::Overflow,
                "the number " + NumberText(value) + " does not fit a " + width + " integer");
  }
  return static_cast<Integer>(rounded);
}

}  // namespace

double LeadingNumber(std::string_view text) {
  // Plain digits, as the row numbers of the identifier index are stored, need no scanning; nine
  // of them cannot overflow.
  if (!text.empty() && text.size() <= 9 && std::all_of(text.begin(), text.end(), IsDigit)) {
    std::uint32_t whole = 0;
    std::from_chars(text.data(), text.data() + text.size(), whole);
    return whole;
  }
  const std::string number = NumberScanner(text).Scan();
  if (number.empty()) return 0;
  const char* first = number.data();
  if (*first == '+') ++first;
  double value = 0;
  const auto [end, ec] = std::from_chars(first, number.data() + number.size(), value);
  if (ec == std::errc::result_out_of_range) {
    if (ExceedsDouble(number)) {
      throw Error(ErrorCode::Overflow, "the number in \"" + std::string(text) + "\" is too large");
    }
    return number[0] == '-' ? -0.0 : 0.0;
  }
  return value;
}

double ParseDecimal(std::string text) {
  if (text.find('.') != std::string::npos && text.find(',') != std::string::npos) {
    ReplaceText(text, ".", "", false, false);
  }
  ReplaceText(text, ",", ".", false, false);
  ReplaceText(text, "%", "", false, false);
  try {
    return LeadingNumber(text);
  } catch (const Error&) {
    return 0;
  }
}

double RoundHalfEven(double value) noexcept {
  const double down = std::floor(value);
  const double fraction = value - down;
  if (fraction > 0.5) return down + 1;
  if (fraction < 0.5) return down;
  return std::fmod(down, 2.0) == 0 ? down : down + 1;
}

std::int16_t ToInt16(double value) { return RoundedTo<std::int16_t>(value, "16-bit"); }

std::int32_t ToInt32(double value) { return RoundedTo<std::int32_t>(value, "32-bit"); }

std::string DecimalText(std::int64_t value) {
  char buffer[24];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
  return std::string(buffer, result.ptr);
}

std::string NumberText(double value) {
  char buffer[32];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
  return std::string(buffer, result.ptr);
}

}  // namespace zentora::excel

// Reading numbers and writing attributes, shared by the worksheet's reader, cell store and writer.
#pragma once

#include <charconv>
#include <string>
#include <string_view>
#include <system_error>

#include "../xml/XmlText.h"

namespace zentora::spreadsheet::detail {

// True when `text` is exactly a number of type Number (no spaces, no sign for unsigned types).
template <typename Number>
bool ParseNumber(std::string_view text, Number& value) {
  auto result = std::from_chars(text.data(), text.data() + text.size(), value);
  return result.ec == std::errc() && result.ptr == text.data() + text.size();
}

// A cell value's number: leading spaces and "+" and trailing spaces are allowed.
inline bool ParseDouble(std::string_view text, double& value) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '+')) text.remove_prefix(1);
  while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
  return !text.empty() && ParseNumber(text, value);
}

// Appends ` name="value"` with the value escaped.
inline void AppendAttribute(std::string& out, std::string_view name, std::string_view value) {
  out += ' ';
  out += name;
  out += "=\"";
  xml::AppendEscaped(out, value, true);
  out += '"';
}

}  // namespace zentora::spreadsheet::detail

#include "XmlText.h"

#include <cstdint>

namespace zentora::spreadsheet::xml {
namespace {

bool IsHex(char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); }

std::uint32_t HexValue(char c) {
  if (c >= '0' && c <= '9') return static_cast<std::uint32_t>(c - '0');
  return static_cast<std::uint32_t>((c | 0x20) - 'a' + 10);
}

// True when text[pos..] is `_xHHHH_`.
bool IsEscapeAt(std::string_view text, std::size_t pos) {
  return pos + 7 <= text.size() && text[pos] == '_' && text[pos + 1] == 'x' && IsHex(text[pos + 2]) &&
         IsHex(text[pos + 3]) && IsHex(text[pos + 4]) && IsHex(text[pos + 5]) && text[pos + 6] == '_';
}

std::uint32_t EscapeValue(std::string_view text, std::size_t pos) {
  return HexValue(text[pos + 2]) << 12 | HexValue(text[pos + 3]) << 8 | HexValue(text[pos + 4]) << 4 |
         HexValue(text[pos + 5]);
}

void AppendEscapeCode(std::string& out, std::uint32_t code) {
  static const char kDigits[] = "0123456789ABCDEF";
  out += "_x";
  out.push_back(kDigits[(code >> 12) & 0xF]);
  out.push_back(kDigits[(code >> 8) & 0xF]);
  out.push_back(kDigits[(code >> 4) & 0xF]);
  out.push_back(kDigits[code & 0xF]);
  out.push_back('_');
}

void AppendUtf8(std::string& out, std::uint32_t code) {
  if (code < 0x80) {
    out.push_back(static_cast<char>(code));
  } else if (code < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (code >> 6)));
    out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
  } else if (code < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (code >> 12)));
    out.push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (code >> 18)));
    out.push_back(static_cast<char>(0x80 | ((code >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
  }
}

}  // namespace

void AppendEscaped(std::string& out, std::string_view text, bool attribute) {
  std::size_t start = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char* entity = nullptr;
    switch (text[i]) {
      case '&':
        entity = "&amp;";
        break;
      case '<':
        entity = "&lt;";
        break;
      case '>':
        entity = "&gt;";
        break;
      case '"':
        entity = attribute ? "&quot;" : nullptr;
        break;
      case '\n':
        entity = attribute ? "&#10;" : nullptr;
        break;
      case '\t':
        entity = attribute ? "&#9;" : nullptr;
        break;
      case '\r':
        entity = "&#13;";
        break;
      default:
        break;
    }
    if (entity == nullptr) continue;
    out.append(text.data() + start, i - start);
    out += entity;
    start = i + 1;
  }
  out.append(text.data() + start, text.size() - start);
}

void AppendCellText(std::string& out, std::string_view text) {
  std::size_t start = 0;
  auto flush = [&](std::size_t end) { out.append(text.data() + start, end - start); };
  for (std::size_t i = 0; i < text.size(); ++i) {
    unsigned char c = static_cast<unsigned char>(text[i]);
    if (c == '_' && IsEscapeAt(text, i)) {
      flush(i);
      out += "_x005F_";
      start = i + 1;
    } else if ((c < 0x20 && c != '\t' && c != '\n') || c == 0x7F) {
      flush(i);
      AppendEscapeCode(out, c);
      start = i + 1;
    } else if (c == 0xEF && i + 2 < text.size() && static_cast<unsigned char>(text[i + 1]) == 0xBF &&
               (static_cast<unsigned char>(text[i + 2]) == 0xBE ||
                static_cast<unsigned char>(text[i + 2]) == 0xBF)) {
      flush(i);
      AppendEscapeCode(out, static_cast<unsigned char>(text[i + 2]) == 0xBE ? 0xFFFEu : 0xFFFFu);
      start = i + 3;
      i += 2;
    } else if (c == '&' || c == '<' || c == '>') {
      flush(i);
      out += c == '&' ? "&amp;" : c == '<' ? "&lt;" : "&gt;";
      start = i + 1;
    }
  }
  flush(text.size());
}

void AppendDecodedCellText(std::string& out, std::string_view stored) {
  std::size_t start = 0;
  std::size_t i = stored.find('_');
  while (i != std::string_view::npos) {
    if (!IsEscapeAt(stored, i)) {
      i = stored.find('_', i + 1);
      continue;
    }
    out.append(stored.data() + start, i - start);
    std::uint32_t code = EscapeValue(stored, i);
    std::size_t next = i + 7;
    if (code >= 0xD800 && code <= 0xDBFF && IsEscapeAt(stored, next)) {
      std::uint32_t low = EscapeValue(stored, next);
      if (low >= 0xDC00 && low <= 0xDFFF) {
        code = 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00);
        next += 7;
      }
    }
    if (code >= 0xD800 && code <= 0xDFFF) code = 0xFFFD;  // a lone surrogate has no UTF-8 form
    AppendUtf8(out, code);
    start = next;
    i = stored.find('_', next);
  }
  out.append(stored.data() + start, stored.size() - start);
}

bool IsValidUtf8(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size()) {
    unsigned char c = static_cast<unsigned char>(text[i]);
    if (c < 0x80) {
      ++i;
      continue;
    }
    std::size_t length;
    std::uint32_t code;
    if (c >= 0xC2 && c <= 0xDF) {
      length = 2;
      code = c & 0x1Fu;
    } else if (c >= 0xE0 && c <= 0xEF) {
      length = 3;
      code = c & 0x0Fu;
    } else if (c >= 0xF0 && c <= 0xF4) {
      length = 4;
      code = c & 0x07u;
    } else {
      return false;
    }
    if (i + length > text.size()) return false;
    for (std::size_t k = 1; k < length; ++k) {
      unsigned char next = static_cast<unsigned char>(text[i + k]);
      if ((next & 0xC0) != 0x80) return false;
      code = code << 6 | (next & 0x3Fu);
    }
    if ((length == 3 && code < 0x800) || (length == 4 && (code < 0x10000 || code > 0x10FFFF)) ||
        (code >= 0xD800 && code <= 0xDFFF)) {
      return false;
    }
    i += length;
  }
  return true;
}

std::size_t Utf16Length(std::string_view text) {
  std::size_t units = 0;
  for (char ch : text) {
    unsigned char c = static_cast<unsigned char>(ch);
    if ((c & 0xC0) != 0x80) ++units;  // one unit per lead byte
    if (c >= 0xF0) ++units;           // four-byte sequences need a surrogate pair
  }
  return units;
}

bool NeedsPreserveSpace(std::string_view text) {
  if (text.empty()) return false;
  auto isSpace = [](char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; };
  return isSpace(text.front()) || isSpace(text.back());
}

}  // namespace zentora::spreadsheet::xml

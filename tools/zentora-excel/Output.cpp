#include "Output.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include <sys/ioctl.h>
#include <unistd.h>

namespace zentora::cli {
namespace {

bool IsControl(char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7F; }
bool ContinuesCharacter(char c) { return (static_cast<unsigned char>(c) & 0xC0) == 0x80; }
bool IsLineBreakPair(std::string_view text, std::size_t at) {
  return text[at] == '\r' && at + 1 < text.size() && text[at + 1] == '\n';
}

// The characters `text` shows in a table cell, where a line break or control character shows as
// one (a CR LF pair too): its bytes that start a character, counted eight at a time, less the pairs.
std::size_t ShownCharacters(std::string_view text) {
  constexpr std::uint64_t kHighBits = 0x8080808080808080U;
  std::size_t continuing = 0;
  std::size_t at = 0;
  for (; at + 8 <= text.size(); at += 8) {
    std::uint64_t bytes;
    std::memcpy(&bytes, text.data() + at, 8);
    // Bit 7 of a byte that continues a character is set and its bit 6 is not; the multiplication
    // sums the eight flags into the top byte.
    const std::uint64_t flags = (bytes & ~(bytes << 1) & kHighBits) >> 7;
    continuing += static_cast<std::size_t>((flags * 0x0101010101010101U) >> 56);
  }
  for (; at < text.size(); ++at) continuing += ContinuesCharacter(text[at]) ? 1U : 0U;
  std::size_t characters = text.size() - continuing;
  for (auto cr = text.find('\r'); cr != std::string_view::npos; cr = text.find('\r', cr + 1)) {
    if (IsLineBreakPair(text, cr)) --characters;
  }
  return characters;
}

// Appends the bytes of `text` before `end` as they show in a table cell: line breaks as "⏎", other
// control characters as "·".
void AppendShown(std::string& line, std::string_view text, std::size_t end) {
  for (std::size_t at = 0; at < end; ++at) {
    const char c = text[at];
    if (IsLineBreakPair(text, at)) continue;
    if (c == '\n' || c == '\r') {
      line += "⏎";
    } else if (IsControl(c)) {
      line += "·";
    } else {
      line += c;
    }
  }
}

// Appends `text` as it shows in a table cell, cut to `width` characters: a longer text keeps
// `width` - 1 and ends in "…". Reads no further than the character after the width. Returns the
// characters appended.
std::size_t AppendCell(std::string& line, std::string_view text, std::size_t width) {
  std::size_t characters = 0;
  std::size_t lastStart = 0;  // where the last character counted starts
  std::size_t end = 0;
  bool plain = true;
  for (; end < text.size(); ++end) {
    const char c = text[end];
    if (ContinuesCharacter(c)) continue;
    if (IsControl(c)) {
      plain = false;
      if (IsLineBreakPair(text, end)) continue;
    }
    if (characters == width) break;
    ++characters;
    lastStart = end;
  }
  if (end == text.size()) {
    if (plain) {
      line += text;
    } else {
      AppendShown(line, text, end);
    }
    return characters;
  }
  if (width == 0) return 0;
  // Cut: the last character counted gives way to "…".
  if (plain) {
    line += text.substr(0, lastStart);
  } else {
    AppendShown(line, text, lastStart);
  }
  line += "…";
  return characters;
}

// Appends `text` as JsonString gives it, copying the runs that need no escape in one piece.
void AppendJsonString(std::string& json, std::string_view text) {
  json += '"';
  std::size_t plainFrom = 0;
  for (std::size_t at = 0; at < text.size(); ++at) {
    const char c = text[at];
    const auto byte = static_cast<unsigned char>(c);
    if (byte >= 0x20 && byte != 0x7F && c != '"' && c != '\\') continue;
    json.append(text.substr(plainFrom, at - plainFrom));
    plainFrom = at + 1;
    switch (c) {
      case '"':
        json += "\\\"";
        break;
      case '\\':
        json += "\\\\";
        break;
      case '\n':
        json += "\\n";
        break;
      case '\r':
        json += "\\r";
        break;
      case '\t':
        json += "\\t";
        break;
      case '\b':
        json += "\\b";
        break;
      case '\f':
        json += "\\f";
        break;
      default: {
        char escaped[8];
        std::snprintf(escaped, sizeof escaped, "\\u%04X", byte);
        json += escaped;
      }
    }
  }
  json.append(text.substr(plainFrom));
  json += '"';
}

}  // namespace

std::string JsonString(std::string_view text) {
  std::string json;
  AppendJsonString(json, text);
  return json;
}

void WriteJsonObjects(std::ostream& out, const TableRows& table) {
  std::vector<std::string> cells;
  table.row(0, cells);
  std::vector<std::string> keys;
  for (const std::string& heading : cells) keys.push_back(JsonString(heading) + ": ");
  out << "[";
  std::string line;
  for (std::size_t row = 1; row < table.rows && out; ++row) {
    table.row(row, cells);
    line = row == 1 ? "\n  {" : ",\n  {";
    for (std::size_t column = 0; column < keys.size(); ++column) {
      if (column > 0) line += ", ";
      line += keys[column];
      AppendJsonString(line, cells[column]);
    }
    line += '}';
    out << line;
  }
  out << (table.rows <= 1 ? "]\n" : "\n]\n");
}

std::string TableCell(std::string_view text) {
  std::string cell;
  AppendCell(cell, text, SIZE_MAX);
  return cell;
}

void WriteTable(std::ostream& out, const TableRows& table, std::size_t width) {
  std::vector<std::string> cells;
  std::vector<std::size_t> widths(table.columns, 0);
  for (std::size_t row = 0; row < table.rows; ++row) {
    table.row(row, cells);
    for (std::size_t column = 0; column < widths.size(); ++column) {
      widths[column] = std::max(widths[column], ShownCharacters(cells[column]));
    }
  }
  const std::size_t separators = widths.empty() ? 0 : 2 * (widths.size() - 1);
  const auto lineWidth = [&](std::size_t cap) {
    std::size_t total = separators;
    for (const std::size_t natural : widths) total += std::min(natural, cap);
    return total;
  };
  bool cutLines = false;
  if (width != 0 && lineWidth(SIZE_MAX) > width) {
    // The largest cap on column widths with which a line still fits; at least one character.
    std::size_t low = 1;
    std::size_t high = *std::max_element(widths.begin(), widths.end());
    while (low < high) {
      const std::size_t middle = low + (high - low + 1) / 2;
      if (lineWidth(middle) <= width) {
        low = middle;
      } else {
        high = middle - 1;
      }
    }
    for (std::size_t& natural : widths) natural = std::min(natural, low);
    cutLines = lineWidth(low) > width;
  }
  std::string line;
  std::string cutLine;
  const auto writeRow = [&] {
    line.clear();
    for (std::size_t column = 0; column < widths.size(); ++column) {
      if (column > 0) line += "  ";
      const std::size_t characters = AppendCell(line, cells[column], widths[column]);
      if (column + 1 < widths.size()) line.append(widths[column] - characters, ' ');
    }
    line.erase(line.find_last_not_of(' ') + 1);
    if (cutLines) {
      cutLine.clear();
      AppendCell(cutLine, line, width);
      line.swap(cutLine);
    }
    line += '\n';
    out << line;
  };
  for (std::size_t row = 0; row < table.rows && out; ++row) {
    table.row(row, cells);
    writeRow();
    if (row == 0) {
      for (std::size_t column = 0; column < widths.size(); ++column)
        cells[column].assign(widths[column], '-');
      writeRow();
    }
  }
}

std::size_t OutputWidth() {
  winsize size{};
  if (isatty(STDOUT_FILENO) == 1 && ioctl(STDOUT_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 0) {
    return size.ws_col;
  }
  return kDefaultWidth;
}

}  // namespace zentora::cli

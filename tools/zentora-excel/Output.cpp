#include "Output.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>

#include <sys/ioctl.h>
#include <unistd.h>

namespace zentora::cli {
namespace {

// Characters of a UTF-8 text: every byte that does not continue a sequence.
std::size_t CharacterCount(std::string_view text) {
  return static_cast<std::size_t>(std::count_if(
      text.begin(), text.end(), [](char c) { return (static_cast<unsigned char>(c) & 0xC0) != 0x80; }));
}

// `text` when it has at most `characters` characters, else its first `characters` - 1 followed by "…".
std::string Cut(const std::string& text, std::size_t characters) {
  if (CharacterCount(text) <= characters) return text;
  if (characters == 0) return "";
  std::size_t kept = 0;
  std::size_t end = 0;
  for (; end < text.size(); ++end) {
    if ((static_cast<unsigned char>(text[end]) & 0xC0) != 0x80 && kept++ == characters - 1) break;
  }
  return text.substr(0, end) + "…";
}

}  // namespace

std::string JsonString(std::string_view text) {
  std::string json = "\"";
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
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
      default:
        if (byte < 0x20 || byte == 0x7F) {
          char escaped[8];
          std::snprintf(escaped, sizeof escaped, "\\u%04X", byte);
          json += escaped;
        } else {
          json += c;
        }
    }
  }
  return json + "\"";
}

void WriteJsonObjects(std::ostream& out, const TableCells& table) {
  std::vector<std::string> keys;
  for (std::size_t column = 0; column < table.columns; ++column)
    keys.push_back(JsonString(table.cell(0, column)));
  out << "[";
  for (std::size_t row = 1; row < table.rows; ++row) {
    out << (row == 1 ? "\n  {" : ",\n  {");
    for (std::size_t column = 0; column < table.columns; ++column) {
      out << (column == 0 ? "" : ", ") << keys[column] << ": " << JsonString(table.cell(row, column));
    }
    out << "}";
  }
  out << (table.rows <= 1 ? "]\n" : "\n]\n");
}

std::string TableCell(std::string_view text) {
  std::string cell(text);
  MakeTableCell(cell);
  return cell;
}

void MakeTableCell(std::string& text) {
  const auto isControl = [](char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7F; };
  const auto first = std::find_if(text.begin(), text.end(), isControl);
  if (first == text.end()) return;  // the common case: the text stands as it is, uncopied
  std::string cell(text.begin(), first);
  for (auto at = first; at != text.end(); ++at) {
    if (*at == '\r' && at + 1 != text.end() && at[1] == '\n') continue;
    if (*at == '\n' || *at == '\r') {
      cell += "⏎";
    } else if (isControl(*at)) {
      cell += "·";
    } else {
      cell += *at;
    }
  }
  text = std::move(cell);
}

void WriteTable(std::ostream& out, const TableCells& table, std::size_t width) {
  std::vector<std::size_t> widths(table.columns, 0);
  for (std::size_t row = 0; row < table.rows; ++row) {
    for (std::size_t column = 0; column < table.columns; ++column) {
      widths[column] = std::max(widths[column], CharacterCount(table.cell(row, column)));
    }
  }
  const std::size_t separators = widths.empty() ? 0 : 2 * (widths.size() - 1);
  const auto lineWidth = [&](std::size_t cap) {
    std::size_t total = separators;
    for (const std::size_t natural : widths) total += std::min(natural, cap);
    return total;
  };
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
  }
  std::string line;
  const auto writeRow = [&](const std::function<std::string(std::size_t)>& cellOf) {
    line.clear();
    for (std::size_t column = 0; column < widths.size(); ++column) {
      if (column > 0) line += "  ";
      const std::string cell = Cut(cellOf(column), widths[column]);
      line += cell;
      if (column + 1 < widths.size()) line.append(widths[column] - CharacterCount(cell), ' ');
    }
    line.erase(line.find_last_not_of(' ') + 1);
    out << (width == 0 ? line : Cut(line, width)) << '\n';
  };
  for (std::size_t row = 0; row < table.rows; ++row) {
    writeRow([&](std::size_t column) { return table.cell(row, column); });
    if (row == 0) writeRow([&](std::size_t column) { return std::string(widths[column], '-'); });
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

#include "Output.h"

#include <algorithm>
#include <cstdio>

namespace zentora::cli {
namespace {

// Characters of a UTF-8 text: every byte that does not continue a sequence.
std::size_t CharacterCount(std::string_view text) {
  return static_cast<std::size_t>(std::count_if(
      text.begin(), text.end(), [](char c) { return (static_cast<unsigned char>(c) & 0xC0) != 0x80; }));
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

std::string TableCell(std::string_view text) {
  std::string cell;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const auto byte = static_cast<unsigned char>(text[i]);
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
    if (text[i] == '\n' || text[i] == '\r') {
      cell += "⏎";
    } else if (byte < 0x20 || byte == 0x7F) {
      cell += "·";
    } else {
      cell += text[i];
    }
  }
  return cell;
}

void WriteTable(std::ostream& out, const std::vector<std::vector<std::string>>& rows) {
  std::vector<std::size_t> widths;
  for (const auto& row : rows) {
    widths.resize(std::max(widths.size(), row.size()));
    for (std::size_t column = 0; column < row.size(); ++column) {
      widths[column] = std::max(widths[column], CharacterCount(row[column]));
    }
  }
  const auto writeRow = [&](const std::vector<std::string>& row) {
    std::string line;
    for (std::size_t column = 0; column < row.size(); ++column) {
      if (column > 0) line += "  ";
      line += row[column];
      if (column + 1 < row.size()) line.append(widths[column] - CharacterCount(row[column]), ' ');
    }
    line.erase(line.find_last_not_of(' ') + 1);
    out << line << '\n';
  };
  for (std::size_t index = 0; index < rows.size(); ++index) {
    writeRow(rows[index]);
    if (index == 0) {
      std::vector<std::string> rule;
      for (const std::size_t width : widths) rule.emplace_back(width, '-');
      writeRow(rule);
    }
  }
}

}  // namespace zentora::cli

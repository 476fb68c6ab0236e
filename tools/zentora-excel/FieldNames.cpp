#include "FieldNames.h"

#include <algorithm>
#include <numeric>

#include "text/Numbers.h"
#include "text/Search.h"

namespace zentora::cli {
namespace {

// Edits (insert, delete, replace one byte) that turn `a` into `b`, in O(|a| |b|) time and O(|b|) room.
std::size_t EditDistance(const std::string& a, const std::string& b) {
  std::vector<std::size_t> previous(b.size() + 1);
  std::iota(previous.begin(), previous.end(), std::size_t{0});
  std::vector<std::size_t> current(b.size() + 1);
  for (std::size_t i = 1; i <= a.size(); ++i) {
    current[0] = i;
    for (std::size_t j = 1; j <= b.size(); ++j) {
      current[j] =
          std::min({previous[j] + 1, current[j - 1] + 1, previous[j - 1] + (a[i - 1] == b[j - 1] ? 0 : 1)});
    }
    std::swap(previous, current);
  }
  return previous[b.size()];
}

}  // namespace

std::string DataFieldName(const std::string& name) { return name.starts_with('$') ? name.substr(1) : name; }

std::int32_t ColumnOfField(excel::Location& location, const std::string& name) {
  const FixedField* fixed = FixedFieldNamed(name);
  return location.GetField(fixed != nullptr ? std::string(fixed->name) : "$" + DataFieldName(name));
}

std::string NoColumnMessage(excel::Location& location, const std::string& book, const std::string& name) {
  excel::ExcelWorksheet& sheet = location.ItemSheet();
  const std::string wanted = excel::AsciiLower(DataFieldName(name));
  struct Candidate {
    std::size_t distance;
    std::int32_t column;
    std::string heading;
  };
  std::vector<Candidate> candidates;
  for (std::int32_t column = 1; column <= location.ColumnCount(); ++column) {
    std::string heading = sheet.CellText(1, column);
    if (heading.empty()) continue;
    candidates.push_back({EditDistance(wanted, excel::AsciiLower(heading)), column, std::move(heading)});
  }
  // Headings within a few edits of the name when there are any; the nearest three otherwise.
  const std::size_t near = std::max<std::size_t>(2, wanted.size() / 3);
  const auto within = std::count_if(candidates.begin(), candidates.end(), [near](const Candidate& candidate) {
    return candidate.distance <= near;
  });
  const std::size_t shown =
      std::min<std::size_t>(3, within > 0 ? static_cast<std::size_t>(within) : candidates.size());
  std::partial_sort(candidates.begin(), candidates.begin() + static_cast<std::ptrdiff_t>(shown),
                    candidates.end(), [](const Candidate& a, const Candidate& b) {
                      return a.distance != b.distance ? a.distance < b.distance : a.column < b.column;
                    });
  std::string message = "no column \"" + name + "\" in " + book + ", sheet \"" + sheet.Name() + "\"";
  for (std::size_t index = 0; index < shown; ++index) {
    message += (index == 0 ? "; the closest headings are \"" : ", \"") + candidates[index].heading +
               "\" (column " + excel::ColumnLetter(candidates[index].column) + ")";
  }
  return message;
}

}  // namespace zentora::cli

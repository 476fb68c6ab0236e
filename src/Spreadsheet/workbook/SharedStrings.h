// The workbook's shared string table, read once into one text arena with an
// offset per entry. The engine never renumbers or appends entries: cells it
// writes carry inline strings, so the table part is copied unchanged on save
// and every other sheet's indexes stay valid.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace zentora::spreadsheet {

class Package;

class SharedStrings {
 public:
  // An empty table (a workbook without a shared-strings part).
  SharedStrings() = default;
  // Streams the part `partName` of `package`: rich-text runs are joined, phonetic runs skipped,
  // `_xHHHH_` escapes decoded. Throws NotAWorkbook / LimitExceeded naming the part and offset.
  SharedStrings(Package& package, const std::string& partName);

  // The number of entries.
  std::size_t size() const { return offsets_.empty() ? 0 : offsets_.size() - 1; }
  // Entry `index` (< size()).
  std::string_view at(std::size_t index) const {
    return std::string_view(arena_).substr(offsets_[index], offsets_[index + 1] - offsets_[index]);
  }

 private:
  std::string arena_;
  std::vector<std::uint32_t> offsets_;
};

}  // namespace zentora::spreadsheet

// What opening a workbook writes into it, seen before anything is saved: the
// store's spreadsheet application is wrapped, and every cell text written
// while the watch is on is counted. Loading writes only an appended "ID"
// heading and new identifiers (besides the text format), so the count is what
// a first opening changes. With `dryRun`, the wrapped workbooks are never saved.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "location/Location.h"

namespace zentora::cli {

// The cell texts written while the watch was on.
struct LoadingChanges {
  std::string sheet;                                           // the sheet written to; "" when none was
  std::vector<std::pair<std::int32_t, std::string>> headings;  // (column, text) written into row 1
  std::int32_t rowCells = 0;                                   // cells written below row 1
  std::int32_t firstRow = 0;                                   // first and last row of those cells
  std::int32_t lastRow = 0;
};

class LoadingWatch {
 public:
  LoadingWatch(excel::Location::ApplicationFactory startApplication, bool dryRun);

  // The factory to hand the store: it starts the wrapped application.
  excel::Location::ApplicationFactory Factory() const;
  // Stops counting; what was counted so far stays in changes().
  void Stop();
  const LoadingChanges& changes() const;

  // Shared with the wrappers, which may outlive the watch inside the store.
  struct State {
    bool watching = true;
    bool dryRun = false;
    LoadingChanges changes;
  };

 private:
  excel::Location::ApplicationFactory startApplication_;
  std::shared_ptr<State> state_;
};

// One line for people saying what loading changes in `book` ("" when it changed nothing).
std::string DescribeLoadingChanges(const LoadingChanges& changes, const std::string& book, bool dryRun);

}  // namespace zentora::cli

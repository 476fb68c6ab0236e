// The fixture of the component tests: a host location object, a recording
// notification service for the thread, a temporary folder, and the project's
// spreadsheet engine behind a recording, fault-injecting layer.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "Error.h"
#include "HostLocationObject.h"
#include "NotificationService.h"
#include "RecordingSpreadsheet.h"
#include "Workbooks.h"
#include "location/Location.h"

namespace zentora::excel::testing {

// Expects `action` to throw an Error with `code` whose message contains `fragment`.
template <typename Action>
void ExpectError(Action action, ErrorCode code, const std::string& fragment = "") {
  try {
    action();
    ADD_FAILURE() << "no Error was thrown";
  } catch (const Error& error) {
    EXPECT_EQ(error.code(), code) << error.what();
    EXPECT_NE(std::string(error.what()).find(fragment), std::string::npos) << error.what();
  }
}

using Texts = std::vector<std::string>;
using Numbers = std::vector<std::int32_t>;

// The keys of `collection` in entry order ("" for entries without a key).
template <typename Value>
std::vector<std::string> Keys(const KeyedCollection<Value>& collection) {
  std::vector<std::string> keys;
  for (std::int32_t i = 1; i <= collection.Count(); ++i) keys.emplace_back(collection.KeyAt(i));
  return keys;
}

// The entries of `collection` in order, each "key=value", or only the value where it has no key.
inline std::vector<std::string> Entries(const KeyedCollection<std::string>& collection) {
  std::vector<std::string> entries;
  for (std::int32_t i = 1; i <= collection.Count(); ++i)
    entries.push_back(collection.KeyAt(i).empty()
                          ? collection.At(i)
                          : std::string(collection.KeyAt(i)) + "=" + collection.At(i));
  return entries;
}

class ComponentTest : public ::testing::Test {
 protected:
  void SetUp() override { host::ReplaceThreadNotificationService(service); }
  void TearDown() override { host::ReplaceThreadNotificationService(nullptr); }

  // Starts recorded engine applications.
  Location::ApplicationFactory Factory() {
    return [this] { return StartRecorded(record); };
  }
  // Saves `grid` as the workbook `name` in the temporary folder; returns its path.
  std::string Book(const std::string& name, const Grid& grid) {
    WriteWorkbook(*CreateExcelApplication(), folder.Path(name), grid);
    return folder.Path(name);
  }
  // A location on `path`, with the fixture's host location object, opened.
  std::shared_ptr<Location> Open(const std::string& path) {
    auto location = Location::Create(Factory());
    location->LocObject = hostLocation;
    location->OpenLocation(path);
    return location;
  }
  // The cells of the workbook at `path`, rows 1..rows, columns 1..columns.
  Grid Read(const std::string& path, std::int32_t rows, std::int32_t columns) {
    return ReadWorkbook(*CreateExcelApplication(), path, rows, columns);
  }
  // The codes of the notifications recorded so far.
  std::vector<std::int32_t> Codes() const {
    std::vector<std::int32_t> codes;
    for (const auto& notification : service->Notifications()) codes.push_back(notification.code);
    return codes;
  }

  TempFolder folder;
  std::shared_ptr<SpreadsheetRecord> record = std::make_shared<SpreadsheetRecord>();
  std::shared_ptr<host::HostLocationObject> hostLocation =
      std::make_shared<host::HostLocationObject>("zentora://test/Adressen");
  std::shared_ptr<host::RecordingNotificationService> service =
      std::make_shared<host::RecordingNotificationService>("tester");
};

}  // namespace zentora::excel::testing

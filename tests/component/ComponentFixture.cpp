#include "ComponentFixture.h"

namespace zentora::excel::testing {

void ComponentTest::SetUp() { host::ReplaceThreadNotificationService(service); }

void ComponentTest::TearDown() { host::ReplaceThreadNotificationService(nullptr); }

Location::ApplicationFactory ComponentTest::Factory() {
  return [this] { return StartRecorded(record); };
}

std::string ComponentTest::Book(const std::string& name, const Grid& grid) {
  const std::string path = folder.Path(name);
  const auto application = CreateExcelApplication();
  WriteWorkbook(*application, path, grid);
  application->Quit();
  return path;
}

std::shared_ptr<Location> ComponentTest::Open(const std::string& path) {
  auto location = Location::Create(Factory());
  location->LocObject = hostLocation;
  location->OpenLocation(path);
  return location;
}

Grid ComponentTest::Read(const std::string& path, std::int32_t rows, std::int32_t columns) {
  const auto application = CreateExcelApplication();
  Grid grid = ReadWorkbook(*application, path, rows, columns);
  application->Quit();
  return grid;
}

std::vector<std::int32_t> ComponentTest::Codes() const {
  std::vector<std::int32_t> codes;
  for (const auto& notification : service->Notifications()) codes.push_back(notification.code);
  return codes;
}

}  // namespace zentora::excel::testing

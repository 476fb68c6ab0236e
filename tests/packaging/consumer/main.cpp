// Lists the store BOOK as a host does, through the installed headers and libraries: one line of
// ID, text and "Ort" per item. A failure ends it with the component's exception.
#include <zentora/Connectors/Excel/location/Location.h>
#include <zentora/Host/HostLocationObject.h>
#include <zentora/Host/NotificationService.h>

#include <iostream>
#include <memory>
#include <string>

int main(int /*argc*/, char** argv) {
  using namespace zentora;
  const std::string book = argv[1];
  host::ReplaceThreadNotificationService(std::make_shared<host::RecordingNotificationService>());
  auto location = excel::Location::Create();
  location->LocObject = std::make_shared<host::HostLocationObject>("file://" + book);
  location->OpenLocation(book);
  for (std::int32_t position = 1; position <= location->Count(); ++position) {
    auto item = location->Item(position);
    std::cout << item->Item_ID() << '|' << item->Item_Text() << '|' << item->Item_DataText("Ort") << '\n';
  }
  location->Disconnect();
}

// Lists a store as a host does, through the installed headers and libraries: ID, text and "Ort".
#include <zentora/Connectors/Excel/Error.h>
#include <zentora/Connectors/Excel/location/Location.h>
#include <zentora/Host/HostLocationObject.h>
#include <zentora/Host/NotificationService.h>

#include <iostream>
#include <memory>
#include <string>

int main(int argc, char** argv) {
  using namespace zentora;
  if (argc != 2) {
    std::cerr << "usage: list-store BOOK\n";
    return 2;
  }
  const std::string book = argv[1];
  host::ReplaceThreadNotificationService(std::make_shared<host::RecordingNotificationService>());
  try {
    auto location = excel::Location::Create();
    location->LocObject = std::make_shared<host::HostLocationObject>("file://" + book);
    location->OpenLocation(book);
    for (std::int32_t position = 1; position <= location->Count(); ++position) {
      auto item = location->Item(position);
      std::cout << item->Item_ID() << '|' << item->Item_Text() << '|' << item->Item_DataText("Ort") << '\n';
    }
    location->Disconnect();
  } catch (const excel::Error& error) {
    std::cerr << "list-store: " << error.what() << '\n';
    return 1;
  }
}

// Reads arbitrary bytes through the XML stream, whole and in three chunks, and through expat alone: the
// events, their offsets and whether the document is refused must be the same.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <iostream>

#include "xml/XmlEvents.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace zentora::spreadsheet::testing;
  const std::string_view document(reinterpret_cast<const char*>(data), size);
  const std::string expected = ExpatEvents(document);
  for (const std::vector<std::size_t>& cuts : {std::vector<std::size_t>{}, {size / 3, 2 * size / 3}}) {
    const std::string events = StreamEvents(document, cuts);
    if (events != expected) {
      std::cerr << "expat: " << expected << "\nstream: " << events << "\n";
      std::abort();
    }
  }
  return 0;
}

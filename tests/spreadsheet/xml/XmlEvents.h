// What a document reads as: through XmlStream in chunks, and through expat alone, in one comparable text
// (tags with their byte offsets and attributes, text runs joined), or "refused".
#pragma once

#include <expat.h>

#include <string>
#include <string_view>
#include <vector>

#include "Spreadsheet/Error.h"
#include "Spreadsheet/xml/XmlStream.h"

namespace zentora::spreadsheet::testing {

class XmlEvents : public xml::XmlHandler {
 public:
  explicit XmlEvents(const xml::XmlStream* stream = nullptr) : stream_(stream) {}
  void StartElement(std::string_view name, const char** attributes) override {
    Tag("<", name);
    for (std::size_t i = 0; attributes[i] != nullptr; i += 2)
      log += std::string(" ") + attributes[i] + "=" + attributes[i + 1];
  }
  void EndElement(std::string_view name) override { Tag("</", name); }
  void Characters(std::string_view text) override { text_ += text; }
  std::string Log() {
    Tag("", "");
    return log;
  }

  std::string log;
  const xml::XmlStream* stream_;
  XML_Parser parser_ = nullptr;

 private:
  void Tag(std::string_view kind, std::string_view name) {
    if (!text_.empty()) log += "[" + text_ + "]";
    text_.clear();
    if (kind.empty()) return;
    const auto offset = stream_ != nullptr ? stream_->EventOffset()
                                           : static_cast<std::uint64_t>(XML_GetCurrentByteIndex(parser_));
    log += std::string(kind) + std::string(name) + "@" + std::to_string(offset);
  }
  std::string text_;
};

// The document fed to an XmlStream in chunks that end at `cuts` (ascending offsets).
inline std::string StreamEvents(std::string_view document, const std::vector<std::size_t>& cuts) {
  XmlEvents events;
  xml::XmlStream stream("test", events);
  events.stream_ = &stream;
  try {
    // Each chunk in a buffer of its own, so that a read past its end is a sanitizer error.
    std::size_t from = 0;
    for (std::size_t cut : cuts) {
      const std::vector<char> chunk(document.begin() + static_cast<std::ptrdiff_t>(from),
                                    document.begin() + static_cast<std::ptrdiff_t>(cut));
      stream.Feed(chunk.data(), chunk.size(), false);
      from = cut;
    }
    const std::vector<char> chunk(document.begin() + static_cast<std::ptrdiff_t>(from), document.end());
    stream.Feed(chunk.data(), chunk.size(), true);
  } catch (const Error&) {
    return "refused";
  }
  return events.Log();
}

inline std::string_view AfterColon(std::string_view name) { return name.substr(name.rfind(':') + 1); }

// The document through expat alone, names after their last colon, refusing a DOCTYPE and depth past 256.
inline std::string ExpatEvents(std::string_view document) {
  struct Context {
    XmlEvents events;
    int depth = 0;
    bool refused = false;
  } context;
  XML_Parser parser = XML_ParserCreate("UTF-8");
  context.events.parser_ = parser;
  XML_SetUserData(parser, &context);
  XML_SetElementHandler(
      parser,
      [](void* data, const char* name, const char** attributes) {
        auto& c = *static_cast<Context*>(data);
        c.refused |= ++c.depth > 256;
        c.events.StartElement(AfterColon(name), attributes);
      },
      [](void* data, const char* name) {
        auto& c = *static_cast<Context*>(data);
        --c.depth;
        c.events.EndElement(AfterColon(name));
      });
  XML_SetCharacterDataHandler(parser, [](void* data, const char* text, int length) {
    static_cast<Context*>(data)->events.Characters(std::string_view(text, static_cast<std::size_t>(length)));
  });
  XML_SetStartDoctypeDeclHandler(parser, [](void* data, const char*, const char*, const char*, int) {
    static_cast<Context*>(data)->refused = true;
  });
  const bool parsed =
      XML_Parse(parser, document.data(), static_cast<int>(document.size()), XML_TRUE) == XML_STATUS_OK;
  XML_ParserFree(parser);
  return parsed && !context.refused ? context.events.Log() : "refused";
}

}  // namespace zentora::spreadsheet::testing

#include "XmlStream.h"

#include <expat.h>

#include <cstring>
#include <exception>

#include "../Error.h"
#include "PlainScanner.h"

namespace zentora::spreadsheet::xml {

std::string_view LocalName(std::string_view qualifiedName) {
  std::size_t colon = qualifiedName.find(':');
  return colon == std::string_view::npos ? qualifiedName : qualifiedName.substr(colon + 1);
}

const char* FindAttribute(const char** attributes, std::string_view localName) {
  for (std::size_t i = 0; attributes[i] != nullptr; i += 2) {
    if (LocalName(attributes[i]) == localName) return attributes[i + 1];
  }
  return nullptr;
}

struct XmlStream::Callbacks {
  static XmlStream& Self(void* data) { return *static_cast<XmlStream*>(data); }
  // True for the tags that reopen the elements open at the handover.
  static bool Replayed(XmlStream& self) {
    return self.replayed_ != 0 &&
           static_cast<std::uint64_t>(XML_GetCurrentByteIndex(static_cast<XML_Parser>(self.parser_))) <
               self.replayed_;
  }

  // LocalName for a C string in one pass: this runs for every element of every part.
  static std::string_view Local(const char* name) {
    const char* start = name;
    const char* at = name;
    for (; *at != '\0'; ++at) {
      if (*at == ':') start = at + 1;
    }
    return std::string_view(start, static_cast<std::size_t>(at - start));
  }

  // Runs a handler call, turning an exception into a stopped parse with its message.
  template <typename Call>
  static void Guard(XmlStream& self, Call call) {
    if (!self.failure_.empty()) return;
    try {
      call();
    } catch (const Error& error) {
      self.limitFailure_ = error.code() == ErrorCode::LimitExceeded;
      self.Fail(error.what());
    } catch (const std::exception& error) {
      self.Fail(error.what());
    }
  }

  static void Start(void* data, const XML_Char* name, const XML_Char** attributes) {
    XmlStream& self = Self(data);
    if (++self.depth_ > self.maxDepth_) {
      self.limitFailure_ = true;
      self.Fail("elements nested deeper than " + std::to_string(self.maxDepth_));
      return;
    }
    if (Replayed(self)) return;
    Guard(self, [&] { self.handler_.StartElement(Local(name), attributes); });
  }
  static void End(void* data, const XML_Char* name) {
    XmlStream& self = Self(data);
    --self.depth_;
    if (Replayed(self)) return;
    Guard(self, [&] { self.handler_.EndElement(Local(name)); });
  }
  static void Text(void* data, const XML_Char* text, int length) {
    XmlStream& self = Self(data);
    Guard(self, [&] { self.handler_.Characters(std::string_view(text, static_cast<std::size_t>(length))); });
  }
  static void Doctype(void* data, const XML_Char*, const XML_Char*, const XML_Char*, int) {
    Self(data).Fail("a DOCTYPE declaration is not allowed");
  }
  static void Entity(void* data, const XML_Char*, int, const XML_Char*, int, const XML_Char*, const XML_Char*,
                     const XML_Char*, const XML_Char*) {
    Self(data).Fail("an entity declaration is not allowed");
  }
};

XmlStream::XmlStream(std::string where, XmlHandler& handler, std::uint32_t maxDepth)
    : where_(std::move(where)),
      handler_(handler),
      maxDepth_(maxDepth),
      scanner_(std::make_unique<PlainScanner>(handler, maxDepth)) {}

XmlStream::~XmlStream() {
  if (parser_ != nullptr) XML_ParserFree(static_cast<XML_Parser>(parser_));
}

void XmlStream::HandOver(bool last) {
  XML_Parser parser = XML_ParserCreate("UTF-8");
  if (parser == nullptr) throw std::bad_alloc();
  XML_SetUserData(parser, this);
  XML_SetElementHandler(parser, &Callbacks::Start, &Callbacks::End);
  XML_SetCharacterDataHandler(parser, &Callbacks::Text);
  XML_SetStartDoctypeDeclHandler(parser, &Callbacks::Doctype);
  XML_SetEntityDeclHandler(parser, &Callbacks::Entity);
  XML_SetParamEntityParsing(parser, XML_PARAM_ENTITY_PARSING_NEVER);
  parser_ = parser;
  const std::string reopen = scanner_->OpenElements();
  const std::string rest(scanner_->pending());
  replayed_ = reopen.size();
  shift_ = static_cast<std::int64_t>(scanner_->handoverOffset()) - static_cast<std::int64_t>(reopen.size());
  scanner_.reset();
  FeedExpat(reopen.data(), reopen.size(), false);
  FeedExpat(rest.data(), rest.size(), last);
}

void XmlStream::Fail(const std::string& reason) {
  if (failure_.empty()) {
    failure_ = reason.empty() ? "rejected" : reason;
    failureOffset_ = static_cast<std::int64_t>(EventOffset());
  }
  XML_StopParser(static_cast<XML_Parser>(parser_), XML_FALSE);
}

std::uint64_t XmlStream::EventOffset() const {
  if (scanner_) return scanner_->EventOffset();
  return static_cast<std::uint64_t>(XML_GetCurrentByteIndex(static_cast<XML_Parser>(parser_)) + shift_);
}

std::uint64_t XmlStream::EventLength() const {
  if (scanner_) return scanner_->EventLength();
  return static_cast<std::uint64_t>(XML_GetCurrentByteCount(static_cast<XML_Parser>(parser_)));
}

void XmlStream::Feed(const char* data, std::size_t size, bool last) {
  if (!scanner_) return FeedExpat(data, size, last);
  try {
    if (scanner_->Feed(data, size, last)) return;
  } catch (const Error& error) {
    throw Error(error.code() == ErrorCode::LimitExceeded ? ErrorCode::LimitExceeded : ErrorCode::NotAWorkbook,
                where_ + ", byte " + std::to_string(scanner_->EventOffset()) + ": " + error.what());
  } catch (const std::exception& error) {
    throw Error(ErrorCode::NotAWorkbook,
                where_ + ", byte " + std::to_string(scanner_->EventOffset()) + ": " + error.what());
  }
  HandOver(last);
}

void XmlStream::FeedExpat(const char* data, std::size_t size, bool last) {
  XML_Parser parser = static_cast<XML_Parser>(parser_);
  while (true) {
    int chunk = size > (1u << 30) ? (1 << 30) : static_cast<int>(size);
    bool final = last && static_cast<std::size_t>(chunk) == size;
    XML_Status status = XML_Parse(parser, data, chunk, final ? XML_TRUE : XML_FALSE);
    if (status != XML_STATUS_OK || !failure_.empty()) {
      // A refusal from a callback is placed at the start of its event, as the scanner places it.
      std::string offset =
          std::to_string(failure_.empty() ? XML_GetCurrentByteIndex(parser) + shift_ : failureOffset_);
      std::string reason = failure_.empty() ? XML_ErrorString(XML_GetErrorCode(parser)) : failure_;
      throw Error(limitFailure_ ? ErrorCode::LimitExceeded : ErrorCode::NotAWorkbook,
                  where_ + ", byte " + offset + ": " + reason);
    }
    data += chunk;
    size -= static_cast<std::size_t>(chunk);
    if (size == 0) return;
  }
}

void ParseWhole(std::string_view where, std::string_view document, XmlHandler& handler) {
  XmlStream stream(std::string(where), handler);
  stream.Feed(document.data(), document.size(), true);
}

void CheckWellFormed(std::string_view where, std::string_view document) {
  struct Ignore : XmlHandler {
    void StartElement(std::string_view, const char**) override {}
    void EndElement(std::string_view) override {}
    void Characters(std::string_view) override {}
  } ignore;
  ParseWhole(where, document, ignore);
}

}  // namespace zentora::spreadsheet::xml

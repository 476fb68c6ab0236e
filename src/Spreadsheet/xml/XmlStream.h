// A streaming XML reader for workbook parts: element names arrive without their
// namespace prefix, any DOCTYPE or entity declaration is refused (an unknown
// entity left as text would change the user's data on save), and nesting depth
// is bounded. Errors name the file, the part and the byte offset. The plain XML
// that workbook writers produce is read by a fast scanner; from the first
// construct outside it on, expat reads the rest.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace zentora::spreadsheet::xml {

class PlainScanner;

// Receives parse events; `attributes` is expat's null-terminated name/value array (names keep prefixes).
class XmlHandler {
 public:
  virtual ~XmlHandler() = default;
  virtual void StartElement(std::string_view localName, const char** attributes) = 0;
  virtual void EndElement(std::string_view localName) = 0;
  virtual void Characters(std::string_view text) = 0;
};

// The part of a qualified name after its prefix ("c" for "x:c").
std::string_view LocalName(std::string_view qualifiedName);

// The value of the attribute whose local name is `localName` (prefix ignored), or nullptr.
const char* FindAttribute(const char** attributes, std::string_view localName);

class XmlStream {
 public:
  // `where` names the file and part for messages ("book.xlsx, part xl/workbook.xml").
  XmlStream(std::string where, XmlHandler& handler, std::uint32_t maxDepth = 256);
  ~XmlStream();
  XmlStream(const XmlStream&) = delete;
  XmlStream& operator=(const XmlStream&) = delete;

  // Parses the next chunk; `last` ends the document. Throws NotAWorkbook (or LimitExceeded for depth)
  // naming the byte offset on malformed XML, a DOCTYPE or an exception thrown by the handler.
  void Feed(const char* data, std::size_t size, bool last);
  // Byte offset in the document of the event being handled (valid inside handler calls).
  std::uint64_t EventOffset() const;
  // Length in bytes of the event being handled (the whole start tag, end tag or text run).
  std::uint64_t EventLength() const;

  std::string_view where() const { return where_; }

 private:
  struct Callbacks;
  // Stops expat's parse from inside a callback with an error message that Feed throws.
  void Fail(const std::string& reason);
  void HandOver(bool last);
  void FeedExpat(const char* data, std::size_t size, bool last);

  std::string where_;
  XmlHandler& handler_;
  std::uint32_t maxDepth_;
  std::uint32_t depth_ = 0;
  std::string failure_;
  std::int64_t failureOffset_ = 0;  // where the event that failed starts
  bool limitFailure_ = false;
  std::unique_ptr<PlainScanner> scanner_;  // until it hands over
  void* parser_ = nullptr;                 // expat, from the handover on
  // expat starts on tags that reopen the elements open at the handover: events inside them are not reported,
  // and its byte offsets are shifted back to the document's.
  std::uint64_t replayed_ = 0;
  std::int64_t shift_ = 0;
};

// Parses a whole small part, throwing as Feed does; used to vet parts before a DOM library reads them.
void ParseWhole(std::string_view where, std::string_view document, XmlHandler& handler);
// Checks that `document` is well-formed XML without DOCTYPE; throws as Feed does.
void CheckWellFormed(std::string_view where, std::string_view document);

}  // namespace zentora::spreadsheet::xml

// A fast scanner for the plain XML that workbook writers produce: UTF-8 without a byte order mark, an
// optional XML declaration, elements with ASCII names, attributes, text with the five predefined entities
// and character references. It reports events to an XmlHandler exactly as expat would, with the same byte
// offsets, and it is strict: at the first token it is not sure of (a comment, CDATA, a processing
// instruction, a DOCTYPE, a carriage return in text, a tab or line feed in an attribute value, a non-ASCII
// name, anything malformed, a depth past the limit, a token longer than a mebibyte) it stops at the start
// of that token and hands the rest of the document over, with the names of the open elements, so that
// expat continues from there and decides.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "XmlStream.h"

namespace zentora::spreadsheet::xml {

class PlainScanner {
 public:
  PlainScanner(XmlHandler& handler, std::uint32_t maxDepth) : handler_(handler), maxDepth_(maxDepth) {}

  // Scans the next chunk; `last` ends the document. Returns false once it has handed over: the document
  // from handoverOffset() on is then in pending() and later chunks go to the caller's other parser.
  // Exceptions thrown by the handler pass through (EventOffset() names the event).
  bool Feed(const char* data, std::size_t size, bool last);

  // Byte offset in the document and length of the event being reported.
  std::uint64_t EventOffset() const { return eventOffset_; }
  std::uint64_t EventLength() const { return eventLength_; }

  // After a handover: where the rest begins, the bytes of it already received, and the start tags that
  // put a parser where the scanner stopped ("<a><b>" inside b, "<r></r>" after the root, "" before it).
  std::uint64_t handoverOffset() const { return offset_; }
  std::string_view pending() const { return pending_; }
  std::string OpenElements() const;

 private:
  enum class Step { Done, Incomplete, Handover };
  enum class Place { Prolog, Root, Epilog };

  std::size_t Scan(const char* begin, const char* end, bool last);
  Step Text(const char*& at, const char* end, bool last);
  Step Space(const char*& at, const char* end);
  Step Markup(const char*& at, const char* end, bool last);
  Step Declaration(const char*& at, const char* end, bool last);
  Step EndTag(const char*& at, const char* end);
  Step StartTag(const char*& at, const char* end);
  Step Attribute(const char*& at, const char* end);
  Step AttributeValue(const char*& at, const char* end);
  static Step Reference(const char*& at, const char* end, std::string& out);
  void HandOver(std::string_view rest);
  // Sets the offset and length of the event about to be reported for the token at `token`.
  void Report(const char* token, const char* tokenEnd) {
    eventOffset_ = offset_ + static_cast<std::uint64_t>(token - scanBegin_);
    eventLength_ = static_cast<std::uint64_t>(tokenEnd - token);
  }
  void Push(std::string_view name);
  void Pop();

  XmlHandler& handler_;
  std::uint32_t maxDepth_;
  Place place_ = Place::Prolog;
  bool handedOver_ = false;
  std::uint64_t offset_ = 0;  // document offset of the first byte not yet consumed (the carry's first byte)
  std::string carry_;         // an incomplete token at the end of the last chunk (the prolog before the root)
  std::string pending_;       // after a handover, the rest of the document received so far
  const char* scanBegin_ = nullptr;
  std::uint64_t eventOffset_ = 0;
  std::uint64_t eventLength_ = 0;
  std::string names_;                    // the open elements' qualified names, one after the other
  std::vector<std::uint32_t> nameEnds_;  // where each ends in names_
  std::string text_;                     // decoded text when a run holds references
  std::string attributeBytes_;           // name\0value\0... of the tag being scanned
  std::vector<std::uint32_t> attributeStarts_;
  std::vector<const char*> attributes_;
};

}  // namespace zentora::spreadsheet::xml

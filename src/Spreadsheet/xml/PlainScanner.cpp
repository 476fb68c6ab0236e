#include "PlainScanner.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace zentora::spreadsheet::xml {
namespace {

// A token longer than this (a huge text reference run or tag split over chunks) is left to expat, so that
// rescanning it as chunks arrive stays bounded.
constexpr std::size_t kMaxCarry = std::size_t{1} << 20;
constexpr std::size_t kMaxAttributes = 64;
// The longest reference the scanner decodes itself ("&#x0010FFFF;" and shorter).
constexpr std::ptrdiff_t kMaxReference = 16;

unsigned char Byte(char c) { return static_cast<unsigned char>(c); }

constexpr bool IsNameStart(unsigned char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_' || c == ':';
}
constexpr bool IsNameByte(unsigned char c) {
  return IsNameStart(c) || (c >= '0' && c <= '9') || c == '-' || c == '.';
}
constexpr bool IsSpace(unsigned char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

constexpr std::array<bool, 256> Table(bool (*member)(unsigned char)) {
  std::array<bool, 256> table{};
  for (unsigned c = 0; c < 256; ++c) table[c] = member(static_cast<unsigned char>(c));
  return table;
}
constexpr std::array<bool, 256> kNameByte = Table(IsNameByte);
// Text bytes that need no second look: printable ASCII but '<', '&', ']' and DEL, and tab and line feed.
constexpr std::array<bool, 256> kPlainText = Table([](unsigned char c) {
  return (c >= 0x20 && c < 0x7F && c != '<' && c != '&' && c != ']') || c == '\t' || c == '\n';
});
// Attribute value bytes that need no second look: printable ASCII but '<', '&', quotes and DEL. Tab and line
// feed are left to expat, which turns them into spaces.
constexpr std::array<bool, 256> kPlainValue = Table(
    [](unsigned char c) { return c >= 0x20 && c < 0x7F && c != '<' && c != '&' && c != '"' && c != '\''; });

// The length of the UTF-8 sequence at `at` when it encodes an XML character (2 to 4), 0 when it does not
// (malformed, overlong, a surrogate, U+FFFE or U+FFFF, past U+10FFFF), -1 when `end` cuts it off.
int Utf8Length(const char* at, const char* end) {
  const unsigned char lead = Byte(at[0]);
  int length = 0;
  unsigned char low = 0x80, high = 0xBF;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    if (lead == 0xE0) low = 0xA0;
    if (lead == 0xED) high = 0x9F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    if (lead == 0xF0) low = 0x90;
    if (lead == 0xF4) high = 0x8F;
  } else {
    return 0;
  }
  if (end - at < length) return -1;
  if (Byte(at[1]) < low || Byte(at[1]) > high) return 0;
  for (int i = 2; i < length; ++i) {
    if ((Byte(at[i]) & 0xC0) != 0x80) return 0;
  }
  if (lead == 0xEF && Byte(at[1]) == 0xBF && Byte(at[2]) >= 0xBE) return 0;
  return length;
}

// The name after its last colon, as expat's callbacks hand names on.
std::string_view AfterPrefix(std::string_view name) { return name.substr(name.rfind(':') + 1); }

bool IsXmlChar(std::uint32_t c) {
  return c == 0x9 || c == 0xA || c == 0xD || (c >= 0x20 && c <= 0xD7FF) || (c >= 0xE000 && c <= 0xFFFD) ||
         (c >= 0x10000 && c <= 0x10FFFF);
}

void AppendUtf8(std::string& out, std::uint32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

// The code point of a character reference's digits ("#65", "#x41"), or 0 when they are not one.
std::uint32_t CharacterReference(std::string_view digits) {
  const bool hex = digits.size() > 2 && digits[1] == 'x';
  digits.remove_prefix(hex ? 2 : 1);
  if (digits.empty()) return 0;
  std::uint64_t value = 0;
  for (char c : digits) {
    unsigned digit = 0;
    if (c >= '0' && c <= '9') {
      digit = static_cast<unsigned>(c - '0');
    } else if (hex && c >= 'a' && c <= 'f') {
      digit = static_cast<unsigned>(c - 'a' + 10);
    } else if (hex && c >= 'A' && c <= 'F') {
      digit = static_cast<unsigned>(c - 'A' + 10);
    } else {
      return 0;
    }
    value = value * (hex ? 16 : 10) + digit;
  }
  return value <= 0x10FFFF ? static_cast<std::uint32_t>(value) : 0;
}

}  // namespace

bool PlainScanner::Feed(const char* data, std::size_t size, bool last) {
  std::size_t from = 0;
  if (!carry_.empty()) {
    // Complete the token cut off at the end of the last chunk, moving bytes over in growing steps.
    std::size_t taken = 0;
    for (;;) {
      const std::size_t step = std::min(size - taken, std::max<std::size_t>(4096, carry_.size()));
      carry_.append(data + taken, step);
      taken += step;
      const std::size_t consumed = Scan(carry_.data(), carry_.data() + carry_.size(), last && taken == size);
      offset_ += consumed;
      if (handedOver_ || (consumed == 0 && carry_.size() > kMaxCarry)) {
        HandOver(std::string_view(carry_).substr(consumed));
        pending_.append(data + taken, size - taken);
        return false;
      }
      const std::size_t remaining = carry_.size() - consumed;
      if (remaining <= taken) {
        // What is left of the carry came from this chunk: scan on from there in place.
        from = taken - remaining;
        carry_.clear();
        break;
      }
      // Text before a cut-off "]]" can be taken while the brackets stay: keep them and take more bytes.
      carry_.erase(0, consumed);
      if (taken == size) return true;
    }
  }
  const std::size_t consumed = Scan(data + from, data + size, last);
  offset_ += consumed;
  const std::string_view rest(data + from + consumed, size - from - consumed);
  if (handedOver_ || rest.size() > kMaxCarry) {
    HandOver(rest);
    return false;
  }
  carry_.assign(rest);
  return true;
}

void PlainScanner::HandOver(std::string_view rest) {
  handedOver_ = true;
  pending_.assign(rest);
  carry_.clear();
}

std::string PlainScanner::OpenElements() const {
  if (place_ == Place::Epilog) return "<r></r>";
  std::string tags;
  std::size_t start = 0;
  for (std::uint32_t end : nameEnds_) {
    tags += '<';
    tags.append(names_, start, end - start);
    tags += '>';
    start = end;
  }
  return tags;
}

void PlainScanner::Push(std::string_view name) {
  names_.append(name);
  nameEnds_.push_back(static_cast<std::uint32_t>(names_.size()));
  place_ = Place::Root;
}

void PlainScanner::Pop() {
  nameEnds_.pop_back();
  names_.resize(nameEnds_.empty() ? 0 : nameEnds_.back());
  if (nameEnds_.empty()) place_ = Place::Epilog;
}

// Scans the complete tokens in [begin, end) and returns how many bytes they take. Before the root element
// nothing counts as taken, so that a handover there gives expat the whole document.
std::size_t PlainScanner::Scan(const char* begin, const char* end, bool last) {
  scanBegin_ = begin;
  const char* at = begin;
  const char* taken = begin;
  while (at < end) {
    Step step = *at == '<'              ? Markup(at, end, last)
                : place_ == Place::Root ? Text(at, end, last)
                                        : Space(at, end);
    if (step == Step::Incomplete && last) step = Step::Handover;
    if (step != Step::Done) {
      handedOver_ = step == Step::Handover;
      break;
    }
    if (place_ != Place::Prolog) taken = at;
  }
  // A document must end after its root element; anything else is expat's to report.
  if (last && at == end && place_ != Place::Epilog) handedOver_ = true;
  return static_cast<std::size_t>(taken - begin);
}

// Whitespace before or after the root element, which is not reported.
PlainScanner::Step PlainScanner::Space(const char*& at, const char* end) {
  while (at < end && IsSpace(Byte(*at))) ++at;
  return at == end || *at == '<' ? Step::Done : Step::Handover;
}

// A run of text inside the root element, reported up to the next '<' or as far as this chunk goes.
PlainScanner::Step PlainScanner::Text(const char*& at, const char* end, bool last) {
  const char* const start = at;
  const char* flushed = start;
  bool decoded = false;
  Step stop = Step::Done;
  while (at < end) {
    const unsigned char c = Byte(*at);
    if (kPlainText[c]) {
      ++at;
      continue;
    }
    if (c == '<') break;
    const char* const here = at;
    if (c == '&') {
      if (!decoded) text_.clear();
      decoded = true;
      text_.append(flushed, at);
      stop = Reference(at, end, text_);
      if (stop != Step::Done) {
        text_.resize(text_.size() - static_cast<std::size_t>(here - flushed));
        at = here;
        break;
      }
      flushed = at;
      continue;
    }
    if (c == ']') {
      if (end - at < 3 && !last) {
        stop = Step::Incomplete;
        break;
      }
      if (end - at >= 3 && at[1] == ']' && at[2] == '>') {
        stop = Step::Handover;
        break;
      }
      ++at;
      continue;
    }
    const int length = c >= 0x80 ? Utf8Length(at, end) : 0;
    if (length <= 0) {
      stop = length < 0 ? Step::Incomplete : Step::Handover;
      break;
    }
    at += length;
  }
  // Text before a token that is cut off or not plain is reported now; the token is looked at again alone.
  if (at == start) return stop;
  Report(start, at);
  if (decoded) {
    text_.append(flushed, at);
    handler_.Characters(text_);
  } else {
    handler_.Characters(std::string_view(start, static_cast<std::size_t>(at - start)));
  }
  return Step::Done;
}

// "&lt;" and the other predefined entities, and character references, decoded onto `out`.
PlainScanner::Step PlainScanner::Reference(const char*& at, const char* end, std::string& out) {
  const char* const limit = end - at > kMaxReference ? at + kMaxReference : end;
  const char* const semicolon =
      static_cast<const char*>(std::memchr(at, ';', static_cast<std::size_t>(limit - at)));
  if (semicolon == nullptr) return limit == end ? Step::Incomplete : Step::Handover;
  const std::string_view name(at + 1, static_cast<std::size_t>(semicolon - at - 1));
  if (name == "lt") {
    out += '<';
  } else if (name == "gt") {
    out += '>';
  } else if (name == "amp") {
    out += '&';
  } else if (name == "quot") {
    out += '"';
  } else if (name == "apos") {
    out += '\'';
  } else {
    const std::uint32_t c = name.starts_with('#') ? CharacterReference(name) : 0;
    if (!IsXmlChar(c)) return Step::Handover;
    AppendUtf8(out, c);
  }
  at = semicolon + 1;
  return Step::Done;
}

PlainScanner::Step PlainScanner::Markup(const char*& at, const char* end, bool last) {
  if (end - at < 2) return Step::Incomplete;
  if (at[1] == '/') return EndTag(at, end);
  if (at[1] == '?' && offset_ + static_cast<std::uint64_t>(at - scanBegin_) == 0)
    return Declaration(at, end, last);
  if (at[1] == '?' || at[1] == '!' || place_ == Place::Epilog) return Step::Handover;
  return StartTag(at, end);
}

// The XML declaration in its usual forms: version 1.0, optionally UTF-8 and a standalone flag.
PlainScanner::Step PlainScanner::Declaration(const char*& at, const char* end, bool last) {
  constexpr std::ptrdiff_t kLongest = 128;
  const char* const limit = end - at > kLongest ? at + kLongest : end;
  const std::size_t close = std::string_view(at, static_cast<std::size_t>(limit - at)).find("?>");
  if (close == std::string_view::npos) return limit == end && !last ? Step::Incomplete : Step::Handover;
  std::string_view rest(at, close);
  if (!rest.starts_with("<?xml")) return Step::Handover;
  rest.remove_prefix(5);
  // Each pseudo-attribute in its place, each preceded by whitespace: name = "value" or 'value'.
  auto pseudoAttribute = [&rest](std::string_view name, std::initializer_list<std::string_view> values) {
    std::size_t i = 0;
    while (i < rest.size() && IsSpace(Byte(rest[i]))) ++i;
    if (i == 0 || rest.substr(i, name.size()) != name) return false;
    i += name.size();
    while (i < rest.size() && IsSpace(Byte(rest[i]))) ++i;
    if (i == rest.size() || rest[i] != '=') return false;
    ++i;
    while (i < rest.size() && IsSpace(Byte(rest[i]))) ++i;
    if (i == rest.size() || (rest[i] != '"' && rest[i] != '\'')) return false;
    const char quote = rest[i++];
    const std::size_t valueEnd = rest.find(quote, i);
    if (valueEnd == std::string_view::npos) return false;
    const std::string_view value = rest.substr(i, valueEnd - i);
    if (std::find(values.begin(), values.end(), value) == values.end()) return false;
    rest.remove_prefix(valueEnd + 1);
    return true;
  };
  if (!pseudoAttribute("version", {"1.0"})) return Step::Handover;
  pseudoAttribute("encoding", {"UTF-8", "utf-8"});
  pseudoAttribute("standalone", {"yes", "no"});
  if (!std::all_of(rest.begin(), rest.end(), [](char c) { return IsSpace(Byte(c)); })) return Step::Handover;
  at += close + 2;
  return Step::Done;
}

PlainScanner::Step PlainScanner::EndTag(const char*& at, const char* end) {
  const char* const nameStart = at + 2;
  const char* scan = nameStart;
  while (scan < end && kNameByte[Byte(*scan)]) ++scan;
  const std::string_view name(nameStart, static_cast<std::size_t>(scan - nameStart));
  while (scan < end && IsSpace(Byte(*scan))) ++scan;
  if (scan == end) return Step::Incomplete;
  const std::size_t top = nameEnds_.size() < 2 ? 0 : nameEnds_[nameEnds_.size() - 2];
  if (*scan != '>' || nameEnds_.empty() || name != std::string_view(names_).substr(top))
    return Step::Handover;
  ++scan;
  Report(at, scan);
  handler_.EndElement(AfterPrefix(name));
  Pop();
  at = scan;
  return Step::Done;
}

PlainScanner::Step PlainScanner::StartTag(const char*& at, const char* end) {
  const char* scan = at + 1;
  if (!IsNameStart(Byte(*scan))) return Step::Handover;
  while (scan < end && kNameByte[Byte(*scan)]) ++scan;
  const std::string_view name(at + 1, static_cast<std::size_t>(scan - at - 1));
  attributeBytes_.clear();
  attributeStarts_.clear();
  bool empty = false;
  for (;;) {
    const char* const beforeSpace = scan;
    while (scan < end && IsSpace(Byte(*scan))) ++scan;
    if (scan == end) return Step::Incomplete;
    if (*scan == '>') {
      ++scan;
      break;
    }
    if (*scan == '/') {
      if (end - scan < 2) return Step::Incomplete;
      if (scan[1] != '>') return Step::Handover;
      scan += 2;
      empty = true;
      break;
    }
    if (scan == beforeSpace) return Step::Handover;
    const Step step = Attribute(scan, end);
    if (step != Step::Done) return step;
  }
  if (nameEnds_.size() >= maxDepth_) return Step::Handover;
  attributes_.clear();
  for (std::uint32_t start : attributeStarts_) attributes_.push_back(attributeBytes_.data() + start);
  attributes_.push_back(nullptr);
  Push(name);
  Report(at, scan);
  const std::string_view localName = AfterPrefix(name);
  handler_.StartElement(localName, attributes_.data());
  if (empty) {
    // As expat does, the end of an empty element is reported at the end of its tag, with no length.
    eventOffset_ += eventLength_;
    eventLength_ = 0;
    handler_.EndElement(localName);
    Pop();
  }
  at = scan;
  return Step::Done;
}

// One attribute, name="value", stored as name\0value\0 in attributeBytes_.
PlainScanner::Step PlainScanner::Attribute(const char*& at, const char* end) {
  if (!IsNameStart(Byte(*at)) || attributeStarts_.size() == 2 * kMaxAttributes) return Step::Handover;
  const char* scan = at;
  while (scan < end && kNameByte[Byte(*scan)]) ++scan;
  const std::string_view name(at, static_cast<std::size_t>(scan - at));
  for (std::size_t i = 0; i < attributeStarts_.size(); i += 2) {
    const std::size_t length = attributeStarts_[i + 1] - attributeStarts_[i] - 1;
    if (name == std::string_view(attributeBytes_.data() + attributeStarts_[i], length)) return Step::Handover;
  }
  while (scan < end && IsSpace(Byte(*scan))) ++scan;
  if (scan == end) return Step::Incomplete;
  if (*scan != '=') return Step::Handover;
  ++scan;
  while (scan < end && IsSpace(Byte(*scan))) ++scan;
  if (scan == end) return Step::Incomplete;
  attributeStarts_.push_back(static_cast<std::uint32_t>(attributeBytes_.size()));
  attributeBytes_.append(name);
  attributeBytes_ += '\0';
  attributeStarts_.push_back(static_cast<std::uint32_t>(attributeBytes_.size()));
  at = scan;
  return AttributeValue(at, end);
}

PlainScanner::Step PlainScanner::AttributeValue(const char*& at, const char* end) {
  const char quote = *at;
  if (quote != '"' && quote != '\'') return Step::Handover;
  const char* scan = at + 1;
  const char* flushed = scan;
  for (;;) {
    if (scan == end) return Step::Incomplete;
    const unsigned char c = Byte(*scan);
    if (kPlainValue[c]) {
      ++scan;
    } else if (*scan == quote) {
      break;
    } else if (c == '"' || c == '\'') {
      ++scan;
    } else if (c == '&') {
      attributeBytes_.append(flushed, scan);
      const Step step = Reference(scan, end, attributeBytes_);
      if (step != Step::Done) return step;
      flushed = scan;
    } else {
      const int length = c >= 0x80 ? Utf8Length(scan, end) : 0;
      if (length <= 0) return length < 0 ? Step::Incomplete : Step::Handover;
      scan += length;
    }
  }
  attributeBytes_.append(flushed, scan);
  attributeBytes_ += '\0';
  at = scan + 1;
  return Step::Done;
}

}  // namespace zentora::spreadsheet::xml

#include "PartXml.h"

#include <sstream>

namespace zentora::spreadsheet::detail {

namespace {
// Whitespace-only text stays (it may be content), attribute values and line ends are kept as read.
constexpr unsigned kParseFlags =
    (pugi::parse_default | pugi::parse_ws_pcdata) & ~pugi::parse_wconv_attribute & ~pugi::parse_eol;
}  // namespace

bool LoadXml(pugi::xml_document& document, std::string_view xml) {
  return document.load_buffer(xml.data(), xml.size(), kParseFlags, pugi::encoding_utf8);
}

std::string SaveXml(const pugi::xml_document& document) {
  std::ostringstream out;
  document.save(out, "", pugi::format_raw | pugi::format_no_declaration, pugi::encoding_utf8);
  return out.str();
}

std::string SavePart(const pugi::xml_document& document) {
  return "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n" + SaveXml(document);
}

std::string_view LocalName(const pugi::xml_node& node) {
  const std::string_view name = node.name();
  const std::size_t colon = name.find(':');
  return colon == std::string_view::npos ? name : name.substr(colon + 1);
}

pugi::xml_node ChildNamed(const pugi::xml_node& node, std::string_view name) {
  for (pugi::xml_node child = node.first_child(); child; child = child.next_sibling()) {
    if (child.type() == pugi::node_element && LocalName(child) == name) return child;
  }
  return {};
}

std::string PrefixOf(const pugi::xml_node& node) {
  const std::string_view name = node.name();
  const std::size_t colon = name.find(':');
  return colon == std::string_view::npos ? "" : std::string(name.substr(0, colon + 1));
}

}  // namespace zentora::spreadsheet::detail

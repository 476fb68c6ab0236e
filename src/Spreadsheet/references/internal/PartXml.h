// Small XML edits on workbook parts and on a worksheet's raw top-level fragments: parse with
// pugixml keeping whitespace and attribute text as read, edit, serialize without reformatting.
#pragma once

#include <pugixml.hpp>

#include <string>
#include <string_view>

namespace zentora::spreadsheet::detail {

// Parses `xml` (a whole part or one element); false when it is not well-formed.
bool LoadXml(pugi::xml_document& document, std::string_view xml);
// The document's nodes as raw XML, without declaration.
std::string SaveXml(const pugi::xml_document& document);
// A whole part: the standard declaration followed by the document.
std::string SavePart(const pugi::xml_document& document);

// The element name after any namespace prefix ("row" for "xdr:row").
std::string_view LocalName(const pugi::xml_node& node);
// The first child element with local name `name`, or an empty node.
pugi::xml_node ChildNamed(const pugi::xml_node& node, std::string_view name);
// The name's namespace prefix including the colon ("xdr:"), or "".
std::string PrefixOf(const pugi::xml_node& node);

}  // namespace zentora::spreadsheet::detail

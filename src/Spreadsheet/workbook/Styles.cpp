#include "Styles.h"

#include <algorithm>
#include <charconv>
#include <map>
#include <sstream>

#include "../Error.h"

namespace zentora::spreadsheet {
namespace {

constexpr const char* kDefaultStyles =
    R"(<styleSheet xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main">)"
    R"(<fonts count="1"><font><sz val="11"/><color theme="1"/><name val="Calibri"/><family val="2"/>)"
    R"(<scheme val="minor"/></font></fonts>)"
    R"(<fills count="2"><fill><patternFill patternType="none"/></fill>)"
    R"(<fill><patternFill patternType="gray125"/></fill></fills>)"
    R"(<borders count="1"><border><left/><right/><top/><bottom/><diagonal/></border></borders>)"
    R"(<cellStyleXfs count="1"><xf numFmtId="0" fontId="0" fillId="0" borderId="0"/></cellStyleXfs>)"
    R"(<cellXfs count="1"><xf numFmtId="0" fontId="0" fillId="0" borderId="0" xfId="0"/></cellXfs>)"
    R"(<cellStyles count="1"><cellStyle name="Normal" xfId="0" builtinId="0"/></cellStyles>)"
    R"(<dxfs count="0"/><tableStyles count="0" defaultTableStyle="TableStyleMedium2")"
    R"( defaultPivotStyle="PivotStyleLight16"/></styleSheet>)";

constexpr unsigned kParseFlags = pugi::parse_default & ~pugi::parse_wconv_attribute & ~pugi::parse_eol;

std::string_view Local(const char* name) {
  std::string_view text(name);
  std::size_t colon = text.find(':');
  return colon == std::string_view::npos ? text : text.substr(colon + 1);
}

pugi::xml_node Child(const pugi::xml_node& node, std::string_view name) {
  for (pugi::xml_node child : node.children()) {
    if (child.type() == pugi::node_element && Local(child.name()) == name) return child;
  }
  return {};
}

NumberKind BuiltInKind(std::uint32_t id) {
  if ((id >= 14 && id <= 17) || (id >= 27 && id <= 31) || (id >= 34 && id <= 36) || (id >= 50 && id <= 58)) {
    return NumberKind::Date;
  }
  if ((id >= 18 && id <= 21) || (id >= 32 && id <= 33) || (id >= 45 && id <= 47)) return NumberKind::Time;
  if (id == 22) return NumberKind::DateTime;
  return NumberKind::Plain;
}

std::uint32_t AttributeNumber(const pugi::xml_node& node, const char* name) {
  return node.attribute(name).as_uint(0);
}

}  // namespace

NumberKind ClassifyFormatCode(std::string_view code) {
  bool day = false, month = false, year = false, hour = false, second = false;
  for (std::size_t i = 0; i < code.size() && code[i] != ';'; ++i) {
    char c = code[i];
    if (c == '"') {
      std::size_t close = code.find('"', i + 1);
      if (close == std::string_view::npos) break;
      i = close;
    } else if (c == '\\' || c == '_' || c == '*') {
      ++i;
    } else if (c == '[') {
      std::size_t close = code.find(']', i + 1);
      if (close == std::string_view::npos) break;
      std::string_view inside = code.substr(i + 1, close - i - 1);
      // Elapsed time ([h], [mm], [ss]) counts; colours, conditions and locales do not.
      if (!inside.empty() && inside.find_first_not_of("hHmMsS") == std::string_view::npos) hour = true;
      i = close;
    } else {
      switch (c | 0x20) {
        case 'd':
          day = true;
          break;
        case 'm':
          month = true;
          break;
        case 'y':
          year = true;
          break;
        case 'h':
          hour = true;
          break;
        case 's':
          second = true;
          break;
        default:
          break;
      }
    }
  }
  bool time = hour || second;
  // Beside hours or seconds "m" means minutes, so it makes a date only with a day or a year.
  bool date = day || year || (month && !time);
  if (date && time) return NumberKind::DateTime;
  if (date) return NumberKind::Date;
  return time ? NumberKind::Time : NumberKind::Plain;
}

Styles::Styles() {
  document_.load_string(kDefaultStyles, kParseFlags);
  Index();
}

Styles::Styles(const std::string& where, const std::string& content) {
  pugi::xml_parse_result result = document_.load_buffer(content.data(), content.size(), kParseFlags);
  pugi::xml_node root = document_.document_element();
  if (!result || Local(root.name()) != "styleSheet") {
    throw Error(ErrorCode::NotAWorkbook, where + ": not a style sheet");
  }
  Index();
}

void Styles::Index() {
  pugi::xml_node root = document_.document_element();
  std::map<std::uint32_t, NumberKind> customKinds;
  for (pugi::xml_node format : Child(root, "numFmts").children()) {
    if (Local(format.name()) != "numFmt") continue;
    customKinds[AttributeNumber(format, "numFmtId")] =
        ClassifyFormatCode(format.attribute("formatCode").value());
  }
  // Elements are created with the root's prefix, and <cellXfs> in its place in the schema's order.
  std::string_view rootName = root.name();
  std::string prefix(rootName.substr(0, rootName.size() - Local(root.name()).size()));
  cellFormats_ = Child(root, "cellXfs");
  if (!cellFormats_) {
    pugi::xml_node follower;
    for (const char* name : {"cellStyles", "dxfs", "tableStyles", "colors", "extLst"}) {
      if ((follower = Child(root, name))) break;
    }
    std::string name = prefix + "cellXfs";
    cellFormats_ =
        follower ? root.insert_child_before(name.c_str(), follower) : root.append_child(name.c_str());
    changed_ = true;
  }
  for (pugi::xml_node format : cellFormats_.children()) {
    if (format.type() != pugi::node_element || Local(format.name()) != "xf") continue;
    std::uint32_t id = AttributeNumber(format, "numFmtId");
    auto custom = customKinds.find(id);
    numberKinds_.push_back(custom != customKinds.end() ? custom->second : BuiltInKind(id));
    formats_.push_back(format);
  }
  if (formats_.empty()) {
    // Cells without a style use format 0, so the list must have one.
    pugi::xml_node format = cellFormats_.append_child((prefix + "xf").c_str());
    for (const char* name : {"numFmtId", "fontId", "fillId", "borderId", "xfId"})
      format.append_attribute(name) = 0;
    pugi::xml_attribute count = cellFormats_.attribute("count");
    (count ? count : cellFormats_.append_attribute("count")) = 1;
    formats_.push_back(format);
    numberKinds_.push_back(NumberKind::Plain);
    changed_ = true;
  }
  textVariants_.assign(formats_.size(), -1);
}

std::string Styles::KeyOf(const pugi::xml_node& format, const char* numberFormat) const {
  std::vector<std::pair<std::string, std::string>> attributes;
  for (pugi::xml_attribute attribute : format.attributes()) {
    std::string_view name = attribute.name();
    if (name == "numFmtId" || name == "applyNumberFormat") continue;
    attributes.emplace_back(attribute.name(), attribute.value());
  }
  std::sort(attributes.begin(), attributes.end());
  std::ostringstream key;
  key << numberFormat << '\n';
  for (const auto& [name, value] : attributes) key << name << '=' << value << '\n';
  for (pugi::xml_node child : format.children()) child.print(key, "", pugi::format_raw);
  return key.str();
}

std::uint32_t Styles::TextVariant(std::uint32_t index) {
  if (index >= formats_.size())
    throw Error(ErrorCode::OutOfRange, "style " + std::to_string(index) + " does not exist");
  if (textVariants_[index] >= 0) return static_cast<std::uint32_t>(textVariants_[index]);
  pugi::xml_node source = formats_[index];
  if (AttributeNumber(source, "numFmtId") == 49) {
    textVariants_[index] = index;
    return index;
  }
  if (byKey_.empty()) {
    for (std::uint32_t i = 0; i < formats_.size(); ++i) {
      if (AttributeNumber(formats_[i], "numFmtId") == 49) byKey_.emplace(KeyOf(formats_[i], "49"), i);
    }
  }
  std::string key = KeyOf(source, "49");
  auto found = byKey_.find(key);
  std::uint32_t variant;
  if (found != byKey_.end()) {
    variant = found->second;
  } else {
    pugi::xml_node copy = cellFormats_.append_copy(source);
    (copy.attribute("numFmtId") ? copy.attribute("numFmtId") : copy.append_attribute("numFmtId")) = 49;
    (copy.attribute("applyNumberFormat") ? copy.attribute("applyNumberFormat")
                                         : copy.append_attribute("applyNumberFormat")) = 1;
    variant = static_cast<std::uint32_t>(formats_.size());
    formats_.push_back(copy);
    numberKinds_.push_back(NumberKind::Plain);
    textVariants_.push_back(variant);
    byKey_.emplace(std::move(key), variant);
    pugi::xml_attribute count = cellFormats_.attribute("count");
    (count ? count : cellFormats_.append_attribute("count")) = static_cast<unsigned>(formats_.size());
    changed_ = true;
  }
  textVariants_[index] = variant;
  return variant;
}

std::string Styles::Serialize() const {
  std::ostringstream out;
  out << "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n";
  document_.save(out, "", pugi::format_raw | pugi::format_no_declaration, pugi::encoding_utf8);
  return out.str();
}

}  // namespace zentora::spreadsheet

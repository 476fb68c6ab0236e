#include "Workbook.h"

#include <pugixml.hpp>

#include <algorithm>
#include <exception>
#include <filesystem>
#include <sstream>
#include <thread>

#include "../Error.h"
#include "../package/FileSaving.h"
#include "../xml/XmlStream.h"

namespace zentora::spreadsheet {
namespace {

constexpr std::string_view kOfficeDocument = "/officeDocument";
constexpr std::string_view kWorksheetType = "/worksheet";
constexpr std::string_view kSharedStringsType = "/sharedStrings";
constexpr std::string_view kStylesType = "/styles";
constexpr std::string_view kCalcChainType = "/calcChain";
constexpr const char* kStylesRelationship =
    "http://schemas.openxmlformats.org/officeDocument/2006/relationships/styles";
constexpr const char* kStylesContentType =
    "application/vnd.openxmlformats-officedocument.spreadsheetml.styles+xml";
constexpr const char* kDeclaration = "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n";

bool EndsWith(std::string_view text, std::string_view tail) { return text.ends_with(tail); }

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// The part name a relationship target of `sourcePart` refers to: relative to the source's folder
// unless it starts with "/", with "." and ".." segments resolved and %XX escapes decoded.
std::string ResolveTarget(std::string_view sourcePart, std::string_view target) {
  std::string decoded;
  for (std::size_t i = 0; i < target.size(); ++i) {
    if (target[i] == '%' && i + 2 < target.size() && HexDigit(target[i + 1]) >= 0 &&
        HexDigit(target[i + 2]) >= 0) {
      decoded.push_back(static_cast<char>(HexDigit(target[i + 1]) * 16 + HexDigit(target[i + 2])));
      i += 2;
    } else {
      decoded.push_back(target[i]);
    }
  }
  std::string path =
      !decoded.empty() && decoded.front() == '/' ? decoded.substr(1) : PartFolder(sourcePart) + decoded;
  std::vector<std::string> segments;
  std::size_t start = 0;
  while (start <= path.size()) {
    std::size_t end = path.find('/', start);
    if (end == std::string::npos) end = path.size();
    std::string segment = path.substr(start, end - start);
    if (segment == "..") {
      if (!segments.empty()) segments.pop_back();
    } else if (!segment.empty() && segment != ".") {
      segments.push_back(segment);
    }
    start = end + 1;
  }
  std::string resolved;
  for (const std::string& segment : segments) {
    if (!resolved.empty()) resolved += '/';
    resolved += segment;
  }
  return resolved;
}

// Collects the <Relationship> elements of a relationships part.
class RelationshipsReader : public xml::XmlHandler {
 public:
  RelationshipsReader(std::string_view sourcePart, std::vector<Relationship>& out)
      : sourcePart_(sourcePart), out_(out) {}
  void StartElement(std::string_view name, const char** attributes) override {
    if (name != "Relationship") return;
    Relationship relationship;
    const char* id = xml::FindAttribute(attributes, "Id");
    const char* type = xml::FindAttribute(attributes, "Type");
    const char* target = xml::FindAttribute(attributes, "Target");
    const char* mode = xml::FindAttribute(attributes, "TargetMode");
    relationship.id = id == nullptr ? "" : id;
    relationship.type = type == nullptr ? "" : type;
    relationship.external = mode != nullptr && std::string_view(mode) == "External";
    std::string targetText = target == nullptr ? "" : target;
    relationship.target = relationship.external ? targetText : ResolveTarget(sourcePart_, targetText);
    out_.push_back(std::move(relationship));
  }
  void EndElement(std::string_view) override {}
  void Characters(std::string_view) override {}

 private:
  std::string_view sourcePart_;
  std::vector<Relationship>& out_;
};

// Collects the sheet list and the date system of the workbook part.
class WorkbookReader : public xml::XmlHandler {
 public:
  WorkbookReader(std::vector<SheetEntry>& sheets, bool& date1904) : sheets_(sheets), date1904_(date1904) {}
  void StartElement(std::string_view name, const char** attributes) override {
    if (++depth_ == 1 && name != "workbook")
      throw Error(ErrorCode::NotAWorkbook, "the root element is not <workbook>");
    if (name == "workbookPr") {
      const char* value = xml::FindAttribute(attributes, "date1904");
      date1904_ = value != nullptr && (std::string_view(value) == "1" || std::string_view(value) == "true");
    } else if (name == "sheet" && depth_ == 3) {
      SheetEntry entry;
      const char* sheetName = xml::FindAttribute(attributes, "name");
      const char* sheetId = xml::FindAttribute(attributes, "sheetId");
      entry.name = sheetName == nullptr ? "" : sheetName;
      entry.sheetId = sheetId == nullptr ? "" : sheetId;
      for (std::size_t i = 0; attributes[i] != nullptr; i += 2) {
        std::string_view qualified = attributes[i];
        if (qualified.find(':') != std::string_view::npos && xml::LocalName(qualified) == "id") {
          entry.relationshipId = attributes[i + 1];
        }
      }
      sheets_.push_back(std::move(entry));
    }
  }
  void EndElement(std::string_view) override { --depth_; }
  void Characters(std::string_view) override {}

 private:
  std::vector<SheetEntry>& sheets_;
  bool& date1904_;
  int depth_ = 0;
};

constexpr unsigned kParseFlags = pugi::parse_default & ~pugi::parse_wconv_attribute & ~pugi::parse_eol;

// Applies `edit` to the document in `content` (well-formed, already vetted) and returns it serialized.
template <typename Edit>
std::string EditDocument(const std::string& content, Edit edit) {
  pugi::xml_document document;
  document.load_buffer(content.data(), content.size(), kParseFlags);
  edit(document.document_element());
  std::ostringstream out;
  out << kDeclaration;
  document.save(out, "", pugi::format_raw | pugi::format_no_declaration, pugi::encoding_utf8);
  return out.str();
}

std::string_view Local(const char* name) { return xml::LocalName(name); }

constexpr const char* kNewContentTypes =
    R"(<Types xmlns="http://schemas.openxmlformats.org/package/2006/content-types">)"
    R"(<Default Extension="rels" ContentType="application/vnd.openxmlformats-package.relationships+xml"/>)"
    R"(<Default Extension="xml" ContentType="application/xml"/>)"
    R"(<Override PartName="/xl/workbook.xml" ContentType="application/vnd.openxmlformats-officedocument.spreadsheetml.sheet.main+xml"/>)"
    R"(<Override PartName="/xl/worksheets/sheet1.xml" ContentType="application/vnd.openxmlformats-officedocument.spreadsheetml.worksheet+xml"/>)"
    R"(<Override PartName="/xl/styles.xml" ContentType="application/vnd.openxmlformats-officedocument.spreadsheetml.styles+xml"/>)"
    R"(</Types>)";
constexpr const char* kNewPackageRelationships =
    R"(<Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">)"
    R"(<Relationship Id="rId1" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/officeDocument" Target="xl/workbook.xml"/>)"
    R"(</Relationships>)";
constexpr const char* kNewWorkbook =
    R"(<workbook xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main")"
    R"( xmlns:r="http://schemas.openxmlformats.org/officeDocument/2006/relationships">)"
    R"(<bookViews><workbookView/></bookViews>)"
    R"(<sheets><sheet name="Tabelle1" sheetId="1" r:id="rId1"/></sheets></workbook>)";
constexpr const char* kNewWorkbookRelationships =
    R"(<Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">)"
    R"(<Relationship Id="rId1" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/worksheet" Target="worksheets/sheet1.xml"/>)"
    R"(<Relationship Id="rId2" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/styles" Target="styles.xml"/>)"
    R"(</Relationships>)";
constexpr const char* kNewSheet =
    R"(<worksheet xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main")"
    R"( xmlns:r="http://schemas.openxmlformats.org/officeDocument/2006/relationships">)"
    R"(<dimension ref="A1"/><sheetViews><sheetView tabSelected="1" workbookViewId="0"/></sheetViews>)"
    R"(<sheetFormatPr defaultRowHeight="15"/><sheetData/>)"
    R"(<pageMargins left="0.7" right="0.7" top="0.75" bottom="0.75" header="0.3" footer="0.3"/></worksheet>)";

}  // namespace

Workbook::Workbook(std::unique_ptr<Package> package) : package_(std::move(package)) {}

std::unique_ptr<Workbook> Workbook::Open(const std::string& path, Limits limits) {
  return OpenBytes(ReadWholeFile(path), path, limits);
}

std::unique_ptr<Workbook> Workbook::OpenForEditing(const std::string& path, const EditOptions& options,
                                                   Limits limits) {
  std::unique_ptr<WorkbookFile> file = WorkbookFile::Hold(path, options);
  std::unique_ptr<Workbook> workbook = OpenBytes(file->Read(), path, limits);
  workbook->file_ = std::move(file);
  return workbook;
}

std::unique_ptr<Workbook> Workbook::OpenBytes(std::string bytes, std::string fileName, Limits limits) {
  std::unique_ptr<Workbook> workbook(
      new Workbook(std::make_unique<Package>(std::move(bytes), std::move(fileName), limits)));
  workbook->ReadStructure();
  workbook->FirstSheet();
  return workbook;
}

std::unique_ptr<Workbook> Workbook::CreateEmpty() {
  std::string styles = Styles().Serialize();
  std::string bytes =
      Package::Build({{"[Content_Types].xml", std::string(kDeclaration) + kNewContentTypes},
                      {"_rels/.rels", std::string(kDeclaration) + kNewPackageRelationships},
                      {"xl/workbook.xml", std::string(kDeclaration) + kNewWorkbook},
                      {"xl/_rels/workbook.xml.rels", std::string(kDeclaration) + kNewWorkbookRelationships},
                      {"xl/worksheets/sheet1.xml", std::string(kDeclaration) + kNewSheet},
                      {"xl/styles.xml", styles}},
                     6);
  return OpenBytes(std::move(bytes), "new workbook");
}

std::vector<Relationship> Workbook::ParseRelationships(std::string_view sourcePart,
                                                       const std::string& content) const {
  std::vector<Relationship> relationships;
  RelationshipsReader reader(sourcePart, relationships);
  xml::ParseWhole(package_->Where(RelationshipsPartOf(sourcePart)), content, reader);
  return relationships;
}

std::vector<Relationship> Workbook::RelationshipsOf(std::string_view partName) {
  std::string relationshipsPart = RelationshipsPartOf(partName);
  auto replaced = replaced_.find(relationshipsPart);
  if (replaced == replaced_.end() && !package_->Has(relationshipsPart)) return {};
  return ParseRelationships(partName, PartContent(relationshipsPart));
}

void Workbook::ReadStructure() {
  const std::string& file = package_->fileName();
  if (!package_->Has("[Content_Types].xml")) {
    if (package_->Has("mimetype") &&
        package_->Read("mimetype").starts_with("application/vnd.oasis.opendocument"))
      throw Error(ErrorCode::NotAWorkbook, file + ": this is an OpenDocument spreadsheet; save it as .xlsx");
    throw Error(ErrorCode::NotAWorkbook, file + ": not a workbook (the package has no [Content_Types].xml)");
  }
  xml::CheckWellFormed(package_->Where("[Content_Types].xml"), package_->Read("[Content_Types].xml"));
  for (const Relationship& relationship : RelationshipsOf("")) {
    if (EndsWith(relationship.type, kOfficeDocument) && !relationship.external)
      workbookPart_ = relationship.target;
  }
  if (workbookPart_.empty() || !package_->Has(workbookPart_)) {
    throw Error(ErrorCode::NotAWorkbook, file + ": not a workbook (no workbook part)");
  }
  workbookPart_ = package_->StoredName(workbookPart_);
  WorkbookReader reader(sheets_, date1904_);
  xml::ParseWhole(package_->Where(workbookPart_), package_->Read(workbookPart_), reader);
  if (sheets_.empty())
    throw Error(ErrorCode::NotAWorkbook, package_->Where(workbookPart_) + ": the workbook has no sheets");

  std::vector<Relationship> relationships = RelationshipsOf(workbookPart_);
  std::string sharedStringsPart;
  for (const Relationship& relationship : relationships) {
    if (relationship.external) continue;
    if (EndsWith(relationship.type, kSharedStringsType)) sharedStringsPart = relationship.target;
    if (EndsWith(relationship.type, kStylesType)) stylesPart_ = relationship.target;
  }
  for (SheetEntry& sheet : sheets_) {
    for (const Relationship& relationship : relationships) {
      if (relationship.id != sheet.relationshipId || relationship.external) continue;
      sheet.isWorksheet = EndsWith(relationship.type, kWorksheetType);
      if (package_->Has(relationship.target)) sheet.partName = package_->StoredName(relationship.target);
    }
  }
  loaded_.resize(sheets_.size());

  if (!stylesPart_.empty() && package_->Has(stylesPart_)) {
    stylesPart_ = package_->StoredName(stylesPart_);
    std::string content = package_->Read(stylesPart_);
    xml::CheckWellFormed(package_->Where(stylesPart_), content);
    styles_ = std::make_unique<Styles>(package_->Where(stylesPart_), content);
    stylesPartExists_ = true;
  } else {
    styles_ = std::make_unique<Styles>();
    stylesPart_ = PartFolder(workbookPart_) + "styles.xml";
  }

  // The shared strings and the first sheet are read side by side: each is one streaming parse.
  std::exception_ptr stringsFailure;
  std::thread stringsReader;
  if (!sharedStringsPart.empty() && package_->Has(sharedStringsPart)) {
    stringsReader = std::thread([this, part = package_->StoredName(sharedStringsPart), &stringsFailure] {
      try {
        sharedStrings_ = SharedStrings(*package_, part);
      } catch (...) {
        stringsFailure = std::current_exception();
      }
    });
  }
  std::exception_ptr sheetFailure;
  try {
    LoadSheet(0);
  } catch (...) {
    sheetFailure = std::current_exception();
  }
  if (stringsReader.joinable()) stringsReader.join();
  if (stringsFailure) std::rethrow_exception(stringsFailure);
  if (sheetFailure) std::rethrow_exception(sheetFailure);
  loaded_[0]->CheckSharedStringIndexes();
}

Worksheet& Workbook::Sheet(std::size_t index) {
  if (index >= sheets_.size()) {
    throw Error(ErrorCode::OutOfRange,
                package_->fileName() + ": there is no sheet " + std::to_string(index + 1));
  }
  if (loaded_[index]) return *loaded_[index];
  LoadSheet(index);
  loaded_[index]->CheckSharedStringIndexes();
  return *loaded_[index];
}

void Workbook::LoadSheet(std::size_t index) {
  const SheetEntry& entry = sheets_[index];
  if (entry.partName.empty()) {
    throw Error(ErrorCode::NotAWorkbook,
                package_->fileName() + ": the part of sheet \"" + entry.name + "\" is missing");
  }
  if (!entry.isWorksheet) {
    throw Error(ErrorCode::NotAWorkbook,
                package_->fileName() + ": sheet \"" + entry.name + "\" is not a worksheet");
  }
  auto sheet =
      std::make_unique<Worksheet>(SheetContext{package_->Where(entry.partName), &sharedStrings_,
                                               styles_.get(), date1904_, &package_->memory(), &changes_});
  sheet->Read([&](const std::function<void(const char*, std::size_t, bool)>& sink) {
    auto replaced = replaced_.find(entry.partName);
    if (replaced != replaced_.end()) {
      sink(replaced->second.data(), replaced->second.size(), true);
    } else {
      package_->Stream(entry.partName, sink);
    }
  });
  sheet->rowsDeleted = [this, index](std::uint32_t first, std::uint32_t count) {
    if (rowsDeleted) rowsDeleted(index, first, count);
  };
  loaded_[index] = std::move(sheet);
}

std::vector<std::string> Workbook::PartNames() const {
  std::vector<std::string> names = package_->PartNames();
  for (const auto& [name, content] : replaced_) {
    if (!package_->Has(name)) names.push_back(name);
  }
  return names;
}

std::string Workbook::PartContent(std::string_view partName) {
  auto replaced = replaced_.find(std::string(partName));
  if (replaced != replaced_.end()) return replaced->second;
  return package_->Read(partName);
}

void Workbook::ReplacePart(const std::string& partName, std::string content) {
  std::string stored = package_->Has(partName) ? package_->StoredName(partName) : partName;
  auto replaced = replaced_.find(stored);
  bool present = replaced != replaced_.end() || package_->Has(stored);
  if (present && (replaced != replaced_.end() ? replaced->second : package_->Read(stored)) == content) return;
  replaced_[stored] = std::move(content);
  ++changes_;
}

std::string Workbook::WithoutCalculationChain(std::map<std::string, std::string>& edited,
                                              std::map<std::string, std::optional<PartProducer>>& changes) {
  std::string relationshipsPart = RelationshipsPartOf(workbookPart_);
  std::string chainPart;
  for (const Relationship& relationship : RelationshipsOf(workbookPart_)) {
    if (EndsWith(relationship.type, kCalcChainType) && !relationship.external)
      chainPart = relationship.target;
  }
  if (chainPart.empty()) return {};
  edited[relationshipsPart] = EditDocument(PartContent(relationshipsPart), [&](pugi::xml_node root) {
    for (pugi::xml_node child = root.first_child(); child;) {
      pugi::xml_node next = child.next_sibling();
      if (EndsWith(child.attribute("Type").value(), kCalcChainType)) root.remove_child(child);
      child = next;
    }
  });
  if (package_->Has(chainPart)) changes[package_->StoredName(chainPart)] = std::nullopt;
  return chainPart;
}

std::string Workbook::SaveToBytes() {
  // Parts written from text: replaced parts and edited small parts; they must outlive the write.
  std::map<std::string, std::string> edited = replaced_;
  std::map<std::string, std::optional<PartProducer>> changes;
  bool formulasMoved = false;
  for (std::size_t i = 0; i < loaded_.size(); ++i) {
    if (!loaded_[i] || !loaded_[i]->changed()) continue;
    const Worksheet& sheet = *loaded_[i];
    changes[sheets_[i].partName] = PartProducer(
        [&sheet](const std::function<void(std::string_view)>& write) { sheet.Serialize(write); });
    formulasMoved = formulasMoved || sheet.formulasMoved();
  }
  std::vector<std::string> removedParts;
  // A calculation chain that lists cells whose formulas moved or went makes the application repair the
  // file; without one it rebuilds the chain.
  if (formulasMoved) {
    std::string chainPart = WithoutCalculationChain(edited, changes);
    if (!chainPart.empty()) removedParts.push_back(chainPart);
  }
  bool addStyles = styles_->changed() && !stylesPartExists_;
  if (styles_->changed()) edited[stylesPart_] = styles_->Serialize();
  if (addStyles) {
    std::string relationshipsPart = RelationshipsPartOf(workbookPart_);
    std::string current =
        edited.count(relationshipsPart) ? edited[relationshipsPart] : PartContent(relationshipsPart);
    std::vector<Relationship> existing = ParseRelationships(workbookPart_, current);
    std::string id = "rIdStyles";
    while (std::any_of(existing.begin(), existing.end(), [&](const Relationship& r) { return r.id == id; }))
      id += "1";
    edited[relationshipsPart] = EditDocument(current, [&](pugi::xml_node root) {
      pugi::xml_node added = root.append_child("Relationship");
      added.append_attribute("Id") = id.c_str();
      added.append_attribute("Type") = kStylesRelationship;
      added.append_attribute("Target") = ("/" + stylesPart_).c_str();
    });
  }
  if (addStyles || !removedParts.empty()) {
    std::string current = edited.count("[Content_Types].xml") ? edited["[Content_Types].xml"]
                                                              : PartContent("[Content_Types].xml");
    edited["[Content_Types].xml"] = EditDocument(current, [&](pugi::xml_node root) {
      for (pugi::xml_node child = root.first_child(); child;) {
        pugi::xml_node next = child.next_sibling();
        std::string partName = child.attribute("PartName").value();
        bool removed = std::any_of(removedParts.begin(), removedParts.end(),
                                   [&](const std::string& part) { return "/" + part == partName; });
        if (Local(child.name()) == "Override" && removed) root.remove_child(child);
        child = next;
      }
      if (addStyles) {
        pugi::xml_node added = root.append_child("Override");
        added.append_attribute("PartName") = ("/" + stylesPart_).c_str();
        added.append_attribute("ContentType") = kStylesContentType;
      }
    });
  }
  for (const auto& [name, content] : edited) changes[name] = Package::Content(content);
  return package_->Write(changes, compressionLevel);
}

void Workbook::SaveAs(const std::string& path, bool keepPermissions) {
  // The held file is saved with Save's checks however its path is spelled (relative, via a link).
  std::error_code unknown;
  if (file_ && (path == file_->path() || std::filesystem::equivalent(path, file_->path(), unknown))) {
    return Save();
  }
  ReplaceFile(path, SaveToBytes(), keepPermissions);
}

void Workbook::Save() {
  if (!file_) throw Error(ErrorCode::InvalidArgument, fileName() + ": the workbook holds no file to save to");
  if (!HasUnsavedChanges()) return;
  std::uint64_t saving = changes_;
  file_->Replace(SaveToBytes());
  savedChanges_ = saving;
}

void Workbook::SaveAsNewFile(const std::string& path, const EditOptions& options) {
  std::unique_ptr<WorkbookFile> file = WorkbookFile::Hold(path, options);
  std::uint64_t saving = changes_;
  file->Replace(SaveToBytes());
  file_ = std::move(file);
  savedChanges_ = saving;
}

}  // namespace zentora::spreadsheet

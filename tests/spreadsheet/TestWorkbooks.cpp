#include "TestWorkbooks.h"

#include <zip.h>

#include <fstream>
#include <iterator>
#include <random>
#include <stdexcept>

#include "Spreadsheet/package/Package.h"

namespace zentora::spreadsheet::testing {

Parts WorkbookParts(const std::string& sheetData, const std::string& sharedStrings,
                    const std::string& cellFormats, const std::string& afterSheetData,
                    const std::string& numberFormats) {
  const std::string declaration = "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n";
  const std::string main =
      std::string(" xmlns=\"") + kMainNamespace +
      "\" xmlns:r=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships\">";
  const std::string types =
      R"(<Types xmlns="http://schemas.openxmlformats.org/package/2006/content-types">)"
      R"(<Default Extension="rels" ContentType="application/vnd.openxmlformats-package.relationships+xml"/>)"
      R"(<Default Extension="xml" ContentType="application/xml"/><Override PartName="/xl/workbook.xml")"
      R"( ContentType="application/vnd.openxmlformats-officedocument.spreadsheetml.sheet.main+xml"/>)"
      R"(<Override PartName="/xl/worksheets/sheet1.xml")"
      R"( ContentType="application/vnd.openxmlformats-officedocument.spreadsheetml.worksheet+xml"/>)"
      R"(<Override PartName="/xl/styles.xml")"
      R"( ContentType="application/vnd.openxmlformats-officedocument.spreadsheetml.styles+xml"/>)"
      R"(<Override PartName="/xl/sharedStrings.xml")"
      R"( ContentType="application/vnd.openxmlformats-officedocument.spreadsheetml.sharedStrings+xml"/>)";
  const std::string formats = cellFormats.empty()
                                  ? "<xf numFmtId=\"0\" fontId=\"0\" fillId=\"0\" borderId=\"0\" xfId=\"0\"/>"
                                  : cellFormats;
  Parts parts = {
      {"[Content_Types].xml", declaration + types + "</Types>"},
      {"_rels/.rels", ""},
      {"xl/workbook.xml",
       declaration + "<workbook" + main +
           "<sheets><sheet name=\"Data\" sheetId=\"1\" r:id=\"rId1\"/></sheets></workbook>"},
      {"xl/_rels/workbook.xml.rels", ""},
      {"xl/worksheets/sheet1.xml", declaration + "<worksheet" + main + "<dimension ref=\"A1\"/><sheetData>" +
                                       sheetData + "</sheetData>" + afterSheetData + "</worksheet>"},
      {"xl/styles.xml",
       declaration + "<styleSheet" + main + numberFormats +
           R"(<fonts count="2"><font><sz val="11"/><name val="Calibri"/></font><font><b/><sz val="11"/>)"
           R"(<name val="Calibri"/></font></fonts><fills count="2"><fill><patternFill patternType="none"/>)"
           R"(</fill><fill><patternFill patternType="gray125"/></fill></fills><borders count="1"><border>)"
           R"(<left/><right/><top/><bottom/><diagonal/></border></borders><cellStyleXfs count="1">)"
           R"(<xf numFmtId="0" fontId="0" fillId="0" borderId="0"/></cellStyleXfs><cellXfs>)" +
           formats +
           R"(</cellXfs><cellStyles count="1"><cellStyle name="Normal" xfId="0" builtinId="0"/></cellStyles>)"
           R"(</styleSheet>)"},
      {"xl/sharedStrings.xml", declaration + "<sst" + main + sharedStrings + "</sst>"}};
  AddRelationship(parts, "_rels/.rels", "rId1", "officeDocument", "xl/workbook.xml");
  AddRelationship(parts, "xl/_rels/workbook.xml.rels", "rId1", "worksheet", "worksheets/sheet1.xml");
  AddRelationship(parts, "xl/_rels/workbook.xml.rels", "rId2", "styles", "styles.xml");
  AddRelationship(parts, "xl/_rels/workbook.xml.rels", "rId3", "sharedStrings", "sharedStrings.xml");
  return parts;
}

std::string PackageBytes(const Parts& parts) { return Package::Build(parts, 6); }

std::string& PartOf(Parts& parts, const std::string& name) {
  for (auto& [partName, content] : parts) {
    if (partName == name) return content;
  }
  return parts.emplace_back(name, "").second;
}

void InsertBefore(std::string& xml, const std::string& marker, const std::string& text) {
  xml.insert(xml.find(marker), text);
}

void AddRelationship(Parts& parts, const std::string& relsPart, const std::string& id,
                     const std::string& type, const std::string& target) {
  std::string& rels = PartOf(parts, relsPart);
  if (rels.empty()) {
    rels = R"(<Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">)"
           R"(</Relationships>)";
  }
  InsertBefore(rels, "</Relationships>",
               "<Relationship Id=\"" + id +
                   "\" Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/" + type +
                   "\" Target=\"" + target + "\"" +
                   (target.starts_with("https:") ? " TargetMode=\"External\"" : "") + "/>");
}

void ExpectPieces(const std::string& text, std::initializer_list<std::string> present,
                  std::initializer_list<std::string> absent) {
  for (const std::string& piece : present)
    EXPECT_NE(text.find(piece), std::string::npos) << piece << "\nnot in\n" << text;
  for (const std::string& piece : absent)
    EXPECT_EQ(text.find(piece), std::string::npos) << piece << "\nstill in\n" << text;
}

namespace {

zip_t* OpenBytes(const std::string& bytes) {
  zip_error_t error;
  zip_error_init(&error);
  zip_source_t* source = zip_source_buffer_create(bytes.data(), bytes.size(), 0, &error);
  zip_t* archive = zip_open_from_source(source, ZIP_RDONLY, &error);
  if (archive == nullptr) {
    zip_source_free(source);
    throw std::runtime_error("not a zip");
  }
  return archive;
}

// The bytes of `part`, inflated unless `flags` asks for them as stored.
std::string ReadEntry(const std::string& bytes, const std::string& part, zip_flags_t flags) {
  zip_t* archive = OpenBytes(bytes);
  zip_file_t* file = zip_fopen(archive, part.c_str(), flags);
  if (file == nullptr) {
    zip_discard(archive);
    throw std::runtime_error("no part " + part);
  }
  std::string content;
  char buffer[65536];
  zip_int64_t got;
  while ((got = zip_fread(file, buffer, sizeof buffer)) > 0)
    content.append(buffer, static_cast<std::size_t>(got));
  zip_fclose(file);
  zip_discard(archive);
  return content;
}

}  // namespace

std::string ReadPart(const std::string& bytes, const std::string& part) { return ReadEntry(bytes, part, 0); }

std::string StoredPart(const std::string& bytes, const std::string& part) {
  zip_t* archive = OpenBytes(bytes);
  zip_stat_t stat;
  zip_stat(archive, part.c_str(), 0, &stat);
  zip_discard(archive);
  return std::to_string(stat.crc) + ":" + ReadEntry(bytes, part, ZIP_FL_COMPRESSED);
}

TemporaryFolder::TemporaryFolder() {
  std::random_device device;
  path_ = std::filesystem::temp_directory_path() /
          ("zentora-test-" + std::to_string(device()) + std::to_string(device()));
  std::filesystem::create_directories(path_);
}

TemporaryFolder::~TemporaryFolder() {
  std::error_code ignored;
  std::filesystem::permissions(path_, std::filesystem::perms::owner_all, std::filesystem::perm_options::add,
                               ignored);
  std::filesystem::remove_all(path_, ignored);
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

void WriteFile(const std::string& path, const std::string& content) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << content;
}

}  // namespace zentora::spreadsheet::testing

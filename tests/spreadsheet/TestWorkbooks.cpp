#include "TestWorkbooks.h"

#include <zip.h>

#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>

#include "Spreadsheet/package/Package.h"

namespace zentora::spreadsheet::testing {

Parts WorkbookParts(const std::string& sheetData, const std::string& sharedStrings,
                    const std::string& cellFormats, const std::string& afterSheetData,
                    const std::string& numberFormats) {
  std::string declaration = "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n";
  std::string types =
      "<Types xmlns=\"http://schemas.openxmlformats.org/package/2006/content-types\">"
      "<Default Extension=\"rels\" ContentType=\"application/vnd.openxmlformats-package.relationships+xml\"/>"
      "<Default Extension=\"xml\" ContentType=\"application/xml\"/>"
      "<Override PartName=\"/xl/workbook.xml\" "
      "ContentType=\"application/vnd.openxmlformats-officedocument.spreadsheetml.sheet.main+xml\"/>"
      "<Override PartName=\"/xl/worksheets/sheet1.xml\" "
      "ContentType=\"application/vnd.openxmlformats-officedocument.spreadsheetml.worksheet+xml\"/>"
      "<Override PartName=\"/xl/styles.xml\" "
      "ContentType=\"application/vnd.openxmlformats-officedocument.spreadsheetml.styles+xml\"/>"
      "<Override PartName=\"/xl/sharedStrings.xml\" "
      "ContentType=\"application/vnd.openxmlformats-officedocument.spreadsheetml.sharedStrings+xml\"/>"
      "</Types>";
  std::string rels =
      "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
      "<Relationship Id=\"rId1\" "
      "Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/officeDocument\" "
      "Target=\"xl/workbook.xml\"/></Relationships>";
  std::string workbook = std::string("<workbook xmlns=\"") + kMainNamespace +
                         "\" xmlns:r=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships\">"
                         "<sheets><sheet name=\"Data\" sheetId=\"1\" r:id=\"rId1\"/></sheets></workbook>";
  std::string workbookRels =
      "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
      "<Relationship Id=\"rId1\" "
      "Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/worksheet\" "
      "Target=\"worksheets/sheet1.xml\"/>"
      "<Relationship Id=\"rId2\" "
      "Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/styles\" "
      "Target=\"styles.xml\"/>"
      "<Relationship Id=\"rId3\" "
      "Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/sharedStrings\" "
      "Target=\"sharedStrings.xml\"/></Relationships>";
  std::string formats = cellFormats.empty()
                            ? "<xf numFmtId=\"0\" fontId=\"0\" fillId=\"0\" borderId=\"0\" xfId=\"0\"/>"
                            : cellFormats;
  std::string styles =
      std::string("<styleSheet xmlns=\"") + kMainNamespace + "\">" + numberFormats +
      "<fonts count=\"2\"><font><sz val=\"11\"/><name val=\"Calibri\"/></font>"
      "<font><b/><sz val=\"11\"/><name val=\"Calibri\"/></font></fonts>"
      "<fills count=\"2\"><fill><patternFill patternType=\"none\"/></fill>"
      "<fill><patternFill patternType=\"gray125\"/></fill></fills>"
      "<borders count=\"1\"><border><left/><right/><top/><bottom/><diagonal/></border></borders>"
      "<cellStyleXfs count=\"1\"><xf numFmtId=\"0\" fontId=\"0\" fillId=\"0\" borderId=\"0\"/></cellStyleXfs>"
      "<cellXfs>" +
      formats +
      "</cellXfs>"
      "<cellStyles count=\"1\"><cellStyle name=\"Normal\" xfId=\"0\" builtinId=\"0\"/></cellStyles>"
      "</styleSheet>";
  std::string strings = std::string("<sst xmlns=\"") + kMainNamespace + "\">" + sharedStrings + "</sst>";
  std::string sheet = std::string("<worksheet xmlns=\"") + kMainNamespace +
                      "\" xmlns:r=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships\">"
                      "<dimension ref=\"A1\"/><sheetData>" +
                      sheetData + "</sheetData>" + afterSheetData + "</worksheet>";
  return {{"[Content_Types].xml", declaration + types},
          {"_rels/.rels", declaration + rels},
          {"xl/workbook.xml", declaration + workbook},
          {"xl/_rels/workbook.xml.rels", declaration + workbookRels},
          {"xl/worksheets/sheet1.xml", declaration + sheet},
          {"xl/styles.xml", declaration + styles},
          {"xl/sharedStrings.xml", declaration + strings}};
}

std::string PackageBytes(const Parts& parts) { return Package::Build(parts, 6); }

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

}  // namespace

std::string ReadPart(const std::string& bytes, const std::string& part) {
  zip_t* archive = OpenBytes(bytes);
  zip_file_t* file = zip_fopen(archive, part.c_str(), 0);
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

std::string StoredPart(const std::string& bytes, const std::string& part) {
  zip_t* archive = OpenBytes(bytes);
  zip_stat_t stat;
  zip_stat(archive, part.c_str(), 0, &stat);
  zip_file_t* file = zip_fopen(archive, part.c_str(), ZIP_FL_COMPRESSED);
  std::string content = std::to_string(stat.crc) + ":";
  char buffer[65536];
  zip_int64_t got;
  while (file != nullptr && (got = zip_fread(file, buffer, sizeof buffer)) > 0) {
    content.append(buffer, static_cast<std::size_t>(got));
  }
  if (file != nullptr) zip_fclose(file);
  zip_discard(archive);
  return content;
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
  std::ostringstream content;
  content << in.rdbuf();
  return content.str();
}

void WriteFile(const std::string& path, const std::string& content) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << content;
}

}  // namespace zentora::spreadsheet::testing

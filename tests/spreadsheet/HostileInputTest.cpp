// Damaged and hostile workbooks, all generated here: each must give a clear
// error naming the file and the reason, within bounded memory and time.
#include <gtest/gtest.h>

#include "Spreadsheet/Error.h"
#include "Spreadsheet/workbook/Workbook.h"
#include "TestWorkbooks.h"

namespace zentora::spreadsheet {
namespace {

using namespace testing;

// Opening `bytes` fails with `code` and a message naming the file and holding `fragment`.
void ExpectRefused(const std::string& bytes, ErrorCode code, const std::string& fragment,
                   Limits limits = {}) {
  for (const std::string& piece : {std::string("hostile.xlsx"), fragment})
    testing::ExpectError(code, piece, [&] { Workbook::OpenBytes(bytes, "hostile.xlsx", limits); });
}

// The small workbook with the part `name` set to `content` ("" removes it).
std::string With(const std::string& name, const std::string& content) {
  Parts parts = WorkbookParts("");
  std::erase_if(parts, [&](const auto& part) { return part.first == name; });
  if (!content.empty()) parts.emplace_back(name, content);
  return PackageBytes(parts);
}

std::string SheetWith(const std::string& sheetData, const std::string& after = "") {
  return std::string("<worksheet xmlns=\"") + testing::kMainNamespace + "\"><sheetData>" + sheetData +
         "</sheetData>" + after + "</worksheet>";
}

// The small workbook with a long sheet whose compressed data is damaged in its middle.
std::string DamagedSheet() {
  std::string bytes =
      With("xl/worksheets/sheet1.xml", SheetWith("<row r=\"1\"><c r=\"A1\" t=\"inlineStr\"><is><t>" +
                                                 std::string(5000, 'a') + "</t></is></c></row>"));
  const std::size_t header = bytes.find("xl/worksheets/sheet1.xml");
  for (std::size_t i = header + 40; i < header + 60; ++i) bytes[i] = static_cast<char>(bytes[i] ^ 0x5A);
  return bytes;
}

// The small workbook with its workbook part marked as encrypted (bit 0 of the general purpose flags)
// in both of its headers.
std::string EncryptedEntry() {
  std::string bytes = PackageBytes(WorkbookParts(""));
  const std::size_t local = bytes.find("xl/workbook.xml"), central = bytes.find("xl/workbook.xml", local + 1);
  bytes[local - 24] = static_cast<char>(bytes[local - 24] | 1);
  bytes[central - 38] = static_cast<char>(bytes[central - 38] | 1);
  return bytes;
}

// The small workbook with `sheetData` and one shared string.
std::string Cells(const std::string& sheetData) {
  return PackageBytes(WorkbookParts(sheetData, "<si><t>only</t></si>"));
}

TEST(HostileInput, EveryDamagedPackageIsRefusedNamingTheFileAndTheReason) {
  const std::string compound = std::string("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8) + std::string(4096, '\0');
  std::string stream;
  for (const char c : std::string("EncryptedPackage")) stream += {c, '\0'};
  const std::string valid = PackageBytes(WorkbookParts(""));
  std::string deep;
  for (int i = 0; i < 5000; ++i) deep += "<x>";
  for (int i = 0; i < 5000; ++i) deep += "</x>";
  const std::string sheet = "xl/worksheets/sheet1.xml";
  struct Case {
    std::string bytes;
    std::string fragment;
    ErrorCode code = ErrorCode::NotAWorkbook;
  };
  std::vector<Case> cases = {
      {"ID;Name\n1;a\n", "a CSV or other text file"},
      {std::string("binary\0", 7), "not a readable zip"},
      {"", "the file is empty"},
      {compound, "legacy binary .xls workbook"},
      {compound + stream, "this workbook is encrypted"},
      {valid.substr(0, valid.size() / 2), "not a readable zip"},
      {With("xl/../../evil.xml", "x"), "unsafe part name \"xl/../../evil.xml\""},
      {With("/etc/passwd", "x"), "unsafe part name"},
      {With("XL/Workbook.xml", "x"), "occurs twice"},
      {With("xl/workbook.xml", ""), "no workbook part"},
      {With("[Content_Types].xml", ""), "[Content_Types].xml"},
      {With(sheet, ""), "the part of sheet \"Data\" is missing"},
      {With(sheet, SheetWith("", "<extLst>" + deep + "</extLst>")), "nested deeper than 256",
       ErrorCode::LimitExceeded},
      {With(sheet, SheetWith("", R"(<mergeCells><mergeCell ref="A1:"/></mergeCells>)")),
       "malformed merged range"},
      {With(sheet, SheetWith("", "<sheetData/>")), "more than one <sheetData> element"},
      {DamagedSheet(), "xl/worksheets/sheet1.xml"},
      {EncryptedEntry(), "xl/workbook.xml is encrypted"},
      {Cells(R"(<row r="1"><c r="A1" t="s"><v>5</v></c></row>)"),
       "cell A1 refers to shared string \"5\", but there are 1"},
      {Cells(R"(<row r="1"><c r="A1" t="s"><v>-1</v></c></row>)"), "refers to shared string \"-1\""},
      {Cells(R"(<row r="1"><c r="A1" s="3"><v>1</v></c></row>)"), "cell A1 uses style 3, but there are 1"},
      {Cells(R"(<row r="1"><c r="XFE1"><v>1</v></c></row>)"), "\"XFE1\" is malformed or outside the sheet"},
      {Cells(R"(<row r="1048577"><c><v>1</v></c></row>)"), "outside 1..1048576"},
      {Cells(R"(<row r="1"><c r="B1"><v>1</v></c><c r="A1"><v>1</v></c></row>)"),
       "cell A1 comes after column B"},
      {Cells(R"(<row r="2"/><row r="1"/>)"), "row 1 comes after row 2"},
      {Cells(R"(<row r="1"><c r="A2"><v>1</v></c></row>)"), "cell A2 is inside row 1"},
      {Cells(R"(<row r="1"><c r="A1"><v>12abc</v></c></row>)"), "holds \"12abc\", which is not a number"},
  };
  // A document type (which could declare entities) in any part read, and an undeclared entity.
  const std::string doctype = "<?xml version=\"1.0\"?><!DOCTYPE x [<!ENTITY e \"boom\">]>";
  Parts parts = WorkbookParts("<row r=\"1\"><c r=\"A1\" t=\"s\"><v>0</v></c></row>", "<si><t>a</t></si>");
  for (const auto& [name, content] : parts) {
    Parts changed = parts;
    PartOf(changed, name) = doctype + content.substr(content.find('<', content.find("?>") + 2));
    cases.push_back({PackageBytes(changed), "DOCTYPE"});
  }
  PartOf(parts, "xl/sharedStrings.xml") =
      std::string("<sst xmlns=\"") + testing::kMainNamespace + "\"><si><t>&e;</t></si></sst>";
  cases.push_back({PackageBytes(parts), "xl/sharedStrings.xml, byte"});
  for (const Case& example : cases) ExpectRefused(example.bytes, example.code, example.fragment);
}

TEST(HostilePackage, BombsHitThePartAndPackageRatios) {
  // Three megabytes of spaces deflate about a thousandfold: within the allowance by default.
  std::string spaces(3'000'000, ' ');
  std::string bomb = PackageBytes(
      WorkbookParts("<row><c><is><t>" + spaces + "</t></is></c></row>", "<si><t>" + spaces + "</t></si>"));
  Workbook::OpenBytes(bomb, "hostile.xlsx");
  // The part's own ratio at the default limits is HostileMemoryTest's.
  Limits tight;
  tight.inflationAllowance = 4'000'000;
  tight.maxInflationRatio = 1;
  ExpectRefused(bomb, ErrorCode::LimitExceeded, "the package inflates to more than 1 times the file", tight);
}

}  // namespace
}  // namespace zentora::spreadsheet

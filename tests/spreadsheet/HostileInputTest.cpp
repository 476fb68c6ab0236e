// Damaged and hostile workbooks, all generated here: each must give a clear
// error naming the file and the reason, within bounded memory and time.
#include <gtest/gtest.h>

#include "Spreadsheet/Error.h"
#include "Spreadsheet/workbook/Workbook.h"
#include "TestWorkbooks.h"

namespace zentora::spreadsheet {
namespace {

using testing::PackageBytes;
using testing::PartOf;
using testing::Parts;
using testing::WorkbookParts;

void ExpectRefused(const std::string& bytes, ErrorCode code, const std::string& fragment,
                   Limits limits = {}) {
  try {
    Workbook::OpenBytes(bytes, "hostile.xlsx", limits);
    ADD_FAILURE() << "no error for " << fragment;
  } catch (const Error& error) {
    std::string message = error.what();
    EXPECT_EQ(error.code(), code) << message;
    EXPECT_NE(message.find("hostile.xlsx"), std::string::npos) << message;
    EXPECT_NE(message.find(fragment), std::string::npos) << message;
  }
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

TEST(HostileInput, EveryDamagedPackageIsRefusedNamingTheFileAndTheReason) {
  const std::string compound = std::string("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8) + std::string(4096, '\0');
  std::string stream;
  for (const char c : std::string("EncryptedPackage")) stream += {c, '\0'};
  const std::string valid = PackageBytes(WorkbookParts(""));
  std::string deep;
  for (int i = 0; i < 5000; ++i) deep += "<x>";
  for (int i = 0; i < 5000; ++i) deep += "</x>";
  const std::string sheet = "xl/worksheets/sheet1.xml";
  const struct {
    std::string bytes;
    ErrorCode code;
    std::string fragment;
  } cases[] = {
      {"ID;Name\n1;a\n", ErrorCode::NotAWorkbook, "a CSV or other text file"},
      {std::string("binary\0", 7), ErrorCode::NotAWorkbook, "not a readable zip"},
      {"", ErrorCode::NotAWorkbook, "the file is empty"},
      {compound, ErrorCode::NotAWorkbook, "legacy binary .xls workbook"},
      {compound + stream, ErrorCode::NotAWorkbook, "this workbook is encrypted"},
      {valid.substr(0, valid.size() / 2), ErrorCode::NotAWorkbook, "not a readable zip"},
      {valid.substr(0, valid.size() - 10), ErrorCode::NotAWorkbook, "not a readable zip"},
      {With("xl/../../evil.xml", "x"), ErrorCode::NotAWorkbook, "unsafe part name \"xl/../../evil.xml\""},
      {With("/etc/passwd", "x"), ErrorCode::NotAWorkbook, "unsafe part name"},
      {With("XL/Workbook.xml", "x"), ErrorCode::NotAWorkbook, "occurs twice"},
      {With("xl/workbook.xml", ""), ErrorCode::NotAWorkbook, "no workbook part"},
      {With("[Content_Types].xml", ""), ErrorCode::NotAWorkbook, "[Content_Types].xml"},
      {With(sheet, ""), ErrorCode::NotAWorkbook, "the part of sheet \"Data\" is missing"},
      {With(sheet, SheetWith("", "<extLst>" + deep + "</extLst>")), ErrorCode::LimitExceeded,
       "nested deeper than 256"},
      {With(sheet, SheetWith("", R"(<mergeCells><mergeCell ref="A1:"/></mergeCells>)")),
       ErrorCode::NotAWorkbook, "malformed merged range"},
      {With(sheet, SheetWith("", "<sheetData/>")), ErrorCode::NotAWorkbook,
       "more than one <sheetData> element"},
  };
  for (const auto& example : cases) ExpectRefused(example.bytes, example.code, example.fragment);
}

TEST(HostilePackage, CorruptCompressedDataIsCaught) {
  std::string sheet = SheetWith("<row r=\"1\"><c r=\"A1\" t=\"inlineStr\"><is><t>" + std::string(5000, 'a') +
                                "</t></is></c></row>");
  std::string bytes = With("xl/worksheets/sheet1.xml", sheet);
  // The sheet's compressed data starts after its local header; damage bytes in its middle.
  std::size_t header = bytes.find("xl/worksheets/sheet1.xml");
  ASSERT_NE(header, std::string::npos);
  std::string damaged = bytes;
  for (std::size_t i = header + 40; i < header + 60; ++i) damaged[i] = static_cast<char>(damaged[i] ^ 0x5A);
  ExpectRefused(damaged, ErrorCode::NotAWorkbook, "xl/worksheets/sheet1.xml");
}

TEST(HostilePackage, EncryptedEntriesAreRefused) {
  // Marks the workbook part as encrypted (bit 0 of the general purpose flags) in both of its headers.
  std::string bytes = PackageBytes(WorkbookParts(""));
  for (std::size_t at = bytes.find("xl/workbook.xml"); at != std::string::npos;
       at = bytes.find("xl/workbook.xml", at + 1)) {
    if (at >= 30 && bytes.compare(at - 30, 4, "PK\3\4") == 0)
      bytes[at - 24] = static_cast<char>(bytes[at - 24] | 1);
    if (at >= 46 && bytes.compare(at - 46, 4, "PK\1\2") == 0)
      bytes[at - 38] = static_cast<char>(bytes[at - 38] | 1);
  }
  ExpectRefused(bytes, ErrorCode::NotAWorkbook, "xl/workbook.xml is encrypted");
}

TEST(HostilePackage, BombsHitThePartAndPackageRatios) {
  // Three megabytes of spaces deflate about a thousandfold: within the allowance by default.
  std::string spaces(3'000'000, ' ');
  std::string bomb = PackageBytes(
      WorkbookParts("<row><c><is><t>" + spaces + "</t></is></c></row>", "<si><t>" + spaces + "</t></si>"));
  EXPECT_LT(bomb.size(), 40'000u);
  Workbook::OpenBytes(bomb, "hostile.xlsx");
  Limits tight;
  tight.inflationAllowance = 1'000'000;
  ExpectRefused(PackageBytes(WorkbookParts("", "<si><t>" + spaces + "</t></si>")), ErrorCode::LimitExceeded,
                "sharedStrings.xml: inflates to more than 100 times its compressed size", tight);
  tight.inflationAllowance = 4'000'000;
  tight.maxInflationRatio = 1;
  ExpectRefused(bomb, ErrorCode::LimitExceeded, "the package inflates to more than 1 times the file", tight);
}

TEST(HostileXml, DoctypeAndEntitiesAreRefusedInEveryPartRead) {
  std::string doctype = "<?xml version=\"1.0\"?><!DOCTYPE x [<!ENTITY e \"boom\">]>";
  Parts parts = WorkbookParts("<row r=\"1\"><c r=\"A1\" t=\"s\"><v>0</v></c></row>", "<si><t>a</t></si>");
  for (const auto& [name, content] : parts) {
    std::size_t root = content.find('<', content.find("?>") + 2);
    std::string hostile = doctype + content.substr(root);
    Parts changed = parts;
    PartOf(changed, name) = hostile;
    ExpectRefused(PackageBytes(changed), ErrorCode::NotAWorkbook, "DOCTYPE");
  }
  PartOf(parts, "xl/sharedStrings.xml") =
      std::string("<sst xmlns=\"") + testing::kMainNamespace + "\"><si><t>&e;</t></si></sst>";
  ExpectRefused(PackageBytes(parts), ErrorCode::NotAWorkbook, "xl/sharedStrings.xml, byte");
}

TEST(HostileSheet, ReferencesAndIndexesOutOfRangeOrOrder) {
  struct Case {
    std::string sheetData;
    std::string fragment;
  };
  std::vector<Case> cases = {
      {R"(<row r="1"><c r="A1" t="s"><v>5</v></c></row>)",
       "cell A1 refers to shared string \"5\", but there are 1"},
      {R"(<row r="1"><c r="A1" t="s"><v>-1</v></c></row>)", "refers to shared string \"-1\""},
      {R"(<row r="1"><c r="A1" s="3"><v>1</v></c></row>)", "cell A1 uses style 3, but there are 1"},
      {R"(<row r="1"><c r="XFE1"><v>1</v></c></row>)", "\"XFE1\" is malformed or outside the sheet"},
      {R"(<row r="1048577"><c><v>1</v></c></row>)", "outside 1..1048576"},
      {R"(<row r="1"><c r="B1"><v>1</v></c><c r="A1"><v>1</v></c></row>)", "cell A1 comes after column B"},
      {R"(<row r="2"/><row r="1"/>)", "row 1 comes after row 2"},
      {R"(<row r="1"><c r="A2"><v>1</v></c></row>)", "cell A2 is inside row 1"},
      {R"(<row r="1"><c r="A1"><v>12abc</v></c></row>)", "holds \"12abc\", which is not a number"},
  };
  for (const Case& c : cases) {
    Parts parts = WorkbookParts(c.sheetData, "<si><t>only</t></si>");
    ExpectRefused(PackageBytes(parts), ErrorCode::NotAWorkbook, c.fragment);
  }
}

}  // namespace
}  // namespace zentora::spreadsheet

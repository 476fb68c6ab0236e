#include "Spreadsheet/workbook/Workbook.h"

#include <gtest/gtest.h>

#include "Spreadsheet/Error.h"
#include "TestWorkbooks.h"

namespace zentora::spreadsheet {
namespace {

using testing::ExpectError;
using testing::PackageBytes;
using testing::ReadPart;
using testing::WorkbookParts;

std::unique_ptr<Workbook> OpenParts(const testing::Parts& parts) {
  return Workbook::OpenBytes(PackageBytes(parts), "test.xlsx");
}

std::unique_ptr<Workbook> Reopen(Workbook& workbook) {
  return Workbook::OpenBytes(workbook.SaveToBytes(), "reopened.xlsx");
}

std::string Sheet1(const std::string& bytes) { return ReadPart(bytes, "xl/worksheets/sheet1.xml"); }

// ---- Cell text written and read back byte for byte ----

TEST(CellTextRoundTrip, EveryAwkwardStringSurvivesSaveAndReopen) {
  std::string controls;
  for (char c = 1; c < 32; ++c) controls.push_back(c);
  std::vector<std::string> texts = {"  leading and trailing  ",
                                    "\ttab first",
                                    "last tab\t",
                                    "line\nfeed",
                                    "carriage\rreturn",
                                    "crlf\r\nline",
                                    controls,
                                    std::string("embedded\0nul", 12),
                                    "_x0041_ looks like an escape",
                                    "_x005F_",
                                    "_X0041_ upper x",
                                    "_x00zz_ not hex",
                                    "beyond the BMP: \xF0\x9F\x98\x80 \xF0\x9D\x84\x9E",
                                    "<&>\"' specials",
                                    "\xEF\xBF\xBE\xEF\xBF\xBF",
                                    "\xC3\xA4\xC3\xB6\xC3\xBC\xC3\x9F umlauts",
                                    " ",
                                    "\n",
                                    "=1+1 not a formula",
                                    "0042",
                                    "1e5",
                                    "TRUE"};
  auto workbook = Workbook::CreateEmpty();
  for (std::size_t i = 0; i < texts.size(); ++i) {
    workbook->FirstSheet().SetCellText(static_cast<std::uint32_t>(i + 1), 2, texts[i]);
  }
  std::string bytes = workbook->SaveToBytes();
  std::string xml = Sheet1(bytes);
  EXPECT_EQ(xml.find("&#"), std::string::npos)
      << "control characters must use _xHHHH_, not character references";
  EXPECT_NE(xml.find("_x000D_"), std::string::npos);
  EXPECT_NE(xml.find("_x005F_x0041_"), std::string::npos);
  auto reopened = Workbook::OpenBytes(bytes, "reopened.xlsx");
  for (std::size_t i = 0; i < texts.size(); ++i) {
    EXPECT_EQ(reopened->FirstSheet().CellText(static_cast<std::uint32_t>(i + 1), 2), texts[i])
        << "text " << i;
  }
}

TEST(CellTextRoundTrip, TextOverTheCellLimitIsRefusedAndNothingIsWritten) {
  auto workbook = Workbook::CreateEmpty();
  Worksheet& sheet = workbook->FirstSheet();
  sheet.SetCellText(1, 1, "before");
  sheet.SetCellText(2, 1, std::string(32767, 'x'));
  EXPECT_EQ(sheet.CellText(2, 1).size(), 32767u);
  ExpectError(ErrorCode::InvalidArgument, "32768 characters",
              [&] { sheet.SetCellText(1, 1, std::string(32768, 'x')); });
  std::string emoji;
  for (int i = 0; i < 16384; ++i) emoji += "\xF0\x9F\x98\x80";  // 32,768 UTF-16 units
  EXPECT_THROW(sheet.SetCellText(1, 1, emoji), Error);
  EXPECT_EQ(sheet.CellText(1, 1), "before");
}

TEST(CellTextRoundTrip, InvalidUtf8IsRefused) {
  auto workbook = Workbook::CreateEmpty();
  ExpectError(ErrorCode::InvalidArgument, "", [&] { workbook->FirstSheet().SetCellText(1, 1, "bad \xC3"); });
}

TEST(CellTextRoundTrip, WritingOverAFormulaReplacesItAndDropsTheCalculationChain) {
  testing::Parts parts =
      WorkbookParts(R"(<row r="1"><c r="A1"><f>1+1</f><v>2</v></c><c r="B1"><f>A1*2</f><v>4</v></c></row>)");
  parts[3].second.insert(
      parts[3].second.find("</Relationships>"),
      R"(<Relationship Id="rId9" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/calcChain" Target="calcChain.xml"/>)");
  parts[0].second.insert(
      parts[0].second.find("</Types>"),
      R"(<Override PartName="/xl/calcChain.xml" ContentType="application/vnd.openxmlformats-officedocument.spreadsheetml.calcChain+xml"/>)");
  parts.emplace_back("xl/calcChain.xml", std::string("<calcChain xmlns=\"") + testing::kMainNamespace +
                                             "\"><c r=\"A1\" i=\"1\"/><c r=\"B1\"/></calcChain>");
  auto workbook = OpenParts(parts);
  EXPECT_EQ(workbook->FirstSheet().CellText(1, 1), "2");
  workbook->FirstSheet().SetCellText(1, 1, "text");
  std::string bytes = workbook->SaveToBytes();
  std::string xml = Sheet1(bytes);
  EXPECT_EQ(xml.find("<f>1+1</f>"), std::string::npos);
  EXPECT_NE(xml.find("<f>A1*2</f>"), std::string::npos);
  EXPECT_THROW(ReadPart(bytes, "xl/calcChain.xml"), std::runtime_error);
  EXPECT_EQ(ReadPart(bytes, "xl/_rels/workbook.xml.rels").find("calcChain"), std::string::npos);
  EXPECT_EQ(ReadPart(bytes, "[Content_Types].xml").find("calcChain"), std::string::npos);
  EXPECT_EQ(Workbook::OpenBytes(bytes, "again")->FirstSheet().CellText(1, 1), "text");
}

// ---- Reading what other writers produce ----

TEST(CellTextReading, SharedStringsJoinRichRunsAndSkipPhoneticRuns) {
  auto workbook = OpenParts(WorkbookParts(
      R"(<row r="1"><c r="A1" t="s"><v>0</v></c><c r="B1" t="s"><v>1</v></c><c r="C1" t="s"><v>2</v></c></row>)",
      R"(<si><t>plain</t></si><si><r><rPr><b/></rPr><t>bold </t></r><r><t xml:space="preserve">and more</t></r></si>)"
      R"(<si><t>漢字</t><rPh sb="0" eb="2"><t>かんじ</t></rPh><phoneticPr fontId="0"/></si>)"));
  Worksheet& sheet = workbook->FirstSheet();
  EXPECT_EQ(sheet.CellText(1, 1), "plain");
  EXPECT_EQ(sheet.CellText(1, 2), "bold and more");
  EXPECT_EQ(sheet.CellText(1, 3), "漢字");
  EXPECT_EQ(sheet.CellText(1, 4), "");
  EXPECT_EQ(sheet.CellText(9, 9), "");
}

TEST(CellTextReading, InlineStringsMissingReferencesAndPrefixedElements) {
  auto workbook = OpenParts(WorkbookParts(
      R"(<row><c t="inlineStr"><is><t>first</t></is></c><c t="inlineStr"><is/></c><c t="inlineStr"><v>stray</v></c></row>)"
      R"(<row><c t="inlineStr"><is><r><t>ri</t></r><r><t>ch</t></r></is></c><c r="C2" t="str"><v>cached_x000D_</v></c></row>)"));
  Worksheet& sheet = workbook->FirstSheet();
  EXPECT_EQ(sheet.CellText(1, 1), "first");
  EXPECT_EQ(sheet.CellText(1, 2), "");
  EXPECT_EQ(sheet.CellText(1, 3), "stray");
  EXPECT_EQ(sheet.CellText(2, 1), "rich");
  EXPECT_EQ(sheet.CellText(2, 3), "cached\r");

  testing::Parts prefixed = WorkbookParts("");
  prefixed[4].second =
      std::string("<x:worksheet xmlns:x=\"") + testing::kMainNamespace +
      "\"><x:sheetData><x:row r=\"3\"><x:c r=\"B3\" t=\"inlineStr\"><x:is><x:t>prefixed</x:t></x:is>"
      "</x:c></x:row></x:sheetData></x:worksheet>";
  auto book = OpenParts(prefixed);
  EXPECT_EQ(book->FirstSheet().CellText(3, 2), "prefixed");
  book->FirstSheet().SetCellText(3, 3, "added");
  std::string xml = Sheet1(book->SaveToBytes());
  EXPECT_NE(xml.find("<x:c r=\"C3\" t=\"inlineStr\"><x:is><x:t>added</x:t></x:is></x:c>"), std::string::npos)
      << xml;
  EXPECT_EQ(Reopen(*book)->FirstSheet().CellText(3, 3), "added");
}

TEST(CellTextReading, NumbersBooleansErrorsAndFormulaResults) {
  auto workbook = OpenParts(WorkbookParts(
      R"(<row r="1"><c r="A1"><v>42</v></c><c r="B1"><v>0.30000000000000004</v></c><c r="C1"><v>-1.5</v></c>)"
      R"(<c r="D1"><v>1E+20</v></c><c r="E1"><v>123456789012</v></c><c r="F1"><v>1.0000000000000002</v></c>)"
      R"(<c r="G1"><v>0.000123</v></c></row>)"
      R"(<row r="2"><c r="A2" t="b"><v>1</v></c><c r="B2" t="b"><v>0</v></c><c r="C2" t="e"><v>#N/A</v></c>)"
      R"(<c r="D2" t="str"><f>"a"&amp;"b"</f><v>ab</v></c><c r="E2" t="b"><f>TRUE()</f><v>1</v></c>)"
      R"(<c r="F2" t="e"><f>1/0</f><v>#DIV/0!</v></c><c r="G2"><f>0.1+0.2</f><v>0.30000000000000004</v></c></row>)"));
  Worksheet& sheet = workbook->FirstSheet();
  EXPECT_EQ(sheet.CellText(1, 1), "42");
  EXPECT_EQ(sheet.CellText(1, 2), "0.3");
  EXPECT_EQ(sheet.CellText(1, 3), "-1.5");
  EXPECT_EQ(sheet.CellText(1, 4), "1E+20");
  EXPECT_EQ(sheet.CellText(1, 5), "123456789012");
  EXPECT_EQ(sheet.CellText(1, 6), "1");
  EXPECT_EQ(sheet.CellText(1, 7), "0.000123");
  EXPECT_EQ(sheet.CellText(2, 1), "TRUE");
  EXPECT_EQ(sheet.CellText(2, 2), "FALSE");
  EXPECT_EQ(sheet.CellText(2, 3), "#N/A");
  EXPECT_EQ(sheet.CellText(2, 4), "ab");
  EXPECT_EQ(sheet.CellText(2, 5), "TRUE");
  EXPECT_EQ(sheet.CellText(2, 6), "#DIV/0!");
  EXPECT_EQ(sheet.CellText(2, 7), "0.3");
}

TEST(CellTextReading, DatesAndTimesFollowTheCellFormat) {
  std::string formats = R"(<xf numFmtId="0"/><xf numFmtId="14"/><xf numFmtId="22"/><xf numFmtId="164"/>)"
                        R"(<xf numFmtId="165"/><xf numFmtId="166"/><xf numFmtId="21"/>)";
  std::string numberFormats =
      R"(<numFmts count="3"><numFmt numFmtId="164" formatCode="yyyy\-mm\-dd"/>)"
      R"(<numFmt numFmtId="165" formatCode="[h]:mm"/>)"
      R"(<numFmt numFmtId="166" formatCode="&quot;day&quot; 0.00;[Red]0.00"/></numFmts>)";
  auto workbook = OpenParts(WorkbookParts(
      R"(<row r="1"><c r="A1" s="1"><v>46361</v></c><c r="B1" s="2"><v>46361.5</v></c><c r="C1" s="3"><v>1</v></c>)"
      R"(<c r="D1" s="4"><v>0.75</v></c><c r="E1" s="5"><v>46361</v></c><c r="F1" s="1"><v>60</v></c>)"
      R"(<c r="G1" s="1"><v>61</v></c><c r="H1" s="6"><v>0.5000001</v></c><c r="I1" s="1"><v>46361.25</v></c></row>)",
      "", formats, "", numberFormats));
  Worksheet& sheet = workbook->FirstSheet();
  EXPECT_EQ(sheet.CellText(1, 1), "05.12.2026");
  EXPECT_EQ(sheet.CellText(1, 2), "05.12.2026 12:00:00");
  EXPECT_EQ(sheet.CellText(1, 3), "01.01.1900");
  EXPECT_EQ(sheet.CellText(1, 4), "18:00:00");
  EXPECT_EQ(sheet.CellText(1, 5), "46361") << "quoted text in a format is no date";
  EXPECT_EQ(sheet.CellText(1, 6), "29.02.1900");
  EXPECT_EQ(sheet.CellText(1, 7), "01.03.1900");
  EXPECT_EQ(sheet.CellText(1, 8), "12:00:00");
  EXPECT_EQ(sheet.CellText(1, 9), "05.12.2026 06:00:00");
}

TEST(CellTextReading, The1904DateSystem) {
  testing::Parts parts =
      WorkbookParts(R"(<row r="1"><c r="A1" s="1"><v>0</v></c><c r="B1" s="1"><v>44899</v></c></row>)", "",
                    R"(<xf numFmtId="0"/><xf numFmtId="14"/>)");
  parts[2].second.replace(parts[2].second.find("<sheets>"), 8, "<workbookPr date1904=\"1\"/><sheets>");
  auto workbook = OpenParts(parts);
  EXPECT_EQ(workbook->FirstSheet().CellText(1, 1), "01.01.1904");
  EXPECT_EQ(workbook->FirstSheet().CellText(1, 2), "05.12.2026");
}

// ---- The text format ----

TEST(TextFormat, OneTextVariantPerDistinctStyleKeepingTheRestOfTheFormat) {
  std::string formats =
      R"(<xf numFmtId="0" fontId="0" fillId="0" borderId="0" xfId="0"/>)"
      R"(<xf numFmtId="0" fontId="1" fillId="0" borderId="0" xfId="0" applyFont="1"><alignment wrapText="1"/></xf>)"
      R"(<xf numFmtId="14" fontId="0" fillId="0" borderId="0" xfId="0" applyNumberFormat="1"/>)"
      R"(<xf numFmtId="49" fontId="0" fillId="0" borderId="0" xfId="0" applyNumberFormat="1"/>)";
  std::string rows;
  for (int r = 1; r <= 200; ++r) {
    std::string n = std::to_string(r);
    rows += "<row r=\"" + n + "\"><c r=\"A" + n + "\" s=\"1\"/><c r=\"B" + n +
            "\" s=\"2\"><v>1</v></c><c r=\"C" + n + "\"/></row>";
  }
  auto workbook = OpenParts(WorkbookParts(rows, "", formats));
  Worksheet& sheet = workbook->FirstSheet();
  for (std::uint32_t r = 1; r <= 200; ++r) {
    for (std::uint32_t c = 1; c <= 5; ++c) sheet.SetTextFormat(r, c);
  }
  EXPECT_EQ(sheet.CellText(1, 2), "1") << "a text-formatted number is no longer a date";
  std::string bytes = workbook->SaveToBytes();
  std::string styles = ReadPart(bytes, "xl/styles.xml");
  EXPECT_NE(styles.find("<cellXfs count=\"5\">"), std::string::npos) << styles;
  EXPECT_NE(
      styles.find(
          R"(<xf numFmtId="49" fontId="1" fillId="0" borderId="0" xfId="0" applyFont="1" applyNumberFormat="1"><alignment wrapText="1"/></xf>)"),
      std::string::npos)
      << styles;
  std::string xml = Sheet1(bytes);
  EXPECT_NE(xml.find(R"(<c r="A1" s="4"/>)"), std::string::npos) << "style 1 gets the new variant 4";
  EXPECT_NE(xml.find(R"(<c r="B1" s="3"><v>1</v></c>)"), std::string::npos)
      << "style 2 differs from 3 only in the number format";
  EXPECT_NE(xml.find(R"(<c r="C1" s="3"/>)"), std::string::npos) << "style 0 reuses the identical style 3";
  EXPECT_NE(xml.find(R"(<c r="E200" s="3"/>)"), std::string::npos);

  auto reopened = Workbook::OpenBytes(bytes, "again");
  reopened->FirstSheet().SetTextFormat(1, 1);
  EXPECT_NE(ReadPart(reopened->SaveToBytes(), "xl/styles.xml").find("<cellXfs count=\"5\">"),
            std::string::npos)
      << "formatting again adds nothing";
}

TEST(TextFormat, AStyleSheetWithoutCellFormatsGetsTheDefaultInItsPlace) {
  testing::Parts parts = WorkbookParts(R"(<row r="1"><c r="A1"><v>1</v></c></row>)");
  std::string& styles = parts[5].second;
  std::size_t start = styles.find("<cellXfs>");
  styles.erase(start, styles.find("</cellXfs>") + 10 - start);
  auto workbook = OpenParts(parts);
  workbook->FirstSheet().SetTextFormat(1, 1);
  std::string saved = ReadPart(workbook->SaveToBytes(), "xl/styles.xml");
  EXPECT_NE(
      saved.find(
          R"(</cellStyleXfs><cellXfs count="2"><xf numFmtId="0" fontId="0" fillId="0" borderId="0" xfId="0"/>)"
          R"(<xf numFmtId="49" fontId="0" fillId="0" borderId="0" xfId="0" applyNumberFormat="1"/></cellXfs><cellStyles)"),
      std::string::npos)
      << saved;
}

TEST(TextFormat, NewCellsTakeTheRowOrColumnStyleFirst) {
  auto workbook =
      OpenParts(WorkbookParts(R"(<row r="2" s="1" customFormat="1" ht="30" customHeight="1"/>)", "",
                              R"(<xf numFmtId="0"/><xf numFmtId="0" fontId="1" applyFont="1"/>)"));
  Worksheet& sheet = workbook->FirstSheet();
  sheet.SetTextFormat(2, 3);
  sheet.SetCellText(2, 4, "x");
  std::string xml = Sheet1(workbook->SaveToBytes());
  EXPECT_NE(
      xml.find(
          R"(<row r="2" s="1" customFormat="1" ht="30" customHeight="1"><c r="C2" s="2"/><c r="D2" s="1" t="inlineStr">)"),
      std::string::npos)
      << xml;
}

// ---- Clearing and deleting ----

TEST(ClearContents, ValuesAndFormulasGoFormatsStay) {
  auto workbook = OpenParts(WorkbookParts(
      R"(<row r="1"><c r="A1" t="inlineStr"><is><t>head</t></is></c></row>)"
      R"(<row r="2"><c r="A2" s="1" t="inlineStr"><is><t>x</t></is></c><c r="B2"><f>1+1</f><v>2</v></c><c r="C2"><v>3</v></c></row>)"
      R"(<row r="3"><c r="A3"><v>5</v></c></row>)",
      "", R"(<xf numFmtId="0"/><xf numFmtId="49" applyNumberFormat="1"/>)"));
  Worksheet& sheet = workbook->FirstSheet();
  sheet.ClearContents(ParseRangeAddress("A2:B3"));
  EXPECT_EQ(sheet.CellText(1, 1), "head");
  EXPECT_EQ(sheet.CellText(2, 1), "");
  EXPECT_EQ(sheet.CellText(2, 2), "");
  EXPECT_EQ(sheet.CellText(2, 3), "3");
  std::string xml = Sheet1(workbook->SaveToBytes());
  EXPECT_NE(xml.find(R"(<row r="2"><c r="A2" s="1"/><c r="C2"><v>3</v></c></row>)"), std::string::npos)
      << xml;
  EXPECT_EQ(xml.find("<f>"), std::string::npos);
  EXPECT_NE(xml.find(R"(<dimension ref="A1:C2"/>)"), std::string::npos) << xml;
}

TEST(DeleteRows, RowsBelowMoveUpWithHeightsFormatsAndMergedRanges) {
  std::string rows;
  for (int r = 1; r <= 8; ++r) {
    std::string n = std::to_string(r);
    rows += "<row r=\"" + n + "\" spans=\"1:2\"" + (r == 6 ? " ht=\"40\" customHeight=\"1\"" : "") +
            "><c r=\"A" + n + "\" s=\"1\" t=\"inlineStr\"><is><t>row " + n + "</t></is></c><c r=\"B" + n +
            "\"><v>" + n + "</v></c></row>";
  }
  std::string merges =
      R"(<mergeCells count="5"><mergeCell ref="C1:D2"/><mergeCell ref="C3:D3"/>)"
      R"(<mergeCell ref="C4:C7"/><mergeCell ref="E7:F8"/><mergeCell ref="E3:E4"/></mergeCells>)"
      R"(<pageMargins left="0.7" right="0.7" top="0.75" bottom="0.75" header="0.3" footer="0.3"/>)";
  auto workbook =
      OpenParts(WorkbookParts(rows, "", R"(<xf numFmtId="0"/><xf numFmtId="0" fontId="1"/>)", merges));
  std::vector<std::pair<std::uint32_t, std::uint32_t>> calls;
  workbook->rowsDeleted = [&](std::size_t sheet, std::uint32_t first, std::uint32_t count) {
    EXPECT_EQ(sheet, 0u);
    calls.emplace_back(first, count);
  };
  Worksheet& sheet = workbook->FirstSheet();
  sheet.DeleteRows(3, 4);
  EXPECT_EQ(calls, (std::vector<std::pair<std::uint32_t, std::uint32_t>>{{3, 2}}));
  EXPECT_EQ(sheet.CellText(2, 1), "row 2");
  EXPECT_EQ(sheet.CellText(3, 1), "row 5");
  EXPECT_EQ(sheet.CellText(6, 2), "8");
  EXPECT_EQ(sheet.CellText(7, 1), "");
  std::vector<CellRange> expected = {ParseRangeAddress("C1:D2"), ParseRangeAddress("C3:C5"),
                                     ParseRangeAddress("E5:F6")};
  EXPECT_EQ(sheet.mergedRanges(), expected);

  auto reopened = Reopen(*workbook);
  EXPECT_EQ(reopened->FirstSheet().CellText(4, 1), "row 6");
  std::string xml = Sheet1(workbook->SaveToBytes());
  EXPECT_NE(
      xml.find(
          R"(<row r="4" ht="40" customHeight="1"><c r="A4" s="1" t="inlineStr"><is><t>row 6</t></is></c>)"),
      std::string::npos)
      << xml;
  EXPECT_NE(xml.find(R"(<dimension ref="A1:B6"/>)"), std::string::npos);
  EXPECT_NE(
      xml.find(
          R"(<mergeCells count="3"><mergeCell ref="C1:D2"/><mergeCell ref="C3:C5"/><mergeCell ref="E5:F6"/></mergeCells><pageMargins)"),
      std::string::npos)
      << xml;
  EXPECT_EQ(reopened->FirstSheet().mergedRanges(), expected);
}

// ---- Saving keeps what the engine did not change ----

TEST(Saving, UnchangedPartsAreCopiedStillCompressedAndRepeatedSavesDoNotGrow) {
  testing::Parts parts =
      WorkbookParts(R"(<row r="1"><c r="A1" t="s"><v>0</v></c></row>)", "<si><t>ID</t></si>");
  std::string binary;
  for (int i = 0; i < 5000; ++i) binary.push_back(static_cast<char>((i * 7919) % 251));
  parts.emplace_back("xl/media/image1.png", binary);
  parts.emplace_back("xl/vbaProject.bin", "macro bytes");
  parts.emplace_back("customXml/item1.xml", "<root><x>1</x></root>");
  std::string original = PackageBytes(parts);
  auto workbook = Workbook::OpenBytes(original, "test.xlsx");
  workbook->FirstSheet().SetCellText(2, 1, "new");
  workbook->FirstSheet().SetTextFormat(2, 1);
  std::string saved = workbook->SaveToBytes();
  for (const char* part : {"xl/media/image1.png", "xl/vbaProject.bin", "customXml/item1.xml",
                           "xl/sharedStrings.xml", "[Content_Types].xml", "xl/workbook.xml", "_rels/.rels"}) {
    EXPECT_EQ(testing::StoredPart(saved, part), testing::StoredPart(original, part)) << part;
  }
  std::string current = saved;
  for (int cycle = 0; cycle < 100; ++cycle) {
    auto again = Workbook::OpenBytes(current, "cycle.xlsx");
    again->FirstSheet().SetCellText(2, 1, "new");
    again->FirstSheet().SetTextFormat(2, 1);
    current = again->SaveToBytes();
  }
  EXPECT_LE(current.size(), saved.size() + 64);
  EXPECT_EQ(ReadPart(current, "xl/styles.xml"), ReadPart(saved, "xl/styles.xml"));
}

TEST(Saving, ANewWorkbookIsAMinimalCompletePackage) {
  auto workbook = Workbook::CreateEmpty();
  EXPECT_EQ(workbook->SheetCount(), 1u);
  EXPECT_EQ(workbook->SheetAt(0).name, "Tabelle1");
  std::string bytes = workbook->SaveToBytes();
  for (const char* part : {"[Content_Types].xml", "_rels/.rels", "xl/workbook.xml",
                           "xl/_rels/workbook.xml.rels", "xl/worksheets/sheet1.xml", "xl/styles.xml"}) {
    EXPECT_FALSE(ReadPart(bytes, part).empty()) << part;
  }
  EXPECT_EQ(Workbook::OpenBytes(bytes, "again")->FirstSheet().CellText(1, 1), "");
}

TEST(Saving, AWorkbookWithoutStylesGetsAStylesPartWhenFormatted) {
  testing::Parts parts = WorkbookParts(R"(<row r="1"><c r="A1"><v>1</v></c></row>)");
  parts.erase(parts.begin() + 5);  // xl/styles.xml
  std::string& rels = parts[3].second;
  std::size_t styles = rels.find("<Relationship Id=\"rId2\"");
  rels.erase(styles, rels.find("/>", styles) + 2 - styles);
  auto workbook = OpenParts(parts);
  workbook->FirstSheet().SetTextFormat(1, 1);
  std::string bytes = workbook->SaveToBytes();
  EXPECT_NE(ReadPart(bytes, "xl/styles.xml").find("numFmtId=\"49\""), std::string::npos);
  EXPECT_NE(ReadPart(bytes, "xl/_rels/workbook.xml.rels").find("/styles\" Target=\"/xl/styles.xml\""),
            std::string::npos);
  auto reopened = Workbook::OpenBytes(bytes, "again");
  EXPECT_EQ(reopened->FirstSheet().CellText(1, 1), "1");
}

TEST(WorkbookStructure, TheFirstSheetIsTheFirstInTabOrderWhateverItsPartIsCalled) {
  testing::Parts parts =
      WorkbookParts(R"(<row r="1"><c r="A1" t="inlineStr"><is><t>second part</t></is></c></row>)");
  parts[2].second =
      std::string("<workbook xmlns=\"") + testing::kMainNamespace +
      "\" xmlns:rel=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships\"><sheets>"
      "<sheet name=\"Front\" sheetId=\"7\" rel:id=\"rId7\"/><sheet name=\"Data\" sheetId=\"1\" "
      "rel:id=\"rId1\"/>"
      "</sheets></workbook>";
  parts[3].second.insert(
      parts[3].second.find("</Relationships>"),
      R"(<Relationship Id="rId7" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/worksheet" Target="/xl/worksheets/front%20sheet.xml"/>)");
  parts.emplace_back("xl/worksheets/front sheet.xml",
                     std::string("<worksheet xmlns=\"") + testing::kMainNamespace +
                         "\"><sheetData><row r=\"1\"><c r=\"A1\" "
                         "t=\"inlineStr\"><is><t>front</t></is></c></row></sheetData></worksheet>");
  auto workbook = OpenParts(parts);
  EXPECT_EQ(workbook->SheetAt(0).name, "Front");
  EXPECT_EQ(workbook->SheetAt(0).partName, "xl/worksheets/front sheet.xml");
  EXPECT_EQ(workbook->FirstSheet().CellText(1, 1), "front");
  EXPECT_EQ(workbook->Sheet(1).CellText(1, 1), "second part");
}

// ---- The entry points for rewriting references after rows move ----

TEST(ReferenceRewriting, FormulasFragmentsAndPartsCanBeChangedAndAreSaved) {
  testing::Parts parts = WorkbookParts(
      R"(<row r="1"><c r="A1"><f t="shared" ref="A1:A2" si="0">B1*2</f><v>2</v></c><c r="B1"><v>1</v></c></row>)"
      R"(<row r="2"><c r="A2"><f t="shared" si="0"/><v>0</v></c></row>)",
      "", "", R"(<hyperlinks><hyperlink ref="B2" r:id="rId1"/></hyperlinks>)");
  parts[2].second.replace(
      parts[2].second.find("</workbook>"), 11,
      "<definedNames><definedName name=\"Items\">Data!$A$1:$B$9</definedName></definedNames></workbook>");
  parts.emplace_back(
      "xl/worksheets/_rels/sheet1.xml.rels",
      R"(<Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">)"
      R"(<Relationship Id="rId1" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/hyperlink" Target="https://example.com/" TargetMode="External"/>)"
      R"(<Relationship Id="rId2" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/table" Target="../tables/table1.xml"/>)"
      R"(</Relationships>)");
  auto workbook = OpenParts(parts);
  std::vector<Relationship> relationships = workbook->RelationshipsOf(workbook->SheetAt(0).partName);
  ASSERT_EQ(relationships.size(), 2u);
  EXPECT_TRUE(relationships[0].external);
  EXPECT_EQ(relationships[0].target, "https://example.com/");
  EXPECT_EQ(relationships[1].target, "xl/tables/table1.xml");

  Worksheet& sheet = workbook->FirstSheet();
  std::vector<std::string> seen;
  sheet.ForEachFormula([&](std::uint32_t row, std::uint32_t column, Formula& formula) {
    seen.push_back(CellReference(row, column) + " " + formula.text);
    if (row == 1) {
      EXPECT_EQ(formula.attributes, (std::vector<std::pair<std::string, std::string>>{
                                        {"t", "shared"}, {"ref", "A1:A2"}, {"si", "0"}}));
      formula.text = "B1*3";
    }
  });
  EXPECT_EQ(seen, (std::vector<std::string>{"A1 B1*2", "A2 "}));
  for (SheetFragment& fragment : sheet.fragments()) {
    if (fragment.name == "hyperlinks")
      fragment.xml = R"(<hyperlinks><hyperlink ref="B1" r:id="rId1"/></hyperlinks>)";
  }
  sheet.MarkChanged();
  std::string book = workbook->PartContent("xl/workbook.xml");
  book.replace(book.find("$B$9"), 4, "$B$8");
  workbook->ReplacePart("xl/workbook.xml", book);

  std::string bytes = workbook->SaveToBytes();
  std::string xml = Sheet1(bytes);
  EXPECT_NE(xml.find(R"(<c r="A1"><f t="shared" ref="A1:A2" si="0">B1*3</f><v>2</v></c>)"), std::string::npos)
      << xml;
  EXPECT_NE(xml.find(R"(<c r="A2"><f t="shared" si="0"></f><v>0</v></c>)"), std::string::npos) << xml;
  EXPECT_NE(xml.find(R"(<hyperlinks><hyperlink ref="B1" r:id="rId1"/></hyperlinks>)"), std::string::npos)
      << xml;
  EXPECT_NE(ReadPart(bytes, "xl/workbook.xml").find("Data!$A$1:$B$8"), std::string::npos);
}

}  // namespace
}  // namespace zentora::spreadsheet

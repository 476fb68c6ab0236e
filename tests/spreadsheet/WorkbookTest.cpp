#include "Spreadsheet/workbook/Workbook.h"

#include <gtest/gtest.h>

#include <random>

#include "Spreadsheet/Error.h"
#include "TestWorkbooks.h"

namespace zentora::spreadsheet {
namespace {

using namespace testing;

std::unique_ptr<Workbook> OpenParts(const Parts& parts) {
  return Workbook::OpenBytes(testing::PackageBytes(parts), "test.xlsx");
}

std::string Sheet1(const std::string& bytes) { return ReadPart(bytes, "xl/worksheets/sheet1.xml"); }

// ---- Cell text written and read back byte for byte ----

// Every control character alone, then random joins of pieces that need escaping or look like
// something else: escapes of the format, XML specials, characters beyond the BMP, numbers, formulas.
std::vector<std::string> AwkwardTexts() {
  std::vector<std::string> pieces = {"_x",   "_X",   "0041", "005F",     "00zz",         "_",
                                     " ",    "\t",   "\r",   "\n",       "<&>\"'",       "\x07",
                                     "=1+1", "0042", "TRUE", "\xC3\xA4", "\xEF\xBF\xBE", "\xF0\x9F\x98\x80"};
  pieces.emplace_back(1, '\0');
  std::vector<std::string> texts = {"_x0041_", "cr\r"};
  for (char c = 1; c < 32; ++c) texts.emplace_back(1, c);
  std::mt19937 random(42);
  for (int i = 0; i < 400; ++i) {
    std::string text;
    for (auto n = random() % 6 + 1; n > 0; --n) text += pieces[random() % pieces.size()];
    texts.push_back(text);
  }
  return texts;
}

TEST(CellText, GeneratedTextsSurviveSaveAndReopenUpToTheLastCellAndBadOnesAreRefused) {
  auto workbook = Workbook::CreateEmpty();
  Worksheet& sheet = workbook->FirstSheet();
  const std::vector<std::string> texts = AwkwardTexts();
  for (std::size_t i = 0; i < texts.size(); ++i)
    sheet.SetCellText(static_cast<std::uint32_t>(i + 1), 2, texts[i]);
  sheet.SetCellText(kMaxRows, kMaxColumns, "last");
  // Too long, not UTF-8 or outside the sheet is refused and the cell kept.
  sheet.SetCellText(1, 1, "before");
  sheet.SetCellText(2, 1, std::string(32767, 'x'));
  std::string emoji;
  for (int i = 0; i < 16384; ++i) emoji += "\xF0\x9F\x98\x80";  // 32,768 UTF-16 units
  for (const std::string& text : {std::string(32768, 'x'), emoji, std::string("bad \xC3")})
    ExpectError(ErrorCode::InvalidArgument, "cell (1, 1)", [&] { sheet.SetCellText(1, 1, text); });
  ExpectError(ErrorCode::OutOfRange, "(1048577, 1)", [&] { sheet.SetCellText(kMaxRows + 1, 1, "x"); });
  const std::string bytes = workbook->SaveToBytes();
  ExpectPieces(Sheet1(bytes), {"_x000D_", "_x005F_x0041_"}, {"&#"});
  auto reopened = Workbook::OpenBytes(bytes, "reopened.xlsx");
  for (std::size_t i = 0; i < texts.size(); ++i)
    EXPECT_EQ(reopened->FirstSheet().CellText(static_cast<std::uint32_t>(i + 1), 2), texts[i]) << i;
  EXPECT_EQ(reopened->FirstSheet().CellText(kMaxRows, kMaxColumns), "last");
  EXPECT_EQ(reopened->FirstSheet().CellText(1, 1), "before");
  EXPECT_EQ(reopened->FirstSheet().CellText(2, 1).size(), 32767u);
}

TEST(CellText, WritingOverAFormulaReplacesItAndDropsTheCalculationChain) {
  Parts parts =
      WorkbookParts(R"(<row r="1"><c r="A1"><f>1+1</f><v>2</v></c><c r="B1"><f>A1*2</f><v>4</v></c></row>)");
  AddRelationship(parts, "xl/_rels/workbook.xml.rels", "rId9", "calcChain", "calcChain.xml");
  InsertBefore(PartOf(parts, "[Content_Types].xml"), "</Types>",
               R"(<Override PartName="/xl/calcChain.xml" ContentType="application/vnd.openxmlformats-)"
               R"(officedocument.spreadsheetml.calcChain+xml"/>)");
  PartOf(parts, "xl/calcChain.xml") =
      std::string("<calcChain xmlns=\"") + testing::kMainNamespace + "\"><c r=\"A1\" i=\"1\"/></calcChain>";
  auto workbook = OpenParts(parts);
  workbook->FirstSheet().SetCellText(1, 1, "text");
  const std::string bytes = workbook->SaveToBytes();
  ExpectPieces(Sheet1(bytes), {"<f>A1*2</f>"}, {"<f>1+1</f>"});
  EXPECT_THROW(ReadPart(bytes, "xl/calcChain.xml"), std::runtime_error);
  ExpectPieces(ReadPart(bytes, "xl/_rels/workbook.xml.rels") + ReadPart(bytes, "[Content_Types].xml"), {},
               {"calcChain"});
  EXPECT_EQ(Workbook::OpenBytes(bytes, "again")->FirstSheet().CellText(1, 1), "text");
}

// ---- Reading what other writers store ----

struct StoredCell {
  const char* xml;   // one cell in column A, its r attribute left out
  const char* text;  // what CellText gives
};

// Styles 1..7 of the workbook below: dd.mm.yyyy, date and time, yyyy-mm-dd, [h]:mm, quoted "day"
// before a number, h:mm:ss, quoted text before a date.
constexpr StoredCell kStoredCells[] = {
    {R"(<c t="s"><v>0</v></c>)", "plain"},
    {R"(<c t="s"><v>1</v></c>)", "bold and more"},
    {R"(<c t="s"><v>2</v></c>)", "漢字"},
    {R"(<c t="inlineStr"><is><t>first</t></is></c>)", "first"},
    {R"(<c t="inlineStr"><is><r><t>ri</t></r><r><t>ch</t></r></is></c>)", "rich"},
    {R"(<c t="inlineStr"><is/></c>)", ""},
    {R"(<c t="inlineStr"><v>stray</v></c>)", "stray"},
    {R"(<c t="str"><f>"a"&amp;"b"</f><v>a_x000D_b</v></c>)", "a\rb"},
    {R"(<c><v>42</v></c>)", "42"},
    {R"(<c><v>0.30000000000000004</v></c>)", "0.3"},
    {R"(<c><v>1E+20</v></c>)", "1E+20"},
    {R"(<c><v>123456789012</v></c>)", "123456789012"},
    {R"(<c><v>0.000123</v></c>)", "0.000123"},
    {R"(<c t="b"><v>1</v></c>)", "TRUE"},
    {R"(<c t="b"><v>0</v></c>)", "FALSE"},
    {R"(<c t="e"><v>#N/A</v></c>)", "#N/A"},
    {R"(<c s="1"><f>A1</f><v>46361</v></c>)", "05.12.2026"},
    {R"(<c s="1" t="n"><f>A1</f><v>46361</v></c>)", "05.12.2026"},
    {R"(<c t="s"><f>A1</f><v>x</v></c>)", ""},
    {R"(<c t="s"><f>A1</f><v>9</v></c>)", ""},
    {R"(<c t="s"><f>A1</f><v>1</v></c>)", "bold and more"},
    {R"(<c s="1"><v>46361.25</v></c>)", "05.12.2026 06:00:00"},
    {R"(<c s="1"><v>60</v></c>)", "29.02.1900"},
    {R"(<c s="1"><v>61</v></c>)", "01.03.1900"},
    {R"(<c s="2"><v>46361.5</v></c>)", "05.12.2026 12:00:00"},
    {R"(<c s="3"><v>1</v></c>)", "01.01.1900"},
    {R"(<c s="4"><v>0.75</v></c>)", "18:00:00"},
    {R"(<c s="5"><v>46361</v></c>)", "46361"},
    {R"(<c s="6"><v>0.5000001</v></c>)", "12:00:00"},
    {R"(<c s="7"><v>46361</v></c>)", "05.12.2026"},
};

TEST(CellTextReading, EveryKindOfStoredValueByCellAndByRow) {
  std::string rows;
  for (std::size_t i = 0; i < std::size(kStoredCells); ++i)
    rows += "<row r=\"" + std::to_string(i + 1) + "\">" + kStoredCells[i].xml + "</row>";
  // A row with gaps, read whole, from its middle and past its end.
  rows += R"(<row r="40"><c r="B40" t="s"><v>0</v></c><c r="E40"><v>7</v></c></row>)";
  auto workbook = OpenParts(WorkbookParts(
      rows,
      R"(<si><t>plain</t></si><si><r><rPr><b/></rPr><t>bold </t></r><r><t xml:space="preserve">and more</t></r></si>)"
      R"(<si><t>漢字</t><rPh sb="0" eb="2"><t>かんじ</t></rPh><phoneticPr fontId="0"/></si>)",
      R"(<xf numFmtId="0"/><xf numFmtId="14"/><xf numFmtId="22"/><xf numFmtId="164"/><xf numFmtId="165"/>)"
      R"(<xf numFmtId="166"/><xf numFmtId="21"/><xf numFmtId="167"/>)",
      "",
      R"(<numFmts><numFmt numFmtId="164" formatCode="yyyy\-mm\-dd"/><numFmt numFmtId="165" formatCode="[h]:mm"/>)"
      R"(<numFmt numFmtId="166" formatCode="&quot;day&quot; 0.00;[Red]0.00"/>)"
      R"(<numFmt numFmtId="167" formatCode="&quot;on &quot;dd.mm.yyyy"/></numFmts>)"));
  const Worksheet& sheet = workbook->FirstSheet();
  std::vector<std::string> texts = {"left over", "from", "before"};
  for (std::size_t i = 0; i < std::size(kStoredCells); ++i) {
    const auto row = static_cast<std::uint32_t>(i + 1);
    EXPECT_EQ(sheet.CellText(row, 1), kStoredCells[i].text) << kStoredCells[i].xml;
    sheet.RowTexts(row, 1, 2, texts);
    EXPECT_EQ(texts, (std::vector<std::string>{kStoredCells[i].text, ""})) << kStoredCells[i].xml;
  }
  const std::pair<std::uint32_t, std::uint32_t> ranges[] = {{1, 6}, {3, 5}, {5, 5}, {6, 6}, {2, 1}};
  const std::vector<std::string> expected[] = {
      {"", "plain", "", "", "7", ""}, {"", "", "7"}, {"7"}, {""}, {}};
  for (std::size_t i = 0; i < std::size(ranges); ++i) {
    sheet.RowTexts(40, ranges[i].first, ranges[i].second, texts);
    EXPECT_EQ(texts, expected[i]) << ranges[i].first << ".." << ranges[i].second;
    for (std::uint32_t column = ranges[i].first; column <= ranges[i].second; ++column)
      EXPECT_EQ(sheet.CellText(40, column), expected[i][column - ranges[i].first]) << column;
  }
  EXPECT_EQ(sheet.LastCellRow(), 40u);
  EXPECT_EQ(Workbook::CreateEmpty()->FirstSheet().LastCellRow(), 0u);
  sheet.RowTexts(41, 1, 3, texts);
  EXPECT_EQ(texts, (std::vector<std::string>{"", "", ""}));
  ExpectError(ErrorCode::OutOfRange, "cell (1, 0)", [&] { sheet.RowTexts(1, 0, 2, texts); });
  ExpectError(ErrorCode::OutOfRange, "cell (1, 16385)",
              [&] { sheet.RowTexts(1, 1, kMaxColumns + 1, texts); });
}

TEST(CellTextReading, PrefixedElementsAreReadAndWrittenWithTheirPrefixAndDatesCountFrom1904WhenAsked) {
  Parts parts = WorkbookParts("", "", R"(<xf/><xf numFmtId="14"/>)");
  InsertBefore(PartOf(parts, "xl/workbook.xml"), "<sheets>", "<workbookPr date1904=\"1\"/>");
  PartOf(parts, "xl/worksheets/sheet1.xml") =
      std::string("<x:worksheet xmlns:x=\"") + testing::kMainNamespace +
      R"("><x:sheetData><x:row r="3"><x:c r="A3" s="1"><x:v>44899</x:v></x:c><x:c r="B3" t="inlineStr">)"
      R"(<x:is><x:t>prefixed</x:t></x:is></x:c><x:c r="C3" s="1"><x:v>0</x:v></x:c></x:row></x:sheetData>)"
      R"(</x:worksheet>)";
  auto book = OpenParts(parts);
  Worksheet& sheet = book->FirstSheet();
  EXPECT_EQ(sheet.CellText(3, 1) + "|" + sheet.CellText(3, 2) + "|" + sheet.CellText(3, 3),
            "05.12.2026|prefixed|01.01.1904");
  sheet.SetCellText(3, 4, "added");
  ExpectPieces(Sheet1(book->SaveToBytes()),
               {"<x:c r=\"D3\" t=\"inlineStr\"><x:is><x:t>added</x:t></x:is></x:c>"});
}

// ---- The text format ----

TEST(TextFormat, OneTextVariantPerDistinctStyleKeepingTheRestOfTheFormat) {
  std::string formats =
      R"(<xf numFmtId="0" fontId="0" fillId="0" borderId="0" xfId="0"/>)"
      R"(<xf numFmtId="0" fontId="1" fillId="0" borderId="0" xfId="0" applyFont="1"><alignment wrapText="1"/></xf>)"
      R"(<xf numFmtId="14" fontId="0" fillId="0" borderId="0" xfId="0" applyNumberFormat="1"/>)"
      R"(<xf numFmtId="49" fontId="0" fillId="0" borderId="0" xfId="0" applyNumberFormat="1"/>)";
  auto workbook = OpenParts(WorkbookParts(
      R"(<row r="1"><c r="A1" s="1"/><c r="B1" s="2"><v>1</v></c><c r="C1"/></row>)", "", formats));
  Worksheet& sheet = workbook->FirstSheet();
  for (std::uint32_t r = 1; r <= 200; ++r) {
    for (std::uint32_t c = 1; c <= 5; ++c) sheet.SetTextFormat(r, c);
  }
  EXPECT_EQ(sheet.CellText(1, 2), "1") << "a text-formatted number is no longer a date";
  std::string bytes = workbook->SaveToBytes();
  // Style 1 gets the new variant 4; style 2 differs from 3 only in the number format; style 0 reuses 3.
  ExpectPieces(ReadPart(bytes, "xl/styles.xml"),
               {"<cellXfs count=\"5\">",
                R"(<xf numFmtId="49" fontId="1" fillId="0" borderId="0" xfId="0" applyFont="1" )"
                R"(applyNumberFormat="1"><alignment wrapText="1"/></xf>)"});
  ExpectPieces(Sheet1(bytes), {R"(<c r="A1" s="4"/>)", R"(<c r="B1" s="3"><v>1</v></c>)",
                               R"(<c r="C1" s="3"/>)", R"(<c r="E200" s="3"/>)"});
  auto reopened = Workbook::OpenBytes(bytes, "again");
  reopened->FirstSheet().SetTextFormat(1, 1);
  ExpectPieces(ReadPart(reopened->SaveToBytes(), "xl/styles.xml"), {"<cellXfs count=\"5\">"});
}

TEST(TextFormat, NewCellsTakeTheRowStyleFirst) {
  auto workbook =
      OpenParts(WorkbookParts(R"(<row r="2" s="1" customFormat="1" ht="30" customHeight="1"/>)"
                              R"(<row r="3" s="7" customFormat="1"/>)",
                              "", R"(<xf numFmtId="0"/><xf numFmtId="0" fontId="1" applyFont="1"/>)"));
  Worksheet& sheet = workbook->FirstSheet();
  sheet.SetTextFormat(2, 3);
  sheet.SetCellText(2, 4, "x");
  sheet.SetCellText(3, 2, "y");  // the row's style does not exist: the cell keeps the default
  const std::string bytes = workbook->SaveToBytes();
  ExpectPieces(Sheet1(bytes),
               {R"(<row r="2" s="1" customFormat="1" ht="30" customHeight="1"><c r="C2" s="2"/>)"
                R"(<c r="D2" s="1" t="inlineStr">)",
                R"(<row r="3" s="7" customFormat="1"><c r="B3" t="inlineStr">)"});
  const std::string rels = ReadPart(bytes, "xl/_rels/workbook.xml.rels");
  EXPECT_EQ(rels.find("/styles\""), rels.rfind("/styles\"")) << "the styles part keeps its one relationship";
}

// ---- Clearing and deleting ----

TEST(ClearContents, ValuesAndFormulasGoFormatsStay) {
  auto workbook = OpenParts(WorkbookParts(
      R"(<row r="1"><c r="A1" t="inlineStr"><is><t>head</t></is></c></row>)"
      R"(<row r="2"><c r="A2" s="1" t="inlineStr"><is><t>x</t></is></c><c r="B2"><f>1+1</f><v>2</v></c><c r="C2"><v>3</v></c></row>)"
      R"(<row r="3"><c r="A3"><v>5</v></c></row>)",
      "", R"(<xf numFmtId="0"/><xf numFmtId="49" applyNumberFormat="1"/>)"));
  workbook->FirstSheet().ClearContents(ParseRangeAddress("A2:B3"));
  EXPECT_EQ(workbook->FirstSheet().CellText(1, 1), "head");
  ExpectPieces(Sheet1(workbook->SaveToBytes()),
               {R"(<row r="2"><c r="A2" s="1"/><c r="C2"><v>3</v></c></row>)", R"(<dimension ref="A1:C2"/>)"},
               {"<f>"});
}

TEST(DeleteRows, RowsBelowMoveUpWithHeightsFormatsAndMergedRanges) {
  std::string rows;
  for (int r = 1; r <= 8; ++r) {
    if (r == 2) continue;  // a row not stored
    std::string n = std::to_string(r);
    rows += "<row r=\"" + n + "\" spans=\"1:2\"" + (r == 6 ? " ht=\"40\" customHeight=\"1\"" : "") +
            "><c r=\"A" + n + "\" s=\"1\" t=\"inlineStr\"><is><t>row " + n + "</t></is></c><c r=\"B" + n +
            "\"><v>" + n + "</v></c></row>";
  }
  std::string merges =
      R"(<mergeCells count="5"><mergeCell ref="C1:D2"/><mergeCell ref="C3:D3"/>)"
      R"(<mergeCell ref="C4:C7"/><mergeCell ref="E7:F8"/><mergeCell ref="E3:E4"/></mergeCells><pageMargins/>)";
  auto workbook =
      OpenParts(WorkbookParts(rows, "", R"(<xf numFmtId="0"/><xf numFmtId="0" fontId="1"/>)", merges));
  workbook->FirstSheet().DeleteRows(3, 4);
  ExpectPieces(
      Sheet1(workbook->SaveToBytes()),
      {R"(<row r="4" ht="40" customHeight="1"><c r="A4" s="1" t="inlineStr"><is><t>row 6</t></is></c>)",
       R"(<dimension ref="A1:B6"/>)",
       R"(<mergeCells count="3"><mergeCell ref="C1:D2"/>)"
       R"(<mergeCell ref="C3:C5"/><mergeCell ref="E5:F6"/></mergeCells><pageMargins/>)"});
  workbook->FirstSheet().DeleteRows(2, 2);  // none stored there, the rows below move all the same
  EXPECT_EQ((std::pair{workbook->FirstSheet().CellText(2, 1), workbook->FirstSheet().CellText(5, 2)}),
            (std::pair<std::string, std::string>{"row 5", "8"}));
}

TEST(WorkbookStructure, TheFirstSheetIsTheFirstInTabOrderWhateverItsPartIsCalled) {
  Parts parts = WorkbookParts(R"(<row r="1"><c r="A1" t="inlineStr"><is><t>second part</t></is></c></row>)");
  PartOf(parts, "xl/workbook.xml") =
      std::string("<workbook xmlns=\"") + testing::kMainNamespace +
      R"(" xmlns:rel="http://schemas.openxmlformats.org/officeDocument/2006/relationships"><sheets>)"
      R"(<sheet name="Front" sheetId="7" rel:id="rId7"/><sheet name="Data" sheetId="1" rel:id="rId1"/>)"
      R"(</sheets></workbook>)";
  AddRelationship(parts, "xl/_rels/workbook.xml.rels", "rId7", "worksheet",
                  "/xl/worksheets/front%20sheet%2B%2b%zz.xml");
  AddRelationship(parts, "xl/_rels/workbook.xml.rels", "rId8", "hyperlink", "https://example.com/a%20b");
  PartOf(parts, "xl/worksheets/front sheet++%zz.xml") =
      std::string("<worksheet xmlns=\"") + testing::kMainNamespace +
      R"("><sheetData><row r="1"><c r="A1" t="inlineStr"><is><t>front</t></is></c></row></sheetData>)"
      R"(</worksheet>)";
  auto workbook = OpenParts(parts);
  EXPECT_EQ(workbook->SheetAt(0).name + "|" + workbook->SheetAt(0).partName + "|" +
                workbook->FirstSheet().CellText(1, 1) + "|" + workbook->Sheet(1).CellText(1, 1),
            "Front|xl/worksheets/front sheet++%zz.xml|front|second part");
  std::vector<std::string> relationships;
  for (const Relationship& relationship : workbook->RelationshipsOf("xl/workbook.xml"))
    relationships.push_back(relationship.id + (relationship.external ? " external " : " ") +
                            relationship.target);
  EXPECT_EQ(relationships,
            (std::vector<std::string>{"rId1 xl/worksheets/sheet1.xml", "rId2 xl/styles.xml",
                                      "rId3 xl/sharedStrings.xml", "rId7 xl/worksheets/front sheet++%zz.xml",
                                      "rId8 external https://example.com/a%20b"}));
}

}  // namespace
}  // namespace zentora::spreadsheet

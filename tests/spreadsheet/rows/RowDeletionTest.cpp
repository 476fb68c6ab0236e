// Row deletion on workbooks built part by part: what moves, shrinks or goes in formulas, names and
// the sheet's items, and what stays byte for byte.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "Spreadsheet/references/RowDeletionRewriter.h"
#include "Spreadsheet/workbook/Workbook.h"
#include "TestWorkbooks.h"
#include "outside/Spreadsheet.h"

namespace zentora::spreadsheet {
namespace {

using testing::PackageBytes;
using testing::Parts;
using testing::ReadPart;
using testing::StoredPart;

constexpr const char* kRelationships = "http://schemas.openxmlformats.org/officeDocument/2006/relationships/";

std::string& PartOf(Parts& parts, const std::string& name) {
  return std::find_if(parts.begin(), parts.end(), [&](const auto& part) { return part.first == name; })
      ->second;
}

std::string Relationship(const std::string& id, const std::string& type, const std::string& target) {
  return "<Relationship Id=\"" + id + "\" Type=\"" + kRelationships + type + "\" Target=\"" + target + "\"/>";
}

// A workbook with the sheets "Data" (holding `data` inside sheetData, `dataTail` after it) and
// "Sum Up" (holding `summary`), the workbook part's `definedNames`, and extra parts for "Data".
struct Book {
  std::string data;
  std::string dataTail;
  std::string summary = "<row r=\"1\"><c r=\"A1\"><v>1</v></c></row>";
  std::string definedNames;
  std::string dataRelationships;  // <Relationship> elements of the Data sheet
  Parts extraParts;

  std::string Bytes() const {
    Parts parts = testing::WorkbookParts(data, "", "", dataTail);
    std::string& workbook = PartOf(parts, "xl/workbook.xml");
    workbook.replace(workbook.find("</sheets>"), 9,
                     "<sheet name=\"Sum Up\" sheetId=\"2\" r:id=\"rId9\"/></sheets>" + definedNames);
    std::string& relationships = PartOf(parts, "xl/_rels/workbook.xml.rels");
    relationships.replace(relationships.find("</Relationships>"), 16,
                          Relationship("rId9", "worksheet", "worksheets/sheet2.xml") + "</Relationships>");
    std::string sheet2 = PartOf(parts, "xl/worksheets/sheet1.xml");
    const std::size_t begin = sheet2.find("<sheetData>") + 11;
    sheet2.replace(begin, sheet2.find("</sheetData>") - begin, summary);
    sheet2.replace(sheet2.find("</sheetData>") + 12,
                   sheet2.find("</worksheet>") - sheet2.find("</sheetData>") - 12, "");
    parts.emplace_back("xl/worksheets/sheet2.xml", sheet2);
    if (!dataRelationships.empty()) {
      parts.emplace_back(
          "xl/worksheets/_rels/sheet1.xml.rels",
          "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">" +
              dataRelationships + "</Relationships>");
    }
    parts.insert(parts.end(), extraParts.begin(), extraParts.end());
    return PackageBytes(parts);
  }
};

// Opens `book`, deletes rows first..last of "Data" with the rewriting installed, and saves.
std::string DeleteRows(const Book& book, std::uint32_t first, std::uint32_t last) {
  auto workbook = Workbook::OpenBytes(book.Bytes(), "book.xlsx");
  KeepReferencesOnRowDeletion(*workbook);
  workbook->FirstSheet().DeleteRows(first, last);
  return workbook->SaveToBytes();
}

std::string NumberRows(int count) {
  std::string rows;
  for (int row = 1; row <= count; ++row) {
    const std::string r = std::to_string(row);
    rows += "<row r=\"" + r + "\"><c r=\"B" + r + "\"><v>" + r + "</v></c></row>";
  }
  return rows;
}

bool Contains(const std::string& text, const std::string& piece) {
  return text.find(piece) != std::string::npos;
}

// Expects each piece somewhere in `text`, showing the text for any that is missing.
void ExpectContains(const std::string& text, std::initializer_list<std::string> pieces) {
  for (const std::string& piece : pieces) EXPECT_TRUE(Contains(text, piece)) << piece << "\nnot in\n" << text;
}

TEST(RowDeletionFormulasTest, SharedGroupLosingItsFirstCellKeepsEachCellsFormula) {
  Book book;
  book.data = "<row r=\"1\"><c r=\"B1\"><v>1</v></c></row>";
  for (int row = 2; row <= 5; ++row) {
    const std::string r = std::to_string(row);
    book.data +=
        "<row r=\"" + r + "\"><c r=\"B" + r + "\"><v>" + r + "</v></c><c r=\"D" + r + "\">" +
        (row == 2 ? "<f t=\"shared\" ref=\"D2:D5\" si=\"0\">B2*2+$B$1</f>" : "<f t=\"shared\" si=\"0\"/>") +
        "<v>0</v></c></row>";
  }
  const std::string sheet = ReadPart(DeleteRows(book, 2, 2), "xl/worksheets/sheet1.xml");
  ExpectContains(sheet, {"<c r=\"D2\"><f>B2*2+$B$1</f>", "<c r=\"D3\"><f>B3*2+$B$1</f>",
                         "<c r=\"D4\"><f>B4*2+$B$1</f>"});
  EXPECT_FALSE(Contains(sheet, "shared")) << sheet;
}

TEST(RowDeletionFormulasTest, ArrayFormulaRangeShrinksWithItsRows) {
  Book book;
  book.data = NumberRows(6);
  book.data.replace(book.data.find("</row>", book.data.find("r=\"2\"")), 6,
                    "<c r=\"E2\"><f t=\"array\" ref=\"E2:E5\">B2:B5*10</f><v>20</v></c></row>");
  const std::string sheet = ReadPart(DeleteRows(book, 3, 4), "xl/worksheets/sheet1.xml");
  EXPECT_TRUE(Contains(sheet, "<f t=\"array\" ref=\"E2:E3\">B2:B3*10</f>")) << sheet;
}

TEST(RowDeletionFormulasTest, OtherSheetsNamesAndCalculationFollow) {
  Book book;
  book.data = NumberRows(8);
  book.summary =
      "<row r=\"1\"><c r=\"A1\"><f>SUM(Data!B2:B8)+'Sum Up'!A2</f><v>35</v></c></row>"
      "<row r=\"2\"><c r=\"A2\"><f>Data!B4&amp;\"Data!B4\"</f><v>4</v></c></row>";
  book.definedNames =
      "<definedNames><definedName name=\"Block\">Data!$B$2:$B$8</definedName>"
      "<definedName name=\"_xlnm.Print_Titles\" localSheetId=\"0\">Data!$1:$1</definedName>"
      "<definedName name=\"Gone\">Data!$B$4</definedName></definedNames>";
  const std::string bytes = DeleteRows(book, 4, 4);
  const std::string summary = ReadPart(bytes, "xl/worksheets/sheet2.xml");
  ExpectContains(summary, {"<f>SUM(Data!B2:B7)+'Sum Up'!A2</f>", "<f>Data!#REF!&amp;\"Data!B4\"</f>"});
  const std::string workbook = ReadPart(bytes, "xl/workbook.xml");
  ExpectContains(workbook,
                 {"<definedName name=\"Block\">Data!$B$2:$B$7</definedName>", ">Data!$1:$1</definedName>",
                  "<definedName name=\"Gone\">Data!#REF!</definedName>",
                  "</definedNames><calcPr fullCalcOnLoad=\"1\"/>"});
}

TEST(RowDeletionFormulasTest, ApplicationRowsDeleteKeepsReferencesInStep) {
  Book book;
  book.data = NumberRows(8);
  book.summary = "<row r=\"1\"><c r=\"A1\"><f>SUM(Data!B2:B8)</f><v>35</v></c></row>";
  testing::TemporaryFolder folder;
  testing::WriteFile(folder.File("book.xlsx"), book.Bytes());
  auto application = excel::CreateExcelApplication();
  auto workbook = application->AddWorkbook(folder.File("book.xlsx"));
  workbook->FirstSheet()->DeleteRows("4:4", excel::kShiftUp);
  workbook->SaveAs(folder.File("saved.xlsx"));
  application->Quit();
  const std::string summary =
      ReadPart(testing::ReadFile(folder.File("saved.xlsx")), "xl/worksheets/sheet2.xml");
  EXPECT_TRUE(Contains(summary, "<f>SUM(Data!B2:B7)</f>")) << summary;
}

TEST(RowDeletionFormulasTest, UnreadableOtherSheetIsSavedAsStored) {
  Book book;
  book.data = NumberRows(8);
  book.summary = "<row r=\"1\"><c r=\"A1\" s=\"99\"><f>SUM(Data!B2:B8)</f><v>35</v></c></row>";
  const std::string before = book.Bytes();
  const std::string after = DeleteRows(book, 4, 4);
  EXPECT_EQ(StoredPart(after, "xl/worksheets/sheet2.xml"), StoredPart(before, "xl/worksheets/sheet2.xml"));
  EXPECT_FALSE(Contains(ReadPart(after, "xl/worksheets/sheet1.xml"), "r=\"8\""));
}

TEST(RowDeletionFormulasTest, ChartSeriesAndPivotSourcesFollow) {
  Book book;
  book.data = NumberRows(8);
  book.extraParts = {
      {"xl/charts/chart1.xml",
       "<c:chartSpace xmlns:c=\"c\"><c:ser><c:val><c:numRef><c:f>Data!$B$2:$B$8</c:f></c:numRef></c:val>"
       "<c:tx><c:strRef><c:f>'Sum Up'!$A$1</c:f></c:strRef></c:tx></c:ser></c:chartSpace>"},
      {"xl/pivotCache/pivotCacheDefinition1.xml",
       "<pivotCacheDefinition><cacheSource type=\"worksheet\"><worksheetSource ref=\"A1:B8\" sheet=\"Data\"/>"
       "</cacheSource></pivotCacheDefinition>"}};
  const std::string bytes = DeleteRows(book, 3, 3);
  const std::string chart = ReadPart(bytes, "xl/charts/chart1.xml");
  ExpectContains(chart, {"<c:f>Data!$B$2:$B$7</c:f>", "<c:f>'Sum Up'!$A$1</c:f>"});
  const std::string pivot = ReadPart(bytes, "xl/pivotCache/pivotCacheDefinition1.xml");
  EXPECT_TRUE(Contains(pivot, "<worksheetSource ref=\"A1:B7\" sheet=\"Data\"/>")) << pivot;
}

TEST(RowDeletionFormulasTest, WorkbookWithoutFormulasKeepsEveryOtherPartAsStored) {
  Book book;
  book.data = NumberRows(8);
  book.definedNames = "<definedNames><definedName name=\"Far\">Data!$B$1</definedName></definedNames>";
  const std::string before = book.Bytes();
  const std::string after = DeleteRows(book, 4, 5);
  for (const char* part :
       {"xl/workbook.xml", "xl/worksheets/sheet2.xml", "xl/styles.xml", "[Content_Types].xml"}) {
    EXPECT_EQ(StoredPart(after, part), StoredPart(before, part)) << part;
  }
  EXPECT_FALSE(Contains(ReadPart(after, "xl/worksheets/sheet1.xml"), "r=\"8\""));
}

TEST(RowDeletionSheetItemsTest, RangesOfTheSheetMoveShrinkOrGo) {
  Book book;
  book.data = NumberRows(8);
  book.dataTail =
      "<autoFilter ref=\"A1:B8\"/>"
      "<conditionalFormatting sqref=\"A3:A6\"><cfRule type=\"expression\" priority=\"1\">"
      "<formula>$B3&gt;B$1</formula></cfRule></conditionalFormatting>"
      "<conditionalFormatting sqref=\"C3\"><cfRule type=\"expression\" priority=\"2\"><formula>1</formula>"
      "</cfRule></conditionalFormatting>"
      "<dataValidations count=\"2\"><dataValidation type=\"whole\" sqref=\"B2:B8 D3\"><formula1>0</formula1>"
      "<formula2>B8</formula2></dataValidation><dataValidation type=\"list\" sqref=\"E3\">"
      "<formula1>\"a,b\"</formula1></dataValidation></dataValidations>"
      "<hyperlinks><hyperlink ref=\"A3\" location=\"'Sum Up'!A1\"/><hyperlink ref=\"A7\" location=\"x\"/>"
      "</hyperlinks>";
  const std::string sheet = ReadPart(DeleteRows(book, 3, 3), "xl/worksheets/sheet1.xml");
  ExpectContains(sheet, {"<autoFilter ref=\"A1:B7\"/>", "<conditionalFormatting sqref=\"A3:A5\">",
                         "<formula>$B3&gt;B$1</formula>"});
  EXPECT_FALSE(Contains(sheet, "sqref=\"C3\"")) << sheet;
  ExpectContains(
      sheet, {"<dataValidations count=\"1\"><dataValidation type=\"whole\" sqref=\"B2:B7\">",
              "<formula2>B7</formula2>", "<hyperlinks><hyperlink ref=\"A6\" location=\"x\"/></hyperlinks>"});
}

TEST(RowDeletionSheetItemsTest, PageBreaksAndExtensionItemsFollow) {
  Book book;
  book.data = NumberRows(8);
  book.dataTail =
      "<rowBreaks count=\"3\" manualBreakCount=\"3\"><brk id=\"1\" man=\"1\"/><brk id=\"2\" man=\"1\"/>"
      "<brk id=\"6\" man=\"1\"/></rowBreaks>"
      "<extLst><ext uri=\"{78C0D931}\" xmlns:x14=\"x\"><x14:conditionalFormattings>"
      "<x14:conditionalFormatting xmlns:xm=\"m\"><x14:cfRule type=\"dataBar\"><x14:cfvo "
      "type=\"num\"><xm:f>$B$8"
      "</xm:f></x14:cfvo></x14:cfRule><xm:sqref>B2:B8</xm:sqref></x14:conditionalFormatting>"
      "</x14:conditionalFormattings></ext><ext uri=\"{CCE6A557}\" xmlns:x14=\"x\"><x14:dataValidations "
      "count=\"1\">"
      "<x14:dataValidation type=\"list\"><x14:formula1><xm:f>'Sum Up'!$A$1:$A$3</xm:f></x14:formula1>"
      "<xm:sqref>C3</xm:sqref></x14:dataValidation></x14:dataValidations></ext></extLst>";
  const std::string sheet = ReadPart(DeleteRows(book, 3, 3), "xl/worksheets/sheet1.xml");
  EXPECT_TRUE(Contains(sheet,
                       "<rowBreaks count=\"2\" manualBreakCount=\"2\"><brk id=\"1\" man=\"1\"/><brk id=\"5\" "
                       "man=\"1\"/></rowBreaks>"))
      << sheet;
  EXPECT_TRUE(Contains(sheet, "<xm:f>$B$7</xm:f></x14:cfvo></x14:cfRule><xm:sqref>B2:B7</xm:sqref>"))
      << sheet;
  EXPECT_FALSE(Contains(sheet, "dataValidation")) << sheet;
  EXPECT_FALSE(Contains(sheet, "{CCE6A557}")) << sheet;
}

TEST(RowDeletionSheetItemsTest, NotesAndDrawingsMoveWithTheirCells) {
  Book book;
  book.data = NumberRows(8);
  book.dataTail = "<drawing r:id=\"rId2\"/><legacyDrawing r:id=\"rId3\"/>";
  book.dataRelationships =
      Relationship("rId1", "comments", "../comments1.xml") +
      Relationship("rId4", "threadedComment", "../threadedComments/threadedComment1.xml") +
      Relationship("rId2", "drawing", "../drawings/drawing1.xml") +
      Relationship("rId3", "vmlDrawing", "../drawings/vmlDrawing1.vml");
  book.extraParts = {
      {"xl/comments1.xml",
       "<comments "
       "xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\"><authors><author>a</author>"
       "</authors><commentList><comment ref=\"B3\" authorId=\"0\"><text><t>gone</t></text></comment>"
       "<comment ref=\"B6\" authorId=\"0\"><text><t>moves</t></text></comment></commentList></comments>"},
      {"xl/threadedComments/threadedComment1.xml",
       "<ThreadedComments xmlns=\"t\"><threadedComment ref=\"B3\" "
       "id=\"{1}\"><text>gone</text></threadedComment>"
       "<threadedComment ref=\"B6\" id=\"{2}\"><text>moves</text></threadedComment></ThreadedComments>"},
      {"xl/drawings/drawing1.xml",
       "<xdr:wsDr xmlns:xdr=\"d\"><xdr:twoCellAnchor><xdr:from><xdr:col>0</xdr:col><xdr:colOff>0</xdr:colOff>"
       "<xdr:row>4</xdr:row><xdr:rowOff>5</xdr:rowOff></xdr:from><xdr:to><xdr:col>2</xdr:col><xdr:colOff>0"
       "</xdr:colOff><xdr:row>6</xdr:row><xdr:rowOff>0</xdr:rowOff></xdr:to></xdr:twoCellAnchor>"
       "<xdr:oneCellAnchor><xdr:from><xdr:col>0</xdr:col><xdr:colOff>0</xdr:colOff><xdr:row>2</xdr:row>"
       "<xdr:rowOff>0</xdr:rowOff></xdr:from></xdr:oneCellAnchor>"
       "<xdr:twoCellAnchor editAs=\"absolute\"><xdr:from><xdr:row>7</xdr:row></xdr:from><xdr:to><xdr:row>7"
       "</xdr:row></xdr:to></xdr:twoCellAnchor></xdr:wsDr>"},
      {"xl/drawings/vmlDrawing1.vml",
       "<xml xmlns:v=\"v\" xmlns:x=\"x\"><v:shape id=\"a\"><br><x:ClientData ObjectType=\"Note\">"
       "<x:Anchor>2, 15, 1, 10, 4, 15, 5, 4</x:Anchor><x:Row>2</x:Row><x:Column>1</x:Column></x:ClientData>"
       "</v:shape><v:shape id=\"b\"><x:ClientData ObjectType=\"Note\"><x:Anchor>2, 15, 4, 10, 4, 15, 8, 4"
       "</x:Anchor><x:Row>5</x:Row><x:Column>1</x:Column></x:ClientData></v:shape>"
       "<ns0:shape xmlns:ns0=\"v\" id=\"c\"><ns2:ClientData "
       "xmlns:ns2=\"x\"><ns2:Row>6</ns2:Row></ns2:ClientData>"
       "</ns0:shape></xml>"}};
  const std::string bytes = DeleteRows(book, 3, 3);
  const std::string comments = ReadPart(bytes, "xl/comments1.xml");
  EXPECT_FALSE(Contains(comments, "gone")) << comments;
  EXPECT_TRUE(Contains(comments, "<comment ref=\"B5\" authorId=\"0\">")) << comments;
  const std::string threads = ReadPart(bytes, "xl/threadedComments/threadedComment1.xml");
  EXPECT_EQ(threads.find("gone"), std::string::npos) << threads;
  EXPECT_TRUE(Contains(threads, "<threadedComment ref=\"B5\" id=\"{2}\">")) << threads;
  const std::string drawing = ReadPart(bytes, "xl/drawings/drawing1.xml");
  ExpectContains(drawing, {"<xdr:row>3</xdr:row><xdr:rowOff>5</xdr:rowOff></xdr:from>",
                           "<xdr:row>5</xdr:row><xdr:rowOff>0</xdr:rowOff></xdr:to>"});
  EXPECT_FALSE(Contains(drawing, "oneCellAnchor")) << drawing;
  EXPECT_TRUE(Contains(drawing, "<xdr:twoCellAnchor editAs=\"absolute\"><xdr:from><xdr:row>7</xdr:row>"))
      << drawing;
  const std::string shapes = ReadPart(bytes, "xl/drawings/vmlDrawing1.vml");
  EXPECT_FALSE(Contains(shapes, "id=\"a\"")) << shapes;
  ExpectContains(shapes,
                 {"<x:Anchor>2, 15, 3, 10, 4, 15, 7, 4</x:Anchor><x:Row>4</x:Row>", "<ns2:Row>5</ns2:Row>"});
}

// Eight rows on "Data" with a one-column table over B2:B8 (header in row 2).
Book TableBook() {
  Book book;
  book.data = NumberRows(8);
  book.dataTail = "<tableParts count=\"1\"><tablePart r:id=\"rId1\"/></tableParts>";
  book.dataRelationships = Relationship("rId1", "table", "../tables/table1.xml");
  book.extraParts = {{"xl/tables/table1.xml",
                      "<table xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\" id=\"1\" "
                      "name=\"T\" displayName=\"T\" ref=\"B2:B8\"><autoFilter ref=\"B2:B8\"/><tableColumns "
                      "count=\"1\"><tableColumn id=\"1\" name=\"B\"/></tableColumns></table>"}};
  return book;
}

TEST(RowDeletionSheetItemsTest, TableShrinksWithItsDataRows) {
  const std::string table = ReadPart(DeleteRows(TableBook(), 4, 5), "xl/tables/table1.xml");
  EXPECT_TRUE(Contains(table, "ref=\"B2:B6\"><autoFilter ref=\"B2:B6\"/>")) << table;
}

TEST(RowDeletionSheetItemsTest, TableGoesWithItsHeaderRow) {
  const std::string bytes = DeleteRows(TableBook(), 2, 2);
  EXPECT_FALSE(Contains(ReadPart(bytes, "xl/worksheets/sheet1.xml"), "tablePart"));
  EXPECT_FALSE(Contains(ReadPart(bytes, "xl/worksheets/_rels/sheet1.xml.rels"), "table1"));
}

}  // namespace
}  // namespace zentora::spreadsheet

// Row deletion on workbooks built part by part: what moves, shrinks or goes in formulas, names and
// the sheet's items, and what stays byte for byte.
#include <gtest/gtest.h>

#include <array>
#include <string>

#include "Spreadsheet/workbook/Workbook.h"
#include "TestWorkbooks.h"
#include "outside/Spreadsheet.h"

namespace zentora::spreadsheet {
namespace {

using namespace testing;

constexpr const char* kSheet = "xl/worksheets/sheet1.xml";

// A workbook with the sheets "Data" (`data` inside sheetData, `dataTail` after it) and "Sum Up"
// (`summary`), the workbook part's `definedNames`, parts under xl/ linked from "Data" ({type, part,
// content}; the relationship ids are rId1, rId2, ... in order) and other parts.
struct Book {
  std::string data = R"(<row r="1"><c r="B1"><v>1</v></c></row><row r="2"><c r="B2"><v>2</v></c></row>)"
                     R"(<row r="3"><c r="B3"><v>3</v></c></row><row r="4"><c r="B4"><v>4</v></c></row>)"
                     R"(<row r="5"><c r="B5"><v>5</v></c></row><row r="6"><c r="B6"><v>6</v></c></row>)"
                     R"(<row r="7"><c r="B7"><v>7</v></c></row><row r="8"><c r="B8"><v>8</v></c></row>)";
  std::string dataTail;
  std::string summary = "<row r=\"1\"><c r=\"A1\"><v>1</v></c></row>";
  std::string definedNames;
  std::vector<std::array<std::string, 3>> linked;
  Parts otherParts;

  std::string Bytes() const {
    Parts parts = testing::WorkbookParts(data, "", "", dataTail);
    InsertBefore(PartOf(parts, "xl/workbook.xml"), "</workbook>", definedNames);
    InsertBefore(PartOf(parts, "xl/workbook.xml"), "</sheets>",
                 "<sheet name=\"Sum Up\" sheetId=\"2\" r:id=\"rId9\"/>");
    AddRelationship(parts, "xl/_rels/workbook.xml.rels", "rId9", "worksheet", "worksheets/sheet2.xml");
    PartOf(parts, "xl/worksheets/sheet2.xml") = std::string("<worksheet xmlns=\"") + testing::kMainNamespace +
                                                "\"><sheetData>" + summary + "</sheetData></worksheet>";
    for (std::size_t i = 0; i < linked.size(); ++i) {
      AddRelationship(parts, "xl/worksheets/_rels/sheet1.xml.rels", "rId" + std::to_string(i + 1),
                      linked[i][0], "../" + linked[i][1].substr(3));
      PartOf(parts, linked[i][1]) = linked[i][2];
    }
    parts.insert(parts.end(), otherParts.begin(), otherParts.end());
    return testing::PackageBytes(parts);
  }
};

// Deletes rows first..last of "Data" in `book` through the spreadsheet application, which keeps
// references in step, and gives the saved package.
std::string DeleteRows(const Book& book, std::uint32_t first, std::uint32_t last) {
  testing::TemporaryFolder folder;
  testing::WriteFile(folder.File("book.xlsx"), book.Bytes());
  auto application = excel::CreateExcelApplication();
  auto workbook = application->AddWorkbook(folder.File("book.xlsx"));
  workbook->FirstSheet()->DeleteRows(std::to_string(first) + ":" + std::to_string(last), excel::kShiftUp);
  workbook->SaveAs(folder.File("saved.xlsx"));
  application->Quit();
  return testing::ReadFile(folder.File("saved.xlsx"));
}

void ExpectPart(const std::string& bytes, const std::string& part, std::initializer_list<std::string> present,
                std::initializer_list<std::string> absent = {}) {
  testing::ExpectPieces(ReadPart(bytes, part), present, absent);
}

TEST(RowDeletionFormulasTest, SharedGroupLosingItsFirstCellKeepsEachCellsFormula) {
  Book book;
  book.data = "<row r=\"1\"><c r=\"B1\"><v>1</v></c></row>";
  for (int row = 2; row <= 5; ++row) {
    const std::string r = std::to_string(row);
    book.data +=
        "<row r=\"" + r + "\"><c r=\"D" + r + "\">" +
        (row == 2 ? "<f t=\"shared\" ref=\"D2:D5\" si=\"0\">B2*2+$B$1</f>" : "<f t=\"shared\" si=\"0\"/>") +
        "<v>0</v></c>" + (row == 4 ? "<c r=\"E4\"><f t=\"shared\" si=\"7\"/></c>" : "") + "</row>";
  }
  // A cell of a group without its first cell keeps the mark: the application drops such formulas.
  ExpectPart(DeleteRows(book, 2, 2), kSheet,
             {"<c r=\"D2\"><f>B2*2+$B$1</f>", "<c r=\"D3\"><f>B3*2+$B$1</f>", "<c r=\"D4\"><f>B4*2+$B$1</f>",
              "<c r=\"E3\"><f t=\"shared\" si=\"7\">"},
             {"si=\"0\""});
}

TEST(RowDeletionFormulasTest, ArraysOtherSheetsNamesChartsAndPivotSourcesFollowAndChartsThatStayAreCopied) {
  Book book;
  InsertBefore(book.data, "</row><row r=\"3\"",
               "<c r=\"E2\"><f t=\"array\" ref=\"E2:E5\">B2:B5*10</f><v>20</v></c>");
  book.summary =
      R"(<row r="1"><c r="A1"><f>SUM(Data!B2:B8)+'Sum Up'!A2</f><v>35</v></c></row><row r="2"><c r="A2"><f>)"
      R"(Data!B4&amp;"Data!B4"</f><v>4</v></c></row>)";
  book.definedNames = R"(<definedNames><definedName name="Block">Data!$B$2:$B$8</definedName>)"
                      R"(<definedName name="_xlnm.Print_Titles" localSheetId="0">Data!$1:$1</definedName>)"
                      R"(<definedName name="Gone">Data!$B$4</definedName></definedNames>)";
  book.otherParts = {
      {"xl/charts/chart1.xml",
       R"(<c:chartSpace xmlns:c="c"><c:ser><c:val><c:numRef><c:f>Data!$B$2:$B$8</c:f></c:numRef></c:val>)"
       R"(<c:tx><c:strRef><c:f>'Sum Up'!$A$1</c:f></c:strRef></c:tx></c:ser></c:chartSpace>)"},
      {"xl/charts/chart2.xml", R"(<c:chartSpace xmlns:c="c"><c:f>Data!$B$1</c:f></c:chartSpace>)"},
      {"xl/pivotCache/pivotCacheDefinition1.xml",
       R"(<pivotCacheDefinition><cacheSource type="worksheet"><worksheetSource ref="A1:B8" sheet="Data"/>)"
       R"(</cacheSource></pivotCacheDefinition>)"}};
  const std::string before = book.Bytes();
  const std::string bytes = DeleteRows(book, 4, 4);
  ExpectPart(bytes, kSheet, {"<f t=\"array\" ref=\"E2:E4\">B2:B4*10</f>"});
  ExpectPart(bytes, "xl/worksheets/sheet2.xml",
             {"<f>SUM(Data!B2:B7)+'Sum Up'!A2</f>", "<f>Data!#REF!&amp;\"Data!B4\"</f>"});
  ExpectPart(bytes, "xl/workbook.xml",
             {"<definedName name=\"Block\">Data!$B$2:$B$7</definedName>", ">Data!$1:$1</definedName>",
              "<definedName name=\"Gone\">Data!#REF!</definedName>",
              "</definedNames><calcPr fullCalcOnLoad=\"1\"/>"});
  ExpectPart(bytes, "xl/charts/chart1.xml", {"<c:f>Data!$B$2:$B$7</c:f>", "<c:f>'Sum Up'!$A$1</c:f>"});
  // A chart whose references stay is copied as it was stored.
  EXPECT_EQ(StoredPart(bytes, "xl/charts/chart2.xml"), StoredPart(before, "xl/charts/chart2.xml"));
  ExpectPart(bytes, "xl/pivotCache/pivotCacheDefinition1.xml",
             {"<worksheetSource ref=\"A1:B7\" sheet=\"Data\"/>"});
}

TEST(RowDeletionFormulasTest, PartsWithoutFormulasOrUnreadableAreSavedAsStored) {
  Book book;
  book.definedNames = "<definedNames><definedName name=\"Far\">Data!$B$1</definedName></definedNames>";
  // A formula on a sheet that cannot be read (its style is missing) is left as stored.
  book.summary = "<row r=\"1\"><c r=\"A1\" s=\"99\"><f>SUM(Data!B2:B8)</f><v>35</v></c></row>";
  const std::string before = book.Bytes();
  const std::string after = DeleteRows(book, 4, 5);
  for (const char* part :
       {"xl/workbook.xml", "xl/worksheets/sheet2.xml", "xl/styles.xml", "[Content_Types].xml"})
    EXPECT_EQ(StoredPart(after, part), StoredPart(before, part)) << part;
  ExpectPart(after, kSheet, {"<row r=\"6\">"}, {"r=\"7\""});
}

TEST(RowDeletionSheetItemsTest, RangesNotesDrawingsAndTablesMoveShrinkOrGo) {
  Book book;
  book.dataTail =
      R"(<autoFilter ref="A1:B8"/><conditionalFormatting sqref="A3:A6">)"
      R"(<cfRule type="expression" priority="1"><formula>$B3&gt;B$1</formula></cfRule>)"
      R"(</conditionalFormatting><conditionalFormatting sqref="C3"><cfRule type="expression" priority="2">)"
      R"(<formula>1</formula></cfRule></conditionalFormatting><conditionalFormatting sqref="A1"><cfRule )"
      R"(type="expression" priority="3"><formula>$B$9&gt;0</formula></cfRule></conditionalFormatting>)"
      R"(<dataValidations count="3"><dataValidation type="whole" sqref="B2:B8 D3"><formula1>0</formula1>)"
      R"(<formula2>B8</formula2></dataValidation><dataValidation type="list" sqref="E3"><formula1>"a,b")"
      R"(</formula1></dataValidation><dataValidation type="whole" sqref="E1"><formula1>$B$5</formula1>)"
      R"(</dataValidation></dataValidations><hyperlinks><hyperlink ref="A3" location="'Sum Up'!A1"/>)"
      R"(<hyperlink ref="A7" location="x"/></hyperlinks><rowBreaks count="3" manualBreakCount="3">)"
      R"(<brk id="1" man="1"/><brk id="2" man="1"/><brk id="6" man="1"/></rowBreaks><drawing r:id="rId3"/>)"
      R"(<legacyDrawing r:id="rId4"/><tableParts count="1"><tablePart r:id="rId5"/></tableParts><extLst>)"
      R"(<ext uri="{78C0D931}" xmlns:x14="x"><x14:conditionalFormattings>)"
      R"(<x14:conditionalFormatting xmlns:xm="m"><x14:cfRule type="dataBar"><x14:cfvo type="num"><xm:f>)"
      R"($B$8</xm:f></x14:cfvo></x14:cfRule><xm:sqref>B2:B8</xm:sqref></x14:conditionalFormatting>)"
      R"(</x14:conditionalFormattings></ext><ext uri="{CCE6A557}" xmlns:x14="x">)"
      R"(<x14:dataValidations count="1"><x14:dataValidation type="list"><x14:formula1><xm:f>)"
      R"('Sum Up'!$A$1:$A$3</xm:f></x14:formula1><xm:sqref>C3</xm:sqref></x14:dataValidation>)"
      R"(</x14:dataValidations></ext></extLst>)";
  book.linked = {
      {"comments", "xl/comments1.xml",
       std::string("<comments xmlns=\"") + testing::kMainNamespace +
           R"("><authors><author>a</author></authors><commentList><comment ref="B3" authorId="0"><text><t>)"
           R"(gone</t></text></comment><comment ref="B6" authorId="0"><text><t>moves</t></text></comment>)"
           R"(</commentList></comments>)"},
      {"threadedComment", "xl/threadedComments/threadedComment1.xml",
       R"(<ThreadedComments xmlns="t"><threadedComment ref="B3" id="{1}"><text>gone</text></threadedComment>)"
       R"(<threadedComment ref="B6" id="{2}"><text>moves</text></threadedComment></ThreadedComments>)"},
      {"drawing", "xl/drawings/drawing1.xml",
       R"(<xdr:wsDr xmlns:xdr="d"><xdr:twoCellAnchor><xdr:from><xdr:col>0</xdr:col><xdr:row>4</xdr:row>)"
       R"(<xdr:rowOff>5</xdr:rowOff></xdr:from><xdr:to><xdr:col>2</xdr:col><xdr:row>6</xdr:row><xdr:rowOff>)"
       R"(0</xdr:rowOff></xdr:to></xdr:twoCellAnchor><xdr:oneCellAnchor><xdr:from><xdr:col>0</xdr:col>)"
       R"(<xdr:row>2</xdr:row><xdr:rowOff>0</xdr:rowOff></xdr:from></xdr:oneCellAnchor>)"
       R"(<xdr:twoCellAnchor editAs="absolute"><xdr:from><xdr:row>7</xdr:row></xdr:from><xdr:to><xdr:row>)"
       R"(7</xdr:row></xdr:to></xdr:twoCellAnchor></xdr:wsDr>)"},
      {"vmlDrawing", "xl/drawings/vmlDrawing1.vml",
       R"(<xml xmlns:v="v" xmlns:x="x"><v:shape id="a"><br><x:ClientData ObjectType="Note"><x:Anchor>)"
       R"(2, 15, 1, 10, 4, 15, 5, 4</x:Anchor><x:Row>2</x:Row><x:Column>1</x:Column></x:ClientData>)"
       R"(</v:shape><v:shape id="b"><x:ClientData ObjectType="Note"><x:Anchor>)"
       R"(2, 15, 4, 10, 4, 15, 8, 4</x:Anchor><x:Row>5</x:Row><x:Column>1</x:Column></x:ClientData>)"
       R"(</v:shape><ns0:shape xmlns:ns0="v" id="c"><ns2:ClientData xmlns:ns2="x"><ns2:Row>6</ns2:Row>)"
       R"(</ns2:ClientData></ns0:shape></xml>)"},
      // A one-column table over B2:B8, its header in row 2.
      {"table", "xl/tables/table1.xml",
       std::string("<table xmlns=\"") + testing::kMainNamespace +
           R"(" id="1" name="T" displayName="T" ref="B2:B8"><autoFilter ref="B2:B8"/>)"
           R"(<tableColumns count="1"><tableColumn id="1" name="B"/></tableColumns></table>)"}};
  std::string bytes = DeleteRows(book, 3, 3);
  ExpectPart(
      bytes, kSheet,
      {"<autoFilter ref=\"A1:B7\"/>", "<conditionalFormatting sqref=\"A3:A5\">",
       "<formula>$B3&gt;B$1</formula>", "<formula>$B$8&gt;0</formula>",
       "<dataValidations count=\"2\"><dataValidation type=\"whole\" sqref=\"B2:B7\">",
       "<formula2>B7</formula2>", "<formula1>$B$4</formula1>",
       "<hyperlinks><hyperlink ref=\"A6\" location=\"x\"/></hyperlinks>",
       "<rowBreaks count=\"2\" manualBreakCount=\"2\"><brk id=\"1\" man=\"1\"/><brk id=\"5\" man=\"1\"/>",
       "<xm:f>$B$7</xm:f></x14:cfvo></x14:cfRule><xm:sqref>B2:B7</xm:sqref>"},
      {"sqref=\"C3\"", "type=\"list\"", "{CCE6A557}"});
  ExpectPart(bytes, "xl/comments1.xml", {"<comment ref=\"B5\" authorId=\"0\">"}, {"gone"});
  ExpectPart(bytes, "xl/threadedComments/threadedComment1.xml", {"<threadedComment ref=\"B5\" id=\"{2}\">"},
             {"gone"});
  ExpectPart(bytes, "xl/drawings/drawing1.xml",
             {"<xdr:row>3</xdr:row><xdr:rowOff>5</xdr:rowOff></xdr:from>",
              "<xdr:row>5</xdr:row><xdr:rowOff>0</xdr:rowOff></xdr:to>",
              "<xdr:twoCellAnchor editAs=\"absolute\"><xdr:from><xdr:row>7</xdr:row>"},
             {"oneCellAnchor"});
  ExpectPart(bytes, "xl/drawings/vmlDrawing1.vml",
             {"<x:Anchor>2, 15, 3, 10, 4, 15, 7, 4</x:Anchor><x:Row>4</x:Row>", "<ns2:Row>5</ns2:Row>"},
             {"id=\"a\""});
  ExpectPart(bytes, "xl/tables/table1.xml", {"ref=\"B2:B7\"><autoFilter ref=\"B2:B7\"/>"});
  // The table goes with its header row.
  bytes = DeleteRows(book, 2, 2);
  ExpectPart(bytes, kSheet, {}, {"tablePart"});
  ExpectPart(bytes, "xl/worksheets/_rels/sheet1.xml.rels", {"comments1"}, {"table1"});
}

// Alone, so that its change is the only one the extension list gets.
TEST(RowDeletionSheetItemsTest, AnExtensionFormatThatStaysFollowsTheRowItsFormulaNames) {
  Book book;
  book.dataTail =
      R"(<extLst><ext uri="{78C0D931}" xmlns:x14="x"><x14:conditionalFormattings>)"
      R"(<x14:conditionalFormatting xmlns:xm="m"><x14:cfRule type="expression"><xm:f>$B$8</xm:f>)"
      R"(</x14:cfRule><xm:sqref>A1</xm:sqref></x14:conditionalFormatting></x14:conditionalFormattings></ext>)"
      R"(</extLst>)";
  ExpectPart(DeleteRows(book, 3, 3), kSheet, {"<xm:f>$B$7</xm:f>"});
}

}  // namespace
}  // namespace zentora::spreadsheet

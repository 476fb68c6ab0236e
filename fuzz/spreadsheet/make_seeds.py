"""Writes a few small workbooks as the fuzzer's seed corpus into the folder given."""
import os
import sys
import zipfile

folder = sys.argv[1]
main = "http://schemas.openxmlformats.org/spreadsheetml/2006/main"
rel = "http://schemas.openxmlformats.org/officeDocument/2006/relationships"
types = ('<Types xmlns="http://schemas.openxmlformats.org/package/2006/content-types">'
         '<Default Extension="rels" ContentType="application/vnd.openxmlformats-package.relationships+xml"/>'
         '<Default Extension="xml" ContentType="application/xml"/></Types>')
package_rels = ('<Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">'
                '<Relationship Id="rId1" Type="%s/officeDocument" Target="xl/workbook.xml"/></Relationships>' % rel)
workbook = ('<workbook xmlns="%s" xmlns:r="%s"><workbookPr date1904="0"/><sheets>'
            '<sheet name="S" sheetId="1" r:id="rId1"/></sheets></workbook>' % (main, rel))
workbook_rels = ('<Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">'
                 '<Relationship Id="rId1" Type="%s/worksheet" Target="worksheets/sheet1.xml"/>'
                 '<Relationship Id="rId2" Type="%s/styles" Target="styles.xml"/>'
                 '<Relationship Id="rId3" Type="%s/sharedStrings" Target="sharedStrings.xml"/></Relationships>'
                 % (rel, rel, rel))
styles = ('<styleSheet xmlns="%s"><numFmts count="1"><numFmt numFmtId="164" formatCode="dd/mm/yyyy hh:mm"/></numFmts>'
          '<cellXfs count="3"><xf numFmtId="0"/><xf numFmtId="14"/><xf numFmtId="164"/></cellXfs></styleSheet>' % main)
strings = ('<sst xmlns="%s"><si><t>ID</t></si><si><r><t>ri</t></r><r><t>ch</t></r><rPh><t>x</t></rPh></si>'
           '<si><t>_x000D_</t></si></sst>' % main)
sheets = [
    '<row r="1"><c r="A1" t="s"><v>0</v></c><c r="B1" t="s"><v>1</v></c><c r="C1" t="s"><v>2</v></c></row>'
    '<row r="2"><c r="A2" s="1"><v>46361.5</v></c><c r="B2" t="b"><v>1</v></c><c r="C2" t="e"><v>#N/A</v></c></row>'
    '<row r="3" ht="30" customHeight="1"><c r="A3"><f>A2+1</f><v>46362.5</v></c>'
    '<c r="B3" t="inlineStr"><is><t xml:space="preserve"> x </t></is></c></row>',
    '<row><c t="inlineStr"><is/></c><c><v>0.30000000000000004</v></c></row><row><c s="2"><v>1.5</v></c></row>',
]
extras = ['<mergeCells count="1"><mergeCell ref="A4:B5"/></mergeCells>', '<hyperlinks/>']
# Stored (uncompressed) copies let mutations reach the XML instead of only breaking the deflate data.
for number, (cells, extra, method) in enumerate(
        (cells, extra, method) for cells, extra in zip(sheets, extras)
        for method in (zipfile.ZIP_DEFLATED, zipfile.ZIP_STORED)):
    sheet = '<worksheet xmlns="%s"><dimension ref="A1"/><sheetData>%s</sheetData>%s</worksheet>' % (main, cells, extra)
    with zipfile.ZipFile(os.path.join(folder, "seed%d.xlsx" % number), "w", method) as out:
        out.writestr("[Content_Types].xml", types)
        out.writestr("_rels/.rels", package_rels)
        out.writestr("xl/workbook.xml", workbook)
        out.writestr("xl/_rels/workbook.xml.rels", workbook_rels)
        out.writestr("xl/worksheets/sheet1.xml", sheet)
        out.writestr("xl/styles.xml", styles)
        out.writestr("xl/sharedStrings.xml", strings)

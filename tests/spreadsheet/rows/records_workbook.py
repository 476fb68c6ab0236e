"""Builds a record workbook as a third-party writer does, and checks it after a row was deleted.

    records_workbook.py build OUT.xlsx [--resave-with-libreoffice | --shared-formulas]
    records_workbook.py check DELETED.xlsx WORKDIR

The workbook: sheet "Records" with ten records in rows 2-11 (ID, Name, Amount, a computed Label;
with --shared-formulas the Label column is stored as two shared formula groups, D2:D4 and D5:D11, as
the application writes filled-down formulas, so that deleting row 5 deletes a group's first cell),
and sheet "Summary" that sums, counts and looks the records up. `check` expects the record in row 5
(id4, amount 40) to be gone, reads the file with openpyxl, lets LibreOffice recalculate it and
compares the values with those of the shifted data. It prints one line per failed expectation and
exits 1 when there was any.
"""
import csv
import os
import re
import shutil
import subprocess
import sys
import zipfile
from xml.etree import ElementTree

import openpyxl
from openpyxl.comments import Comment
from openpyxl.formatting.rule import CellIsRule, FormulaRule
from openpyxl.styles import PatternFill
from openpyxl.workbook.defined_name import DefinedName
from openpyxl.worksheet.datavalidation import DataValidation
from openpyxl.worksheet.table import Table

RECORDS = 10
MAIN = "http://schemas.openxmlformats.org/spreadsheetml/2006/main"


def share_label_formulas(path):
    """Rewrites the Label column's formulas as the shared groups D2:D4 and D5:D11."""
    with zipfile.ZipFile(path) as package:
        parts = [(item, package.read(item.filename)) for item in package.infolist()]
    with zipfile.ZipFile(path, "w", zipfile.ZIP_DEFLATED) as package:
        for item, data in parts:
            if item.filename == "xl/worksheets/sheet1.xml":
                for row in range(2, RECORDS + 2):
                    plain = f'<c r="D{row}"><f>B{row}&amp;" "&amp;C{row}</f>'.encode()
                    group, first, last = (0, 2, 4) if row < 5 else (1, 5, RECORDS + 1)
                    shared = (f'<c r="D{row}"><f t="shared" ref="D{first}:D{last}" si="{group}">'
                              f'B{row}&amp;" "&amp;C{row}</f>' if row == first
                              else f'<c r="D{row}"><f t="shared" si="{group}"/>').encode()
                    assert plain in data
                    data = data.replace(plain, shared)
            package.writestr(item, data)


def build(path, resave, shared):
    wb = openpyxl.Workbook()
    ws = wb.active
    ws.title = "Records"
    ws.append(["ID", "Name", "Amount", "Label"])
    for i in range(1, RECORDS + 1):
        row = i + 1
        ws.append([f"id{i}", f"N{i}", i * 10, f'=B{row}&" "&C{row}'])
    ws["F1"] = "=SUM($C$2:$C$11)"
    for cell in ("A3", "A5", "A9"):
        ws[cell].hyperlink = f"https://example.org/{ws[cell].value}"
    fill = PatternFill(start_color="FFFF00", end_color="FFFF00", fill_type="solid")
    ws.conditional_formatting.add("C2:C11", CellIsRule(operator="greaterThan", formula=["50"], fill=fill))
    ws.conditional_formatting.add("A2:D11", FormulaRule(formula=["$C2>80"], fill=fill))
    amounts = DataValidation(type="whole", operator="between", formula1="0", formula2="1000")
    amounts.add("C2:C11")
    ws.add_data_validation(amounts)
    gone = DataValidation(type="list", formula1='"yes,no"')
    gone.add("E5")
    ws.add_data_validation(gone)
    ws.add_table(Table(displayName="RecordTable", ref=f"A1:D{RECORDS + 1}"))
    ws.merge_cells("F7:G8")
    ws.merge_cells("F5:G5")
    ws["A9"].comment = Comment("eighth record", "tester")
    wb.defined_names.append(DefinedName("Amounts", attr_text="Records!$C$2:$C$11"))
    ws.print_area = "A1:D11"

    summary = wb.create_sheet("Summary")
    formulas = [
        ("Total", "=SUM(Records!C2:C11)"),
        ("Count", "=COUNTA(Records!A2:A11)"),
        ("Lookup", '=VLOOKUP("id7",Records!$A$2:$D$11,3,FALSE)'),
        ("Index", '=INDEX(Records!$B$2:$B$11,MATCH("id9",Records!$A$2:$A$11,0))'),
        ("Direct", "=Records!C8"),
        ("Gone", "=Records!C5"),
        ("Named", "=SUM(Amounts)"),
        ("Text", '="Records!C5"'),
        ("Column", "=SUM(Records!C:C)"),
    ]
    for label, formula in formulas:
        summary.append([label, formula])
    wb.save(path)
    if shared:
        share_label_formulas(path)
    if resave:
        libreoffice_convert(path, "xlsx", os.path.dirname(os.path.abspath(path)) + "/resaved")
        shutil.move(os.path.dirname(os.path.abspath(path)) + "/resaved/" + os.path.basename(path), path)


def libreoffice_convert(path, target, outdir):
    """Converts with a private profile that recalculates every formula on load."""
    outdir = os.path.abspath(outdir)
    profile = os.path.join(outdir, "profile")
    os.makedirs(os.path.join(profile, "user"), exist_ok=True)
    with open(os.path.join(profile, "user", "registrymodifications.xcu"), "w") as f:
        f.write('<?xml version="1.0" encoding="UTF-8"?>\n'
                '<oor:items xmlns:oor="http://openoffice.org/2001/registry" '
                'xmlns:xs="http://www.w3.org/2001/XMLSchema" '
                'xmlns:xsi="http://www.w3.org/2001/XMLSchema-instance">'
                '<item oor:path="/org.openoffice.Office.Calc/Formula/Load">'
                '<prop oor:name="OOXMLRecalcMode" oor:op="fuse"><value>0</value></prop></item>'
                '</oor:items>\n')
    subprocess.run(["soffice", "--headless", f"-env:UserInstallation=file://{profile}", "--convert-to", target,
                    "--outdir", outdir, path], check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                   timeout=240)


class Checks:
    def __init__(self):
        self.failures = []

    def equal(self, what, actual, expected):
        if actual != expected:
            self.failures.append(f"{what}: got {actual!r}, expected {expected!r}")


def check(path, workdir):
    c = Checks()
    with zipfile.ZipFile(path) as package:
        names = package.namelist()
        book = ElementTree.fromstring(package.read("xl/workbook.xml"))
        defined = {d.get("name"): d.text for d in book.iter(f"{{{MAIN}}}definedName")}
        shapes = b"".join(package.read(n) for n in names if n.endswith(".vml"))
        # The note's shape names its cell's row counted from 0: A8 is row 7.
        c.equal("note shape rows", re.findall(rb"Row>(\d+)<", shapes), [b"7"])
        c.equal("calcChain part", [n for n in names if "calcChain" in n], [])
        c.equal("calcChain content type", b"calcChain" in package.read("[Content_Types].xml"), False)

    wb = openpyxl.load_workbook(path)
    ws = wb["Records"]
    c.equal("full calculation on load", bool(wb.calculation.fullCalcOnLoad), True)
    c.equal("records rows", ws.max_row, RECORDS)
    c.equal("row 5 after delete", [ws.cell(5, col).value for col in (1, 2, 3)], ["id5", "N5", 50])
    c.equal("label formula of the moved row", ws["D5"].value, '=B5&" "&C5')
    c.equal("sum on the records sheet", ws["F1"].value, "=SUM($C$2:$C$10)")
    c.equal("hyperlinks", sorted(cell.coordinate for row in ws.iter_rows() for cell in row if cell.hyperlink),
            ["A3", "A8"])
    c.equal("conditional formats", sorted(str(r.sqref) for r in ws.conditional_formatting),
            ["A2:D10", "C2:C10"])
    c.equal("conditional format formula",
            [rule.formula for r in ws.conditional_formatting if str(r.sqref) == "A2:D10" for rule in r.rules],
            [["$C2>80"]])
    c.equal("data validations", sorted(str(dv.sqref) for dv in ws.data_validations.dataValidation), ["C2:C10"])
    table = ws.tables["RecordTable"]
    c.equal("table ref", table.ref, "A1:D10")
    c.equal("table autofilter", table.autoFilter.ref if table.autoFilter else None, "A1:D10")
    c.equal("merged cells", sorted(str(m) for m in ws.merged_cells.ranges), ["F6:G7"])
    c.equal("comment moved", ws["A8"].comment.text if ws["A8"].comment else None, "eighth record")
    c.equal("no comment left behind", ws["A9"].comment is None, True)
    c.equal("defined name", defined.get("Amounts"), "Records!$C$2:$C$10")
    c.equal("print area", defined.get("_xlnm.Print_Area", "").replace("'", ""), "Records!$A$1:$D$10")
    summary = wb["Summary"]
    # LibreOffice writes the constant FALSE as the function FALSE().
    c.equal("summary formulas", [summary.cell(r, 2).value.replace("FALSE()", "FALSE") for r in range(1, 10)], [
        "=SUM(Records!C2:C10)", "=COUNTA(Records!A2:A10)", '=VLOOKUP("id7",Records!$A$2:$D$10,3,FALSE)',
        '=INDEX(Records!$B$2:$B$10,MATCH("id9",Records!$A$2:$A$10,0))', "=Records!C7", "=Records!#REF!",
        "=SUM(Amounts)", '="Records!C5"', "=SUM(Records!C:C)"])

    outdir = os.path.join(workdir, "recalculated")
    libreoffice_convert(path, "csv:Text - txt - csv (StarCalc):44,34,76,1,,0,false,true,false,false,false,-1", outdir)
    base = os.path.join(outdir, os.path.splitext(os.path.basename(path))[0])
    with open(base + "-Summary.csv", newline="") as f:
        values = [row[1] for row in csv.reader(f)]
    # The reference to the deleted record is an error either way: LibreOffice reads the "Records!#REF!"
    # that the application writes as an unknown name.
    if values[5] == "#NAME?":
        values[5] = "#REF!"
    c.equal("recalculated summary", values, ["510", "9", "70", "N9", "70", "#REF!", "510", "Records!C5", "510"])
    with open(base + "-Records.csv", newline="") as f:
        records = list(csv.reader(f))
    c.equal("recalculated label", records[4][3], "N5 50")
    c.equal("recalculated records sum", records[0][5], "510")

    for failure in c.failures:
        print(failure)
    return 1 if c.failures else 0


if __name__ == "__main__":
    if sys.argv[1] == "build":
        build(sys.argv[2], "--resave-with-libreoffice" in sys.argv, "--shared-formulas" in sys.argv)
        sys.exit(0)
    sys.exit(check(sys.argv[2], sys.argv[3]))

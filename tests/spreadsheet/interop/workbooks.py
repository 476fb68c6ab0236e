# Third-party workbooks for the interop test, and the checks of what the engine made of them.
#
#     workbooks.py make FOLDER [--without-libreoffice]
#         writes openpyxl.xlsx, xlsxwriter.xlsx and records.xlsx; and unless told otherwise, with LibreOffice,
#         records-resaved.xlsx (the records resaved) and from-csv.xlsx
#     workbooks.py check FOLDER
#         reads the engine's deleted-records*.xlsx (record row 5, id4, deleted) with openpyxl, lets
#         LibreOffice recalculate and convert them, new.xlsx and from-csv-resaved.xlsx to CSV,
#         prints one line per failed expectation and exits 1 when there was any

import csv
import datetime
import glob
import os
import re
import subprocess
import sys
import zipfile

import openpyxl
import xlsxwriter
from openpyxl.workbook.defined_name import DefinedName

CSV_ALL_SHEETS = "csv:Text - txt - csv (StarCalc):44,34,76,1,,0,false,true,false,false,false,-1"


def libreoffice(folder, target, files, outdir, options=()):
    # Converts `files` in one run, with a private profile that recalculates every formula on load.
    user = os.path.join(folder, "profile", "user")
    os.makedirs(user, exist_ok=True)
    with open(os.path.join(user, "registrymodifications.xcu"), "w") as f:
        f.write('<?xml version="1.0" encoding="UTF-8"?>\n<oor:items xmlns:oor="http://openoffice.org/2001/registry"'
                ' xmlns:xs="http://www.w3.org/2001/XMLSchema" xmlns:xsi="http://www.w3.org/2001/XMLSchema-instance">'
                '<item oor:path="/org.openoffice.Office.Calc/Formula/Load"><prop oor:name="OOXMLRecalcMode" '
                'oor:op="fuse"><value>0</value></prop></item></oor:items>\n')
    # The profile must be named by an absolute URL: a relative one leaves LibreOffice waiting until the timeout.
    profile = os.path.abspath(os.path.join(folder, "profile"))
    subprocess.run(["soffice", "--headless", f"-env:UserInstallation=file://{profile}", *options, "--convert-to",
                    target, "--outdir", outdir, *files], check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                   timeout=300)


def make_openpyxl(path):
    book = openpyxl.Workbook()
    sheet = book.active
    sheet.title = "Items"
    sheet.append(["ID", "TYPE", "TEXT", "Vorname", "Nachname"])
    sheet.append(["{A}", "contact", "first row", "Anna", "Äpfel"])
    sheet.append(["{B}", "contact", "  spaced  ", "Bernd", "Ölberg"])
    sheet.append(["{C}", 42, 0.1, True, datetime.datetime(2026, 12, 5, 14, 30, 0)])
    sheet.append(["{D}", "=1+1", datetime.date(2024, 2, 29), -7.25, "line\nbreak"])
    other = book.create_sheet("Other")
    other["A1"] = "kept"
    other["B2"] = 3.5
    book.save(path)


def make_xlsxwriter(path):
    book = xlsxwriter.Workbook(path)
    sheet = book.add_worksheet("Daten")
    bold = book.add_format({"bold": True})
    sheet.write_string(0, 0, "ID", bold)
    sheet.write_string(1, 0, "{X}")
    sheet.write_rich_string(1, 1, "plain ", bold, "bold", " tail")
    sheet.write_number(2, 0, 1234567.5)
    sheet.write_datetime(2, 1, datetime.datetime(2026, 1, 31), book.add_format({"num_format": "dd/mm/yyyy"}))
    sheet.write_datetime(2, 2, datetime.datetime(2026, 1, 31, 8, 5, 9),
                         book.add_format({"num_format": "yyyy-mm-dd hh:mm:ss"}))
    sheet.write_formula(3, 0, "=2*21", None, 42)
    sheet.write_boolean(3, 1, False)
    sheet.merge_range("D1:E2", "merged", bold)
    book.add_worksheet("Leer")
    book.close()


def make_records(path):
    # Records id1..id10 in rows 2-11 of "Records" and "Summary" that sums, counts and looks them up. How
    # the sheet's items (links, formats, validations, tables, merges, notes) move is RowDeletionTest's.
    book = openpyxl.Workbook()
    ws = book.active
    ws.title = "Records"
    ws.append(["ID", "Name", "Amount", "Label"])
    for i in range(1, 11):
        ws.append([f"id{i}", f"N{i}", i * 10, f'=B{i + 1}&" "&C{i + 1}'])
    ws["F1"] = "=SUM($C$2:$C$11)"
    book.defined_names.append(DefinedName("Amounts", attr_text="Records!$C$2:$C$11"))
    summary = book.create_sheet("Summary")
    for formula in ["=SUM(Records!C2:C11)", "=COUNTA(Records!A2:A11)", '=VLOOKUP("id7",Records!$A$2:$D$11,3,FALSE)',
                    '=INDEX(Records!$B$2:$B$11,MATCH("id9",Records!$A$2:$A$11,0))', "=Records!C8", "=Records!C5",
                    "=SUM(Amounts)", '="Records!C5"', "=SUM(Records!C:C)"]:
        summary.append([None, formula])
    book.save(path)


def make(folder, with_libreoffice=True):
    make_openpyxl(os.path.join(folder, "openpyxl.xlsx"))
    make_xlsxwriter(os.path.join(folder, "xlsxwriter.xlsx"))
    make_records(os.path.join(folder, "records.xlsx"))
    if not with_libreoffice:
        return
    sources = os.path.join(folder, "for-libreoffice")
    os.makedirs(sources)
    make_records(os.path.join(sources, "records-resaved.xlsx"))
    with open(os.path.join(sources, "from-csv.csv"), "w", encoding="utf-8") as f:
        f.write('ID,TEXT,Number\n{L1},"comma, inside",12.5\n{L2},Ünïcödé,-3\n')
    # The filter options read CSV as UTF-8 with commas and quotes; other formats ignore them.
    libreoffice(folder, "xlsx", glob.glob(sources + "/*"), folder, ["--infilter=CSV:44,34,76"])


FAILURES = []


def equal(what, actual, expected):
    if actual != expected:
        FAILURES.append(f"{what}: got {actual!r}, expected {expected!r}")


def check_records(path):
    # The deleted record's row is gone and formulas that pointed at rows below it moved up; the formulas of
    # "Summary" are checked by their values in LibreOffice.
    name = os.path.basename(path)
    with zipfile.ZipFile(path) as package:
        equal(f"{name}: calcChain", [n for n in package.namelist() if "calcChain" in n]
                + re.findall(rb"calcChain", package.read("[Content_Types].xml")), [])
    book = openpyxl.load_workbook(path)
    ws = book["Records"]
    equal(f"{name}: records", (bool(book.calculation.fullCalcOnLoad), ws.max_row, ws["A5"].value, ws["C5"].value,
                                 ws["D5"].value, ws["F1"].value), (True, 10, "id5", 50, '=B5&" "&C5', "=SUM($C$2:$C$10)"))


def check(folder):
    for path in sorted(glob.glob(os.path.join(folder, "deleted-*.xlsx"))):
        check_records(path)
    saved = ["new.xlsx", "from-csv-resaved.xlsx", "deleted-records.xlsx",
             "deleted-records-resaved.xlsx"]
    csvs = os.path.join(folder, "csv")
    libreoffice(folder, CSV_ALL_SHEETS, [os.path.join(folder, name) for name in saved], csvs)

    def rows(name):
        with open(os.path.join(csvs, name), newline="", encoding="utf-8") as f:
            return list(csv.reader(f))
    equal("LibreOffice: new", rows("new-Tabelle1.csv"), [["ID", "TYPE", "TEXT", "Vorname", "Nachname"],
                                                           ["{NEW}", "", "", "", ""]])
    equal("LibreOffice: from CSV", rows("from-csv-resaved-from-csv.csv")[1:], [
        ["{L1}", "comma, inside", "12.5"], ["{L2}", "Ünïcödé", "-3"], ["{L3}", "", ""]])
    for name in ("records", "records-resaved"):
        # The reference to the deleted record is an error either way: LibreOffice reads the
        # "Records!#REF!" that the application writes as an unknown name.
        values = [row[1].replace("#NAME?", "#REF!") for row in rows(f"deleted-{name}-Summary.csv")]
        equal(f"LibreOffice: {name} summary", values, ["510", "9", "70", "N9", "70", "#REF!", "510", "Records!C5",
                                                         "510"])
        records = rows(f"deleted-{name}-Records.csv")
        equal(f"LibreOffice: {name} label and sum", (records[4][3], records[0][5]), ("N5 50", "510"))
    print(*FAILURES, sep="\n")
    return 1 if FAILURES else 0


if __name__ == "__main__":
    if sys.argv[1] == "make":
        sys.exit(make(sys.argv[2], "--without-libreoffice" not in sys.argv[3:]))
    sys.exit(check(sys.argv[2]))

"""Writes a workbook with xlsxwriter: shared strings, rich text, dates, a formula with its cached result."""
import datetime
import sys

import xlsxwriter

book = xlsxwriter.Workbook(sys.argv[1])
sheet = book.add_worksheet("Daten")
bold = book.add_format({"bold": True})
date = book.add_format({"num_format": "dd/mm/yyyy"})
stamp = book.add_format({"num_format": "yyyy-mm-dd hh:mm:ss"})
sheet.write_string(0, 0, "ID", bold)
sheet.write_string(0, 1, "TEXT")
sheet.write_string(1, 0, "{X}")
sheet.write_rich_string(1, 1, "plain ", bold, "bold", " tail")
sheet.write_number(2, 0, 1234567.5)
sheet.write_datetime(2, 1, datetime.datetime(2026, 1, 31), date)
sheet.write_datetime(2, 2, datetime.datetime(2026, 1, 31, 8, 5, 9), stamp)
sheet.write_formula(3, 0, "=2*21", None, 42)
sheet.write_boolean(3, 1, False)
sheet.write_string(4, 0, "tab\there")
sheet.merge_range("D1:E2", "merged", bold)
book.add_worksheet("Leer")
book.close()

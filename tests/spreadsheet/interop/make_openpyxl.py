"""Writes a workbook with openpyxl: two sheets, styles, merged ranges, numbers, dates and formulas."""
import datetime
import sys

import openpyxl
from openpyxl.styles import Font, PatternFill

book = openpyxl.Workbook()
sheet = book.active
sheet.title = "Items"
sheet.append(["ID", "TYPE", "TEXT", "Vorname", "Nachname"])
sheet.append(["{A}", "contact", "first row", "Anna", "Äpfel"])
sheet.append(["{B}", "contact", "  spaced  ", "Bernd", "Ölberg"])
sheet.append(["{C}", 42, 0.1, True, datetime.datetime(2026, 12, 5, 14, 30, 0)])
sheet.append(["{D}", "=1+1", datetime.date(2024, 2, 29), -7.25, "line\nbreak"])
sheet["A1"].font = Font(bold=True)
sheet["B1"].fill = PatternFill("solid", fgColor="FFFF00")
sheet.merge_cells("G2:H3")
sheet.merge_cells("G6:H7")
sheet.row_dimensions[4].height = 33
other = book.create_sheet("Other")
other["A1"] = "kept"
other["B2"] = 3.5
book.save(sys.argv[1])

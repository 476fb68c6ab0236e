"""Prints what openpyxl reads from a workbook, one fact a line, texts as UTF-8 hex:
sheet NAMEHEX / cell NAMEHEX COORD VALUEHEX / merge NAMEHEX RANGE / format NAMEHEX COORD FORMATHEX / bold NAMEHEX COORD."""
import sys

import openpyxl


def hexed(text):
    return str(text).encode("utf-8").hex() or "-"


book = openpyxl.load_workbook(sys.argv[1])
for sheet in book.worksheets:
    name = hexed(sheet.title)
    print("sheet", name)
    for row in sheet.iter_rows():
        for cell in row:
            if cell.value is not None:
                print("cell", name, cell.coordinate, hexed(cell.value))
            if cell.has_style and cell.number_format != "General":
                print("format", name, cell.coordinate, hexed(cell.number_format))
            if cell.has_style and cell.font is not None and cell.font.b:
                print("bold", name, cell.coordinate)
    for merged in sheet.merged_cells.ranges:
        print("merge", name, merged.coord)
    for index, dimension in sheet.row_dimensions.items():
        if dimension.height is not None:
            print("height", name, index, dimension.height)

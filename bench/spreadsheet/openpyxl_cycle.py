"""The engine's benchmark cycle done with openpyxl, for comparison: open the workbook,
format every cell of the first sheet as text, write 1,000 cells, save.
Usage: openpyxl_cycle.py WORKBOOK ROWS"""
import resource
import sys
import time

import openpyxl

path, rows = sys.argv[1], int(sys.argv[2])
columns = 12
start = time.perf_counter()
book = openpyxl.load_workbook(path)
sheet = book.worksheets[0]
opened = time.perf_counter()
for row in sheet.iter_rows(min_row=1, max_row=rows, max_col=columns):
    for cell in row:
        cell.number_format = "@"
formatted = time.perf_counter()
for i in range(1000):
    sheet.cell(row=2 + (i * 97) % (rows - 1), column=1 + i % columns, value="written %d" % i)
written = time.perf_counter()
book.save(path + ".openpyxl.xlsx")
saved = time.perf_counter()
peak = resource.getrusage(resource.RUSAGE_SELF).ru_maxrss // 1024
print("openpyxl open %.3f s, format %.3f s, write %.3f s, save %.3f s" %
      (opened - start, formatted - opened, written - formatted, saved - written))
print("RESULT cycle_seconds=%.3f peak_mib=%d" % (saved - start, peak))

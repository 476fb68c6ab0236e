"""The command-line job done with openpyxl, for comparison with zentora-excel.
set: open the store, index the IDs in column A, give every record cell the text format, change one
field, save. get: open the store read-only, find the record, print one field. list: open the store
read-only and print every record's cells, a line each.
Usage: openpyxl_job.py set|get|list WORKBOOK ID COLUMN [VALUE]
Prints "RESULT seconds=S peak_mib=M"."""
import resource
import sys
import time

import openpyxl

command, path, record_id, column = sys.argv[1:5]
column = int(column)
start = time.perf_counter()
if command == "set":
    book = openpyxl.load_workbook(path)
    sheet = book.worksheets[0]
    rows = {}
    for row in sheet.iter_rows(min_row=2):
        rows[str(row[0].value).casefold()] = row[0].row
        for cell in row:
            cell.number_format = "@"
    sheet.cell(row=rows[record_id.casefold()], column=column, value=sys.argv[5])
    book.save(path)
elif command == "list":
    book = openpyxl.load_workbook(path, read_only=True)
    for row in book.worksheets[0].iter_rows(values_only=True):
        sys.stdout.write("  ".join("" if value is None else str(value) for value in row) + "\n")
    book.close()
else:
    book = openpyxl.load_workbook(path, read_only=True)
    for row in book.worksheets[0].iter_rows(min_row=2, values_only=True):
        if str(row[0]).casefold() == record_id.casefold():
            print(row[column - 1])
            break
    book.close()
seconds = time.perf_counter() - start
peak = resource.getrusage(resource.RUSAGE_SELF).ru_maxrss // 1024
print("RESULT seconds=%.3f peak_mib=%d" % (seconds, peak))

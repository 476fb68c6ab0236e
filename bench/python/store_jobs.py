"""The same jobs on one address book of ROWS records, done with the zentora_excel module and with
openpyxl back to back, each job in its own process so that its peak memory is its own:

  change  open the workbook, change one field of the record in the middle, save
  read    open the workbook, read one field of that record

openpyxl reads with read_only=True where it only reads, which is its fast path.
Usage: store_jobs.py [--rows N] [--module-dir DIR] [--folder DIR]
(the module is looked for in DIR, by default build/default/src/Python of this repository)."""
import argparse
import json
import os
import resource
import shutil
import subprocess
import sys
import time

HEADINGS = ["ID", "TYPE", "TEXT", "Vorname", "Nachname", "Straße", "PLZ", "Ort", "Telefon", "E-Mail"]


def make_book(path, rows):
    """A workbook as a spreadsheet program writes it (shared strings), with one record per row."""
    import xlsxwriter
    book = xlsxwriter.Workbook(path)
    sheet = book.add_worksheet("Adressen")
    sheet.write_row(0, 0, HEADINGS)
    for row in range(1, rows + 1):
        sheet.write_row(row, 0, [f"K{row:06d}", "contact", f"Person {row}", f"Vorname {row % 977}",
                                 f"Nachname {row}", f"Straße {row % 389}", f"{10000 + row % 89999}",
                                 f"Ort {row % 211}", f"0{row:09d}", f"person{row}@example.de"])
    book.close()


def zentora_job(job, path, record):
    store = zentora_excel.open(path)
    item = store[record]
    value = item["Ort"]
    if job == "change":
        item["Ort"] = "Bonn"
        store.close()
    else:
        store.discard()
    return value


def openpyxl_job(job, path, record):
    book = openpyxl.load_workbook(path, read_only=job == "read")
    sheet = book.worksheets[0]
    column = HEADINGS.index("Ort")
    for row in sheet.iter_rows(min_row=2):
        if row[0].value == record:
            value = row[column].value
            if job == "change":
                row[column].value = "Bonn"
            break
    if job == "change":
        book.save(path)
    book.close()
    return value


def run_one(tool, job, path, record):
    """Runs one job in this process and prints its figures as JSON; importing is not timed."""
    global zentora_excel, openpyxl
    if tool == "zentora_excel":
        import zentora_excel
    else:
        import openpyxl
    start = time.perf_counter()
    value = (zentora_job if tool == "zentora_excel" else openpyxl_job)(job, path, record)
    seconds = time.perf_counter() - start
    peak_mib = resource.getrusage(resource.RUSAGE_SELF).ru_maxrss / 1024
    print(json.dumps({"seconds": seconds, "peak_mib": peak_mib, "value": value}))


def measure(tool, job, book, copy, record, environment):
    shutil.copyfile(book, copy)
    done = subprocess.run([sys.executable, __file__, "--run", tool, job, copy, record], env=environment,
                          check=True, capture_output=True, text=True)
    return json.loads(done.stdout)


def main():
    repository = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
    parser = argparse.ArgumentParser(description=__doc__,
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--rows", type=int, default=100000)
    parser.add_argument("--module-dir", default=os.path.join(repository, "build", "default", "src", "Python"))
    parser.add_argument("--folder", default="/tmp")
    parser.add_argument("--run", nargs=4, help=argparse.SUPPRESS)
    parser.add_argument("--make", help=argparse.SUPPRESS)
    arguments = parser.parse_args()
    if arguments.run:
        run_one(*arguments.run)
        return
    if arguments.make:
        make_book(arguments.make, arguments.rows)
        return
    environment = dict(os.environ, PYTHONPATH=arguments.module_dir)
    book = os.path.join(arguments.folder, f"zentora-store-jobs-{arguments.rows}.xlsx")
    copy = book.replace(".xlsx", "-run.xlsx")
    record = f"K{arguments.rows // 2:06d}"
    started = time.perf_counter()
    # Made in a process of its own: a child starts with its parent's peak memory as its own.
    subprocess.run([sys.executable, __file__, "--make", book, "--rows", str(arguments.rows)], check=True)
    # Opened once as a store, as a workbook in use is: its identifiers and text format are in place.
    subprocess.run([sys.executable, "-c", f"import zentora_excel; zentora_excel.open({book!r}).close()"],
                   env=environment, check=True)
    print(f"{arguments.rows:,} records of {len(HEADINGS)} columns, "
          f"{os.path.getsize(book) / 2**20:.1f} MiB, made in {time.perf_counter() - started:.1f} s")
    print(f"{'job':8} {'zentora_excel':>22} {'openpyxl':>22}   openpyxl / zentora_excel")
    for job in ("change", "read"):
        ours = measure("zentora_excel", job, book, copy, record, environment)
        theirs = measure("openpyxl", job, book, copy, record, environment)
        if ours["value"] != theirs["value"]:
            sys.exit(f"the tools read different values: {ours['value']!r} and {theirs['value']!r}")
        print(f"{job:8} {ours['seconds']:9.2f} s {ours['peak_mib']:6.0f} MiB "
              f"{theirs['seconds']:9.2f} s {theirs['peak_mib']:6.0f} MiB   "
              f"{theirs['seconds'] / ours['seconds']:.1f}x time, "
              f"{theirs['peak_mib'] / ours['peak_mib']:.1f}x memory")
        print(f"RESULT {job}_seconds={ours['seconds']:.3f} "
              f"{job}_peak_mib={ours['peak_mib']:.0f} "
              f"openpyxl_{job}_seconds={theirs['seconds']:.3f} openpyxl_{job}_peak_mib={theirs['peak_mib']:.0f}")
    os.remove(copy)


if __name__ == "__main__":
    main()

# The Python module on workbooks written by openpyxl: reading, every kind of change and its
# notification, saving on a normal exit and discarding on an exception, and the failures.
import gc
import os
import subprocess
import threading

import openpyxl
import pytest
import zentora_excel

ROWS = [["ID", "TYPE", "TEXT", "KEYWORDS", "Ort"], ["K01", "contact", "Anna Berg", "a,b", "Köln"],
        ["K02", "contact", "Jörg Weiß", "", "München"], ["K03", "note", "Liste", "x", "Bonn"]]


@pytest.fixture
def book(tmp_path):
    sheet_book = openpyxl.Workbook()
    for row in ROWS:
        sheet_book.active.append(row)
    sheet_book.save(tmp_path / "Adressbuch.xlsx")
    return tmp_path / "Adressbuch.xlsx"


def test_items_read_in_row_order_and_print_as_text_forms(book):
    with zentora_excel.open(book) as store:
        assert [(item.id, item.type, item.text) for item in store] == [tuple(row[:3]) for row in ROWS[1:]]
        item = store["k01"]
        assert (len(store), item["Ort"], "Ort" in item, "Land" in item, list(item), item.evalall) == (
            3, "Köln", True, False, ["Ort"], -1)
        assert (list(item.keywords), item.keywords[-1], "b" in item.keywords) == (["a", "b"], "b", True)
        for failing in (lambda: item["Land"], lambda: store["K99"], lambda: store.__delitem__("K99")):
            pytest.raises(KeyError, failing)
        assert str(item).startswith("ID=K01|") and "|DataOrt=Köln" in str(item), str(item)
    with pytest.raises(zentora_excel.Error) as refused:
        item.text
    assert refused.value.code == zentora_excel.Error.NOT_OPEN


def test_changes_are_notified_and_saved_on_a_normal_exit(book):
    heard = []
    with zentora_excel.open(book) as store:
        store.on_change(lambda code, text, item: heard.append((code, text, item.id if item else None)))
        store["K02"].text = "Jörg Weiß-Schulz"
        store["K02"]["Ort"] = "Bonn"
        store["K02"].keywords.append("neu")
        store["K01"].keywords.remove("a")
        store["K03"].keywords = ["p", "q"]
        added = store.new(type="contact", text="Ida Roth", Ort="Essen", PLZ=45127).id
        del store["K01"]
        store.paste("ID=K07|Type=note|Text=Eingefügt|DataOrt=Ulm")
        pytest.raises(ValueError, store["K02"].keywords.remove, "fehlt")
    assert heard[:4] == [(3, "Jörg Weiß-Schulz", "K02"), (7, "", "K02"), (8, "neu", "K02"), (9, "a", "K01")]
    assert (38, "", "K01") in heard and any(code == 37 for code, _, _ in heard)
    rows = [[cell or "" for cell in row] for row in openpyxl.load_workbook(book).active.values]
    assert [row[:6] for row in rows] == [
        ROWS[0] + ["PLZ"], ["K02", "contact", "Jörg Weiß-Schulz", "neu", "Bonn", ""],
        ["K03", "note", "Liste", "p,q", "Bonn", ""], [added, "contact", "Ida Roth", "", "Essen", "45127"],
        ["K07", "note", "Eingefügt", "", "Ulm", ""]]


def test_abandoned_stores_in_use_and_damaged_files_leave_the_file_as_it_was(book):
    before = book.read_bytes()
    with pytest.raises(RuntimeError), zentora_excel.open(book) as store:
        store["K01"].text = "geändert"
        raise RuntimeError("abandon")
    store = zentora_excel.open(book)
    store["K01"].text = "vergessen"
    with pytest.warns(ResourceWarning, match="never closed"):
        del store
        gc.collect()
    assert book.read_bytes() == before
    # A workbook in use is refused, naming its holder.
    with zentora_excel.open(book):
        with pytest.raises(zentora_excel.Error, match="in use") as refused:
            zentora_excel.open(book, wait=0)
        assert refused.value.code == zentora_excel.Error.IN_USE
        cli = subprocess.run([os.environ["ZENTORA_CLI"], "--wait", "0", "list", book],
                             capture_output=True, text=True)
        assert cli.returncode == 1 and "in use" in cli.stderr
    # A damaged file raises the module's error and stays as it was.
    damaged = b"PK\3\4" + b"\0" * 200
    book.write_bytes(damaged)
    with pytest.raises(zentora_excel.Error, match="Adressbuch.xlsx") as refused:
        zentora_excel.open(book)
    assert refused.value.code == zentora_excel.Error.SPREADSHEET and book.read_bytes() == damaged


def test_a_store_being_saved_by_one_thread_refuses_the_others(book):
    with zentora_excel.open(book) as store:
        for n in range(20000):
            store.new(text=f"Eintrag {n}")
        started, refused = threading.Event(), []
        saver = threading.Thread(target=lambda: (started.set(), store.save()))
        saver.start()
        started.wait()
        while saver.is_alive() and not refused:
            try:
                len(store)
            except zentora_excel.Error as error:
                refused.append(error.code)
        saver.join()
        assert refused == [zentora_excel.Error.NOT_OPEN] and len(store) == 20003

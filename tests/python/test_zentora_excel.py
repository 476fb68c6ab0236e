# The Python module on workbooks written by openpyxl: reading, every kind of change and its
# notification, saving on a normal exit and discarding on an exception, and the failures.
import os
import subprocess
import zipfile

import openpyxl
import pytest
import zentora_excel

ROWS = [["ID", "TYPE", "TEXT", "KEYWORDS", "Ort"],
        ["K01", "contact", "Anna Berg", "a,b", "Köln"],
        ["K02", "contact", "Jörg Weiß", "", "München"],
        ["K03", "note", "Liste", "x", "Bonn"]]


@pytest.fixture
def book(tmp_path):
    sheet_book = openpyxl.Workbook()
    for row in ROWS:
        sheet_book.active.append(row)
    path = tmp_path / "Adressbuch.xlsx"
    sheet_book.save(path)
    return path


def cells(path):
    return [[cell or "" for cell in row] for row in openpyxl.load_workbook(path).active.iter_rows(values_only=True)]


def test_items_read_in_row_order_with_fields_data_and_keywords(book):
    with zentora_excel.open(book) as store:
        assert len(store) == 3
        assert [(item.id, item.type, item.text) for item in store] == [tuple(row[:3]) for row in ROWS[1:]]
        item = store["k01"]
        assert (item["Ort"], "Ort" in item, "Land" in item, list(item)) == ("Köln", True, False, ["Ort"])
        assert (list(item.keywords), len(item.keywords), item.keywords[-1], "b" in item.keywords) == (
            ["a", "b"], 2, "b", True)
        assert (item.evalall, item.get("Land", "-")) == (-1, "-")
        with pytest.raises(KeyError):
            item["Land"]
        with pytest.raises(AttributeError):
            item.evalall = 3


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
        with pytest.raises(ValueError):
            store["K02"].keywords.remove("fehlt")
    assert heard[:4] == [(3, "Jörg Weiß-Schulz", "K02"), (7, "", "K02"), (8, "neu", "K02"), (9, "a", "K01")]
    assert (38, "", "K01") in heard and any(code == 37 for code, _, _ in heard)
    rows = cells(book)
    assert rows[0][:6] == ROWS[0] + ["PLZ"]
    assert [row[:5] for row in rows[1:]] == [
        ["K02", "contact", "Jörg Weiß-Schulz", "neu", "Bonn"], ["K03", "note", "Liste", "p,q", "Bonn"],
        [added, "contact", "Ida Roth", "", "Essen"], ["K07", "note", "Eingefügt", "", "Ulm"]]
    assert rows[3][5] == "45127"


def test_an_exception_in_the_block_leaves_the_file_as_it_was(book):
    before = book.read_bytes()
    with pytest.raises(RuntimeError), zentora_excel.open(book) as store:
        store["K01"].text = "geändert"
        raise RuntimeError("abandon")
    assert book.read_bytes() == before


def test_the_text_form_carries_an_item_into_another_store(book, tmp_path):
    with zentora_excel.open(book) as store:
        form = str(store["K01"])
    with zentora_excel.open(tmp_path / "Ziel.xlsx") as target:
        copy = target.paste(form)
        assert (copy.id, copy.text, copy["Ort"], list(copy.keywords)) == ("K01", "Anna Berg", "Köln", ["a", "b"])


@pytest.mark.parametrize("action", [lambda store: store["K99"], lambda store: store.__delitem__("K99")])
def test_an_unknown_id_raises_key_error(book, action):
    with zentora_excel.open(book) as store, pytest.raises(KeyError, match="K99"):
        action(store)


def test_a_workbook_in_use_is_refused_naming_its_holder(book):
    with zentora_excel.open(book) as store:
        with pytest.raises(zentora_excel.Error, match="in use") as refused:
            zentora_excel.open(book, wait=0)
        assert refused.value.code == zentora_excel.Error.IN_USE
        cli = subprocess.run([os.environ["ZENTORA_CLI"], "--wait", "0", "list", str(book)],
                             capture_output=True, text=True)
        assert cli.returncode == 1 and "in use" in cli.stderr
        assert len(store) == 3


def entity_bomb(path):
    with zipfile.ZipFile(path) as source:
        parts = {name: source.read(name) for name in source.namelist()}
    laughs = "".join(f'<!ENTITY l{n} "{"&l%d;" % (n - 1) * 10 if n else "lol"}">' for n in range(9))
    parts["xl/worksheets/sheet1.xml"] = f'<?xml version="1.0"?><!DOCTYPE w [{laughs}]><w>&l8;</w>'.encode()
    with zipfile.ZipFile(path, "w") as target:
        for name, data in parts.items():
            target.writestr(name, data)


@pytest.mark.parametrize("spoil", [entity_bomb, lambda path: path.write_bytes(b"PK\3\4" + b"\0" * 200)])
def test_a_hostile_file_raises_error_and_stays_unchanged(book, spoil):
    spoil(book)
    before = book.read_bytes()
    with pytest.raises(zentora_excel.Error, match="Adressbuch.xlsx") as refused:
        zentora_excel.open(book)
    assert refused.value.code == zentora_excel.Error.SPREADSHEET and book.read_bytes() == before


def test_a_closed_store_refuses_further_use(book):
    store = zentora_excel.open(book)
    item = store["K01"]
    store.close()
    with pytest.raises(zentora_excel.Error) as refused:
        item.text
    assert refused.value.code == zentora_excel.Error.NOT_OPEN and store.closed

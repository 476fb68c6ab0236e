#!/usr/bin/python3
"""Writes Adressbuch.xlsx: the bundled example store, a small address book
with German headings, one contact per row, all cells text."""
import datetime
import pathlib

import openpyxl

HEADINGS = ["ID", "TYPE", "TEXT", "Vorname", "Nachname", "Straße", "PLZ", "Ort", "Telefon", "E-Mail"]

CONTACTS = [
    ("k01", "Anna", "Müller", "Schloßstraße 12", "50667", "Köln", "0221 4711", "anna.mueller@example.de"),
    ("k02", "Jörg", "Weiß", "Hauptstraße 5", "80331", "München", "089 123456", "joerg.weiss@example.de"),
    ("k03", "Zoë", "Schäfer", "Am Rübenacker 3", "35390", "Gießen", "0641 98765", "zoe.schaefer@example.de"),
    ("k04", "Björn", "Öztürk", "Königsallee 80", "40212", "Düsseldorf", "0211 55501", "bjoern.oeztuerk@example.de"),
    ("k05", "Lüder", "Hoß", "Fährstraße 1", "20457", "Hamburg", "040 3003", "lueder.hoss@example.de"),
    ("k06", "Märta", "Kühn", "Brückenweg 7", "01067", "Dresden", "0351 7777", "maerta.kuehn@example.de"),
    ("k07", "Günther", "Groß", "Übersee-Allee 22", "28195", "Bremen", "0421 2020", "guenther.gross@example.de"),
    ("k08", "Sören", "Bäcker", "Mühlgasse 9", "90403", "Nürnberg", "0911 4242", "soeren.baecker@example.de"),
    ("k09", "Françoise", "Löwe", "Straße des 17. Juni 100", "10623", "Berlin", "030 1717", "francoise.loewe@example.de"),
    ("k10", "Ægidius", "Strauß", "Äußere Laufer Gasse 4", "90403", "Nürnberg", "0911 8080", "aegidius.strauss@example.de"),
]


def main() -> None:
    workbook = openpyxl.Workbook()
    sheet = workbook.active
    sheet.title = "Adressen"
    sheet.append(HEADINGS)
    for ident, first, last, street, postcode, town, phone, mail in CONTACTS:
        sheet.append([ident, "contact", f"{first} {last}", first, last, street, postcode, town, phone, mail])
    for row in sheet.iter_rows(min_row=2):
        for cell in row:
            cell.number_format = "@"
    for column, width in zip("ABCDEFGHIJ", (6, 10, 20, 12, 12, 26, 8, 12, 14, 30)):
        sheet.column_dimensions[column].width = width
    fixed = datetime.datetime(2024, 3, 5, 10, 0, 0)
    workbook.properties.creator = "ZentoraExcel"
    workbook.properties.created = fixed
    workbook.properties.modified = fixed
    workbook.save(pathlib.Path(__file__).with_name("Adressbuch.xlsx"))


if __name__ == "__main__":
    main()

"""Keeps the records of a store in an .xlsx workbook: one row per item, headings in row 1.

    with zentora_excel.open("Adressbuch.xlsx") as store:   # saved when the block ends,
        store["K02"]["Ort"] = "Bonn"                         # discarded when it raises
"""

import os
from typing import Callable, Iterable, Iterator, Optional, Union

class Error(Exception):
    """A failure of the store; the message names the file, row, column or key."""

    code: int
    INVALID_ARGUMENT: int
    OVERFLOW: int
    OUT_OF_RANGE: int
    TYPE_MISMATCH: int
    IN_USE: int
    """The workbook is held by another program or process (the message names it)."""
    READ_ONLY: int
    NOT_OPEN: int
    """The store is closed, or another thread is saving it."""
    DUPLICATE_KEY: int
    SPREADSHEET: int
    """The workbook could not be read or written (corrupt, hostile, not a workbook)."""
    CHANGED_ON_DISK: int

class Keywords:
    """The item's keywords in their stored order; reads and changes go to the item's cell."""

    def __len__(self) -> int: ...
    def __iter__(self) -> Iterator[str]: ...
    def __getitem__(self, index: int) -> str: ...
    def __contains__(self, word: str) -> bool: ...
    def __eq__(self, other: object) -> bool: ...
    def append(self, word: str) -> bool:
        """Adds `word` (blanks around it trimmed); False when it is there already or empty."""
    def remove(self, word: str) -> None:
        """Removes every entry equal to `word` (letter case counts); ValueError when there is none."""

class Item:
    """One record: a row of the store's sheet. Fixed fields are attributes, data fields a mapping
    by heading (`item["Ort"]`); `str(item)` is the item's one-line text form."""

    id: str
    type: str
    text: str
    datum: str
    log: str
    owner: str
    access: str
    source: str
    @property
    def eval(self) -> str: ...
    @property
    def evalcount(self) -> int: ...
    @property
    def filesize(self) -> float: ...
    @property
    def evalall(self) -> int:
        """The overall rating; -1 for none."""
    @property
    def keywords(self) -> Keywords: ...
    @keywords.setter
    def keywords(self, words: Union[str, Iterable[str]]) -> None:
        """A list of words, or one text whose entries are separated by "," or "/"."""
    def __getitem__(self, heading: str) -> str:
        """The data field's text; KeyError when the sheet has no such heading."""
    def __setitem__(self, heading: str, value: str) -> None:
        """Writes the data field; a heading the sheet lacks gets a new column."""
    def __contains__(self, heading: str) -> bool: ...
    def __len__(self) -> int: ...
    def __iter__(self) -> Iterator[str]: ...
    def keys(self) -> list[str]: ...
    def get(self, key: str, default: Optional[str] = None) -> Optional[str]: ...

class Store:
    """An opened store. As a context manager it saves and closes when the block ends normally,
    and closes without saving when the block raises. Outside a `with` block, call close();
    a store that is garbage-collected while open is discarded with a ResourceWarning."""

    @property
    def path(self) -> str: ...
    @property
    def closed(self) -> bool: ...
    def __enter__(self) -> "Store": ...
    def __exit__(self, *exc: object) -> bool: ...
    def __len__(self) -> int: ...
    def __iter__(self) -> Iterator[Item]:
        """The items in row order."""
    def __getitem__(self, id: str) -> Item:
        """The item with this ID (any letter case); KeyError when there is none."""
    def __contains__(self, id: str) -> bool: ...
    def __delitem__(self, id: str) -> None:
        """Deletes the item's row; the rows below move up. KeyError when there is no such ID."""
    def new(self, *, type: Optional[str] = None, text: Optional[str] = None, **data: object) -> Item:
        """Adds an item with a new ID in a new row at the end; data values are written as str()."""
    def paste(self, form: str) -> Item:
        """Makes a text form an item: the row of its ID when present, else a new row."""
    def on_change(self, callback: Optional[Callable[[int, str, Optional[Item]], None]]) -> object:
        """Calls `callback(code, text, item)` for each change notification (None stops them);
        returns `callback`, so it serves as a decorator."""
    def save(self) -> None:
        """Writes the workbook now; Error when the change did not reach the file."""
    def close(self) -> None:
        """Saves and closes; nothing when closed already."""
    def discard(self) -> None:
        """Closes without saving; the file stays as last saved."""

def open(path: Union[str, os.PathLike[str]], *, wait: Optional[float] = None) -> Store:
    """Opens the workbook at `path` as a store, creating it with the default headings when it is
    missing. `wait` is how many seconds to wait for a workbook another program or process holds
    (the engine's default when None); then Error with code IN_USE naming the holder."""

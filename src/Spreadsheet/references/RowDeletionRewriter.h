// Keeps a whole workbook consistent when rows are deleted from one of its sheets, the way the
// spreadsheet application does: formulas on every sheet (shared and array formulas included),
// defined names with print areas and titles, chart series and pivot cache sources, and on the sheet
// itself hyperlinks, conditional formats, data validations, the autofilter, page breaks, tables,
// notes and drawing anchors move or shrink with the rows; items that lay wholly in the deleted rows
// go. Parts it does not change stay as stored.
#pragma once

#include "../workbook/Workbook.h"

namespace zentora::spreadsheet {

// Installs the rewriting as `workbook`'s rowsDeleted hook (replacing any earlier one), so that every
// later Worksheet::DeleteRows on any of its sheets keeps the workbook consistent. Shared formulas
// of the sheets loaded so far are expanded in memory, so that a group keeps its text when the rows
// holding its first cell go; nothing is written until the workbook is saved. When a delete finds
// formulas anywhere, the workbook is marked for full recalculation on load.
void KeepReferencesOnRowDeletion(Workbook& workbook);

}  // namespace zentora::spreadsheet

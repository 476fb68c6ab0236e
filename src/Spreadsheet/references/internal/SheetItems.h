// The items of a worksheet that point at its rows, outside its cells: hyperlinks, conditional
// formats, data validations (also those in the extension list), the autofilter and manual page
// breaks among its fragments; tables, notes (with their VML shapes), threaded comments and drawing
// anchors in related parts. Moved up, shrunk or removed after rows were deleted.
#pragma once

#include <cstddef>

#include "../../formula/ReferenceShift.h"
#include "../../workbook/Workbook.h"

namespace zentora::spreadsheet::detail {

// Rewrites the items of sheet `sheetIndex` (loaded, rows already deleted) for `deletion`; fragments
// that changed make the sheet changed, related parts that changed are replaced in the workbook.
// Fragments and parts that are no well-formed XML are left as they are.
void RewriteSheetItems(Workbook& workbook, std::size_t sheetIndex, const RowDeletion& deletion,
                       const SheetOrder& sheets);

}  // namespace zentora::spreadsheet::detail

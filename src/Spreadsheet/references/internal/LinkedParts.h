// Parts outside the worksheets that point at cells by sheet name: chart series and labels (<c:f>)
// and the source ranges of pivot caches. They follow deleted rows like formulas do.
#pragma once

#include <string>
#include <vector>

#include "../../formula/ReferenceShift.h"
#include "../../workbook/Workbook.h"

namespace zentora::spreadsheet::detail {

// The chart and pivot cache definition parts among `partNames`, in the same order.
std::vector<std::string> LinkedPartNames(const std::vector<std::string>& partNames);

// Rewrites the references in `parts` (from LinkedPartNames) for `deletion`; changed parts are
// replaced in the workbook, parts that are no well-formed XML are left as they are.
void RewriteLinkedParts(Workbook& workbook, const std::vector<std::string>& parts,
                        const RowDeletion& deletion, const SheetOrder& sheets);

}  // namespace zentora::spreadsheet::detail

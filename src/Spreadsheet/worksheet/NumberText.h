// Numbers as the text a careful user expects to see: integers without a
// fraction, other numbers with at most 15 significant digits (the
// application's precision, so no float noise), dates as "dd.mm.yyyy" with
// " hh:mm:ss" when the value has a time of day, and times as "hh:mm:ss".
#pragma once

#include <string>

#include "../workbook/Styles.h"

namespace zentora::spreadsheet {

// The number in general form: "42", "-0.5", "0.3", "1.5E+20".
std::string GeneralNumberText(double value);
// The number shown through a format of kind `kind`; dates count from 1900 (with the application's
// 29.02.1900) or from 1904 when `date1904`. Numbers outside the date range fall back to general form.
std::string NumberText(double value, NumberKind kind, bool date1904);

}  // namespace zentora::spreadsheet

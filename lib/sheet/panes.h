// Frozen panes of a worksheet: the `pane` of its first sheet view and the selections that go with it,
// written the way spreadsheet applications write them. The setter keeps to the failure rule
// (lib/base/status.h).
#pragma once

#include <cstdint>

#include "lib/base/status.h"
#include "lib/sheet/worksheet.h"

// Freezes the first columns columns and rows rows (0 and 0 unfreeze: the pane and the selections of the
// other panes go). XLSX_ERR_INVALID_ARG for a null worksheet, a part without root, or so many columns
// or rows that no cell would stay unfrozen (nothing changed); XLSX_ERR_NO_MEMORY.
xlsx_status xlsx_sheet_freeze(XlsxWorksheet* sheet, uint32_t columns, uint32_t rows);
// The frozen columns and rows of the first sheet view into *columns and *rows: 0 and 0 when the sheet
// has no frozen pane (none, a split that is not frozen, or null). Outputs may be null.
void xlsx_sheet_frozen(XlsxWorksheet* sheet, uint32_t* columns, uint32_t* rows);

// The filter of a worksheet (`autoFilter` `ref`) and the hidden defined name that spreadsheet
// applications keep beside it (`_xlnm._FilterDatabase`, local to the sheet, naming the same cells).
// Both change together; the name then follows renames, moves and deletions of its sheet as every
// sheet-local defined name does (lib/sheet/workbook.h). The setters keep to the failure rule
// (lib/base/status.h).
#pragma once

#include <cstdint>

#include "lib/base/status.h"
#include "lib/sheet/cell_area.h"
#include "lib/sheet/worksheet.h"

// Puts the filter on area: the `autoFilter` (its column criteria dropped when the area changes) and the
// defined name. XLSX_ERR_INVALID_ARG for null arguments or a part without root; XLSX_ERR_INTERNAL for a
// worksheet without workbook; XLSX_ERR_NO_MEMORY.
xlsx_status xlsx_sheet_set_autofilter(XlsxWorksheet* sheet, const XlsxCellArea* area);
// Removes the filter and its defined name (nothing there: XLSX_OK). Statuses as above.
xlsx_status xlsx_sheet_clear_autofilter(XlsxWorksheet* sheet);
// The filter's `ref` as the file holds it; "" when the sheet has none or for null. Borrowed from the
// tree: valid until the filter changes.
const char* xlsx_sheet_autofilter_ref(XlsxWorksheet* sheet);

// The `dimension` element of a worksheet: the rectangle its cells occupy. Readers such as streaming
// readers trust it to size the sheet, so a changed worksheet gets it refreshed before it is saved.
#pragma once

#include "lib/base/status.h"

struct XlsxPart;

// Sets `ref` of the worksheet's existing `dimension` element to the rectangle spanned by its cells
// ("A1" for a sheet without cells); adds no element when there is none. XLSX_OK for a null part or a
// part without a tree; XLSX_ERR_NO_MEMORY when the attribute cannot be written (the old value stays).
xlsx_status xlsx_sheet_update_dimension(XlsxPart* part);

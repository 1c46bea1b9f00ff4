// Hyperlinks of a worksheet's cells (`hyperlinks`/`hyperlink`): links to web and mail addresses and other
// outside targets go through a relationship of the sheet's own relationships part with an external
// target; links to places in the workbook ("Sheet2!A1", a defined name) are kept in the element's
// `location` and need no relationship. Links other programs wrote on areas ("A1:B3") are read for every
// cell of the area. The setters keep to the failure rule (lib/base/status.h).
#pragma once

#include <cstdint>

#include "lib/base/status.h"
#include "lib/sheet/worksheet.h"

// One cell's link, borrowed from the trees: valid until the sheet's links change. Texts are never null.
struct XlsxHyperlink {
  const char* target;    // the external target, or ""
  const char* location;  // the place in the workbook (or within the target), or ""
  const char* tooltip;   // or ""
};

// Whether target names something outside the workbook: it starts with a scheme ("https:", "mailto:",
// "file:"); false for null.
bool xlsx_hyperlink_is_external(const char* target);
// Links the cell (row, column) to target, replacing the links that held the cell: an external target
// as a relationship, any other text as the location (a leading "#" dropped). tooltip may be null or "".
// XLSX_ERR_INVALID_ARG for a null worksheet, an invalid cell, an empty target or a part without root;
// XLSX_ERR_NO_MEMORY.
xlsx_status xlsx_sheet_set_hyperlink(XlsxWorksheet* sheet, uint32_t row, uint32_t column, const char* target,
                                     const char* tooltip);
// The link that holds the cell into out; false (out filled with "") when there is none or for null.
bool xlsx_sheet_hyperlink(XlsxWorksheet* sheet, uint32_t row, uint32_t column, XlsxHyperlink* out);
// Removes the links that hold the cell, with their relationships when no other link uses them; the
// `hyperlinks` element goes with its last link. Nothing there: XLSX_OK. XLSX_ERR_INVALID_ARG for a null
// worksheet or a part without root; XLSX_ERR_NO_MEMORY.
xlsx_status xlsx_sheet_clear_hyperlink(XlsxWorksheet* sheet, uint32_t row, uint32_t column);

// Per-worksheet view settings kept outside the cells: whether the sheet's tab is selected (`tabSelected`
// of its first `sheetView`) and the colour of its tab (`sheetPr`/`tabColor`). The setters keep to the
// failure rule (lib/base/status.h).
#pragma once

#include <cstdint>

#include "lib/base/status.h"
#include "lib/sheet/worksheet.h"

// Alpha, red, green, blue. The default colour is opaque black, "ff000000".
struct XlsxColor {
  uint8_t alpha;
  uint8_t red;
  uint8_t green;
  uint8_t blue;
};

// The first `sheetView` of the worksheet root; with create, made (with `workbookViewId` 0, in a
// `sheetViews` at its place) when missing. Null for a null root, or when none exists and create is false
// or memory ran out (nothing made then).
XmlNode* xlsx_sheet_view_element(XmlNode* root, bool create);
// Whether the first `sheetView` element has a true `tabSelected`; false when absent or for null.
bool xlsx_sheet_is_selected(XlsxWorksheet* sheet);
// Writes `tabSelected` "1" or "0" on the first `sheetView`, adding the attribute (and, to select, the view
// itself) when missing. XLSX_ERR_INVALID_ARG for null or a part without root; XLSX_ERR_NO_MEMORY.
xlsx_status xlsx_sheet_set_selected(XlsxWorksheet* sheet, uint32_t selected);
// The tab colour into out; the default colour when the sheet has none (a malformed text stops where it
// went wrong). XLSX_ERR_INVALID_ARG for null arguments.
xlsx_status xlsx_sheet_tab_color(XlsxWorksheet* sheet, XlsxColor* out);
// Writes the colour (null: the default) as `tabColor` `rgb`, the element's other attributes removed;
// `sheetPr` and `tabColor` are created as first children when missing. XLSX_ERR_INVALID_ARG for a null
// worksheet or a part without root; XLSX_ERR_NO_MEMORY.
xlsx_status xlsx_sheet_set_tab_color(XlsxWorksheet* sheet, const XlsxColor* color);
// Parses 6 (red, green, blue; alpha kept) or 8 (alpha first) hexadecimal digits. XLSX_ERR_INVALID_ARG
// for null arguments, another length or a non-digit (fields before the bad pair are already stored).
xlsx_status xlsx_color_from_text(const char* text, XlsxColor* out);
// Eight lower-case hexadecimal digits, alpha first, into buffer (at least 9 bytes); null colour gives
// "ff000000". Returns buffer.
char* xlsx_color_to_text(const XlsxColor* color, char* buffer);
// Whether the sheet's tab has a colour given as red, green and blue (`tabColor` with `rgb`); false for
// null, no colour, or one given another way (theme, index).
bool xlsx_sheet_has_tab_color(XlsxWorksheet* sheet);
// 0xRRGGBB of the tab colour as applications show it, whichever way the file gives it (red-green-blue,
// a palette entry, a theme colour, with a tint); XLSX_STYLE_NO_COLOR when the tab has none, for null, and
// when the workbook's styles or theme cannot be loaded for want of memory.
int32_t xlsx_sheet_tab_color_shown(XlsxWorksheet* sheet);
// Removes `tabColor`, and `sheetPr` when nothing else is left in it. XLSX_ERR_INVALID_ARG for a null
// worksheet or a part without root; XLSX_ERR_NO_MEMORY.
xlsx_status xlsx_sheet_clear_tab_color(XlsxWorksheet* sheet);

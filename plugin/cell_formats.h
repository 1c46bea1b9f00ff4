// Cell formats for the formatting commands: the document's styles, the cells a command names (one cell,
// a position handle, or every cell of a range text such as "A1:D1"), dates in the workbook's date system,
// and the script constants of the formatting commands. Statuses are the library's; handlers choose the
// registered message.
#pragma once

#include <cstdint>

#include "lib/sheet/styles.h"
#include "plugin/access.h"

// Script constants (the font style and border side flags are the library's XLSX_FONT_ and XLSX_SIDE_).
enum : int32_t { XLSX_KEEP = XLSX_STYLE_KEEP, XLSX_COLOR_NONE = XLSX_STYLE_NO_COLOR };
enum : int32_t {
  XLSX_BORDER_NONE,
  XLSX_BORDER_THIN,
  XLSX_BORDER_MEDIUM,
  XLSX_BORDER_DASHED,
  XLSX_BORDER_DOTTED,
  XLSX_BORDER_THICK,
  XLSX_BORDER_DOUBLE,
  XLSX_BORDER_HAIR,
  XLSX_BORDER_MEDIUMDASHED,
  XLSX_BORDER_DASHDOT,
  XLSX_BORDER_MEDIUMDASHDOT,
  XLSX_BORDER_DASHDOTDOT,
  XLSX_BORDER_MEDIUMDASHDOTDOT,
  XLSX_BORDER_SLANTDASHDOT,
};
enum : int32_t {
  XLSX_ALIGN_GENERAL,
  XLSX_ALIGN_LEFT,
  XLSX_ALIGN_CENTER,
  XLSX_ALIGN_RIGHT,
  XLSX_ALIGN_FILL,
  XLSX_ALIGN_JUSTIFY,
  XLSX_ALIGN_CENTERCONTINUOUS,
  XLSX_ALIGN_DISTRIBUTED,
};
enum : int32_t { XLSX_VALIGN_TOP, XLSX_VALIGN_CENTER, XLSX_VALIGN_BOTTOM, XLSX_VALIGN_JUSTIFY, XLSX_VALIGN_DISTRIBUTED };
static_assert(XLSX_BORDER_SLANTDASHDOT + 1 == XLSX_BORDER_STYLE_COUNT && XLSX_ALIGN_DISTRIBUTED + 1 == XLSX_HALIGN_COUNT &&
              XLSX_VALIGN_DISTRIBUTED + 1 == XLSX_VALIGN_COUNT && XLSX_VALIGN_BOTTOM == XLSX_VERTICAL_DEFAULT);

// How a cell looks, for the getters: the styles to read with (null: the document has none, every cell
// reads as the default format) and the cell's format index.
struct CellFormat {
  XlsxStyles* styles;
  uint32_t xf;
};
// The format of the cell args names (a single cell).
xlsx_status ReadCellFormat(SheetCall* call, const CellArgs* args, CellFormat* out);
// Makes change to every cell args names; a range is changed as a whole or not at all.
// A document without a styles part gets one; XLSX_ERR_UNSUPPORTED when its styles part cannot be read.
// XLSX_ERR_NOT_FOUND when the document has no styles part.
xlsx_status ChangeCellFormat(SheetCall* call, const CellArgs* args, const XlsxStyleChange* change);
// Whether the workbook of the call counts dates from 1904.
bool CallDate1904(SheetCall* call);
// Stores serial on every cell args names, giving each the format code unless its format shows dates.
xlsx_status StoreCellDate(SheetCall* call, const CellArgs* args, double serial, const char* code);
// The date text (XLSX_DATE_TEXT_SIZE bytes) of the cell's value into text; *has false for a cell whose
// value is no number in the range of dates.
xlsx_status ReadCellDate(SheetCall* call, const CellArgs* args, char* text, bool* has);
// Gives every cell `to` names the format of the cell `from` names.
xlsx_status CopyCellFormat(SheetCall* call, const CellArgs* from, const CellArgs* to);

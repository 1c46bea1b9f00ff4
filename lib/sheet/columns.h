// Column widths and hidden states (`cols`/`col`: ranges stay ranges until a column of one is asked for) and
// row heights and hidden states (attributes of `row`). Column lookups go through an index of the `col`
// elements attached to the worksheet part, so they do not walk `cols` per call. The setters keep to the
// failure rule (lib/base/status.h).
#pragma once

#include <cstdint>

#include "lib/base/status.h"
#include "lib/sheet/worksheet.h"

// Handle to one `col` element; copied by value, owns nothing. Valid while the element exists.
struct XlsxColumn {
  XmlNode* element;       // null for an invalid handle
  XlsxSheetIndex* index;  // the sheet's index, kept in step with edits made through the handle
};

// The `col` element of column (1..16384) alone. The element that decides a column is the first one
// covering it (later overlapping elements are ignored, as spreadsheet applications read them); when it
// covers a range, the columns before and after column get copies of it in its place. Created when no
// element covers column (min = max = column, width 9.8, customWidth 0; `cols` is created before sheetData
// when missing). XLSX_ERR_INVALID_ARG for null arguments or a column out of range; XLSX_ERR_NO_MEMORY with
// nothing changed.
xlsx_status xlsx_sheet_column(XlsxWorksheet* sheet, uint32_t column, XlsxColumn* out);
// The sizes the format allows: column widths 0 to 255 characters, row heights 0 to 409 points.
constexpr float XLSX_MAX_COLUMN_WIDTH = 255.0f;
constexpr float XLSX_MAX_ROW_HEIGHT = 409.0f;
// Writes `width` ("%.9g") and customWidth 1. XLSX_ERR_INVALID_ARG for an invalid handle or a width
// outside 0 to XLSX_MAX_COLUMN_WIDTH (NaN included); XLSX_ERR_NO_MEMORY.
xlsx_status xlsx_column_set_width(const XlsxColumn* column, float width);
// The width in single precision; 0 when absent or for an invalid handle.
float xlsx_column_width(const XlsxColumn* column);
// Writes `hidden` 1 (nonzero flag) or 0. XLSX_ERR_INVALID_ARG for an invalid handle; XLSX_ERR_NO_MEMORY.
xlsx_status xlsx_column_set_hidden(const XlsxColumn* column, uint32_t hidden);
// Whether `hidden` is true; false when absent or for an invalid handle.
bool xlsx_column_is_hidden(const XlsxColumn* column);

// Writes `ht` ("%.9g") and customHeight 1. XLSX_ERR_INVALID_ARG for an invalid handle or a height
// outside 0 to XLSX_MAX_ROW_HEIGHT (NaN included); XLSX_ERR_NO_MEMORY.
xlsx_status xlsx_row_set_height(const XlsxRow* row, float height);
// The `ht` value; 15.0 when absent or for an invalid handle.
double xlsx_row_height(const XlsxRow* row);
// Writes `hidden` 1 (nonzero flag) or 0. XLSX_ERR_INVALID_ARG for an invalid handle; XLSX_ERR_NO_MEMORY.
xlsx_status xlsx_row_set_hidden(const XlsxRow* row, uint32_t hidden);
// Whether `hidden` is true; false when absent or for an invalid handle.
bool xlsx_row_is_hidden(const XlsxRow* row);

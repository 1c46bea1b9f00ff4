// The cell store of a worksheet: rows and cells found or created in ascending order in `sheetData`,
// the row and column counts, and rectangular range walks. The XML tree of the worksheet part is the only
// store of the data; a row index and cursor attached to the part (lib/sheet/sheet_index.h) make a
// lookup next to the previous one O(1), random lookups O(log rows) and appends past the end O(1).
#pragma once

#include <cstdint>

#include "lib/base/status.h"
#include "lib/sheet/cellref.h"
#include "lib/xml/tree.h"

struct XlsxPart;
struct XlsxSharedStrings;
struct XlsxSheetIndex;
struct XlsxWorkbook;

// One worksheet of an open document. Filled by the workbook's lookups; borrows everything.
struct XlsxWorksheet {
  XlsxPart* part;          // the worksheet part
  XlsxWorkbook* workbook;  // the workbook the sheet belongs to (its shared strings, its sheet list)
  XlsxSheetIndex* index;   // the part's row index; null until first use (found through the part)
};

// Handle to one `c` element; copied by value, owns nothing. Valid while the element exists.
struct XlsxCell {
  XmlNode* element;                 // null for an invalid handle
  XlsxSharedStrings* shared_strings;
  XlsxSheetIndex* index;            // the sheet's index, kept in step with edits made through the handle
};

// Handle to one `row` element (attributes: lib/sheet/columns.h).
struct XlsxRow {
  XmlNode* element;
  XlsxSharedStrings* shared_strings;
  XlsxSheetIndex* index;
};

// A rectangle from first to last (both inclusive, first <= last after xlsx_range_init), walked row by row.
struct XlsxCellRange {
  XmlNode* sheet_data;
  XlsxCellRef first;
  XlsxCellRef last;
  XlsxSharedStrings* shared_strings;
  XlsxWorksheet sheet;
};

struct XlsxCellIterator {
  XlsxCellRange range;
  uint32_t at_end;
  XlsxCell cell;
  uint32_t row;     // position of the current cell
  uint32_t column;
};

// How string values are written: 0 in the shared strings table (the default), nonzero inline (t="inlineStr", the text in is/t).
// Process-wide, read at every write.
void xlsx_set_shared_strings_mode(uint32_t mode);
uint32_t xlsx_shared_strings_mode();

// Cell at (row, column), creating the row and the cell when missing. XLSX_ERR_INVALID_ARG for a null
// worksheet or out, an invalid pair (nothing created) or a worksheet without sheetData; XLSX_ERR_NO_MEMORY
// with the tree unchanged. On failure *out is an invalid handle.
xlsx_status xlsx_sheet_cell(XlsxWorksheet* sheet, uint32_t row, uint32_t column, XlsxCell* out);
// Like xlsx_sheet_cell but never creates: XLSX_ERR_NOT_FOUND (invalid handle) when the cell is absent.
xlsx_status xlsx_sheet_find_cell(XlsxWorksheet* sheet, uint32_t row, uint32_t column, XlsxCell* out);
// Cell named by an A1 reference text (lower-case letters accepted); XLSX_ERR_INVALID_ARG for a text that
// names no valid cell.
xlsx_status xlsx_sheet_cell_by_ref(XlsxWorksheet* sheet, const char* ref, XlsxCell* out);
// Row element for row (1..1048576), created when missing. XLSX_ERR_INVALID_ARG for null arguments, a row
// out of range or no sheetData; XLSX_ERR_NO_MEMORY with nothing changed.
xlsx_status xlsx_sheet_row(XlsxWorksheet* sheet, uint32_t row, XlsxRow* out);
// Number of the last row element; 0 for an empty sheet, a null worksheet or no sheetData.
uint32_t xlsx_sheet_row_count(XlsxWorksheet* sheet);
// Highest column of a row's last cell, at least 1 (also for a null worksheet).
uint32_t xlsx_sheet_column_count(XlsxWorksheet* sheet);

// The cell's position from its `r` attribute. XLSX_ERR_INTERNAL for an invalid cell or null out;
// XLSX_ERR_INVALID_ARG (ref "A1") when `r` is missing or names no valid cell.
xlsx_status xlsx_cell_ref(const XlsxCell* cell, XlsxCellRef* out);

// Range over the worksheet from first to last; reversed corners are swapped (per axis) so first is the
// top-left cell. XLSX_ERR_INVALID_ARG for null arguments or corners that are not valid cells.
xlsx_status xlsx_range_init(XlsxWorksheet* sheet, const XlsxCellRef* first, const XlsxCellRef* last,
                            XlsxCellRange* out);
// Positions on the range's first cell (created when missing). XLSX_ERR_INVALID_ARG for null arguments;
// on any failure the iterator is at its end.
xlsx_status xlsx_iter_begin(XlsxCellIterator* iter, const XlsxCellRange* range);
// True when the walk is over, the current cell is invalid, or iter is null.
bool xlsx_iter_at_end(const XlsxCellIterator* iter);
// Moves to the next cell in reading order, creating it when missing; after the last cell (or on a
// failure) the iterator is at its end. Null or finished iterators are ignored.
void xlsx_iter_next(XlsxCellIterator* iter);
// The current cell (an invalid handle at the end or for null). Valid while the element exists.
XlsxCell xlsx_iter_cell(const XlsxCellIterator* iter);

// Rectangular areas of cells as sheet-level records name them ("A1:C3", a single "B2"): read from text,
// written as text, compared. Corners are read by the one reference reader (lib/sheet/cellref.h).
#pragma once

#include <cstdint>

// A rectangle of cells, both corners inclusive, first <= last on each axis. A plain value record.
struct XlsxCellArea {
  uint32_t first_row, first_column;
  uint32_t last_row, last_column;
};

enum : uint32_t {
  XLSX_AREA_TEXT_SIZE = 32,  // "$XFD$1048576:$XFD$1048576" and the terminator fit
};

// Reads "A1:C3" or "B2" (each corner optionally with "$" before its letters and digits; reversed
// corners are put in order) into out. False, out untouched, for null arguments or a text that names no
// area (an invalid corner, more than one colon, anything else).
bool xlsx_area_read(const char* text, XlsxCellArea* out);
// Writes the area as "A1:C3", or "B2" for a single cell, with "$" before every part when absolute, into
// buffer (XLSX_AREA_TEXT_SIZE bytes); returns buffer. A null area writes "".
char* xlsx_area_format(const XlsxCellArea* area, bool absolute, char* buffer);
// Whether the two areas share a cell; false when either is null.
bool xlsx_area_overlaps(const XlsxCellArea* a, const XlsxCellArea* b);
// Whether the area holds the cell (row, column); false for null.
bool xlsx_area_contains(const XlsxCellArea* area, uint32_t row, uint32_t column);

// Cell references: a cell's 1-based row and column numbers together with its "A1" text, the limits of a
// worksheet, and the conversions between column numbers and letters.
//
// Reference texts are read strictly: ASCII column letters (either case, at most three, at most "XFD"),
// then the row digits (at most seven, at most 1048576). Blanks may stand between the letters and the
// digits and after the digits; anything else makes the text name no cell. Numbers never wrap onto
// another cell.
#pragma once

#include <cstdint>

#include "lib/base/status.h"

enum : uint32_t {
  XLSX_CELLREF_MAX_ROW = 1048576u,   // 0x100000
  XLSX_CELLREF_MAX_COLUMN = 16384u,  // "XFD"
  XLSX_CELLREF_TEXT_SIZE = 24,       // 23 characters and the terminator
};

// A plain value record; copy it freely, it owns nothing.
struct XlsxCellRef {
  uint32_t row;     // 1..1048576
  uint16_t column;  // 1..16384
  char text[XLSX_CELLREF_TEXT_SIZE];
};

// True when 1 <= row <= 1048576 and 1 <= column <= 16384.
inline bool xlsx_cellref_is_valid(uint32_t row, uint32_t column) {
  return row >= 1 && row <= XLSX_CELLREF_MAX_ROW && column >= 1 && column <= XLSX_CELLREF_MAX_COLUMN;
}
// Writes the letters of column ("A", "XFD") into buffer (at least 4 bytes) and returns buffer; an
// out-of-range column writes the empty text. Null buffer gives null.
char* xlsx_column_to_letters(uint32_t column, char* buffer);
// Column number of a text made only of 1 to 3 ASCII letters (lower case = upper case); 0 for a null or
// empty text, any other character, more than three letters or a column above 16384.
uint16_t xlsx_letters_to_column(const char* text);
// Whether text is a reference text naming a valid cell (the rule above). The row and the column go to
// the outputs that are given: the cell's when true, 0 otherwise. The one reader of reference texts: cell
// `r` attributes, script arguments and every other reference are read with it.
bool xlsx_cellref_read(const char* text, uint32_t* row, uint32_t* column);
// Column of the cell a reference text names (a cell's `r`); 0 when it names none (also for null).
// Inline, as every cell lookup reads columns: the form writers produce (letters, then digits, nothing
// else) is read here, any other text by xlsx_cellref_read, so that both follow the one rule.
inline uint32_t xlsx_cellref_column_of(const char* text) {
  if (!text) return 0;
  // One or two letters, then one to six digits without a leading zero: a cell within the sheet whatever
  // they are.
  const char* p = text;
  uint32_t v = static_cast<uint8_t>((static_cast<uint8_t>(*p) | 0x20u) - 'a');
  uint32_t column = v + 1;
  if (v < 26 && (v = static_cast<uint8_t>((static_cast<uint8_t>(*++p) | 0x20u) - 'a')) < 26) {
    column = column * 26 + v + 1;
    p++;
  }
  if (p != text && column <= 26 * 27 && *p >= '1' && *p <= '9') {
    const char* digits = p;
    while (static_cast<uint32_t>(*++p - '0') < 10) {
    }
    if (*p == '\0' && p - digits <= 6) return column;
  }
  column = 0;
  xlsx_cellref_read(text, nullptr, &column);
  return column;
}
// Number of the row a row's `r` text names: decimal digits (at most seven, 1..1048576), blanks allowed
// before and after them; 0 for anything else (also for null).
uint32_t xlsx_cellref_row_of(const char* text);
// Writes the reference text of (row, column) ("B7") and its terminator into buffer (at least
// XLSX_CELLREF_TEXT_SIZE bytes) and returns its length; an invalid pair writes "" and returns 0.
uint32_t xlsx_cellref_format(uint32_t row, uint32_t column, char* buffer);

// Sets the default reference: row 1, column 1, "A1". Null ref is ignored.
void xlsx_cellref_init(XlsxCellRef* ref);
// Sets both numbers and rebuilds the text; XLSX_ERR_INVALID_ARG (ref unchanged) for an invalid pair or null ref.
xlsx_status xlsx_cellref_set(XlsxCellRef* ref, uint32_t row, uint32_t column);
// Sets the row, validated with the ref's current column; as xlsx_cellref_set otherwise.
xlsx_status xlsx_cellref_set_row(XlsxCellRef* ref, uint32_t row);
// Sets the column, validated with the ref's current row; as xlsx_cellref_set otherwise.
xlsx_status xlsx_cellref_set_column(XlsxCellRef* ref, uint32_t column);
// Sets the position named by text and keeps the text as given (cut to 23 characters); a null or empty
// text gives "A1". XLSX_ERR_INVALID_ARG when the text names no valid cell (ref reset to "A1") or ref is null.
xlsx_status xlsx_cellref_set_text(XlsxCellRef* ref, const char* text);
// Row number; 0 for a null ref.
uint32_t xlsx_cellref_row(const XlsxCellRef* ref);
// Column number; 0 for a null ref.
uint32_t xlsx_cellref_column(const XlsxCellRef* ref);
// The reference text, lent by ref and valid until ref changes; "" for a null ref.
const char* xlsx_cellref_text(const XlsxCellRef* ref);
// True when rows and columns are equal (the texts are not compared); two null refs are equal, one is not.
bool xlsx_cellref_equal(const XlsxCellRef* a, const XlsxCellRef* b);
// -1, 0 or 1 in row-major order; a null ref sorts first (two null refs compare 0).
int xlsx_cellref_compare(const XlsxCellRef* a, const XlsxCellRef* b);

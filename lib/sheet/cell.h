// Values and formulas of one cell in every XML form: the `t` attribute and the `v`, `is` and `f`
// children of a `c` element. Cells are found with lib/sheet/worksheet.h. The setters keep to the failure
// rule (lib/base/status.h): the cell, and the shared strings table, stay as they were on failure.
#pragma once

#include <cstdint>

#include "lib/base/status.h"
#include "lib/sheet/value.h"
#include "lib/sheet/worksheet.h"

// Reads the cell's value into out (which must be initialised). A cell without `v` (or with an empty one)
// reads as empty; a number text with a point or an exponent reads as a float, a text that is no number
// by the format's rules (0x10, 1,5) as that text; a shared-string position that is no whole number in
// the table as ""; texts split over several nodes read whole and their _xHHHH_ escapes decoded; a formula
// cell without a cached value reads as empty. XLSX_ERR_INTERNAL for an invalid cell or null out;
// XLSX_ERR_NO_MEMORY leaves out unchanged.
xlsx_status xlsx_cell_get_value(const XlsxCell* cell, XlsxCellValue* out);
// As xlsx_cell_get_value, but the text of a string or error value (out->type says which) is lent in *text
// rather than copied into out, whose text stays as it was: borrowed from the sheet's tree or the shared
// strings table, valid until either changes. *text is null for the other kinds, and for texts that had
// to be joined or decoded (rich-text runs, texts split over nodes, escapes), which go into out->text as
// usual. An empty cell reads as XLSX_VALUE_EMPTY without text.
xlsx_status xlsx_cell_peek_value(const XlsxCell* cell, XlsxCellValue* out, const char** text);
// Writes the value (strings go to the shared strings table or inline, see xlsx_shared_strings_mode, with
// the characters XML cannot carry escaped); the formula stays. XLSX_ERR_INVALID_ARG for an invalid cell or
// null value; XLSX_ERR_NO_MEMORY.
xlsx_status xlsx_cell_set_value(const XlsxCell* cell, const XlsxCellValue* value);
// Removes the value and its type (`t`, `xml:space`, `v`, `is`); the formula and the style stay.
// XLSX_ERR_INVALID_ARG for an invalid cell; XLSX_ERR_NO_MEMORY.
xlsx_status xlsx_cell_clear_value(const XlsxCell* cell);
// Whether the cell has an `f` child; false for an invalid cell.
bool xlsx_cell_has_formula(const XlsxCell* cell);
// The formula the cell shows ("" when there is none) into out: its own text, or for a cell of a shared
// formula group the group's formula moved to the cell (lib/sheet/shared_formula.h); the first cell of an
// array formula gives its text, the others have no formula. XLSX_ERR_INTERNAL for an invalid cell or null
// out; XLSX_ERR_NO_MEMORY.
xlsx_status xlsx_cell_get_formula(const XlsxCell* cell, XlsxText* out);
// Whether a formula text can be stored: XML cannot carry control characters other than tab and line
// feed, and a carriage return would read back as a line feed. True for null.
bool xlsx_formula_text_valid(const char* formula);
// Stores the formula (null = "", a leading "=" dropped) as an ordinary formula without a cached value:
// `v`, `is`, the cell's `t` and `xml:space` are removed so that spreadsheet applications compute it on
// opening. When the cell starts a shared group, the other cells of the group keep their formulas.
// XLSX_ERR_INVALID_ARG for an invalid cell or a formula with a control character other than tab and line
// feed; XLSX_ERR_NO_MEMORY.
xlsx_status xlsx_cell_set_formula(const XlsxCell* cell, const char* formula);
// Removes the `f` child (the other cells of a shared group it starts keep their formulas); a cached value
// stays as a constant. XLSX_ERR_INVALID_ARG for an invalid cell; XLSX_ERR_NO_MEMORY.
xlsx_status xlsx_cell_clear_formula(const XlsxCell* cell);

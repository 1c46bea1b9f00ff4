// Moving the references of a formula, as a formula copied to another cell changes: the relative parts
// of its A1 references (a column or a row written without "$") move by a number of rows and columns;
// absolute parts, texts in quotes, function names, defined names, sheet names, table
// references and error literals stay. A reference moved off the sheet becomes #REF!.
#pragma once

#include <cstdint>

#include "lib/base/status.h"
#include "lib/base/strbuf.h"

// Appends formula (null counts as "") with its references moved by rows and columns to out. Cells (A1,
// $A$1), ranges (A1:B2), whole columns (A:C) and whole rows (1:3) move, with or without a sheet prefix
// (Sheet1!A1, 'My Sheet'!A1). XLSX_ERR_NO_MEMORY when out cannot grow (its content is then unspecified).
xlsx_status xlsx_formula_move(const char* formula, int64_t rows, int64_t columns, StrBuf* out);

// Shared and array formulas. A shared formula group (t="shared", numbered by si) keeps the formula text
// in its first cell only, with the group's range in `ref`; every other cell of the group has the first
// cell's formula with its relative references moved by the cell's offset (lib/sheet/formula_move.h). An
// array formula (t="array") keeps its text in its first cell; the other cells of its range hold values.
#pragma once

#include "lib/base/status.h"
#include "lib/base/strbuf.h"
#include "lib/sheet/worksheet.h"

// Appends the formula the cell shows to out: the text of its `f` (f, a child of the cell), or for a
// cell of a shared group without a text of its own, the group's formula moved to the cell ("" when the
// group has no first cell). XLSX_ERR_NO_MEMORY.
xlsx_status xlsx_shared_formula_text(const XlsxCell* cell, const XmlNode* f, StrBuf* out);
// Before the formula of the cell is changed or removed: when it is the first cell of a shared group,
// every other cell of the group gets its own formula, as an ordinary formula, so that none loses it.
// Changes the tree: call inside a journaled edit. False when memory ran out.
bool xlsx_shared_formula_detach(const XlsxCell* cell, XmlNode* f);

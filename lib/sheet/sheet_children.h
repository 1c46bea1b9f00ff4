// The children of a worksheet's root element: the order the file format requires of them, finding and
// creating one at its place, and the journaled edit of a worksheet's root that every sheet-level setter
// (view, tab colour, merged cells, panes, filter, hyperlinks) goes through. Elements this module does
// not know (a writer's own, markup-compatibility wrappers) stay where they are and are passed over.
#pragma once

#include <cstdint>

#include "lib/base/status.h"
#include "lib/package/part.h"
#include "lib/sheet/worksheet.h"
#include "lib/xml/tree.h"

// Place of a child name in the required order, from 1 (sheetPr) up; 0 for a name the order does not list
// (or null).
uint32_t sheet_child_rank(const char* name);
// The root's first child element named name; with create, a new one made at its place when missing
// (before the first known child that ranks after it, else last). Null when name is not in the order,
// root is null, or nothing exists and create is false or memory ran out (the tree then unchanged).
XmlNode* sheet_child(XmlNode* root, const char* name, bool create);
// Removes the root's first child element named name when it has no element children left; true when
// nothing was left to remove or the removal was made.
bool sheet_child_drop_if_empty(XmlNode* root, const char* name);
// Whether the root's known children stand in the required order; true for null.
bool sheet_children_in_order(const XmlNode* root);

// The two halves of sheet_edit.
xlsx_status sheet_edit_begin(XlsxWorksheet* sheet, XlsxPart* other, XlsxPartsEdit* edit, XmlNode** root);
xlsx_status sheet_edit_end(XlsxWorksheet* sheet, XlsxPartsEdit* edit, bool ok);

// The worksheet's root element, the part loaded and its row index in step, so that edits made here keep
// the index valid; null for a null worksheet or a part without root.
XmlNode* sheet_edit_root(XlsxWorksheet* sheet);
// Runs store(root) on the worksheet's root as one journaled edit of the worksheet's tree and of other's
// (a second part the change touches, or null), kept to the failure rule (lib/base/status.h): a false
// store takes every change back. XLSX_ERR_INVALID_ARG for a null worksheet or a part without root;
// XLSX_ERR_NO_MEMORY when store failed or the edit could not begin.
template <typename Store>
xlsx_status sheet_edit(XlsxWorksheet* sheet, XlsxPart* other, Store store) {
  XlsxPartsEdit edit;
  XmlNode* root = nullptr;
  xlsx_status status = sheet_edit_begin(sheet, other, &edit, &root);
  return status == XLSX_OK ? sheet_edit_end(sheet, &edit, store(root)) : status;
}

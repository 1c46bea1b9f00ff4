// The worksheet root's children in the order the file format requires, and the journaled root edit.
#include "lib/sheet/sheet_children.h"

#include <cstring>

#include "lib/sheet/sheet_index.h"

namespace {

// The children of `worksheet`, in the order the format's schema lists them.
constexpr const char* kOrder[] = {
    "sheetPr",         "dimension",        "sheetViews",      "sheetFormatPr",
    "cols",            "sheetData",        "sheetCalcPr",     "sheetProtection",
    "protectedRanges", "scenarios",        "autoFilter",      "sortState",
    "dataConsolidate", "customSheetViews", "mergeCells",      "phoneticPr",
    "conditionalFormatting", "dataValidations", "hyperlinks", "printOptions",
    "pageMargins",     "pageSetup",        "headerFooter",    "rowBreaks",
    "colBreaks",       "customProperties", "cellWatches",     "ignoredErrors",
    "smartTags",       "drawing",          "legacyDrawing",   "legacyDrawingHF",
    "drawingHF",       "picture",          "oleObjects",      "controls",
    "webPublishItems", "tableParts",       "extLst",
};

uint32_t rank_of(const XmlNode* node) {
  return node && node->type == XML_NODE_ELEMENT ? sheet_child_rank(node->name) : 0;
}

}  // namespace

uint32_t sheet_child_rank(const char* name) {
  if (!name) return 0;
  for (uint32_t i = 0; i < sizeof kOrder / sizeof kOrder[0]; i++)
    if (std::strcmp(kOrder[i], name) == 0) return i + 1;
  return 0;
}

XmlNode* sheet_child(XmlNode* root, const char* name, bool create) {
  uint32_t rank = sheet_child_rank(name);
  if (!root || !rank) return nullptr;
  XmlNode* found = xml_node_child(root, name);
  if (found || !create) return found;
  for (XmlNode* x = xml_node_first_element(root); x; x = xml_node_next_element(x))
    if (rank_of(x) > rank) return xml_node_insert_child_before(root, name, x);
  return xml_node_append_child(root, name);
}

bool sheet_child_drop_if_empty(XmlNode* root, const char* name) {
  XmlNode* child = xml_node_child(root, name);
  return !child || xml_node_first_element(child) || xml_node_remove_child(root, child);
}

bool sheet_children_in_order(const XmlNode* root) {
  uint32_t last = 0;
  for (XmlNode* x = xml_node_first_element(root); x; x = xml_node_next_element(x)) {
    uint32_t rank = rank_of(x);
    if (rank && rank < last) return false;
    if (rank) last = rank;
  }
  return true;
}

XmlNode* sheet_edit_root(XlsxWorksheet* sheet) {
  if (!sheet || !sheet->part) return nullptr;
  if (!sheet->index || sheet->index->part != sheet->part) sheet->index = sheet_index_of_part(sheet->part);
  if (!sheet_index_sync(sheet->index)) return nullptr;
  return xlsx_part_root(sheet->part);
}

xlsx_status sheet_edit_begin(XlsxWorksheet* sheet, XlsxPart* other, XlsxPartsEdit* edit, XmlNode** root) {
  *root = sheet_edit_root(sheet);
  if (!*root) return XLSX_ERR_INVALID_ARG;
  XlsxPart* parts[2] = {sheet->part, other};
  return xlsx_parts_edit_begin(edit, parts, 2);
}

xlsx_status sheet_edit_end(XlsxWorksheet* sheet, XlsxPartsEdit* edit, bool ok) {
  xlsx_status status = xlsx_parts_edit_end(edit, ok ? XLSX_OK : XLSX_ERR_NO_MEMORY);
  // The edits made here leave the rows and columns alone: the index still matches the tree.
  sheet_index_commit(sheet->index);
  return status;
}

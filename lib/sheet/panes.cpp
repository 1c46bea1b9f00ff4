// Frozen panes of a worksheet's first sheet view.
#include "lib/sheet/panes.h"

#include "lib/base/convert.h"
#include "lib/sheet/cellref.h"
#include "lib/sheet/sheet_children.h"
#include "lib/sheet/sheet_view.h"

namespace {

// A selection of one pane, on that pane's top-left cell.
struct PaneSelection {
  const char* pane;
  uint32_t row, column;
};

// Removes the view's pane and its selections: every selection when freezing anew, otherwise those
// of the panes that go (one without `pane` belongs to the top-left pane and stays).
bool clear_panes(XmlNode* view, bool all) {
  bool ok = true;
  XmlNode* next = nullptr;
  for (XmlNode* x = xml_node_first_element(view); x && ok; x = next) {
    next = xml_node_next_element(x);
    bool pane = xml_node_is_element(x, "pane");
    bool selection = xml_node_is_element(x, "selection") &&
                     (all || xml_node_has_attribute(x, "pane"));
    if (pane || selection) ok = xml_node_remove_child(view, x);
  }
  return ok;
}

bool set_number(XmlNode* node, const char* name, uint32_t value) {
  char text[24];
  xlsx_u64_to_text(value, text);
  return xml_node_set_attribute(node, name, text) != nullptr;
}

// `pane` first in the view, then one selection per pane besides the top-left one.
bool write_panes(XmlNode* view, uint32_t columns, uint32_t rows) {
  const char* active = columns && rows ? "bottomRight" : rows ? "bottomLeft" : "topRight";
  char top_left[XLSX_CELLREF_TEXT_SIZE];
  xlsx_cellref_format(rows + 1, columns + 1, top_left);
  XmlNode* pane = xml_node_prepend_child(view, "pane");
  bool ok = pane && (!columns || set_number(pane, "xSplit", columns)) && (!rows || set_number(pane, "ySplit", rows)) &&
            xml_node_set_attribute(pane, "topLeftCell", top_left) && xml_node_set_attribute(pane, "activePane", active) &&
            xml_node_set_attribute(pane, "state", "frozen");
  const PaneSelection selections[] = {
      {"topRight", 1, columns + 1}, {"bottomLeft", rows + 1, 1}, {"bottomRight", rows + 1, columns + 1}};
  XmlNode* after = pane;
  for (const PaneSelection& s : selections) {
    // Frozen columns alone make a top-right pane, rows alone a bottom-left one, both make three.
    bool used = (columns && rows) || xlsx_str_equal(s.pane, columns ? "topRight" : "bottomLeft");
    if (!ok || !used) continue;
    char cell[XLSX_CELLREF_TEXT_SIZE];
    xlsx_cellref_format(s.row, s.column, cell);
    after = xml_node_insert_child_after(view, "selection", after);
    ok = after && xml_node_set_attribute(after, "pane", s.pane) && xml_node_set_attribute(after, "activeCell", cell) &&
         xml_node_set_attribute(after, "sqref", cell);
  }
  return ok;
}

}  // namespace

xlsx_status xlsx_sheet_freeze(XlsxWorksheet* sheet, uint32_t columns, uint32_t rows) {
  if (columns >= XLSX_CELLREF_MAX_COLUMN || rows >= XLSX_CELLREF_MAX_ROW) return XLSX_ERR_INVALID_ARG;
  return sheet_edit(sheet, nullptr, [columns, rows](XmlNode* root) {
    bool freeze = columns || rows;
    XmlNode* view = xlsx_sheet_view_element(root, freeze);
    if (!view) return !freeze;
    return clear_panes(view, freeze) && (!freeze || write_panes(view, columns, rows));
  });
}

void xlsx_sheet_frozen(XlsxWorksheet* sheet, uint32_t* columns, uint32_t* rows) {
  XmlNode* pane = xml_node_child(xlsx_sheet_view_element(sheet_edit_root(sheet), false), "pane");
  const char* state = xml_attribute_value(xml_node_attribute(pane, "state"));
  bool frozen = xlsx_str_equal(state, "frozen") || xlsx_str_equal(state, "frozenSplit");
  // Splits are written as numbers ("1", sometimes "1.0"); whole ones count.
  double x = frozen ? xml_attribute_as_double(xml_node_attribute(pane, "xSplit"), 0) : 0;
  double y = frozen ? xml_attribute_as_double(xml_node_attribute(pane, "ySplit"), 0) : 0;
  const double max_column = XLSX_CELLREF_MAX_COLUMN, max_row = XLSX_CELLREF_MAX_ROW;
  if (columns) *columns = x >= 1 && x < max_column ? static_cast<uint32_t>(x) : 0;
  if (rows) *rows = y >= 1 && y < max_row ? static_cast<uint32_t>(y) : 0;
}

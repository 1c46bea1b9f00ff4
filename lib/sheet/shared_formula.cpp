// Shared formula groups: the first cell of a group found through a table of the groups, built in one
// pass over the sheet and valid while the sheet's tree is unchanged.
#include "lib/sheet/shared_formula.h"

#include <cstring>

#include "lib/base/alloc.h"
#include "lib/base/convert.h"
#include "lib/sheet/cellref.h"
#include "lib/sheet/formula_move.h"
#include "lib/sheet/sheet_index.h"

struct XlsxFormulaGroup {
  uint32_t si;
  XmlNode* first;  // the `f` that holds the text (and `ref`)
};

// The groups of a sheet, in one block, sorted by si; attached to the sheet's index.
struct XlsxFormulaGroups {
  const XmlDoc* doc;
  uint32_t generation;
  uint32_t count;
  XlsxFormulaGroup groups[1];
};

namespace {

const char* attr(const XmlNode* node, const char* name) { return xml_attribute_value(xml_node_attribute(node, name)); }

bool is_shared(const XmlNode* f) { return xlsx_str_equal(attr(f, "t"), "shared"); }

// A group's first cell carries the range of the group; the others only the group's number.
bool is_first(const XmlNode* f) { return is_shared(f) && xml_node_has_attribute(f, "ref"); }

bool group_number(const XmlNode* f, uint32_t* si) {
  uint64_t value = 0;
  if (!xlsx_text_to_u64(attr(f, "si"), &value) || value > UINT32_MAX) return false;
  *si = static_cast<uint32_t>(value);
  return true;
}

XmlNode* sheet_data_of(const XmlNode* cell) { return xml_node_parent(xml_node_parent(cell)); }

// Calls visit(f) for the `f` of every cell of the sheet that holds cell.
template <typename Visit>
void each_formula(const XmlNode* cell, Visit visit) {
  for (XmlNode* row = xml_node_first_element(sheet_data_of(cell)); row; row = xml_node_next_element(row))
    for (XmlNode* c = xml_node_first_element(row); c; c = xml_node_next_element(c))
      if (XmlNode* f = xml_node_child(c, "f")) visit(f);
}

// The table of the sheet's groups, built now when the index has none for the tree as it is; null when
// memory runs out.
XlsxFormulaGroups* groups_of(const XlsxCell* cell) {
  XlsxSheetIndex* index = cell->index;
  const XmlDoc* doc = cell->element->document;
  XlsxFormulaGroups* table = index ? index->formula_groups : nullptr;
  if (table && table->doc == doc && table->generation == doc->generation) return table;
  uint32_t count = 0;
  each_formula(cell->element, [&](XmlNode* f) { count += is_first(f) ? 1 : 0; });
  uint32_t size = sizeof(XlsxFormulaGroups) + (count ? count - 1 : 0) * sizeof(XlsxFormulaGroup);
  table = static_cast<XlsxFormulaGroups*>(xlsx_malloc(size));
  if (!table) return nullptr;
  *table = XlsxFormulaGroups{doc, doc->generation, 0, {}};
  each_formula(cell->element, [&](XmlNode* f) {
    uint32_t si = 0;
    if (!is_first(f) || !group_number(f, &si)) return;
    uint32_t at = table->count++;  // insertion in si order; groups are few beside the cells
    while (at > 0 && table->groups[at - 1].si > si) {
      table->groups[at] = table->groups[at - 1];
      at--;
    }
    table->groups[at] = {si, f};
  });
  if (index) {
    xlsx_free(index->formula_groups);
    index->formula_groups = table;
  }
  return table;
}

// The `f` of the group's first cell; null when there is none.
const XmlNode* first_of_group(XlsxFormulaGroups* table, uint32_t si) {
  uint32_t low = 0, high = table->count;
  while (low < high) {
    uint32_t mid = low + (high - low) / 2;
    if (table->groups[mid].si < si) low = mid + 1;
    else high = mid;
  }
  // The first group of that number wins, as the earliest in the sheet does for other readers.
  return low < table->count && table->groups[low].si == si ? table->groups[low].first : nullptr;
}

bool position_of(const XmlNode* cell, uint32_t* row, uint32_t* column) {
  return xlsx_cellref_read(attr(cell, "r"), row, column);
}

// The formula of first (an `f`) moved from its cell to the cell `to`.
xlsx_status moved_text(const XmlNode* first, const XmlNode* to, StrBuf* out) {
  uint32_t from_row = 0, from_column = 0, row = 0, column = 0;
  if (!position_of(xml_node_parent(first), &from_row, &from_column) || !position_of(to, &row, &column))
    return strbuf_append(out, "");
  StrBuf text;
  strbuf_init(&text);
  xlsx_status status = xml_node_append_text(first, &text);
  if (status == XLSX_OK)
    status = xlsx_formula_move(text.data, int64_t(row) - from_row, int64_t(column) - from_column, out);
  strbuf_free(&text);
  return status;
}

}  // namespace

xlsx_status xlsx_shared_formula_text(const XlsxCell* cell, const XmlNode* f, StrBuf* out) {
  uint32_t si = 0;
  if (!is_shared(f) || is_first(f) || !group_number(f, &si)) return xml_node_append_text(f, out);
  XlsxFormulaGroups* table = groups_of(cell);
  if (!table) return XLSX_ERR_NO_MEMORY;
  const XmlNode* first = first_of_group(table, si);
  // A cell that names a group without a first cell keeps the text it has, if any.
  if (!first) return xml_node_append_text(f, out);
  return moved_text(first, cell->element, out);
}

bool xlsx_shared_formula_detach(const XlsxCell* cell, XmlNode* f) {
  uint32_t si = 0;
  if (!is_first(f) || !group_number(f, &si)) return true;
  bool ok = true;
  each_formula(cell->element, [&](XmlNode* other) {
    uint32_t other_si = 0;
    if (!ok || other == f || !is_shared(other) || is_first(other) || !group_number(other, &other_si) || other_si != si)
      return;
    StrBuf text;
    strbuf_init(&text);
    ok = moved_text(f, xml_node_parent(other), &text) == XLSX_OK && xml_node_set_whole_text(other, text.data) &&
         xml_node_remove_attribute(other, "t") && xml_node_remove_attribute(other, "si");
    strbuf_free(&text);
  });
  return ok;
}

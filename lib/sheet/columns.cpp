// Column and row attributes.
#include "lib/sheet/columns.h"

#include <algorithm>
#include <cstring>

#include "lib/base/alloc.h"
#include "lib/base/convert.h"
#include "lib/package/part.h"
#include "lib/sheet/sheet_index.h"

namespace {

int32_t read_int(const XmlNode* node, const char* name) {
  return xml_attribute_as_int(xml_node_attribute(node, name), 0);
}

bool set_int(XmlNode* node, const char* name, int64_t value) {
  char text[32];
  xlsx_i64_to_text(value, text);
  return xml_node_set_attribute(node, name, text) != nullptr;
}

bool set_single(XmlNode* node, const char* name, float value) {
  char text[64];
  xlsx_snprintf(text, sizeof text, "%.9g", static_cast<double>(value));
  return xml_node_set_attribute(node, name, text) != nullptr;
}

XlsxSheetIndex* ready_index(XlsxWorksheet* sheet) {
  if (!sheet || !sheet->part) return nullptr;
  if (!sheet->index || sheet->index->part != sheet->part) sheet->index = sheet_index_of_part(sheet->part);
  return sheet_index_sync(sheet->index) ? sheet->index : nullptr;
}

// The columns a..b a `col` element covers, cut to the sheet (a > b when it covers none).
void span_of(const XmlNode* col, int32_t* a, int32_t* b) {
  *a = read_int(col, "min");
  *b = read_int(col, "max");
  if (*a < 1) *a = 1;
  if (*b > static_cast<int32_t>(XLSX_CELLREF_MAX_COLUMN)) *b = static_cast<int32_t>(XLSX_CELLREF_MAX_COLUMN);
}

// A copy of col covering a..b, put before (or after) col; false when memory runs out.
bool copy_beside(XmlNode* cols, XmlNode* col, int32_t a, int32_t b, bool before) {
  XmlNode* copy = xml_node_copy(col);
  if (!copy) return false;
  if (before) xml_node_insert_move_before(cols, copy, col);
  else xml_node_insert_move_after(cols, copy, col);
  return set_int(copy, "min", a) && set_int(copy, "max", b);
}

// Cuts column out of the range col covers: the columns before and after it keep copies of col in col's
// place (so that they keep their order among overlapping elements), col covers column alone. One
// journaled edit: false, with nothing changed, when memory runs out.
bool split_off(XmlNode* cols, XmlNode* col, int32_t column) {
  int32_t a, b;
  span_of(col, &a, &b);
  if (!xml_document_begin_edit(col->document)) return false;
  bool ok = (a == column || copy_beside(cols, col, a, column - 1, true)) &&
            (b == column || copy_beside(cols, col, column + 1, b, false)) && set_int(col, "min", column) &&
            set_int(col, "max", column);
  xml_document_end_edit(col->document, ok);
  return ok;
}

xlsx_status reserve_cols(XlsxSheetIndex* index, uint32_t need) {
  return xlsx_grow_array(&index->col_entries, &index->col_capacity, need, 32);
}

xlsx_status build_cols(XlsxSheetIndex* index) {
  if (index->cols_built) return XLSX_OK;
  XmlNode* cols = xml_node_child(xlsx_part_root(index->part), "cols");
  uint32_t count = 0;
  for (XmlNode* x = cols ? cols->first_child : nullptr; x; x = x->next_sibling)
    if (xml_node_is_element(x, "col")) count++;
  if (reserve_cols(index, count) != XLSX_OK) return XLSX_ERR_NO_MEMORY;
  index->col_count = 0;
  index->cols_sorted = 1;  // ascending and disjoint, as the format has them: then a lookup can bisect
  int32_t last = 0;
  for (XmlNode* x = cols ? cols->first_child : nullptr; x; x = x->next_sibling) {
    if (!xml_node_is_element(x, "col")) continue;
    int32_t a, b;
    span_of(x, &a, &b);
    if (a <= last || a > b) index->cols_sorted = 0;
    last = b;
    index->col_entries[index->col_count++] = {x, a};
  }
  index->cols = cols;
  index->cols_built = 1;
  return XLSX_OK;
}

// Position (in document order) of the first element covering column: the one that decides it, as
// spreadsheet applications read overlapping ranges; col_count when none does. *insert_at receives the
// position of the first element starting after column (where a new element keeps ascending order).
uint32_t find_col(const XlsxSheetIndex* index, int32_t column, uint32_t* insert_at) {
  if (index->cols_sorted) {
    const XlsxColEntry* entries = index->col_entries;
    uint32_t after = uint32_t(std::upper_bound(entries, entries + index->col_count, column,
                                               [](int32_t c, const XlsxColEntry& e) { return c < e.min; }) -
                              entries);
    *insert_at = after;
    return after > 0 && read_int(entries[after - 1].node, "max") >= column ? after - 1 : index->col_count;
  }
  *insert_at = index->col_count;
  for (uint32_t at = 0; at < index->col_count; at++) {
    int32_t a, b;
    span_of(index->col_entries[at].node, &a, &b);
    if (a <= column && column <= b) return at;
    if (a > column && *insert_at == index->col_count) *insert_at = at;
  }
  return index->col_count;
}

// The `cols` element, created before sheetData when missing (*created tells).
XmlNode* ensure_cols(XlsxSheetIndex* index, bool* created) {
  *created = false;
  if (index->cols) return index->cols;
  XmlNode* root = xlsx_part_root(index->part);
  if (!root) return nullptr;
  XmlNode* sheet_data = xml_node_child(root, "sheetData");
  XmlNode* cols = sheet_data ? xml_node_insert_child_before(root, "cols", sheet_data) : xml_node_append_child(root, "cols");
  *created = cols != nullptr;
  return cols;
}

XmlNode* new_col(XlsxSheetIndex* index, uint32_t at, int32_t column) {
  bool created_cols = false;
  XmlNode* cols = ensure_cols(index, &created_cols);
  if (!cols) return nullptr;
  XmlNode* col = at < index->col_count ? xml_node_insert_child_before(cols, "col", index->col_entries[at].node)
                 : index->col_count   ? xml_node_insert_child_after(cols, "col", index->col_entries[index->col_count - 1].node)
                                      : xml_node_append_child(cols, "col");
  char width[64];
  xlsx_snprintf(width, sizeof width, "%.17g", 9.8);
  bool ok = col && set_int(col, "min", column) && set_int(col, "max", column) &&
            xml_node_set_attribute(col, "width", width) && xml_node_set_attribute(col, "customWidth", "0");
  if (!ok) {
    if (col) xml_node_remove_child(cols, col);
    if (created_cols) xml_node_remove_child(xml_node_parent(cols), cols);
    return nullptr;
  }
  index->cols = cols;
  return col;
}

struct EditScope {
  XlsxSheetIndex* index;
  bool in_step;
  EditScope(XlsxSheetIndex* index_in, const XmlNode* element)
      : index(index_in), in_step(sheet_index_in_step(index_in, element->document)) {}
  ~EditScope() {
    if (in_step) sheet_index_commit(index);
  }
};

// Writes a size ("%.9g") and its custom flag "1" on a column or row element as one journaled edit (the
// failure rule).
xlsx_status set_size(XmlNode* element, XlsxSheetIndex* index, const char* name, float value, const char* flag) {
  if (!element) return XLSX_ERR_INVALID_ARG;
  EditScope scope(index, element);
  if (!xml_document_begin_edit(element->document)) return XLSX_ERR_NO_MEMORY;
  bool ok = set_single(element, name, value) && xml_node_set_attribute(element, flag, "1");
  xml_document_end_edit(element->document, ok);
  return ok ? XLSX_OK : XLSX_ERR_NO_MEMORY;
}

// `hidden` of a column or row element: "1" or "0".
xlsx_status set_hidden(XmlNode* element, XlsxSheetIndex* index, uint32_t hidden) {
  if (!element) return XLSX_ERR_INVALID_ARG;
  EditScope scope(index, element);
  return xml_node_set_attribute(element, "hidden", hidden ? "1" : "0") ? XLSX_OK : XLSX_ERR_NO_MEMORY;
}

bool is_hidden(const XmlNode* element) { return xml_attribute_as_bool(xml_node_attribute(element, "hidden"), false); }

}  // namespace

xlsx_status xlsx_sheet_column(XlsxWorksheet* sheet, uint32_t column, XlsxColumn* out) {
  if (!out) return XLSX_ERR_INVALID_ARG;
  *out = XlsxColumn{nullptr, nullptr};
  if (!sheet || column < 1 || column > XLSX_CELLREF_MAX_COLUMN) return XLSX_ERR_INVALID_ARG;
  XlsxSheetIndex* index = ready_index(sheet);
  if (!index) return sheet->part ? XLSX_ERR_NO_MEMORY : XLSX_ERR_INVALID_ARG;
  xlsx_status status = build_cols(index);
  if (status != XLSX_OK) return status;
  uint32_t insert_at = 0;
  uint32_t at = find_col(index, static_cast<int32_t>(column), &insert_at);
  XmlNode* col = nullptr;
  int32_t a = 0, b = 0;
  if (at < index->col_count) span_of(index->col_entries[at].node, &a, &b);
  if (at < index->col_count && a == b) {
    col = index->col_entries[at].node;  // the column's own element: nothing changes
  } else {
    col = at < index->col_count ? index->col_entries[at].node : nullptr;
    if (col && !split_off(index->cols, col, static_cast<int32_t>(column))) col = nullptr;
    if (at == index->col_count) col = new_col(index, insert_at, static_cast<int32_t>(column));
    index->cols_built = 0;  // elements were added: the list is read again on the next lookup
  }
  sheet_index_commit(index);
  if (!col) return XLSX_ERR_NO_MEMORY;
  *out = XlsxColumn{col, index};
  return XLSX_OK;
}

xlsx_status xlsx_column_set_width(const XlsxColumn* column, float width) {
  if (!column || !(width >= 0.0f && width <= XLSX_MAX_COLUMN_WIDTH)) return XLSX_ERR_INVALID_ARG;
  return set_size(column->element, column->index, "width", width, "customWidth");
}

float xlsx_column_width(const XlsxColumn* column) {
  if (!column || !column->element) return 0.0f;
  return static_cast<float>(xml_attribute_as_double(xml_node_attribute(column->element, "width"), 0.0));
}

xlsx_status xlsx_column_set_hidden(const XlsxColumn* column, uint32_t hidden) {
  return column ? set_hidden(column->element, column->index, hidden) : XLSX_ERR_INVALID_ARG;
}

bool xlsx_column_is_hidden(const XlsxColumn* column) { return column && is_hidden(column->element); }

xlsx_status xlsx_row_set_height(const XlsxRow* row, float height) {
  if (!row || !(height >= 0.0f && height <= XLSX_MAX_ROW_HEIGHT)) return XLSX_ERR_INVALID_ARG;
  return set_size(row->element, row->index, "ht", height, "customHeight");
}

double xlsx_row_height(const XlsxRow* row) {
  if (!row || !row->element) return 15.0;
  return xml_attribute_as_double(xml_node_attribute(row->element, "ht"), 15.0);
}

xlsx_status xlsx_row_set_hidden(const XlsxRow* row, uint32_t hidden) {
  return row ? set_hidden(row->element, row->index, hidden) : XLSX_ERR_INVALID_ARG;
}

bool xlsx_row_is_hidden(const XlsxRow* row) { return row && is_hidden(row->element); }

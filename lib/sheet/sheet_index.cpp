// The row index and cursor of a worksheet part.
#include "lib/sheet/sheet_index.h"

#include <algorithm>
#include <cstring>

#include "lib/base/alloc.h"
#include "lib/base/convert.h"
#include "lib/package/part.h"
#include "lib/sheet/cellref.h"
#include "lib/sheet/dimension.h"
#include "lib/sheet/lookahead.h"

namespace {

bool is_cell(const XmlNode* node) { return xml_node_is_element(node, "c"); }

void index_free(void* extra) {
  XlsxSheetIndex* index = static_cast<XlsxSheetIndex*>(extra);
  if (!index) return;
  xlsx_free(index->rows);
  xlsx_free(index->samples);
  xlsx_free(index->col_entries);
  xlsx_free(index->formula_groups);
  xlsx_free(index);
}

void index_reset(XlsxSheetIndex* index) {
  index->rows_built = 0;
  index->sheet_data = nullptr;
  index->row_count = 0;
  index->cursor_row = 0;
  index->cursor_cell = nullptr;
  index->cursor_column = 0;
  index->max_column = 0;
  index->max_column_known = 0;
  index->cols_normalized = 0;
  index->cols_built = 0;
  index->cols_sorted = 0;
  index->cols = nullptr;
  index->col_count = 0;
}

xlsx_status reserve_rows(XlsxSheetIndex* index, uint32_t need) {
  return xlsx_grow_array(&index->rows, &index->row_capacity, need, 64);
}

// Stable merge sort of row entries by number (temp holds count entries).
void sort_rows(XlsxRowEntry* entries, XlsxRowEntry* temp, uint32_t count) {
  for (uint32_t width = 1; width < count; width *= 2) {
    for (uint32_t lo = 0; lo < count; lo += 2 * width) {
      uint32_t mid = lo + width < count ? lo + width : count;
      uint32_t hi = lo + 2 * width < count ? lo + 2 * width : count;
      uint32_t a = lo, b = mid, k = lo;
      while (a < mid && b < hi) temp[k++] = entries[b].number < entries[a].number ? entries[b++] : entries[a++];
      while (a < mid) temp[k++] = entries[a++];
      while (b < hi) temp[k++] = entries[b++];
    }
    std::memcpy(entries, temp, count * sizeof(XlsxRowEntry));
  }
}

// Puts the elements of sorted entries back into the tree in that order, before anchor (end when null).
void relink(XmlNode* parent, const XlsxRowEntry* entries, uint32_t count, XmlNode* anchor) {
  for (uint32_t i = 0; i < count; i++) xml_node_insert_move_before(parent, entries[i].node, anchor);
}

// Gives an element without a readable number the one that follows its predecessor.
bool assign_number(XmlNode* node, uint32_t row, uint32_t column) {
  char text[XLSX_CELLREF_TEXT_SIZE];
  if (column) xlsx_cellref_format(row, column, text);
  else xlsx_u64_to_text(row, text);
  return xml_node_set_attribute(node, "r", text) != nullptr;
}

// Whether every element called name under parent, numbered as its reader numbers it (one after the
// element before when it has no number of its own, or one beyond last), stays within 1 .. last. A file
// whose unnumbered rows or cells run past the sheet's end is refused: numbering them would put them onto
// the last row or past the last column.
bool numbers_fit(const XmlNode* parent, const char* name, uint32_t last, uint32_t (*number_of)(const XmlNode*)) {
  uint32_t previous = 0;
  for (XmlNode* x = parent ? parent->first_child : nullptr; x; x = x->next_sibling) {
    if (!xml_node_is_element(x, name)) continue;
    uint32_t number = number_of(x);
    if (number == 0 || number > last) {
      if (previous >= last) return false;
      number = previous + 1;
    }
    previous = number;
  }
  return true;
}

// The first cell from a row's first child on, and the last from its last child back.
XmlNode* first_cell_from(XmlNode* x) {
  while (x && !is_cell(x)) x = x->next_sibling;
  return x;
}

XmlNode* last_cell_from(XmlNode* x) {
  while (x && !is_cell(x)) x = x->previous_sibling;
  return x;
}

XmlNode* first_cell(const XmlNode* row) { return row ? first_cell_from(row->first_child) : nullptr; }

XmlNode* next_cell(const XmlNode* cell) {
  XmlNode* x = xml_node_next_element(cell);
  return is_cell(x) ? x : nullptr;
}

XmlNode* previous_cell(const XmlNode* cell) {
  XmlNode* x = xml_node_previous_element(cell);
  return is_cell(x) ? x : nullptr;
}

// First element child that is not a cell (an extension list): new cells go before it.
XmlNode* cell_anchor(const XmlNode* row) {
  for (XmlNode* x = row->first_child; x; x = x->next_sibling)
    if (x->type == XML_NODE_ELEMENT && !is_cell(x)) return x;
  return nullptr;
}

// Where a missing cell goes: directly after `after`, directly before `before`, or (both null) after the
// row's last cell.
struct CellSlot {
  XmlNode* found;
  XmlNode* after;
  XmlNode* before;
};

CellSlot walk_forward(XmlNode* x, uint32_t column) {
  while (x && sheet_cell_column(x) < column) x = next_cell(x);
  if (x && sheet_cell_column(x) == column) return {x, nullptr, nullptr};
  return {nullptr, nullptr, x};
}

CellSlot walk_backward(XmlNode* x, const XmlNode* row, uint32_t column) {
  while (x && sheet_cell_column(x) > column) x = previous_cell(x);
  if (x && sheet_cell_column(x) == column) return {x, nullptr, nullptr};
  if (x) return {nullptr, x, nullptr};
  return {nullptr, nullptr, first_cell(row)};
}

// A row's first and last children.
struct RowEnds {
  XmlNode* first;
  XmlNode* last;
};

// From the entry while the tree is as the index was built, else from the row element.
RowEnds row_ends(const XlsxSheetIndex* index, const XlsxRowEntry& entry) {
  if (index->ends_generation == index->generation) return {entry.first_child, entry.last_child};
  return {entry.node->first_child, entry.node->last_child};
}

// Longest count from an end of a row before the ordinary walk is used instead.
constexpr uint32_t kGuessSteps = 32;

// The count to column from the nearer end of a row taken to hold the columns first..last without gaps:
// its direction and length; false when there is none (the column outside, or too far from both ends).
bool plan_count(uint32_t column, uint32_t first, uint32_t last, bool* forward, uint32_t* steps) {
  if (first == 0 || column < first || column > last) return false;
  *forward = column - first <= last - column;
  *steps = *forward ? column - first : last - column;
  return *steps <= kGuessSteps;
}

// The cell of column counted from the nearer end of a row taken to hold the columns first..last without
// gaps; null when the cell counted to is not that column's (its `r`, the only one read, says so) or lies
// too far. Needs no ordered row.
XmlNode* count_cell(const RowEnds& ends, uint32_t column, uint32_t first, uint32_t last) {
  bool forward;
  uint32_t steps;
  if (!plan_count(column, first, last, &forward, &steps)) return nullptr;
  lookahead::fetch_count(lookahead::address_of(ends.first), lookahead::address_of(ends.last), last - first, steps,
                         forward);
  XmlNode* x = forward ? first_cell_from(ends.first) : last_cell_from(ends.last);
  for (uint32_t k = steps; k > 0 && x; k--) x = forward ? next_cell(x) : previous_cell(x);
  return x && sheet_cell_column(x) == column ? x : nullptr;
}

// Whether the walk through a row whose last cell has last_column comes from the end for column.
bool walks_backward(uint32_t last_column, uint32_t column) { return column > last_column - column; }

// The cursor's row: the cursor and its neighbours answer at once; a cell farther away comes from the walk
// starting next to the cursor.
CellSlot locate_near_cursor(const XmlNode* row, XmlNode* cursor, uint32_t cursor_column, uint32_t column) {
  if (column == cursor_column) return {cursor, nullptr, nullptr};
  if (column > cursor_column) {
    XmlNode* next = next_cell(cursor);
    if (!next) return {nullptr, cursor, nullptr};
    uint32_t next_column = sheet_cell_column(next);
    if (next_column == column) return {next, nullptr, nullptr};
    if (next_column > column) return {nullptr, nullptr, next};
    return walk_forward(next, column);
  }
  XmlNode* previous = previous_cell(cursor);
  if (!previous) return {nullptr, nullptr, cursor};
  uint32_t previous_column = sheet_cell_column(previous);
  if (previous_column == column) return {previous, nullptr, nullptr};
  if (previous_column < column) return {nullptr, previous, nullptr};
  return walk_backward(previous, row, column);
}

// Where the cell of column is, or goes, in the checked row at position: next to the cursor when it is in
// that row; else at one of the row's ends (an append, the start of a walk through the row), else by the
// walk from the nearer end.
CellSlot locate_cell(XlsxSheetIndex* index, uint32_t position, uint32_t column) {
  XmlNode* row = index->rows[position].node;
  XmlNode* cursor = index->cursor_cell;
  if (cursor && index->cursor_row == position && cursor->parent == row)
    return locate_near_cursor(row, cursor, index->cursor_column, column);
  XmlNode* last = sheet_last_cell(row);
  if (!last) return {nullptr, nullptr, nullptr};
  uint32_t last_column = sheet_cell_column(last);
  if (column == last_column) return {last, nullptr, nullptr};
  if (column > last_column) return {nullptr, last, nullptr};
  // A first cell whose column the next one repeats is left to the walk, which decides between the two.
  XmlNode* first = first_cell(row);
  uint32_t first_column = sheet_cell_column(first);
  if (column < first_column) return {nullptr, nullptr, first};
  if (column == first_column && sheet_cell_column(next_cell(first)) != column) return {first, nullptr, nullptr};
  if (walks_backward(last_column, column)) return walk_backward(last, row, column);
  return walk_forward(first, column);
}

XmlNode* insert_cell(XmlNode* row, const CellSlot& slot) {
  if (slot.after) return xml_node_insert_child_after(row, "c", slot.after);
  if (slot.before) return xml_node_insert_child_before(row, "c", slot.before);
  XmlNode* last = sheet_last_cell(row);
  if (last) return xml_node_insert_child_after(row, "c", last);
  XmlNode* anchor = cell_anchor(row);
  return anchor ? xml_node_insert_child_before(row, "c", anchor) : xml_node_append_child(row, "c");
}

}  // namespace

XmlNode* sheet_last_cell(const XmlNode* row) { return row ? last_cell_from(row->last_child) : nullptr; }

namespace {

// Writers put `r` first: the first attribute's name is looked at before a search by name.
inline const char* r_value(const XmlNode* node) {
  const XmlAttr* first = node ? node->first_attribute : nullptr;
  const char* name = first ? first->name : nullptr;
  if (name && name[0] == 'r' && name[1] == 0) return first->value;
  return xml_attribute_value(xml_node_attribute(node, "r"));
}

}  // namespace

uint32_t sheet_cell_column(const XmlNode* cell) { return xlsx_cellref_column_of(r_value(cell)); }

uint32_t sheet_row_number(const XmlNode* row) { return xlsx_cellref_row_of(r_value(row)); }

namespace {

// The entry of a row element as the index is built: its ends and the starts of its runs.
XlsxRowEntry entry_of(XmlNode* row, uint32_t number) {
  const XmlAttr* attribute = row->first_child ? row->first_child->first_attribute : nullptr;
  uintptr_t text = attribute ? lookahead::address_of(attribute->value) : 0;
  return {row, number, 0, row->first_child, row->last_child, lookahead::address_of(attribute), text};
}

// Rows from one sample to the next, and the fewest rows a sheet has for samples to be taken (a smaller
// one stays in the cache).
constexpr uint32_t kRowSampleStep = 32;
constexpr uint32_t kRowSampleMinRows = 1024;

// Samples the built rows afresh (none for a sheet of few rows); XLSX_ERR_NO_MEMORY without them.
xlsx_status take_samples(XlsxSheetIndex* index) {
  auto sample = [index](uint32_t at) {
    const XlsxRowEntry &row = index->rows[at], &next = index->rows[at + 1];
    return XlsxRowSample{lookahead::address_of(row.first_child), lookahead::address_of(row.last_child),
                         row.attributes_start, row.texts_start, lookahead::address_of(next.first_child),
                         next.attributes_start, next.texts_start};
  };
  uint32_t n = index->row_count ? index->row_count - 1 : 0;  // each sampled row has a row after it
  bool taken =
      lookahead::resample(&index->samples, &index->sample_count, n, kRowSampleMinRows - 1, kRowSampleStep, sample);
  return taken ? XLSX_OK : XLSX_ERR_NO_MEMORY;
}

}  // namespace

XlsxSheetIndex* sheet_index_of_part(XlsxPart* part) {
  if (!part) return nullptr;
  // A part that carries another attachment (a file may name its relationships part as a sheet) is no
  // worksheet: its attachment is never taken for an index.
  if (part->extra) return part->extra_free == index_free ? static_cast<XlsxSheetIndex*>(part->extra) : nullptr;
  XlsxSheetIndex* index = static_cast<XlsxSheetIndex*>(xlsx_calloc(1, sizeof(XlsxSheetIndex)));
  if (!index) return nullptr;
  index->part = part;
  xlsx_part_set_extra(part, index, index_free);
  // A worksheet whose cells are reached through the index gets its `dimension` refreshed at save.
  xlsx_part_set_prepare_save(part, xlsx_sheet_update_dimension);
  return index;
}

bool sheet_index_sync(XlsxSheetIndex* index) {
  if (!index) return false;
  // Every lookup comes here (often twice): the index in step with a loaded tree answers at once.
  const XlsxPart* part = index->part;
  if (index->synced && part->loaded && part->xml && index->generation == part->xml->generation) return true;
  XmlDoc* doc = xlsx_part_load(index->part);
  if (!doc || !index->part->loaded) return false;
  if (index->synced && index->generation == doc->generation) return true;
  index_reset(index);
  index->generation = doc->generation;
  index->synced = 1;
  return true;
}

void sheet_index_commit(XlsxSheetIndex* index) {
  if (!index || !index->part || !index->part->xml) return;
  index->generation = index->part->xml->generation;
}

bool sheet_index_in_step(const XlsxSheetIndex* index, const XmlDoc* doc) {
  return index && doc && index->synced && index->part && index->part->xml == doc &&
         index->generation == doc->generation;
}

xlsx_status sheet_index_build_rows(XlsxSheetIndex* index) {
  if (index->rows_built) return XLSX_OK;
  index->row_count = 0;
  index->cursor_cell = nullptr;
  XmlNode* sheet_data = xml_node_child(xlsx_part_root(index->part), "sheetData");
  index->sheet_data = sheet_data;
  uint32_t count = 0;
  for (XmlNode* x = sheet_data ? sheet_data->first_child : nullptr; x; x = x->next_sibling)
    if (xml_node_is_element(x, "row")) count++;
  if (!numbers_fit(sheet_data, "row", XLSX_CELLREF_MAX_ROW, sheet_row_number)) return XLSX_ERR_PARSE;
  // The array is made to the sheet's size at first (a loaded sheet is mostly read); rows added later grow it.
  if (xlsx_grow_array(&index->rows, &index->row_capacity, count, count) != XLSX_OK) return XLSX_ERR_NO_MEMORY;
  bool sorted = true;
  uint32_t previous = 0;
  uint32_t n = 0;
  for (XmlNode* x = sheet_data ? sheet_data->first_child : nullptr; x; x = x->next_sibling) {
    if (!xml_node_is_element(x, "row")) continue;
    uint32_t number = sheet_row_number(x);
    // A row without a number, or numbered beyond the sheet, follows the row before it.
    if (number == 0 || number > XLSX_CELLREF_MAX_ROW) {
      number = previous + 1;
      if (!assign_number(x, number, 0)) return XLSX_ERR_NO_MEMORY;
    }
    if (number < previous) sorted = false;
    index->rows[n++] = entry_of(x, number);
    previous = number;
  }
  if (!sorted) {
    XlsxRowEntry* temp = static_cast<XlsxRowEntry*>(xlsx_malloc(n * static_cast<uint32_t>(sizeof(XlsxRowEntry))));
    if (!temp) return XLSX_ERR_NO_MEMORY;
    sort_rows(index->rows, temp, n);
    xlsx_free(temp);
    relink(sheet_data, index->rows, n, nullptr);
  }
  index->row_count = n;
  if (take_samples(index) != XLSX_OK) return XLSX_ERR_NO_MEMORY;
  index->rows_built = 1;
  // Numbering and ordering the rows above changed no row's children: the ends hold for the tree now.
  if (index->part->xml) index->ends_generation = index->part->xml->generation;
  return XLSX_OK;
}

void sheet_index_fetch_ahead(const XlsxSheetIndex* index, uint32_t number, uint32_t column) {
  uint32_t first = index->span_first, last = index->span_last;
  bool held = index->rows_built && index->samples && index->ends_generation == index->generation;
  bool forward;
  uint32_t steps;
  // Nothing when the lookup will not count either.
  if (!held || !plan_count(column, first, last, &forward, &steps) || number < index->rows[0].number) return;
  uint32_t position = number - index->rows[0].number;  // the row's place when the rows have no gaps
  if (position >= index->row_count || position == index->cursor_row) return;
  uint32_t k = std::min(position / kRowSampleStep, index->sample_count - 1);
  const XlsxRowSample& s = index->samples[k];
  // The rows after a sampled one are taken to follow it at the stride from it to the next row.
  uintptr_t j = position - k * kRowSampleStep;
  uintptr_t nodes = s.next_first - s.first, attributes = s.next_attributes - s.attributes;
  uintptr_t texts = s.next_texts - s.texts;
  if (s.first && s.last && s.next_first)
    lookahead::fetch_count(s.first + j * nodes, s.last + j * nodes, last - first, steps, forward);
  uintptr_t attribute = s.attributes + j * attributes, text = s.texts + j * texts;
  if (s.attributes && s.next_attributes && s.texts && s.next_texts)
    lookahead::fetch_cell_texts(attribute, attribute + attributes, text, text + texts, column - first,
                                last - first + 1);
}

uint32_t sheet_index_lower_bound(const XlsxSheetIndex* index, uint32_t number) {
  const XlsxRowEntry* begin = index->rows;
  const XlsxRowEntry* at = std::lower_bound(begin, begin + index->row_count, number,
                                            [](const XlsxRowEntry& row, uint32_t n) { return row.number < n; });
  return static_cast<uint32_t>(at - begin);
}

XlsxRowEntry* sheet_index_find_row(XlsxSheetIndex* index, uint32_t number) {
  uint32_t c = index->cursor_row;
  if (c < index->row_count && index->rows[c].number == number) return &index->rows[c];
  if (c + 1 < index->row_count && index->rows[c + 1].number == number) return &index->rows[c + 1];
  // Rows without gaps stand at number - first number.
  if (index->row_count && number >= index->rows[0].number) {
    uint32_t guess = number - index->rows[0].number;
    if (guess < index->row_count && index->rows[guess].number == number) return &index->rows[guess];
  }
  uint32_t at = sheet_index_lower_bound(index, number);
  return at < index->row_count && index->rows[at].number == number ? &index->rows[at] : nullptr;
}

xlsx_status sheet_index_row(XlsxSheetIndex* index, uint32_t number, uint32_t* position) {
  xlsx_status status = sheet_index_build_rows(index);
  if (status != XLSX_OK) return status;
  if (!index->sheet_data) return XLSX_ERR_INVALID_ARG;
  uint32_t count = index->row_count;
  uint32_t at;
  if (count == 0 || number > index->rows[count - 1].number) {
    at = count;
  } else {
    XlsxRowEntry* found = sheet_index_find_row(index, number);
    if (found) {
      *position = static_cast<uint32_t>(found - index->rows);
      return XLSX_OK;
    }
    at = sheet_index_lower_bound(index, number);
  }
  if (reserve_rows(index, count + 1) != XLSX_OK) return XLSX_ERR_NO_MEMORY;
  XmlNode* row = at == count ? (count ? xml_node_insert_child_after(index->sheet_data, "row", index->rows[count - 1].node)
                                      : xml_node_append_child(index->sheet_data, "row"))
                             : xml_node_insert_child_before(index->sheet_data, "row", index->rows[at].node);
  if (!row) return XLSX_ERR_NO_MEMORY;
  if (!assign_number(row, number, 0)) {
    xml_node_remove_child(index->sheet_data, row);
    return XLSX_ERR_NO_MEMORY;
  }
  std::memmove(index->rows + at + 1, index->rows + at, (count - at) * sizeof(XlsxRowEntry));
  index->rows[at] = {row, number, 1};
  index->row_count = count + 1;
  if (index->cursor_row >= at && index->cursor_row < count) index->cursor_row++;
  *position = at;
  return XLSX_OK;
}

xlsx_status sheet_index_check_cells(XlsxSheetIndex* index, XlsxRowEntry* entry) {
  (void)index;
  if (entry->cells_checked) return XLSX_OK;
  XmlNode* row = entry->node;
  bool sorted = true;
  uint32_t previous = 0;
  uint32_t count = 0;
  if (!numbers_fit(row, "c", XLSX_CELLREF_MAX_COLUMN, sheet_cell_column)) return XLSX_ERR_PARSE;
  for (XmlNode* x = row->first_child; x; x = x->next_sibling) {
    if (!is_cell(x)) continue;
    uint32_t column = sheet_cell_column(x);
    if (column == 0) {
      column = previous + 1;
      if (!assign_number(x, entry->number, column)) return XLSX_ERR_NO_MEMORY;
    }
    if (column < previous) sorted = false;
    previous = column;
    count++;
  }
  if (!sorted) {
    uint32_t bytes = count * static_cast<uint32_t>(sizeof(XlsxRowEntry));
    XlsxRowEntry* cells = static_cast<XlsxRowEntry*>(xlsx_malloc(2 * bytes));
    if (!cells) return XLSX_ERR_NO_MEMORY;
    uint32_t n = 0;
    for (XmlNode* x = row->first_child; x; x = x->next_sibling)
      if (is_cell(x)) cells[n++] = {x, sheet_cell_column(x), 0};
    sort_rows(cells, cells + count, count);
    relink(row, cells, count, cell_anchor(row));
    xlsx_free(cells);
  }
  entry->cells_checked = 1;
  return XLSX_OK;
}

namespace {

// Asks ahead for the attributes and texts of the cell counted to by the last extent, guessed between the
// starts of this row's runs and the next row's, while the entries hold for the tree.
void fetch_cell_texts(const XlsxSheetIndex* index, uint32_t position, uint32_t column) {
  uint32_t first = index->span_first, last = index->span_last;
  bool known = index->ends_generation == index->generation && position + 1 < index->row_count;
  if (!known || first == 0 || column < first || column > last) return;
  const XlsxRowEntry& row = index->rows[position];
  const XlsxRowEntry& next = index->rows[position + 1];
  lookahead::fetch_cell_texts(row.attributes_start, next.attributes_start, row.texts_start, next.texts_start,
                              column - first, last - first + 1);
}

// A cell found without checking its row first (finding needs no ordered row; creating does): the cursor
// or the cell after it in the cursor's row (the rest of that row is left to the walk next to the cursor);
// in another row the cell counted from an end by the extent of the last row counted, else by this row's
// own extent. Only the `r` of a cell counted to decides.
XmlNode* quick_find(XlsxSheetIndex* index, uint32_t position, uint32_t column) {
  XmlNode* row = index->rows[position].node;
  XmlNode* cursor = index->cursor_cell;
  if (cursor && index->cursor_row == position && cursor->parent == row) {
    if (column == index->cursor_column) return cursor;
    XmlNode* next = column > index->cursor_column ? next_cell(cursor) : nullptr;
    return next && sheet_cell_column(next) == column ? next : nullptr;
  }
  RowEnds ends = row_ends(index, index->rows[position]);
  fetch_cell_texts(index, position, column);
  XmlNode* x = count_cell(ends, column, index->span_first, index->span_last);
  if (x) return x;
  uint32_t first = sheet_cell_column(first_cell_from(ends.first));
  uint32_t last = sheet_cell_column(last_cell_from(ends.last));
  if (first == index->span_first && last == index->span_last) return nullptr;
  x = count_cell(ends, column, first, last);
  if (x) {
    index->span_first = first;
    index->span_last = last;
  }
  return x;
}

void move_cursor(XlsxSheetIndex* index, uint32_t position, XmlNode* cell, uint32_t column) {
  index->cursor_row = position;
  index->cursor_cell = cell;
  index->cursor_column = column;
}

// The quick find, with the cursor moved onto its cell; false when it found none.
bool take_quick(XlsxSheetIndex* index, uint32_t position, uint32_t column, XmlNode** cell) {
  XmlNode* quick = quick_find(index, position, column);
  if (!quick) return false;
  move_cursor(index, position, quick, column);
  *cell = quick;
  return true;
}

}  // namespace

xlsx_status sheet_index_find_cell(XlsxSheetIndex* index, uint32_t position, uint32_t column, XmlNode** cell) {
  *cell = nullptr;
  if (take_quick(index, position, column, cell)) return XLSX_OK;
  xlsx_status status = sheet_index_check_cells(index, &index->rows[position]);
  if (status != XLSX_OK) return status;
  CellSlot slot = locate_cell(index, position, column);
  if (slot.found) move_cursor(index, position, slot.found, column);
  *cell = slot.found;
  return XLSX_OK;
}

xlsx_status sheet_index_cell(XlsxSheetIndex* index, uint32_t position, uint32_t column, XmlNode** cell) {
  *cell = nullptr;
  // A cell that is there is found as a find finds it; only a missing one needs the row checked.
  if (take_quick(index, position, column, cell)) return XLSX_OK;
  XlsxRowEntry* entry = &index->rows[position];
  xlsx_status status = sheet_index_check_cells(index, entry);
  if (status != XLSX_OK) return status;
  CellSlot slot = locate_cell(index, position, column);
  if (slot.found) {
    move_cursor(index, position, slot.found, column);
    *cell = slot.found;
    return XLSX_OK;
  }
  XmlNode* created = insert_cell(entry->node, slot);
  if (!created) return XLSX_ERR_NO_MEMORY;
  if (!assign_number(created, entry->number, column)) {
    xml_node_remove_child(entry->node, created);
    return XLSX_ERR_NO_MEMORY;
  }
  if (index->max_column_known && column > index->max_column) index->max_column = column;
  move_cursor(index, position, created, column);
  *cell = created;
  return XLSX_OK;
}

// Rows and cells of a worksheet: lookups through the part's row index, counts and range walks.
#include "lib/sheet/worksheet.h"

#include <cstring>

#include "lib/package/part.h"
#include "lib/sheet/sheet_index.h"
#include "lib/sheet/workbook.h"

namespace {

uint32_t g_shared_strings_mode = 0;

// The worksheet's index, in step with its tree; null for a null worksheet or part, or without memory.
XlsxSheetIndex* ready_index(XlsxWorksheet* sheet) {
  if (!sheet || !sheet->part) return nullptr;
  if (!sheet->index || sheet->index->part != sheet->part) sheet->index = sheet_index_of_part(sheet->part);
  return sheet_index_sync(sheet->index) ? sheet->index : nullptr;
}

xlsx_status index_status(const XlsxWorksheet* sheet) {
  return sheet && sheet->part ? XLSX_ERR_NO_MEMORY : XLSX_ERR_INVALID_ARG;
}

XlsxSharedStrings* shared_strings_of(const XlsxWorksheet* sheet) {
  return sheet->workbook ? sheet->workbook->shared_strings : nullptr;
}

xlsx_status lookup(XlsxWorksheet* sheet, uint32_t row, uint32_t column, bool create, XlsxCell* out) {
  *out = XlsxCell{nullptr, nullptr, nullptr};
  if (!sheet || !xlsx_cellref_is_valid(row, column)) return XLSX_ERR_INVALID_ARG;
  XlsxSheetIndex* index = ready_index(sheet);
  if (!index) return index_status(sheet);
  xlsx_status status = sheet_index_build_rows(index);
  XmlNode* element = nullptr;
  if (status == XLSX_OK && !index->sheet_data) status = XLSX_ERR_INVALID_ARG;
  if (status == XLSX_OK) sheet_index_fetch_ahead(index, row, column);
  if (status == XLSX_OK && create) {
    uint32_t position = 0;
    status = sheet_index_row(index, row, &position);
    if (status == XLSX_OK) status = sheet_index_cell(index, position, column, &element);
  } else if (status == XLSX_OK) {
    XlsxRowEntry* entry = sheet_index_find_row(index, row);
    if (entry) status = sheet_index_find_cell(index, static_cast<uint32_t>(entry - index->rows), column, &element);
    if (status == XLSX_OK && !element) status = XLSX_ERR_NOT_FOUND;
  }
  sheet_index_commit(index);
  if (status != XLSX_OK) return status;
  *out = XlsxCell{element, shared_strings_of(sheet), index};
  return XLSX_OK;
}

uint32_t compute_max_column(XlsxSheetIndex* index) {
  uint32_t result = 1;
  for (uint32_t i = 0; i < index->row_count; i++) {
    sheet_index_check_cells(index, &index->rows[i]);
    uint32_t column = sheet_cell_column(sheet_last_cell(index->rows[i].node));
    if (column > result) result = column;
  }
  return result;
}

}  // namespace

void xlsx_set_shared_strings_mode(uint32_t mode) { g_shared_strings_mode = mode; }

uint32_t xlsx_shared_strings_mode() { return g_shared_strings_mode; }

xlsx_status xlsx_sheet_cell(XlsxWorksheet* sheet, uint32_t row, uint32_t column, XlsxCell* out) {
  if (!out) return XLSX_ERR_INVALID_ARG;
  return lookup(sheet, row, column, true, out);
}

xlsx_status xlsx_sheet_find_cell(XlsxWorksheet* sheet, uint32_t row, uint32_t column, XlsxCell* out) {
  if (!out) return XLSX_ERR_INVALID_ARG;
  return lookup(sheet, row, column, false, out);
}

xlsx_status xlsx_sheet_cell_by_ref(XlsxWorksheet* sheet, const char* ref, XlsxCell* out) {
  if (!out) return XLSX_ERR_INVALID_ARG;
  *out = XlsxCell{nullptr, nullptr, nullptr};
  XlsxCellRef parsed;
  xlsx_status status = xlsx_cellref_set_text(&parsed, ref);
  if (status != XLSX_OK) return status;
  if (!ref || !ref[0]) return XLSX_ERR_INVALID_ARG;
  return lookup(sheet, xlsx_cellref_row(&parsed), xlsx_cellref_column(&parsed), true, out);
}

xlsx_status xlsx_sheet_row(XlsxWorksheet* sheet, uint32_t row, XlsxRow* out) {
  if (!out) return XLSX_ERR_INVALID_ARG;
  *out = XlsxRow{nullptr, nullptr, nullptr};
  if (!sheet || row < 1 || row > XLSX_CELLREF_MAX_ROW) return XLSX_ERR_INVALID_ARG;
  XlsxSheetIndex* index = ready_index(sheet);
  if (!index) return index_status(sheet);
  uint32_t position = 0;
  xlsx_status status = sheet_index_row(index, row, &position);
  sheet_index_commit(index);
  if (status != XLSX_OK) return status;
  *out = XlsxRow{index->rows[position].node, shared_strings_of(sheet), index};
  return XLSX_OK;
}

uint32_t xlsx_sheet_row_count(XlsxWorksheet* sheet) {
  XlsxSheetIndex* index = ready_index(sheet);
  if (!index) return 0;
  xlsx_status status = sheet_index_build_rows(index);
  sheet_index_commit(index);
  if (status != XLSX_OK || index->row_count == 0) return 0;
  return index->rows[index->row_count - 1].number;
}

uint32_t xlsx_sheet_column_count(XlsxWorksheet* sheet) {
  XlsxSheetIndex* index = ready_index(sheet);
  if (!index) return 1;
  if (sheet_index_build_rows(index) != XLSX_OK) {
    sheet_index_commit(index);
    return 1;
  }
  if (!index->max_column_known) {
    index->max_column = compute_max_column(index);
    index->max_column_known = 1;
  }
  sheet_index_commit(index);
  return index->max_column;
}

xlsx_status xlsx_cell_ref(const XlsxCell* cell, XlsxCellRef* out) {
  if (!cell || !cell->element || !out) return XLSX_ERR_INTERNAL;
  XmlAttr* r = xml_node_attribute(cell->element, "r");
  if (!r || !xml_attribute_value(r)[0]) {
    xlsx_cellref_set_text(out, nullptr);
    return XLSX_ERR_INVALID_ARG;
  }
  return xlsx_cellref_set_text(out, xml_attribute_value(r));
}

xlsx_status xlsx_range_init(XlsxWorksheet* sheet, const XlsxCellRef* first, const XlsxCellRef* last,
                            XlsxCellRange* out) {
  if (!sheet || !first || !last || !out) return XLSX_ERR_INVALID_ARG;
  uint32_t r1 = xlsx_cellref_row(first), c1 = xlsx_cellref_column(first);
  uint32_t r2 = xlsx_cellref_row(last), c2 = xlsx_cellref_column(last);
  if (!xlsx_cellref_is_valid(r1, c1) || !xlsx_cellref_is_valid(r2, c2)) return XLSX_ERR_INVALID_ARG;
  XlsxCellRange range;
  std::memset(&range, 0, sizeof range);
  xlsx_cellref_set(&range.first, r1 < r2 ? r1 : r2, c1 < c2 ? c1 : c2);
  xlsx_cellref_set(&range.last, r1 < r2 ? r2 : r1, c1 < c2 ? c2 : c1);
  range.sheet = *sheet;
  range.sheet_data = xml_node_child(xlsx_part_root(sheet->part), "sheetData");
  range.shared_strings = shared_strings_of(sheet);
  *out = range;
  return XLSX_OK;
}

xlsx_status xlsx_iter_begin(XlsxCellIterator* iter, const XlsxCellRange* range) {
  if (!iter) return XLSX_ERR_INVALID_ARG;
  std::memset(iter, 0, sizeof *iter);
  iter->at_end = 1;
  if (!range) return XLSX_ERR_INVALID_ARG;
  iter->range = *range;
  iter->row = xlsx_cellref_row(&range->first);
  iter->column = xlsx_cellref_column(&range->first);
  xlsx_status status = xlsx_sheet_cell(&iter->range.sheet, iter->row, iter->column, &iter->cell);
  iter->at_end = status == XLSX_OK ? 0 : 1;
  return status;
}

bool xlsx_iter_at_end(const XlsxCellIterator* iter) { return !iter || iter->at_end || !iter->cell.element; }

void xlsx_iter_next(XlsxCellIterator* iter) {
  if (xlsx_iter_at_end(iter)) return;
  uint32_t row = iter->row, column = iter->column;
  if (column < xlsx_cellref_column(&iter->range.last)) {
    column++;
  } else if (row >= xlsx_cellref_row(&iter->range.last)) {
    iter->at_end = 1;
    iter->cell = XlsxCell{nullptr, nullptr, nullptr};
    return;
  } else {
    row++;
    column = xlsx_cellref_column(&iter->range.first);
  }
  if (xlsx_sheet_cell(&iter->range.sheet, row, column, &iter->cell) != XLSX_OK) {
    iter->at_end = 1;
    return;
  }
  iter->row = row;
  iter->column = column;
}

XlsxCell xlsx_iter_cell(const XlsxCellIterator* iter) {
  if (!iter || iter->at_end) return XlsxCell{nullptr, nullptr, nullptr};
  return iter->cell;
}

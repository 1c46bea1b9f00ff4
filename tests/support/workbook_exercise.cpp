// Reading and editing a workbook of unknown contents through the library's public interface.
#include "tests/support/workbook_exercise.h"

#include "lib/base/alloc.h"
#include "lib/document/document.h"
#include "lib/package/part.h"
#include "lib/sheet/cell.h"
#include "lib/sheet/columns.h"
#include "lib/sheet/workbook.h"
#include "lib/sheet/worksheet.h"
#include "lib/xml/tree.h"

namespace {

// Counts a status into the result: "not found" and "invalid" are answers, not failures.
void count(WorkbookExerciseResult* result, xlsx_status status) {
  if (status == XLSX_OK || status == XLSX_ERR_NOT_FOUND || status == XLSX_ERR_INVALID_ARG) return;
  ++result->failures;
  if (status == XLSX_ERR_NO_MEMORY) ++result->no_memory;
}

// Reads the value and the formula of the cell named by the element's `r`.
void read_cell(XlsxWorksheet* sheet, XmlNode* element, const XlsxCell& any, WorkbookExerciseResult* result) {
  XlsxCell probe{element, any.shared_strings, nullptr};
  XlsxCellRef ref;
  if (xlsx_cell_ref(&probe, &ref) != XLSX_OK) return;
  XlsxCell cell;
  xlsx_status status = xlsx_sheet_find_cell(sheet, xlsx_cellref_row(&ref), xlsx_cellref_column(&ref), &cell);
  count(result, status);
  if (status != XLSX_OK) return;
  XlsxCellValue value;
  if (xlsx_value_init(&value) == XLSX_OK) {
    count(result, xlsx_cell_get_value(&cell, &value));
    const char* text = nullptr;
    if (xlsx_value_get_text(&value, &text) == XLSX_OK && !text) ++result->failures;
    ++result->cells_read;
  }
  xlsx_value_reset(&value);
  if (xlsx_cell_has_formula(&cell)) {
    XlsxText formula{nullptr};
    xlsx_status got = xlsx_cell_get_formula(&cell, &formula);
    if (got != XLSX_ERR_UNSUPPORTED) count(result, got);
    xlsx_free(formula.text);
  }
}

// Walks the `row` and `c` elements of the sheet's `sheetData` in document order.
void read_sheet(XlsxWorksheet* sheet, uint32_t max_cells, WorkbookExerciseResult* result) {
  XmlNode* root = xlsx_part_root(sheet->part);
  XmlNode* data = xml_node_child(root, "sheetData");
  xlsx_sheet_row_count(sheet);
  xlsx_sheet_column_count(sheet);
  XlsxCell any{nullptr, sheet->workbook->shared_strings, nullptr};
  for (XmlNode* row = xml_node_child(data, "row"); row; row = xml_node_next_sibling_named(row, "row")) {
    for (XmlNode* c = xml_node_child(row, "c"); c; c = xml_node_next_sibling_named(c, "c")) {
      if (result->cells_read >= max_cells) return;
      read_cell(sheet, c, any, result);
    }
  }
}

}  // namespace

WorkbookExerciseResult workbook_read_all(XlsxDocument* document, uint32_t max_cells) {
  WorkbookExerciseResult result{0, 0, 0, 0, 0};
  XlsxWorkbook* workbook = xlsx_document_workbook(document);
  if (!workbook) return result;
  result.sheets = xlsx_workbook_sheet_count(workbook);
  for (uint32_t position = 1; position <= result.sheets; ++position) {
    xlsx_workbook_sheet_name_at(workbook, position);
    XlsxWorksheet sheet;
    xlsx_status status = xlsx_workbook_worksheet_at(workbook, position, &sheet);
    if (status != XLSX_OK) {
      if (status == XLSX_ERR_NO_MEMORY) ++result.no_memory;
      continue;
    }
    ++result.worksheets;
    xlsx_worksheet_name(&sheet);
    xlsx_worksheet_state(&sheet);
    xlsx_worksheet_is_active(&sheet);
    read_sheet(&sheet, max_cells, &result);
  }
  return result;
}

void workbook_edit(XlsxDocument* document, WorkbookExerciseResult* result) {
  XlsxWorkbook* workbook = xlsx_document_workbook(document);
  if (!workbook) return;
  XlsxWorksheet sheet;
  if (xlsx_workbook_worksheet_at(workbook, 1, &sheet) == XLSX_OK) {
    XlsxCellValue value;
    if (xlsx_value_init(&value) == XLSX_OK) {
      const struct {
        uint32_t row, column;
      } places[] = {{1, 1}, {2, 2}, {3, 3}, {1048576, 16384}};
      for (uint32_t i = 0; i < 4; ++i) {
        XlsxCell cell;
        xlsx_status status = xlsx_sheet_cell(&sheet, places[i].row, places[i].column, &cell);
        count(result, status);
        if (status != XLSX_OK) continue;
        if (i == 0) count(result, xlsx_value_set_string(&value, "edited text"));
        if (i == 1) xlsx_value_set_int(&value, -1234567890123LL);
        if (i == 2) xlsx_value_set_float(&value, 2.5);
        if (i == 3) xlsx_value_set_bool(&value, 1);
        count(result, xlsx_cell_set_value(&cell, &value));
        if (i == 2) count(result, xlsx_cell_set_formula(&cell, "A1&B2"));
      }
      xlsx_value_reset(&value);
    }
    XlsxColumn column;
    if (xlsx_sheet_column(&sheet, 2, &column) == XLSX_OK) count(result, xlsx_column_set_width(&column, 20.0f));
    XlsxRow row;
    if (xlsx_sheet_row(&sheet, 2, &row) == XLSX_OK) count(result, xlsx_row_set_height(&row, 30.0f));
  }
  count(result, xlsx_workbook_add_sheet(workbook, "Added by test"));
}

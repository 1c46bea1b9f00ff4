// Edits of a workbook and their check, through the library's public interface.
#include "tests/faults/workbook_edits.h"

#include "lib/base/alloc.h"
#include "lib/document/document.h"
#include "lib/sheet/cell.h"
#include "lib/sheet/workbook.h"
#include "lib/sheet/worksheet.h"

namespace xlsx_test {
namespace {

void note(EditLog* log, xlsx_status status, bool* flag) {
  *flag = status == XLSX_OK;
  if (status != XLSX_OK && log->first_failure == XLSX_OK) log->first_failure = status;
}

// Sets the value of the cell at (row, column) of the first sheet.
xlsx_status set_cell(XlsxDocument* document, uint32_t row, uint32_t column, const XlsxCellValue* value,
                     const char* formula) {
  XlsxWorksheet sheet;
  xlsx_status status = xlsx_workbook_worksheet_at(xlsx_document_workbook(document), 1, &sheet);
  XlsxCell cell;
  if (status == XLSX_OK) status = xlsx_sheet_cell(&sheet, row, column, &cell);
  if (status != XLSX_OK) return status;
  return formula ? xlsx_cell_set_formula(&cell, formula) : xlsx_cell_set_value(&cell, value);
}

// The cell's value and formula as one text: "s:changed text", "i:4711", "f:B2*2", "d:1.5".
std::string read_cell(XlsxDocument* document, uint32_t row, uint32_t column) {
  XlsxWorksheet sheet;
  XlsxCell cell;
  if (xlsx_workbook_worksheet_at(xlsx_document_workbook(document), 1, &sheet) != XLSX_OK ||
      xlsx_sheet_find_cell(&sheet, row, column, &cell) != XLSX_OK)
    return "<none>";
  if (xlsx_cell_has_formula(&cell)) {
    XlsxText formula{nullptr};
    std::string text = xlsx_cell_get_formula(&cell, &formula) == XLSX_OK ? "f:" + std::string(xlsx_text_get(&formula)) : "<f?>";
    xlsx_free(formula.text);
    return text;
  }
  XlsxCellValue value;
  xlsx_value_init(&value);
  std::string text = "<?>";
  const char* got = nullptr;
  int64_t integer = 0;
  double number = 0;
  if (xlsx_cell_get_value(&cell, &value) == XLSX_OK) {
    if (xlsx_value_get_text(&value, &got) == XLSX_OK) text = "s:" + std::string(got);
    if (xlsx_value_get_int(&value, &integer) == XLSX_OK) text = "i:" + std::to_string(integer);
    if (xlsx_value_get_float(&value, &number) == XLSX_OK) text = "d:" + std::to_string(number);
  }
  xlsx_value_reset(&value);
  return text;
}

}  // namespace

EditLog apply_edits(XlsxDocument* document) {
  EditLog log;
  XlsxCellValue value;
  note(&log, xlsx_value_init(&value), &log.text);
  if (log.text) {
    xlsx_status status = xlsx_value_set_string(&value, "changed text");
    if (status == XLSX_OK) status = set_cell(document, 1, 1, &value, nullptr);
    note(&log, status, &log.text);
    xlsx_value_set_int(&value, 4711);
    note(&log, set_cell(document, 2, 2, &value, nullptr), &log.number);
    xlsx_value_set_float(&value, 1.5);
    note(&log, set_cell(document, 1048576, 16384, &value, nullptr), &log.far);
  }
  xlsx_value_reset(&value);
  note(&log, set_cell(document, 3, 3, nullptr, "B2*2"), &log.formula);
  XlsxWorkbook* workbook = xlsx_document_workbook(document);
  note(&log, xlsx_workbook_add_sheet(workbook, "Extra"), &log.sheet);
  const char* rel_id = xlsx_workbook_sheet_rid(workbook, xlsx_workbook_sheet_name_at(workbook, 2));
  log.lookup_failed = !*rel_id;
  if (!log.lookup_failed) note(&log, xlsx_workbook_rename_sheet(workbook, rel_id, "Renamed"), &log.renamed);
  return log;
}

std::string missing_edits(XlsxDocument* document, const EditLog& log) {
  std::string missing;
  if (log.text && read_cell(document, 1, 1) != "s:changed text") missing += " A1=" + read_cell(document, 1, 1);
  if (log.number && read_cell(document, 2, 2) != "i:4711") missing += " B2=" + read_cell(document, 2, 2);
  if (log.formula && read_cell(document, 3, 3) != "f:B2*2") missing += " C3=" + read_cell(document, 3, 3);
  if (log.far && read_cell(document, 1048576, 16384) != "d:1.500000") missing += " XFD1048576";
  XlsxWorkbook* workbook = xlsx_document_workbook(document);
  if (log.sheet && !xlsx_workbook_sheet_exists(workbook, "Extra")) missing += " sheet Extra";
  if (log.renamed && !xlsx_workbook_sheet_exists(workbook, "Renamed")) missing += " sheet Renamed";
  return missing;
}

}  // namespace xlsx_test

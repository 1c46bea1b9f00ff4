// Cell formats for the formatting commands.
#include "plugin/cell_formats.h"

#include <cstring>

#include "lib/document/document.h"
#include "lib/package/part.h"
#include "lib/sheet/cellref.h"
#include "lib/sheet/date_serial.h"
#include "lib/sheet/workbook.h"

namespace {

// The most cells one range text may name: a typing error such as "A1:XFD1048576" is refused rather than
// made into seventeen billion cells.
constexpr uint64_t kMaxRangeCells = 1u << 24;

XlsxWorkbook* CallWorkbook(const SheetCall* call) { return xlsx_document_workbook(call->record->document); }

// The styles of the call's document; XLSX_ERR_NOT_FOUND when it has none.
xlsx_status CallStyles(SheetCall* call, XlsxStyles** out) { return xlsx_workbook_styles(CallWorkbook(call), out); }

// The styles a change needs, added to a document that has none.
xlsx_status StylesToChange(SheetCall* call, XlsxStyles** out) {
  return xlsx_workbook_styles_to_change(CallWorkbook(call), out);
}

// The corners of a range text "A1:D4"; false when it is not one.
bool RangeCorners(const char* text, XlsxCellRef* first, XlsxCellRef* last) {
  const char* colon = std::strchr(text, ':');
  char corner[16];
  size_t length = static_cast<size_t>(colon - text);
  if (length >= sizeof corner) return false;
  std::memcpy(corner, text, length);
  corner[length] = '\0';
  return xlsx_cellref_set_text(first, corner) == XLSX_OK && xlsx_cellref_set_text(last, colon + 1) == XLSX_OK;
}

// Runs work on every cell of a range text within one edit of the sheet and the styles.
template <typename Work>
xlsx_status OnRange(SheetCall* call, const char* text, XlsxStyles* styles, Work work) {
  XlsxCellRef first{}, last{};
  XlsxWorksheet* sheet = nullptr;
  XlsxCellRange range{};
  if (!RangeCorners(text, &first, &last)) return XLSX_ERR_INVALID_ARG;
  xlsx_status status = CallWorksheet(call, &sheet);
  if (status == XLSX_OK) status = xlsx_range_init(sheet, &first, &last, &range);
  if (status != XLSX_OK) return status;
  uint64_t rows = xlsx_cellref_row(&range.last) - xlsx_cellref_row(&range.first) + 1;
  uint64_t columns = xlsx_cellref_column(&range.last) - xlsx_cellref_column(&range.first) + 1;
  if (rows * columns > kMaxRangeCells) return XLSX_ERR_INVALID_ARG;
  XmlDoc* tree = xlsx_part_load(sheet->part);
  status = xlsx_styles_edit_begin(styles, tree);
  if (status != XLSX_OK) return status;
  XlsxCellIterator iter{};
  uint64_t done = 0;
  status = xlsx_iter_begin(&iter, &range);
  for (; status == XLSX_OK && !xlsx_iter_at_end(&iter); xlsx_iter_next(&iter), done++) {
    XlsxCell cell = xlsx_iter_cell(&iter);
    status = work(&cell);
  }
  // The walk also ends when a cell cannot be made.
  if (status == XLSX_OK && done != rows * columns) status = XLSX_ERR_NO_MEMORY;
  return xlsx_styles_edit_end(styles, tree, status);
}

// Runs work on the cell args names, or on every cell of its range text.
template <typename Work>
xlsx_status OnCells(SheetCall* call, const CellArgs* args, Work work) {
  XlsxStyles* styles = nullptr;
  xlsx_status status = StylesToChange(call, &styles);
  if (status != XLSX_OK) return status;
  if (args->ref && std::strchr(args->ref, ':')) return OnRange(call, args->ref, styles, [&](XlsxCell* cell) {
    return work(styles, cell);
  });
  XlsxCell cell{};
  status = CallCell(call, args, &cell);
  return status == XLSX_OK ? work(styles, &cell) : status;
}

}  // namespace

xlsx_status ReadCellFormat(SheetCall* call, const CellArgs* args, CellFormat* out) {
  *out = CellFormat{};
  XlsxCell cell{};
  xlsx_status status = CallCell(call, args, &cell);
  if (status != XLSX_OK) return status;
  status = CallStyles(call, &out->styles);
  out->xf = xlsx_cell_style(&cell);
  return status == XLSX_ERR_NOT_FOUND ? XLSX_OK : status;
}

xlsx_status ChangeCellFormat(SheetCall* call, const CellArgs* args, const XlsxStyleChange* change) {
  return OnCells(call, args, [change](XlsxStyles* styles, XlsxCell* cell) {
    return xlsx_styles_apply(styles, cell, change);
  });
}

bool CallDate1904(SheetCall* call) { return xlsx_workbook_date1904(CallWorkbook(call)); }

xlsx_status StoreCellDate(SheetCall* call, const CellArgs* args, double serial, const char* code) {
  return OnCells(call, args, [serial, code](XlsxStyles* styles, XlsxCell* cell) {
    return xlsx_styles_set_date(styles, cell, serial, code);
  });
}

xlsx_status ReadCellDate(SheetCall* call, const CellArgs* args, char* text, bool* has) {
  *has = false;
  text[0] = '\0';
  ScriptValue value{};
  xlsx_status status = ReadCellValue(call, args, &value);
  if (status != XLSX_OK) return status;
  if (value.type == CELL_TYPE_INTEGER || value.type == CELL_TYPE_FLOAT)
    *has = xlsx_serial_to_date_text(value.number, CallDate1904(call), text);
  ReleaseScriptValue(&value);
  return XLSX_OK;
}

xlsx_status CopyCellFormat(SheetCall* call, const CellArgs* from, const CellArgs* to) {
  XlsxCell source{};
  xlsx_status status = CallCell(call, from, &source);
  if (status != XLSX_OK) return status;
  uint32_t xf = xlsx_cell_style(&source);
  return OnCells(call, to, [xf](XlsxStyles*, XlsxCell* cell) { return xlsx_cell_set_style(cell, xf); });
}

// The access layer of the sheet layout commands.
#include "plugin/layout_access.h"

#include "lib/base/strbuf.h"
#include "lib/sheet/autofilter.h"
#include "lib/sheet/cell_area.h"
#include "lib/sheet/cellref.h"
#include "lib/sheet/hyperlinks.h"
#include "lib/sheet/merged_cells.h"
#include "lib/sheet/panes.h"
#include "lib/sheet/sheet_view.h"

namespace {

// Runs work on the call's worksheet and the area of range: XLSX_ERR_INVALID_ARG when range names none.
template <typename Work>
xlsx_status OnArea(SheetCall* call, const char* range, Work work) {
  XlsxCellArea area{};
  if (!xlsx_area_read(range, &area)) return XLSX_ERR_INVALID_ARG;
  XlsxWorksheet* sheet = nullptr;
  xlsx_status status = CallWorksheet(call, &sheet);
  return status == XLSX_OK ? work(sheet, &area) : status;
}

// The call's worksheet, or null when it cannot be opened (the getters then answer as for none).
XlsxWorksheet* Sheet(SheetCall* call) {
  XlsxWorksheet* sheet = nullptr;
  return CallWorksheet(call, &sheet) == XLSX_OK ? sheet : nullptr;
}

// The row and column of args without creating the cell (a handle's cell exists already).
xlsx_status CellPosition(SheetCall* call, const CellArgs* args, uint32_t* row, uint32_t* column) {
  if (args->handle) {
    char text[kNameBufferSize];
    return CellReference(call, args, column, row, text);
  }
  if (args->ref) return xlsx_cellref_read(args->ref, row, column) ? XLSX_OK : XLSX_ERR_INVALID_ARG;
  *row = static_cast<uint32_t>(args->y);
  *column = static_cast<uint32_t>(args->x);
  return xlsx_cellref_is_valid(*row, *column) ? XLSX_OK : XLSX_ERR_INVALID_ARG;
}

// Runs work on the call's worksheet and the cell of args.
template <typename Work>
xlsx_status OnCellPosition(SheetCall* call, const CellArgs* args, Work work) {
  uint32_t row = 0, column = 0;
  XlsxWorksheet* sheet = nullptr;
  xlsx_status status = CellPosition(call, args, &row, &column);
  if (status == XLSX_OK) status = CallWorksheet(call, &sheet);
  return status == XLSX_OK ? work(sheet, row, column) : status;
}

}  // namespace

bool IsRangeText(const char* range) {
  XlsxCellArea area{};
  return xlsx_area_read(range, &area);
}

xlsx_status MergeRange(SheetCall* call, const char* range) {
  return OnArea(call, range, [](XlsxWorksheet* sheet, const XlsxCellArea* area) { return xlsx_sheet_merge(sheet, area); });
}

bool RangeOverlapsMerged(SheetCall* call, const char* range) {
  return OnArea(call, range, [](XlsxWorksheet* sheet, const XlsxCellArea* area) {
           return xlsx_sheet_merge_overlaps(sheet, area) ? XLSX_OK : XLSX_ERR_NOT_FOUND;
         }) == XLSX_OK;
}

xlsx_status UnmergeRange(SheetCall* call, const char* range) {
  return OnArea(call, range, [](XlsxWorksheet* sheet, const XlsxCellArea* area) { return xlsx_sheet_unmerge(sheet, area); });
}

uint32_t MergedCount(SheetCall* call) { return xlsx_sheet_merged_count(Sheet(call)); }

const char* MergedRange(SheetCall* call, int32_t n) {
  return n < 1 ? "" : xlsx_sheet_merged_ref(Sheet(call), static_cast<uint32_t>(n));
}

xlsx_status FreezePanes(SheetCall* call, int32_t x, int32_t y) {
  XlsxWorksheet* sheet = nullptr;
  xlsx_status status = CallWorksheet(call, &sheet);
  uint32_t columns = x > 1 ? static_cast<uint32_t>(x - 1) : 0;
  uint32_t rows = y > 1 ? static_cast<uint32_t>(y - 1) : 0;
  return status == XLSX_OK ? xlsx_sheet_freeze(sheet, columns, rows) : status;
}

void FrozenPanes(SheetCall* call, int32_t* x, int32_t* y) {
  uint32_t columns = 0, rows = 0;
  xlsx_sheet_frozen(Sheet(call), &columns, &rows);
  bool frozen = columns || rows;
  *x = frozen ? static_cast<int32_t>(columns + 1) : 0;
  *y = frozen ? static_cast<int32_t>(rows + 1) : 0;
}

xlsx_status SetAutoFilter(SheetCall* call, const char* range) {
  if (!range) {
    XlsxWorksheet* sheet = nullptr;
    xlsx_status status = CallWorksheet(call, &sheet);
    return status == XLSX_OK ? xlsx_sheet_clear_autofilter(sheet) : status;
  }
  return OnArea(call, range,
                [](XlsxWorksheet* sheet, const XlsxCellArea* area) { return xlsx_sheet_set_autofilter(sheet, area); });
}

const char* AutoFilterRange(SheetCall* call) { return xlsx_sheet_autofilter_ref(Sheet(call)); }

int32_t TabColor(SheetCall* call) {
  XlsxWorksheet* sheet = Sheet(call);
  XlsxColor color{};
  // A tab given by palette entry or theme colour reads as applications show it.
  if (!xlsx_sheet_has_tab_color(sheet)) return xlsx_sheet_tab_color_shown(sheet);
  if (xlsx_sheet_tab_color(sheet, &color) != XLSX_OK) return XLSX_COLOR_NONE;
  return (color.red << 16) | (color.green << 8) | color.blue;
}

xlsx_status SetTabColor(SheetCall* call, int32_t color) {
  if (color != XLSX_COLOR_NONE && (color < 0 || color > 0xFFFFFF)) return XLSX_ERR_INVALID_ARG;
  XlsxWorksheet* sheet = nullptr;
  xlsx_status status = CallWorksheet(call, &sheet);
  if (status != XLSX_OK) return status;
  if (color == XLSX_COLOR_NONE) return xlsx_sheet_clear_tab_color(sheet);
  uint32_t rgb = static_cast<uint32_t>(color);
  XlsxColor value{255, static_cast<uint8_t>(rgb >> 16), static_cast<uint8_t>(rgb >> 8), static_cast<uint8_t>(rgb)};
  return xlsx_sheet_set_tab_color(sheet, &value);
}

xlsx_status SetCellHyperlink(SheetCall* call, const CellArgs* args, const char* target, const char* tooltip) {
  return OnCellPosition(call, args, [target, tooltip](XlsxWorksheet* sheet, uint32_t row, uint32_t column) {
    return xlsx_sheet_set_hyperlink(sheet, row, column, target, tooltip);
  });
}

xlsx_status ClearCellHyperlink(SheetCall* call, const CellArgs* args) {
  return OnCellPosition(call, args, [](XlsxWorksheet* sheet, uint32_t row, uint32_t column) {
    return xlsx_sheet_clear_hyperlink(sheet, row, column);
  });
}

xlsx_status PushCellHyperlink(HostState* L, SheetCall* call, const CellArgs* args) {
  XlsxHyperlink link{};
  xlsx_status status = OnCellPosition(call, args, [&link](XlsxWorksheet* sheet, uint32_t row, uint32_t column) {
    xlsx_sheet_hyperlink(sheet, row, column, &link);
    return XLSX_OK;
  });
  if (status != XLSX_OK) return status;
  StrBuf target;
  strbuf_init(&target);
  bool both = link.target[0] && link.location[0];
  if (both && strbuf_appendf(&target, "%s#%s", link.target, link.location) < 0) {
    strbuf_free(&target);
    return XLSX_ERR_NO_MEMORY;
  }
  PushHostText(L, both ? target.data : link.target[0] ? link.target : link.location);
  strbuf_free(&target);
  PushHostText(L, link.tooltip);
  return XLSX_OK;
}

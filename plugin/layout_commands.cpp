// Sheet layout commands: merged cells, frozen panes, the filter, the tab colour and cell hyperlinks.
// Each reads its arguments in help-text order (the optional sheet last), then finds the document and
// checks the sheet, then checks its own values: a range text that names no area reports "Specified cell
// is out of range!", as does a cell the library cannot resolve; a change the library cannot make
// reports "XSLX operation has failed!".
#include "plugin/access.h"
#include "plugin/commands.h"
#include "plugin/globals.h"
#include "plugin/layout_access.h"

namespace {

// Commands of the form (id[, sheet]): finds the document and checks the sheet. 0 or the error code.
int32_t ReadSheetCall(HostState* L, int32_t sheet_at, SheetCall* call) {
  ObjectId id = ArgId(L);
  int32_t sheet = OptArgInt(L, sheet_at, 0);
  return FindDocumentSheet(&id, sheet, call, true);
}

// Commands of the form (id, number[, sheet]): finds the document and checks the sheet. 0 or the error code.
int32_t ReadNumberCall(HostState* L, int32_t* number, SheetCall* call) {
  ObjectId id = ArgId(L);
  *number = ArgInt(L, 2);
  int32_t sheet = OptArgInt(L, 3, 0);
  return FindDocumentSheet(&id, sheet, call, true);
}

// Commands of the form (id, range$[, sheet]): reads the range, finds the document and checks the sheet
// and the range. 0 or the error code.
int32_t ReadRangeCall(HostState* L, const char** range, SheetCall* call) {
  ObjectId id = ArgId(L);
  *range = Host()->CheckString(L, 2);
  int32_t sheet = OptArgInt(L, 3, 0);
  if (int32_t error = FindDocumentSheet(&id, sheet, call, true)) return error;
  return IsRangeText(*range) ? 0 : ErrorCode(ERROR_CELL_RANGE);
}

// What a change answers: nothing when made, "Specified cell is out of range!" for a cell or range the
// library refuses, "XSLX operation has failed!" otherwise.
int32_t LayoutResult(xlsx_status status) {
  if (status == XLSX_ERR_INVALID_ARG || status == XLSX_ERR_NOT_FOUND) return ErrorCode(ERROR_CELL_RANGE);
  return ChangeResult(status == XLSX_OK);
}

// Commands of the form (id, range$[, sheet]) that change the sheet with the range.
int32_t ChangeRange(HostState* L, xlsx_status (*change)(SheetCall*, const char*)) {
  SheetCall call{};
  const char* range = nullptr;
  if (int32_t error = ReadRangeCall(L, &range, &call)) return error;
  return LayoutResult(change(&call, range));
}

// Commands of the form (id[, sheet]) that push one number read from the sheet.
int32_t PushSheetNumber(HostState* L, double (*read)(SheetCall*)) {
  SheetCall call{};
  if (int32_t error = ReadSheetCall(L, 2, &call)) return error;
  Host()->PushNumber(L, read(&call));
  return 1;
}

// A cell command: the id, the cell from argument 2 and the position after it.
struct LinkCall {
  CellArgs cell;
  int32_t next;
  SheetCall sheet;
};

ObjectId ReadLinkCell(HostState* L, LinkCall* call) {
  ObjectId id = ArgId(L);
  call->next = 2;
  ParseCellArgs(L, &call->next, &call->cell, true);
  return id;
}

}  // namespace

// MergeCells(id, range$[, sheet]): a single cell, or a range sharing a cell with merged cells, is refused.
int32_t CmdMergeCells(HostState* L) {
  SheetCall call{};
  const char* range = nullptr;
  if (int32_t error = ReadRangeCall(L, &range, &call)) return error;
  if (RangeOverlapsMerged(&call, range)) return ErrorCode(ERROR_MERGE_OVERLAP);
  return LayoutResult(MergeRange(&call, range));
}

// UnmergeCells(id, range$[, sheet]): every merged range sharing a cell with range.
int32_t CmdUnmergeCells(HostState* L) { return ChangeRange(L, UnmergeRange); }

int32_t CmdGetMergedCount(HostState* L) {
  return PushSheetNumber(L, [](SheetCall* call) -> double { return MergedCount(call); });
}

// GetMergedRange(id, n[, sheet]): n from 1 to GetMergedCount.
int32_t CmdGetMergedRange(HostState* L) {
  SheetCall call{};
  int32_t n = 0;
  if (int32_t error = ReadNumberCall(L, &n, &call)) return error;
  const char* range = MergedRange(&call, n);
  if (!range[0]) return ErrorCode(ERROR_OPERATION);
  PushHostText(L, range);
  return 1;
}

// FreezePanes(id, x, y[, sheet]): x and y name the first unfrozen column and row; 0, 0 unfreezes.
int32_t CmdFreezePanes(HostState* L) {
  ObjectId id = ArgId(L);
  int32_t x = ArgInt(L, 2);
  int32_t y = ArgInt(L, 3);
  int32_t sheet = OptArgInt(L, 4, 0);
  SheetCall call{};
  if (int32_t error = FindDocumentSheet(&id, sheet, &call, true)) return error;
  if (x < 0 || x > static_cast<int32_t>(XLSX_CELLREF_MAX_COLUMN)) return ErrorCode(ERROR_COLUMN_RANGE);
  if (y < 0 || y > static_cast<int32_t>(XLSX_CELLREF_MAX_ROW)) return ErrorCode(ERROR_ROW_RANGE);
  return ChangeResult(FreezePanes(&call, x, y) == XLSX_OK);
}

// GetFrozenPanes(id[, sheet]) -> x, y: 0, 0 when nothing is frozen.
int32_t CmdGetFrozenPanes(HostState* L) {
  SheetCall call{};
  if (int32_t error = ReadSheetCall(L, 2, &call)) return error;
  int32_t x = 0, y = 0;
  FrozenPanes(&call, &x, &y);
  Host()->PushNumber(L, x);
  Host()->PushNumber(L, y);
  return 2;
}

int32_t CmdSetAutoFilter(HostState* L) { return ChangeRange(L, SetAutoFilter); }

int32_t CmdClearAutoFilter(HostState* L) {
  SheetCall call{};
  if (int32_t error = ReadSheetCall(L, 2, &call)) return error;
  return ChangeResult(SetAutoFilter(&call, nullptr) == XLSX_OK);
}

// GetAutoFilter(id[, sheet]) -> range$: "" when the sheet has no filter.
int32_t CmdGetAutoFilter(HostState* L) {
  SheetCall call{};
  if (int32_t error = ReadSheetCall(L, 2, &call)) return error;
  PushHostText(L, AutoFilterRange(&call));
  return 1;
}

// SetSheetTabColor(id, color[, sheet]): 0xRRGGBB, or XLSX_COLOR_NONE to remove the colour.
int32_t CmdSetSheetTabColor(HostState* L) {
  SheetCall call{};
  int32_t color = 0;
  if (int32_t error = ReadNumberCall(L, &color, &call)) return error;
  return ChangeResult(SetTabColor(&call, color) == XLSX_OK);
}

int32_t CmdGetSheetTabColor(HostState* L) {
  return PushSheetNumber(L, [](SheetCall* call) -> double { return TabColor(call); });
}

// SetCellHyperlink(id, cell, target$[, tooltip$, sheet]): a target with a scheme (https:, mailto:) is
// an outside address, any other text a place in the workbook ("Sheet2!A1"). The texts are read after
// the checks; a nil tooltip is none.
int32_t CmdSetCellHyperlink(HostState* L) {
  const HostApi* host = Host();
  LinkCall call{};
  ObjectId id = ReadLinkCell(L, &call);
  int32_t at = call.next;
  int32_t sheet = OptArgInt(L, at + 2, 0);
  if (int32_t error = FindDocumentSheet(&id, sheet, &call.sheet, !call.cell.handle)) return error;
  const char* target = host->CheckString(L, at);
  const char* tooltip = host->ValueType(L, at + 1) > HOST_TNIL ? host->CheckString(L, at + 1) : nullptr;
  xlsx_status status = WithLibraryText(target, [&](const char* target_text) {
    return WithLibraryText(tooltip, [&](const char* tooltip_text) {
      return SetCellHyperlink(&call.sheet, &call.cell, target_text, tooltip_text);
    });
  });
  return LayoutResult(status);
}

// GetCellHyperlink(id, cell[, sheet]) -> target$, tooltip$: "" and "" when the cell has no link.
int32_t CmdGetCellHyperlink(HostState* L) {
  LinkCall call{};
  ObjectId id = ReadLinkCell(L, &call);
  int32_t sheet = OptArgInt(L, call.next, 0);
  if (int32_t error = FindDocumentSheet(&id, sheet, &call.sheet, !call.cell.handle)) return error;
  xlsx_status status = PushCellHyperlink(L, &call.sheet, &call.cell);
  return status == XLSX_OK ? 2 : LayoutResult(status);
}

int32_t CmdClearCellHyperlink(HostState* L) {
  LinkCall call{};
  ObjectId id = ReadLinkCell(L, &call);
  int32_t sheet = OptArgInt(L, call.next, 0);
  if (int32_t error = FindDocumentSheet(&id, sheet, &call.sheet, !call.cell.handle)) return error;
  return LayoutResult(ClearCellHyperlink(&call.sheet, &call.cell));
}

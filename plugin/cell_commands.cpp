// Single-cell commands: values, formulas and references. Each reads the cell address from argument 2
// (x and y, a reference text, or a CellRange position handle), then its other arguments, then finds the
// document and checks the sheet; a cell the library cannot resolve or change reports
// "Specified cell is out of range!".
#include "lib/sheet/cell.h"
#include "plugin/access.h"
#include "plugin/commands.h"
#include "plugin/globals.h"

namespace {

// A single-cell command's arguments: the id, the cell and the position of the arguments after it; then
// the document and sheet they name.
struct CellCall {
  ObjectId id;
  CellArgs cell;
  int32_t next;
  SheetCall sheet;
};

// Reads the id (1) and the cell (from 2 on).
void ReadCell(HostState* L, CellCall* call) {
  call->id = ArgId(L);
  call->next = 2;
  ParseCellArgs(L, &call->next, &call->cell, true);
}

// For commands whose only argument after the cell is the optional sheet, or whose further arguments are
// read after the checks: reads the id, the cell and the sheet `sheet_after` places after the cell, then
// finds the document and checks the sheet. 0 or the error code.
int32_t ReadCellCall(HostState* L, int32_t sheet_after, CellCall* call) {
  ReadCell(L, call);
  int32_t sheet = OptArgInt(L, call->next + sheet_after, 0);
  return FindDocumentSheet(&call->id, sheet, &call->sheet, !call->cell.handle);
}

int32_t CellResult(xlsx_status status) { return status == XLSX_OK ? 0 : ErrorCode(ERROR_CELL_RANGE); }

}  // namespace

// GetCellValue(id, cell[, sheet]) -> value, type. An error cell gives its own text (#N/A, #DIV/0!, ...).
int32_t CmdGetCellValue(HostState* L) {
  CellCall call{};
  if (int32_t error = ReadCellCall(L, 0, &call)) return error;
  ScriptValue value{};
  if (int32_t error = CellResult(ReadCellValue(&call.sheet, &call.cell, &value))) return error;
  const HostApi* host = Host();
  int32_t type = value.type;
  if (type == CELL_TYPE_EMPTY) host->PushNil(L);
  else if (value.text) PushHostText(L, value.text);
  else host->PushNumber(L, value.number);
  ReleaseScriptValue(&value);
  host->PushNumber(L, type);
  return 2;
}

int32_t CmdGetCellFormula(HostState* L) {
  CellCall call{};
  if (int32_t error = ReadCellCall(L, 0, &call)) return error;
  bool has = false;
  if (int32_t error = CellResult(PushCellFormula(L, &call.sheet, &call.cell, &has))) return error;
  return has ? 1 : ErrorCode(ERROR_NO_FORMULA);
}

int32_t CmdHaveCellFormula(HostState* L) {
  CellCall call{};
  if (int32_t error = ReadCellCall(L, 0, &call)) return error;
  bool has = false;
  if (int32_t error = CellResult(CellHasFormula(&call.sheet, &call.cell, &has))) return error;
  Host()->PushNumber(L, has ? 1 : 0);
  return 1;
}

// SetCellValue(id, cell, val[, type, sheet]). A text value is always stored as text; a number is stored by
// the type code (default CELL_TYPE_ERROR: integer when whole, else floating point). The value is read
// after the checks.
int32_t CmdSetCellValue(HostState* L) {
  const HostApi* host = Host();
  CellCall call{};
  ReadCell(L, &call);
  int32_t at = call.next;
  int32_t type = OptArgInt(L, at + 1, CELL_TYPE_ERROR);
  int32_t sheet = OptArgInt(L, at + 2, 0);
  if (int32_t error = FindDocumentSheet(&call.id, sheet, &call.sheet, !call.cell.handle)) return error;
  if (host->ValueType(L, at) == HOST_TSTRING) type = CELL_TYPE_TEXT;
  if (type != CELL_TYPE_TEXT) {
    double number = host->CheckNumber(L, at);
    return CellResult(StoreCellValue(&call.sheet, &call.cell, type, number, nullptr));
  }
  // The text is converted once the read, which may raise, is done.
  const char* value = host->CheckText(L, at);
  return CellResult(
      WithLibraryText(value, [&](const char* text) { return StoreCellValue(&call.sheet, &call.cell, type, 0, text); }));
}

int32_t CmdClearCellValue(HostState* L) {
  CellCall call{};
  if (int32_t error = ReadCellCall(L, 0, &call)) return error;
  return CellResult(ClearCellValue(&call.sheet, &call.cell));
}

// SetCellFormula(id, cell, f$[, sheet]): stored without a leading "=" and without a cached value; the
// text is read after the checks. A formula with a control character (other than tab and line feed) is
// refused with "XSLX operation has failed!".
int32_t CmdSetCellFormula(HostState* L) {
  CellCall call{};
  if (int32_t error = ReadCellCall(L, 1, &call)) return error;
  const char* formula = Host()->CheckText(L, call.next);
  if (!xlsx_formula_text_valid(formula)) return ErrorCode(ERROR_OPERATION);
  auto set = [&call](const char* text) { return SetCellFormula(&call.sheet, &call.cell, text); };
  return CellResult(WithLibraryText(formula, set));
}

// ClearCellFormula(id, cell[, sheet]): takes no formula; the cached value, if any, stays as a constant.
int32_t CmdClearCellFormula(HostState* L) {
  CellCall call{};
  if (int32_t error = ReadCellCall(L, 0, &call)) return error;
  return CellResult(SetCellFormula(&call.sheet, &call.cell, nullptr));
}

// GetCellReference(id, cell[, xyref, sheet]): xyref 0 gives the text (B3), otherwise column and row.
int32_t CmdGetCellReference(HostState* L) {
  CellCall call{};
  ReadCell(L, &call);
  int32_t xyref = OptArgInt(L, call.next, 0);
  int32_t sheet = OptArgInt(L, call.next + 1, 0);
  if (int32_t error = FindDocumentSheet(&call.id, sheet, &call.sheet, !call.cell.handle)) return error;
  uint32_t column = 0, row = 0;
  char text[kNameBufferSize];
  if (int32_t error = CellResult(CellReference(&call.sheet, &call.cell, &column, &row, text))) return error;
  if (xyref == 0) {
    PushHostText(L, text);
    return 1;
  }
  Host()->PushNumber(L, column);
  Host()->PushNumber(L, row);
  return 2;
}

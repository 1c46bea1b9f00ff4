// Single-cell commands: values, formulas and references. Each reads the cell address from argument 2
// (x and y, a reference text, or a CellRange position handle), then its other arguments, then finds the
// document and checks the sheet; a cell the library cannot resolve or change reports
// "Specified cell is out of range!".
#include "lib/sheet/cellref.h"
#include "lib/sheet/value.h"
#include "plugin/access.h"
#include "plugin/commands.h"
#include "plugin/globals.h"

namespace {

// The arguments every single-cell command starts with: id, the cell, and the position after the cell.
struct CellCall {
  ObjectId id;
  CellArgs cell;
  int32_t next;
};

void ReadCellCall(HostState* L, CellCall* call) {
  Host()->CheckObjectId(L, 1, &call->id);
  call->next = 2;
  ParseCellArgs(L, &call->next, &call->cell, true);
}

// A single-cell command whose arguments after the cell are at most the optional sheet: the call, with the
// document and the sheet found.
struct CellSite {
  CellCall call;
  DocumentRecord* record;
  int32_t index;
};

// Reads the id and the cell, then the optional sheet `sheet_after` places after the cell, and finds the
// document and checks the sheet: 0 or the error code.
int32_t ReadCellSite(HostState* L, int32_t sheet_after, CellSite* site) {
  ReadCellCall(L, &site->call);
  int32_t sheet = OptArgInt(L, site->call.next + sheet_after, 0);
  return FindDocumentSheet(&site->call.id, sheet, &site->record, &site->index);
}

int32_t CellError() { return ErrorCode(ERROR_CELL_RANGE); }

// Pushes a value and its type code: nil, a number (integers and booleans too) or a text; a lent text,
// when given, is the text of a string or error value.
void PushValue(HostState* L, const XlsxCellValue* value, const char* lent = nullptr) {
  const HostApi* host = Host();
  int32_t type = ScriptTypeOf(value);
  switch (type) {
    case CELL_TYPE_INTEGER: host->PushNumber(L, static_cast<double>(value->integer)); break;
    case CELL_TYPE_FLOAT: host->PushNumber(L, value->number); break;
    case CELL_TYPE_BOOLEAN: host->PushNumber(L, value->boolean ? 1 : 0); break;
    case CELL_TYPE_TEXT:
    case CELL_TYPE_ERROR: PushHostText(L, lent ? lent : value->text ? value->text : ""); break;
    default: host->PushNil(L); break;
  }
  host->PushNumber(L, type);
}

}  // namespace

// GetCellValue(id, cell[, sheet]) -> value, type. An error cell gives its own text (#N/A, #DIV/0!, ...).
int32_t CmdGetCellValue(HostState* L) {
  CellCall call{};
  ReadCellCall(L, &call);
  int32_t sheet = OptArgInt(L, call.next, 0);
  SheetCall target{};
  if (int32_t error = FindDocumentWorksheet(&call.id, sheet, &target)) return error;
  // A zeroed value is a valid empty one without text; a string's text is lent by the sheet or the
  // shared strings table and copied once, by the host (converted on the way when it must be).
  XlsxCellValue value{};
  const char* lent = nullptr;
  if (PeekCellValue(&target, &call.cell, &value, &lent) != XLSX_OK) {
    xlsx_value_reset(&value);
    return CellError();
  }
  PushValue(L, &value, lent);
  xlsx_value_reset(&value);
  return 2;
}

int32_t CmdGetCellFormula(HostState* L) {
  CellSite site{};
  if (int32_t error = ReadCellSite(L, 0, &site)) return error;
  XlsxText formula{};
  bool has = false;
  xlsx_status status = GetCellFormula(site.record, site.index, &site.call.cell, &has, &formula);
  if (status != XLSX_OK || !has) {
    xlsx_text_release(&formula);
    return status != XLSX_OK ? CellError() : ErrorCode(ERROR_NO_FORMULA);
  }
  PushHostText(L, xlsx_text_get(&formula));
  xlsx_text_release(&formula);
  return 1;
}

int32_t CmdHaveCellFormula(HostState* L) {
  CellSite site{};
  if (int32_t error = ReadCellSite(L, 0, &site)) return error;
  XlsxCell cell{};
  if (ResolveCell(site.record, site.index, &site.call.cell, &cell) != XLSX_OK) return CellError();
  Host()->PushNumber(L, xlsx_cell_has_formula(&cell) ? 1 : 0);
  return 1;
}

// SetCellValue(id, cell, val[, type, sheet]). A text value is always stored as text; a number is stored by
// the type code (default 14: integer when whole, else floating point).
int32_t CmdSetCellValue(HostState* L) {
  const HostApi* host = Host();
  CellCall call{};
  ReadCellCall(L, &call);
  int32_t at = call.next;
  int32_t type = OptArgInt(L, at + 1, CELL_TYPE_ERROR);
  int32_t sheet = OptArgInt(L, at + 2, 0);
  int32_t given = host->ValueType(L, at);
  if (given == HOST_TSTRING) type = CELL_TYPE_TEXT;
  // A value the reads below would refuse raises once the document and the sheet are checked, with
  // nothing opened on the way (the worksheet is not resolved for it).
  if (given != HOST_TSTRING && given != HOST_TNUMBER) {
    DocumentRecord* record = nullptr;
    int32_t index = 0;
    if (int32_t error = FindDocumentSheet(&call.id, sheet, &record, &index)) return error;
    if (type == CELL_TYPE_TEXT) host->CheckString(L, at);
    else host->CheckNumber(L, at);
  }
  SheetCall target{};
  if (int32_t error = FindDocumentWorksheet(&call.id, sheet, &target)) return error;
  const char* text = nullptr;
  double number = 0;
  if (type == CELL_TYPE_TEXT) text = host->CheckString(L, at);
  else number = host->CheckNumber(L, at);
  // Nothing is acquired before this point: the reads above may raise.
  char* release = nullptr;
  XlsxCellValue value{};
  xlsx_status status = XLSX_OK;
  if (text) {
    // The cell copies the text it stores: the value lends the host's (or the converted) text rather
    // than owning a copy of it, and is not reset.
    value.type = XLSX_VALUE_STRING;
    value.text = const_cast<char*>(ToLibraryText(text, &release));
  } else {
    status = BuildValue(type, number, nullptr, &value);
  }
  XlsxCell cell{};
  if (status == XLSX_OK) status = ResolveCallCell(&target, &call.cell, &cell);
  if (status == XLSX_OK) status = xlsx_cell_set_value(&cell, &value);
  if (!text) xlsx_value_reset(&value);
  ReleaseLibraryText(release);
  return status == XLSX_OK ? 0 : CellError();
}

int32_t CmdClearCellValue(HostState* L) {
  CellSite site{};
  if (int32_t error = ReadCellSite(L, 0, &site)) return error;
  return ClearCellValue(site.record, site.index, &site.call.cell) == XLSX_OK ? 0 : CellError();
}

// SetCellFormula(id, cell, f$[, sheet]): stored without a cached value; the text is read after the checks.
int32_t CmdSetCellFormula(HostState* L) {
  CellSite site{};
  if (int32_t error = ReadCellSite(L, 1, &site)) return error;
  const char* formula = Host()->CheckString(L, site.call.next);
  char* release = nullptr;
  xlsx_status status = SetCellFormula(site.record, site.index, &site.call.cell, ToLibraryText(formula, &release));
  ReleaseLibraryText(release);
  return status == XLSX_OK ? 0 : CellError();
}

// ClearCellFormula(id, cell[, sheet]): takes no formula; the cached value, if any, stays as a constant.
int32_t CmdClearCellFormula(HostState* L) {
  CellSite site{};
  if (int32_t error = ReadCellSite(L, 0, &site)) return error;
  return SetCellFormula(site.record, site.index, &site.call.cell, nullptr) == XLSX_OK ? 0 : CellError();
}

// GetCellReference(id, cell[, xyref, sheet]): xyref 0 gives the text (B3), otherwise column and row.
int32_t CmdGetCellReference(HostState* L) {
  CellCall call{};
  ReadCellCall(L, &call);
  int32_t xyref = OptArgInt(L, call.next, 0);
  int32_t sheet = OptArgInt(L, call.next + 1, 0);
  DocumentRecord* record = nullptr;
  int32_t index = 0;
  if (int32_t error = FindDocumentSheet(&call.id, sheet, &record, &index)) return error;
  XlsxCellRef ref{};
  if (GetCellReference(record, index, &call.cell, &ref) != XLSX_OK) return CellError();
  if (xyref == 0) {
    PushHostText(L, xlsx_cellref_text(&ref));
    return 1;
  }
  Host()->PushNumber(L, xlsx_cellref_column(&ref));
  Host()->PushNumber(L, xlsx_cellref_row(&ref));
  return 2;
}

// Row and column commands: the worksheet's extent, column widths, row heights and hidden states. Rows and
// columns are addressed inside the sheet's current extent (1..row count, 1..column count).
#include <cmath>

#include "plugin/access.h"
#include "plugin/commands.h"
#include "plugin/globals.h"

namespace {

enum class Axis { kRow, kColumn };

// The arguments of a row or column command: id, the number at 2, and the rest.
struct LineCall {
  ObjectId id;
  int32_t number;
};

void ReadLineCall(HostState* L, LineCall* call) {
  Host()->CheckObjectId(L, 1, &call->id);
  call->number = ArgInt(L, 2);
}

// Finds the document, checks the sheet and then the row or column number: 0 or the error code.
int32_t CheckLine(const LineCall& call, int32_t sheet, Axis axis, DocumentRecord** record, int32_t* index) {
  if (int32_t error = FindDocumentSheet(&call.id, sheet, record, index)) return error;
  uint32_t limit = axis == Axis::kRow ? RowCount(*record, *index) : ColumnCount(*record, *index);
  if (call.number < 1 || static_cast<uint32_t>(call.number) > limit)
    return ErrorCode(axis == Axis::kRow ? ERROR_ROW_RANGE : ERROR_COLUMN_RANGE);
  return 0;
}

// GetRowCount and GetColumnCount: (id[, sheet]).
int32_t PushCount(HostState* L, Axis axis) {
  ObjectId id{};
  Host()->CheckObjectId(L, 1, &id);
  int32_t sheet = OptArgInt(L, 2, 0);
  DocumentRecord* record = nullptr;
  int32_t index = 0;
  if (int32_t error = FindDocumentSheet(&id, sheet, &record, &index)) return error;
  Host()->PushNumber(L, axis == Axis::kRow ? RowCount(record, index) : ColumnCount(record, index));
  return 1;
}

// Reads a width or height as single precision; false for a value that is not a finite number there (it
// would be written as "nan" or "inf", which no spreadsheet application reads).
bool ReadSize(HostState* L, int32_t at, float* size) {
  *size = static_cast<float>(Host()->CheckNumber(L, at));
  return std::isfinite(*size);
}

}  // namespace

int32_t CmdGetRowCount(HostState* L) { return PushCount(L, Axis::kRow); }

int32_t CmdGetColumnCount(HostState* L) { return PushCount(L, Axis::kColumn); }

int32_t CmdSetColumnWidth(HostState* L) {
  LineCall call{};
  ReadLineCall(L, &call);
  float width = 0;
  bool finite = ReadSize(L, 3, &width);
  int32_t sheet = OptArgInt(L, 4, 0);
  DocumentRecord* record = nullptr;
  int32_t index = 0;
  if (int32_t error = CheckLine(call, sheet, Axis::kColumn, &record, &index)) return error;
  if (!finite) return ErrorCode(ERROR_OPERATION);
  SetColumnWidth(record, index, call.number, width);
  return 0;
}

int32_t CmdGetColumnWidth(HostState* L) {
  LineCall call{};
  ReadLineCall(L, &call);
  int32_t sheet = OptArgInt(L, 3, 0);
  DocumentRecord* record = nullptr;
  int32_t index = 0;
  if (int32_t error = CheckLine(call, sheet, Axis::kColumn, &record, &index)) return error;
  float width = 0;
  ColumnWidth(record, index, call.number, &width);
  Host()->PushNumber(L, width);
  return 1;
}

int32_t CmdSetRowHeight(HostState* L) {
  LineCall call{};
  ReadLineCall(L, &call);
  float height = 0;
  bool finite = ReadSize(L, 3, &height);
  int32_t sheet = OptArgInt(L, 4, 0);
  DocumentRecord* record = nullptr;
  int32_t index = 0;
  if (int32_t error = CheckLine(call, sheet, Axis::kRow, &record, &index)) return error;
  if (!finite) return ErrorCode(ERROR_OPERATION);
  SetRowHeight(record, index, call.number, height);
  return 0;
}

int32_t CmdGetRowHeight(HostState* L) {
  LineCall call{};
  ReadLineCall(L, &call);
  int32_t sheet = OptArgInt(L, 3, 0);
  DocumentRecord* record = nullptr;
  int32_t index = 0;
  if (int32_t error = CheckLine(call, sheet, Axis::kRow, &record, &index)) return error;
  double height = 0;
  RowHeight(record, index, call.number, &height);
  Host()->PushNumber(L, height);
  return 1;
}

int32_t CmdHideColumn(HostState* L) {
  LineCall call{};
  ReadLineCall(L, &call);
  int32_t hidden = ArgInt(L, 3);
  int32_t sheet = OptArgInt(L, 4, 0);
  DocumentRecord* record = nullptr;
  int32_t index = 0;
  if (int32_t error = CheckLine(call, sheet, Axis::kColumn, &record, &index)) return error;
  SetColumnHidden(record, index, call.number, hidden != 0);
  return 0;
}

int32_t CmdHideRow(HostState* L) {
  LineCall call{};
  ReadLineCall(L, &call);
  int32_t hidden = ArgInt(L, 3);
  int32_t sheet = OptArgInt(L, 4, 0);
  DocumentRecord* record = nullptr;
  int32_t index = 0;
  if (int32_t error = CheckLine(call, sheet, Axis::kRow, &record, &index)) return error;
  SetRowHidden(record, index, call.number, hidden != 0);
  return 0;
}

int32_t CmdIsColumnHidden(HostState* L) {
  LineCall call{};
  ReadLineCall(L, &call);
  int32_t sheet = OptArgInt(L, 3, 0);
  DocumentRecord* record = nullptr;
  int32_t index = 0;
  if (int32_t error = CheckLine(call, sheet, Axis::kColumn, &record, &index)) return error;
  bool hidden = false;
  ColumnHidden(record, index, call.number, &hidden);
  Host()->PushNumber(L, hidden ? 1 : 0);
  return 1;
}

int32_t CmdIsRowHidden(HostState* L) {
  LineCall call{};
  ReadLineCall(L, &call);
  int32_t sheet = OptArgInt(L, 3, 0);
  DocumentRecord* record = nullptr;
  int32_t index = 0;
  if (int32_t error = CheckLine(call, sheet, Axis::kRow, &record, &index)) return error;
  bool hidden = false;
  RowHidden(record, index, call.number, &hidden);
  Host()->PushNumber(L, hidden ? 1 : 0);
  return 1;
}

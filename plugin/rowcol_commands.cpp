// Row and column commands: the worksheet's extent, column widths, row heights and hidden states. Rows and
// columns are addressed inside the sheet's current extent (1..row count, 1..column count).
#include <cmath>

#include "plugin/access.h"
#include "plugin/commands.h"
#include "plugin/globals.h"

namespace {

enum class Axis { kRow, kColumn };

// A row or column of a sheet, once the command's arguments are read and checked.
struct Line {
  DocumentRecord* record;
  int32_t index;   // the sheet
  int32_t number;  // the row or column
};

// Reads the id (1) and the number (2); the caller reads its value argument next, then ResolveLine reads the
// sheet, so the host raises argument errors in argument order.
void ReadLine(HostState* L, ObjectId* id, Line* line) {
  Host()->CheckObjectId(L, 1, id);
  line->number = ArgInt(L, 2);
}

// Reads the optional sheet at sheet_at, finds the document, checks the sheet and then the row or column
// number against the sheet's extent: 0 or the error code.
int32_t ResolveLine(HostState* L, const ObjectId& id, int32_t sheet_at, Axis axis, Line* line) {
  int32_t sheet = OptArgInt(L, sheet_at, 0);
  if (int32_t error = FindDocumentSheet(&id, sheet, &line->record, &line->index)) return error;
  uint32_t limit = axis == Axis::kRow ? RowCount(line->record, line->index) : ColumnCount(line->record, line->index);
  if (line->number < 1 || static_cast<uint32_t>(line->number) > limit)
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

// SetRowHeight and SetColumnWidth: (id, number, size[, sheet]). The size is kept in single precision; a
// value that is not a finite number there (it would be written as "nan" or "inf", which no spreadsheet
// application reads) is refused after the checks of the sheet and the number.
int32_t SetSize(HostState* L, Axis axis) {
  ObjectId id{};
  Line line{};
  ReadLine(L, &id, &line);
  float size = static_cast<float>(Host()->CheckNumber(L, 3));
  if (int32_t error = ResolveLine(L, id, 4, axis, &line)) return error;
  if (!std::isfinite(size)) return ErrorCode(ERROR_OPERATION);
  if (axis == Axis::kRow) SetRowHeight(line.record, line.index, line.number, size);
  else SetColumnWidth(line.record, line.index, line.number, size);
  return 0;
}

// GetRowHeight and GetColumnWidth: (id, number[, sheet]).
int32_t PushSize(HostState* L, Axis axis) {
  ObjectId id{};
  Line line{};
  ReadLine(L, &id, &line);
  if (int32_t error = ResolveLine(L, id, 3, axis, &line)) return error;
  if (axis == Axis::kRow) {
    double height = 0;
    RowHeight(line.record, line.index, line.number, &height);
    Host()->PushNumber(L, height);
  } else {
    float width = 0;
    ColumnWidth(line.record, line.index, line.number, &width);
    Host()->PushNumber(L, width);
  }
  return 1;
}

// HideRow and HideColumn: (id, number, hidden[, sheet]).
int32_t SetHidden(HostState* L, Axis axis) {
  ObjectId id{};
  Line line{};
  ReadLine(L, &id, &line);
  bool hidden = ArgInt(L, 3) != 0;
  if (int32_t error = ResolveLine(L, id, 4, axis, &line)) return error;
  if (axis == Axis::kRow) SetRowHidden(line.record, line.index, line.number, hidden);
  else SetColumnHidden(line.record, line.index, line.number, hidden);
  return 0;
}

// IsRowHidden and IsColumnHidden: (id, number[, sheet]) -> 1 or 0.
int32_t PushHidden(HostState* L, Axis axis) {
  ObjectId id{};
  Line line{};
  ReadLine(L, &id, &line);
  if (int32_t error = ResolveLine(L, id, 3, axis, &line)) return error;
  bool hidden = false;
  if (axis == Axis::kRow) RowHidden(line.record, line.index, line.number, &hidden);
  else ColumnHidden(line.record, line.index, line.number, &hidden);
  Host()->PushNumber(L, hidden ? 1 : 0);
  return 1;
}

}  // namespace

int32_t CmdGetRowCount(HostState* L) { return PushCount(L, Axis::kRow); }
int32_t CmdGetColumnCount(HostState* L) { return PushCount(L, Axis::kColumn); }
int32_t CmdSetColumnWidth(HostState* L) { return SetSize(L, Axis::kColumn); }
int32_t CmdGetColumnWidth(HostState* L) { return PushSize(L, Axis::kColumn); }
int32_t CmdSetRowHeight(HostState* L) { return SetSize(L, Axis::kRow); }
int32_t CmdGetRowHeight(HostState* L) { return PushSize(L, Axis::kRow); }
int32_t CmdHideColumn(HostState* L) { return SetHidden(L, Axis::kColumn); }
int32_t CmdHideRow(HostState* L) { return SetHidden(L, Axis::kRow); }
int32_t CmdIsColumnHidden(HostState* L) { return PushHidden(L, Axis::kColumn); }
int32_t CmdIsRowHidden(HostState* L) { return PushHidden(L, Axis::kRow); }

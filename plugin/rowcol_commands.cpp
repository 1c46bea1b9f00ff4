// Row and column commands: the worksheet's extent, column widths, row heights and hidden states. Rows and
// columns are addressed inside the sheet's current extent (1..row count, 1..column count).
#include "lib/sheet/columns.h"
#include "plugin/access.h"
#include "plugin/commands.h"
#include "plugin/globals.h"

namespace {

// A row or column of a sheet, once the command's arguments are read and checked.
struct Line {
  SheetCall sheet;
  Axis axis;
  int32_t number;  // the row or column
};

// Reads the id (1) and the number (2); the caller reads its value argument next, then FindLine reads the
// sheet, so the host raises argument errors in argument order.
ObjectId ReadLine(HostState* L, Axis axis, Line* line) {
  line->axis = axis;
  ObjectId id = ArgId(L);
  line->number = ArgInt(L, 2);
  return id;
}

// Reads the optional sheet at sheet_at, finds the document, checks the sheet and then the row or column
// number against the sheet's extent: 0 or the error code.
int32_t FindLine(HostState* L, const ObjectId& id, int32_t sheet_at, Line* line) {
  int32_t sheet = OptArgInt(L, sheet_at, 0);
  if (int32_t error = FindDocumentSheet(&id, sheet, &line->sheet, true)) return error;
  // A chart sheet has no rows or columns: it takes no sizes, as it takes no cells.
  uint32_t limit = SheetType(&line->sheet) == XLSX_SHEETTYPE_CHARTSHEET ? 0 : SheetExtent(&line->sheet, line->axis);
  if (line->number < 1 || static_cast<uint32_t>(line->number) > limit)
    return ErrorCode(line->axis == Axis::kRow ? ERROR_ROW_RANGE : ERROR_COLUMN_RANGE);
  return 0;
}

// GetRowCount and GetColumnCount: (id[, sheet]).
int32_t PushCount(HostState* L, Axis axis) {
  ObjectId id = ArgId(L);
  int32_t sheet = OptArgInt(L, 2, 0);
  SheetCall call{};
  if (int32_t error = FindDocumentSheet(&id, sheet, &call, true)) return error;
  Host()->PushNumber(L, SheetExtent(&call, axis));
  return 1;
}

// SetRowHeight and SetColumnWidth: (id, number, size[, sheet]). The size is kept in single precision; a
// size the format does not allow (widths 0 to 255, heights 0 to 409; NaN and infinities, which would be
// written as "nan" or "inf") is refused after the checks of the sheet and the number, before anything is
// changed, as is a size the library could not store.
int32_t SetSize(HostState* L, Axis axis) {
  Line line{};
  ObjectId id = ReadLine(L, axis, &line);
  float size = static_cast<float>(Host()->CheckNumber(L, 3));
  if (int32_t error = FindLine(L, id, 4, &line)) return error;
  float limit = axis == Axis::kRow ? XLSX_MAX_ROW_HEIGHT : XLSX_MAX_COLUMN_WIDTH;
  return ChangeResult(size >= 0.0f && size <= limit && SetLineSize(&line.sheet, axis, line.number, size) == XLSX_OK);
}

// GetRowHeight and GetColumnWidth: (id, number[, sheet]).
int32_t PushSize(HostState* L, Axis axis) {
  Line line{};
  ObjectId id = ReadLine(L, axis, &line);
  if (int32_t error = FindLine(L, id, 3, &line)) return error;
  double size = 0;
  LineSize(&line.sheet, axis, line.number, &size);
  Host()->PushNumber(L, size);
  return 1;
}

// HideRow and HideColumn: (id, number, hidden[, sheet]); a state the library could not store is reported.
int32_t SetHidden(HostState* L, Axis axis) {
  Line line{};
  ObjectId id = ReadLine(L, axis, &line);
  bool hidden = ArgInt(L, 3) != 0;
  if (int32_t error = FindLine(L, id, 4, &line)) return error;
  return ChangeResult(SetLineHidden(&line.sheet, axis, line.number, hidden) == XLSX_OK);
}

// IsRowHidden and IsColumnHidden: (id, number[, sheet]) -> 1 or 0.
int32_t PushHidden(HostState* L, Axis axis) {
  Line line{};
  ObjectId id = ReadLine(L, axis, &line);
  if (int32_t error = FindLine(L, id, 3, &line)) return error;
  bool hidden = false;
  LineHidden(&line.sheet, axis, line.number, &hidden);
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

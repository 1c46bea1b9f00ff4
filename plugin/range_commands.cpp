// CellRange: a loop over a rectangle of cells for the host's generic for. The loop lives in a full
// userdata with the metatable kIteratorMetatable, whose __gc ends it; the loop's step function is a
// closure over that userdata. Each step yields the position handle, which the single-cell commands
// resolve to the loop's current cell.
#include "plugin/access.h"
#include "plugin/commands.h"
#include "plugin/globals.h"

namespace {

// The step function: yields the position handle for each cell, then nothing.
int32_t CellRangeStep(HostState* L) {
  auto* loop = static_cast<RangeLoop*>(Host()->ToUserdata(L, HostUpvalueIndex(1)));
  void* handle = loop ? StepRangeLoop(loop) : nullptr;
  if (!handle) return 0;
  Host()->PushLightUserdata(L, handle);
  return 1;
}

}  // namespace

// CellRange(id, first cell, last cell[, sheet]) -> step function. Corners are x, y or reference texts
// (no handles); reversed corners are put in order.
int32_t CmdCellRange(HostState* L) {
  const HostApi* host = Host();
  ObjectId id = ArgId(L);
  int32_t at = 2;
  CellArgs from{}, to{};
  ParseCellArgs(L, &at, &from, false);
  ParseCellArgs(L, &at, &to, false);
  int32_t sheet = OptArgInt(L, at, 0);
  SheetCall call{};
  if (int32_t error = FindDocumentSheet(&id, sheet, &call, true)) return error;
  auto* loop = static_cast<RangeLoop*>(host->NewUserdata(L, sizeof(RangeLoop)));
  *loop = RangeLoop{};
  // The metatable (and with it __gc) is attached before the loop is linked into the running ones, so
  // that a host call that raises from here on cannot leave a collected loop in that list.
  host->GetMetatable(L, kIteratorMetatable);
  host->SetMetatable(L, -2);
  if (!StartCellRange(&call, &from, &to, loop)) {
    host->SetTop(L, -2);
    return ErrorCode(ERROR_CELL_RANGE);
  }
  host->PushValue(L, -1);
  host->PushClosure(L, CellRangeStep, 1);
  return 1;
}

int32_t CellRangeCollect(HostState* L) {
  auto* loop = static_cast<RangeLoop*>(Host()->CheckUserdata(L, 1, kIteratorMetatable));
  if (loop) EndRangeLoop(loop);
  return 0;
}

// CellRange: a loop over a rectangle of cells. The iterator state lives in a full userdata with the
// metatable "xlsx.kvp.iterator", whose __gc releases it; the loop's step function is a closure over that
// userdata. Each step yields the position handle (the address of the current library iterator), which the
// single-cell commands resolve to the loop's current cell.
//
// Running loops are kept in a list, so that a handle is only ever resolved through a loop that is still
// running over the same document, and so that closing a document (or deleting one of its sheets) ends
// the loops over it before their elements go away.
#include "plugin/range_iterator.h"

#include "lib/base/alloc.h"
#include "lib/sheet/cellref.h"
#include "plugin/access.h"
#include "plugin/commands.h"
#include "plugin/globals.h"

namespace {

struct CellRangeIterator {
  uint32_t first;              // 1 until the first step has yielded a cell
  XlsxCellIterator* current;   // owned; its address is the position handle
  XlsxCellIterator* end;       // owned end marker (at-end flag set)
  XlsxCellRange* range;        // owned
  const DocumentRecord* document;
  CellRangeIterator* previous;  // the list of loops whose state is held
  CellRangeIterator* next;
};

CellRangeIterator* live_head = nullptr;

void Link(CellRangeIterator* it) {
  it->previous = nullptr;
  it->next = live_head;
  if (live_head) live_head->previous = it;
  live_head = it;
}

void Unlink(CellRangeIterator* it) {
  if (it->previous) it->previous->next = it->next;
  else if (live_head == it) live_head = it->next;
  if (it->next) it->next->previous = it->previous;
  it->previous = it->next = nullptr;
}

// Frees what the loop holds, once: the step function and __gc may both get here.
void ReleaseState(CellRangeIterator* it) {
  xlsx_free(it->current);
  xlsx_free(it->end);
  xlsx_free(it->range);
  it->current = nullptr;
  it->end = nullptr;
  it->range = nullptr;
  it->document = nullptr;
  Unlink(it);
}

// A corner from a reference text or from x (column) and y (row).
bool CornerOf(const CellArgs& args, XlsxCellRef* ref) {
  if (args.ref) return xlsx_cellref_set_text(ref, args.ref) == XLSX_OK;
  if (args.x < 1 || args.y < 1) return false;
  return xlsx_cellref_set(ref, static_cast<uint32_t>(args.y), static_cast<uint32_t>(args.x)) == XLSX_OK;
}

// Builds the range and the iterators on the sheet; false leaves nothing allocated.
bool StartLoop(CellRangeIterator* it, DocumentRecord* record, int32_t index, const CellArgs& from, const CellArgs& to) {
  XlsxCellRef first{}, last{};
  XlsxWorksheet sheet{};
  if (!CornerOf(from, &first) || !CornerOf(to, &last)) return false;
  if (ResolveSheet(record, index, &sheet) != XLSX_OK) return false;
  it->range = static_cast<XlsxCellRange*>(xlsx_calloc(1, sizeof(XlsxCellRange)));
  it->current = static_cast<XlsxCellIterator*>(xlsx_calloc(1, sizeof(XlsxCellIterator)));
  it->end = static_cast<XlsxCellIterator*>(xlsx_calloc(1, sizeof(XlsxCellIterator)));
  it->document = record;
  Link(it);
  bool ok = it->range && it->current && it->end && xlsx_range_init(&sheet, &first, &last, it->range) == XLSX_OK &&
            xlsx_iter_begin(it->current, it->range) == XLSX_OK;
  if (!ok) {
    ReleaseState(it);
    return false;
  }
  it->end->at_end = 1;
  return true;
}

// The step function: yields the position handle for each cell, then nothing.
int32_t CellRangeStep(HostState* L) {
  auto* it = static_cast<CellRangeIterator*>(Host()->ToUserdata(L, HostUpvalueIndex(1)));
  if (!it || !it->current) return 0;
  if (xlsx_iter_at_end(it->current)) {
    ReleaseState(it);
    return 0;
  }
  if (it->first) {
    it->first = 0;
  } else {
    xlsx_iter_next(it->current);
    if (xlsx_iter_at_end(it->current)) {
      ReleaseState(it);
      return 0;
    }
  }
  Host()->PushLightUserdata(L, it->current);
  return 1;
}

}  // namespace

// CellRange(id, first cell, last cell[, sheet]) -> step function for a generic for loop. Corners are x, y
// or reference texts (no handles); reversed corners are put in order.
int32_t CmdCellRange(HostState* L) {
  const HostApi* host = Host();
  ObjectId id{};
  host->CheckObjectId(L, 1, &id);
  int32_t at = 2;
  CellArgs from{}, to{};
  ParseCellArgs(L, &at, &from, false);
  ParseCellArgs(L, &at, &to, false);
  int32_t sheet = OptArgInt(L, at, 0);
  DocumentRecord* record = nullptr;
  int32_t index = 0;
  if (int32_t error = FindDocumentSheet(&id, sheet, &record, &index)) return error;
  auto* it = static_cast<CellRangeIterator*>(host->NewUserdata(L, sizeof(CellRangeIterator)));
  *it = CellRangeIterator{1, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr};
  // The metatable (and with it __gc) is attached before any library block is taken, so that a host call
  // that raises from here on cannot lose them.
  host->GetMetatable(L, kIteratorMetatable);
  host->SetMetatable(L, -2);
  if (!StartLoop(it, record, index, from, to)) {
    host->SetTop(L, -2);
    return ErrorCode(ERROR_CELL_RANGE);
  }
  host->PushValue(L, -1);
  host->PushClosure(L, CellRangeStep, 1);
  return 1;
}

int32_t CellRangeCollect(HostState* L) {
  auto* it = static_cast<CellRangeIterator*>(Host()->CheckUserdata(L, 1, kIteratorMetatable));
  if (it) ReleaseState(it);
  return 0;
}

bool RangeHandleCell(const DocumentRecord* record, const void* handle, XlsxCell* out) {
  for (CellRangeIterator* it = live_head; it; it = it->next) {
    if (it->current != handle) continue;
    if (it->document != record || it->first || xlsx_iter_at_end(it->current)) return false;
    *out = xlsx_iter_cell(it->current);
    return out->element != nullptr;
  }
  return false;
}

void EndDocumentRanges(const DocumentRecord* record) {
  CellRangeIterator* it = live_head;
  while (it) {
    CellRangeIterator* next = it->next;
    if (it->document == record) ReleaseState(it);
    it = next;
  }
}

uint32_t LiveRangeCount() {
  uint32_t count = 0;
  for (CellRangeIterator* it = live_head; it; it = it->next) ++count;
  return count;
}

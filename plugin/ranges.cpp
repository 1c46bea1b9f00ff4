// The running range loops, kept in a list so that a position handle is resolved only through a loop
// that still runs over the same document.
#include "plugin/ranges.h"

namespace {

RangeLoop* live_head = nullptr;

}  // namespace

bool StartRangeLoop(RangeLoop* loop, const DocumentRecord* document, const XlsxCellRange* range) {
  *loop = RangeLoop{};
  if (xlsx_iter_begin(&loop->current, range) != XLSX_OK) return false;
  loop->first = 1;
  loop->document = document;
  loop->next = live_head;
  if (live_head) live_head->previous = loop;
  live_head = loop;
  return true;
}

void* StepRangeLoop(RangeLoop* loop) {
  if (!loop->document) return nullptr;
  if (loop->first) {
    loop->first = 0;
  } else {
    xlsx_iter_next(&loop->current);
  }
  if (xlsx_iter_at_end(&loop->current)) {
    EndRangeLoop(loop);
    return nullptr;
  }
  return &loop->current;
}

void EndRangeLoop(RangeLoop* loop) {
  if (!loop->document) return;
  if (loop->previous) loop->previous->next = loop->next;
  else live_head = loop->next;
  if (loop->next) loop->next->previous = loop->previous;
  loop->previous = loop->next = nullptr;
  loop->document = nullptr;
}

bool RangeHandleCell(const DocumentRecord* document, const void* handle, XlsxCell* out) {
  for (RangeLoop* loop = live_head; loop; loop = loop->next) {
    if (&loop->current != handle) continue;
    if (loop->document != document || loop->first || xlsx_iter_at_end(&loop->current)) return false;
    *out = xlsx_iter_cell(&loop->current);
    return true;
  }
  return false;
}

void EndDocumentRanges(const DocumentRecord* document) {
  for (RangeLoop* loop = live_head; loop;) {
    RangeLoop* next = loop->next;
    if (loop->document == document) EndRangeLoop(loop);
    loop = next;
  }
}

uint32_t LiveRangeCount() {
  uint32_t count = 0;
  for (RangeLoop* loop = live_head; loop; loop = loop->next) ++count;
  return count;
}

// The range registry: the loops over cell ranges that are running (a CellRange loop, the serializer's
// walk), each over one document, and the position handles they hand out. A handle resolves only through
// a loop that is still running over the same document; ending a document's loops (before its trees go
// away or lose a sheet) makes their handles resolve to nothing.
#pragma once

#include <cstdint>

#include "lib/sheet/worksheet.h"

struct DocumentRecord;

// One loop; the storage is the caller's (a host userdata, the serializer's state) and must not move
// while the loop runs. Zero-initialised it is an ended loop.
struct RangeLoop {
  uint32_t first;                  // 1 until the first step has yielded a cell
  XlsxCellIterator current;        // its address is the position handle
  const DocumentRecord* document;  // null once the loop has ended
  RangeLoop* previous;             // the running loops
  RangeLoop* next;
};

// Starts loop over range, a range of document's, positioned before its first cell; false (loop ended)
// when that cell cannot be made.
bool StartRangeLoop(RangeLoop* loop, const DocumentRecord* document, const XlsxCellRange* range);
// Moves to the next cell (the first one on the first step) and gives its position handle; null once the
// range is done or the loop has ended, and the loop is ended then.
void* StepRangeLoop(RangeLoop* loop);
// Ends the loop; an ended loop is left as it is.
void EndRangeLoop(RangeLoop* loop);
// The current cell of a running loop over document whose position handle is handle; false when the handle
// belongs to no running loop of this document (ended, another document, or not a handle).
bool RangeHandleCell(const DocumentRecord* document, const void* handle, XlsxCell* out);
// Ends every loop over document.
void EndDocumentRanges(const DocumentRecord* document);
// Number of running loops.
uint32_t LiveRangeCount();

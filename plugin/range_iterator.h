// CellRange loops: the iterator userdata behind the step closure, its clean-up, and the position handles
// the single-cell commands accept in place of x and y.
#pragma once

#include <cstdint>

#include "lib/sheet/worksheet.h"
#include "plugin/documents.h"
#include "plugin/host_api.h"

// The metatable every iterator userdata carries (created by InitLibrary).
constexpr const char* kIteratorMetatable = "xlsx.kvp.iterator";

// __gc of the iterator metatable (1: the userdata): releases whatever the loop still holds; returns 0.
// Safe after the step function has released the state.
int32_t CellRangeCollect(HostState* L);
// The current cell of a running loop over record whose position handle is handle; false when the handle
// belongs to no running loop of this document (ended, collected, another document, or not a handle).
bool RangeHandleCell(const DocumentRecord* record, const void* handle, XlsxCell* out);
// Ends every loop over record, releasing their state: called before the document's trees go away (close,
// replacement, FreeLibrary) or lose a sheet. Their handles resolve to nothing afterwards.
void EndDocumentRanges(const DocumentRecord* record);
// Number of loops whose state is still held (for tests).
uint32_t LiveRangeCount();

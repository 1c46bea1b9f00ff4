// Drives an open document the way a careful script would: reads every sheet and every stored cell, then
// makes a fixed set of edits. Shared by the hostile-corpus tests and the whole-document fuzz target, so
// that both reach the same code on whatever a file contains.
#pragma once

#include <cstdint>

struct XlsxDocument;

// What one pass saw; counters only, for the caller's assertions.
struct WorkbookExerciseResult {
  uint32_t sheets;       // sheets listed by the workbook
  uint32_t worksheets;   // sheets whose worksheet could be reached
  uint32_t cells_read;   // stored cells whose value was read
  uint32_t failures;     // operations that reported a failure other than "not found" or "invalid"
  uint32_t no_memory;    // operations that reported XLSX_ERR_NO_MEMORY
};

// Reads every sheet and every stored `c` element (at most max_cells in all; ones whose reference names
// no cell are skipped), reading value and formula through the public cell lookups. Null document gives
// an all-zero result.
WorkbookExerciseResult workbook_read_all(XlsxDocument* document, uint32_t max_cells);
// Edits the first worksheet (values of each kind, a formula, a column width, a row height) and adds a
// sheet; counts failures into result. Null document does nothing.
void workbook_edit(XlsxDocument* document, WorkbookExerciseResult* result);

// Merged cells of a worksheet (`mergeCells`/`mergeCell` `ref`): listing, merging and unmerging. The
// cells inside a merged area keep their values, as spreadsheet applications keep them. The setters keep
// to the failure rule (lib/base/status.h).
#pragma once

#include <cstdint>

#include "lib/base/status.h"
#include "lib/sheet/cell_area.h"
#include "lib/sheet/worksheet.h"

// Number of merged areas (`mergeCell` elements); 0 for null or none.
uint32_t xlsx_sheet_merged_count(XlsxWorksheet* sheet);
// The `ref` of the merged area at the 1-based position, as the file holds it; "" when out of range or
// for null. Borrowed from the tree: valid until the merged areas change.
const char* xlsx_sheet_merged_ref(XlsxWorksheet* sheet, uint32_t position);
// Whether a merged area of the sheet shares a cell with area; false for null arguments.
bool xlsx_sheet_merge_overlaps(XlsxWorksheet* sheet, const XlsxCellArea* area);
// Merges the area. XLSX_ERR_INVALID_ARG for null arguments, a single cell, or an area that shares a cell
// with a merged area already there (nothing changed); XLSX_ERR_NO_MEMORY.
xlsx_status xlsx_sheet_merge(XlsxWorksheet* sheet, const XlsxCellArea* area);
// Unmerges every merged area that shares a cell with area (none: nothing changes, XLSX_OK); the
// `mergeCells` element goes with its last area. XLSX_ERR_INVALID_ARG for null arguments or a part
// without root; XLSX_ERR_NO_MEMORY.
xlsx_status xlsx_sheet_unmerge(XlsxWorksheet* sheet, const XlsxCellArea* area);

// The access layer of the sheet layout commands: merged cells, frozen panes, the filter, the tab colour
// and cell hyperlinks of the call's sheet (plugin/access.h finds the sheet). Statuses are the
// library's; texts going in are UTF-8.
#pragma once

#include <cstdint>

#include "lib/base/status.h"
#include "plugin/access.h"
#include "plugin/cell_formats.h"  // XLSX_COLOR_NONE: a tab without colour, and removing one

// Whether range is an area ("A1:C3", "B2", "$" signs allowed).
bool IsRangeText(const char* range);
// Merges the area of range; XLSX_ERR_INVALID_ARG for a text that names no area or a single cell.
xlsx_status MergeRange(SheetCall* call, const char* range);
// Whether the area of range shares a cell with a merged area of the sheet.
bool RangeOverlapsMerged(SheetCall* call, const char* range);
// Unmerges every merged area that shares a cell with the area of range.
xlsx_status UnmergeRange(SheetCall* call, const char* range);
// Number of merged areas (0 when the worksheet cannot be opened).
uint32_t MergedCount(SheetCall* call);
// The 1-based n-th merged area's text; "" when out of range. Borrowed: valid until the areas change.
const char* MergedRange(SheetCall* call, int32_t n);

// Freezes the columns left of x and the rows above y (values below 2 freeze none of them).
xlsx_status FreezePanes(SheetCall* call, int32_t x, int32_t y);
// The first unfrozen column and row into *x and *y; 0 and 0 when nothing is frozen.
void FrozenPanes(SheetCall* call, int32_t* x, int32_t* y);

// Puts the filter on range (XLSX_ERR_INVALID_ARG for a text that names no area) or removes it (null).
xlsx_status SetAutoFilter(SheetCall* call, const char* range);
// The filter's range text; "" when the sheet has none. Borrowed: valid until the filter changes.
const char* AutoFilterRange(SheetCall* call);

// The tab colour as 0xRRGGBB; XLSX_COLOR_NONE when the tab has none given as red, green and blue.
int32_t TabColor(SheetCall* call);
// Colours the tab (0 to 0xFFFFFF) or removes its colour (XLSX_COLOR_NONE); XLSX_ERR_INVALID_ARG for
// any other number.
xlsx_status SetTabColor(SheetCall* call, int32_t color);

// Links the cell of args (created when a handle names it; XLSX_ERR_INVALID_ARG when it names no cell)
// to target, with tooltip (null or "" for none).
xlsx_status SetCellHyperlink(SheetCall* call, const CellArgs* args, const char* target, const char* tooltip);
// Removes the cell's links.
xlsx_status ClearCellHyperlink(SheetCall* call, const CellArgs* args);
// Pushes the cell's link target ("" when it has none; a place in the workbook as "Sheet2!A1", a target
// with a place as "target#place") and its tooltip ("" when none).
xlsx_status PushCellHyperlink(HostState* L, SheetCall* call, const CellArgs* args);

// The row index and cursor of one worksheet part: a sorted array of the row elements of `sheetData`, a
// cursor on the last row and cell found, and an index of the `col` elements. A row is found next to the
// cursor, at number - first number when the rows have no gaps, else by binary search; a cell next to the
// cursor, by counting from the nearer end of the row when the row has no gaps (only the `r` of the cell
// counted to is read), else by a walk from the nearer end of the checked row. The XML tree stays the
// only store of the data; the index only points into it and is attached to the part (XlsxPart extra), so
// it lives as long as the part. It is valid for one XmlDoc generation: edits made through this layer
// carry it forward (sheet_index_commit), any other change to the tree makes it rebuild itself lazily.
#pragma once

#include <cstdint>

#include "lib/base/status.h"
#include "lib/xml/tree.h"

struct XlsxPart;
struct XlsxFormulaGroups;

// One `row` element of sheetData, with its number read once, and its first and last children as the
// index was built (only read while the tree is unchanged since: XlsxSheetIndex ends_generation).
struct XlsxRowEntry {
  XmlNode* node;
  uint32_t number;
  uint32_t cells_checked;  // 1 once every `c` child carries a readable `r` and the cells are in order
  XmlNode* first_child = nullptr;
  XmlNode* last_child = nullptr;
  // Where the row's runs of attributes and texts start (its first child's first attribute and that
  // attribute's text), taken with the ends: addresses to fetch ahead from (lib/sheet/lookahead.h), never
  // read through; 0 when unknown.
  uintptr_t attributes_start = 0;
  uintptr_t texts_start = 0;
};

// Every 32nd row of a large sheet: its ends and the starts of its runs, and where the next row's runs
// start. Where any row's cells lie is guessed from the nearest sample before the row's entry is read
// (lib/sheet/lookahead.h); taken with the ends and used only while they are. Addresses, never read through.
struct XlsxRowSample {
  uintptr_t first, last, attributes, texts;
  uintptr_t next_first, next_attributes, next_texts;
};

// One `col` element of cols, with its `min` read once.
struct XlsxColEntry {
  XmlNode* node;
  int32_t min;
};

struct XlsxSheetIndex {
  XlsxPart* part;       // the worksheet part (not owned)
  uint32_t generation;  // XmlDoc generation the index matches
  uint32_t synced;      // 0 until the first sync with the tree
  // Rows: built on first use.
  uint32_t rows_built;
  XmlNode* sheet_data;  // null when the worksheet has none
  XlsxRowEntry* rows;   // ascending numbers
  uint32_t row_count;
  uint32_t row_capacity;
  // Generation at which the rows' first and last children were taken; while the index is at it, a cell
  // is counted to from the entry without reading the row element (one memory access fewer for a lookup
  // far from the last). Any change makes the rows be read again.
  uint32_t ends_generation;
  XlsxRowSample* samples;  // null for a sheet of few rows
  uint32_t sample_count;
  // Cursor: the last row and cell found.
  uint32_t cursor_row;   // position in rows; meaningful while < row_count
  XmlNode* cursor_cell;  // a `c` child of rows[cursor_row].node, or null
  uint32_t cursor_column;
  // Columns of the first and last cells of the row where the last count from an end hit (0 before one
  // did): rows of one sheet mostly have the same extent, so the next row is counted by them without
  // reading its ends. Only a guess: the cell counted to is taken only when its `r` names the column.
  uint32_t span_first;
  uint32_t span_last;
  // Highest column of a row's last cell (the column count), once computed.
  uint32_t max_column;
  uint32_t max_column_known;
  // Columns: built on first use after the ranges have been split.
  uint32_t cols_normalized;
  uint32_t cols_built;
  uint32_t cols_sorted;  // 1 when the `col` elements stand in ascending `min` order
  XmlNode* cols;         // the `cols` element or null
  XlsxColEntry* col_entries;
  uint32_t col_count;
  uint32_t col_capacity;
  // The first cell of each shared formula group, found on first use (lib/sheet/shared_formula.h); one
  // block, or null.
  XlsxFormulaGroups* formula_groups;
};

// The index attached to the worksheet part, created and attached on first use; null for a null part or
// when memory runs out. Owned by the part: valid until the part is freed.
XlsxSheetIndex* sheet_index_of_part(XlsxPart* part);
// Loads the part and resets the index when the tree changed behind its back. False for a null index
// or when the part could not be loaded for want of memory (the next call tries again).
bool sheet_index_sync(XlsxSheetIndex* index);
// Records that every tree change since the last sync was made through the index (its data still
// match the tree). Null index ignored.
void sheet_index_commit(XlsxSheetIndex* index);
// Whether the index matches the tree of doc right now; false for null arguments.
bool sheet_index_in_step(const XlsxSheetIndex* index, const XmlDoc* doc);
// Builds the row array (normalising rows without `r` and rows out of order). XLSX_ERR_NO_MEMORY leaves
// the index unbuilt and the tree consistent.
xlsx_status sheet_index_build_rows(XlsxSheetIndex* index);
// Asks ahead for the cell of column in the row numbered number, its place guessed from the samples, so
// that the fetches overlap the reading of the row's entry; nothing for a lookup next to the cursor or
// while the samples do not hold. Only a hint: changes nothing, reads only the index.
void sheet_index_fetch_ahead(const XlsxSheetIndex* index, uint32_t number, uint32_t column);
// Position of the first row entry whose number is >= number (row_count when none). Rows must be built.
uint32_t sheet_index_lower_bound(const XlsxSheetIndex* index, uint32_t number);
// Row entry for number, or null; uses the cursor first. Rows must be built.
XlsxRowEntry* sheet_index_find_row(XlsxSheetIndex* index, uint32_t number);
// Finds or creates the row element for number (1..XLSX_CELLREF_MAX_ROW is the caller's check). The entry's
// position goes to *position. XLSX_ERR_INVALID_ARG without sheetData; XLSX_ERR_NO_MEMORY with nothing
// changed.
xlsx_status sheet_index_row(XlsxSheetIndex* index, uint32_t number, uint32_t* position);
// Makes sure the cells of the row entry carry readable `r` attributes and stand in ascending order.
xlsx_status sheet_index_check_cells(XlsxSheetIndex* index, XlsxRowEntry* entry);
// Finds or creates the `c` element of column in the row entry at position (its cells checked before a
// creation) and moves the cursor onto it. XLSX_ERR_NO_MEMORY with nothing changed.
xlsx_status sheet_index_cell(XlsxSheetIndex* index, uint32_t position, uint32_t column, XmlNode** cell);
// Finds the `c` element without creating anything; null when absent.
xlsx_status sheet_index_find_cell(XlsxSheetIndex* index, uint32_t position, uint32_t column, XmlNode** cell);

// Last `c` child of a row element; null when there is none (or for null).
XmlNode* sheet_last_cell(const XmlNode* row);
// Column of a `c` element from its `r` (xlsx_cellref_column_of); 0 when it names no cell.
uint32_t sheet_cell_column(const XmlNode* cell);
// Number of a `row` element from its `r` (xlsx_cellref_row_of); 0 when it names no row.
uint32_t sheet_row_number(const XmlNode* row);

// The workbook's sheet list (xl/workbook.xml): sheets by name, relationship id and position; adding,
// deleting, moving, renaming, hiding and activating sheets with the content types, relationships, sheet
// titles and package entries kept consistent; worksheets handed out for the cell layer.
//
// A cache beside the tree maps each 1-based position to its `sheet` element, name, relationship id and
// worksheet part, so that finding the sheet at a position costs O(1). It is rebuilt lazily whenever the
// workbook or its relationships change (any edit of either tree) and dropped when the document closes.
//
// Every edit of the sheet list keeps to the failure rule (lib/base/status.h): it completes, or returns
// its status with the workbook, its package records and its sheets as they were.
#pragma once

#include <cstdint>

#include "lib/base/dynarray.h"
#include "lib/base/name_index.h"
#include "lib/base/status.h"
#include "lib/sheet/sheet_name.h"
#include "lib/xml/tree.h"

struct XlsxPackage;
struct XlsxPart;
struct XlsxSharedStrings;
struct XlsxWorksheet;

// One sheet of the cache. Texts are borrowed from the tree.
struct XlsxSheetEntry {
  XmlNode* element;      // the `sheet` element
  const char* name;      // its `name` ("" when missing)
  const char* rel_id;    // its `r:id` ("" when missing)
  XlsxPart* part;        // the worksheet part, once resolved (null when the sheet names none)
  uint32_t resolved;     // 1 once part was looked up
};

struct XlsxWorkbook {
  XlsxPart* part;                     // xl/workbook.xml, parsed on first use; may be null
  XlsxPackage* package;               // the package whose records the sheet list edits; not owned
  XlsxSharedStrings* shared_strings;  // the table the cells of every sheet use; not owned, may be null
  // Position cache (see above).
  XlsxSheetEntry* entries;
  uint32_t entry_count;
  uint32_t entry_capacity;
  XlsxNameIndex names;    // sheet names to positions (the first of a repeated name)
  XlsxNameIndex rel_ids;  // relationship ids to positions
  uint32_t cache_valid;
  uint32_t workbook_generation;  // generation of the workbook tree the cache matches
  uint32_t rels_generation;      // generation of the workbook relationships tree
  const void* rels_doc;          // the relationships tree the cache matches
  // The styles last found for the workbook (lib/sheet/styles.h), owned by their part: taken again while
  // the relationships tree and the package's parts list are those they were found with.
  struct XlsxStyles* styles;
  const void* styles_rels_doc;
  uint32_t styles_rels_generation;
  uint32_t styles_parts_generation;
};

// New workbook object for the part (may be null) of package, whose cells use the shared strings table
// (may be null); null when memory runs out. Borrows all three: they must outlive the object.
XlsxWorkbook* xlsx_workbook_new(XlsxPart* part, XlsxPackage* package, XlsxSharedStrings* shared_strings);
// Releases the object and its cache (not the part); null is ignored.
void xlsx_workbook_free(XlsxWorkbook* workbook);

// Appends an owned copy of every sheet name, in order, to names (element size sizeof(char*)); the caller
// frees the texts. XLSX_ERR_INVALID_ARG for null arguments; XLSX_ERR_NO_MEMORY leaves names as it was.
xlsx_status xlsx_workbook_sheet_names(XlsxWorkbook* workbook, DynArray* names);
// Number of sheets; 0 for null.
uint32_t xlsx_workbook_sheet_count(XlsxWorkbook* workbook);
// Number of sheets whose relationship is of the worksheet type; 0 for null.
uint32_t xlsx_workbook_worksheet_count(XlsxWorkbook* workbook);
// True when the relationship rel_id is of the worksheet type.
bool xlsx_workbook_is_worksheet(XlsxWorkbook* workbook, const char* rel_id);
// 1-based position of the sheet named name; 0 when none (or null arguments).
uint32_t xlsx_workbook_sheet_index(XlsxWorkbook* workbook, const char* name);
bool xlsx_workbook_sheet_exists(XlsxWorkbook* workbook, const char* name);
// Name of the sheet with that relationship id; "" when none. Borrowed: valid until the sheet list changes.
const char* xlsx_workbook_sheet_name(XlsxWorkbook* workbook, const char* rel_id);
// Name of the sheet at the 1-based position; "" when out of range. Borrowed as above.
const char* xlsx_workbook_sheet_name_at(XlsxWorkbook* workbook, uint32_t position);
// Relationship id of the sheet named name; "" when none. Borrowed as above.
const char* xlsx_workbook_sheet_rid(XlsxWorkbook* workbook, const char* name);
// `state` of the sheet with that id; "" when absent or no such sheet. Borrowed as above.
const char* xlsx_workbook_sheet_state(XlsxWorkbook* workbook, const char* rel_id);
// Largest `sheetId` plus 1 (1 for an empty list); 0 for null.
uint32_t xlsx_workbook_next_sheet_id(XlsxWorkbook* workbook);

// The worksheet of the sheet named name (column ranges split on first use). XLSX_ERR_INVALID_ARG for
// null arguments; XLSX_ERR_NOT_FOUND when no sheet has the name; XLSX_ERR_INTERNAL when the document has
// no part at the sheet's path.
xlsx_status xlsx_workbook_worksheet(XlsxWorkbook* workbook, const char* name, XlsxWorksheet* out);
// The worksheet at the 1-based position, through the cache: O(1) after the first call. Statuses as
// xlsx_workbook_worksheet (XLSX_ERR_NOT_FOUND for a position out of range).
xlsx_status xlsx_workbook_worksheet_at(XlsxWorkbook* workbook, uint32_t position, XlsxWorksheet* out);

// Appends a new empty worksheet named name as the last, visible sheet. XLSX_ERR_INVALID_ARG for a
// missing or invalid name (xlsx_sheet_name_is_valid) or one another sheet has, case ignored (nothing
// changed); XLSX_ERR_INTERNAL for a workbook
// without `sheets`; XLSX_ERR_NO_MEMORY.
xlsx_status xlsx_workbook_add_sheet(XlsxWorkbook* workbook, const char* name);
// Deletes the sheet with its part, package entry, content type, relationship and title; sheet-local
// defined names of the sheet go, later ones shift down, the active tab stays on a visible sheet.
// XLSX_ERR_INVALID_ARG for a missing name, the only worksheet or the only visible sheet;
// XLSX_ERR_NOT_FOUND when no sheet has the name.
xlsx_status xlsx_workbook_delete_sheet(XlsxWorkbook* workbook, const char* name);
// Moves the sheet to the 1-based position (<= 1 first, >= count last); sheet-local defined names and the
// active tab follow their sheets. XLSX_ERR_INVALID_ARG for a missing name; XLSX_ERR_NOT_FOUND.
xlsx_status xlsx_workbook_move_sheet(XlsxWorkbook* workbook, const char* name, int32_t position);
// Renames the sheet with that id; defined names that refer to it follow. XLSX_ERR_INVALID_ARG for
// missing arguments, an invalid name or one another sheet has (case ignored); XLSX_ERR_NOT_FOUND.
xlsx_status xlsx_workbook_rename_sheet(XlsxWorkbook* workbook, const char* rel_id, const char* name);
// Sets `state` ("hidden", "veryHidden", "visible"; "" removes it). XLSX_ERR_INVALID_ARG for missing
// arguments, another text, or hiding the last visible sheet; XLSX_ERR_NOT_FOUND.
xlsx_status xlsx_workbook_set_sheet_state(XlsxWorkbook* workbook, const char* rel_id, const char* state);
// Makes the visible sheet with that id the active tab. XLSX_ERR_INVALID_ARG for missing arguments or a
// hidden sheet, XLSX_ERR_NOT_FOUND for an unknown id (nothing changed).
xlsx_status xlsx_workbook_set_active(XlsxWorkbook* workbook, const char* rel_id);
// Asks spreadsheet applications to recalculate every formula when they open the saved workbook (calcPr
// fullCalcOnLoad="1"). XLSX_OK without effect for a workbook part without a tree or without a sheet list;
// XLSX_ERR_INVALID_ARG for null; XLSX_ERR_NO_MEMORY (nothing changed).
xlsx_status xlsx_workbook_request_recalc(XlsxWorkbook* workbook);
// True when the sheet with that id is the active tab.
bool xlsx_workbook_is_active(XlsxWorkbook* workbook, const char* rel_id);

// The same operations for a worksheet standing for its own sheet. Without a workbook the getters give
// "", 0 or false, the setters XLSX_ERR_INTERNAL (set active does nothing).
xlsx_status xlsx_worksheet_set_active(XlsxWorksheet* sheet);
bool xlsx_worksheet_is_active(XlsxWorksheet* sheet);
xlsx_status xlsx_worksheet_set_state(XlsxWorksheet* sheet, const char* state);
const char* xlsx_worksheet_state(XlsxWorksheet* sheet);
xlsx_status xlsx_worksheet_rename(XlsxWorksheet* sheet, const char* name);
const char* xlsx_worksheet_name(XlsxWorksheet* sheet);
uint32_t xlsx_worksheet_index(XlsxWorksheet* sheet);
xlsx_status xlsx_worksheet_move(XlsxWorksheet* sheet, int32_t position);

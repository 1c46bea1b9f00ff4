// The access layer: the only way command handlers reach the spreadsheet library. It turns the script's
// view (1-based sheet numbers, x/y coordinates, reference texts or range position handles, texts in the
// host's character set) into the library's (worksheets, cells, UTF-8 texts) and reduces every library
// status to success or failure; handlers choose the registered message themselves.
//
// Handlers read and check all their arguments before they acquire anything: the host's argument checks
// raise script errors with a long jump, so nothing may be held across them.
#pragma once

#include <cstdint>

#include "lib/sheet/cell.h"
#include "lib/sheet/worksheet.h"
#include "plugin/documents.h"
#include "plugin/host_api.h"

struct XlsxWorkbook;

// One cell address as a script gives it: exactly one of handle, ref, or x and y is filled.
struct CellArgs {
  int32_t x;         // column number, 1-based
  int32_t y;         // row number, 1-based
  const char* ref;   // reference text such as "B3" (borrowed from the host stack), or null
  void* handle;      // position handle of a CellRange loop, or null
};

// Sizes of the sheet name and cell text buffers.
constexpr uint32_t kNameBufferSize = 256;

// ---- Arguments

// A script number as a 32-bit integer, truncated toward zero; NaN gives 0, values beyond the range clamp.
int32_t ToInt32(double value);
// CheckNumber(index) as ToInt32; raises when the argument is missing or not a number.
int32_t ArgInt(HostState* L, int32_t index);
// OptNumber(index, fallback) as ToInt32.
int32_t OptArgInt(HostState* L, int32_t index, int32_t fallback);
// Reads one cell address from *position on (a handle only when allowHandle), advancing *position past it.
// Raises (as CheckNumber/CheckString) for a missing argument; fills nothing that needs releasing.
void ParseCellArgs(HostState* L, int32_t* position, CellArgs* out, bool allowHandle);

// ---- Text conversion between the host's character set and UTF-8

// The text to hand to the library; *release receives a block to give to ReleaseLibraryText afterwards
// (null when the text is passed through or could not be converted, in which case text itself is returned).
const char* ToLibraryText(const char* text, char** release);
// Releases a block from ToLibraryText; null is ignored.
void ReleaseLibraryText(char* release);
// Pushes a library (UTF-8) text in the host's character set; the unconverted text when conversion fails.
void PushHostText(HostState* L, const char* text);

// ---- Documents and sheets

// The record's workbook; null for a null record.
XlsxWorkbook* WorkbookOf(const DocumentRecord* record);
// Number of sheets of the document (0 for null). O(1) while the sheet list is unchanged.
uint32_t SheetCount(const DocumentRecord* record);
// The 1-based sheet a command addresses: sheet, or the document's default sheet when sheet is 0.
int32_t EffectiveSheet(const DocumentRecord* record, int32_t sheet);
// Whether 1 <= index <= number of sheets.
bool SheetInRange(const DocumentRecord* record, int32_t index);
// Finds the document of an id and checks its sheet (0 = default): 0 with *record and *index set, else
// the error code to return ("Cannot find specified XLSX document!" before "Specified sheet is out of range!").
int32_t FindDocumentSheet(const ObjectId* id, int32_t sheet, DocumentRecord** record, int32_t* index);
// The worksheet at the 1-based index through the workbook's position cache (no name lists, no walk of
// the parts). XLSX_ERR_NOT_FOUND for an index out of range.
xlsx_status ResolveSheet(const DocumentRecord* record, int32_t index, XlsxWorksheet* out);
// The cell addressed by args on the sheet (the sheet is not used for a position handle, which must be a
// live handle of a loop over this document). Missing rows and cells are created. Column numbers outside
// 1..16384 (65536 and above included) and rows outside 1..1048576 fail with XLSX_ERR_INVALID_ARG.
xlsx_status ResolveCell(DocumentRecord* record, int32_t sheet, const CellArgs* args, XlsxCell* out);

// A command's document and sheet, resolved once for the whole call.
struct SheetCall {
  DocumentRecord* record;
  int32_t index;            // the 1-based sheet (the default one for 0)
  XlsxWorksheet worksheet;  // valid when status is XLSX_OK
  xlsx_status status;       // why the worksheet could not be opened (the cell then fails with it)
};
// FindDocumentSheet and ResolveSheet in one pass over the workbook's position cache: 0 with out filled,
// else the error code FindDocumentSheet gives. A sheet in range whose worksheet cannot be opened leaves
// its status in out->status, so that the cell fails as ResolveCell would. Nothing is owned by out.
int32_t FindDocumentWorksheet(const ObjectId* id, int32_t sheet, SheetCall* out);
// ResolveCell on the sheet call resolved before (the sheet is not resolved again).
xlsx_status ResolveCallCell(const SheetCall* call, const CellArgs* args, XlsxCell* out);

// ---- Sheet wrappers (index already checked unless stated; statuses reduced by the caller)

// The sheet's name, borrowed from the workbook: valid until the sheet list changes. "" when out of range.
const char* SheetNameAt(const DocumentRecord* record, int32_t index);
// The relationship id of the sheet at index, copied into buffer (kNameBufferSize); "" when out of range.
const char* SheetRelIdAt(const DocumentRecord* record, int32_t index, char* buffer);
// Appends a worksheet named name (UTF-8); the library's status (XLSX_ERR_INVALID_ARG for a refused name).
xlsx_status AddSheet(DocumentRecord* record, const char* name);
// Deletes the sheet at index after ending the document's range loops; the library's status.
xlsx_status DeleteSheet(DocumentRecord* record, int32_t index);
// Moves the sheet at index to the 1-based position (<= 1 first, >= count last); the library's status.
xlsx_status MoveSheet(DocumentRecord* record, int32_t index, int32_t position);
// Renames the sheet at index to name (UTF-8); the library's status.
xlsx_status RenameSheet(DocumentRecord* record, int32_t index, const char* name);
// 1-based index of the sheet named name; 0 when none.
uint32_t SheetIndexByName(const DocumentRecord* record, const char* name);
// 0 worksheet, 1 chart sheet, 2 dialog sheet, 3 macro sheet (by the sheet's relationship type).
uint32_t SheetType(const DocumentRecord* record, int32_t index);
// Whether the sheet at index is the workbook's active tab; false for an index out of range.
bool SheetActive(const DocumentRecord* record, int32_t index);
// Makes the visible sheet at index the active tab; a hidden sheet or an index out of range changes nothing.
void SetSheetActive(DocumentRecord* record, int32_t index);
// Whether the sheet's tab is selected; false for an index out of range.
bool SheetSelected(const DocumentRecord* record, int32_t index);
// Selects or unselects the sheet's tab, adding the attribute when the view lacks it; the library's status.
xlsx_status SetSheetSelected(DocumentRecord* record, int32_t index, bool selected);
// 1 "hidden", 2 "veryHidden", else 0.
uint32_t SheetVisibility(const DocumentRecord* record, int32_t index);
// 1 hides, 2 hides from the user interface too, anything else shows the sheet.
xlsx_status SetSheetVisibility(DocumentRecord* record, int32_t index, int32_t visibility);

// ---- Row and column wrappers (sheet index checked by the caller)

// Number of the sheet's last row (0 for an empty sheet or when it cannot be resolved).
uint32_t RowCount(const DocumentRecord* record, int32_t index);
// Highest column of a row's last cell, at least 1 (0 when the sheet cannot be resolved).
uint32_t ColumnCount(const DocumentRecord* record, int32_t index);
// Row attributes. The row element is created when missing; rows outside 1..1048576 give
// XLSX_ERR_INVALID_ARG. Readers store the default (height 15, not hidden) or 0/false on failure.
xlsx_status RowHeight(DocumentRecord* record, int32_t index, int32_t row, double* height);
// Writes the height (ht, customHeight); the library's status.
xlsx_status SetRowHeight(DocumentRecord* record, int32_t index, int32_t row, float height);
// Whether the row is hidden into *hidden; false on failure.
xlsx_status RowHidden(DocumentRecord* record, int32_t index, int32_t row, bool* hidden);
// Hides or shows the row; the library's status.
xlsx_status SetRowHidden(DocumentRecord* record, int32_t index, int32_t row, bool hidden);
// Column attributes. The col element is created when missing; columns outside 1..16384 give
// XLSX_ERR_INVALID_ARG. The width read is 9.8 for a new column, 0 on failure.
xlsx_status ColumnWidth(DocumentRecord* record, int32_t index, int32_t column, float* width);
// Writes the width (width, customWidth); the library's status.
xlsx_status SetColumnWidth(DocumentRecord* record, int32_t index, int32_t column, float width);
// Whether the column is hidden into *hidden; false on failure.
xlsx_status ColumnHidden(DocumentRecord* record, int32_t index, int32_t column, bool* hidden);
// Hides or shows the column; the library's status.
xlsx_status SetColumnHidden(DocumentRecord* record, int32_t index, int32_t column, bool hidden);

// ---- Cell wrappers

// Script type codes of cell values.
enum : int32_t {
  CELL_TYPE_EMPTY = 0,
  CELL_TYPE_INTEGER = 1,
  CELL_TYPE_TEXT = 3,
  CELL_TYPE_FLOAT = 12,
  CELL_TYPE_BOOLEAN = 13,
  CELL_TYPE_ERROR = 14,
};

// The script type code of a library value.
int32_t ScriptTypeOf(const XlsxCellValue* value);
// Builds the library value for a script type code from number or text (text only for CELL_TYPE_TEXT).
// Codes outside the table give the empty value. XLSX_ERR_NO_MEMORY leaves value as it was.
xlsx_status BuildValue(int32_t type, double number, const char* text, XlsxCellValue* value);
// Reads the cell's value into value (initialised by the caller, reset by the caller).
xlsx_status GetCellValue(DocumentRecord* record, int32_t sheet, const CellArgs* args, XlsxCellValue* value);
// GetCellValue on a sheet call resolved before, with a string or error text lent in *text (see
// xlsx_cell_peek_value) instead of copied into value.
xlsx_status PeekCellValue(const SheetCall* call, const CellArgs* args, XlsxCellValue* value, const char** text);
// Stores value in the cell.
xlsx_status SetCellValue(DocumentRecord* record, int32_t sheet, const CellArgs* args, const XlsxCellValue* value);
// Empties the cell's value; the formula stays.
xlsx_status ClearCellValue(DocumentRecord* record, int32_t sheet, const CellArgs* args);
// Whether the cell has a formula; its text into formula (initialised and released by the caller).
xlsx_status GetCellFormula(DocumentRecord* record, int32_t sheet, const CellArgs* args, bool* has, XlsxText* formula);
// Sets the formula (null removes it).
xlsx_status SetCellFormula(DocumentRecord* record, int32_t sheet, const CellArgs* args, const char* formula);
// The cell's position.
xlsx_status GetCellReference(DocumentRecord* record, int32_t sheet, const CellArgs* args, XlsxCellRef* ref);

// ---- Documents

// A new open document for path (opened, or created from the template when create); null on failure.
XlsxDocument* OpenLibraryDocument(const char* path, bool create);
// Saves the document to its own file (path null) or to path.
xlsx_status SaveLibraryDocument(XlsxDocument* document, const char* path);
// Closes and frees the document; null is ignored.
void FreeLibraryDocument(XlsxDocument* document);

// ---- Properties

// The library property number for a script property number; -1 when it names no property.
int32_t MapProperty(int32_t property);
// Sets the property to value (UTF-8); XLSX_ERR_INVALID_ARG for an unknown number or a refused value.
xlsx_status SetProperty(DocumentRecord* record, int32_t property, const char* value);
// The property's text, borrowed from the document (valid until the property changes); never null.
const char* GetProperty(DocumentRecord* record, int32_t property);
// Empties the property; XLSX_ERR_INVALID_ARG for an unknown number.
xlsx_status DeleteProperty(DocumentRecord* record, int32_t property);

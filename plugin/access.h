// The access layer: the only way command handlers (and the serializer) reach the spreadsheet library and
// the registries. It turns the script's view (1-based sheet numbers, x/y coordinates, reference texts or
// range position handles, texts in the host's character set) into the library's (worksheets, cells,
// UTF-8 texts) and hands library statuses back for the handler to reduce to success or failure; handlers
// choose the registered message themselves.
//
// Handlers read and check all their arguments before they acquire anything: the host's argument checks
// raise script errors with a long jump, so nothing may be held across them.
#pragma once

#include <cstdint>
#include <type_traits>

#include "lib/base/status.h"
#include "lib/sheet/value.h"
#include "lib/sheet/worksheet.h"
#include "plugin/documents.h"
#include "plugin/globals.h"
#include "plugin/host_api.h"
#include "plugin/ranges.h"

// One cell address as a script gives it: exactly one of handle, ref, or x and y is filled.
struct CellArgs {
  int32_t x;         // column number, 1-based
  int32_t y;         // row number, 1-based
  const char* ref;   // reference text such as "B3" (borrowed from the host stack), or null
  void* handle;      // position handle of a range loop, or null
};

// Size of the sheet name and cell text buffers.
constexpr uint32_t kNameBufferSize = 256;

// ---- Arguments

// A script number as a 32-bit integer, truncated toward zero; NaN gives 0, values beyond the range clamp.
int32_t ToInt32(double value);
// CheckNumber(index) as ToInt32; raises when the argument is missing or not a number.
int32_t ArgInt(HostState* L, int32_t index);
// OptNumber(index, fallback) as ToInt32.
int32_t OptArgInt(HostState* L, int32_t index, int32_t fallback);
// The document id, argument 1 (CheckObjectId); raises when it is missing.
inline ObjectId ArgId(HostState* L) {
  ObjectId id{};
  Host()->CheckObjectId(L, 1, &id);
  return id;
}
// Reads one cell address from *position on (a handle only when allowHandle), advancing *position past it.
// Raises (as CheckNumber/CheckString) for a missing argument; fills nothing that needs releasing.
void ParseCellArgs(HostState* L, int32_t* position, CellArgs* out, bool allowHandle);

// ---- Text conversion between the host's character set and UTF-8

// A host text as the library's UTF-8, for as long as one library call needs it.
struct LibraryText {
  const char* text;  // the text to hand to the library: converted, or the host's own
  char* converted;   // the block to release, or null
};
// The host text in UTF-8; the text itself when the host's texts are UTF-8 or it cannot be converted.
LibraryText ToLibraryText(const char* text);
// Releases what ToLibraryText made.
void ReleaseLibraryText(LibraryText* text);
// Whether a library text is well-formed UTF-8 (a host text the character set could not convert is not).
bool IsLibraryText(const char* text);
// work(text) with the host text in UTF-8, as ToLibraryText gives it; the converted text is released
// before work's result is returned. A work that stores (returns an xlsx_status) is not called for a text
// that is not UTF-8 once converted (it would make the file unreadable): XLSX_ERR_VALUE_TYPE.
template <typename Work>
auto WithLibraryText(const char* text, Work work) {
  LibraryText library = ToLibraryText(text);
  using Result = decltype(work(library.text));
  Result result{};
  if constexpr (std::is_same_v<Result, xlsx_status>) {
    result = IsLibraryText(library.text) ? work(library.text) : XLSX_ERR_VALUE_TYPE;
  } else {
    result = work(library.text);
  }
  ReleaseLibraryText(&library);
  return result;
}
// Pushes a library (UTF-8) text in the host's character set; the unconverted text when conversion fails.
void PushHostText(HostState* L, const char* text);

// ---- Documents

// A new open document for path (opened, or created from the template when create); null on failure.
XlsxDocument* OpenLibraryDocument(const char* path, bool create);
// Saves the document to its own file (path null) or to path.
xlsx_status SaveLibraryDocument(XlsxDocument* document, const char* path);
// Closes and frees the document without saving; null is ignored.
void FreeLibraryDocument(XlsxDocument* document);
// Ends the loops over the record's document and frees the document; the record stays, without one.
void CloseDocument(DocumentRecord* record);
// CloseDocument, then the record leaves the registry (ReleaseDocumentRecord). Null is ignored.
void ReleaseDocument(HostState* L, DocumentRecord* record);
// Selects how text cells are written from now on, in every document: in the shared strings table, or in
// the cells themselves.
void UseSharedStrings(bool shared);

// ---- Finding a command's document and sheet

// The document and sheet one command works on, found and checked once per call. The worksheet is opened
// once, by FindDocumentSheet when asked or by the first wrapper that needs it, and kept for the rest of
// the call; nothing in it is owned.
struct SheetCall {
  DocumentRecord* record;
  int32_t index;                 // the 1-based sheet, within the document's sheets
  XlsxWorksheet worksheet = {};  // once opened
  bool opened = false;
  xlsx_status status = XLSX_OK;  // of opening the worksheet
};

// Each finds the document of id, then checks what else it is given: 0 with *out filled, else the code to
// return ("Cannot find specified XLSX document!" before "Specified sheet is out of range!").
int32_t FindDocumentOf(const ObjectId* id, DocumentRecord** out);
// An optional sheet argument: 0 means the document's default sheet. With worksheet, the worksheet is
// opened in the same pass (for the commands that need it, the check then costs nothing more); one that
// cannot be opened leaves its status for the first wrapper that needs it.
int32_t FindDocumentSheet(const ObjectId* id, int32_t sheet, SheetCall* out, bool worksheet);
// The call's worksheet, opened once per call (later calls give the same); its status when it cannot be
// opened. Borrowed from the call.
xlsx_status CallWorksheet(SheetCall* call, XlsxWorksheet** out);
// A mandatory sheet number: 0 is out of range.
int32_t FindDocumentIndex(const ObjectId* id, int32_t idx, SheetCall* out);
// Number of sheets of the document (0 for null). O(1) while the sheet list is unchanged.
uint32_t SheetCount(const DocumentRecord* record);

// ---- Sheets (statuses are the library's)

// The sheet's name, borrowed from the workbook: valid until the sheet list changes.
const char* SheetName(const SheetCall* call);
// 1-based index of the sheet named name (UTF-8); 0 when none.
uint32_t SheetIndexByName(const DocumentRecord* record, const char* name);
// Appends a worksheet named name (UTF-8); XLSX_ERR_INVALID_ARG for a name the library refuses.
xlsx_status AddSheet(DocumentRecord* record, const char* name);
// Deletes the sheet after ending the document's loops; XLSX_ERR_INVALID_ARG for the only (visible) sheet.
xlsx_status DeleteSheet(SheetCall* call);
// Moves the sheet to the 1-based position (<= 1 first, >= count last).
xlsx_status MoveSheet(SheetCall* call, int32_t position);
// Renames the sheet to name (UTF-8); XLSX_ERR_INVALID_ARG for a name the library refuses.
xlsx_status RenameSheet(SheetCall* call, const char* name);
// Script sheet types (GetSheetType) and visibilities (GetSheetVisibility, SetSheetVisibility).
enum : int32_t {
  XLSX_SHEETTYPE_WORKSHEET,
  XLSX_SHEETTYPE_CHARTSHEET,
  XLSX_SHEETTYPE_DIALOGSHEET,
  XLSX_SHEETTYPE_MACROSHEET,
};
enum : int32_t { XLSX_VISIBILITY_VISIBLE, XLSX_VISIBILITY_HIDDEN, XLSX_VISIBILITY_VERYHIDDEN };
// The sheet's type, by its relationship's type.
int32_t SheetType(SheetCall* call);
// Whether the sheet is the workbook's active tab.
bool SheetActive(SheetCall* call);
// Makes the sheet the active tab; XLSX_ERR_INVALID_ARG for a hidden sheet, XLSX_ERR_NO_MEMORY when the
// workbook could not record it.
xlsx_status SetSheetActive(SheetCall* call);
// Whether the sheet's tab is selected; false when the worksheet cannot be opened.
bool SheetSelected(SheetCall* call);
// Selects or unselects the sheet's tab, adding the attribute when the view lacks it.
xlsx_status SetSheetSelected(SheetCall* call, bool selected);
// The sheet's visibility: XLSX_VISIBILITY_HIDDEN, XLSX_VISIBILITY_VERYHIDDEN or XLSX_VISIBILITY_VISIBLE.
int32_t SheetVisibility(SheetCall* call);
// Hides the sheet (XLSX_VISIBILITY_HIDDEN, XLSX_VISIBILITY_VERYHIDDEN) or shows it (any other value);
// XLSX_ERR_INVALID_ARG for hiding the last visible sheet.
xlsx_status SetSheetVisibility(SheetCall* call, int32_t visibility);

// ---- Rows and columns of the call's sheet

enum class Axis { kRow, kColumn };
// The sheet's number of rows (0 for an empty sheet) or columns (at least 1); 0 when the worksheet cannot
// be opened.
uint32_t SheetExtent(SheetCall* call, Axis axis);
// Row heights (15 until set) and column widths (9.8 until set) of row or column number; the element is
// created when missing. *size is 0 on failure.
xlsx_status LineSize(SheetCall* call, Axis axis, int32_t number, double* size);
xlsx_status SetLineSize(SheetCall* call, Axis axis, int32_t number, float size);
// Hidden states; *hidden is false on failure.
xlsx_status LineHidden(SheetCall* call, Axis axis, int32_t number, bool* hidden);
xlsx_status SetLineHidden(SheetCall* call, Axis axis, int32_t number, bool hidden);

// ---- Cells: the cell of args on the call's sheet, or the current cell of a position handle (which must
// belong to a running loop over the call's document). Missing rows and cells are created. Column numbers
// outside 1..16384 and rows outside 1..1048576 fail with XLSX_ERR_INVALID_ARG, a handle that resolves to
// no cell with XLSX_ERR_NOT_FOUND.

// Script type codes of cell values, read (GetCellValue's second result) and written (SetCellValue's type).
enum : int32_t {
  CELL_TYPE_EMPTY = 0,     // written: also every code not listed here
  CELL_TYPE_INTEGER = 1,   // read: integers; written: the number truncated toward zero
  CELL_TYPE_TEXT = 3,      // texts
  CELL_TYPE_FLOAT = 12,    // floating point
  CELL_TYPE_BOOLEAN = 13,  // read: 1 or 0; written: true for any number but 0
  CELL_TYPE_ERROR = 14,    // read: error values; written: the default, an integer when whole, else floating point
};
// A cell's value as scripts see it.
struct ScriptValue {
  int32_t type;        // CELL_TYPE_
  double number;       // integers, booleans (1 or 0) and floating-point values
  const char* text;    // texts and error values (never null for them): lent by the sheet, the shared strings
                       // table or held, valid until the cell changes or the value is released
  XlsxCellValue held;  // what the library made for the read
};
// Reads the cell's value; nothing is held on failure.
xlsx_status ReadCellValue(SheetCall* call, const CellArgs* args, ScriptValue* out);
// Releases what a read holds.
void ReleaseScriptValue(ScriptValue* value);
// Stores the value of a script type code made from number, or text (UTF-8) for CELL_TYPE_TEXT. Codes
// outside the table store the empty value.
xlsx_status StoreCellValue(SheetCall* call, const CellArgs* args, int32_t type, double number, const char* text);
// Empties the cell's value; the formula stays.
xlsx_status ClearCellValue(SheetCall* call, const CellArgs* args);
// Whether the cell has a formula.
xlsx_status CellHasFormula(SheetCall* call, const CellArgs* args, bool* has);
// Whether the cell has a formula into *has; when it has one, pushes its text with PushHostText.
xlsx_status PushCellFormula(HostState* L, SheetCall* call, const CellArgs* args, bool* has);
// Sets the formula (UTF-8), stored without a cached value; null removes it.
xlsx_status SetCellFormula(SheetCall* call, const CellArgs* args, const char* formula);
// The cell's column and row and its reference text (into text, kNameBufferSize bytes).
xlsx_status CellReference(SheetCall* call, const CellArgs* args, uint32_t* column, uint32_t* row, char* text);
// The cell of args (invalid handle on failure), for commands that work on the library's cell directly.
xlsx_status CallCell(SheetCall* call, const CellArgs* args, XlsxCell* out);
// Starts loop over the rectangle between the corners (x and y or reference texts, in either order) on
// the call's sheet; false, with the loop ended, when a corner names no cell or the range cannot be made.
bool StartCellRange(SheetCall* call, const CellArgs* from, const CellArgs* to, RangeLoop* loop);

// A walk over the rows and cells a sheet holds, in reading order, that creates nothing: its cost follows
// the cells, not the rectangle they span. The elements it stands on stay valid while the walk reads
// values only.
struct HeldWalk {
  void* row;   // the current row element, or null after the last
  void* cell;  // the current cell element of that row, or null
};
// Starts at the first row the call's sheet holds: its number into *row; false when it holds none or the
// worksheet cannot be opened.
bool FirstHeldRow(SheetCall* call, HeldWalk* walk, uint32_t* row);
// Moves to the next row: false after the last.
bool NextHeldRow(HeldWalk* walk, uint32_t* row);
// Moves to the first (first) or next cell of the current row, its column into *column; false when the
// row holds no more.
bool NextHeldCell(HeldWalk* walk, bool first, uint32_t* column);
// Reads the value of the walk's current cell, as ReadCellValue does.
xlsx_status ReadHeldValue(SheetCall* call, const HeldWalk* walk, ScriptValue* out);

// ---- Properties

// Whether property is one of the script property numbers, which are the library's.
bool IsProperty(int32_t property);
// Sets the property to value (UTF-8; null is ""), adding the property part when the document has none;
// XLSX_ERR_INVALID_ARG for a value the property does not accept, XLSX_ERR_NOT_FOUND when the part cannot
// be read or added.
xlsx_status SetProperty(DocumentRecord* record, int32_t property, const char* value);
// A copy of the property's text as it reads (escapes decoded), released with FreeProperty; null when
// memory runs out.
char* GetProperty(DocumentRecord* record, int32_t property);
void FreeProperty(char* text);
// Empties the property, as SetProperty with "".
xlsx_status DeleteProperty(DocumentRecord* record, int32_t property);

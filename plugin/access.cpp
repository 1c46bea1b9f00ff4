// The access layer between the command handlers and the spreadsheet library.
#include "plugin/access.h"

#include <cmath>
#include <cstring>

#include "lib/base/alloc.h"
#include "lib/document/document.h"
#include "lib/package/properties.h"
#include "lib/package/relationships.h"
#include "lib/sheet/columns.h"
#include "lib/sheet/sheet_view.h"
#include "lib/sheet/workbook.h"
#include "plugin/globals.h"
#include "plugin/range_iterator.h"

namespace {

// The largest double below 2^63: doubles at or above 2^63 do not fit a signed 64-bit integer.
constexpr double kInt64Limit = 9223372036854775808.0;

// Copies text into buffer (kNameBufferSize), cut to kNameBufferSize - 1 bytes.
const char* CopyName(const char* text, char* buffer) {
  size_t n = strlen(text);
  if (n >= kNameBufferSize) n = kNameBufferSize - 1;
  memcpy(buffer, text, n);
  buffer[n] = '\0';
  return buffer;
}

// Whole-number doubles that fit a signed 64-bit integer.
bool FitsInt64(double number) { return number >= -kInt64Limit && number < kInt64Limit; }

int64_t TruncateToInt64(double number) {
  if (std::isnan(number)) return 0;
  if (number >= kInt64Limit) return INT64_MAX;
  if (number < -kInt64Limit) return INT64_MIN;
  return static_cast<int64_t>(number);
}

XlsxRow RowOf(DocumentRecord* record, int32_t index, int32_t row, xlsx_status* status) {
  XlsxRow out{};
  XlsxWorksheet sheet{};
  *status = ResolveSheet(record, index, &sheet);
  if (*status == XLSX_OK) *status = xlsx_sheet_row(&sheet, static_cast<uint32_t>(row), &out);
  return out;
}

XlsxColumn ColumnOf(DocumentRecord* record, int32_t index, int32_t column, xlsx_status* status) {
  XlsxColumn out{};
  XlsxWorksheet sheet{};
  *status = ResolveSheet(record, index, &sheet);
  if (*status == XLSX_OK) *status = xlsx_sheet_column(&sheet, static_cast<uint32_t>(column), &out);
  return out;
}

// The cell a reference or x and y name on the worksheet (created when missing). Negative numbers become
// large unsigned ones, so every number outside the sheet's limits is refused; nothing is reduced to 16 bits.
xlsx_status CellOnSheet(XlsxWorksheet* worksheet, const CellArgs* args, XlsxCell* out) {
  if (args->ref) return xlsx_sheet_cell_by_ref(worksheet, args->ref, out);
  return xlsx_sheet_cell(worksheet, static_cast<uint32_t>(args->y), static_cast<uint32_t>(args->x), out);
}

// The shared strings table is read with the first cell value a script reads (as the worksheet is parsed
// with its first cell), so that the first text read costs no more than any other; a script that only
// writes never reads it. Without memory for it now, the next read tries again.
void LoadSharedStrings(const DocumentRecord* record) {
  XlsxSharedStrings* strings = xlsx_document_shared_strings(record->document);
  if (strings && !strings->loaded) xlsx_sst_ensure_loaded(strings);
}

}  // namespace

// ---- Arguments

int32_t ToInt32(double value) {
  if (std::isnan(value)) return 0;
  // Inside the range the conversion truncates toward zero as trunc does, without a library call for
  // each of the two or three numbers every command reads.
  if (value >= 2147483647.0) return INT32_MAX;
  if (value <= -2147483648.0) return INT32_MIN;
  return static_cast<int32_t>(value);
}

int32_t ArgInt(HostState* L, int32_t index) { return ToInt32(Host()->CheckNumber(L, index)); }

int32_t OptArgInt(HostState* L, int32_t index, int32_t fallback) {
  return ToInt32(Host()->OptNumber(L, index, fallback));
}

void ParseCellArgs(HostState* L, int32_t* position, CellArgs* out, bool allowHandle) {
  const HostApi* host = Host();
  *out = CellArgs{0, 0, nullptr, nullptr};
  int32_t at = *position;
  int32_t type = host->ValueType(L, at);
  if (allowHandle && type == HOST_TLIGHTUSERDATA) {
    out->handle = host->ToUserdata(L, at);
    *position = at + 1;
  } else if (type == HOST_TSTRING) {
    out->ref = host->CheckString(L, at);
    *position = at + 1;
  } else {
    out->x = ArgInt(L, at);
    out->y = ArgInt(L, at + 1);
    *position = at + 2;
  }
}

// ---- Text conversion

const char* ToLibraryText(const char* text, char** release) {
  *release = nullptr;
  if (globals.textPassThrough || !text) return text;
  char* converted = Host()->ConvertText(text, HOST_ENCODING_SYSTEM, HOST_ENCODING_UTF8, nullptr);
  if (!converted) return text;
  *release = converted;
  return converted;
}

void ReleaseLibraryText(char* release) {
  if (release) Host()->FreeText(release);
}

void PushHostText(HostState* L, const char* text) {
  const HostApi* host = Host();
  if (!text) text = "";
  if (globals.textPassThrough) {
    host->PushString(L, text);
    return;
  }
  char* converted = host->ConvertText(text, HOST_ENCODING_UTF8, HOST_ENCODING_SYSTEM, nullptr);
  host->PushString(L, converted ? converted : text);
  if (converted) host->FreeText(converted);
}

// ---- Documents and sheets

XlsxWorkbook* WorkbookOf(const DocumentRecord* record) {
  return record ? xlsx_document_workbook(record->document) : nullptr;
}

uint32_t SheetCount(const DocumentRecord* record) { return xlsx_workbook_sheet_count(WorkbookOf(record)); }

int32_t EffectiveSheet(const DocumentRecord* record, int32_t sheet) {
  if (sheet != 0 || !record) return sheet;
  return record->defaultSheet > INT32_MAX ? INT32_MAX : static_cast<int32_t>(record->defaultSheet);
}

bool SheetInRange(const DocumentRecord* record, int32_t index) {
  return index >= 1 && static_cast<uint32_t>(index) <= SheetCount(record);
}

int32_t FindDocumentSheet(const ObjectId* id, int32_t sheet, DocumentRecord** record, int32_t* index) {
  *record = FindDocument(id);
  if (!*record) return ErrorCode(ERROR_NO_DOCUMENT);
  *index = EffectiveSheet(*record, sheet);
  if (!SheetInRange(*record, *index)) return ErrorCode(ERROR_SHEET_RANGE);
  return 0;
}

xlsx_status ResolveSheet(const DocumentRecord* record, int32_t index, XlsxWorksheet* out) {
  if (index < 1) return XLSX_ERR_NOT_FOUND;
  return xlsx_workbook_worksheet_at(WorkbookOf(record), static_cast<uint32_t>(index), out);
}

int32_t FindDocumentWorksheet(const ObjectId* id, int32_t sheet, SheetCall* out) {
  *out = SheetCall{FindDocument(id), 0, XlsxWorksheet{}, XLSX_OK};
  if (!out->record) return ErrorCode(ERROR_NO_DOCUMENT);
  out->index = EffectiveSheet(out->record, sheet);
  if (out->index < 1) return ErrorCode(ERROR_SHEET_RANGE);
  XlsxWorkbook* workbook = WorkbookOf(out->record);
  out->status = xlsx_workbook_worksheet_at(workbook, static_cast<uint32_t>(out->index), &out->worksheet);
  // Out of range, no workbook, or a sheet list that could not be built (which counts no sheets): the
  // sheet is out of range, as SheetInRange says. Any other failure is the cell's.
  bool no_list = out->status == XLSX_ERR_NO_MEMORY && (!workbook || !workbook->cache_valid);
  if (out->status == XLSX_ERR_NOT_FOUND || out->status == XLSX_ERR_INVALID_ARG || no_list)
    return ErrorCode(ERROR_SHEET_RANGE);
  return 0;
}

xlsx_status ResolveCallCell(const SheetCall* call, const CellArgs* args, XlsxCell* out) {
  *out = XlsxCell{};
  if (args->handle) return RangeHandleCell(call->record, args->handle, out) ? XLSX_OK : XLSX_ERR_NOT_FOUND;
  if (call->status != XLSX_OK) return call->status;
  // The lookups may set the worksheet's index: work on a copy, the call stays as resolved.
  XlsxWorksheet worksheet = call->worksheet;
  return CellOnSheet(&worksheet, args, out);
}

xlsx_status ResolveCell(DocumentRecord* record, int32_t sheet, const CellArgs* args, XlsxCell* out) {
  *out = XlsxCell{};
  if (args->handle) return RangeHandleCell(record, args->handle, out) ? XLSX_OK : XLSX_ERR_NOT_FOUND;
  XlsxWorksheet worksheet{};
  xlsx_status status = ResolveSheet(record, sheet, &worksheet);
  return status == XLSX_OK ? CellOnSheet(&worksheet, args, out) : status;
}

// ---- Sheet wrappers

const char* SheetNameAt(const DocumentRecord* record, int32_t index) {
  if (index < 1) return "";
  return xlsx_workbook_sheet_name_at(WorkbookOf(record), static_cast<uint32_t>(index));
}

const char* SheetRelIdAt(const DocumentRecord* record, int32_t index, char* buffer) {
  XlsxWorkbook* workbook = WorkbookOf(record);
  return CopyName(xlsx_workbook_sheet_rid(workbook, SheetNameAt(record, index)), buffer);
}

xlsx_status AddSheet(DocumentRecord* record, const char* name) {
  return xlsx_workbook_add_sheet(WorkbookOf(record), name);
}

xlsx_status DeleteSheet(DocumentRecord* record, int32_t index) {
  // The name lives in the element being removed: work on a copy.
  char* name = xlsx_strdup(SheetNameAt(record, index));
  if (!name) return XLSX_ERR_NO_MEMORY;
  // Loops over the document hold elements of its sheets; end them before a part can go away.
  EndDocumentRanges(record);
  xlsx_status status = xlsx_workbook_delete_sheet(WorkbookOf(record), name);
  xlsx_free(name);
  return status;
}

xlsx_status MoveSheet(DocumentRecord* record, int32_t index, int32_t position) {
  char* name = xlsx_strdup(SheetNameAt(record, index));
  if (!name) return XLSX_ERR_NO_MEMORY;
  xlsx_status status = xlsx_workbook_move_sheet(WorkbookOf(record), name, position);
  xlsx_free(name);
  return status;
}

xlsx_status RenameSheet(DocumentRecord* record, int32_t index, const char* name) {
  char rel_id[kNameBufferSize];
  SheetRelIdAt(record, index, rel_id);
  return xlsx_workbook_rename_sheet(WorkbookOf(record), rel_id, name);
}

uint32_t SheetIndexByName(const DocumentRecord* record, const char* name) {
  return xlsx_workbook_sheet_index(WorkbookOf(record), name);
}

uint32_t SheetType(const DocumentRecord* record, int32_t index) {
  char rel_id[kNameBufferSize];
  SheetRelIdAt(record, index, rel_id);
  XlsxRelationships* rels = xlsx_document_workbook_rels(record->document);
  switch (xlsx_rel_item_type(xlsx_rels_find_by_id(rels, rel_id))) {
    case XLSX_REL_CHARTSHEET: return 1;
    case XLSX_REL_DIALOGSHEET: return 2;
    case XLSX_REL_MACROSHEET: return 3;
    default: return 0;
  }
}

bool SheetActive(const DocumentRecord* record, int32_t index) {
  char rel_id[kNameBufferSize];
  return xlsx_workbook_is_active(WorkbookOf(record), SheetRelIdAt(record, index, rel_id));
}

void SetSheetActive(DocumentRecord* record, int32_t index) {
  char rel_id[kNameBufferSize];
  xlsx_workbook_set_active(WorkbookOf(record), SheetRelIdAt(record, index, rel_id));
}

bool SheetSelected(const DocumentRecord* record, int32_t index) {
  XlsxWorksheet sheet{};
  return ResolveSheet(record, index, &sheet) == XLSX_OK && xlsx_sheet_is_selected(&sheet);
}

xlsx_status SetSheetSelected(DocumentRecord* record, int32_t index, bool selected) {
  XlsxWorksheet sheet{};
  xlsx_status status = ResolveSheet(record, index, &sheet);
  return status == XLSX_OK ? xlsx_sheet_set_selected(&sheet, selected ? 1 : 0) : status;
}

uint32_t SheetVisibility(const DocumentRecord* record, int32_t index) {
  char rel_id[kNameBufferSize];
  const char* state = xlsx_workbook_sheet_state(WorkbookOf(record), SheetRelIdAt(record, index, rel_id));
  if (strcmp(state, "hidden") == 0) return 1;
  if (strcmp(state, "veryHidden") == 0) return 2;
  return 0;
}

xlsx_status SetSheetVisibility(DocumentRecord* record, int32_t index, int32_t visibility) {
  char rel_id[kNameBufferSize];
  const char* state = visibility == 1 ? "hidden" : visibility == 2 ? "veryHidden" : "";
  return xlsx_workbook_set_sheet_state(WorkbookOf(record), SheetRelIdAt(record, index, rel_id), state);
}

// ---- Row and column wrappers

uint32_t RowCount(const DocumentRecord* record, int32_t index) {
  XlsxWorksheet sheet{};
  return ResolveSheet(record, index, &sheet) == XLSX_OK ? xlsx_sheet_row_count(&sheet) : 0;
}

uint32_t ColumnCount(const DocumentRecord* record, int32_t index) {
  XlsxWorksheet sheet{};
  return ResolveSheet(record, index, &sheet) == XLSX_OK ? xlsx_sheet_column_count(&sheet) : 0;
}

xlsx_status RowHeight(DocumentRecord* record, int32_t index, int32_t row, double* height) {
  xlsx_status status;
  XlsxRow handle = RowOf(record, index, row, &status);
  *height = status == XLSX_OK ? xlsx_row_height(&handle) : 0.0;
  return status;
}

xlsx_status SetRowHeight(DocumentRecord* record, int32_t index, int32_t row, float height) {
  xlsx_status status;
  XlsxRow handle = RowOf(record, index, row, &status);
  return status == XLSX_OK ? xlsx_row_set_height(&handle, height) : status;
}

xlsx_status RowHidden(DocumentRecord* record, int32_t index, int32_t row, bool* hidden) {
  xlsx_status status;
  XlsxRow handle = RowOf(record, index, row, &status);
  *hidden = status == XLSX_OK && xlsx_row_is_hidden(&handle);
  return status;
}

xlsx_status SetRowHidden(DocumentRecord* record, int32_t index, int32_t row, bool hidden) {
  xlsx_status status;
  XlsxRow handle = RowOf(record, index, row, &status);
  return status == XLSX_OK ? xlsx_row_set_hidden(&handle, hidden ? 1 : 0) : status;
}

xlsx_status ColumnWidth(DocumentRecord* record, int32_t index, int32_t column, float* width) {
  xlsx_status status;
  XlsxColumn handle = ColumnOf(record, index, column, &status);
  *width = status == XLSX_OK ? xlsx_column_width(&handle) : 0.0f;
  return status;
}

xlsx_status SetColumnWidth(DocumentRecord* record, int32_t index, int32_t column, float width) {
  xlsx_status status;
  XlsxColumn handle = ColumnOf(record, index, column, &status);
  return status == XLSX_OK ? xlsx_column_set_width(&handle, width) : status;
}

xlsx_status ColumnHidden(DocumentRecord* record, int32_t index, int32_t column, bool* hidden) {
  xlsx_status status;
  XlsxColumn handle = ColumnOf(record, index, column, &status);
  *hidden = status == XLSX_OK && xlsx_column_is_hidden(&handle);
  return status;
}

xlsx_status SetColumnHidden(DocumentRecord* record, int32_t index, int32_t column, bool hidden) {
  xlsx_status status;
  XlsxColumn handle = ColumnOf(record, index, column, &status);
  return status == XLSX_OK ? xlsx_column_set_hidden(&handle, hidden ? 1 : 0) : status;
}

// ---- Cell wrappers

int32_t ScriptTypeOf(const XlsxCellValue* value) {
  switch (xlsx_value_type(value)) {
    case XLSX_VALUE_BOOLEAN: return CELL_TYPE_BOOLEAN;
    case XLSX_VALUE_INTEGER: return CELL_TYPE_INTEGER;
    case XLSX_VALUE_FLOAT: return CELL_TYPE_FLOAT;
    case XLSX_VALUE_ERROR: return CELL_TYPE_ERROR;
    case XLSX_VALUE_STRING: return CELL_TYPE_TEXT;
    default: return CELL_TYPE_EMPTY;
  }
}

xlsx_status BuildValue(int32_t type, double number, const char* text, XlsxCellValue* value) {
  switch (type) {
    case CELL_TYPE_INTEGER:
      // A number that is not finite cannot be an integer: it is stored as the error "#NUM!".
      if (!std::isfinite(number)) return xlsx_value_set_float(value, number);
      return xlsx_value_set_int(value, TruncateToInt64(number));
    case CELL_TYPE_TEXT: return xlsx_value_set_string(value, text);
    case CELL_TYPE_FLOAT: return xlsx_value_set_float(value, number);
    case CELL_TYPE_BOOLEAN: return xlsx_value_set_bool(value, number != 0 ? 1 : 0);
    case CELL_TYPE_ERROR:
      // The default: whole numbers within the 64-bit range are integers, everything else floats.
      if (std::ceil(number) == std::floor(number) && FitsInt64(number))
        return xlsx_value_set_int(value, static_cast<int64_t>(number));
      return xlsx_value_set_float(value, number);
    default: return xlsx_value_set_empty(value);
  }
}

xlsx_status GetCellValue(DocumentRecord* record, int32_t sheet, const CellArgs* args, XlsxCellValue* value) {
  LoadSharedStrings(record);
  XlsxCell cell{};
  xlsx_status status = ResolveCell(record, sheet, args, &cell);
  return status == XLSX_OK ? xlsx_cell_get_value(&cell, value) : status;
}

xlsx_status PeekCellValue(const SheetCall* call, const CellArgs* args, XlsxCellValue* value, const char** text) {
  *text = nullptr;
  LoadSharedStrings(call->record);
  XlsxCell cell{};
  xlsx_status status = ResolveCallCell(call, args, &cell);
  return status == XLSX_OK ? xlsx_cell_peek_value(&cell, value, text) : status;
}

xlsx_status SetCellValue(DocumentRecord* record, int32_t sheet, const CellArgs* args, const XlsxCellValue* value) {
  XlsxCell cell{};
  xlsx_status status = ResolveCell(record, sheet, args, &cell);
  return status == XLSX_OK ? xlsx_cell_set_value(&cell, value) : status;
}

xlsx_status ClearCellValue(DocumentRecord* record, int32_t sheet, const CellArgs* args) {
  XlsxCell cell{};
  xlsx_status status = ResolveCell(record, sheet, args, &cell);
  return status == XLSX_OK ? xlsx_cell_clear_value(&cell) : status;
}

xlsx_status GetCellFormula(DocumentRecord* record, int32_t sheet, const CellArgs* args, bool* has, XlsxText* formula) {
  *has = false;
  XlsxCell cell{};
  xlsx_status status = ResolveCell(record, sheet, args, &cell);
  if (status != XLSX_OK) return status;
  *has = xlsx_cell_has_formula(&cell);
  return *has ? xlsx_cell_get_formula(&cell, formula) : XLSX_OK;
}

xlsx_status SetCellFormula(DocumentRecord* record, int32_t sheet, const CellArgs* args, const char* formula) {
  XlsxCell cell{};
  xlsx_status status = ResolveCell(record, sheet, args, &cell);
  if (status != XLSX_OK) return status;
  return formula ? xlsx_cell_set_formula(&cell, formula) : xlsx_cell_clear_formula(&cell);
}

xlsx_status GetCellReference(DocumentRecord* record, int32_t sheet, const CellArgs* args, XlsxCellRef* ref) {
  XlsxCell cell{};
  xlsx_status status = ResolveCell(record, sheet, args, &cell);
  return status == XLSX_OK ? xlsx_cell_ref(&cell, ref) : status;
}

// ---- Documents

XlsxDocument* OpenLibraryDocument(const char* path, bool create) {
  XlsxDocument* document = xlsx_document_new();
  if (!document) return nullptr;
  xlsx_status status = create ? xlsx_document_create(document, path) : xlsx_document_open(document, path);
  if (status == XLSX_OK) return document;
  FreeLibraryDocument(document);
  return nullptr;
}

xlsx_status SaveLibraryDocument(XlsxDocument* document, const char* path) {
  return path ? xlsx_document_save_as(document, path) : xlsx_document_save(document);
}

void FreeLibraryDocument(XlsxDocument* document) {
  if (!document) return;
  xlsx_document_close(document);
  xlsx_document_free(document);
}

// ---- Properties

namespace {

struct PropertyRow {
  int32_t script;
  int32_t library;
};

// Script property numbers to library property numbers, ended by -1.
constexpr PropertyRow kPropertyMap[] = {
    {0, 0},   {1, 1},   {2, 2},   {3, 3},   {4, 4},   {5, 5},   {6, 6},   {7, 7},   {8, 8},   {9, 9},
    {10, 10}, {11, 11}, {12, 12}, {13, 13}, {14, 14}, {15, 15}, {16, 16}, {17, 17}, {18, 18}, {19, 19},
    {-1, -1},
};

}  // namespace

int32_t MapProperty(int32_t property) {
  for (const PropertyRow* row = kPropertyMap; row->script != -1; ++row) {
    if (row->script == property) return row->library;
  }
  return -1;
}

xlsx_status SetProperty(DocumentRecord* record, int32_t property, const char* value) {
  int32_t number = MapProperty(property);
  if (number < 0) return XLSX_ERR_INVALID_ARG;
  return xlsx_document_set_property(record->document, static_cast<uint32_t>(number), value);
}

const char* GetProperty(DocumentRecord* record, int32_t property) {
  int32_t number = MapProperty(property);
  if (number < 0) return "";
  return xlsx_document_get_property(record->document, static_cast<uint32_t>(number));
}

xlsx_status DeleteProperty(DocumentRecord* record, int32_t property) {
  int32_t number = MapProperty(property);
  if (number < 0) return XLSX_ERR_INVALID_ARG;
  return xlsx_document_delete_property(record->document, static_cast<uint32_t>(number));
}

// The access layer between the command handlers and the spreadsheet library and registries.
#include "plugin/access.h"

#include <cmath>
#include <cstring>
#include <initializer_list>

#include "lib/base/alloc.h"
#include "lib/base/convert.h"
#include "lib/document/document.h"
#include "lib/package/part.h"
#include "lib/package/properties.h"
#include "lib/package/relationships.h"
#include "lib/sheet/cell.h"
#include "lib/sheet/cellref.h"
#include "lib/sheet/columns.h"
#include "lib/sheet/sheet_index.h"
#include "lib/sheet/sheet_view.h"
#include "lib/sheet/workbook.h"
#include "plugin/globals.h"

namespace {

// The largest double below 2^63: doubles at or above 2^63 do not fit a signed 64-bit integer.
constexpr double kInt64Limit = 9223372036854775808.0;

// The `state` texts of the sheet visibilities, indexed by XLSX_VISIBILITY_.
constexpr const char* kSheetStates[] = {"", "hidden", "veryHidden"};

// Whole-number doubles that fit a signed 64-bit integer.
bool FitsInt64(double number) { return number >= -kInt64Limit && number < kInt64Limit; }

int64_t TruncateToInt64(double number) {
  if (std::isnan(number)) return 0;
  if (number >= kInt64Limit) return INT64_MAX;
  if (number < -kInt64Limit) return INT64_MIN;
  return static_cast<int64_t>(number);
}

XlsxWorkbook* WorkbookOf(const DocumentRecord* record) {
  return record ? xlsx_document_workbook(record->document) : nullptr;
}

// The call's worksheet, opened once per call; its status when it cannot be opened.
xlsx_status Worksheet(SheetCall* call, XlsxWorksheet** out) {
  if (!call->opened) {
    call->status = xlsx_workbook_worksheet_at(WorkbookOf(call->record), static_cast<uint32_t>(call->index),
                                              &call->worksheet);
    call->opened = true;
  }
  *out = &call->worksheet;
  return call->status;
}

// The call on sheet index of record, its worksheet opened when asked: 0, or the code of the first check
// that fails.
int32_t CheckSheet(DocumentRecord* record, int32_t index, bool worksheet, SheetCall* out) {
  *out = SheetCall{record, index};
  if (!record) return ErrorCode(ERROR_NO_DOCUMENT);
  XlsxWorksheet* opened = nullptr;
  // An opened worksheet is in range; only a failure needs the count to tell an index out of range from
  // a sheet that cannot be opened.
  if (index >= 1 && worksheet && Worksheet(out, &opened) == XLSX_OK) return 0;
  if (index < 1 || static_cast<uint32_t>(index) > SheetCount(record)) return ErrorCode(ERROR_SHEET_RANGE);
  return 0;
}

// The relationship id of the call's sheet; "" when there is none. Borrowed as the sheet's name.
const char* SheetRelId(const SheetCall* call) {
  return xlsx_workbook_sheet_rid(WorkbookOf(call->record), SheetName(call));
}

// Runs change on a copy of the sheet's name: the name lives in the element a change may remove or rename.
template <typename Change>
xlsx_status WithSheetName(const SheetCall* call, Change change) {
  char* name = xlsx_strdup(SheetName(call));
  if (!name) return XLSX_ERR_NO_MEMORY;
  xlsx_status status = change(WorkbookOf(call->record), name);
  xlsx_free(name);
  return status;
}

// The cell a position handle, a reference or x and y name. Negative numbers become large unsigned ones,
// so every number outside the sheet's limits is refused; nothing is reduced to 16 bits.
xlsx_status ResolveCell(SheetCall* call, const CellArgs* args, XlsxCell* out) {
  *out = XlsxCell{};
  if (args->handle) return RangeHandleCell(call->record, args->handle, out) ? XLSX_OK : XLSX_ERR_NOT_FOUND;
  XlsxWorksheet* sheet = nullptr;
  xlsx_status status = Worksheet(call, &sheet);
  if (status != XLSX_OK) return status;
  if (args->ref) return xlsx_sheet_cell_by_ref(sheet, args->ref, out);
  return xlsx_sheet_cell(sheet, static_cast<uint32_t>(args->y), static_cast<uint32_t>(args->x), out);
}

// Resolves the cell and runs work on it.
template <typename Work>
xlsx_status OnCell(SheetCall* call, const CellArgs* args, Work work) {
  XlsxCell cell{};
  xlsx_status status = ResolveCell(call, args, &cell);
  return status == XLSX_OK ? work(&cell) : status;
}

// A row or a column of the call's sheet, created when missing.
struct Line {
  XlsxRow row;
  XlsxColumn column;
};

xlsx_status OpenLine(SheetCall* call, Axis axis, int32_t number, Line* out) {
  *out = Line{};
  XlsxWorksheet* sheet = nullptr;
  xlsx_status status = Worksheet(call, &sheet);
  if (status != XLSX_OK) return status;
  uint32_t at = static_cast<uint32_t>(number);
  return axis == Axis::kRow ? xlsx_sheet_row(sheet, at, &out->row) : xlsx_sheet_column(sheet, at, &out->column);
}

// The shared strings table is read with the first cell value a script reads (as the worksheet is parsed
// with its first cell), so that the first text read costs no more than any other; a script that only
// writes never reads it. Without memory for it now, the next read tries again.
void LoadSharedStrings(const DocumentRecord* record) {
  XlsxSharedStrings* strings = xlsx_document_shared_strings(record->document);
  if (strings && !strings->loaded) xlsx_sst_ensure_loaded(strings);
}

// The script's type code of a library value.
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

// The script's view of the value out->held; lent is the text of a string or error value when the library
// lent it rather than copying it into the value.
void ToScriptValue(const char* lent, ScriptValue* out) {
  const XlsxCellValue* value = &out->held;
  out->type = ScriptTypeOf(value);
  out->number = 0;
  out->text = nullptr;
  if (out->type == CELL_TYPE_TEXT || out->type == CELL_TYPE_ERROR) {
    out->text = lent ? lent : value->text ? value->text : "";
  }
  if (out->type == CELL_TYPE_INTEGER) out->number = static_cast<double>(value->integer);
  if (out->type == CELL_TYPE_FLOAT) out->number = value->number;
  if (out->type == CELL_TYPE_BOOLEAN) out->number = value->boolean ? 1 : 0;
}

// The library value of a script type code made from a number.
xlsx_status NumberValue(int32_t type, double number, XlsxCellValue* value) {
  switch (type) {
    case CELL_TYPE_INTEGER:
      // A number that is not finite cannot be an integer: it is stored as the error "#NUM!".
      if (!std::isfinite(number)) return xlsx_value_set_float(value, number);
      return xlsx_value_set_int(value, TruncateToInt64(number));
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

// A corner of a range from a reference text or from x (column) and y (row).
bool CornerOf(const CellArgs* args, XlsxCellRef* ref) {
  if (args->ref) return xlsx_cellref_set_text(ref, args->ref) == XLSX_OK;
  if (args->x < 1 || args->y < 1) return false;
  return xlsx_cellref_set(ref, static_cast<uint32_t>(args->y), static_cast<uint32_t>(args->x)) == XLSX_OK;
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

LibraryText ToLibraryText(const char* text) {
  if (globals.textPassThrough || !text) return LibraryText{text, nullptr};
  char* converted = Host()->ConvertText(text, HOST_ENCODING_SYSTEM, HOST_ENCODING_UTF8, nullptr);
  return converted ? LibraryText{converted, converted} : LibraryText{text, nullptr};
}

bool IsLibraryText(const char* text) { return !text || xlsx_utf8_is_valid(text, uint32_t(std::strlen(text))); }

void ReleaseLibraryText(LibraryText* text) {
  if (text->converted) Host()->FreeText(text->converted);
  *text = LibraryText{};
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

void CloseDocument(DocumentRecord* record) {
  // Loops over the document hold elements of its trees: they end before the trees go away.
  EndDocumentRanges(record);
  FreeLibraryDocument(record->document);
  record->document = nullptr;
}

void ReleaseDocument(HostState* L, DocumentRecord* record) {
  if (!record) return;
  CloseDocument(record);
  ReleaseDocumentRecord(L, record);
}

void UseSharedStrings(bool shared) { xlsx_set_shared_strings_mode(shared ? 0 : 1); }

// ---- Finding a command's document and sheet

int32_t FindDocumentOf(const ObjectId* id, DocumentRecord** out) {
  *out = FindDocument(id);
  return *out ? 0 : ErrorCode(ERROR_NO_DOCUMENT);
}

int32_t FindDocumentIndex(const ObjectId* id, int32_t idx, SheetCall* out) {
  return CheckSheet(FindDocument(id), idx, false, out);
}

int32_t FindDocumentSheet(const ObjectId* id, int32_t sheet, SheetCall* out, bool worksheet) {
  DocumentRecord* record = FindDocument(id);
  if (record && sheet == 0) {
    sheet = record->defaultSheet > INT32_MAX ? INT32_MAX : static_cast<int32_t>(record->defaultSheet);
  }
  return CheckSheet(record, sheet, worksheet, out);
}

xlsx_status CallWorksheet(SheetCall* call, XlsxWorksheet** out) { return Worksheet(call, out); }

uint32_t SheetCount(const DocumentRecord* record) { return xlsx_workbook_sheet_count(WorkbookOf(record)); }

// ---- Sheets

const char* SheetName(const SheetCall* call) {
  return xlsx_workbook_sheet_name_at(WorkbookOf(call->record), static_cast<uint32_t>(call->index));
}

uint32_t SheetIndexByName(const DocumentRecord* record, const char* name) {
  return xlsx_workbook_sheet_index(WorkbookOf(record), name);
}

xlsx_status AddSheet(DocumentRecord* record, const char* name) {
  return xlsx_workbook_add_sheet(WorkbookOf(record), name);
}

xlsx_status DeleteSheet(SheetCall* call) {
  // Loops over the document hold elements of its sheets: they end before a part can go away.
  EndDocumentRanges(call->record);
  return WithSheetName(call, xlsx_workbook_delete_sheet);
}

xlsx_status MoveSheet(SheetCall* call, int32_t position) {
  return WithSheetName(call, [position](XlsxWorkbook* workbook, const char* name) {
    return xlsx_workbook_move_sheet(workbook, name, position);
  });
}

xlsx_status RenameSheet(SheetCall* call, const char* name) {
  return xlsx_workbook_rename_sheet(WorkbookOf(call->record), SheetRelId(call), name);
}

int32_t SheetType(SheetCall* call) {
  XlsxRelationships* rels = xlsx_document_workbook_rels(call->record->document);
  switch (xlsx_rel_item_type(xlsx_rels_find_by_id(rels, SheetRelId(call)))) {
    case XLSX_REL_CHARTSHEET: return XLSX_SHEETTYPE_CHARTSHEET;
    case XLSX_REL_DIALOGSHEET: return XLSX_SHEETTYPE_DIALOGSHEET;
    case XLSX_REL_MACROSHEET: return XLSX_SHEETTYPE_MACROSHEET;
    default: return XLSX_SHEETTYPE_WORKSHEET;
  }
}

bool SheetActive(SheetCall* call) { return xlsx_workbook_is_active(WorkbookOf(call->record), SheetRelId(call)); }

xlsx_status SetSheetActive(SheetCall* call) {
  return xlsx_workbook_set_active(WorkbookOf(call->record), SheetRelId(call));
}

bool SheetSelected(SheetCall* call) {
  XlsxWorksheet* sheet = nullptr;
  return Worksheet(call, &sheet) == XLSX_OK && xlsx_sheet_is_selected(sheet);
}

xlsx_status SetSheetSelected(SheetCall* call, bool selected) {
  XlsxWorksheet* sheet = nullptr;
  xlsx_status status = Worksheet(call, &sheet);
  return status == XLSX_OK ? xlsx_sheet_set_selected(sheet, selected ? 1 : 0) : status;
}

int32_t SheetVisibility(SheetCall* call) {
  const char* state = xlsx_workbook_sheet_state(WorkbookOf(call->record), SheetRelId(call));
  for (int32_t visibility : {XLSX_VISIBILITY_HIDDEN, XLSX_VISIBILITY_VERYHIDDEN}) {
    if (strcmp(state, kSheetStates[visibility]) == 0) return visibility;
  }
  return XLSX_VISIBILITY_VISIBLE;
}

xlsx_status SetSheetVisibility(SheetCall* call, int32_t visibility) {
  bool hides = visibility == XLSX_VISIBILITY_HIDDEN || visibility == XLSX_VISIBILITY_VERYHIDDEN;
  const char* state = kSheetStates[hides ? visibility : XLSX_VISIBILITY_VISIBLE];
  return xlsx_workbook_set_sheet_state(WorkbookOf(call->record), SheetRelId(call), state);
}

// ---- Rows and columns

uint32_t SheetExtent(SheetCall* call, Axis axis) {
  XlsxWorksheet* sheet = nullptr;
  if (Worksheet(call, &sheet) != XLSX_OK) return 0;
  return axis == Axis::kRow ? xlsx_sheet_row_count(sheet) : xlsx_sheet_column_count(sheet);
}

xlsx_status LineSize(SheetCall* call, Axis axis, int32_t number, double* size) {
  Line line{};
  xlsx_status status = OpenLine(call, axis, number, &line);
  *size = status != XLSX_OK ? 0.0 : axis == Axis::kRow ? xlsx_row_height(&line.row) : xlsx_column_width(&line.column);
  return status;
}

xlsx_status SetLineSize(SheetCall* call, Axis axis, int32_t number, float size) {
  Line line{};
  xlsx_status status = OpenLine(call, axis, number, &line);
  if (status != XLSX_OK) return status;
  return axis == Axis::kRow ? xlsx_row_set_height(&line.row, size) : xlsx_column_set_width(&line.column, size);
}

xlsx_status LineHidden(SheetCall* call, Axis axis, int32_t number, bool* hidden) {
  Line line{};
  xlsx_status status = OpenLine(call, axis, number, &line);
  *hidden = status == XLSX_OK &&
            (axis == Axis::kRow ? xlsx_row_is_hidden(&line.row) : xlsx_column_is_hidden(&line.column));
  return status;
}

xlsx_status SetLineHidden(SheetCall* call, Axis axis, int32_t number, bool hidden) {
  Line line{};
  xlsx_status status = OpenLine(call, axis, number, &line);
  if (status != XLSX_OK) return status;
  uint32_t flag = hidden ? 1 : 0;
  return axis == Axis::kRow ? xlsx_row_set_hidden(&line.row, flag) : xlsx_column_set_hidden(&line.column, flag);
}

// ---- Cells

namespace {

// Reads the value of the cell that locate hands to its work.
template <typename Locate>
xlsx_status ReadValue(SheetCall* call, Locate locate, ScriptValue* out) {
  out->held = XlsxCellValue{};
  LoadSharedStrings(call->record);
  // A zeroed value is a valid empty one without text; a string's text is lent by the sheet or the shared
  // strings table, so that it is copied once, by the host, when it is pushed.
  const char* lent = nullptr;
  xlsx_status status = locate([&](XlsxCell* cell) { return xlsx_cell_peek_value(cell, &out->held, &lent); });
  if (status != XLSX_OK) {
    ReleaseScriptValue(out);
    return status;
  }
  ToScriptValue(lent, out);
  return XLSX_OK;
}

}  // namespace

xlsx_status ReadCellValue(SheetCall* call, const CellArgs* args, ScriptValue* out) {
  return ReadValue(call, [&](auto work) { return OnCell(call, args, work); }, out);
}

xlsx_status ReadHeldValue(SheetCall* call, const HeldWalk* walk, ScriptValue* out) {
  return ReadValue(
      call,
      [&](auto work) {
        XlsxCell cell{static_cast<XmlNode*>(walk->cell), xlsx_document_shared_strings(call->record->document), nullptr};
        return cell.element ? work(&cell) : XLSX_ERR_NOT_FOUND;
      },
      out);
}

void ReleaseScriptValue(ScriptValue* value) {
  xlsx_value_reset(&value->held);
  value->text = nullptr;
}

xlsx_status StoreCellValue(SheetCall* call, const CellArgs* args, int32_t type, double number, const char* text) {
  XlsxCellValue value{};
  xlsx_status status = XLSX_OK;
  if (type == CELL_TYPE_TEXT) {
    // The cell copies the text it stores: the value lends the caller's text rather than owning a copy
    // of it, and is not reset.
    value.type = XLSX_VALUE_STRING;
    value.text = const_cast<char*>(text ? text : "");
  } else {
    status = NumberValue(type, number, &value);
  }
  if (status == XLSX_OK) status = OnCell(call, args, [&](XlsxCell* cell) { return xlsx_cell_set_value(cell, &value); });
  if (type != CELL_TYPE_TEXT) xlsx_value_reset(&value);
  return status;
}

xlsx_status ClearCellValue(SheetCall* call, const CellArgs* args) {
  return OnCell(call, args, xlsx_cell_clear_value);
}

xlsx_status CellHasFormula(SheetCall* call, const CellArgs* args, bool* has) {
  *has = false;
  return OnCell(call, args, [has](XlsxCell* cell) {
    *has = xlsx_cell_has_formula(cell);
    return XLSX_OK;
  });
}

xlsx_status PushCellFormula(HostState* L, SheetCall* call, const CellArgs* args, bool* has) {
  *has = false;
  XlsxText formula{};
  xlsx_status status = OnCell(call, args, [&](XlsxCell* cell) {
    *has = xlsx_cell_has_formula(cell);
    return *has ? xlsx_cell_get_formula(cell, &formula) : XLSX_OK;
  });
  if (status == XLSX_OK && *has) PushHostText(L, xlsx_text_get(&formula));
  xlsx_text_release(&formula);
  return status;
}

xlsx_status SetCellFormula(SheetCall* call, const CellArgs* args, const char* formula) {
  return OnCell(call, args, [formula](XlsxCell* cell) {
    return formula ? xlsx_cell_set_formula(cell, formula) : xlsx_cell_clear_formula(cell);
  });
}

xlsx_status CellReference(SheetCall* call, const CellArgs* args, uint32_t* column, uint32_t* row, char* text) {
  XlsxCellRef ref{};
  xlsx_status status = OnCell(call, args, [&ref](XlsxCell* cell) { return xlsx_cell_ref(cell, &ref); });
  *column = status == XLSX_OK ? xlsx_cellref_column(&ref) : 0;
  *row = status == XLSX_OK ? xlsx_cellref_row(&ref) : 0;
  // A reference text is far shorter than the buffer.
  strcpy(text, status == XLSX_OK ? xlsx_cellref_text(&ref) : "");
  return status;
}

xlsx_status CallCell(SheetCall* call, const CellArgs* args, XlsxCell* out) { return ResolveCell(call, args, out); }

bool StartCellRange(SheetCall* call, const CellArgs* from, const CellArgs* to, RangeLoop* loop) {
  *loop = RangeLoop{};
  XlsxCellRef first{}, last{};
  XlsxWorksheet* sheet = nullptr;
  XlsxCellRange range{};
  if (!CornerOf(from, &first) || !CornerOf(to, &last) || Worksheet(call, &sheet) != XLSX_OK) return false;
  return xlsx_range_init(sheet, &first, &last, &range) == XLSX_OK && StartRangeLoop(loop, call->record, &range);
}

namespace {

// The first row or cell element from node on (node included); rows and cells without a readable
// number are passed over, as the sheet's index passes them over.
XmlNode* HeldElement(XmlNode* node, const char* name) {
  bool row = name[0] == 'r';
  for (; node; node = xml_node_next_element(node)) {
    if (!xml_node_is_element(node, name)) continue;
    if ((row ? sheet_row_number(node) : sheet_cell_column(node)) != 0) return node;
  }
  return nullptr;
}

}  // namespace

bool FirstHeldRow(SheetCall* call, HeldWalk* walk, uint32_t* row) {
  *walk = HeldWalk{nullptr, nullptr};
  XlsxWorksheet* sheet = nullptr;
  // Counting the rows builds the sheet's index, which puts rows and cells in order first.
  if (SheetExtent(call, Axis::kRow) == 0 || Worksheet(call, &sheet) != XLSX_OK) return false;
  XmlNode* data = xml_node_child(xlsx_part_root(sheet->part), "sheetData");
  walk->row = HeldElement(xml_node_first_element(data), "row");
  *row = walk->row ? sheet_row_number(static_cast<XmlNode*>(walk->row)) : 0;
  return walk->row != nullptr;
}

bool NextHeldRow(HeldWalk* walk, uint32_t* row) {
  walk->row = HeldElement(xml_node_next_element(static_cast<XmlNode*>(walk->row)), "row");
  walk->cell = nullptr;
  *row = walk->row ? sheet_row_number(static_cast<XmlNode*>(walk->row)) : 0;
  return walk->row != nullptr;
}

bool NextHeldCell(HeldWalk* walk, bool first, uint32_t* column) {
  XmlNode* from = first ? xml_node_first_element(static_cast<XmlNode*>(walk->row))
                        : xml_node_next_element(static_cast<XmlNode*>(walk->cell));
  walk->cell = walk->row ? HeldElement(from, "c") : nullptr;
  *column = walk->cell ? sheet_cell_column(static_cast<XmlNode*>(walk->cell)) : 0;
  return walk->cell != nullptr;
}

// ---- Properties

bool IsProperty(int32_t property) { return property >= 0 && static_cast<uint32_t>(property) < XLSX_PROP_COUNT; }

xlsx_status SetProperty(DocumentRecord* record, int32_t property, const char* value) {
  return xlsx_document_set_property(record->document, static_cast<uint32_t>(property), value ? value : "");
}

char* GetProperty(DocumentRecord* record, int32_t property) {
  return xlsx_package_property_text(xlsx_document_package(record->document), static_cast<uint32_t>(property));
}

void FreeProperty(char* text) { xlsx_free(text); }

xlsx_status DeleteProperty(DocumentRecord* record, int32_t property) { return SetProperty(record, property, ""); }

// Cell formatting commands: number formats, dates, fonts, fills, borders, alignment and copying a cell's
// format. Each reads the id and the cell (x and y, a reference text, or a CellRange position handle;
// setters also take a range text such as "A1:D1"), then the optional sheet after its other arguments,
// finds the document and checks the sheet, then reads and checks its other arguments. A value a
// spreadsheet application would refuse reports "Invalid cell format value: %s!" naming it; a cell the
// library cannot resolve "Specified cell is out of range!"; a document without a styles part, or a
// change that cannot be stored, "XSLX operation has failed!".
#include <initializer_list>

#include "lib/sheet/date_serial.h"
#include "plugin/access.h"
#include "plugin/cell_formats.h"
#include "plugin/commands.h"
#include "plugin/globals.h"

namespace {

struct FormatCall {
  ObjectId id;
  CellArgs cell;
  int32_t next;  // the first argument after the cell
  SheetCall sheet;
};

// Reads the id and the cell, then the sheet `sheet_after` places after the cell; finds the document and
// checks the sheet. 0 or the error code.
int32_t ReadFormatCall(HostState* L, int32_t sheet_after, FormatCall* call) {
  call->id = ArgId(L);
  call->next = 2;
  ParseCellArgs(L, &call->next, &call->cell, true);
  int32_t sheet = OptArgInt(L, call->next + sheet_after, 0);
  return FindDocumentSheet(&call->id, sheet, &call->sheet, !call->cell.handle);
}

int32_t Refused(const char* what) {
  Host()->SetErrorArgument(what);
  return ErrorCode(ERROR_FORMAT_VALUE);
}

// The result of a setter: an unresolvable cell or range, or a change the library could not store.
int32_t FormatResult(xlsx_status status) {
  if (status == XLSX_OK) return 0;
  bool cell = status == XLSX_ERR_INVALID_ARG || status == XLSX_ERR_NOT_FOUND;
  return ErrorCode(cell ? ERROR_CELL_RANGE : ERROR_OPERATION);
}

// Checks the change, then makes it on the call's cells.
int32_t Change(FormatCall* call, const XlsxStyleChange* change) {
  if (const char* problem = xlsx_style_change_problem(change)) return Refused(problem);
  return FormatResult(ChangeCellFormat(&call->sheet, &call->cell, change));
}

// The format of the call's cell into *out; 0 or the error code.
int32_t ReadFormat(FormatCall* call, CellFormat* out) {
  xlsx_status status = ReadCellFormat(&call->sheet, &call->cell, out);
  if (status == XLSX_OK) return 0;
  return ErrorCode(status == XLSX_ERR_NO_MEMORY ? ERROR_OPERATION : ERROR_CELL_RANGE);
}

// A setter whose arguments after the cell are count numbers (at most five): reads the call and the
// numbers, has fill(change, numbers) put them into a change of aspect, and makes the change.
template <typename Fill>
int32_t Set(HostState* L, XlsxStyleAspect aspect, int32_t count, Fill fill) {
  FormatCall call{};
  if (int32_t error = ReadFormatCall(L, count, &call)) return error;
  int32_t numbers[5] = {};
  for (int32_t i = 0; i < count; i++) numbers[i] = ArgInt(L, call.next + i);
  XlsxStyleChange change = xlsx_style_change(aspect);
  fill(&change, numbers);
  return Change(&call, &change);
}

// A getter with nothing after the cell but the sheet: reads the call and the cell's format, then
// push(format) pushes the results and gives their count.
template <typename Push>
int32_t Get(HostState* L, Push push) {
  FormatCall call{};
  CellFormat format{};
  if (int32_t error = ReadFormatCall(L, 0, &call)) return error;
  if (int32_t error = ReadFormat(&call, &format)) return error;
  return push(format);
}

void PushInts(HostState* L, std::initializer_list<int32_t> values) {
  for (int32_t value : values) Host()->PushNumber(L, value);
}

// The number format a date text gets when its cell shows no date yet.
const char* DateCode(uint32_t parts) {
  bool seconds = parts & XLSX_DATE_HAS_SECONDS;
  if (!(parts & XLSX_DATE_HAS_TIME)) return "yyyy-mm-dd";
  if (!(parts & XLSX_DATE_HAS_DATE)) return seconds ? "hh:mm:ss" : "hh:mm";
  return seconds ? "yyyy-mm-dd hh:mm:ss" : "yyyy-mm-dd hh:mm";
}

}  // namespace

// SetCellNumberFormat(id, cell, format$[, sheet]); the code is read after the checks.
int32_t CmdSetCellNumberFormat(HostState* L) {
  FormatCall call{};
  if (int32_t error = ReadFormatCall(L, 1, &call)) return error;
  const char* code = Host()->CheckString(L, call.next);
  return WithLibraryText(code, [&call](const char* text) {
    XlsxStyleChange change = xlsx_style_change(XLSX_ASPECT_NUMBER_FORMAT);
    change.number_format = text;
    return Change(&call, &change);
  });
}

int32_t CmdGetCellNumberFormat(HostState* L) {
  return Get(L, [L](const CellFormat& f) {
    PushHostText(L, xlsx_styles_number_format(f.styles, f.xf));
    return 1;
  });
}

// SetCellDate(id, cell, date$[, sheet]): "YYYY-MM-DD", "YYYY-MM-DD HH:MM[:SS]" or "HH:MM[:SS]".
int32_t CmdSetCellDate(HostState* L) {
  FormatCall call{};
  if (int32_t error = ReadFormatCall(L, 1, &call)) return error;
  const char* text = Host()->CheckString(L, call.next);
  double serial = 0;
  uint32_t parts = 0;
  if (!xlsx_date_text_to_serial(text, CallDate1904(&call.sheet), &serial, &parts)) return Refused("date");
  return FormatResult(StoreCellDate(&call.sheet, &call.cell, serial, DateCode(parts)));
}

// GetCellDate(id, cell[, sheet]) -> date$, or nil when the value is no number in the range of dates.
int32_t CmdGetCellDate(HostState* L) {
  FormatCall call{};
  if (int32_t error = ReadFormatCall(L, 0, &call)) return error;
  char text[XLSX_DATE_TEXT_SIZE];
  bool has = false;
  if (ReadCellDate(&call.sheet, &call.cell, text, &has) != XLSX_OK) return ErrorCode(ERROR_CELL_RANGE);
  if (has) PushHostText(L, text);
  else Host()->PushNil(L);
  return 1;
}

int32_t CmdIsCellDate(HostState* L) {
  return Get(L, [L](const CellFormat& f) {
    Host()->PushNumber(L, xlsx_styles_is_date(f.styles, f.xf) ? 1 : 0);
    return 1;
  });
}

// SetCellFont(id, cell, name$, size, style, color[, sheet]): "" or XLSX_KEEP keeps a field.
int32_t CmdSetCellFont(HostState* L) {
  const HostApi* host = Host();
  FormatCall call{};
  if (int32_t error = ReadFormatCall(L, 4, &call)) return error;
  const char* name = host->CheckString(L, call.next);
  XlsxStyleChange change = xlsx_style_change(XLSX_ASPECT_FONT);
  change.font_size = host->CheckNumber(L, call.next + 1);
  change.font_flags = ArgInt(L, call.next + 2);
  change.color = ArgInt(L, call.next + 3);
  return WithLibraryText(name, [&](const char* text) {
    change.font_name = text;
    return Change(&call, &change);
  });
}

// GetCellFont(id, cell[, sheet]) -> name$, size, style, color.
int32_t CmdGetCellFont(HostState* L) {
  return Get(L, [L](const CellFormat& f) {
    XlsxFontLook font{};
    xlsx_styles_font(f.styles, f.xf, &font);
    PushHostText(L, font.name);
    Host()->PushNumber(L, font.size);
    PushInts(L, {static_cast<int32_t>(font.flags), font.color});
    return 4;
  });
}

// SetCellFill(id, cell, color[, sheet]): a solid fill, or none for XLSX_COLOR_NONE.
int32_t CmdSetCellFill(HostState* L) {
  return Set(L, XLSX_ASPECT_FILL, 1, [](XlsxStyleChange* change, const int32_t* n) { change->color = n[0]; });
}

int32_t CmdGetCellFill(HostState* L) {
  return Get(L, [L](const CellFormat& f) {
    Host()->PushNumber(L, xlsx_styles_fill(f.styles, f.xf));
    return 1;
  });
}

// SetCellBorder(id, cell, sides, style, color[, sheet]): the sides (XLSX_SIDE_ flags) get the style and
// colour; XLSX_KEEP keeps either.
int32_t CmdSetCellBorder(HostState* L) {
  return Set(L, XLSX_ASPECT_BORDER, 3, [](XlsxStyleChange* change, const int32_t* n) {
    change->sides = n[0] < 0 ? 0 : static_cast<uint32_t>(n[0]);
    change->border_style = n[1];
    change->color = n[2];
  });
}

// GetCellBorder(id, cell, side[, sheet]) -> style, color of one side.
int32_t CmdGetCellBorder(HostState* L) {
  FormatCall call{};
  CellFormat format{};
  if (int32_t error = ReadFormatCall(L, 1, &call)) return error;
  int32_t side = ArgInt(L, call.next);
  if (side != XLSX_SIDE_LEFT && side != XLSX_SIDE_RIGHT && side != XLSX_SIDE_TOP && side != XLSX_SIDE_BOTTOM)
    return Refused("border side");
  if (int32_t error = ReadFormat(&call, &format)) return error;
  int32_t style = 0, color = 0;
  xlsx_styles_border(format.styles, format.xf, static_cast<uint32_t>(side), &style, &color);
  PushInts(L, {style, color});
  return 2;
}

// SetCellAlignment(id, cell, horiz, vert, wrap, indent, rotation[, sheet]); XLSX_KEEP keeps a field.
int32_t CmdSetCellAlignment(HostState* L) {
  return Set(L, XLSX_ASPECT_ALIGNMENT, 5, [](XlsxStyleChange* change, const int32_t* n) {
    change->horizontal = n[0];
    change->vertical = n[1];
    change->wrap = n[2];
    change->indent = n[3];
    change->rotation = n[4];
  });
}

// GetCellAlignment(id, cell[, sheet]) -> horiz, vert, wrap, indent, rotation.
int32_t CmdGetCellAlignment(HostState* L) {
  return Get(L, [L](const CellFormat& f) {
    XlsxAlignmentLook a{};
    xlsx_styles_alignment(f.styles, f.xf, &a);
    PushInts(L, {a.horizontal, a.vertical, a.wrap, a.indent, a.rotation});
    return 5;
  });
}

// CopyCellStyle(id, from, to[, sheet]): both cells on the same sheet; to may be a range text.
int32_t CmdCopyCellStyle(HostState* L) {
  FormatCall call{};
  call.id = ArgId(L);
  call.next = 2;
  CellArgs to{};
  ParseCellArgs(L, &call.next, &call.cell, true);
  ParseCellArgs(L, &call.next, &to, true);
  int32_t sheet = OptArgInt(L, call.next, 0);
  bool handles = call.cell.handle || to.handle;
  if (int32_t error = FindDocumentSheet(&call.id, sheet, &call.sheet, !handles)) return error;
  return FormatResult(CopyCellFormat(&call.sheet, &call.cell, &to));
}

// The workbook's cell formats on the styles part's XML tree: number formats, fonts, fills, borders and
// the cell formats (`cellXfs`) that combine them, read for a cell and changed one aspect at a time.
//
// A change never edits a record other cells may use: it finds or appends the record with the change made
// (a font, a fill, a border, a number format) and the cell format that uses it, and points the cell at
// that. Records are found through a hash of their canonical text, so identical records are shared and
// formatting a million cells adds a handful of them; records already in the part keep their order and
// indexes, and a change that needs no new record leaves the part as it was (saved byte for byte). An
// index out of range in a file reads as the default (record 0).
//
// The index is attached to the styles part (xlsx_part_set_extra) and rebuilt whenever the part's tree
// changed behind it. Every change keeps to the failure rule (lib/base/status.h).
#pragma once

#include <cstdint>

#include "lib/base/status.h"
#include "lib/sheet/worksheet.h"

struct XlsxStyles;

// "Keep what the cell has" for every number field of a change; "no colour" (automatic, no fill).
constexpr int32_t XLSX_STYLE_KEEP = -1;
constexpr int32_t XLSX_STYLE_NO_COLOR = -2;

enum : uint32_t { XLSX_FONT_BOLD = 1, XLSX_FONT_ITALIC = 2, XLSX_FONT_UNDERLINE = 4, XLSX_FONT_STRIKE = 8 };
enum : uint32_t { XLSX_SIDE_LEFT = 1, XLSX_SIDE_RIGHT = 2, XLSX_SIDE_TOP = 4, XLSX_SIDE_BOTTOM = 8, XLSX_SIDE_ALL = 15 };
// Border styles, numbered in the file format's order: none, thin, medium, dashed, dotted, thick, double,
// hair, mediumDashed, dashDot, mediumDashDot, dashDotDot, mediumDashDotDot, slantDashDot.
constexpr uint32_t XLSX_BORDER_STYLE_COUNT = 14;
// Horizontal: general, left, center, right, fill, justify, centerContinuous, distributed.
constexpr uint32_t XLSX_HALIGN_COUNT = 8;
// Vertical: top, center, bottom, justify, distributed.
constexpr uint32_t XLSX_VALIGN_COUNT = 5;
constexpr int32_t XLSX_VERTICAL_DEFAULT = 2;  // bottom
// Text rotation that stacks the letters vertically.
constexpr int32_t XLSX_ROTATION_VERTICAL = 255;

enum XlsxStyleAspect : uint32_t {
  XLSX_ASPECT_NUMBER_FORMAT,
  XLSX_ASPECT_FONT,
  XLSX_ASPECT_FILL,
  XLSX_ASPECT_BORDER,
  XLSX_ASPECT_ALIGNMENT,
};

// One change to a cell's format: the aspect named, and in it the fields that are not XLSX_STYLE_KEEP (a
// null or empty font name keeps the name). Colours are 0xRRGGBB or XLSX_STYLE_NO_COLOR.
struct XlsxStyleChange {
  XlsxStyleAspect aspect;
  const char* number_format;  // the format code (XLSX_ASPECT_NUMBER_FORMAT)
  const char* font_name;
  double font_size;           // points, 1 to 409
  int32_t font_flags;         // XLSX_FONT_ flags, all four set as given
  int32_t color;              // font, fill or border colour
  uint32_t sides;             // XLSX_SIDE_ flags of the border change
  int32_t border_style;       // 0 .. XLSX_BORDER_STYLE_COUNT - 1
  int32_t horizontal, vertical, wrap, indent, rotation;  // rotation -90..90 or XLSX_ROTATION_VERTICAL
};
// A change with every field kept, for aspect.
XlsxStyleChange xlsx_style_change(XlsxStyleAspect aspect);
// Null when the change can be made, else a short text naming what a spreadsheet application would
// refuse ("font size", "colour", "number format", ...). Static text.
const char* xlsx_style_change_problem(const XlsxStyleChange* change);

// How a cell looks, as read. Texts are borrowed from the styles tree: valid until it changes.
struct XlsxFontLook {
  const char* name;  // "" when the font names none
  double size;       // 11 when the font has no size
  uint32_t flags;    // XLSX_FONT_
  int32_t color;     // 0xRRGGBB (theme and palette colours resolved), or XLSX_STYLE_NO_COLOR for automatic
};
struct XlsxAlignmentLook {
  int32_t horizontal, vertical, wrap, indent, rotation;
};

// The styles of the workbook's styles part, loaded and indexed on first use; XLSX_ERR_NOT_FOUND when the
// workbook has no styles part, XLSX_ERR_NO_MEMORY. Owned by the part: valid while the document is open.
xlsx_status xlsx_workbook_styles(XlsxWorkbook* workbook, XlsxStyles** out);
// 0xRRGGBB of a colour element of the workbook (a font's, a fill's, a sheet tab's) as applications show
// it: palette entries through the styles' own palette, theme colours through the workbook's theme, tints
// applied. XLSX_STYLE_NO_COLOR for a null element, the automatic colour and one that names no colour; null
// styles resolve with the legacy palette and the default theme.
int32_t xlsx_styles_color(const XlsxStyles* styles, const XmlNode* color);
// The styles for a change: as xlsx_workbook_styles, but a workbook without a styles relationship first gets
// a styles part of the default format, with its content type and relationship (kept to the failure
// rule). XLSX_ERR_UNSUPPORTED when the workbook's styles part cannot be read or an entry of its name is
// there without being related; XLSX_ERR_NO_MEMORY.
xlsx_status xlsx_workbook_styles_to_change(XlsxWorkbook* workbook, XlsxStyles** out);
// Whether the workbook counts dates from 1904 (`workbookPr date1904`); false for null.
bool xlsx_workbook_date1904(XlsxWorkbook* workbook);

// The cell's format index (`s`, 0 when absent); 0 for an invalid cell.
uint32_t xlsx_cell_style(const XlsxCell* cell);
// The getters take a cell's format index; a null styles object or an index out of range reads as the
// default format. The number format's code (built-in ones by their standard text, "General" for an
// unknown id); borrowed or static, never null.
const char* xlsx_styles_number_format(XlsxStyles* styles, uint32_t xf);
// Whether the number format shows a date or a time.
bool xlsx_styles_is_date(XlsxStyles* styles, uint32_t xf);
void xlsx_styles_font(XlsxStyles* styles, uint32_t xf, XlsxFontLook* out);
// The solid fill's colour, or XLSX_STYLE_NO_COLOR when the cell has no solid fill.
int32_t xlsx_styles_fill(XlsxStyles* styles, uint32_t xf);
// The style and colour of one side (a single XLSX_SIDE_ flag).
void xlsx_styles_border(XlsxStyles* styles, uint32_t xf, uint32_t side, int32_t* style, int32_t* color);
void xlsx_styles_alignment(XlsxStyles* styles, uint32_t xf, XlsxAlignmentLook* out);

// Begins an edit of the styles tree and of the sheet's tree, so that changes to many cells are kept or
// taken back as a whole; edits begun inside it join it. XLSX_ERR_INVALID_ARG for null arguments,
// XLSX_ERR_NO_MEMORY (nothing begun).
xlsx_status xlsx_styles_edit_begin(XlsxStyles* styles, XmlDoc* sheet);
// Ends it with status (kept when XLSX_OK); when no record was added the styles tree is left exactly as it
// was. Returns status.
xlsx_status xlsx_styles_edit_end(XlsxStyles* styles, XmlDoc* sheet, xlsx_status status);
// Makes the change to the cell's format. XLSX_ERR_INVALID_ARG for an invalid cell or a change with a
// problem; XLSX_ERR_NO_MEMORY.
xlsx_status xlsx_styles_apply(XlsxStyles* styles, const XlsxCell* cell, const XlsxStyleChange* change);
// Gives the cell format index xf (0 removes `s`). XLSX_ERR_INVALID_ARG for an invalid cell;
// XLSX_ERR_NO_MEMORY.
xlsx_status xlsx_cell_set_style(const XlsxCell* cell, uint32_t xf);
// Stores serial as the cell's value and, when the cell's format is not a date or time format, gives it
// code. XLSX_ERR_INVALID_ARG for an invalid cell or code; XLSX_ERR_NO_MEMORY.
xlsx_status xlsx_styles_set_date(XlsxStyles* styles, const XlsxCell* cell, double serial, const char* code);

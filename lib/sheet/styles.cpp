// The styles model: records of the styles part found through a hash of their canonical text, and
// changes that derive new records from a cell's current ones.
#include "lib/sheet/styles.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <initializer_list>

#include "lib/base/alloc.h"
#include "lib/base/convert.h"
#include "lib/base/dynarray.h"
#include "lib/base/strbuf.h"
#include "lib/base/strmap.h"
#include "lib/package/archive.h"
#include "lib/package/content_types.h"
#include "lib/package/package.h"
#include "lib/package/part.h"
#include "lib/package/relationships.h"
#include "lib/sheet/cell.h"
#include "lib/sheet/colors.h"
#include "lib/sheet/number_format.h"
#include "lib/sheet/sheet_index.h"
#include "lib/sheet/workbook.h"

namespace {

enum : uint32_t { LIST_FONTS, LIST_FILLS, LIST_BORDERS, LIST_XFS, LIST_COUNT };
constexpr const char* kListNames[LIST_COUNT] = {"fonts", "fills", "borders", "cellXfs"};
constexpr const char* kRecordNames[LIST_COUNT] = {"font", "fill", "border", "xf"};

// Children in the order the file format prescribes (fonts accept any order; this is the usual one).
constexpr const char* kSheetOrder[] = {"numFmts", "fonts",   "fills",       "borders", "cellStyleXfs", "cellXfs",
                                       "cellStyles", "dxfs", "tableStyles", "colors",  "extLst"};
constexpr const char* kFontOrder[] = {"b",  "i",         "strike", "condense", "extend", "outline", "shadow", "u",
                                      "vertAlign", "sz", "color",  "name",     "family", "charset", "scheme"};
constexpr const char* kBorderOrder[] = {"start", "end", "left", "right", "top", "bottom", "diagonal", "vertical",
                                        "horizontal"};
constexpr const char* kXfOrder[] = {"alignment", "protection", "extLst"};
constexpr const char* kBorderStyles[XLSX_BORDER_STYLE_COUNT] = {
    "none", "thin", "medium", "dashed", "dotted", "thick", "double", "hair", "mediumDashed", "dashDot",
    "mediumDashDot", "dashDotDot", "mediumDashDotDot", "slantDashDot"};
constexpr const char* kHorizontal[XLSX_HALIGN_COUNT] = {"general", "left", "center", "right", "fill", "justify",
                                                        "centerContinuous", "distributed"};
constexpr const char* kVertical[XLSX_VALIGN_COUNT] = {"top", "center", "bottom", "justify", "distributed"};
constexpr struct {
  uint32_t flag;
  const char* name;
} kFontFlags[] = {{XLSX_FONT_BOLD, "b"}, {XLSX_FONT_ITALIC, "i"}, {XLSX_FONT_UNDERLINE, "u"}, {XLSX_FONT_STRIKE, "strike"}};

template <uint32_t N>
constexpr uint32_t count_of(const char* const (&)[N]) {
  return N;
}

}  // namespace

namespace {

// A derivation met lately: the cell format `from` with `change` made is `to`. The change's text (the
// format code or font name) is held in `text`; longer texts are not kept here.
struct RecentDerivation {
  XlsxStyleChange change;
  char text[48];
  uint32_t from;
  uint32_t to;
};

// Scripts format cell after cell with the same few changes: the last ones are compared field by field
// before a key is made and looked up in the derived map.
constexpr uint32_t kRecentDerivations = 8;

}  // namespace

struct XlsxStyles {
  XlsxPart* part;
  uint32_t built;       // 1 while the index matches the tree of generation `generation`
  uint32_t generation;
  DynArray records[LIST_COUNT];  // XmlNode* of each list, by index
  StrMap keys[LIST_COUNT];       // canonical text -> index + 1
  StrMap formats;                // custom format code -> id + 1
  StrMap derived;                // "<xf>:<change>" -> resulting xf + 1
  uint32_t next_format_id;
  uint32_t depth;    // edits open
  uint32_t changed;  // 1 once the open edit added to the styles tree
  RecentDerivation recent[kRecentDerivations];  // entries [0, recent_count) hold derivations of `derived`
  uint32_t recent_count;
  uint32_t recent_next;  // the entry the next derivation replaces
  XlsxThemeColors theme;  // the workbook's theme colours, read when the styles were first found
};

namespace {

void* as_value(uint32_t index) { return reinterpret_cast<void*>(static_cast<uintptr_t>(index) + 1); }
uint32_t from_value(void* value) { return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(value) - 1); }

void styles_reset(XlsxStyles* styles) {
  for (uint32_t i = 0; i < LIST_COUNT; i++) {
    dynarray_clear(&styles->records[i]);
    strmap_clear(&styles->keys[i]);
  }
  strmap_clear(&styles->formats);
  strmap_clear(&styles->derived);
  styles->recent_count = styles->recent_next = 0;
  styles->next_format_id = XLSX_FIRST_CUSTOM_FORMAT;
  styles->built = 0;
}

void styles_free(void* extra) {
  XlsxStyles* styles = static_cast<XlsxStyles*>(extra);
  if (!styles) return;
  for (uint32_t i = 0; i < LIST_COUNT; i++) {
    dynarray_free(&styles->records[i]);
    strmap_free(&styles->keys[i]);
  }
  strmap_free(&styles->formats);
  strmap_free(&styles->derived);
  xlsx_free(styles);
}

XlsxStyles* styles_new(XlsxPart* part, const XlsxThemeColors* theme) {
  XlsxStyles* styles = static_cast<XlsxStyles*>(xlsx_calloc(1, sizeof(XlsxStyles)));
  if (!styles) return nullptr;
  styles->part = part;
  styles->theme = *theme;
  for (uint32_t i = 0; i < LIST_COUNT; i++) {
    dynarray_init(&styles->records[i], sizeof(XmlNode*), nullptr);
    strmap_init(&styles->keys[i], nullptr);
  }
  strmap_init(&styles->formats, nullptr);
  strmap_init(&styles->derived, nullptr);
  styles->next_format_id = XLSX_FIRST_CUSTOM_FORMAT;
  return styles;
}

XmlNode* styles_root(const XlsxStyles* styles) { return xlsx_part_root(styles->part); }

// The canonical text of an element: its name, attributes in order and element children, recursively.
xlsx_status append_key(StrBuf* key, const XmlNode* node, uint32_t depth) {
  if (depth > 16) return XLSX_ERR_INVALID_ARG;
  xlsx_status status = strbuf_append(key, xml_node_name(node));
  for (const XmlAttr* a = xml_node_first_attribute(node); a && status == XLSX_OK; a = a->next) {
    if (strbuf_appendf(key, " %s=\"%s\"", xml_attribute_name(a), xml_attribute_value(a)) < 0)
      status = XLSX_ERR_NO_MEMORY;
  }
  if (status == XLSX_OK) status = strbuf_putc(key, '{');
  for (XmlNode* c = xml_node_first_element(node); c && status == XLSX_OK; c = xml_node_next_element(c)) {
    status = append_key(key, c, depth + 1);
  }
  return status == XLSX_OK ? strbuf_putc(key, '}') : status;
}

// Registers record (already in the tree at position index of list) in the index; a record whose text
// another one has keeps the first one's place in the map.
xlsx_status index_record(XlsxStyles* styles, uint32_t list, XmlNode* record, StrBuf* key) {
  strbuf_clear(key);
  xlsx_status status = append_key(key, record, 0);
  if (status != XLSX_OK) return status;
  uint32_t index = styles->records[list].count;
  if (!dynarray_push(&styles->records[list], &record)) return XLSX_ERR_NO_MEMORY;
  if (strmap_contains(&styles->keys[list], key->data)) return XLSX_OK;
  status = strmap_set(&styles->keys[list], key->data, as_value(index));
  if (status != XLSX_OK) dynarray_pop(&styles->records[list]);
  return status;
}

xlsx_status index_format(XlsxStyles* styles, const XmlNode* format) {
  uint32_t id = xml_attribute_as_uint(xml_node_attribute(format, "numFmtId"), 0);
  const char* code = xml_attribute_value(xml_node_attribute(format, "formatCode"));
  if (id >= styles->next_format_id && id < 0xFFFFFFFFu) styles->next_format_id = id + 1;
  if (strmap_contains(&styles->formats, code)) return XLSX_OK;
  return strmap_set(&styles->formats, code, as_value(id));
}

xlsx_status build_index(XlsxStyles* styles) {
  styles_reset(styles);
  XmlNode* root = styles_root(styles);
  StrBuf key;
  strbuf_init(&key);
  xlsx_status status = XLSX_OK;
  for (uint32_t list = 0; list < LIST_COUNT && status == XLSX_OK; list++) {
    XmlNode* r = xml_node_child(xml_node_child(root, kListNames[list]), kRecordNames[list]);
    for (; r && status == XLSX_OK; r = xml_node_next_sibling_named(r, kRecordNames[list]))
      status = index_record(styles, list, r, &key);
  }
  XmlNode* f = xml_node_child(xml_node_child(root, "numFmts"), "numFmt");
  for (; f && status == XLSX_OK; f = xml_node_next_sibling_named(f, "numFmt")) status = index_format(styles, f);
  strbuf_free(&key);
  if (status != XLSX_OK) {
    styles_reset(styles);
    return status;
  }
  styles->built = 1;
  styles->generation = styles->part->xml->generation;
  return XLSX_OK;
}

xlsx_status styles_sync(XlsxStyles* styles) {
  if (styles->depth > 0) return XLSX_OK;  // an open edit keeps the index in step itself
  if (styles->built && styles->generation == styles->part->xml->generation) return XLSX_OK;
  return build_index(styles);
}

// Record index of list, or null when out of range.
XmlNode* record_at(const XlsxStyles* styles, uint32_t list, uint32_t index) {
  if (!styles || index >= styles->records[list].count) return nullptr;
  return *static_cast<XmlNode**>(dynarray_get(&styles->records[list], index));
}

// Record index of list; the default record 0 when index is out of range (null when the list is empty).
XmlNode* record_or_default(const XlsxStyles* styles, uint32_t list, uint32_t index) {
  XmlNode* record = record_at(styles, list, index);
  return record ? record : record_at(styles, list, 0);
}

uint32_t attribute_uint(const XmlNode* node, const char* name) {
  return xml_attribute_as_uint(xml_node_attribute(node, name), 0);
}

// The cell format xf points at in list (via its id attribute).
XmlNode* part_of_xf(XlsxStyles* styles, uint32_t xf, uint32_t list, const char* id_name) {
  return record_or_default(styles, list, attribute_uint(record_or_default(styles, LIST_XFS, xf), id_name));
}

// 0xRRGGBB of a colour element as applications show it (theme and palette colours resolved, tints
// applied); XLSX_STYLE_NO_COLOR for none and the automatic colour.
int32_t color_of(const XlsxStyles* styles, const XmlNode* color) {
  const XmlNode* palette =
      styles ? xml_node_child(xml_node_child(styles_root(styles), "colors"), "indexedColors") : nullptr;
  int32_t value = xlsx_color_resolve(color, palette, styles ? &styles->theme : nullptr);
  return value < 0 ? XLSX_STYLE_NO_COLOR : value;
}

// An element with a `val` attribute that is on unless val says "false"/"0" (or "none" for underline).
bool flag_on(const XmlNode* element) {
  if (!element) return false;
  const XmlAttr* val = xml_node_attribute(element, "val");
  if (!val) return true;
  const char* text = xml_attribute_value(val);
  return !xlsx_str_equal(text, "none") && xml_attribute_as_bool(val, true);
}

// --- editing helpers (each returns null / false when memory runs out)

// The child element named name, inserted where order puts it when missing.
XmlNode* ordered_child(XmlNode* parent, const char* name, const char* const* order, uint32_t count) {
  XmlNode* found = xml_node_child(parent, name);
  if (found) return found;
  uint32_t rank = 0;
  while (rank < count && std::strcmp(order[rank], name) != 0) rank++;
  for (XmlNode* c = xml_node_first_element(parent); c; c = xml_node_next_element(c)) {
    for (uint32_t later = rank + 1; later < count; later++)
      if (xml_node_is_element(c, order[later])) return xml_node_insert_child_before(parent, name, c);
  }
  return xml_node_append_child(parent, name);
}

// The list's section of the styles root, created in its place when missing.
XmlNode* section(XlsxStyles* styles, const char* name) {
  XmlNode* root = styles_root(styles);
  XmlNode* found = xml_node_child(root, name);
  if (found || !root) return found;
  styles->changed = 1;
  return ordered_child(root, name, kSheetOrder, count_of(kSheetOrder));
}

bool set_uint(XmlNode* node, const char* name, uint32_t value) {
  char text[24];
  xlsx_u64_to_text(value, text);
  return xml_node_set_attribute(node, name, text) != nullptr;
}

bool set_color(XmlNode* parent, const char* name, int32_t color, const char* const* order, uint32_t count) {
  xml_node_remove_child_named(parent, name);
  if (color == XLSX_STYLE_NO_COLOR) return true;
  char rgb[16];
  xlsx_snprintf(rgb, sizeof rgb, "FF%06X", static_cast<unsigned>(color));
  XmlNode* element = ordered_child(parent, name, order, count);
  return element && xml_node_set_attribute(element, "rgb", rgb);
}

// Sets or (for the default value) removes an attribute.
bool set_or_remove(XmlNode* node, const char* name, const char* text) {
  if (!text) {
    xml_node_remove_attribute(node, name);
    return true;
  }
  return xml_node_set_attribute(node, name, text) != nullptr;
}

// Keeps the new record appended to list, or drops it for an identical one; its index into *out.
xlsx_status intern(XlsxStyles* styles, uint32_t list, XmlNode* record, uint32_t* out) {
  StrBuf key;
  strbuf_init(&key);
  xlsx_status status = append_key(&key, record, 0);
  void* found = status == XLSX_OK ? strmap_get(&styles->keys[list], key.data) : nullptr;
  if (found) {
    *out = from_value(found);
    status = xml_node_remove_child(xml_node_parent(record), record) ? XLSX_OK : XLSX_ERR_NO_MEMORY;
  } else if (status == XLSX_OK) {
    *out = styles->records[list].count;
    status = index_record(styles, list, record, &key);
    if (status == XLSX_OK && !set_uint(xml_node_parent(record), "count", *out + 1)) status = XLSX_ERR_NO_MEMORY;
    styles->changed = 1;
  }
  strbuf_free(&key);
  return status;
}

// A copy of base (or a new element named name when base is null) appended to parent.
XmlNode* append_copy(XmlNode* parent, const XmlNode* base, const char* name) {
  if (!base) return xml_node_append_child(parent, name);
  XmlNode* copy = xml_node_copy(base);
  return copy ? xml_node_append_move(parent, copy) : nullptr;
}

// --- deriving records

xlsx_status format_id(XlsxStyles* styles, const char* code, uint32_t* out) {
  int32_t builtin = xlsx_builtin_format_id(code);
  if (builtin >= 0) {
    *out = static_cast<uint32_t>(builtin);
    return XLSX_OK;
  }
  if (void* found = strmap_get(&styles->formats, code)) {
    *out = from_value(found);
    return XLSX_OK;
  }
  XmlNode* list = section(styles, "numFmts");
  XmlNode* format = list ? xml_node_append_child(list, "numFmt") : nullptr;
  uint32_t id = styles->next_format_id;
  if (!format || !set_uint(format, "numFmtId", id) || !xml_node_set_attribute(format, "formatCode", code))
    return XLSX_ERR_NO_MEMORY;
  uint32_t count = 0;
  for (XmlNode* f = xml_node_child(list, "numFmt"); f; f = xml_node_next_sibling_named(f, "numFmt")) count++;
  if (!set_uint(list, "count", count) || strmap_set(&styles->formats, code, as_value(id)) != XLSX_OK)
    return XLSX_ERR_NO_MEMORY;
  styles->next_format_id = id + 1;
  styles->changed = 1;
  *out = id;
  return XLSX_OK;
}

bool edit_font(XmlNode* font, const XlsxStyleChange* change) {
  constexpr uint32_t n = count_of(kFontOrder);
  if (change->font_name && change->font_name[0]) {
    XmlNode* name = ordered_child(font, "name", kFontOrder, n);
    if (!name || !xml_node_set_attribute(name, "val", change->font_name)) return false;
  }
  if (change->font_size != XLSX_STYLE_KEEP) {
    char text[40];
    xlsx_double_to_text(text, change->font_size);
    XmlNode* size = ordered_child(font, "sz", kFontOrder, n);
    if (!size || !xml_node_set_attribute(size, "val", text)) return false;
  }
  if (change->font_flags != XLSX_STYLE_KEEP) {
    for (const auto& flag : kFontFlags) {
      XmlNode* element = xml_node_child(font, flag.name);
      bool on = (static_cast<uint32_t>(change->font_flags) & flag.flag) != 0;
      if (!on) xml_node_remove_child_named(font, flag.name);
      if (on && flag_on(element)) continue;
      if (on && element) xml_node_remove_attribute(element, "val");
      if (on && !element && !ordered_child(font, flag.name, kFontOrder, n)) return false;
    }
  }
  return change->color == XLSX_STYLE_KEEP || set_color(font, "color", change->color, kFontOrder, n);
}

bool edit_border(XmlNode* border, const XlsxStyleChange* change) {
  constexpr uint32_t n = count_of(kBorderOrder);
  for (uint32_t i = 0; i < 4; i++) {
    if (!(change->sides & (1u << i))) continue;
    XmlNode* side = ordered_child(border, kBorderOrder[2 + i], kBorderOrder, n);
    if (!side) return false;
    int32_t style = change->border_style;
    if (style == 0) {
      xml_node_remove_attribute(side, "style");
      xml_node_remove_children(side);
      continue;
    }
    if (style != XLSX_STYLE_KEEP && !xml_node_set_attribute(side, "style", kBorderStyles[style])) return false;
    if (change->color != XLSX_STYLE_KEEP && !set_color(side, "color", change->color, nullptr, 0)) return false;
  }
  return true;
}

bool edit_alignment(XmlNode* xf, const XlsxStyleChange* change) {
  XmlNode* a = ordered_child(xf, "alignment", kXfOrder, count_of(kXfOrder));
  if (!a) return false;
  char number[24];
  bool ok = true;
  if (change->horizontal != XLSX_STYLE_KEEP)
    ok = set_or_remove(a, "horizontal", change->horizontal ? kHorizontal[change->horizontal] : nullptr);
  if (ok && change->vertical != XLSX_STYLE_KEEP)
    ok = set_or_remove(a, "vertical", change->vertical != XLSX_VERTICAL_DEFAULT ? kVertical[change->vertical] : nullptr);
  if (ok && change->wrap != XLSX_STYLE_KEEP) ok = set_or_remove(a, "wrapText", change->wrap ? "1" : nullptr);
  if (ok && change->indent != XLSX_STYLE_KEEP) {
    xlsx_u64_to_text(static_cast<uint64_t>(change->indent), number);
    ok = set_or_remove(a, "indent", change->indent ? number : nullptr);
  }
  if (ok && change->rotation != XLSX_STYLE_KEEP) {
    // The file counts downward angles from 91 (-1 degree) to 180 (-90 degrees).
    int32_t stored = change->rotation < 0 ? 90 - change->rotation : change->rotation;
    xlsx_u64_to_text(static_cast<uint64_t>(stored), number);
    ok = set_or_remove(a, "textRotation", stored ? number : nullptr);
  }
  if (ok && !xml_node_first_attribute(a)) xml_node_remove_child(xf, a);
  return ok && xml_node_set_attribute(xf, "applyAlignment", "1");
}

// The fill of change: none, or solid in the change's colour. The list first gets the two fills every
// workbook reserves (none, gray125) when it lacks them.
xlsx_status derive_fill(XlsxStyles* styles, const XlsxStyleChange* change, uint32_t* out) {
  XmlNode* fills = section(styles, "fills");
  static const char* const kReserved[] = {"none", "gray125"};
  while (fills && styles->records[LIST_FILLS].count < 2) {
    XmlNode* fill = xml_node_append_child(fills, "fill");
    XmlNode* pattern = xml_node_append_child(fill, "patternFill");
    uint32_t index = 0;
    if (!pattern || !xml_node_set_attribute(pattern, "patternType", kReserved[styles->records[LIST_FILLS].count]))
      return XLSX_ERR_NO_MEMORY;
    xlsx_status status = intern(styles, LIST_FILLS, fill, &index);
    if (status != XLSX_OK) return status;
    if (index != styles->records[LIST_FILLS].count - 1) return XLSX_ERR_INTERNAL;
  }
  XmlNode* fill = fills ? xml_node_append_child(fills, "fill") : nullptr;
  XmlNode* pattern = fill ? xml_node_append_child(fill, "patternFill") : nullptr;
  bool none = change->color == XLSX_STYLE_NO_COLOR;
  if (!pattern || !xml_node_set_attribute(pattern, "patternType", none ? "none" : "solid")) return XLSX_ERR_NO_MEMORY;
  if (!none) {
    XmlNode* background = nullptr;
    if (!set_color(pattern, "fgColor", change->color, nullptr, 0) ||
        !(background = xml_node_append_child(pattern, "bgColor")) ||
        !xml_node_set_attribute(background, "indexed", "64"))
      return XLSX_ERR_NO_MEMORY;
  }
  return intern(styles, LIST_FILLS, fill, out);
}

// A copy of the record xf uses in list, changed by edit and kept or shared; its index into *out.
template <typename Edit>
xlsx_status derive_record(XlsxStyles* styles, uint32_t xf, uint32_t list, const char* id_name, Edit edit,
                          uint32_t* out) {
  XmlNode* parent = section(styles, kListNames[list]);
  XmlNode* record = parent ? append_copy(parent, part_of_xf(styles, xf, list, id_name), kRecordNames[list]) : nullptr;
  if (!record || !edit(record)) return XLSX_ERR_NO_MEMORY;
  return intern(styles, list, record, out);
}

// Sets the xf's id attribute for an aspect and the flag that tells applications to apply it.
bool point_xf(XmlNode* xf, const char* id_name, uint32_t id, const char* apply) {
  return set_uint(xf, id_name, id) && xml_node_set_attribute(xf, apply, "1");
}

// The number format, font, fill or border of xf with change made, found or added; its index into *out.
xlsx_status derive_aspect(XlsxStyles* styles, uint32_t xf, const XlsxStyleChange* change, uint32_t* out) {
  switch (change->aspect) {
    case XLSX_ASPECT_NUMBER_FORMAT: return format_id(styles, change->number_format, out);
    case XLSX_ASPECT_FONT:
      return derive_record(styles, xf, LIST_FONTS, "fontId", [change](XmlNode* r) { return edit_font(r, change); }, out);
    case XLSX_ASPECT_FILL: return derive_fill(styles, change, out);
    case XLSX_ASPECT_BORDER:
      return derive_record(styles, xf, LIST_BORDERS, "borderId", [change](XmlNode* r) { return edit_border(r, change); },
                           out);
    default: return XLSX_ERR_INVALID_ARG;
  }
}

// The cell format of xf with change made, found or added; into *out.
xlsx_status derive_xf(XlsxStyles* styles, uint32_t xf, const XlsxStyleChange* change, uint32_t* out) {
  XmlNode* xfs = section(styles, "cellXfs");
  if (!xfs) return XLSX_ERR_NO_MEMORY;
  XmlNode* base = record_or_default(styles, LIST_XFS, xf);
  XmlNode* copy = append_copy(xfs, base, "xf");
  if (!copy) return XLSX_ERR_NO_MEMORY;
  if (!base) {
    for (const char* name : {"numFmtId", "fontId", "fillId", "borderId", "xfId"})
      if (!xml_node_set_attribute(copy, name, "0")) return XLSX_ERR_NO_MEMORY;
  }
  uint32_t id = 0;
  xlsx_status status = XLSX_OK;
  bool ok = true;
  if (change->aspect == XLSX_ASPECT_ALIGNMENT) {
    ok = edit_alignment(copy, change);
  } else {
    // The aspect's record and the xf attributes that point at it and tell applications to apply it.
    static const char* const kIds[] = {"numFmtId", "fontId", "fillId", "borderId"};
    static const char* const kApply[] = {"applyNumberFormat", "applyFont", "applyFill", "applyBorder"};
    status = derive_aspect(styles, xf, change, &id);
    ok = status != XLSX_OK || point_xf(copy, kIds[change->aspect], id, kApply[change->aspect]);
  }
  if (status != XLSX_OK) return status;
  if (!ok) return XLSX_ERR_NO_MEMORY;
  return intern(styles, LIST_XFS, copy, out);
}

// Longest key of a change: a format code of at most XLSX_FORMAT_CODE_MAX bytes or a font name of at most
// 31, and thirteen numbers.
constexpr uint32_t kChangeKeySize = XLSX_FORMAT_CODE_MAX + 14 * 24 + 48;

// The text a change's key holds: the format code or the font name; "" for the other aspects.
const char* change_text(const XlsxStyleChange* c) {
  const char* text = c->aspect == XLSX_ASPECT_NUMBER_FORMAT ? c->number_format
                     : c->aspect == XLSX_ASPECT_FONT        ? c->font_name
                                                            : nullptr;
  return text ? text : "";
}

// Appends a number and a separator at *at.
void put_number(char** at, int64_t value) {
  *at += xlsx_i64_to_text(value, *at);
  *(*at)++ = ':';
}

// The key of a change in the derived map: the xf it starts from and every field of the change (written
// without the formatter: every cell a script formats looks its key up).
void change_key(uint32_t xf, const XlsxStyleChange* c, char* key) {
  char* at = key;
  put_number(&at, xf);
  put_number(&at, c->aspect);
  const char* text = change_text(c);
  // Longer texts are refused before a key is made; the cut only keeps the buffer safe.
  size_t length = std::min<size_t>(std::strlen(text), XLSX_FORMAT_CODE_MAX);
  std::memcpy(at, text, length);
  at += length;
  *at++ = ':';
  if (c->aspect != XLSX_ASPECT_NUMBER_FORMAT) {
    if (c->font_size == XLSX_STYLE_KEEP) *at++ = 'k';
    else at += xlsx_double_to_text(at, c->font_size);
    *at++ = ':';
    for (int64_t value : {int64_t{c->font_flags}, int64_t{c->color}, int64_t{c->sides}, int64_t{c->border_style},
                          int64_t{c->horizontal}, int64_t{c->vertical}, int64_t{c->wrap}, int64_t{c->indent},
                          int64_t{c->rotation}})
      put_number(&at, value);
  }
  *at = '\0';
}

bool same_change(const XlsxStyleChange* a, const char* a_text, const XlsxStyleChange* b) {
  return a->aspect == b->aspect && a->font_size == b->font_size && a->font_flags == b->font_flags &&
         a->color == b->color && a->sides == b->sides && a->border_style == b->border_style &&
         a->horizontal == b->horizontal && a->vertical == b->vertical && a->wrap == b->wrap &&
         a->indent == b->indent && a->rotation == b->rotation && std::strcmp(a_text, change_text(b)) == 0;
}

// The result of a recent derivation of xf by change into *out; false when none matches.
bool recent_derivation(const XlsxStyles* styles, uint32_t xf, const XlsxStyleChange* change, uint32_t* out) {
  for (uint32_t i = 0; i < styles->recent_count; i++) {
    const RecentDerivation& r = styles->recent[i];
    if (r.from == xf && same_change(&r.change, r.text, change)) {
      *out = r.to;
      return true;
    }
  }
  return false;
}

void remember_derivation(XlsxStyles* styles, uint32_t xf, const XlsxStyleChange* change, uint32_t to) {
  const char* text = change_text(change);
  size_t length = std::strlen(text);
  if (length >= sizeof RecentDerivation::text) return;
  RecentDerivation& r = styles->recent[styles->recent_next];
  r.change = *change;
  r.change.number_format = r.change.font_name = nullptr;
  std::memcpy(r.text, text, length + 1);
  r.from = xf;
  r.to = to;
  styles->recent_next = (styles->recent_next + 1) % kRecentDerivations;
  if (styles->recent_count < kRecentDerivations) styles->recent_count++;
}

// The derivation of xf by change, from the derived map or made now; remembered among the recent ones
// (the caller looked there first).
xlsx_status derive_cached(XlsxStyles* styles, uint32_t xf, const XlsxStyleChange* change, uint32_t* out) {
  char key[kChangeKeySize];
  change_key(xf, change, key);
  xlsx_status status = XLSX_OK;
  if (void* found = strmap_get(&styles->derived, key)) {
    *out = from_value(found);
  } else {
    status = derive_xf(styles, xf, change, out);
    if (status == XLSX_OK) status = strmap_set(&styles->derived, key, as_value(*out));
  }
  if (status == XLSX_OK) remember_derivation(styles, xf, change, *out);
  return status;
}

bool valid_cell(const XlsxCell* cell) { return cell && cell->element; }

// The styles the workbook found last, while the relationships that named their part and the package's
// parts list are unchanged (every cell a script formats asks for them); null otherwise.
XlsxStyles* remembered_styles(const XlsxWorkbook* workbook) {
  const XlsxPart* rels = xlsx_package_workbook_rels(workbook->package)->part;
  if (!workbook->styles || !rels || !rels->xml) return nullptr;
  if (workbook->package->parts_generation != workbook->styles_parts_generation) return nullptr;
  bool same = rels->xml == workbook->styles_rels_doc && rels->xml->generation == workbook->styles_rels_generation;
  return same ? workbook->styles : nullptr;
}

void remember_styles(XlsxWorkbook* workbook, XlsxStyles* styles) {
  const XlsxPart* rels = xlsx_package_workbook_rels(workbook->package)->part;
  workbook->styles = rels && rels->xml ? styles : nullptr;
  workbook->styles_rels_doc = rels ? rels->xml : nullptr;
  workbook->styles_rels_generation = rels && rels->xml ? rels->xml->generation : 0;
  workbook->styles_parts_generation = workbook->package->parts_generation;
}

// The styles in step with their tree, into *out.
xlsx_status synced(XlsxStyles* styles, XlsxStyles** out) {
  xlsx_status status = styles_sync(styles);
  if (status == XLSX_OK) *out = styles;
  return status;
}

// The styles part given to a workbook that has none: one font, the two fills every workbook reserves, one
// border, one cell format and the Normal style.
constexpr char kDefaultStyles[] =
    "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n"
    "<styleSheet xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\">"
    "<fonts count=\"1\"><font><sz val=\"11\"/><name val=\"Calibri\"/><family val=\"2\"/></font></fonts>"
    "<fills count=\"2\"><fill><patternFill patternType=\"none\"/></fill>"
    "<fill><patternFill patternType=\"gray125\"/></fill></fills>"
    "<borders count=\"1\"><border><left/><right/><top/><bottom/><diagonal/></border></borders>"
    "<cellStyleXfs count=\"1\"><xf numFmtId=\"0\" fontId=\"0\" fillId=\"0\" borderId=\"0\"/></cellStyleXfs>"
    "<cellXfs count=\"1\"><xf numFmtId=\"0\" fontId=\"0\" fillId=\"0\" borderId=\"0\" xfId=\"0\"/></cellXfs>"
    "<cellStyles count=\"1\"><cellStyle name=\"Normal\" xfId=\"0\" builtinId=\"0\"/></cellStyles>"
    "</styleSheet>";

// Adds the default styles part, styles.xml in the workbook's folder, with its content type and
// relationship; the trees' changes are taken back by the journal, the package entry and the part by hand.
// XLSX_ERR_UNSUPPORTED when an entry of that name exists without being the workbook's styles (it is left
// alone).
xlsx_status add_styles_part(XlsxWorkbook* workbook) {
  XlsxPackage* package = workbook->package;
  XlsxArchive* archive = xlsx_package_archive(package);
  StrBuf path, part_name;
  strbuf_init(&path);
  strbuf_init(&part_name);
  xlsx_status status = xlsx_package_workbook_target(package, "styles.xml", &path);
  if (status == XLSX_OK) status = xlsx_package_part_name(path.data, &part_name);
  if (status == XLSX_OK && (xlsx_archive_has_entry(archive, path.data) || xlsx_package_find_part(package, path.data)))
    status = XLSX_ERR_UNSUPPORTED;
  XlsxRelationships* rels = xlsx_package_workbook_rels(package);
  XlsxPart* parts[] = {xlsx_package_content_types(package)->part, rels->part};
  XlsxPartsEdit edit{};
  if (status == XLSX_OK) status = xlsx_parts_edit_begin(&edit, parts, 2);
  if (status != XLSX_OK) {
    strbuf_free(&path);
    strbuf_free(&part_name);
    return status;
  }
  status = xlsx_content_types_add(xlsx_package_content_types(package), part_name.data, XLSX_CT_STYLES);
  XlsxRelItem item{};
  if (status == XLSX_OK) item = xlsx_rels_add(rels, XLSX_REL_STYLES, "styles.xml");
  if (status == XLSX_OK && !item.node) status = xlsx_rels_root(rels) ? XLSX_ERR_NO_MEMORY : XLSX_ERR_UNSUPPORTED;
  bool entry = false;
  if (status == XLSX_OK) {
    status = xlsx_archive_put_entry(archive, path.data, kDefaultStyles, sizeof kDefaultStyles - 1);
    entry = status == XLSX_OK;
  }
  if (status == XLSX_OK && !xlsx_package_add_part(package, path.data, xlsx_rel_item_id(item), XLSX_CT_STYLES))
    status = XLSX_ERR_NO_MEMORY;
  if (status != XLSX_OK && entry) xlsx_archive_delete_entry(archive, path.data);
  strbuf_free(&path);
  strbuf_free(&part_name);
  return xlsx_parts_edit_end(&edit, status);
}

}  // namespace

int32_t xlsx_styles_color(const XlsxStyles* styles, const XmlNode* color) { return color_of(styles, color); }

XlsxStyleChange xlsx_style_change(XlsxStyleAspect aspect) {
  XlsxStyleChange change{};
  change.aspect = aspect;
  change.font_size = XLSX_STYLE_KEEP;
  change.font_flags = change.color = change.border_style = XLSX_STYLE_KEEP;
  change.horizontal = change.vertical = change.wrap = change.indent = change.rotation = XLSX_STYLE_KEEP;
  return change;
}

const char* xlsx_style_change_problem(const XlsxStyleChange* c) {
  auto in = [](int32_t value, int32_t low, int32_t high) { return value == XLSX_STYLE_KEEP || (value >= low && value <= high); };
  if (!c) return "format";
  if (c->color != XLSX_STYLE_KEEP && c->color != XLSX_STYLE_NO_COLOR && (c->color < 0 || c->color > 0xFFFFFF))
    return "colour";
  switch (c->aspect) {
    case XLSX_ASPECT_NUMBER_FORMAT: return xlsx_format_code_is_valid(c->number_format) ? nullptr : "number format";
    case XLSX_ASPECT_FONT:
      if (c->font_name && std::strlen(c->font_name) > 31) return "font name";
      if (c->font_size != XLSX_STYLE_KEEP && !(c->font_size >= 1 && c->font_size <= 409)) return "font size";
      return in(c->font_flags, 0, 15) ? nullptr : "font style";
    case XLSX_ASPECT_FILL: return c->color == XLSX_STYLE_KEEP ? "colour" : nullptr;
    case XLSX_ASPECT_BORDER:
      if (c->sides == 0 || c->sides > 15) return "border sides";
      return in(c->border_style, 0, XLSX_BORDER_STYLE_COUNT - 1) ? nullptr : "border style";
    case XLSX_ASPECT_ALIGNMENT:
      if (!in(c->horizontal, 0, XLSX_HALIGN_COUNT - 1)) return "horizontal alignment";
      if (!in(c->vertical, 0, XLSX_VALIGN_COUNT - 1)) return "vertical alignment";
      if (!in(c->wrap, 0, 1)) return "wrap";
      if (!in(c->indent, 0, 250)) return "indent";
      if (c->rotation != XLSX_ROTATION_VERTICAL && c->rotation != XLSX_STYLE_KEEP && (c->rotation < -90 || c->rotation > 90))
        return "rotation";
      return nullptr;
  }
  return "format";
}

xlsx_status xlsx_workbook_styles(XlsxWorkbook* workbook, XlsxStyles** out) {
  *out = nullptr;
  if (!workbook || !workbook->package) return XLSX_ERR_NOT_FOUND;
  if (XlsxStyles* styles = remembered_styles(workbook)) return synced(styles, out);
  XlsxPart* part = nullptr;
  xlsx_status found = xlsx_package_workbook_related(workbook->package, XLSX_REL_STYLES, &part);
  if (found != XLSX_OK) return found;
  if (!part) return XLSX_ERR_NOT_FOUND;
  // A part that carries another attachment (a file may name a worksheet as its styles) is no styles part.
  if (part->extra && part->extra_free != styles_free) return XLSX_ERR_NOT_FOUND;
  XlsxStyles* styles = static_cast<XlsxStyles*>(xlsx_part_extra(part));
  if (!styles) {
    // A styles part whose bytes do not parse is kept as it is and read as the default format.
    xlsx_part_load(part);
    if (!part->loaded) return XLSX_ERR_NO_MEMORY;
    if (!xlsx_part_root(part)) return XLSX_ERR_NOT_FOUND;
    XlsxThemeColors theme;
    xlsx_status themed = xlsx_workbook_theme_colors(workbook, &theme);
    if (themed != XLSX_OK) return themed;
    styles = styles_new(part, &theme);
    if (!styles) return XLSX_ERR_NO_MEMORY;
    xlsx_part_set_extra(part, styles, styles_free);
  }
  remember_styles(workbook, styles);
  return synced(styles, out);
}

xlsx_status xlsx_workbook_styles_to_change(XlsxWorkbook* workbook, XlsxStyles** out) {
  xlsx_status status = xlsx_workbook_styles(workbook, out);
  if (status != XLSX_ERR_NOT_FOUND || !workbook || !workbook->package) return status;
  // Only a workbook without a styles relationship gets one; a styles part that cannot be read stays as it is.
  XlsxRelItem item = xlsx_rels_find_by_type(xlsx_package_workbook_rels(workbook->package), XLSX_REL_STYLES);
  if (item.node) return XLSX_ERR_UNSUPPORTED;
  status = add_styles_part(workbook);
  return status == XLSX_OK ? xlsx_workbook_styles(workbook, out) : status;
}

bool xlsx_workbook_date1904(XlsxWorkbook* workbook) {
  if (!workbook) return false;
  XmlNode* properties = xml_node_child(xlsx_part_root(workbook->part), "workbookPr");
  return xml_attribute_as_bool(xml_node_attribute(properties, "date1904"), false);
}

uint32_t xlsx_cell_style(const XlsxCell* cell) {
  return valid_cell(cell) ? attribute_uint(cell->element, "s") : 0;
}

const char* xlsx_styles_number_format(XlsxStyles* styles, uint32_t xf) {
  uint32_t id = attribute_uint(record_or_default(styles, LIST_XFS, xf), "numFmtId");
  XmlNode* list = styles ? xml_node_child(styles_root(styles), "numFmts") : nullptr;
  char text[24];
  xlsx_u64_to_text(id, text);
  XmlNode* custom = xml_node_find_child_by_attribute(list, "numFmt", "numFmtId", text);
  if (custom) return xml_attribute_value(xml_node_attribute(custom, "formatCode"));
  const char* builtin = xlsx_builtin_format_code(id);
  return builtin ? builtin : "General";
}

bool xlsx_styles_is_date(XlsxStyles* styles, uint32_t xf) {
  uint32_t id = attribute_uint(record_or_default(styles, LIST_XFS, xf), "numFmtId");
  XmlNode* list = styles ? xml_node_child(styles_root(styles), "numFmts") : nullptr;
  char text[24];
  xlsx_u64_to_text(id, text);
  XmlNode* custom = xml_node_find_child_by_attribute(list, "numFmt", "numFmtId", text);
  if (custom) return xlsx_format_code_is_date(xml_attribute_value(xml_node_attribute(custom, "formatCode")));
  return xlsx_builtin_format_is_date(id);
}

void xlsx_styles_font(XlsxStyles* styles, uint32_t xf, XlsxFontLook* out) {
  XmlNode* font = part_of_xf(styles, xf, LIST_FONTS, "fontId");
  out->name = xml_attribute_value(xml_node_attribute(xml_node_child(font, "name"), "val"));
  out->size = xml_attribute_as_double(xml_node_attribute(xml_node_child(font, "sz"), "val"), 11);
  out->flags = 0;
  for (const auto& flag : kFontFlags)
    if (flag_on(xml_node_child(font, flag.name))) out->flags |= flag.flag;
  out->color = color_of(styles, xml_node_child(font, "color"));
}

int32_t xlsx_styles_fill(XlsxStyles* styles, uint32_t xf) {
  XmlNode* pattern = xml_node_child(part_of_xf(styles, xf, LIST_FILLS, "fillId"), "patternFill");
  if (!xlsx_str_equal(xml_attribute_value(xml_node_attribute(pattern, "patternType")), "solid"))
    return XLSX_STYLE_NO_COLOR;
  return color_of(styles, xml_node_child(pattern, "fgColor"));
}

void xlsx_styles_border(XlsxStyles* styles, uint32_t xf, uint32_t side, int32_t* style, int32_t* color) {
  uint32_t i = 0;
  while (i < 3 && !(side & (1u << i))) i++;
  XmlNode* element = xml_node_child(part_of_xf(styles, xf, LIST_BORDERS, "borderId"), kBorderOrder[2 + i]);
  const char* text = xml_attribute_value(xml_node_attribute(element, "style"));
  *style = 0;
  for (uint32_t s = 0; s < XLSX_BORDER_STYLE_COUNT; s++)
    if (std::strcmp(text, kBorderStyles[s]) == 0) *style = static_cast<int32_t>(s);
  *color = *style ? color_of(styles, xml_node_child(element, "color")) : XLSX_STYLE_NO_COLOR;
}

void xlsx_styles_alignment(XlsxStyles* styles, uint32_t xf, XlsxAlignmentLook* out) {
  XmlNode* a = xml_node_child(record_or_default(styles, LIST_XFS, xf), "alignment");
  auto find = [a](const char* name, const char* const* texts, uint32_t count, int32_t def) {
    const char* text = xml_attribute_value(xml_node_attribute(a, name));
    for (uint32_t i = 0; i < count; i++)
      if (std::strcmp(text, texts[i]) == 0) return static_cast<int32_t>(i);
    return def;
  };
  out->horizontal = find("horizontal", kHorizontal, XLSX_HALIGN_COUNT, 0);
  out->vertical = find("vertical", kVertical, XLSX_VALIGN_COUNT, XLSX_VERTICAL_DEFAULT);
  out->wrap = xml_attribute_as_bool(xml_node_attribute(a, "wrapText"), false) ? 1 : 0;
  out->indent = static_cast<int32_t>(attribute_uint(a, "indent"));
  int32_t rotation = static_cast<int32_t>(attribute_uint(a, "textRotation"));
  out->rotation = rotation > 90 && rotation <= 180 ? 90 - rotation : rotation;
}

xlsx_status xlsx_styles_edit_begin(XlsxStyles* styles, XmlDoc* sheet) {
  if (!styles || !sheet) return XLSX_ERR_INVALID_ARG;
  if (styles->depth == 0) {
    xlsx_status status = styles_sync(styles);
    if (status != XLSX_OK) return status;
    styles->changed = 0;
  }
  XmlDoc* tree = styles->part->xml;
  if (!xml_document_begin_edit(tree)) return XLSX_ERR_NO_MEMORY;
  if (!xml_document_begin_edit(sheet)) {
    xml_document_end_edit(tree, false);
    return XLSX_ERR_NO_MEMORY;
  }
  styles->depth++;
  return XLSX_OK;
}

xlsx_status xlsx_styles_edit_end(XlsxStyles* styles, XmlDoc* sheet, xlsx_status status) {
  bool outer = --styles->depth == 0;
  xml_document_end_edit(sheet, status == XLSX_OK);
  // An edit that only found records the tree already had is taken back, so the part stays unchanged.
  xml_document_end_edit(styles->part->xml, status == XLSX_OK && styles->changed);
  if (!outer) return status;
  if (status != XLSX_OK) styles_reset(styles);
  else styles->generation = styles->part->xml->generation;
  return status;
}

xlsx_status xlsx_cell_set_style(const XlsxCell* cell, uint32_t xf) {
  if (!valid_cell(cell)) return XLSX_ERR_INVALID_ARG;
  // The sheet's row index stays valid: a cell's attribute moves no row or cell.
  bool in_step = sheet_index_in_step(cell->index, cell->element->document);
  bool done = true;
  if (xf == 0) {
    xml_node_remove_attribute(cell->element, "s");
    done = !xml_node_has_attribute(cell->element, "s");
  } else {
    done = set_uint(cell->element, "s", xf);
  }
  if (in_step) sheet_index_commit(cell->index);
  return done ? XLSX_OK : XLSX_ERR_NO_MEMORY;
}

xlsx_status xlsx_styles_apply(XlsxStyles* styles, const XlsxCell* cell, const XlsxStyleChange* change) {
  if (!styles || !valid_cell(cell) || !change) return XLSX_ERR_INVALID_ARG;
  uint32_t current = xlsx_cell_style(cell);
  uint32_t xf = 0;
  // A derivation met lately (of a change that was checked then) adds no record: only the cell's
  // attribute changes, in one step that either happens or leaves the cell as it was, so no edit needs to
  // be opened for it.
  xlsx_status status = styles_sync(styles);
  if (status == XLSX_OK && recent_derivation(styles, current, change, &xf))
    return xf == current ? XLSX_OK : xlsx_cell_set_style(cell, xf);
  if (xlsx_style_change_problem(change)) return XLSX_ERR_INVALID_ARG;
  if (status != XLSX_OK) return status;
  status = xlsx_styles_edit_begin(styles, cell->element->document);
  if (status != XLSX_OK) return status;
  status = derive_cached(styles, current, change, &xf);
  if (status == XLSX_OK && xf != current) status = xlsx_cell_set_style(cell, xf);
  return xlsx_styles_edit_end(styles, cell->element->document, status);
}

xlsx_status xlsx_styles_set_date(XlsxStyles* styles, const XlsxCell* cell, double serial, const char* code) {
  if (!styles || !valid_cell(cell) || !xlsx_format_code_is_valid(code)) return XLSX_ERR_INVALID_ARG;
  xlsx_status status = xlsx_styles_edit_begin(styles, cell->element->document);
  if (status != XLSX_OK) return status;
  XlsxCellValue value{};
  status = serial == std::floor(serial) ? xlsx_value_set_int(&value, static_cast<int64_t>(serial))
                                        : xlsx_value_set_float(&value, serial);
  if (status == XLSX_OK) status = xlsx_cell_set_value(cell, &value);
  xlsx_value_reset(&value);
  if (status == XLSX_OK && !xlsx_styles_is_date(styles, xlsx_cell_style(cell))) {
    XlsxStyleChange change = xlsx_style_change(XLSX_ASPECT_NUMBER_FORMAT);
    change.number_format = code;
    status = xlsx_styles_apply(styles, cell, &change);
  }
  return xlsx_styles_edit_end(styles, cell->element->document, status);
}

// Values and formulas of one cell.
#include "lib/sheet/cell.h"

#include <cfloat>
#include <cmath>
#include <charconv>
#include <cstring>
#include <initializer_list>

#include "lib/base/alloc.h"
#include "lib/base/convert.h"
#include "lib/base/strbuf.h"
#include "lib/package/part.h"
#include "lib/sheet/shared_formula.h"
#include "lib/sheet/shared_strings.h"
#include "lib/sheet/sheet_index.h"
#include "lib/xml/escape.h"

namespace {

// Type codes of XlsxCellValue.
enum : uint32_t { kEmpty = 0, kBoolean = 1, kInteger = 2, kFloat = 3, kError = 4, kString = 5 };

// How the XML stores the cell's value.
enum class Kind { kEmpty, kBoolean, kNumber, kError, kShared, kInline, kInlineRich };

bool valid(const XlsxCell* cell) { return cell && cell->element; }

bool is_one_letter(const char* name, char letter) { return name && name[0] == letter && name[1] == 0; }

// The first `v` child, as xml_node_child(c, "v") finds it, with the inline name test: every cell read
// looks for it.
const XmlNode* value_child(const XmlNode* c) {
  for (const XmlNode* x = c->first_child; x; x = x->next_sibling)
    if (xml_node_is_element(x, "v")) return x;
  return nullptr;
}

// The first `t` attribute, as xml_node_attribute(c, "t") finds it, compared in place likewise.
XmlAttr* type_attribute(const XmlNode* c) {
  for (XmlAttr* a = c->first_attribute; a; a = a->next)
    if (is_one_letter(a->name, 't')) return a;
  return nullptr;
}

// v is the text of the cell's `v` child ("" when there is none).
Kind kind_of(const XmlNode* c, const char* v) {
  const XmlAttr* t = type_attribute(c);
  // An empty `v` (as some writers leave beside a formula) holds no value either.
  bool has_v = v[0] != 0;
  if (!t) return has_v ? Kind::kNumber : Kind::kEmpty;
  const char* type = xml_attribute_value(t);
  if (xlsx_str_equal(type, "n")) return has_v ? Kind::kNumber : Kind::kEmpty;
  if (xlsx_str_equal(type, "s")) return Kind::kShared;
  if (xlsx_str_equal(type, "str")) return Kind::kInline;
  if (xlsx_str_equal(type, "inlineStr")) return Kind::kInlineRich;
  if (xlsx_str_equal(type, "b")) return Kind::kBoolean;
  return Kind::kError;
}

// Exact powers of ten as doubles (10^22 is the largest one a double holds exactly).
constexpr double kPowersOfTen[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
                                   1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};

// Plain number texts as writers produce them ([-]digits[.digits]), read without the general converters.
// A whole number of at most 18 significant digits fits in 64 bits. A decimal of at most 15 significant
// digits and 22 decimals is m / 10^k with m and 10^k both exact doubles, so the one division rounds
// correctly and gives the converter's result. Where the arithmetic may be carried out in a wider format
// (which would round twice) the general converter is used. False when the text is not of that form.
bool read_plain_number(const char* text, XlsxCellValue* out) {
  if (FLT_EVAL_METHOD != 0) return false;
  const char* p = text;
  bool negative = *p == '-';
  if (negative) p++;
  uint64_t mantissa = 0;
  uint32_t significant = 0;
  uint32_t decimals = 0;
  const char* start = p;
  for (; *p >= '0' && *p <= '9'; p++) {
    if (mantissa || *p != '0') significant++;
    mantissa = mantissa * 10 + static_cast<uint32_t>(*p - '0');
    if (significant > 18) return false;
  }
  if (p == start) return false;
  if (*p == 0) {
    int64_t value = static_cast<int64_t>(mantissa);
    xlsx_value_set_int(out, negative ? -value : value);
    return true;
  }
  if (*p++ != '.') return false;
  for (start = p; *p >= '0' && *p <= '9'; p++) {
    if (mantissa || *p != '0') significant++;
    mantissa = mantissa * 10 + static_cast<uint32_t>(*p - '0');
    if (significant > 15 || ++decimals > 22) return false;
  }
  if (p == start || *p != 0) return false;
  double value = static_cast<double>(mantissa) / kPowersOfTen[decimals];
  xlsx_value_set_float(out, negative ? -value : value);
  return true;
}

// A decimal text that starts with a digit (after an optional minus) and is nothing but a number, read
// with from_chars: it rounds correctly, as the general converter does, at a fraction of its cost (the
// 17-digit texts writers give most fractions come here). False for anything else, and for values out of
// the double range, which the general converter decides. Where double arithmetic may be carried out in
// a wider format the general converter is used throughout, as for read_plain_number.
bool read_decimal(const char* text, double* number) {
  if (FLT_EVAL_METHOD != 0) return false;
  const char* p = text + (*text == '-' ? 1 : 0);
  if (*p < '0' || *p > '9') return false;
  const char* end = p + std::strlen(p);
  double value = 0.0;
  std::from_chars_result result = std::from_chars(text, end, value);
  if (result.ec != std::errc() || result.ptr != end) return false;
  *number = value;
  return true;
}

// Whether text is a number as the format writes one (an XML Schema double): an optional sign, digits with
// an optional point (or a point and digits), an optional exponent; or INF, -INF, NaN. Surrounding white
// space is allowed. Hexadecimal numbers, commas, and words that a C converter would take are not numbers.
bool is_number_text(const char* text) {
  const char* p = text;
  while (char_is_space(static_cast<unsigned char>(*p))) p++;
  const char* start = p;
  if (*p == '+' || *p == '-') p++;
  bool special = std::strncmp(p, "INF", 3) == 0 || (p == start && std::strncmp(p, "NaN", 3) == 0);
  if (special) {
    p += 3;
  } else {
    const char* digits = p;
    while (*p >= '0' && *p <= '9') p++;
    uint32_t whole = static_cast<uint32_t>(p - digits);
    uint32_t fraction = 0;
    if (*p == '.') {
      for (digits = ++p; *p >= '0' && *p <= '9';) p++;
      fraction = static_cast<uint32_t>(p - digits);
    }
    if (whole + fraction == 0) return false;
    if (*p == 'e' || *p == 'E') {
      p++;
      if (*p == '+' || *p == '-') p++;
      if (*p < '0' || *p > '9') return false;
      while (*p >= '0' && *p <= '9') p++;
    }
  }
  while (char_is_space(static_cast<unsigned char>(*p))) p++;
  return *p == 0;
}

// A number text with a point or an exponent is a float; a whole number too large for 64 bits as well. A
// text that is no number is not read as one (nor as 0): it reads as the text it is.
xlsx_status read_number(const char* text, XlsxCellValue* out) {
  if (read_plain_number(text, out)) return XLSX_OK;
  if (!is_number_text(text)) return xlsx_value_set_string(out, text);
  if (std::strstr(text, "INF")) {
    xlsx_value_set_float(out, std::strchr(text, '-') ? -HUGE_VAL : HUGE_VAL);  // the error #NUM!
    return XLSX_OK;
  }
  bool is_float = std::strpbrk(text, ".eEN") != nullptr;
  int64_t integer = 0;
  if (!is_float && xlsx_text_to_i64(text, &integer)) {
    xlsx_value_set_int(out, integer);
    return XLSX_OK;
  }
  double number = 0.0;
  if (!(is_float && read_decimal(text, &number)) && !xlsx_text_to_double(text, &number)) number = 0.0;
  xlsx_value_set_float(out, number);
  return XLSX_OK;
}

bool read_boolean(const char* text) {
  char c = text[0];
  return c == '1' || c == 'T' || c == 't' || c == 'y' || c == 'Y';
}

// A cell text as stored: escapes of characters XML cannot carry decoded (lib/xml/escape.h).
xlsx_status set_string_unescaped(XlsxCellValue* out, const char* text) {
  xlsx_status status = xlsx_value_set_string(out, text);
  if (status == XLSX_OK && xml_text_has_escape(out->text))
    xml_unescape_text(out->text, static_cast<uint32_t>(std::strlen(out->text)));
  return status;
}

// Whether the element's text can be lent as it stands: held by one node, without escapes.
bool lendable(const XmlNode* element) {
  return xml_node_text_is_whole(element) && !xml_text_has_escape(xml_node_text(element));
}

// Text of an inline string: its `t`, or the concatenated `t` of its rich-text runs; every text node of a
// `t` counts (a CDATA section or a comment may split it).
xlsx_status read_inline(const XmlNode* c, XlsxCellValue* out) {
  XmlNode* is = xml_node_child(c, "is");
  XmlNode* t = xml_node_child(is, "t");
  StrBuf text;
  strbuf_init(&text);
  xlsx_status status = strbuf_append(&text, "");
  if (t) status = xml_node_append_text(t, &text);
  for (XmlNode* run = t ? nullptr : xml_node_child(is, "r"); run && status == XLSX_OK;
       run = xml_node_next_sibling_named(run, "r"))
    status = xml_node_append_text(xml_node_child(run, "t"), &text);
  if (status == XLSX_OK) status = set_string_unescaped(out, text.data);
  strbuf_free(&text);
  return status;
}

// No position in the shared strings table: reads as the empty text.
constexpr uint32_t kNoIndex = 0xFFFFFFFFu;

// Position in the shared strings table named by the text of a `v`: a whole number in decimal digits
// (surrounding white space allowed); kNoIndex for anything else (a sign, a point, a letter, nothing).
uint32_t shared_index(const char* v) {
  const char* p = v;
  while (char_is_space(static_cast<unsigned char>(*p))) p++;
  uint64_t index = 0;
  const char* digits = p;
  for (; *p >= '0' && *p <= '9' && index <= kNoIndex; p++) index = index * 10 + static_cast<uint32_t>(*p - '0');
  if (p == digits || index >= kNoIndex) return kNoIndex;
  while (char_is_space(static_cast<unsigned char>(*p))) p++;
  return *p == 0 ? static_cast<uint32_t>(index) : kNoIndex;
}

const char* shared_text(const XlsxCell* cell, const char* v) {
  uint32_t index = shared_index(v);
  return index == kNoIndex ? "" : xlsx_sst_get(cell->shared_strings, index);
}

// The value of the cell whose `v` text and storage kind were read already.
xlsx_status read_stored(const XlsxCell* cell, const char* v, Kind kind, XlsxCellValue* out) {
  const XmlNode* c = cell->element;
  switch (kind) {
    case Kind::kEmpty: return xlsx_value_set_empty(out);
    case Kind::kBoolean: xlsx_value_set_bool(out, read_boolean(v) ? 1 : 0); return XLSX_OK;
    case Kind::kNumber: return read_number(v, out);
    case Kind::kError: return xlsx_value_set_error(out, v);
    case Kind::kInline: return set_string_unescaped(out, v);
    case Kind::kInlineRich: return read_inline(c, out);
    case Kind::kShared: break;
  }
  return xlsx_value_set_string(out, shared_text(cell, v));
}

// The text of the cell's `v`: lent from the tree when one node holds it, else joined into joined.
const char* value_text(const XmlNode* v, StrBuf* joined, xlsx_status* status) {
  *status = XLSX_OK;
  if (xml_node_text_is_whole(v)) return xml_node_text(v);
  *status = strbuf_append(joined, "");
  if (*status == XLSX_OK) *status = xml_node_append_text(v, joined);
  return *status == XLSX_OK ? joined->data : "";
}

xlsx_status read_value(const XlsxCell* cell, XlsxCellValue* out) {
  StrBuf joined;
  strbuf_init(&joined);
  xlsx_status status = XLSX_OK;
  const char* v = value_text(value_child(cell->element), &joined, &status);
  if (status == XLSX_OK) status = read_stored(cell, v, kind_of(cell->element, v), out);
  strbuf_free(&joined);
  return status;
}

// read_value for a reader that copies the text itself: string and error texts are lent, not copied, when
// the tree or the table holds them as they read.
xlsx_status peek_value(const XlsxCell* cell, XlsxCellValue* out, const char** text) {
  const XmlNode* c = cell->element;
  const XmlNode* v_element = value_child(c);
  if (!xml_node_text_is_whole(v_element)) return read_value(cell, out);
  const char* v = xml_node_text(v_element);
  uint32_t type = kString;
  Kind kind = kind_of(c, v);
  switch (kind) {
    case Kind::kEmpty: out->type = kEmpty; return XLSX_OK;
    case Kind::kError: type = kError; *text = v; break;
    case Kind::kInline:
      if (!lendable(v_element)) return read_stored(cell, v, kind, out);
      *text = v;
      break;
    case Kind::kShared: *text = shared_text(cell, v); break;
    case Kind::kInlineRich: {
      // One `t` (or no `is`) is lent as it stands; rich runs are joined into out's own text.
      XmlNode* is = xml_node_child(c, "is");
      XmlNode* t = xml_node_child(is, "t");
      if ((is && !t) || !lendable(t)) return read_inline(c, out);
      *text = xml_node_text(t);
      break;
    }
    default: return read_stored(cell, v, kind, out);
  }
  out->type = type;
  out->integer = 0;
  out->number = 0.0;
  out->boolean = 0;
  return XLSX_OK;
}

// A successful change of a value or formula: the part records it for the recalculation request of the
// next save (lib/sheet/workbook.h). Returns status.
xlsx_status note_change(const XlsxCell* cell, xlsx_status status) {
  if (status == XLSX_OK && cell->index && cell->index->part) cell->index->part->cells_changed = 1;
  return status;
}

// Edits through a handle keep the sheet's index valid when it was valid before.
struct EditScope {
  XlsxSheetIndex* index;
  bool in_step;
  explicit EditScope(const XlsxCell* cell)
      : index(cell->index), in_step(sheet_index_in_step(cell->index, cell->element->document)) {}
  ~EditScope() {
    if (in_step) sheet_index_commit(index);
  }
};

// Removes the value's attributes and children; false when a removal could not be journaled.
bool clear_value(XmlNode* c) {
  for (const char* name : {"t", "xml:space"})
    if (xml_node_attribute(c, name) && !xml_node_remove_attribute(c, name)) return false;
  for (const char* name : {"v", "is"})
    while (XmlNode* child = xml_node_child(c, name))
      if (!xml_node_remove_child(c, child)) return false;
  return true;
}

// The first `v` and the first `is` child of c, found in one pass over the children.
void value_children(const XmlNode* c, XmlNode** v, XmlNode** is) {
  *v = nullptr;
  *is = nullptr;
  for (XmlNode* x = c->first_child; x; x = x->next_sibling) {
    if (!*v && xml_node_is_element(x, "v")) *v = x;
    else if (!*is && xml_node_is_element(x, "is")) *is = x;
  }
}

// Sets the `v` text and the `t` attribute (removed when type is null); false when memory ran out. Each
// element and attribute is looked for once: a written cell comes here for every value.
bool store(XmlNode* c, const char* type, const char* text) {
  XmlNode* v;
  XmlNode* is;
  value_children(c, &v, &is);
  if (!v) v = xml_node_append_child(c, "v");
  if (!v || !xml_node_set_whole_text(v, text)) return false;
  XmlAttr* t = type_attribute(c);
  if (!type) {
    if (t && !xml_node_remove_attribute(c, "t")) return false;
  } else if (t ? !xml_attribute_set_value(t, type) : !xml_node_set_attribute(c, "t", type)) {
    return false;
  }
  return !is || xml_node_remove_child(c, is);
}

bool edge_space(const char* text) {
  size_t n = std::strlen(text);
  return n > 0 && (text[0] == ' ' || text[n - 1] == ' ');
}

// Whether a string value goes to the shared strings table (into *use): in shared strings mode, when the
// table can take new texts. A table part that is missing or whose bytes did not parse keeps its original
// bytes at save, so nothing can be appended to it: the cell then holds the text itself, rather than
// losing it. XLSX_ERR_NO_MEMORY when the part or its texts cannot be loaded now.
xlsx_status table_for_strings(XlsxSharedStrings* table, bool* use) {
  *use = false;
  if (xlsx_shared_strings_mode() != 0 || !table || !table->part) return XLSX_OK;
  xlsx_part_load(table->part);
  if (!table->part->loaded || xlsx_sst_ensure_loaded(table) != XLSX_OK) return XLSX_ERR_NO_MEMORY;
  *use = xlsx_part_root(table->part) != nullptr;
  return XLSX_OK;
}

// A journaled edit of one cell (the failure rule): its tree and, when the value may go to the shared
// strings table, the table's tree and its texts.
struct CellEdit {
  XmlDoc* sheet;
  XlsxSharedStrings* table;  // null when the table takes no part in the edit
  uint32_t count;            // texts in the table when the edit began
};

xlsx_status begin_cell_edit(const XlsxCell* cell, XlsxSharedStrings* table, CellEdit* edit) {
  *edit = CellEdit{cell->element->document, table, table ? xlsx_sst_count(table) : 0};
  if (!xml_document_begin_edit(edit->sheet)) return XLSX_ERR_NO_MEMORY;
  if (!table || xml_document_begin_edit(table->part->xml)) return XLSX_OK;
  xml_document_end_edit(edit->sheet, false);
  return XLSX_ERR_NO_MEMORY;
}

xlsx_status end_cell_edit(CellEdit* edit, xlsx_status status) {
  bool keep = status == XLSX_OK;
  xml_document_end_edit(edit->sheet, keep);
  if (!edit->table) return status;
  xml_document_end_edit(edit->table->part->xml, keep);
  if (!keep) xlsx_sst_truncate(edit->table, edit->count);
  return status;
}

// Stores the text in the shared strings table (use_table) or in the cell itself.
bool store_string(const XlsxCell* cell, const char* text, bool use_table) {
  XmlNode* c = cell->element;
  if (use_table) {
    int32_t index = xlsx_sst_find_or_append(cell->shared_strings, text);
    if (index < 0) return false;
    char digits[32];
    xlsx_i64_to_text(index, digits);
    return store(c, "s", digits);
  }
  // An inline string (t="inlineStr", the text in is/t, no `v`): readers keep its spaces and decode its
  // escapes, which they do not for the formula-result form t="str".
  if (!clear_value(c) || !xml_node_set_attribute(c, "t", "inlineStr")) return false;
  XmlNode* is = xml_node_append_child(c, "is");
  XmlNode* t = xml_node_append_child(is, "t");
  StrBuf escaped;
  strbuf_init(&escaped);
  bool escape = xml_text_needs_escape(text);
  bool ok = t && (!escape || xml_escape_text(text, &escaped) == XLSX_OK) &&
            (!edge_space(text) || xml_node_set_attribute(t, "xml:space", "preserve")) &&
            (!*text || xml_node_set_text(t, escape ? escaped.data : text));
  strbuf_free(&escaped);
  return ok;
}

// True when no `xml:space` is left on c (it belongs to inline strings only).
bool drop_space(XmlNode* c) { return !xml_node_attribute(c, "xml:space") || xml_node_remove_attribute(c, "xml:space"); }

bool store_value(const XlsxCell* cell, const XlsxCellValue* value, bool use_table) {
  XmlNode* c = cell->element;
  char digits[64];
  const char* text = value->text ? value->text : "";
  switch (value->type) {
    case kEmpty: return clear_value(c);
    case kBoolean: return drop_space(c) && store(c, "b", value->boolean ? "1" : "0");
    case kInteger:
      xlsx_i64_to_text(value->integer, digits);
      return drop_space(c) && store(c, nullptr, digits);
    case kFloat:
      if (!drop_space(c)) return false;
      if (!(value->number - value->number == 0.0)) return store(c, "e", "#NUM!");
      // to_chars with precision 17 is defined to give the bytes of "%.17g" (the value is finite here),
      // at a fraction of vsnprintf's cost.
      *std::to_chars(digits, digits + sizeof digits - 1, value->number, std::chars_format::general, 17).ptr = 0;
      return store(c, nullptr, digits);
    case kString: return store_string(cell, text, use_table);
    case kError: return drop_space(c) && store(c, "e", text);
    default: return drop_space(c) && store(c, "e", "#N/A");
  }
}

}  // namespace

xlsx_status xlsx_cell_get_value(const XlsxCell* cell, XlsxCellValue* out) {
  if (!valid(cell) || !out) return XLSX_ERR_INTERNAL;
  return read_value(cell, out);
}

xlsx_status xlsx_cell_peek_value(const XlsxCell* cell, XlsxCellValue* out, const char** text) {
  if (text) *text = nullptr;
  if (!valid(cell) || !out || !text) return XLSX_ERR_INTERNAL;
  return peek_value(cell, out, text);
}

xlsx_status xlsx_cell_set_value(const XlsxCell* cell, const XlsxCellValue* value) {
  if (!valid(cell) || !value) return XLSX_ERR_INVALID_ARG;
  EditScope scope(cell);
  bool use_table = false;
  xlsx_status status = value->type == kString ? table_for_strings(cell->shared_strings, &use_table) : XLSX_OK;
  CellEdit edit;
  if (status == XLSX_OK) status = begin_cell_edit(cell, use_table ? cell->shared_strings : nullptr, &edit);
  if (status != XLSX_OK) return status;
  return note_change(cell, end_cell_edit(&edit, store_value(cell, value, use_table) ? XLSX_OK : XLSX_ERR_NO_MEMORY));
}

xlsx_status xlsx_cell_clear_value(const XlsxCell* cell) {
  if (!valid(cell)) return XLSX_ERR_INVALID_ARG;
  EditScope scope(cell);
  CellEdit edit;
  xlsx_status status = begin_cell_edit(cell, nullptr, &edit);
  if (status != XLSX_OK) return status;
  return note_change(cell, end_cell_edit(&edit, clear_value(cell->element) ? XLSX_OK : XLSX_ERR_NO_MEMORY));
}

bool xlsx_cell_has_formula(const XlsxCell* cell) {
  return valid(cell) && xml_node_child(cell->element, "f") != nullptr;
}

xlsx_status xlsx_cell_get_formula(const XlsxCell* cell, XlsxText* out) {
  if (!valid(cell) || !out) return XLSX_ERR_INTERNAL;
  StrBuf text;
  strbuf_init(&text);
  xlsx_status status = strbuf_append(&text, "");
  XmlNode* f = xml_node_child(cell->element, "f");
  if (status == XLSX_OK && f) status = xlsx_shared_formula_text(cell, f, &text);
  if (status == XLSX_OK) status = xlsx_text_set(out, text.data);
  strbuf_free(&text);
  return status;
}

bool xlsx_formula_text_valid(const char* formula) {
  for (const char* p = formula ? formula : ""; *p; p++)
    if (static_cast<unsigned char>(*p) < 0x20 && *p != '\t' && *p != '\n') return false;
  return true;
}

namespace {

// Stores the formula as an ordinary one, first child of c, without a cached value; a shared group that
// c starts hands its formula to its other cells first. False when memory ran out.
bool store_formula(const XlsxCell* cell, const char* formula) {
  XmlNode* c = cell->element;
  XmlNode* f = xml_node_child(c, "f");
  if (f && !xlsx_shared_formula_detach(cell, f)) return false;
  if (!f) f = xml_node_prepend_child(c, "f");
  if (!f || !xml_node_set_whole_text(f, formula)) return false;
  for (const char* name : {"t", "si", "ref"})
    if (xml_node_attribute(f, name) && !xml_node_remove_attribute(f, name)) return false;
  return clear_value(c) && (c->first_child == f || xml_node_prepend_move(c, f));
}

bool remove_formula(const XlsxCell* cell) {
  XmlNode* f = xml_node_child(cell->element, "f");
  return !f || (xlsx_shared_formula_detach(cell, f) && xml_node_remove_child(cell->element, f));
}

}  // namespace

xlsx_status xlsx_cell_set_formula(const XlsxCell* cell, const char* formula) {
  if (!valid(cell)) return XLSX_ERR_INVALID_ARG;
  if (!formula) formula = "";
  if (formula[0] == '=') formula++;  // the text of a formula has no leading "="
  if (!xlsx_formula_text_valid(formula)) return XLSX_ERR_INVALID_ARG;
  EditScope scope(cell);
  CellEdit edit;
  xlsx_status status = begin_cell_edit(cell, nullptr, &edit);
  if (status != XLSX_OK) return status;
  return note_change(cell, end_cell_edit(&edit, store_formula(cell, formula) ? XLSX_OK : XLSX_ERR_NO_MEMORY));
}

xlsx_status xlsx_cell_clear_formula(const XlsxCell* cell) {
  if (!valid(cell)) return XLSX_ERR_INVALID_ARG;
  if (!xml_node_child(cell->element, "f")) return XLSX_OK;
  EditScope scope(cell);
  CellEdit edit;
  xlsx_status status = begin_cell_edit(cell, nullptr, &edit);
  if (status != XLSX_OK) return status;
  return note_change(cell, end_cell_edit(&edit, remove_formula(cell) ? XLSX_OK : XLSX_ERR_NO_MEMORY));
}

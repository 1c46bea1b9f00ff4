// Cell values: the variant (empty, boolean, integer, float, error, string) that carries a cell's content
// between the worksheet and the cell commands, and XlsxText, one owned text such as a formula.
//
// A value owns its text (counted memory). Run xlsx_value_init before first use and xlsx_value_reset when
// the value is discarded. Setters that must copy a text make the copy first: when it cannot be made they
// return XLSX_ERR_NO_MEMORY and leave the value as it was.
#pragma once

#include <cstdint>

#include "lib/base/status.h"

enum : uint32_t {
  XLSX_VALUE_EMPTY = 0,
  XLSX_VALUE_BOOLEAN = 1,
  XLSX_VALUE_INTEGER = 2,
  XLSX_VALUE_FLOAT = 3,
  XLSX_VALUE_ERROR = 4,
  XLSX_VALUE_STRING = 5,
};

// Every payload has a field of its own; `type` says which one counts.
struct XlsxCellValue {
  uint32_t type;     // XLSX_VALUE_*
  int64_t integer;   // payload of an integer
  double number;     // payload of a float, always finite
  uint32_t boolean;  // payload of a boolean, 0 or 1
  char* text;        // owned; payload of empty, error and string values; may be null (reads as "")
};

// One owned text (or none, which reads as "").
struct XlsxText {
  char* text;
};

// Type 0 with an owned "" and zero payloads. XLSX_ERR_NO_MEMORY leaves a valid empty value without text;
// XLSX_ERR_INVALID_ARG for null.
xlsx_status xlsx_value_init(XlsxCellValue* value);
// Releases the text (none afterwards) and sets XLSX_VALUE_EMPTY; the other payloads stay. Null is ignored.
void xlsx_value_reset(XlsxCellValue* value);
// Copies every field of source, duplicating its text; XLSX_ERR_INVALID_ARG for a null argument,
// XLSX_ERR_NO_MEMORY (value unchanged) when the copy fails.
xlsx_status xlsx_value_copy(XlsxCellValue* value, const XlsxCellValue* source);
// Type 0 with an owned ""; XLSX_ERR_INVALID_ARG for null, XLSX_ERR_NO_MEMORY (value unchanged).
xlsx_status xlsx_value_set_empty(XlsxCellValue* value);
// Type 1, boolean 1 for any nonzero flag; other payloads zero, text none. XLSX_ERR_INVALID_ARG for null.
xlsx_status xlsx_value_set_bool(XlsxCellValue* value, uint32_t flag);
// Type 2; other payloads zero, text none. XLSX_ERR_INVALID_ARG for null.
xlsx_status xlsx_value_set_int(XlsxCellValue* value, int64_t integer);
// Type 3 for a finite number; NaN and infinities become the error "#NUM!" (which may fail with
// XLSX_ERR_NO_MEMORY, value unchanged). XLSX_ERR_INVALID_ARG for null.
xlsx_status xlsx_value_set_float(XlsxCellValue* value, double number);
// Type 5 with an owned copy of text (null means ""); the value's own text may be passed.
// XLSX_ERR_INVALID_ARG for a null value, XLSX_ERR_NO_MEMORY (value unchanged).
xlsx_status xlsx_value_set_string(XlsxCellValue* value, const char* text);
// Type 4 with an owned copy of text (null means ""); as xlsx_value_set_string otherwise.
xlsx_status xlsx_value_set_error(XlsxCellValue* value, const char* text);

// Type code; XLSX_VALUE_EMPTY for a null value.
uint32_t xlsx_value_type(const XlsxCellValue* value);
// "empty", "boolean", "integer", "float", "error" or "string" (static); "empty" for null, "error" for
// an unknown code.
const char* xlsx_value_type_name(const XlsxCellValue* value);
// The following getters return XLSX_ERR_INVALID_ARG for a null value or out, XLSX_ERR_VALUE_TYPE for
// another kind, and leave out untouched on failure. None converts between kinds.
xlsx_status xlsx_value_get_bool(const XlsxCellValue* value, bool* out);
xlsx_status xlsx_value_get_int(const XlsxCellValue* value, int64_t* out);
// Floats give their number; error values give a quiet NaN with XLSX_OK.
xlsx_status xlsx_value_get_float(const XlsxCellValue* value, double* out);
// Empty, error and string values; the text is lent by the value, valid until it changes ("" when none).
xlsx_status xlsx_value_get_text(const XlsxCellValue* value, const char** out);
// -1, 0 or 1: null first, then by class (texts, integers, floats, booleans), then within the class.
int xlsx_value_compare(const XlsxCellValue* a, const XlsxCellValue* b);
// Same class and equal payload (an empty value equals the string ""); two nulls are equal, one is not.
bool xlsx_value_equal(const XlsxCellValue* a, const XlsxCellValue* b);

// An owned "". XLSX_ERR_NO_MEMORY leaves text none; XLSX_ERR_INVALID_ARG for null.
xlsx_status xlsx_text_init(XlsxText* text);
// The text, lent and valid until text changes; never null ("" for none or a null record).
const char* xlsx_text_get(const XlsxText* text);
// Owned copy of value (null means ""); the old text is released after the copy is made.
// XLSX_ERR_INVALID_ARG for a null record, XLSX_ERR_NO_MEMORY (text unchanged).
xlsx_status xlsx_text_set(XlsxText* text, const char* value);
// Owned copy of source's text; as xlsx_text_set otherwise (a null source counts as "").
xlsx_status xlsx_text_assign(XlsxText* text, const XlsxText* source);
// Releases the text (none afterwards). Null is ignored.
void xlsx_text_release(XlsxText* text);
// Byte-wise equality, none counting as ""; two null records are equal, one is not.
bool xlsx_text_equal(const XlsxText* a, const XlsxText* b);

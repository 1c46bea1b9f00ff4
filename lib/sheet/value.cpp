// Cell values and owned texts.
#include "lib/sheet/value.h"

#include <cmath>
#include <cstring>
#include <limits>

#include "lib/base/alloc.h"

namespace {

// Comparison classes, in their sort order.
enum ValueClass : int { kTextClass = 0, kIntegerClass = 1, kFloatClass = 2, kBooleanClass = 3 };

ValueClass class_of(uint32_t type) {
  switch (type) {
    case XLSX_VALUE_INTEGER:
      return kIntegerClass;
    case XLSX_VALUE_FLOAT:
      return kFloatClass;
    case XLSX_VALUE_BOOLEAN:
      return kBooleanClass;
    default:
      return kTextClass;
  }
}

const char* or_empty(const char* text) {
  return text ? text : "";
}

int sign_of(int difference) {
  return (difference > 0) - (difference < 0);
}

template <typename T>
int three_way(T a, T b) {
  return (a > b) - (a < b);
}

// Sets a kind without text: payloads zero, text released.
void set_plain(XlsxCellValue* value, uint32_t type) {
  xlsx_free(value->text);
  value->text = nullptr;
  value->type = type;
  value->integer = 0;
  value->number = 0.0;
  value->boolean = 0;
}

// Replaces the value's text and kind with a fresh copy of text; the copy is made first, so text may be
// the value's own and a failed copy changes nothing.
xlsx_status set_text_value(XlsxCellValue* value, uint32_t type, const char* text) {
  if (!value) return XLSX_ERR_INVALID_ARG;
  char* copy = xlsx_strdup(or_empty(text));
  if (!copy) return XLSX_ERR_NO_MEMORY;
  set_plain(value, type);
  value->text = copy;
  return XLSX_OK;
}

}  // namespace

xlsx_status xlsx_value_init(XlsxCellValue* value) {
  if (!value) return XLSX_ERR_INVALID_ARG;
  value->type = XLSX_VALUE_EMPTY;
  value->integer = 0;
  value->number = 0.0;
  value->boolean = 0;
  value->text = xlsx_strdup("");
  return value->text ? XLSX_OK : XLSX_ERR_NO_MEMORY;
}

void xlsx_value_reset(XlsxCellValue* value) {
  if (!value) return;
  xlsx_free(value->text);
  value->text = nullptr;
  value->type = XLSX_VALUE_EMPTY;
}

xlsx_status xlsx_value_copy(XlsxCellValue* value, const XlsxCellValue* source) {
  if (!value || !source) return XLSX_ERR_INVALID_ARG;
  if (value == source) return XLSX_OK;
  char* copy = nullptr;
  if (source->text) {
    copy = xlsx_strdup(source->text);
    if (!copy) return XLSX_ERR_NO_MEMORY;
  }
  xlsx_free(value->text);
  *value = *source;
  value->text = copy;
  return XLSX_OK;
}

xlsx_status xlsx_value_set_empty(XlsxCellValue* value) {
  if (!value) return XLSX_ERR_INVALID_ARG;
  char* copy = xlsx_strdup("");
  if (!copy) return XLSX_ERR_NO_MEMORY;
  xlsx_free(value->text);
  value->text = copy;
  value->type = XLSX_VALUE_EMPTY;
  return XLSX_OK;
}

xlsx_status xlsx_value_set_bool(XlsxCellValue* value, uint32_t flag) {
  if (!value) return XLSX_ERR_INVALID_ARG;
  set_plain(value, XLSX_VALUE_BOOLEAN);
  value->boolean = flag ? 1 : 0;
  return XLSX_OK;
}

xlsx_status xlsx_value_set_int(XlsxCellValue* value, int64_t integer) {
  if (!value) return XLSX_ERR_INVALID_ARG;
  set_plain(value, XLSX_VALUE_INTEGER);
  value->integer = integer;
  return XLSX_OK;
}

xlsx_status xlsx_value_set_float(XlsxCellValue* value, double number) {
  if (!value) return XLSX_ERR_INVALID_ARG;
  if (!std::isfinite(number)) return set_text_value(value, XLSX_VALUE_ERROR, "#NUM!");
  set_plain(value, XLSX_VALUE_FLOAT);
  value->number = number;
  return XLSX_OK;
}

xlsx_status xlsx_value_set_string(XlsxCellValue* value, const char* text) {
  return set_text_value(value, XLSX_VALUE_STRING, text);
}

xlsx_status xlsx_value_set_error(XlsxCellValue* value, const char* text) {
  return set_text_value(value, XLSX_VALUE_ERROR, text);
}

uint32_t xlsx_value_type(const XlsxCellValue* value) {
  return value ? value->type : XLSX_VALUE_EMPTY;
}

const char* xlsx_value_type_name(const XlsxCellValue* value) {
  switch (xlsx_value_type(value)) {
    case XLSX_VALUE_EMPTY:
      return "empty";
    case XLSX_VALUE_BOOLEAN:
      return "boolean";
    case XLSX_VALUE_INTEGER:
      return "integer";
    case XLSX_VALUE_FLOAT:
      return "float";
    case XLSX_VALUE_STRING:
      return "string";
    default:
      return "error";
  }
}

xlsx_status xlsx_value_get_bool(const XlsxCellValue* value, bool* out) {
  if (!value || !out) return XLSX_ERR_INVALID_ARG;
  if (value->type != XLSX_VALUE_BOOLEAN) return XLSX_ERR_VALUE_TYPE;
  *out = value->boolean != 0;
  return XLSX_OK;
}

xlsx_status xlsx_value_get_int(const XlsxCellValue* value, int64_t* out) {
  if (!value || !out) return XLSX_ERR_INVALID_ARG;
  if (value->type != XLSX_VALUE_INTEGER) return XLSX_ERR_VALUE_TYPE;
  *out = value->integer;
  return XLSX_OK;
}

xlsx_status xlsx_value_get_float(const XlsxCellValue* value, double* out) {
  if (!value || !out) return XLSX_ERR_INVALID_ARG;
  if (value->type == XLSX_VALUE_FLOAT) {
    *out = value->number;
  } else if (value->type == XLSX_VALUE_ERROR) {
    *out = std::numeric_limits<double>::quiet_NaN();
  } else {
    return XLSX_ERR_VALUE_TYPE;
  }
  return XLSX_OK;
}

xlsx_status xlsx_value_get_text(const XlsxCellValue* value, const char** out) {
  if (!value || !out) return XLSX_ERR_INVALID_ARG;
  uint32_t type = value->type;
  if (type != XLSX_VALUE_EMPTY && type != XLSX_VALUE_ERROR && type != XLSX_VALUE_STRING) {
    return XLSX_ERR_VALUE_TYPE;
  }
  *out = or_empty(value->text);
  return XLSX_OK;
}

int xlsx_value_compare(const XlsxCellValue* a, const XlsxCellValue* b) {
  if (!a || !b) return (a ? 1 : 0) - (b ? 1 : 0);
  ValueClass ca = class_of(a->type), cb = class_of(b->type);
  if (ca != cb) return ca < cb ? -1 : 1;
  switch (ca) {
    case kIntegerClass:
      return three_way(a->integer, b->integer);
    case kFloatClass:
      return three_way(a->number, b->number);
    case kBooleanClass:
      return three_way(a->boolean, b->boolean);
    default:
      return sign_of(std::strcmp(or_empty(a->text), or_empty(b->text)));
  }
}

bool xlsx_value_equal(const XlsxCellValue* a, const XlsxCellValue* b) {
  if (!a || !b) return a == b;
  ValueClass ca = class_of(a->type);
  if (ca != class_of(b->type)) return false;
  switch (ca) {
    case kIntegerClass:
      return a->integer == b->integer;
    case kFloatClass:
      return a->number == b->number;
    case kBooleanClass:
      return a->boolean == b->boolean;
    default:
      return std::strcmp(or_empty(a->text), or_empty(b->text)) == 0;
  }
}

xlsx_status xlsx_text_init(XlsxText* text) {
  if (!text) return XLSX_ERR_INVALID_ARG;
  text->text = xlsx_strdup("");
  return text->text ? XLSX_OK : XLSX_ERR_NO_MEMORY;
}

const char* xlsx_text_get(const XlsxText* text) {
  return text ? or_empty(text->text) : "";
}

xlsx_status xlsx_text_set(XlsxText* text, const char* value) {
  if (!text) return XLSX_ERR_INVALID_ARG;
  char* copy = xlsx_strdup(or_empty(value));
  if (!copy) return XLSX_ERR_NO_MEMORY;
  xlsx_free(text->text);
  text->text = copy;
  return XLSX_OK;
}

xlsx_status xlsx_text_assign(XlsxText* text, const XlsxText* source) {
  return xlsx_text_set(text, xlsx_text_get(source));
}

void xlsx_text_release(XlsxText* text) {
  if (!text) return;
  xlsx_free(text->text);
  text->text = nullptr;
}

bool xlsx_text_equal(const XlsxText* a, const XlsxText* b) {
  if (!a || !b) return a == b;
  return std::strcmp(or_empty(a->text), or_empty(b->text)) == 0;
}

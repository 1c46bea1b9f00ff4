// Number format codes: built-in table, validity and date detection.
#include "lib/sheet/number_format.h"

#include <cstring>

#include "lib/base/convert.h"

namespace {

// The built-in formats that have a standard text, by id.
constexpr struct {
  uint32_t id;
  const char* code;
} kBuiltins[] = {
    {0, "General"},
    {1, "0"},
    {2, "0.00"},
    {3, "#,##0"},
    {4, "#,##0.00"},
    {5, "\"$\"#,##0_);(\"$\"#,##0)"},
    {6, "\"$\"#,##0_);[Red](\"$\"#,##0)"},
    {7, "\"$\"#,##0.00_);(\"$\"#,##0.00)"},
    {8, "\"$\"#,##0.00_);[Red](\"$\"#,##0.00)"},
    {9, "0%"},
    {10, "0.00%"},
    {11, "0.00E+00"},
    {12, "# ?/?"},
    {13, "# ?\?/??"},
    {14, "mm-dd-yy"},
    {15, "d-mmm-yy"},
    {16, "d-mmm"},
    {17, "mmm-yy"},
    {18, "h:mm AM/PM"},
    {19, "h:mm:ss AM/PM"},
    {20, "h:mm"},
    {21, "h:mm:ss"},
    {22, "m/d/yy h:mm"},
    {37, "#,##0 ;(#,##0)"},
    {38, "#,##0 ;[Red](#,##0)"},
    {39, "#,##0.00;(#,##0.00)"},
    {40, "#,##0.00;[Red](#,##0.00)"},
    {41, "_(* #,##0_);_(* \\(#,##0\\);_(* \"-\"_);_(@_)"},
    {42, "_(\"$\"* #,##0_);_(\"$\"* \\(#,##0\\);_(\"$\"* \"-\"_);_(@_)"},
    {43, "_(* #,##0.00_);_(* \\(#,##0.00\\);_(* \"-\"??_);_(@_)"},
    {44, "_(\"$\"* #,##0.00_);_(\"$\"* \\(#,##0.00\\);_(\"$\"* \"-\"??_);_(@_)"},
    {45, "mm:ss"},
    {46, "[h]:mm:ss"},
    {47, "mmss.0"},
    {48, "##0.0E+0"},
    {49, "@"},
};

// Whether a bracketed part ("[h]", "[mm]", "[ss]") is an elapsed time, given the text inside it.
bool is_elapsed(const char* inside, uint32_t length) {
  if (length == 0) return false;
  int first = char_to_lower(static_cast<unsigned char>(inside[0]));
  if (first != 'h' && first != 'm' && first != 's') return false;
  for (uint32_t i = 1; i < length; i++)
    if (char_to_lower(static_cast<unsigned char>(inside[i])) != first) return false;
  return true;
}

}  // namespace

const char* xlsx_builtin_format_code(uint32_t id) {
  for (const auto& row : kBuiltins)
    if (row.id == id) return row.code;
  return nullptr;
}

int32_t xlsx_builtin_format_id(const char* code) {
  if (!code) return -1;
  for (const auto& row : kBuiltins)
    if (std::strcmp(row.code, code) == 0) return static_cast<int32_t>(row.id);
  return -1;
}

bool xlsx_format_code_is_valid(const char* code) {
  if (!code || !code[0] || std::strlen(code) > XLSX_FORMAT_CODE_MAX) return false;
  uint32_t sections = 1;
  for (const char* p = code; *p; p++) {
    unsigned char c = static_cast<unsigned char>(*p);
    if (c < 0x20) return false;
    if (c == '\\' || c == '_' || c == '*') {
      // The next character is shown (or filled, or spaced) as it is; it must exist.
      if (!p[1] || static_cast<unsigned char>(p[1]) < 0x20) return false;
      p++;
    } else if (c == '"' || c == '[') {
      const char* close = std::strchr(p + 1, c == '"' ? '"' : ']');
      if (!close) return false;
      p = close;
    } else if (c == ';' && ++sections > 4) {
      return false;
    }
  }
  return true;
}

bool xlsx_builtin_format_is_date(uint32_t id) {
  return (id >= 14 && id <= 22) || (id >= 27 && id <= 36) || (id >= 45 && id <= 47) || (id >= 50 && id <= 58);
}

bool xlsx_format_code_is_date(const char* code) {
  if (!code) return false;
  for (const char* p = code; *p; p++) {
    char c = *p;
    if (c == '\\' || c == '_' || c == '*') {
      if (!p[1]) return false;
      p++;
    } else if (c == '"' || c == '[') {
      const char* close = std::strchr(p + 1, c == '"' ? '"' : ']');
      if (!close) return false;
      if (c == '[' && is_elapsed(p + 1, static_cast<uint32_t>(close - p - 1))) return true;
      p = close;
    } else {
      int lower = char_to_lower(static_cast<unsigned char>(c));
      if (lower == 'y' || lower == 'm' || lower == 'd' || lower == 'h' || lower == 's') return true;
    }
  }
  return false;
}

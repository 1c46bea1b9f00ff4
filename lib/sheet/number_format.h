// Number format codes: the built-in formats by their standard text, the check that refuses codes a
// spreadsheet application would refuse, and whether a code shows a date or a time. Nothing here
// allocates.
#pragma once

#include <cstdint>

// First number a workbook may give a format of its own; the ones below are built in.
constexpr uint32_t XLSX_FIRST_CUSTOM_FORMAT = 164;
// Longest format code accepted, in bytes.
constexpr uint32_t XLSX_FORMAT_CODE_MAX = 255;

// Standard text of built-in format id; null for an id without one (locale formats, ids >= 164).
const char* xlsx_builtin_format_code(uint32_t id);
// Id of the built-in format whose standard text is code; -1 when none (or null).
int32_t xlsx_builtin_format_id(const char* code);
// Whether code may be stored as a format: 1 to 255 bytes, no control characters, quotes and brackets
// closed, no trailing backslash, at most four sections. False for null.
bool xlsx_format_code_is_valid(const char* code);
// Whether a built-in format id shows a date or time (14-22, 45-47 and the locale date formats 27-36,
// 50-58).
bool xlsx_builtin_format_is_date(uint32_t id);
// Whether code holds a date or time token (y, m, d, h, s, or an elapsed [h], [m], [s]) outside quoted
// text, escapes and other brackets. False for null.
bool xlsx_format_code_is_date(const char* code);

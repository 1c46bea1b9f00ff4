// Conversions between numbers and text, small text comparisons and ASCII character classes.
// Nothing here allocates; failures leave the output untouched.
#pragma once

#include <cstdint>
#include <cstring>

// The bytes of "%llu" / "%lld" and a terminator into a buffer of at least 21 bytes; the number of
// characters.
uint32_t xlsx_u64_to_text(uint64_t value, char* buffer);
uint32_t xlsx_i64_to_text(int64_t value, char* buffer);
// Shortest text that reads back as the same double ("0" for NaN and infinities); buffer of >= 40 bytes.
uint32_t xlsx_double_to_text(char* buffer, double value);

// Strict conversions: the whole text must be the number, apart from surrounding white space.
bool xlsx_text_to_double(const char* text, double* out);
bool xlsx_text_to_u64(const char* text, uint64_t* out);
bool xlsx_text_to_i64(const char* text, int64_t* out);
// "1"/"true" and "0"/"false" (case-insensitive words).
bool xlsx_text_to_bool(const char* text, bool* out);

// Prefix scanners (strtoull / strtoll rules without locale; base 0 or 2..36). *end (when end is given) is
// the first byte not used; it is the start of the text when no digit was read, on overflow (a magnitude
// above the type's maximum, INT64_MIN included) and for a null text or a base outside 0..36.
uint64_t xlsx_strtoull(const char* text, const char** end, int base);
int64_t xlsx_strtoll(const char* text, const char** end, int base);

// One row of a table of codes and their texts (the content types, the relationship types).
struct XlsxCodeText {
  uint32_t code;
  const char* text;
};
// The text of code in the count rows; null when no row has it.
const char* xlsx_code_text(const XlsxCodeText* rows, uint32_t count, uint32_t code);
// The code of the first row whose text equals text exactly; none when no row does (also for null).
uint32_t xlsx_text_code(const XlsxCodeText* rows, uint32_t count, const char* text, uint32_t none);

// Byte-wise equality; true for the same pointer (two nulls), false when only one is null. Inline, so that
// comparisons with constant texts (a cell's type) compile to a few instructions.
inline bool xlsx_str_equal(const char* a, const char* b) { return a == b || (a && b && std::strcmp(a, b) == 0); }
// False when either is null; an empty prefix or suffix matches.
bool xlsx_str_starts_with(const char* text, const char* prefix);
bool xlsx_str_ends_with(const char* text, const char* suffix);
// Equality ignoring letter case, through the host's comparison; nulls as in xlsx_str_equal.
bool xlsx_str_iequal(const char* a, const char* b);
// Trims in place; returns the first non-space byte (null for null).
char* xlsx_str_trim(char* text);

// Whether the n bytes are well-formed UTF-8: no stray or missing continuation bytes, no overlong forms,
// no surrogates, nothing above U+10FFFF. True for n = 0; false for null bytes with n > 0.
bool xlsx_utf8_is_valid(const char* bytes, uint32_t n);

// ASCII classes of a byte value 0..255; every other value is in no class and char_to_lower returns it.
bool char_is_space(int c);
bool char_is_alpha(int c);
bool char_is_alnum(int c);
bool char_is_xdigit(int c);
int char_to_lower(int c);

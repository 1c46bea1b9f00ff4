// Sheet names: validity, comparison ignoring case, formula prefixes.
#include "lib/sheet/sheet_name.h"

#include <cstring>

#include "lib/sheet/cellref.h"

namespace {

// The code point of the UTF-8 sequence at *p, advancing *p past it; a byte that starts no valid
// sequence is taken as it is.
uint32_t next_code(const unsigned char** p) {
  const unsigned char* s = *p;
  uint32_t length = s[0] < 0x80 ? 1 : (s[0] & 0xE0) == 0xC0 ? 2 : (s[0] & 0xF0) == 0xE0 ? 3 : (s[0] & 0xF8) == 0xF0 ? 4 : 1;
  uint32_t code = length == 1 ? s[0] : s[0] & (0x3F >> (length - 1));
  for (uint32_t i = 1; i < length; i++) {
    if ((s[i] & 0xC0) != 0x80) {
      *p = s + 1;
      return s[0];
    }
    code = (code << 6) | (s[i] & 0x3F);
  }
  *p = s + length;
  return code;
}

// In a block of letters where upper and lower case alternate (upper first when upper_even), the lower.
uint32_t fold_pair(uint32_t code, bool upper_even) { return ((code & 1) == 0) == upper_even ? code + 1 : code; }

// The lower-case letter of an upper-case one, in the scripts sheet names are mostly written in.
uint32_t fold(uint32_t c) {
  if ((c >= 'A' && c <= 'Z') || (c >= 0xC0 && c <= 0xDE && c != 0xD7)) return c + 32;
  if (c == 0x178) return 0xFF;
  if (c == 0x130) return 'i';
  if ((c >= 0x100 && c <= 0x137) || (c >= 0x14A && c <= 0x177)) return fold_pair(c, true);
  if ((c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E)) return fold_pair(c, false);
  if (c >= 0x391 && c <= 0x3AB && c != 0x3A2) return c + 32;
  if (c == 0x386) return 0x3AC;
  if (c >= 0x388 && c <= 0x38A) return c + 37;
  if (c == 0x38C) return 0x3CC;
  if (c == 0x38E || c == 0x38F) return c + 63;
  if (c >= 0x400 && c <= 0x40F) return c + 80;
  if (c >= 0x410 && c <= 0x42F) return c + 32;
  if ((c >= 0x460 && c <= 0x481) || (c >= 0x48A && c <= 0x4BF) || (c >= 0x4D0 && c <= 0x52F)) return fold_pair(c, true);
  if (c >= 0x4C1 && c <= 0x4CE) return fold_pair(c, false);
  if (c >= 0x531 && c <= 0x556) return c + 48;
  if ((c >= 0x1E00 && c <= 0x1E95) || (c >= 0x1EA0 && c <= 0x1EFF)) return fold_pair(c, true);
  if (c >= 0xFF21 && c <= 0xFF3A) return c + 32;
  return c;
}

bool is_ascii_letter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }
bool is_digit(char c) { return c >= '0' && c <= '9'; }

// Whether the name reads as a cell reference: A1 style (within the sheet's limits) or R1C1 style (R, C,
// R2, C3, RC, R2C3 ...).
bool reads_as_reference(const char* name) {
  uint32_t row = 0, column = 0;
  if (xlsx_cellref_read(name, &row, &column)) return true;
  const char* p = name;
  bool has_r = (*p | 0x20) == 'r';
  if (has_r) {
    p++;
    while (is_digit(*p)) p++;
  }
  bool has_c = (*p | 0x20) == 'c';
  if (has_c) {
    p++;
    while (is_digit(*p)) p++;
  }
  return (has_r || has_c) && *p == 0;
}

bool needs_quotes(const char* name) {
  if (!name[0] || is_digit(name[0]) || reads_as_reference(name)) return true;
  for (const char* p = name; *p; p++) {
    unsigned char c = static_cast<unsigned char>(*p);
    if (!(c >= 0x80 || is_ascii_letter(*p) || is_digit(*p) || c == '_' || c == '.')) return true;
  }
  return false;
}

}  // namespace

bool xlsx_sheet_name_is_valid(const char* name) {
  if (!name || !name[0] || name[0] == '\'' || name[std::strlen(name) - 1] == '\'') return false;
  uint32_t units = 0;
  for (const unsigned char* p = reinterpret_cast<const unsigned char*>(name); *p;) {
    if (*p < 0x20 || std::strchr(":\\/?*[]", *p)) return false;
    units += next_code(&p) >= 0x10000 ? 2 : 1;  // characters beyond the BMP take two units
  }
  return units <= 31;
}

bool xlsx_sheet_names_equal(const char* a, const char* b) {
  if (!a || !b) return false;
  const unsigned char* p = reinterpret_cast<const unsigned char*>(a);
  const unsigned char* q = reinterpret_cast<const unsigned char*>(b);
  while (*p && *q)
    if (fold(next_code(&p)) != fold(next_code(&q))) return false;
  return *p == 0 && *q == 0;
}

char* xlsx_sheet_ref_prefix(const char* name, char* buffer, uint32_t size) {
  if (!buffer || size == 0) return buffer;
  buffer[0] = 0;
  if (!name) return buffer;
  uint32_t n = 0;
  auto put = [&](char c) {
    if (n + 1 < size) buffer[n++] = c;
  };
  bool quote = needs_quotes(name);
  if (quote) put('\'');
  for (const char* p = name; *p; p++) {
    put(*p);
    if (*p == '\'') put('\'');
  }
  if (quote) put('\'');
  put('!');
  buffer[n] = 0;
  return buffer;
}

// Cell references: numbers <-> "A1" text within the limits of a worksheet.
#include "lib/sheet/cellref.h"

#include <cstring>

#include "lib/base/convert.h"

namespace {

constexpr uint32_t kMaxLetters = 3;  // "XFD"
constexpr uint32_t kMaxDigits = 7;   // "1048576"

const char* skip_blanks(const char* p) {
  while (*p == ' ' || *p == '\t') ++p;
  return p;
}

// 0..25 for an ASCII letter of either case; 26 or more for any other byte. Setting bit 0x20 maps upper
// onto lower case and no other byte into 'a'..'z'.
uint32_t letter_value(char c) { return static_cast<uint8_t>((static_cast<uint8_t>(c) | 0x20u) - 'a'); }

// Reads the column letters at *p (advancing past them): the column, or 0 when there are none, more than
// three, or they name a column beyond the sheet.
uint32_t read_letters(const char** p) {
  uint32_t column = 0, n = 0;
  for (uint32_t v; (v = letter_value((*p)[n])) < 26; ++n) {
    if (n == kMaxLetters) return 0;
    column = column * 26 + v + 1;
  }
  *p += n;
  return column <= XLSX_CELLREF_MAX_COLUMN ? column : 0;
}

// Reads the row at p: blanks, one to seven digits, blanks, the end of the text; 0 for anything else or a
// row beyond the sheet.
uint32_t read_row(const char* p) {
  p = skip_blanks(p);
  uint32_t row = 0, digits = 0;
  for (; *p >= '0' && *p <= '9'; ++p) {
    if (++digits > kMaxDigits) return 0;
    row = row * 10 + static_cast<uint32_t>(*p - '0');
  }
  if (digits == 0 || *skip_blanks(p) != '\0') return 0;
  return row <= XLSX_CELLREF_MAX_ROW ? row : 0;
}

void set_default(XlsxCellRef* ref) {
  ref->row = 1;
  ref->column = 1;
  std::memcpy(ref->text, "A1", 3);
}

}  // namespace

char* xlsx_column_to_letters(uint32_t column, char* buffer) {
  if (!buffer) return nullptr;
  char* p = buffer;
  if (column >= 1 && column <= 26) {
    *p++ = static_cast<char>('A' + column - 1);
  } else if (column >= 27 && column <= 702) {
    uint32_t m = column - 27;
    *p++ = static_cast<char>('A' + m / 26);
    *p++ = static_cast<char>('A' + m % 26);
  } else if (column >= 703 && column <= XLSX_CELLREF_MAX_COLUMN) {
    uint32_t m = column - 703;
    *p++ = static_cast<char>('A' + m / 676);
    *p++ = static_cast<char>('A' + (m / 26) % 26);
    *p++ = static_cast<char>('A' + m % 26);
  }
  *p = '\0';
  return buffer;
}

uint16_t xlsx_letters_to_column(const char* text) {
  if (!text) return 0;
  uint32_t column = read_letters(&text);
  return static_cast<uint16_t>(*text == '\0' ? column : 0);
}

bool xlsx_cellref_read(const char* text, uint32_t* row_out, uint32_t* column_out) {
  uint32_t column = text ? read_letters(&text) : 0;
  uint32_t row = column ? read_row(text) : 0;
  bool valid = row != 0;
  if (row_out) *row_out = valid ? row : 0;
  if (column_out) *column_out = valid ? column : 0;
  return valid;
}

uint32_t xlsx_cellref_row_of(const char* text) { return text ? read_row(text) : 0; }

uint32_t xlsx_cellref_format(uint32_t row, uint32_t column, char* buffer) {
  buffer[0] = '\0';
  if (!xlsx_cellref_is_valid(row, column)) return 0;
  xlsx_column_to_letters(column, buffer);
  uint32_t letters = static_cast<uint32_t>(std::strlen(buffer));
  return letters + xlsx_u64_to_text(row, buffer + letters);
}

void xlsx_cellref_init(XlsxCellRef* ref) {
  if (ref) set_default(ref);
}

xlsx_status xlsx_cellref_set(XlsxCellRef* ref, uint32_t row, uint32_t column) {
  if (!ref || !xlsx_cellref_is_valid(row, column)) return XLSX_ERR_INVALID_ARG;
  ref->row = row;
  ref->column = static_cast<uint16_t>(column);
  xlsx_cellref_format(row, column, ref->text);
  return XLSX_OK;
}

xlsx_status xlsx_cellref_set_row(XlsxCellRef* ref, uint32_t row) {
  if (!ref) return XLSX_ERR_INVALID_ARG;
  return xlsx_cellref_set(ref, row, ref->column);
}

xlsx_status xlsx_cellref_set_column(XlsxCellRef* ref, uint32_t column) {
  if (!ref) return XLSX_ERR_INVALID_ARG;
  return xlsx_cellref_set(ref, ref->row, column);
}

xlsx_status xlsx_cellref_set_text(XlsxCellRef* ref, const char* text) {
  if (!ref) return XLSX_ERR_INVALID_ARG;
  if (!text || !*text) {
    set_default(ref);
    return XLSX_OK;
  }
  uint32_t row = 0, column = 0;
  if (!xlsx_cellref_read(text, &row, &column)) {
    set_default(ref);
    return XLSX_ERR_INVALID_ARG;
  }
  ref->row = row;
  ref->column = static_cast<uint16_t>(column);
  size_t length = std::strlen(text);
  if (length > sizeof ref->text - 1) length = sizeof ref->text - 1;
  std::memcpy(ref->text, text, length);
  ref->text[length] = '\0';
  return XLSX_OK;
}

uint32_t xlsx_cellref_row(const XlsxCellRef* ref) {
  return ref ? ref->row : 0;
}

uint32_t xlsx_cellref_column(const XlsxCellRef* ref) {
  return ref ? ref->column : 0;
}

const char* xlsx_cellref_text(const XlsxCellRef* ref) {
  return ref ? ref->text : "";
}

bool xlsx_cellref_equal(const XlsxCellRef* a, const XlsxCellRef* b) {
  if (!a || !b) return a == b;
  return a->row == b->row && a->column == b->column;
}

int xlsx_cellref_compare(const XlsxCellRef* a, const XlsxCellRef* b) {
  if (!a || !b) return (a ? 1 : 0) - (b ? 1 : 0);
  if (a->row != b->row) return a->row < b->row ? -1 : 1;
  if (a->column != b->column) return a->column < b->column ? -1 : 1;
  return 0;
}

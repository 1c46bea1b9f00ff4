// Cell references: numbers <-> "A1" text within the limits of a worksheet.
#include "lib/sheet/cellref.h"

#include <cstring>

#include "lib/base/alloc.h"
#include "lib/base/convert.h"

namespace {

constexpr uint32_t kMaxLetters = 3;  // "XFD"
constexpr uint32_t kMaxDigits = 7;   // "1048576"

bool is_blank(char c) {
  return c == ' ' || c == '\t';
}

bool is_digit(char c) {
  return c >= '0' && c <= '9';
}

const char* skip_blanks(const char* p) {
  while (is_blank(*p)) ++p;
  return p;
}

uint32_t letter_run(const char* text) {
  uint32_t n = 0;
  while (char_is_alpha(static_cast<unsigned char>(text[n]))) ++n;
  return n;
}

// Column of the first n letters of text (n already checked to be letters); 0 beyond the limits.
uint32_t column_of_letters(const char* text, uint32_t n) {
  if (n == 0 || n > kMaxLetters) return 0;
  uint32_t column = 0;
  for (uint32_t i = 0; i < n; ++i) {
    column = column * 26 + static_cast<uint32_t>(char_to_lower(static_cast<unsigned char>(text[i])) - 'a' + 1);
  }
  return column <= XLSX_CELLREF_MAX_COLUMN ? column : 0;
}

void set_default(XlsxCellRef* ref) {
  ref->row = 1;
  ref->column = 1;
  std::memcpy(ref->text, "A1", 3);
}

void rebuild_text(XlsxCellRef* ref) {
  char letters[4];
  xlsx_column_to_letters(ref->column, letters);
  xlsx_snprintf(ref->text, sizeof ref->text, "%s%lu", letters, static_cast<unsigned long>(ref->row));
}

}  // namespace

bool xlsx_cellref_is_valid(uint32_t row, uint32_t column) {
  return row >= 1 && row <= XLSX_CELLREF_MAX_ROW && column >= 1 && column <= XLSX_CELLREF_MAX_COLUMN;
}

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
  uint32_t n = letter_run(text);
  if (text[n] != '\0') return 0;
  return static_cast<uint16_t>(column_of_letters(text, n));
}

uint32_t xlsx_row_from_digits(const char* text) {
  if (!text) return 0;
  const char* p = skip_blanks(text);
  uint32_t row = 0, digits = 0;
  for (; is_digit(*p); ++p) {
    if (++digits > kMaxDigits) return 0;
    row = row * 10 + static_cast<uint32_t>(*p - '0');
  }
  return row <= XLSX_CELLREF_MAX_ROW ? row : 0;
}

void xlsx_cellref_split(const char* text, uint32_t* row_out, uint32_t* column_out) {
  uint32_t row = 0, column = 0;
  if (text) {
    uint32_t letters = letter_run(text);
    const char* rest = skip_blanks(text + letters);
    const char* digits_end = rest;
    while (is_digit(*digits_end)) ++digits_end;
    bool well_formed = *skip_blanks(digits_end) == '\0' && (digits_end > rest || *rest == '\0');
    if (well_formed) {
      column = column_of_letters(text, letters);
      row = xlsx_row_from_digits(rest);
    }
  }
  if (row_out) *row_out = row;
  if (column_out) *column_out = column;
}

void xlsx_cellref_init(XlsxCellRef* ref) {
  if (ref) set_default(ref);
}

xlsx_status xlsx_cellref_set(XlsxCellRef* ref, uint32_t row, uint32_t column) {
  if (!ref || !xlsx_cellref_is_valid(row, column)) return XLSX_ERR_INVALID_ARG;
  ref->row = row;
  ref->column = static_cast<uint16_t>(column);
  rebuild_text(ref);
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
  xlsx_cellref_split(text, &row, &column);
  if (!xlsx_cellref_is_valid(row, column)) {
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

uint32_t xlsx_column_of_ref_text(const char* text) {
  uint32_t column = 0;
  xlsx_cellref_split(text, nullptr, &column);
  return column;
}

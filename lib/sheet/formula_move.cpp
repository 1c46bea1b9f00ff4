// Moving the references of a formula: one pass over its text, which copies everything but the references
// as it stands.
#include "lib/sheet/formula_move.h"

#include <cstring>

#include "lib/sheet/cellref.h"

namespace {

// What a word of the formula is as a reference part.
enum class Part { kOther, kCell, kColumn, kRow };

struct RefPart {
  Part kind;
  bool column_fixed, row_fixed;  // written with "$"
  int64_t column, row;           // 0 where the part has none
};

bool is_letter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }
bool is_digit(char c) { return c >= '0' && c <= '9'; }

// Characters of names, numbers and references (and of anything non-ASCII, which names may hold).
bool is_word_char(char c) {
  return is_letter(c) || is_digit(c) || c == '$' || c == '_' || c == '.' || c == '\\' ||
         static_cast<unsigned char>(c) >= 0x80;
}

// The word [p, end) as a cell (A1, $A$1), a column (A, $A) or a row (1, $1) within the sheet's limits.
RefPart classify(const char* p, const char* end) {
  const RefPart other = {Part::kOther, false, false, 0, 0};
  RefPart part = other;
  bool first_dollar = p < end && *p == '$';
  if (first_dollar) p++;
  const char* letters = p;
  while (p < end && is_letter(*p)) p++;
  const char* letters_end = p;
  bool second_dollar = p < end && *p == '$';
  if (second_dollar) p++;
  const char* digits = p;
  while (p < end && is_digit(*p)) p++;
  if (p != end || letters_end - letters > 3 || p - digits > 7) return other;
  for (const char* c = letters; c < letters_end; c++) part.column = part.column * 26 + ((*c | 0x20) - 'a' + 1);
  for (const char* c = digits; c < p; c++) part.row = part.row * 10 + (*c - '0');
  bool has_column = letters_end > letters, has_row = p > digits;
  if ((has_column && part.column > XLSX_CELLREF_MAX_COLUMN) || (has_row && (part.row < 1 || part.row > XLSX_CELLREF_MAX_ROW)))
    return other;
  if (has_column && has_row) part.kind = Part::kCell;
  else if (has_column && !second_dollar) part.kind = Part::kColumn;
  else if (has_row && !(first_dollar && second_dollar)) part.kind = Part::kRow;
  else return other;
  part.column_fixed = has_column && first_dollar;
  part.row_fixed = has_row && (second_dollar || (!has_column && first_dollar));
  return part;
}

// Moves the relative coordinates of the part; false when it leaves the sheet.
bool move(RefPart* part, int64_t rows, int64_t columns) {
  if (part->column && !part->column_fixed) part->column += columns;
  if (part->row && !part->row_fixed) part->row += rows;
  bool column_ok = part->kind == Part::kRow || (part->column >= 1 && part->column <= XLSX_CELLREF_MAX_COLUMN);
  bool row_ok = part->kind == Part::kColumn || (part->row >= 1 && part->row <= XLSX_CELLREF_MAX_ROW);
  return column_ok && row_ok;
}

xlsx_status put_part(const RefPart& part, StrBuf* out) {
  char text[32];
  char* p = text;
  if (part.kind != Part::kRow) {
    if (part.column_fixed) *p++ = '$';
    xlsx_column_to_letters(static_cast<uint32_t>(part.column), p);
    p += std::strlen(p);
  }
  if (part.kind != Part::kColumn) {
    if (part.row_fixed) *p++ = '$';
    int64_t row = part.row;
    char digits[12];
    int n = 0;
    do digits[n++] = static_cast<char>('0' + row % 10); while ((row /= 10) > 0);
    while (n > 0) *p++ = digits[--n];
  }
  return strbuf_append_bytes(out, text, static_cast<uint32_t>(p - text));
}

// The end of the quoted run that starts at p (a text in double quotes or a sheet name in apostrophes,
// the quote doubled inside), or of the bracketed run (nested brackets of table references).
const char* skip_quoted(const char* p) {
  char quote = *p++;
  for (; *p; p++) {
    if (*p != quote) continue;
    if (p[1] != quote) return p + 1;
    p++;
  }
  return p;
}

const char* skip_brackets(const char* p) {
  int depth = 0;
  for (; *p; p++) {
    if (*p == '[') depth++;
    if (*p == ']' && --depth == 0) return p + 1;
  }
  return p;
}

// An error literal such as #REF!, #N/A, #DIV/0! or #NAME?.
const char* skip_error(const char* p) {
  for (p++; is_letter(*p) || is_digit(*p) || *p == '/' || *p == '_'; p++) {
  }
  return *p == '!' || *p == '?' ? p + 1 : p;
}

const char* skip_word(const char* p) {
  while (is_word_char(*p)) p++;
  return p;
}

// The word at p and, when a ":" and a word of the same kind follow, the range it starts: moved and
// appended to out, or appended as it stands when it is no reference. *next is where the pass goes on.
xlsx_status put_word(const char* p, int64_t rows, int64_t columns, StrBuf* out, const char** next) {
  const char* end = skip_word(p);
  *next = end;
  RefPart first = classify(p, end);
  // A name before "(" is a function, before "!" a sheet, before "[" a table.
  bool reference = first.kind != Part::kOther && *end != '(' && *end != '!' && *end != '[';
  RefPart second = {Part::kOther, false, false, 0, 0};
  const char* second_end = end;
  if (reference && *end == ':' && is_word_char(end[1])) {
    second_end = skip_word(end + 1);
    second = classify(end + 1, second_end);
    if (second.kind != first.kind || *second_end == '(' || *second_end == '!' || *second_end == '[')
      second.kind = Part::kOther;
  }
  // A column or a row alone is a name or a number, not a reference.
  if (!reference || (first.kind != Part::kCell && second.kind == Part::kOther))
    return strbuf_append_bytes(out, p, static_cast<uint32_t>(end - p));
  bool range = second.kind != Part::kOther;
  if (range) *next = second_end;
  bool inside = move(&first, rows, columns);
  if (range) inside = move(&second, rows, columns) && inside;
  if (!inside) return strbuf_append(out, "#REF!");
  xlsx_status status = put_part(first, out);
  if (status == XLSX_OK && range) status = strbuf_putc(out, ':');
  if (status == XLSX_OK && range) status = put_part(second, out);
  return status;
}

}  // namespace

xlsx_status xlsx_formula_move(const char* formula, int64_t rows, int64_t columns, StrBuf* out) {
  const char* p = formula ? formula : "";
  xlsx_status status = strbuf_append(out, "");
  while (*p && status == XLSX_OK) {
    const char* next = p + 1;
    if (*p == '"' || *p == '\'') next = skip_quoted(p);
    else if (*p == '[') next = skip_brackets(p);
    else if (*p == '#') next = skip_error(p);
    if (is_word_char(*p)) {
      status = put_word(p, rows, columns, out, &next);
    } else {
      status = strbuf_append_bytes(out, p, static_cast<uint32_t>(next - p));
    }
    p = next;
  }
  return status;
}

// Fuzz target: reference texts. Whatever the text, the functions agree with each other: a text that
// names a cell gives a valid row and column whose own text reads back as the same cell; column letters
// and numbers convert both ways; nothing reads past the terminator (the input is copied into a block of
// exactly its length plus one).
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "lib/base/alloc.h"
#include "lib/sheet/cellref.h"

namespace {

[[noreturn]] void finding(const char* what, const char* text) {
  fprintf(stderr, "cellref_fuzzer: %s for \"%s\"\n", what, text);
  abort();
}

void check_text(const char* text) {
  XlsxCellRef ref;
  xlsx_status status = xlsx_cellref_set_text(&ref, text);
  uint32_t row = 0, column = 0;
  if (xlsx_cellref_read(text, &row, &column) != (status == XLSX_OK && text[0]))
    finding("the reader and set_text disagree", text);
  if (xlsx_cellref_column_of(text) != column) finding("the column reader and the reader disagree", text);
  if (status == XLSX_OK) {
    if (!xlsx_cellref_is_valid(xlsx_cellref_row(&ref), xlsx_cellref_column(&ref)) && text[0])
      finding("accepted text names no valid cell", text);
    XlsxCellRef again;
    if (xlsx_cellref_set(&again, xlsx_cellref_row(&ref), xlsx_cellref_column(&ref)) != XLSX_OK)
      finding("accepted position cannot be set", text);
    XlsxCellRef reread;
    if (xlsx_cellref_set_text(&reread, xlsx_cellref_text(&again)) != XLSX_OK || !xlsx_cellref_equal(&reread, &again))
      finding("canonical text does not read back", text);
  } else if (xlsx_cellref_row(&ref) != 1 || xlsx_cellref_column(&ref) != 1) {
    finding("refused text does not reset to A1", text);
  }
  if (strlen(xlsx_cellref_text(&ref)) >= XLSX_CELLREF_TEXT_SIZE) finding("reference text too long", text);
  uint32_t letters = xlsx_letters_to_column(text);
  if (letters > XLSX_CELLREF_MAX_COLUMN) finding("column above the limit", text);
  if (letters) {
    char buffer[8];
    if (xlsx_letters_to_column(xlsx_column_to_letters(letters, buffer)) != letters)
      finding("column letters do not convert back", text);
  }
  if (xlsx_cellref_row_of(text) > XLSX_CELLREF_MAX_ROW) finding("row above the limit", text);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > 64) return 0;
  char* text = static_cast<char*>(malloc(size + 1));
  memcpy(text, data, size);
  text[size] = '\0';
  check_text(text);
  // Numbers from the first bytes: any row and column pair converts to a text and back.
  if (size >= 8) {
    uint32_t row = uint32_t(data[0]) | uint32_t(data[1]) << 8 | uint32_t(data[2]) << 16 | uint32_t(data[3]) << 24;
    uint32_t column = uint32_t(data[4]) | uint32_t(data[5]) << 8 | uint32_t(data[6]) << 16 | uint32_t(data[7]) << 24;
    XlsxCellRef ref;
    xlsx_cellref_init(&ref);
    bool valid = xlsx_cellref_is_valid(row, column);
    if ((xlsx_cellref_set(&ref, row, column) == XLSX_OK) != valid) finding("set disagrees with is_valid", text);
    if (valid) {
      XlsxCellRef back;
      if (xlsx_cellref_set_text(&back, xlsx_cellref_text(&ref)) != XLSX_OK || xlsx_cellref_row(&back) != row ||
          xlsx_cellref_column(&back) != column)
        finding("position does not survive its text", xlsx_cellref_text(&ref));
    }
  }
  free(text);
  return 0;
}

// Rectangular areas of cells and their text form.
#include "lib/sheet/cell_area.h"

#include <cstring>

#include "lib/base/alloc.h"
#include "lib/sheet/cellref.h"

namespace {

// One corner: the text between begin and end with its "$" signs left out.
bool read_corner(const char* begin, const char* end, uint32_t* row, uint32_t* column) {
  char plain[XLSX_CELLREF_TEXT_SIZE];
  uint32_t n = 0;
  for (const char* p = begin; p < end; p++) {
    if (*p == '$') continue;
    if (n + 1 >= sizeof plain) return false;
    plain[n++] = *p;
  }
  plain[n] = '\0';
  return xlsx_cellref_read(plain, row, column);
}

}  // namespace

bool xlsx_area_read(const char* text, XlsxCellArea* out) {
  if (!text || !out) return false;
  const char* colon = std::strchr(text, ':');
  const char* end = text + std::strlen(text);
  if (colon && std::strchr(colon + 1, ':')) return false;
  uint32_t r1 = 0, c1 = 0, r2 = 0, c2 = 0;
  if (!read_corner(text, colon ? colon : end, &r1, &c1)) return false;
  if (!colon) {
    r2 = r1;
    c2 = c1;
  } else if (!read_corner(colon + 1, end, &r2, &c2)) {
    return false;
  }
  *out = XlsxCellArea{r1 < r2 ? r1 : r2, c1 < c2 ? c1 : c2, r1 < r2 ? r2 : r1, c1 < c2 ? c2 : c1};
  return true;
}

char* xlsx_area_format(const XlsxCellArea* area, bool absolute, char* buffer) {
  buffer[0] = '\0';
  if (!area) return buffer;
  char c1[4], c2[4];
  xlsx_column_to_letters(area->first_column, c1);
  xlsx_column_to_letters(area->last_column, c2);
  const char* d = absolute ? "$" : "";
  unsigned r1 = area->first_row, r2 = area->last_row;
  if (r1 == r2 && area->first_column == area->last_column)
    xlsx_snprintf(buffer, XLSX_AREA_TEXT_SIZE, "%s%s%s%u", d, c1, d, r1);
  else
    xlsx_snprintf(buffer, XLSX_AREA_TEXT_SIZE, "%s%s%s%u:%s%s%s%u", d, c1, d, r1, d, c2, d, r2);
  return buffer;
}

bool xlsx_area_overlaps(const XlsxCellArea* a, const XlsxCellArea* b) {
  return a && b && a->first_row <= b->last_row && b->first_row <= a->last_row &&
         a->first_column <= b->last_column && b->first_column <= a->last_column;
}

bool xlsx_area_contains(const XlsxCellArea* area, uint32_t row, uint32_t column) {
  return area && row >= area->first_row && row <= area->last_row && column >= area->first_column &&
         column <= area->last_column;
}

#include "tests/support/book.h"

#include <cstdio>
#include <cstring>

#include "lib/base/alloc.h"
#include "lib/sheet/cell.h"

namespace xlsx_test {

xlsx_status test_book_open(TestBook* book, const char* path, bool create) {
  std::memset(book, 0, sizeof *book);
  xlsx_package_init(&book->package);
  dynarray_init(&book->strings, sizeof(char*), nullptr);
  xlsx_status status = create ? xlsx_package_create(&book->package, path) : xlsx_package_open(&book->package, path);
  if (status != XLSX_OK) return status;
  xlsx_sst_init(&book->sst, xlsx_package_find_part(&book->package, XLSX_SHARED_STRINGS_PATH), &book->strings);
  book->workbook =
      xlsx_workbook_new(xlsx_package_find_part(&book->package, XLSX_WORKBOOK_PATH), &book->package, &book->sst);
  return book->workbook ? XLSX_OK : XLSX_ERR_NO_MEMORY;
}

void test_book_close(TestBook* book) {
  for (uint32_t i = 0; i < book->strings.count; i++) xlsx_free(*static_cast<char**>(dynarray_get(&book->strings, i)));
  dynarray_free(&book->strings);
  xlsx_sst_release(&book->sst);
  xlsx_workbook_free(book->workbook);
  book->workbook = nullptr;
  xlsx_package_close(&book->package);
}

std::string describe(const XlsxCellValue& v, const char* lent) {
  char buffer[64] = "";
  switch (xlsx_value_type(&v)) {
    case XLSX_VALUE_BOOLEAN: std::snprintf(buffer, sizeof buffer, "%d", v.boolean ? 1 : 0); break;
    case XLSX_VALUE_INTEGER: std::snprintf(buffer, sizeof buffer, "%lld", static_cast<long long>(v.integer)); break;
    case XLSX_VALUE_FLOAT: std::snprintf(buffer, sizeof buffer, "%.17g", v.number); break;
    default: return std::string(xlsx_value_type_name(&v)) + ":" + (lent ? lent : v.text ? v.text : "");
  }
  return std::string(xlsx_value_type_name(&v)) + ":" + buffer;
}

std::string cell_text(XlsxWorksheet* sheet, uint32_t row, uint32_t column) {
  XlsxCell cell;
  if (xlsx_sheet_find_cell(sheet, row, column, &cell) != XLSX_OK) return "absent";
  XlsxCellValue value;
  xlsx_value_init(&value);
  std::string text = xlsx_cell_get_value(&cell, &value) == XLSX_OK ? describe(value) : "unreadable";
  xlsx_value_reset(&value);
  return text;
}

xlsx_status set_value(const XlsxCell& cell, const std::function<xlsx_status(XlsxCellValue*)>& set) {
  XlsxCellValue value;
  xlsx_status status = xlsx_value_init(&value);
  if (status == XLSX_OK) status = set(&value);
  if (status == XLSX_OK) status = xlsx_cell_set_value(&cell, &value);
  xlsx_value_reset(&value);
  return status;
}

xlsx_status put_cell(XlsxWorksheet* sheet, uint32_t row, uint32_t column,
                     const std::function<xlsx_status(XlsxCellValue*)>& set) {
  XlsxCell cell;
  xlsx_status status = xlsx_sheet_cell(sheet, row, column, &cell);
  return status == XLSX_OK ? set_value(cell, set) : status;
}

xlsx_status put_text(XlsxWorksheet* sheet, uint32_t row, uint32_t column, const char* text) {
  return put_cell(sheet, row, column, [text](XlsxCellValue* v) { return xlsx_value_set_string(v, text); });
}

}  // namespace xlsx_test

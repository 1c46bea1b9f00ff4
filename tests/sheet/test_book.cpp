#include "tests/sheet/test_book.h"

#include <cstring>

#include "lib/base/alloc.h"

namespace sheet_test {

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

}  // namespace sheet_test

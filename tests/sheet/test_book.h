// A package with a shared strings table and a workbook object bound to it, as the document layer binds
// them, so that the spreadsheet model is tested without the layers above it.
#pragma once

#include "lib/base/dynarray.h"
#include "lib/package/package.h"
#include "lib/sheet/shared_strings.h"
#include "lib/sheet/workbook.h"

namespace sheet_test {

struct TestBook {
  XlsxPackage package;
  DynArray strings;  // owned char* texts
  XlsxSharedStrings sst;
  XlsxWorkbook* workbook;
};

// Opens (or, with create, first writes the template to) path; XLSX_OK or the failing status, the book
// then closed. Every book is closed with test_book_close, also after a failure.
xlsx_status test_book_open(TestBook* book, const char* path, bool create = false);
void test_book_close(TestBook* book);

}  // namespace sheet_test

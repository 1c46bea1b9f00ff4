// A package with a shared strings table and a workbook object bound to it, as the document layer binds
// them, so that the spreadsheet model is tested without the layers above it; and cells as texts.
#pragma once

#include <functional>
#include <string>

#include "lib/base/dynarray.h"
#include "lib/package/package.h"
#include "lib/sheet/shared_strings.h"
#include "lib/sheet/value.h"
#include "lib/sheet/workbook.h"
#include "lib/sheet/worksheet.h"

namespace xlsx_test {

struct TestBook {
  XlsxPackage package;
  DynArray strings;  // owned char* texts
  XlsxSharedStrings sst;
  XlsxWorkbook* workbook;
};

// Opens (or, with create, first writes the template to) path; XLSX_OK or the failing status. Every book
// is closed with test_book_close, also after a failure.
xlsx_status test_book_open(TestBook* book, const char* path, bool create = false);
void test_book_close(TestBook* book);

// A value as "type:text" ("integer:5", "string:abc", "float:0.5", "empty:"); lent, when given, stands for
// the value's text.
std::string describe(const XlsxCellValue& value, const char* lent = nullptr);
// The value of the stored cell at (row, column) as describe gives it; "absent" when the sheet holds no
// such cell (nothing is created).
std::string cell_text(XlsxWorksheet* sheet, uint32_t row, uint32_t column);
// Stores the value that set makes in the cell; the status of the first failure.
xlsx_status set_value(const XlsxCell& cell, const std::function<xlsx_status(XlsxCellValue*)>& set);
// Stores the value that set makes at (row, column), creating the cell; the status of the first failure.
xlsx_status put_cell(XlsxWorksheet* sheet, uint32_t row, uint32_t column,
                     const std::function<xlsx_status(XlsxCellValue*)>& set);
xlsx_status put_text(XlsxWorksheet* sheet, uint32_t row, uint32_t column, const char* text);

}  // namespace xlsx_test

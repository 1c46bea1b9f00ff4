// Fixture and helpers of the sheet tests: a book created from the template in a temporary
// directory, its workbook and first worksheet, and access to the worksheet XML as text.
#pragma once

#include <string>

#include "lib/sheet/cell.h"
#include "lib/sheet/workbook.h"
#include "lib/sheet/worksheet.h"
#include "tests/sheet/test_book.h"
#include "tests/support/live_allocations.h"
#include "tests/support/temp_dir.h"

namespace sheet_test {

class SheetTest : public xlsx_test::CountedTest {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Replaces the first worksheet's tree by the parsed text (as read from a file).
  void load_sheet(const std::string& xml);
  // Replaces the workbook part's tree by the parsed text.
  void load_workbook(const std::string& xml);
  // The first worksheet serialised, and the part of it from <sheetData to its end tag.
  std::string sheet_xml();
  std::string sheet_data_xml();
  std::string workbook_xml();
  std::string part_xml(const char* path);

  // Cell helpers on the first worksheet (they fail the test on a bad status).
  void set_int(uint32_t row, uint32_t column, int64_t value);
  void set_text(uint32_t row, uint32_t column, const char* text);
  XlsxCell cell(uint32_t row, uint32_t column);
  // The value read back, as "type:text" ("integer:5", "string:abc", "float:0.5", "empty:").
  std::string value_at(uint32_t row, uint32_t column);
  std::string value_of(const XlsxCell& cell);

  xlsx_test::TempDir dir_;
  TestBook book_ = {};
  XlsxPackage* pkg_ = &book_.package;
  XlsxWorkbook* wb_ = nullptr;
  XlsxWorksheet ws_ = {};
};

// A value in the "type:text" form of SheetTest::value_of; a lent text, when given, stands for v.text.
std::string describe(const XlsxCellValue& v, const char* lent = nullptr);

// The worksheet text with the given sheetData content.
std::string worksheet_with(const std::string& sheet_data, const std::string& before = "");

}  // namespace sheet_test

// Fixture of the sheet tests: a book created from the template in a temporary directory, its workbook
// and first worksheet, cell helpers, and the worksheet and other parts as XML text.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "lib/base/alloc.h"
#include "lib/package/part.h"
#include "lib/sheet/cell.h"
#include "lib/xml/parser.h"
#include "lib/xml/writer.h"
#include "tests/support/book.h"
#include "tests/support/live_allocations.h"
#include "tests/support/temp_dir.h"

namespace sheet_test {

using xlsx_test::describe;
using xlsx_test::TestBook;
using xlsx_test::test_book_close;
using xlsx_test::test_book_open;

// The worksheet text with the given sheetData content.
inline std::string worksheet_with(const std::string& sheet_data, const std::string& before = "") {
  return "<worksheet xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\" "
         "xmlns:r=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships\">" +
         before + sheet_data + "</worksheet>";
}

class SheetTest : public xlsx_test::CountedTest {
 protected:
  void SetUp() override {
    CountedTest::SetUp();
    xlsx_set_shared_strings_mode(0);
    ASSERT_EQ(test_book_open(&book_, dir_.file("test.xlsx").c_str(), true), XLSX_OK);
    wb_ = book_.workbook;
    ASSERT_EQ(xlsx_workbook_worksheet_at(wb_, 1, &ws_), XLSX_OK);
  }
  void TearDown() override {
    test_book_close(&book_);
    xlsx_set_shared_strings_mode(0);
    CountedTest::TearDown();
  }

  // Replaces the tree of the first worksheet / of the workbook part by the parsed text.
  void load_sheet(const std::string& xml) { load_part(ws_.part, xml); }
  void load_workbook(const std::string& xml) { load_part(wb_->part, xml); }
  // A part serialised, and the part of the first worksheet from <sheetData to its end tag.
  std::string part_xml(const char* path) { return serialise(xlsx_package_find_part(pkg_, path)); }
  std::string sheet_xml() { return serialise(ws_.part); }
  std::string workbook_xml() { return serialise(wb_->part); }
  std::string sheet_data_xml() {
    std::string xml = sheet_xml();
    size_t start = xml.find("<sheetData");
    size_t end = xml.find("</sheetData>", start);
    if (start == std::string::npos) return "";
    return end == std::string::npos ? xml.substr(start, xml.find("/>", start) + 2 - start) : xml.substr(start, end + 12 - start);
  }

  // Cell helpers on the first worksheet (they fail the test on a bad status).
  XlsxCell cell(uint32_t row, uint32_t column) {
    XlsxCell c = {};
    EXPECT_EQ(xlsx_sheet_cell(&ws_, row, column, &c), XLSX_OK);
    return c;
  }
  void set_int(uint32_t row, uint32_t column, int64_t value) {
    EXPECT_EQ(xlsx_test::put_cell(&ws_, row, column, [value](XlsxCellValue* v) { return xlsx_value_set_int(v, value); }),
              XLSX_OK);
  }
  void set_text(uint32_t row, uint32_t column, const char* text) {
    EXPECT_EQ(xlsx_test::put_text(&ws_, row, column, text), XLSX_OK);
  }
  // The value read back, as "type:text" ("integer:5", "string:abc", "float:0.5", "empty:").
  std::string value_of(const XlsxCell& c) {
    XlsxCellValue v;
    xlsx_value_init(&v);
    EXPECT_EQ(xlsx_cell_get_value(&c, &v), XLSX_OK);
    std::string result = describe(v);
    xlsx_value_reset(&v);
    return result;
  }
  std::string value_at(uint32_t row, uint32_t column) { return value_of(cell(row, column)); }

  xlsx_test::TempDir dir_;
  TestBook book_ = {};
  XlsxPackage* pkg_ = &book_.package;
  XlsxWorkbook* wb_ = nullptr;
  XlsxWorksheet ws_ = {};

 private:
  void load_part(XlsxPart* part, const std::string& xml) {
    ASSERT_EQ(xml_document_load_buffer(xlsx_part_load(part), xml.c_str(), uint32_t(xml.size()), XML_PARSE_PACKAGE),
              XLSX_OK);
  }
  static std::string serialise(XlsxPart* part) {
    char* text = nullptr;
    uint32_t length = 0;
    EXPECT_EQ(xml_document_save_buffer(xlsx_part_load(part), &text, &length), XLSX_OK);
    std::string result(text ? text : "", length);
    xlsx_free(text);
    return result;
  }
};

}  // namespace sheet_test

#include "tests/sheet/sheet_test_util.h"

#include <gtest/gtest.h>

#include <cstdio>

#include "lib/base/alloc.h"
#include "lib/package/part.h"
#include "lib/xml/parser.h"
#include "lib/xml/writer.h"

namespace sheet_test {

void SheetTest::SetUp() {
  CountedTest::SetUp();
  xlsx_set_shared_strings_mode(0);
  ASSERT_EQ(test_book_open(&book_, dir_.file("test.xlsx").c_str(), true), XLSX_OK);
  wb_ = book_.workbook;
  ASSERT_EQ(xlsx_workbook_worksheet_at(wb_, 1, &ws_), XLSX_OK);
}

void SheetTest::TearDown() {
  test_book_close(&book_);
  xlsx_set_shared_strings_mode(0);
  CountedTest::TearDown();
}

void SheetTest::load_sheet(const std::string& xml) {
  ASSERT_EQ(xml_document_load_buffer(xlsx_part_load(ws_.part), xml.c_str(), static_cast<uint32_t>(xml.size()),
                                     XML_PARSE_PACKAGE),
            XLSX_OK);
}

void SheetTest::load_workbook(const std::string& xml) {
  ASSERT_EQ(xml_document_load_buffer(xlsx_part_load(wb_->part), xml.c_str(), static_cast<uint32_t>(xml.size()),
                                     XML_PARSE_PACKAGE),
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

std::string SheetTest::sheet_xml() { return serialise(ws_.part); }

std::string SheetTest::sheet_data_xml() {
  std::string xml = sheet_xml();
  size_t start = xml.find("<sheetData");
  if (start == std::string::npos) return "";
  size_t end = xml.find("</sheetData>", start);
  if (end == std::string::npos) end = xml.find("/>", start) + 2 - 12;
  return xml.substr(start, end + 12 - start);
}

std::string SheetTest::workbook_xml() { return serialise(wb_->part); }

std::string SheetTest::part_xml(const char* path) { return serialise(xlsx_package_find_part(pkg_, path)); }

XlsxCell SheetTest::cell(uint32_t row, uint32_t column) {
  XlsxCell c = {};
  EXPECT_EQ(xlsx_sheet_cell(&ws_, row, column, &c), XLSX_OK);
  return c;
}

void SheetTest::set_int(uint32_t row, uint32_t column, int64_t value) {
  XlsxCellValue v;
  xlsx_value_init(&v);
  xlsx_value_set_int(&v, value);
  XlsxCell c = cell(row, column);
  EXPECT_EQ(xlsx_cell_set_value(&c, &v), XLSX_OK);
  xlsx_value_reset(&v);
}

void SheetTest::set_text(uint32_t row, uint32_t column, const char* text) {
  XlsxCellValue v;
  xlsx_value_init(&v);
  xlsx_value_set_string(&v, text);
  XlsxCell c = cell(row, column);
  EXPECT_EQ(xlsx_cell_set_value(&c, &v), XLSX_OK);
  xlsx_value_reset(&v);
}

std::string describe(const XlsxCellValue& v, const char* lent) {
  std::string result = xlsx_value_type_name(&v);
  result += ":";
  char buffer[64];
  switch (xlsx_value_type(&v)) {
    case XLSX_VALUE_BOOLEAN: result += v.boolean ? "1" : "0"; break;
    case XLSX_VALUE_INTEGER: std::snprintf(buffer, sizeof buffer, "%lld", static_cast<long long>(v.integer)); result += buffer; break;
    case XLSX_VALUE_FLOAT: std::snprintf(buffer, sizeof buffer, "%.17g", v.number); result += buffer; break;
    default: result += lent ? lent : v.text ? v.text : ""; break;
  }
  return result;
}

std::string SheetTest::value_of(const XlsxCell& c) {
  XlsxCellValue v;
  xlsx_value_init(&v);
  EXPECT_EQ(xlsx_cell_get_value(&c, &v), XLSX_OK);
  std::string result = describe(v);
  xlsx_value_reset(&v);
  return result;
}

std::string SheetTest::value_at(uint32_t row, uint32_t column) { return value_of(cell(row, column)); }

std::string worksheet_with(const std::string& sheet_data, const std::string& before) {
  return "<worksheet xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\" "
         "xmlns:r=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships\">" +
         before + sheet_data + "</worksheet>";
}

}  // namespace sheet_test

// Reading and writing cell values in every XML form.
#include <gtest/gtest.h>

#include <cmath>

#include "lib/sheet/shared_strings.h"
#include "tests/sheet/sheet_test_util.h"

namespace sheet_test {
namespace {

using CellValues = SheetTest;

std::string with_cells(const std::string& cells) {
  return worksheet_with("<sheetData><row r=\"1\">" + cells + "</row></sheetData>");
}

void store(const XlsxCell& c, XlsxCellValue* v) { EXPECT_EQ(xlsx_cell_set_value(&c, v), XLSX_OK); }

TEST_F(CellValues, ReadsEveryStoredForm) {
  load_sheet(with_cells(
      "<c r=\"A1\"><v>5</v></c><c r=\"B1\"><v>0.5</v></c><c r=\"C1\" t=\"b\"><v>1</v></c>"
      "<c r=\"D1\" t=\"e\"><v>#DIV/0!</v></c><c r=\"E1\" t=\"str\"><v>plain</v></c>"
      "<c r=\"F1\" t=\"inlineStr\"><is><t>inline</t></is></c><c r=\"G1\" t=\"n\"><v>-12</v></c>"
      "<c r=\"H1\" s=\"3\"/><c r=\"I1\" t=\"inlineStr\"><is><r><t>rich </t></r><r><rPr/><t>text</t></r></is></c>"
      "<c r=\"J1\" t=\"b\"><v>0</v></c><c r=\"K1\" t=\"n\"/>"));
  EXPECT_EQ(value_at(1, 1), "integer:5");
  EXPECT_EQ(value_at(1, 2), "float:0.5");
  EXPECT_EQ(value_at(1, 3), "boolean:1");
  EXPECT_EQ(value_at(1, 4), "error:#DIV/0!");
  EXPECT_EQ(value_at(1, 5), "string:plain");
  EXPECT_EQ(value_at(1, 6), "string:inline");
  EXPECT_EQ(value_at(1, 7), "integer:-12");
  EXPECT_EQ(value_at(1, 8), "empty:");
  EXPECT_EQ(value_at(1, 9), "string:rich text");
  EXPECT_EQ(value_at(1, 10), "boolean:0");
  EXPECT_EQ(value_at(1, 11), "empty:");
}

TEST_F(CellValues, NumberTextsWithExponentOrPointAreFloats) {
  load_sheet(with_cells("<c r=\"A1\"><v>1e+20</v></c><c r=\"B1\"><v>1.0</v></c><c r=\"C1\"><v>2E-3</v></c>"
                        "<c r=\"D1\"><v>99999999999999999999</v></c><c r=\"E1\"><v>junk</v></c>"));
  EXPECT_EQ(value_at(1, 1), "float:1e+20");
  EXPECT_EQ(value_at(1, 2), "float:1");
  EXPECT_EQ(value_at(1, 3), "float:0.002");
  EXPECT_EQ(value_at(1, 4), "float:1e+20");
  EXPECT_EQ(value_at(1, 5), "integer:0");
}

TEST_F(CellValues, WritesEachKindInItsForm) {
  XlsxCellValue v;
  xlsx_value_init(&v);
  xlsx_value_set_float(&v, 0.5);
  store(cell(1, 1), &v);
  xlsx_value_set_int(&v, 5);
  store(cell(1, 2), &v);
  xlsx_value_set_bool(&v, 2);
  store(cell(1, 3), &v);
  xlsx_value_set_error(&v, "#N/A");
  store(cell(1, 4), &v);
  xlsx_value_set_float(&v, 1e20);
  store(cell(1, 5), &v);
  xlsx_value_set_float(&v, 0.1);
  store(cell(1, 6), &v);
  xlsx_value_reset(&v);
  EXPECT_EQ(sheet_data_xml(),
            "<sheetData><row r=\"1\"><c r=\"A1\"><v>0.5</v></c><c r=\"B1\"><v>5</v></c><c r=\"C1\" t=\"b\"><v>1</v></c>"
            "<c r=\"D1\" t=\"e\"><v>#N/A</v></c><c r=\"E1\"><v>1e+20</v></c><c r=\"F1\"><v>0.10000000000000001</v></c>"
            "</row></sheetData>");
  EXPECT_EQ(value_at(1, 1), "float:0.5");
  EXPECT_EQ(value_at(1, 2), "integer:5");
  EXPECT_EQ(value_at(1, 5), "float:1e+20");
  EXPECT_EQ(value_at(1, 6), "float:0.10000000000000001");
}

TEST_F(CellValues, InfiniteFloatBecomesNumError) {
  XlsxCellValue v = {XLSX_VALUE_FLOAT, 0, INFINITY, 0, nullptr};
  store(cell(1, 1), &v);
  EXPECT_EQ(sheet_data_xml(), "<sheetData><row r=\"1\"><c r=\"A1\" t=\"e\"><v>#NUM!</v></c></row></sheetData>");
}

TEST_F(CellValues, SharedStringsAreStoredOnce) {
  set_text(1, 1, "abc");
  set_text(2, 2, "abc");
  XlsxSharedStrings* sst = xlsx_document_shared_strings(doc_);
  uint32_t count = xlsx_sst_count(sst);
  std::string xml = sheet_data_xml();
  std::string index = std::to_string(xlsx_sst_find(sst, "abc"));
  EXPECT_NE(xml.find("<c r=\"A1\" t=\"s\"><v>" + index + "</v></c>"), std::string::npos) << xml;
  EXPECT_NE(xml.find("<c r=\"B2\" t=\"s\"><v>" + index + "</v></c>"), std::string::npos) << xml;
  set_text(3, 3, "abc");
  EXPECT_EQ(xlsx_sst_count(sst), count);
  EXPECT_EQ(value_at(2, 2), "string:abc");
}

TEST_F(CellValues, InlineModeKeepsEdgeSpacesAndNumbersDropThem) {
  xlsx_set_shared_strings_mode(1);
  set_text(1, 1, " lead");
  EXPECT_EQ(sheet_data_xml(),
            "<sheetData><row r=\"1\"><c r=\"A1\" t=\"str\" xml:space=\"preserve\"><v> lead</v></c></row></sheetData>");
  EXPECT_EQ(value_at(1, 1), "string: lead");
  set_int(1, 1, 7);
  EXPECT_EQ(sheet_data_xml(), "<sheetData><row r=\"1\"><c r=\"A1\"><v>7</v></c></row></sheetData>");
}

TEST_F(CellValues, ReplacingAnInlineStringRemovesIs) {
  load_sheet(with_cells("<c r=\"A1\" t=\"inlineStr\" s=\"2\"><is><t>x</t></is></c>"));
  set_int(1, 1, 3);
  EXPECT_EQ(sheet_data_xml(), "<sheetData><row r=\"1\"><c r=\"A1\" s=\"2\"><v>3</v></c></row></sheetData>");
}

TEST_F(CellValues, ClearingKeepsStyleAndFormula) {
  load_sheet(with_cells("<c r=\"A1\" s=\"4\" t=\"str\"><f>B1</f><v>x</v></c>"));
  XlsxCell c = cell(1, 1);
  EXPECT_EQ(xlsx_cell_clear_value(&c), XLSX_OK);
  EXPECT_EQ(sheet_data_xml(), "<sheetData><row r=\"1\"><c r=\"A1\" s=\"4\"><f>B1</f></c></row></sheetData>");
  XlsxCellValue v;
  xlsx_value_init(&v);
  store(c, &v);  // the empty value clears as well
  xlsx_value_reset(&v);
  EXPECT_EQ(value_of(c), "empty:");
}

TEST_F(CellValues, SharedIndexBeyondTheTableReadsEmptyText) {
  load_sheet(with_cells("<c r=\"A1\" t=\"s\"><v>999</v></c><c r=\"B1\" t=\"s\"><v>x</v></c>"));
  EXPECT_EQ(value_at(1, 1), "string:");
  EXPECT_EQ(value_at(1, 2), "string:" + std::string(xlsx_sst_get(xlsx_document_shared_strings(doc_), 0)));
}

TEST_F(CellValues, InvalidHandlesAreRefused) {
  XlsxCell none = {};
  XlsxCellValue v;
  xlsx_value_init(&v);
  EXPECT_EQ(xlsx_cell_get_value(&none, &v), XLSX_ERR_INTERNAL);
  EXPECT_EQ(xlsx_cell_set_value(&none, &v), XLSX_ERR_INVALID_ARG);
  EXPECT_EQ(xlsx_cell_clear_value(nullptr), XLSX_ERR_INVALID_ARG);
  EXPECT_FALSE(xlsx_cell_has_formula(&none));
  xlsx_value_reset(&v);
}

}  // namespace
}  // namespace sheet_test

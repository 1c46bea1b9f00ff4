// Formulas are stored without a cached value so that applications compute them on opening.
#include <gtest/gtest.h>

#include "tests/sheet/sheet_test_util.h"

namespace sheet_test {
namespace {

using Formulas = SheetTest;

std::string formula_of(const XlsxCell& c, xlsx_status* status) {
  XlsxText text;
  xlsx_text_init(&text);
  *status = xlsx_cell_get_formula(&c, &text);
  std::string result = xlsx_text_get(&text);
  xlsx_text_release(&text);
  return result;
}

TEST_F(Formulas, SettingAFormulaDropsTheCachedValueAndType) {
  load_sheet(worksheet_with("<sheetData><row r=\"1\"><c r=\"A1\" t=\"inlineStr\" s=\"1\"><is><t>x</t></is></c>"
                            "<c r=\"B1\" t=\"str\"><v>old</v><f t=\"shared\" si=\"0\" ref=\"B1:B3\">A1</f></c></row></sheetData>"));
  XlsxCell a1 = cell(1, 1), b1 = cell(1, 2);
  EXPECT_EQ(xlsx_cell_set_formula(&a1, "SUM(C1:C3)"), XLSX_OK);
  EXPECT_EQ(xlsx_cell_set_formula(&b1, "A1*2"), XLSX_OK);
  EXPECT_EQ(sheet_data_xml(),
            "<sheetData><row r=\"1\"><c r=\"A1\" s=\"1\"><f>SUM(C1:C3)</f></c><c r=\"B1\"><f>A1*2</f></c></row></sheetData>");
  EXPECT_TRUE(xlsx_cell_has_formula(&a1));
  xlsx_status status;
  EXPECT_EQ(formula_of(b1, &status), "A1*2");
  EXPECT_EQ(status, XLSX_OK);
  EXPECT_EQ(value_of(a1), "empty:");
}

TEST_F(Formulas, SharedAndArrayFormulasReadTheirFirstCellsText) {
  load_sheet(worksheet_with("<sheetData><row r=\"1\"><c r=\"A1\"><f t=\"shared\" si=\"0\" ref=\"A1:A2\">B1</f><v>1</v></c>"
                            "<c r=\"B1\"><f t=\"array\" ref=\"B1\">C1:C2*2</f><v>2</v></c><c r=\"C1\"><v>3</v></c></row></sheetData>"));
  xlsx_status status;
  EXPECT_EQ(formula_of(cell(1, 1), &status), "B1");
  EXPECT_EQ(status, XLSX_OK);
  EXPECT_EQ(formula_of(cell(1, 2), &status), "C1:C2*2");
  EXPECT_EQ(status, XLSX_OK);
  EXPECT_EQ(formula_of(cell(1, 3), &status), "");
  EXPECT_EQ(status, XLSX_OK);
  EXPECT_EQ(value_at(1, 1), "integer:1");
}

TEST_F(Formulas, ClearingTheFormulaKeepsACachedValue) {
  load_sheet(worksheet_with("<sheetData><row r=\"1\"><c r=\"A1\" t=\"str\"><f>B1</f><v>x</v></c></row></sheetData>"));
  XlsxCell a1 = cell(1, 1);
  EXPECT_EQ(xlsx_cell_clear_formula(&a1), XLSX_OK);
  EXPECT_FALSE(xlsx_cell_has_formula(&a1));
  EXPECT_EQ(value_of(a1), "string:x");
}

TEST_F(Formulas, WritingAValueKeepsTheFormula) {
  XlsxCell a1 = cell(1, 1);
  ASSERT_EQ(xlsx_cell_set_formula(&a1, "1+1"), XLSX_OK);
  set_int(1, 1, 2);
  EXPECT_EQ(sheet_data_xml(), "<sheetData><row r=\"1\"><c r=\"A1\"><f>1+1</f><v>2</v></c></row></sheetData>");
  ASSERT_EQ(xlsx_cell_set_formula(&a1, nullptr), XLSX_OK);
  EXPECT_EQ(sheet_data_xml(), "<sheetData><row r=\"1\"><c r=\"A1\"><f></f></c></row></sheetData>");
}

}  // namespace
}  // namespace sheet_test

// Shared and array formulas as other writers store them: every cell of a shared group reads its own
// formula, and changing or clearing any cell of a group leaves every other cell its own formula.
#include <gtest/gtest.h>

#include <string>
#include <utility>

#include "tests/sheet/sheet_test_util.h"

namespace sheet_test {
namespace {

// A fill-down of B1:B4 and a fill-right of A6:C6, as exceljs and spreadsheet applications write them,
// an array formula over D1:D2, and a cell naming a group that has no first cell.
const char kGroups[] =
    "<sheetData>"
    "<row r=\"1\"><c r=\"A1\"><v>1</v></c><c r=\"B1\"><f t=\"shared\" ref=\"B1:B4\" si=\"0\">A1*2+$A$1</f><v>3</v></c>"
    "<c r=\"D1\"><f t=\"array\" ref=\"D1:D2\">A1:A2*10</f><v>10</v></c></row>"
    "<row r=\"2\"><c r=\"B2\"><f t=\"shared\" si=\"0\"/><v>5</v></c><c r=\"D2\"><v>20</v></c></row>"
    "<row r=\"3\"><c r=\"B3\"><f t=\"shared\" si=\"0\"></f><v>7</v></c></row>"
    "<row r=\"4\"><c r=\"B4\"><f t=\"shared\" si=\"0\"/><v>9</v></c><c r=\"C4\"><f t=\"shared\" si=\"9\"/></c></row>"
    "<row r=\"6\"><c r=\"A6\"><f t=\"shared\" ref=\"A6:C6\" si=\"1\">SUM(A1:A$5)&amp;\"A1\"</f></c>"
    "<c r=\"B6\"><f t=\"shared\" si=\"1\"/></c><c r=\"C6\"><f t=\"shared\" si=\"1\"/></c></row>"
    "</sheetData>";

class SharedFormulas : public SheetTest {
 protected:
  std::string formula(uint32_t row, uint32_t column) {
    XlsxCell c = cell(row, column);
    XlsxText text;
    xlsx_text_init(&text);
    EXPECT_EQ(xlsx_cell_get_formula(&c, &text), XLSX_OK);
    std::string result = xlsx_cell_has_formula(&c) ? xlsx_text_get(&text) : "<none>";
    xlsx_text_release(&text);
    return result;
  }
  // The formulas of B1:B4, A6:C6 and D1:D2.
  std::string all() {
    const std::pair<uint32_t, uint32_t> cells[] = {{1, 2}, {2, 2}, {3, 2}, {4, 2}, {6, 1},
                                                   {6, 2}, {6, 3}, {1, 4}, {2, 4}};
    std::string out;
    for (const auto& rc : cells) out += formula(rc.first, rc.second) + "|";
    return out;
  }
};

const char kAsRead[] =
    "A1*2+$A$1|A2*2+$A$1|A3*2+$A$1|A4*2+$A$1|SUM(A1:A$5)&\"A1\"|SUM(B1:B$5)&\"A1\"|SUM(C1:C$5)&\"A1\"|"
    "A1:A2*10|<none>|";

TEST_F(SharedFormulas, EveryCellReadsItsOwnFormula) {
  load_sheet(worksheet_with(kGroups));
  EXPECT_EQ(all(), kAsRead);
  EXPECT_EQ(formula(4, 3), "");  // its group has no first cell
  EXPECT_EQ(value_at(3, 2), "integer:7");
}

TEST_F(SharedFormulas, ChangingTheFirstCellLeavesTheOthersTheirFormulas) {
  load_sheet(worksheet_with(kGroups));
  XlsxCell b1 = cell(1, 2), a6 = cell(6, 1), b3 = cell(3, 2);
  ASSERT_EQ(xlsx_cell_set_formula(&b1, "=A1*3"), XLSX_OK);
  ASSERT_EQ(xlsx_cell_clear_formula(&a6), XLSX_OK);
  ASSERT_EQ(xlsx_cell_set_formula(&b3, "0"), XLSX_OK);  // a later cell changes alone
  EXPECT_EQ(all(), "A1*3|A2*2+$A$1|0|A4*2+$A$1|<none>|SUM(B1:B$5)&\"A1\"|SUM(C1:C$5)&\"A1\"|A1:A2*10|<none>|");
  // The others became ordinary formulas that keep their values; neither group is left behind.
  EXPECT_EQ(sheet_data_xml().find("si=\"0\""), std::string::npos);
  EXPECT_EQ(sheet_data_xml().find("si=\"1\""), std::string::npos);
  EXPECT_NE(sheet_data_xml().find("<c r=\"B2\"><f>A2*2+$A$1</f><v>5</v></c>"), std::string::npos);
}

TEST_F(SharedFormulas, ValuesBesideAGroupKeepItWhole) {
  load_sheet(worksheet_with(kGroups));
  set_int(1, 2, 4);  // a value written beside the first cell's formula keeps the formula
  XlsxCell b2 = cell(2, 2);
  ASSERT_EQ(xlsx_cell_clear_value(&b2), XLSX_OK);
  EXPECT_EQ(all(), kAsRead);
}

}  // namespace
}  // namespace sheet_test

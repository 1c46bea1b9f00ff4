// Every operation fails cleanly when memory runs out: a status, a consistent tree, nothing leaked.
#include <gtest/gtest.h>

#include "lib/sheet/columns.h"
#include "tests/sheet/sheet_test_util.h"
#include "tests/support/fault_alloc.h"

namespace sheet_test {
namespace {

using AllocationFailure = SheetTest;

TEST_F(AllocationFailure, CellCreationAndWrites) {
  set_int(1, 1, 1);
  set_int(3, 3, 3);
  uint32_t failures = 0;
  xlsx_test::for_each_allocation_failure([&](xlsx_test::FaultAllocation& fault) {
    XlsxCell c;
    xlsx_status status = xlsx_sheet_cell(&ws_, 2, 2, &c);
    XlsxCellValue v;
    if (status == XLSX_OK && xlsx_value_init(&v) == XLSX_OK) {
      if (xlsx_value_set_string(&v, "text value") == XLSX_OK) status = xlsx_cell_set_value(&c, &v);
      xlsx_value_reset(&v);
    }
    if (fault.failures() > 0) failures++;
    fault.fail_after(0);
    std::string xml = sheet_data_xml();
    EXPECT_NE(xml.find("<c r=\"A1\"><v>1</v></c>"), std::string::npos);
    EXPECT_NE(xml.find("<c r=\"C3\"><v>3</v></c>"), std::string::npos);
    EXPECT_LT(xml.find("<row r=\"1\">"), xml.find("<row r=\"3\">"));
  });
  EXPECT_GT(failures, 0u);
  EXPECT_EQ(value_at(2, 2), "string:text value");
}

TEST_F(AllocationFailure, FormulaLeavesTheCellAsItWas) {
  set_int(1, 1, 5);
  xlsx_test::for_each_allocation_failure([&](xlsx_test::FaultAllocation& fault) {
    XlsxCell c;
    xlsx_status status = xlsx_sheet_find_cell(&ws_, 1, 1, &c);
    if (status == XLSX_OK) status = xlsx_cell_set_formula(&c, "SUM(B1:B9)");
    if (status != XLSX_OK) {
      EXPECT_GT(fault.failures(), 0u);
      fault.fail_after(0);
      EXPECT_EQ(sheet_data_xml(), "<sheetData><row r=\"1\"><c r=\"A1\"><v>5</v></c></row></sheetData>");
    }
  });
  EXPECT_EQ(sheet_data_xml(), "<sheetData><row r=\"1\"><c r=\"A1\"><f>SUM(B1:B9)</f></c></row></sheetData>");
}

TEST_F(AllocationFailure, AddingASheetIsUndone) {
  std::string types = part_xml("[Content_Types].xml");
  std::string rels = part_xml("xl/_rels/workbook.xml.rels");
  xlsx_test::for_each_allocation_failure([&](xlsx_test::FaultAllocation& fault) {
    uint32_t before = xlsx_workbook_sheet_count(wb_);
    xlsx_status status = xlsx_workbook_add_sheet(wb_, "Extra");
    if (status == XLSX_OK && fault.failures() > 0) {
      fault.fail_after(0);
      ADD_FAILURE() << "an allocation failed and the sheet was still added (call " << fault.calls() << ")";
      xlsx_workbook_delete_sheet(wb_, "Extra");
    }
    if (status != XLSX_OK) {
      EXPECT_EQ(before, 1u);
      EXPECT_GT(fault.failures(), 0u);
      fault.fail_after(0);
      EXPECT_EQ(xlsx_workbook_sheet_count(wb_), 1u);
      EXPECT_EQ(part_xml("[Content_Types].xml"), types);
      EXPECT_EQ(part_xml("xl/_rels/workbook.xml.rels"), rels);
      EXPECT_FALSE(xlsx_archive_has_entry(xlsx_package_archive(pkg_), "xl/worksheets/sheet2.xml"));
    }
  });
  EXPECT_EQ(xlsx_workbook_sheet_count(wb_), 2u);
}

TEST_F(AllocationFailure, ColumnSplitKeepsEveryColumnOnce) {
  load_sheet(worksheet_with("<sheetData/>", "<cols><col min=\"1\" max=\"6\" width=\"7\"/></cols>"));
  xlsx_test::for_each_allocation_failure([&](xlsx_test::FaultAllocation& fault) {
    XlsxColumn c;
    if (xlsx_sheet_column(&ws_, 4, &c) != XLSX_OK) {
      fault.fail_after(0);
      std::string xml = sheet_xml();
      bool whole = xml.find("<cols><col min=\"1\" max=\"6\" width=\"7\"/></cols>") != std::string::npos;
      bool split = xml.find("<cols><col min=\"1\" max=\"1\" width=\"7\"/><col min=\"2\" max=\"2\" width=\"7\"/>"
                            "<col min=\"3\" max=\"3\" width=\"7\"/><col min=\"4\" max=\"4\" width=\"7\"/>"
                            "<col min=\"5\" max=\"5\" width=\"7\"/><col min=\"6\" max=\"6\" width=\"7\"/></cols>") !=
                   std::string::npos;
      EXPECT_TRUE(whole || split) << xml;
    }
  });
  EXPECT_NE(sheet_xml().find("<col min=\"4\" max=\"4\" width=\"7\"/><col min=\"5\" max=\"6\" width=\"7\"/></cols>"),
            std::string::npos);
}

}  // namespace
}  // namespace sheet_test

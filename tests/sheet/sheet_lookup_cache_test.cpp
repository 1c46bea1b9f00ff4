// The workbook's sheet lookups answer from their caches while the trees are unchanged, and look again
// once a tree has changed.
#include <gtest/gtest.h>

#include <string>

#include "tests/sheet/sheet_test_util.h"

namespace sheet_test {
namespace {

using SheetLookups = SheetTest;

TEST_F(SheetLookups, SheetLookupNormalisesColumnsAgainAfterTheTreeChanged) {
  const std::string ranged = worksheet_with("<sheetData/>", "<cols><col min=\"1\" max=\"3\" width=\"5\"/></cols>");
  load_sheet(ranged);
  XlsxWorksheet ws{};
  ASSERT_EQ(xlsx_workbook_worksheet_at(wb_, 1, &ws), XLSX_OK);
  EXPECT_NE(sheet_xml().find("<col min=\"3\" max=\"3\""), std::string::npos) << sheet_xml();
  // Answered from the caches: the same part and index, nothing changed.
  XlsxWorksheet again{};
  ASSERT_EQ(xlsx_workbook_worksheet_at(wb_, 1, &again), XLSX_OK);
  EXPECT_EQ(again.part, ws.part);
  EXPECT_EQ(again.index, ws.index);
  // A tree loaded anew holds the range again: the next lookup must split it once more.
  load_sheet(ranged);
  ASSERT_EQ(xlsx_workbook_worksheet_at(wb_, 1, &again), XLSX_OK);
  EXPECT_EQ(sheet_xml().find("max=\"3\" width=\"5\"/><col min=\"2\""), std::string::npos);
  EXPECT_NE(sheet_xml().find("<col min=\"3\" max=\"3\""), std::string::npos) << sheet_xml();
}

TEST_F(SheetLookups, SheetListFollowsChangesMadeBetweenLookups) {
  EXPECT_EQ(xlsx_workbook_sheet_count(wb_), 1u);
  XlsxWorksheet ws{};
  EXPECT_EQ(xlsx_workbook_worksheet_at(wb_, 2, &ws), XLSX_ERR_NOT_FOUND);
  ASSERT_EQ(xlsx_workbook_add_sheet(wb_, "Second"), XLSX_OK);
  EXPECT_EQ(xlsx_workbook_sheet_count(wb_), 2u);
  ASSERT_EQ(xlsx_workbook_worksheet_at(wb_, 2, &ws), XLSX_OK);
  EXPECT_NE(ws.part, ws_.part);
  ASSERT_EQ(xlsx_workbook_delete_sheet(wb_, "Second"), XLSX_OK);
  EXPECT_EQ(xlsx_workbook_worksheet_at(wb_, 2, &ws), XLSX_ERR_NOT_FOUND);
  EXPECT_EQ(xlsx_workbook_sheet_count(wb_), 1u);
}

}  // namespace
}  // namespace sheet_test

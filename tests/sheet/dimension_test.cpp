// A saved worksheet's `dimension` covers its cells, so readers that size the sheet from it see them all.
#include <gtest/gtest.h>

#include <string>

#include "lib/base/alloc.h"
#include "lib/package/part.h"
#include "lib/sheet/dimension.h"
#include "tests/sheet/sheet_test_util.h"

namespace sheet_test {
namespace {

class DimensionTest : public SheetTest {
 protected:
  // The first worksheet of the file as saved, read through a second book.
  std::string saved_sheet_xml() {
    TestBook other;
    EXPECT_EQ(test_book_open(&other, dir_.file("test.xlsx").c_str()), XLSX_OK);
    XlsxWorksheet sheet = {};
    EXPECT_EQ(xlsx_workbook_worksheet_at(other.workbook, 1, &sheet), XLSX_OK);
    char* text = nullptr;
    uint32_t length = 0;
    EXPECT_EQ(xlsx_part_serialize(sheet.part, &text, &length), XLSX_OK);
    std::string xml(text ? text : "", length);
    xlsx_free(text);
    test_book_close(&other);
    return xml;
  }
};

TEST_F(DimensionTest, SavedSheetSpansEveryCellItHolds) {
  set_int(2, 3, 1);
  set_int(5, 2, 2);
  set_int(4, 7, 3);
  ASSERT_EQ(xlsx_package_save_as(pkg_, xlsx_package_path(pkg_)), XLSX_OK);
  EXPECT_NE(saved_sheet_xml().find("<dimension ref=\"B2:G5\"/>"), std::string::npos);
}

TEST_F(DimensionTest, OneCellSheetNamesThatCellAlone) {
  set_int(3, 4, 1);
  ASSERT_EQ(xlsx_package_save_as(pkg_, xlsx_package_path(pkg_)), XLSX_OK);
  EXPECT_NE(saved_sheet_xml().find("<dimension ref=\"D3\"/>"), std::string::npos);
}

TEST_F(DimensionTest, SheetWithoutCellsKeepsA1AndSheetWithoutElementGetsNone) {
  load_sheet(worksheet_with("<sheetData/>", "<dimension ref=\"C9\"/>"));
  ASSERT_EQ(xlsx_sheet_update_dimension(ws_.part), XLSX_OK);
  EXPECT_NE(sheet_xml().find("<dimension ref=\"A1\"/>"), std::string::npos);

  load_sheet(worksheet_with("<sheetData><row r=\"2\"><c r=\"B2\"><v>1</v></c></row></sheetData>"));
  ASSERT_EQ(xlsx_sheet_update_dimension(ws_.part), XLSX_OK);
  EXPECT_EQ(sheet_xml().find("<dimension"), std::string::npos);
}

TEST_F(DimensionTest, UnchangedDimensionLeavesTheTreeUnchanged) {
  load_sheet(
      worksheet_with("<sheetData><row r=\"2\"><c r=\"B2\"><v>1</v></c></row></sheetData>", "<dimension ref=\"B2\"/>"));
  uint32_t generation = xlsx_part_load(ws_.part)->generation;
  ASSERT_EQ(xlsx_sheet_update_dimension(ws_.part), XLSX_OK);
  EXPECT_EQ(xlsx_part_load(ws_.part)->generation, generation);
}

}  // namespace
}  // namespace sheet_test

// Tab selection and tab colour.
#include <gtest/gtest.h>

#include "lib/sheet/sheet_view.h"
#include "tests/sheet/sheet_test_util.h"

namespace sheet_test {
namespace {

using SheetView = SheetTest;

TEST_F(SheetView, SelectingAViewWithoutTheAttributeAddsIt) {
  load_sheet(worksheet_with("<sheetData/>", "<dimension ref=\"A1\"/><sheetViews><sheetView workbookViewId=\"0\"/></sheetViews>"));
  EXPECT_FALSE(xlsx_sheet_is_selected(&ws_));
  EXPECT_EQ(xlsx_sheet_set_selected(&ws_, 1), XLSX_OK);
  EXPECT_TRUE(xlsx_sheet_is_selected(&ws_));
  EXPECT_NE(sheet_xml().find("<sheetView workbookViewId=\"0\" tabSelected=\"1\"/>"), std::string::npos);
  EXPECT_EQ(xlsx_sheet_set_selected(&ws_, 0), XLSX_OK);
  EXPECT_FALSE(xlsx_sheet_is_selected(&ws_));
}

TEST_F(SheetView, IndentedViewsAndMissingViews) {
  load_sheet(worksheet_with("<sheetData/>", "\n <sheetViews>\n  <sheetView tabSelected=\"1\" workbookViewId=\"0\"/>\n </sheetViews>\n"));
  EXPECT_TRUE(xlsx_sheet_is_selected(&ws_));
  load_sheet(worksheet_with("<sheetData/>", "<dimension ref=\"A1\"/>"));
  EXPECT_EQ(xlsx_sheet_set_selected(&ws_, 0), XLSX_OK);
  EXPECT_EQ(sheet_xml().find("sheetViews"), std::string::npos);
  EXPECT_EQ(xlsx_sheet_set_selected(&ws_, 1), XLSX_OK);
  EXPECT_NE(sheet_xml().find("<dimension ref=\"A1\"/><sheetViews><sheetView tabSelected=\"1\" workbookViewId=\"0\"/></sheetViews>"),
            std::string::npos);
}

TEST_F(SheetView, TabColourReadAndWritten) {
  XlsxColor color;
  ASSERT_EQ(xlsx_sheet_tab_color(&ws_, &color), XLSX_OK);
  EXPECT_EQ(color.alpha, 255);
  EXPECT_EQ(color.red + color.green + color.blue, 0);
  load_sheet(worksheet_with("<sheetData/>", "<sheetPr codeName=\"X\"><pageSetUpPr fitToPage=\"1\"/></sheetPr>"));
  XlsxColor orange = {255, 255, 128, 0};
  ASSERT_EQ(xlsx_sheet_set_tab_color(&ws_, &orange), XLSX_OK);
  EXPECT_NE(sheet_xml().find("<sheetPr codeName=\"X\"><tabColor rgb=\"ffff8000\"/><pageSetUpPr"), std::string::npos);
  load_sheet(worksheet_with("<sheetData/>", "<sheetPr><tabColor theme=\"4\" tint=\"0.5\" rgb=\"FF00B050\"/></sheetPr>"));
  ASSERT_EQ(xlsx_sheet_tab_color(&ws_, &color), XLSX_OK);
  EXPECT_EQ(color.alpha, 255);
  EXPECT_EQ(color.green, 176);
  EXPECT_EQ(color.blue, 80);
  ASSERT_EQ(xlsx_sheet_set_tab_color(&ws_, nullptr), XLSX_OK);
  EXPECT_NE(sheet_xml().find("<tabColor rgb=\"ff000000\"/>"), std::string::npos);
}

TEST_F(SheetView, ColourTexts) {
  XlsxColor c = {255, 1, 2, 3};
  EXPECT_EQ(xlsx_color_from_text("00B050", &c), XLSX_OK);
  EXPECT_EQ(c.alpha, 255);
  EXPECT_EQ(c.red, 0);
  EXPECT_EQ(c.green, 176);
  EXPECT_EQ(xlsx_color_from_text("12345", &c), XLSX_ERR_INVALID_ARG);
  EXPECT_EQ(xlsx_color_from_text("zz000000", &c), XLSX_ERR_INVALID_ARG);
  char text[9];
  EXPECT_STREQ(xlsx_color_to_text(nullptr, text), "ff000000");
}

}  // namespace
}  // namespace sheet_test

// Column widths and hidden states, column range splitting, row heights and hidden states.
#include <gtest/gtest.h>

#include "lib/sheet/columns.h"
#include "tests/sheet/sheet_test_util.h"

namespace sheet_test {
namespace {

using ColumnsRows = SheetTest;

std::string cols_xml(const std::string& xml) {
  size_t start = xml.find("<cols>");
  size_t end = xml.find("</cols>");
  return start == std::string::npos ? "" : xml.substr(start, end + 7 - start);
}

// The worksheet lookup splits column ranges; it answers from its caches while the tree is unchanged and
// splits again once the tree was loaded anew.
TEST_F(ColumnsRows, ColumnRangesAreSplitOnLookup) {
  const std::string ranged = worksheet_with("<sheetData/>", "<cols><col min=\"2\" max=\"4\" width=\"20\" style=\"1\"/></cols>");
  const std::string split =
      "<cols><col min=\"2\" max=\"2\" width=\"20\" style=\"1\"/><col min=\"3\" max=\"3\" width=\"20\" style=\"1\"/>"
      "<col min=\"4\" max=\"4\" width=\"20\" style=\"1\"/></cols>";
  load_sheet(ranged);
  ASSERT_EQ(xlsx_workbook_worksheet(wb_, "Sheet1", &ws_), XLSX_OK);
  EXPECT_EQ(cols_xml(sheet_xml()), cols_xml(ranged));
  XlsxWorksheet again{};
  ASSERT_EQ(xlsx_workbook_worksheet_at(wb_, 1, &again), XLSX_OK);
  EXPECT_EQ(again.part, ws_.part);
  EXPECT_EQ(again.index, ws_.index);
  load_sheet(ranged);
  ASSERT_EQ(xlsx_workbook_worksheet_at(wb_, 1, &again), XLSX_OK);
  EXPECT_EQ(cols_xml(sheet_xml()), cols_xml(ranged));
  XlsxColumn c2, c3, c4;
  ASSERT_EQ(xlsx_sheet_column(&ws_, 3, &c3), XLSX_OK);
  EXPECT_EQ(xlsx_column_set_width(&c3, 12.5f), XLSX_OK);
  ASSERT_EQ(xlsx_sheet_column(&ws_, 2, &c2), XLSX_OK);
  ASSERT_EQ(xlsx_sheet_column(&ws_, 4, &c4), XLSX_OK);
  EXPECT_FLOAT_EQ(xlsx_column_width(&c3), 12.5f);
  EXPECT_FLOAT_EQ(xlsx_column_width(&c2), 20.0f);
  EXPECT_FLOAT_EQ(xlsx_column_width(&c4), 20.0f);
  EXPECT_NE(sheet_xml().find("<col min=\"3\" max=\"3\" width=\"12.5\" style=\"1\" customWidth=\"1\"/>"), std::string::npos);
}

TEST_F(ColumnsRows, MissingColumnIsCreatedBeforeSheetDataWithTheDefaultWidth) {
  XlsxColumn c;
  ASSERT_EQ(xlsx_sheet_column(&ws_, 5, &c), XLSX_OK);
  EXPECT_FLOAT_EQ(xlsx_column_width(&c), 9.8f);
  EXPECT_FALSE(xlsx_column_is_hidden(&c));
  std::string xml = sheet_xml();
  EXPECT_NE(xml.find("<cols><col min=\"5\" max=\"5\" width=\"9.8000000000000007\" customWidth=\"0\"/></cols><sheetData"),
            std::string::npos) << xml;
  EXPECT_EQ(xlsx_column_set_width(&c, 9.8f), XLSX_OK);
  EXPECT_NE(sheet_xml().find("width=\"9.80000019\" customWidth=\"1\""), std::string::npos);
  EXPECT_EQ(xlsx_column_set_hidden(&c, 1), XLSX_OK);
  EXPECT_TRUE(xlsx_column_is_hidden(&c));
  XlsxColumn bad;
  EXPECT_EQ(xlsx_sheet_column(&ws_, 0, &bad), XLSX_ERR_INVALID_ARG);
  EXPECT_EQ(xlsx_sheet_column(&ws_, 16385, &bad), XLSX_ERR_INVALID_ARG);
}

TEST_F(ColumnsRows, ManyColumnsAreFoundThroughTheIndexInAnyOrder) {
  for (uint32_t c = 200; c >= 1; c--) {
    XlsxColumn col;
    ASSERT_EQ(xlsx_sheet_column(&ws_, c, &col), XLSX_OK);
    ASSERT_EQ(xlsx_column_set_width(&col, static_cast<float>(c)), XLSX_OK);
  }
  for (uint32_t c = 1; c <= 200; c += 7) {
    XlsxColumn col;
    ASSERT_EQ(xlsx_sheet_column(&ws_, c, &col), XLSX_OK);
    EXPECT_FLOAT_EQ(xlsx_column_width(&col), static_cast<float>(c));
  }
  std::string xml = cols_xml(sheet_xml());
  EXPECT_LT(xml.find("min=\"1\""), xml.find("min=\"2\""));
  EXPECT_LT(xml.find("min=\"99\""), xml.find("min=\"100\""));
}

TEST_F(ColumnsRows, UnorderedColumnsKeepTheirElements) {
  load_sheet(worksheet_with("<sheetData/>", "<cols><col min=\"5\" max=\"5\" width=\"5\"/><col min=\"2\" max=\"2\" width=\"2\"/></cols>"));
  XlsxColumn c2, c3;
  ASSERT_EQ(xlsx_sheet_column(&ws_, 2, &c2), XLSX_OK);
  EXPECT_FLOAT_EQ(xlsx_column_width(&c2), 2.0f);
  ASSERT_EQ(xlsx_sheet_column(&ws_, 3, &c3), XLSX_OK);
  EXPECT_FLOAT_EQ(xlsx_column_width(&c3), 9.8f);
  std::string cols = cols_xml(sheet_xml());
  for (const char* kept : {"<col min=\"5\" max=\"5\" width=\"5\"/>", "<col min=\"2\" max=\"2\" width=\"2\"/>"})
    EXPECT_NE(cols.find(kept), std::string::npos) << cols;
}

TEST_F(ColumnsRows, HugeColumnRangesStopAtTheLastColumn) {
  load_sheet(worksheet_with("<sheetData/>", "<cols><col min=\"16383\" max=\"2000000000\" width=\"3\"/></cols>"));
  XlsxColumn c;
  ASSERT_EQ(xlsx_sheet_column(&ws_, 16384, &c), XLSX_OK);
  EXPECT_FLOAT_EQ(xlsx_column_width(&c), 3.0f);
  EXPECT_EQ(cols_xml(sheet_xml()),
            "<cols><col min=\"16383\" max=\"16383\" width=\"3\"/><col min=\"16384\" max=\"16384\" width=\"3\"/></cols>");
}

TEST_F(ColumnsRows, RowHeightsAndHiddenStates) {
  XlsxRow r4, r6;
  ASSERT_EQ(xlsx_sheet_row(&ws_, 4, &r4), XLSX_OK);
  EXPECT_EQ(xlsx_row_set_hidden(&r4, 1), XLSX_OK);
  EXPECT_TRUE(xlsx_row_is_hidden(&r4));
  ASSERT_EQ(xlsx_sheet_row(&ws_, 6, &r6), XLSX_OK);
  EXPECT_DOUBLE_EQ(xlsx_row_height(&r6), 15.0);
  EXPECT_EQ(xlsx_row_set_height(&r6, 20.0f), XLSX_OK);
  EXPECT_DOUBLE_EQ(xlsx_row_height(&r6), 20.0);
  EXPECT_EQ(sheet_data_xml(),
            "<sheetData><row r=\"4\" hidden=\"1\"/><row r=\"6\" ht=\"20\" customHeight=\"1\"/></sheetData>");
  set_int(6, 2, 1);  // the row keeps its attributes and the index stays valid
  EXPECT_EQ(xlsx_sheet_row_count(&ws_), 6u);
  XlsxRow none = {};
  EXPECT_EQ(xlsx_row_set_height(&none, 1.0f), XLSX_ERR_INVALID_ARG);
  EXPECT_FALSE(xlsx_row_is_hidden(&none));
}

}  // namespace
}  // namespace sheet_test

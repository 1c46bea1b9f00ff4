// Finding and creating rows and cells in order, counts, and the row index kept valid across edits.
#include <gtest/gtest.h>

#include <cstdlib>

#include "lib/package/part.h"
#include "lib/sheet/sheet_index.h"
#include "tests/sheet/sheet_test_util.h"

namespace sheet_test {
namespace {

using RowsCells = SheetTest;

TEST_F(RowsCells, CellsAndRowsAreCreatedInOrder) {
  set_int(2, 2, 1);
  set_int(2, 1, 2);
  set_int(2, 3, 3);
  for (uint32_t r : {10u, 11u, 12u, 7u}) cell(r, 1);
  EXPECT_EQ(sheet_data_xml(),
            "<sheetData><row r=\"2\"><c r=\"A2\"><v>2</v></c><c r=\"B2\"><v>1</v></c><c r=\"C2\"><v>3</v></c></row>"
            "<row r=\"7\"><c r=\"A7\"/></row><row r=\"10\"><c r=\"A10\"/></row><row r=\"11\"><c r=\"A11\"/></row>"
            "<row r=\"12\"><c r=\"A12\"/></row></sheetData>");
  load_sheet(worksheet_with("<sheetData><row r=\"1\"/><row r=\"2\"/><row r=\"5\"/></sheetData>"));
  cell(3, 1);
  EXPECT_EQ(sheet_data_xml(),
            "<sheetData><row r=\"1\"/><row r=\"2\"/><row r=\"3\"><c r=\"A3\"/></row><row r=\"5\"/></sheetData>");
}

// Reading creates the cell (empty) and counts its row and column; finding never creates.
TEST_F(RowsCells, ReadingCreatesAndCountsFindingNeverCreates) {
  EXPECT_EQ(xlsx_sheet_row_count(&ws_), 0u);
  EXPECT_EQ(xlsx_sheet_column_count(&ws_), 1u);
  XlsxCell c;
  EXPECT_EQ(xlsx_sheet_find_cell(&ws_, 4, 3, &c), XLSX_ERR_NOT_FOUND);
  EXPECT_EQ(c.element, nullptr);
  EXPECT_EQ(value_at(4, 3), "empty:");
  EXPECT_EQ(sheet_data_xml(), "<sheetData><row r=\"4\"><c r=\"C4\"/></row></sheetData>");
  EXPECT_EQ(xlsx_sheet_row_count(&ws_), 4u);
  EXPECT_EQ(xlsx_sheet_column_count(&ws_), 3u);
  set_int(4, 3, 5);
  EXPECT_EQ(xlsx_sheet_find_cell(&ws_, 4, 3, &c), XLSX_OK);
  EXPECT_EQ(value_of(c), "integer:5");
  EXPECT_EQ(xlsx_sheet_find_cell(&ws_, 4, 2, &c), XLSX_ERR_NOT_FOUND);
  EXPECT_EQ(sheet_data_xml(), "<sheetData><row r=\"4\"><c r=\"C4\"><v>5</v></c></row></sheetData>");
  cell(2, 9);
  EXPECT_EQ(xlsx_sheet_column_count(&ws_), 9u);
}

// A cell's `r` is read by the one rule of the reference reader, blanks included: the cell written "B 7"
// is B7 to every lookup, keeps its place and is edited and saved as that one cell.
TEST_F(RowsCells, ReferenceWithABlankIsThatOneCell) {
  load_sheet(worksheet_with("<sheetData><row r=\"7\"><c r=\"B 7\"><v>5</v></c><c r=\"D7\"><v>9</v></c></row>"
                            "</sheetData>"));
  EXPECT_EQ(value_at(7, 2), "integer:5");
  XlsxCell c;
  ASSERT_EQ(xlsx_sheet_cell_by_ref(&ws_, "b7", &c), XLSX_OK);
  EXPECT_EQ(value_of(c), "integer:5");
  set_int(7, 2, 6);
  set_int(7, 3, 7);
  set_int(7, 1, 8);
  XlsxCellRef ref;
  EXPECT_EQ(xlsx_cell_ref(&c, &ref), XLSX_OK);
  EXPECT_EQ(xlsx_cellref_column(&ref), 2u);
  EXPECT_EQ(sheet_data_xml(),
            "<sheetData><row r=\"7\"><c r=\"A7\"><v>8</v></c><c r=\"B 7\"><v>6</v></c><c r=\"C7\"><v>7</v></c>"
            "<c r=\"D7\"><v>9</v></c></row></sheetData>");
  EXPECT_EQ(xlsx_sheet_column_count(&ws_), 4u);
}

TEST_F(RowsCells, InvalidPositionsAndReferencesCreateNothing) {
  XlsxCell c;
  const uint32_t positions[][2] = {{0, 1}, {1048577, 1}, {1, 16385}, {1, 0}};
  for (const auto& p : positions) EXPECT_EQ(xlsx_sheet_cell(&ws_, p[0], p[1], &c), XLSX_ERR_INVALID_ARG) << p[0] << "," << p[1];
  for (const char* ref : {"", "XFE1", "A10485760"}) EXPECT_EQ(xlsx_sheet_cell_by_ref(&ws_, ref, &c), XLSX_ERR_INVALID_ARG) << ref;
  XlsxRow row;
  EXPECT_EQ(xlsx_sheet_row(&ws_, 0, &row), XLSX_ERR_INVALID_ARG);
  EXPECT_EQ(xlsx_sheet_row(&ws_, 1048577, &row), XLSX_ERR_INVALID_ARG);
  EXPECT_EQ(xlsx_sheet_cell(nullptr, 1, 1, &c), XLSX_ERR_INVALID_ARG);
  EXPECT_EQ(sheet_data_xml(), "<sheetData/>");
  EXPECT_EQ(xlsx_sheet_cell(&ws_, 1048576, 16384, &c), XLSX_OK);
  EXPECT_EQ(std::string(xml_attribute_value(xml_node_attribute(c.element, "r"))), "XFD1048576");
}

TEST_F(RowsCells, ReferenceTextsNameTheSameCellAsNumbers) {
  set_int(3, 2, 42);
  XlsxCell c;
  for (const char* ref : {"B3", "b3"}) {
    ASSERT_EQ(xlsx_sheet_cell_by_ref(&ws_, ref, &c), XLSX_OK) << ref;
    EXPECT_EQ(value_of(c), "integer:42") << ref;
  }
  XlsxCellRef ref;
  ASSERT_EQ(xlsx_cell_ref(&c, &ref), XLSX_OK);
  EXPECT_EQ(ref.row * 100 + ref.column, 302u);
}

TEST_F(RowsCells, IndentedSheetDataReadsCountsAndEdits) {
  load_sheet(worksheet_with("\n  <sheetData>\n    <row r=\"1\">\n      <c r=\"A1\"><v>1</v></c>\n      <c r=\"C1\"><v>3</v></c>\n"
                            "    </row>\n    <row r=\"3\">\n      <c r=\"B3\"><v>7</v></c>\n    </row>\n  </sheetData>\n"));
  EXPECT_EQ(xlsx_sheet_row_count(&ws_), 3u);
  EXPECT_EQ(xlsx_sheet_column_count(&ws_), 3u);
  EXPECT_EQ(value_at(1, 3), "integer:3");
  EXPECT_EQ(value_at(3, 2), "integer:7");
  set_int(1, 2, 2);
  set_int(4, 1, 4);
  set_int(2, 1, 9);
  std::string xml = sheet_data_xml();
  EXPECT_NE(xml.find("<c r=\"A1\"><v>1</v></c><c r=\"B1\"><v>2</v></c>"), std::string::npos) << xml;
  EXPECT_LT(xml.find("<row r=\"1\">"), xml.find("<row r=\"2\">"));
  EXPECT_LT(xml.find("<row r=\"2\">"), xml.find("<row r=\"3\">"));
  EXPECT_LT(xml.find("<row r=\"3\">"), xml.find("<row r=\"4\">"));
  EXPECT_EQ(xlsx_sheet_row_count(&ws_), 4u);
}

// Rows and cells without `r` take the number after their predecessor (as the file format says); rows
// and cells out of order are put in order; nothing is lost or duplicated.
TEST_F(RowsCells, RowsAndCellsWithoutNumbersOrOutOfOrderAreNormalised) {
  load_sheet(worksheet_with("<sheetData><row r=\"5\"><c r=\"C5\"><v>3</v></c><c r=\"A5\"><v>1</v></c><c><v>2</v></c></row>"
                            "<row><c><v>60</v></c></row><row r=\"2\"><c r=\"B2\"><v>22</v></c></row></sheetData>"));
  EXPECT_EQ(value_at(2, 2), "integer:22");
  EXPECT_EQ(value_at(6, 1), "integer:60");
  EXPECT_EQ(value_at(5, 1), "integer:1");
  EXPECT_EQ(value_at(5, 2), "integer:2");
  EXPECT_EQ(value_at(5, 3), "integer:3");
  EXPECT_EQ(sheet_data_xml(),
            "<sheetData><row r=\"2\"><c r=\"B2\"><v>22</v></c></row>"
            "<row r=\"5\"><c r=\"A5\"><v>1</v></c><c r=\"B5\"><v>2</v></c><c r=\"C5\"><v>3</v></c></row>"
            "<row r=\"6\"><c r=\"A6\"><v>60</v></c></row></sheetData>");
  EXPECT_EQ(xlsx_sheet_row_count(&ws_), 6u);
}

TEST_F(RowsCells, SheetWithoutSheetDataYieldsInvalidHandles) {
  load_sheet(worksheet_with(""));
  XlsxCell c;
  EXPECT_EQ(xlsx_sheet_cell(&ws_, 1, 1, &c), XLSX_ERR_INVALID_ARG);
  EXPECT_EQ(c.element, nullptr);
  EXPECT_EQ(xlsx_sheet_row_count(&ws_), 0u);
  EXPECT_EQ(xlsx_sheet_column_count(&ws_), 1u);
}

// The index follows edits made directly on the tree: a change it did not make forces a rebuild.
TEST_F(RowsCells, IndexRebuildsAfterForeignEdits) {
  for (uint32_t r = 1; r <= 5; r++) set_int(r, 1, r);
  XmlNode* sheet_data = xml_node_child(xlsx_part_root(ws_.part), "sheetData");
  xml_node_remove_child(sheet_data, xml_node_first_element(sheet_data));
  XmlNode* row = xml_node_prepend_child(sheet_data, "row");
  xml_node_set_attribute(row, "r", "1");
  EXPECT_EQ(value_at(1, 1), "empty:");
  EXPECT_EQ(value_at(3, 1), "integer:3");
  EXPECT_EQ(xlsx_sheet_row_count(&ws_), 5u);
}

TEST_F(RowsCells, RowIndexLivesWithThePart) {
  set_int(1, 1, 1);
  XlsxSheetIndex* index = static_cast<XlsxSheetIndex*>(xlsx_part_extra(ws_.part));
  ASSERT_NE(index, nullptr);
  EXPECT_EQ(index->row_count, 1u);
  XlsxWorksheet again;
  ASSERT_EQ(xlsx_workbook_worksheet(wb_, "Sheet1", &again), XLSX_OK);
  EXPECT_EQ(value_of(cell(1, 1)), "integer:1");
  XlsxCell c;
  ASSERT_EQ(xlsx_sheet_cell(&again, 1, 1, &c), XLSX_OK);
  EXPECT_EQ(c.index, index);
}

}  // namespace
}  // namespace sheet_test

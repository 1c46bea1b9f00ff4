// Finding cells inside a row: through the row's cell array (rows with gaps, wide dense rows, cells out of
// order, cells created or removed inside an indexed row, rows holding one column twice, running out of
// memory while the array is built) and by counting in dense rows; every lookup finds the cell the
// ordinary walk finds.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "lib/sheet/sheet_index.h"
#include "lib/xml/parser.h"
#include "tests/sheet/sheet_test_util.h"
#include "tests/support/fault_alloc.h"

namespace sheet_test {
namespace {

class CellIndex : public SheetTest {
 protected:
  // The value of the cell found without creating it, or "absent".
  std::string found(uint32_t row, uint32_t column) {
    XlsxCell c;
    return xlsx_sheet_find_cell(&ws_, row, column, &c) == XLSX_OK ? value_of(c) : "absent";
  }
  // Finds each probed column of row (column * 10 where present, else absent), looking in row other
  // between lookups so that the cursor leaves the row.
  void expect_lookups(uint32_t row, const std::vector<uint32_t>& present, const std::vector<uint32_t>& probes,
                      uint32_t other) {
    for (uint32_t c : probes) {
      bool there = std::find(present.begin(), present.end(), c) != present.end();
      EXPECT_EQ(found(row, c), there ? "integer:" + std::to_string(c * 10) : "absent") << "column " << c;
      found(other, 1);
    }
  }
};

// A1-style column letters of column (1..16384).
std::string letters(uint32_t column) {
  std::string out;
  for (; column > 0; column = (column - 1) / 26) out.insert(out.begin(), static_cast<char>('A' + (column - 1) % 26));
  return out;
}

// A row r whose cells stand at the given columns, each holding column * 10; separator goes between cells.
std::string row_with(uint32_t r, const std::vector<uint32_t>& columns, const std::string& separator = "") {
  std::string out = "<row r=\"" + std::to_string(r) + "\">";
  for (uint32_t c : columns)
    out += separator + "<c r=\"" + letters(c) + std::to_string(r) + "\"><v>" + std::to_string(c * 10) + "</v></c>";
  return out + separator + "</row>";
}

// Columns 1..n in order.
std::vector<uint32_t> columns_to(uint32_t n) {
  std::vector<uint32_t> all;
  for (uint32_t c = 1; c <= n; c++) all.push_back(c);
  return all;
}

// Columns 1..n visited in a fixed scrambled order (every one once).
std::vector<uint32_t> scrambled(uint32_t n) {
  std::vector<uint32_t> order;
  uint32_t step = 7919 % n == 0 ? 1 : 7919;
  for (uint32_t i = 0; i < n; i++) order.push_back(1 + (i * step) % n);
  return order;
}

const XlsxRowEntry* entry_of(const XlsxWorksheet& ws, uint32_t row) {
  return ws.index ? sheet_index_find_row(ws.index, row) : nullptr;
}

TEST_F(CellIndex, GappedRowAnswersEveryColumnFromItsArray) {
  std::vector<uint32_t> present;
  for (uint32_t c = 1; c <= 400; c += 3) present.push_back(c);
  load_sheet(worksheet_with("<sheetData>" + row_with(1, {1}) + row_with(2, present) + row_with(3, {1}) + "</sheetData>"));
  expect_lookups(2, present, scrambled(205), 1);
  expect_lookups(2, present, scrambled(410), 3);
  const XlsxRowEntry* entry = entry_of(ws_, 2);
  ASSERT_NE(entry, nullptr);
  EXPECT_NE(entry->cells, nullptr) << "lookups in the middle of a gapped row use the cell array";
  EXPECT_EQ(entry->cell_count, present.size());
  EXPECT_EQ(entry_of(ws_, 1)->cells, nullptr) << "a row read only at its ends gets no array";
}

TEST_F(CellIndex, CellsCreatedInsideAnIndexedRowKeepItInOrder) {
  std::vector<uint32_t> odd;
  for (uint32_t c = 1; c <= 99; c += 2) odd.push_back(c);
  load_sheet(worksheet_with("<sheetData>" + row_with(5, odd) + row_with(6, {1}) + "</sheetData>"));
  EXPECT_EQ(found(5, 51), "integer:510");  // builds the array
  ASSERT_NE(entry_of(ws_, 5)->cells, nullptr);
  for (uint32_t c : scrambled(100)) {
    if (c % 2 == 0) set_int(5, c, c * 10);
    found(6, 1);
  }
  EXPECT_EQ(entry_of(ws_, 5)->cell_count, 100u);
  EXPECT_EQ(sheet_data_xml(), "<sheetData>" + row_with(5, columns_to(100)) + row_with(6, {1}) + "</sheetData>");
  for (uint32_t c : scrambled(100)) EXPECT_EQ(found(5, c), "integer:" + std::to_string(c * 10));
}

TEST_F(CellIndex, NewCellsGoOnTheSameSideOfWhiteSpaceAsBefore) {
  const std::string gap = "\n  ";
  load_sheet(worksheet_with("<sheetData>" + row_with(1, {1, 4, 9, 12, 20}, gap) + row_with(2, {1}) + "</sheetData>"));
  // From the end (column past the middle): after the predecessor; from the start: before the successor.
  set_int(1, 15, 150);
  found(2, 1);
  set_int(1, 3, 30);
  found(2, 1);
  set_int(1, 8, 80);
  EXPECT_EQ(sheet_data_xml(),
            "<sheetData><row r=\"1\">\n  <c r=\"A1\"><v>10</v></c>\n  <c r=\"C1\"><v>30</v></c><c r=\"D1\"><v>40</v></c>"
            "\n  <c r=\"H1\"><v>80</v></c><c r=\"I1\"><v>90</v></c>\n  <c r=\"L1\"><v>120</v></c><c r=\"O1\"><v>150</v></c>"
            "\n  <c r=\"T1\"><v>200</v></c>\n  </row>" +
                row_with(2, {1}) + "</sheetData>");
}

TEST_F(CellIndex, CellsOutOfOrderAreSortedBeforeTheArrayIsBuilt) {
  load_sheet(worksheet_with("<sheetData>" + row_with(1, {30, 2, 17, 9, 25, 40, 5}) + row_with(2, {1}) + "</sheetData>"));
  expect_lookups(1, {30, 2, 17, 9, 25, 40, 5}, {17, 9, 25, 2, 40, 30, 5, 18}, 2);
  EXPECT_EQ(sheet_data_xml(), "<sheetData>" + row_with(1, {2, 5, 9, 17, 25, 30, 40}) + row_with(2, {1}) + "</sheetData>");
}

TEST_F(CellIndex, ACellRemovedBehindTheIndexIsNeverReturned) {
  load_sheet(worksheet_with("<sheetData>" + row_with(1, {1, 3, 5, 7, 9, 11}) + row_with(2, {1}) + "</sheetData>"));
  EXPECT_EQ(found(1, 5), "integer:50");
  ASSERT_NE(entry_of(ws_, 1)->cells, nullptr);
  XlsxCell seven;
  ASSERT_EQ(xlsx_sheet_find_cell(&ws_, 1, 7, &seven), XLSX_OK);
  xml_node_remove_child(xml_node_parent(seven.element), seven.element);  // a change made outside the index
  found(2, 1);
  EXPECT_EQ(found(1, 7), "absent");
  EXPECT_EQ(found(1, 9), "integer:90");
  set_int(1, 7, 77);
  EXPECT_EQ(sheet_data_xml(), "<sheetData><row r=\"1\"><c r=\"A1\"><v>10</v></c><c r=\"C1\"><v>30</v></c><c r=\"E1\"><v>50</v></c>"
                              "<c r=\"G1\"><v>77</v></c><c r=\"I1\"><v>90</v></c><c r=\"K1\"><v>110</v></c></row>" +
                                  row_with(2, {1}) + "</sheetData>");
}

TEST_F(CellIndex, WideDenseRowIsReadInTheMiddleThroughTheArray) {
  load_sheet(worksheet_with("<sheetData>" + row_with(1, columns_to(300)) + row_with(2, {1}) + "</sheetData>"));
  expect_lookups(1, columns_to(300), scrambled(300), 2);
  EXPECT_NE(entry_of(ws_, 1)->cells, nullptr);
}

TEST_F(CellIndex, RowsHoldingAColumnTwiceAreWalkedAsBefore) {
  load_sheet(worksheet_with("<sheetData><row r=\"1\"><c r=\"A1\"><v>1</v></c><c r=\"C1\"><v>2</v></c><c r=\"C1\"><v>3</v></c>"
                            "<c r=\"F1\"><v>4</v></c><c r=\"H1\"><v>5</v></c><c r=\"H1\"><v>6</v></c><c r=\"K1\"><v>7</v></c>"
                            "</row>" +
                            row_with(2, {1}) + "</sheetData>"));
  // A walk from the start finds the first of the two, a walk from the end the last.
  EXPECT_EQ(value_at(1, 3), "integer:2");
  found(2, 1);
  EXPECT_EQ(value_at(1, 8), "integer:6");
  found(2, 1);
  EXPECT_EQ(found(1, 4), "absent");
  const XlsxRowEntry* entry = entry_of(ws_, 1);
  EXPECT_EQ(entry->cells, nullptr);
  EXPECT_EQ(entry->no_cell_array, 1u);
  set_int(1, 4, 9);
  EXPECT_NE(sheet_data_xml().find("<c r=\"C1\"><v>3</v></c><c r=\"D1\"><v>9</v></c><c r=\"F1\">"), std::string::npos);
}

TEST_F(CellIndex, RunningOutOfMemoryForTheArrayFallsBackToTheWalk) {
  std::vector<uint32_t> present;
  for (uint32_t c = 2; c <= 200; c += 2) present.push_back(c);
  const std::string xml = worksheet_with("<sheetData>" + row_with(1, present) + row_with(2, {1}) + "</sheetData>");
  // Every allocation of a lookup in the middle of the row fails in turn: the answers stay the same.
  for (uint32_t fail_at = 1; fail_at < 100; fail_at++) {
    load_sheet(xml);
    found(2, 1);  // rows indexed outside the failing run
    bool failed;
    std::string got, missing;
    {
      xlsx_test::FaultAllocation fault(fail_at);
      got = found(1, 100);
      found(2, 1);
      missing = found(1, 101);
      failed = fault.failures() > 0;
    }
    EXPECT_EQ(got, "integer:1000");
    EXPECT_EQ(missing, "absent");
    if (!failed) {
      EXPECT_NE(entry_of(ws_, 1)->cells, nullptr);
      break;
    }
    ASSERT_LT(fail_at, 99u) << "the lookup never completed";
  }
  // Creating cells while the array cannot grow drops it and still puts each cell in its place.
  std::vector<uint32_t> created;
  for (uint32_t at = 1; at < 12; at++) {
    xlsx_status status;
    {
      xlsx_test::FaultAllocation grow(at);
      XlsxCell c;
      status = xlsx_sheet_cell(&ws_, 1, 51 + 2 * at, &c);
    }
    EXPECT_TRUE(status == XLSX_OK || status == XLSX_ERR_NO_MEMORY);
    if (status == XLSX_OK) created.push_back(51 + 2 * at);
    found(2, 1);
  }
  EXPECT_FALSE(created.empty());
  for (uint32_t c = 1; c <= 201; c++) {
    bool made = std::find(created.begin(), created.end(), c) != created.end();
    std::string want = made ? "empty:" : c % 2 == 0 && c <= 200 ? "integer:" + std::to_string(c * 10) : "absent";
    EXPECT_EQ(found(1, c), want) << c;
    found(2, 1);
  }
  std::string xml_now = sheet_data_xml();
  size_t last = 0;
  for (uint32_t c = 2; c <= 200; c++) {
    size_t at = xml_now.find("<c r=\"" + letters(c) + "1\"");
    if (at == std::string::npos) continue;
    EXPECT_GT(at, last) << "cells stay in column order at " << c;
    last = at;
  }
}

TEST_F(CellIndex, RandomReadsInDenseRowsFindEveryCell) {
  std::string data;
  for (uint32_t r = 1; r <= 50; r++) data += row_with(r, columns_to(10));
  load_sheet(worksheet_with("<sheetData>" + data + "</sheetData>"));
  std::mt19937 random(3);
  for (int i = 0; i < 2000; i++) {
    uint32_t r = 1 + random() % 50, c = 1 + random() % 10;
    ASSERT_EQ(value_at(r, c), "integer:" + std::to_string(c * 10)) << r << "," << c;
  }
}

TEST_F(CellIndex, GapsDuplicatesAndLateReferencesFindTheCellTheWalkFinds) {
  // Gaps: a guess counted from the last cell lands on the wrong column and the walk takes over.
  load_sheet(worksheet_with("<sheetData>" + row_with(1, {1, 3, 4, 8}) + "</sheetData>"));
  EXPECT_EQ(value_at(1, 3), "integer:30");
  EXPECT_EQ(value_at(1, 1), "integer:10");
  EXPECT_EQ(value_at(1, 2), "empty:");
  EXPECT_EQ(sheet_data_xml(), "<sheetData><row r=\"1\"><c r=\"A1\"><v>10</v></c><c r=\"B1\"/><c r=\"C1\"><v>30</v></c>"
                              "<c r=\"D1\"><v>40</v></c><c r=\"H1\"><v>80</v></c></row></sheetData>");
  // Duplicates of one column near the end: the rightmost one, as the walk from the end finds it; near
  // the start: the leftmost one, as the walk from the start finds it.
  load_sheet(worksheet_with("<sheetData><row r=\"1\"><c r=\"A1\"><v>1</v></c><c r=\"B1\"><v>2</v></c>"
                            "<c r=\"B1\"><v>22</v></c><c r=\"C1\"><v>3</v></c></row></sheetData>"));
  EXPECT_EQ(value_at(1, 2), "integer:22");
  load_sheet(worksheet_with("<sheetData><row r=\"1\"><c r=\"A1\"><v>1</v></c><c r=\"A1\"><v>11</v></c>" +
                            row_with(1, {2, 3, 4, 5}).substr(11) + "</sheetData>"));
  EXPECT_EQ(value_at(1, 1), "integer:1");
  // The reference attribute need not come first.
  load_sheet(worksheet_with("<sheetData><row r=\"1\"><c s=\"1\" r=\"A1\"><v>1</v></c><c t=\"n\" r=\"B1\"><v>2</v></c>"
                            "<c s=\"2\" r=\"C1\"><v>3</v></c></row></sheetData>"));
  EXPECT_EQ(value_at(1, 2), "integer:2");
  EXPECT_EQ(value_at(1, 3), "integer:3");
  EXPECT_EQ(value_at(1, 1), "integer:1");
}

TEST_F(CellIndex, CountedCellsStayRightAsCellsAreAddedAnywhere) {
  load_sheet(worksheet_with("<sheetData>" + row_with(1, {2, 3, 4}) + "</sheetData>"));
  EXPECT_EQ(value_at(1, 3), "integer:30");
  set_int(1, 5, 50);  // appended right after the last cell: still counted
  EXPECT_EQ(value_at(1, 4), "integer:40");
  EXPECT_EQ(value_at(1, 5), "integer:50");
  set_int(1, 8, 80);  // a gap: counting stops, the walk finds the cells
  set_int(1, 1, 10);  // before the first
  set_int(1, 7, 70);  // inside the gap
  for (uint32_t c : {1u, 2u, 3u, 4u, 5u, 7u, 8u}) EXPECT_EQ(value_at(1, c), "integer:" + std::to_string(c * 10)) << c;
  EXPECT_EQ(sheet_data_xml(), "<sheetData>" + row_with(1, {1, 2, 3, 4, 5, 7, 8}) + "</sheetData>");
  // A new row filled from its first cell on is counted too.
  for (uint32_t c = 1; c <= 6; c++) set_int(2, c, 20 + c);
  EXPECT_EQ(value_at(2, 3), "integer:23");
  EXPECT_EQ(value_at(2, 6), "integer:26");
}

}  // namespace
}  // namespace sheet_test

// Cell lookup against a plain walk: on generated sheets (rows and cells with gaps, without `r`, out of
// order, white space and other elements between cells, a column held twice), every find and every create,
// in reading order and at random, with edits made behind the index now and then, gives a cell that a walk
// through the row finds at that place, and leaves the rows and cells in ascending order.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "lib/sheet/sheet_index.h"
#include "tests/sheet/sheet_test_util.h"

namespace sheet_test {
namespace {

using Random = std::mt19937;

uint32_t pick(Random& random, uint32_t n) { return static_cast<uint32_t>(random() % n); }

std::string letters(uint32_t column) {
  std::string out;
  for (; column > 0; column = (column - 1) / 26) out.insert(out.begin(), static_cast<char>('A' + (column - 1) % 26));
  return out;
}

// One row's element text: cells at ascending columns with gaps, some without `r`, a pair swapped now and
// then, white space between cells, sometimes an element that is not a cell at the end.
std::string random_row(Random& random, uint32_t number, bool with_r, uint32_t* id) {
  std::vector<std::string> cells;
  uint32_t column = 0;
  uint32_t count = pick(random, 14);
  for (uint32_t i = 0; i < count; i++) {
    column += 1 + (pick(random, 3) == 0 ? pick(random, 40) : 0);
    std::string r = pick(random, 10) == 0 ? "" : " r=\"" + letters(column) + std::to_string(number) + "\"";
    cells.push_back("<c" + r + "><v>" + std::to_string((*id)++) + "</v></c>");
  }
  if (cells.size() > 1 && pick(random, 6) == 0) std::swap(cells[0], cells[1 + pick(random, cells.size() - 1)]);
  std::string text = with_r ? "<row r=\"" + std::to_string(number) + "\">" : "<row>";
  for (const std::string& cell : cells) text += (pick(random, 4) == 0 ? "\n   " : "") + cell;
  if (pick(random, 12) == 0) text += "<extLst/>";
  return text + "</row>";
}

// A sheet of rows with gaps between their numbers, and either a few rows without `r` (each the row after
// its predecessor, as it is read) or two rows out of order.
std::string random_sheet(Random& random, uint32_t* max_row) {
  std::vector<std::string> rows;
  uint32_t number = 0, id = 1;
  uint32_t count = 1 + pick(random, 30);
  bool swap = pick(random, 4) == 0;
  for (uint32_t i = 0; i < count; i++) {
    bool with_r = swap || pick(random, 12) != 0;
    number += 1 + (with_r && pick(random, 3) == 0 ? pick(random, 5) : 0);
    rows.push_back(random_row(random, number, with_r, &id));
  }
  if (swap && rows.size() > 1) std::swap(rows[pick(random, rows.size())], rows[pick(random, rows.size())]);
  *max_row = number + 2;
  std::string data;
  for (const std::string& row : rows) data += (pick(random, 3) == 0 ? "\n " : "") + row;
  return worksheet_with("<sheetData>" + data + "</sheetData>");
}

class CellLookup : public SheetTest {
 protected:
  XmlNode* sheet_data() { return xml_node_child(xlsx_part_root(ws_.part), "sheetData"); }

  // The plain walk: every `c` element of the row numbered r whose column is c, in document order.
  std::vector<XmlNode*> walk(uint32_t r, uint32_t c) {
    std::vector<XmlNode*> found;
    for (XmlNode* row = xml_node_first_element(sheet_data()); row; row = xml_node_next_element(row)) {
      if (!xml_node_is_element(row, "row") || sheet_row_number(row) != r) continue;
      for (XmlNode* cell = xml_node_first_element(row); cell; cell = xml_node_next_element(cell))
        if (xml_node_is_element(cell, "c") && sheet_cell_column(cell) == c) found.push_back(cell);
    }
    return found;
  }

  // Rows in ascending order and, within each row the index looked into, cells in ascending order.
  void expect_ordered() {
    uint32_t previous_row = 0;
    for (XmlNode* row = xml_node_first_element(sheet_data()); row; row = xml_node_next_element(row)) {
      uint32_t number = sheet_row_number(row);
      ASSERT_GT(number, previous_row);
      previous_row = number;
      const XlsxRowEntry* entry = ws_.index ? sheet_index_find_row(ws_.index, number) : nullptr;
      if (!entry || !entry->cells_checked) continue;
      uint32_t previous_column = 0;
      for (XmlNode* cell = xml_node_first_element(row); cell; cell = xml_node_next_element(cell)) {
        if (!xml_node_is_element(cell, "c")) continue;
        ASSERT_GE(sheet_cell_column(cell), previous_column) << "row " << number;
        previous_column = sheet_cell_column(cell);
      }
    }
  }

  // One lookup, checked against the walk made right after it (the lookup may have numbered or sorted
  // the row it looked into, as the walk then sees it).
  void check(uint32_t r, uint32_t c, bool create) {
    XlsxCell cell;
    xlsx_status status = create ? xlsx_sheet_cell(&ws_, r, c, &cell) : xlsx_sheet_find_cell(&ws_, r, c, &cell);
    std::vector<XmlNode*> walked = walk(r, c);
    if (walked.empty()) {
      ASSERT_FALSE(create) << "created cell " << r << "," << c << " is not where the walk looks";
      ASSERT_EQ(status, XLSX_ERR_NOT_FOUND) << r << "," << c;
      return;
    }
    ASSERT_EQ(status, XLSX_OK) << r << "," << c;
    ASSERT_NE(std::find(walked.begin(), walked.end(), cell.element), walked.end())
        << (create ? "created " : "found ") << r << "," << c << ": not a cell of that place";
  }
};

TEST_F(CellLookup, EveryFindAndCreateGivesTheCellAWalkOfTheRowFinds) {
  Random random(20261207);
  for (int sheet = 0; sheet < 60; sheet++) {
    SCOPED_TRACE("sheet " + std::to_string(sheet));
    uint32_t max_row = 0;
    load_sheet(random_sheet(random, &max_row));
    const uint32_t max_column = 160;
    // Reading order over a window (the cursor's way), then random places; finds and creates mixed.
    uint32_t top = 1 + pick(random, max_row), left = 1 + pick(random, 40);
    for (uint32_t r = top; r < top + 4 && !HasFatalFailure(); r++)
      for (uint32_t c = left; c < left + 30 && !HasFatalFailure(); c++) check(r, c, pick(random, 5) == 0);
    for (int i = 0; i < 300 && !HasFatalFailure(); i++) {
      uint32_t r = 1 + pick(random, max_row);
      uint32_t c = 1 + (pick(random, 2) ? pick(random, 40) : pick(random, max_column));
      check(r, c, pick(random, 4) == 0);
      if (pick(random, 50) == 0) {
        // A change made behind the index: a cell of some row goes.
        XmlNode* row = xml_node_first_element(sheet_data());
        for (uint32_t k = pick(random, 8); k > 0 && xml_node_next_element(row); k--) row = xml_node_next_element(row);
        XmlNode* victim = sheet_last_cell(row);
        if (victim) xml_node_remove_child(row, victim);
      }
    }
    expect_ordered();
    if (HasFatalFailure()) return;
  }
}

}  // namespace
}  // namespace sheet_test

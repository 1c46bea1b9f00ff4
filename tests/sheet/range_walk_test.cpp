// Walking rectangular ranges in reading order.
#include <gtest/gtest.h>

#include "tests/sheet/sheet_test_util.h"

namespace sheet_test {
namespace {

using RangeWalk = SheetTest;

std::vector<std::string> walk(XlsxWorksheet* ws, const char* first, const char* last) {
  XlsxCellRef a, b;
  xlsx_cellref_set_text(&a, first);
  xlsx_cellref_set_text(&b, last);
  XlsxCellRange range;
  EXPECT_EQ(xlsx_range_init(ws, &a, &b, &range), XLSX_OK);
  XlsxCellIterator it;
  std::vector<std::string> refs;
  for (xlsx_iter_begin(&it, &range); !xlsx_iter_at_end(&it); xlsx_iter_next(&it)) {
    XlsxCell c = xlsx_iter_cell(&it);
    XlsxCellRef ref;
    EXPECT_EQ(xlsx_cell_ref(&c, &ref), XLSX_OK);
    refs.push_back(xlsx_cellref_text(&ref));
  }
  EXPECT_EQ(xlsx_iter_cell(&it).element, nullptr);
  return refs;
}

// Walks create missing cells, visit existing ones with their values, and take reversed corners in order.
TEST_F(RangeWalk, CellsAreVisitedInReadingOrder) {
  set_int(2, 2, 22);
  set_int(4, 1, 41);
  const struct {
    const char *first, *last;
    std::vector<std::string> refs;
  } walks[] = {{"A2", "B4", {"A2", "B2", "A3", "B3", "A4", "B4"}},
               {"C3", "B2", {"B2", "C2", "B3", "C3"}},
               {"B3", "C2", {"B2", "C2", "B3", "C3"}},
               {"D4", "D4", {"D4"}}};
  for (const auto& w : walks) EXPECT_EQ(walk(&ws_, w.first, w.last), w.refs) << w.first << ":" << w.last;
  EXPECT_EQ(value_at(2, 2), "integer:22");
  EXPECT_EQ(value_at(4, 1), "integer:41");
  load_sheet(worksheet_with("<sheetData/>"));
  EXPECT_EQ(walk(&ws_, "A1", "B2"), (std::vector<std::string>{"A1", "B1", "A2", "B2"}));
  EXPECT_EQ(sheet_data_xml(),
            "<sheetData><row r=\"1\"><c r=\"A1\"/><c r=\"B1\"/></row><row r=\"2\"><c r=\"A2\"/><c r=\"B2\"/></row></sheetData>");
}

TEST_F(RangeWalk, InvalidCornersAreRefused) {
  XlsxCellRef a = {0, 1, "?"}, b;
  xlsx_cellref_set_text(&b, "B2");
  XlsxCellRange range;
  EXPECT_EQ(xlsx_range_init(&ws_, &a, &b, &range), XLSX_ERR_INVALID_ARG);
  XlsxCellIterator it;
  EXPECT_EQ(xlsx_iter_begin(&it, nullptr), XLSX_ERR_INVALID_ARG);
  EXPECT_TRUE(xlsx_iter_at_end(&it));
}

}  // namespace
}  // namespace sheet_test

// The fixed cost of a single-cell command does not grow with the workbook: resolving the sheet goes
// through the workbook's position cache, so no sheet-name list is copied and nothing is allocated per
// sheet. Measured as library allocation calls, which copying names or building lists would show.
#include <gtest/gtest.h>

#include "tests/commands/commands_fixture.h"
#include "tests/support/fault_alloc.h"

namespace {

using FixedCostTest = CommandsTest;

constexpr const char* kReads =
    "for i = 1, 100 do xlsx.GetCellValue(1, 2, 3, last) xlsx.SetCellValue(1, 2, 3, i, 1, last) end";

uint32_t AllocationsOf(CommandsTest* test, const std::string& chunk, std::string* error) {
  xlsx_test::FaultAllocation counter(0);
  *error = test->Run(chunk);
  return counter.calls();
}

TEST_F(FixedCostTest, SingleCellCommandsAllocateTheSameWithOneSheetAndWithSixty) {
  ASSERT_EQ(Run("xlsx.Create(1, DIR .. '/a.xlsx') last = 1 xlsx.SetCellValue(1, 2, 3, 0, 1, last)"
                "xlsx.GetCellValue(1, 2, 3, last)"),
            "");
  std::string error;
  uint32_t one_sheet = AllocationsOf(this, kReads, &error);
  ASSERT_EQ(error, "");
  ASSERT_EQ(Run("for i = 2, 60 do xlsx.AddSheet(1, 'S' .. i) end last = 60 "
                "xlsx.SetCellValue(1, 2, 3, 0, 1, last) xlsx.GetCellValue(1, 2, 3, last)"),
            "");
  uint32_t sixty_sheets = AllocationsOf(this, kReads, &error);
  ASSERT_EQ(error, "");
  EXPECT_EQ(sixty_sheets, one_sheet);
  EXPECT_LE(one_sheet, 300u) << "a few blocks per read and write pair (the values and the new number text)";
}

TEST_F(FixedCostTest, CommandsUnderAllocationFailureReportAndLeaveNothingBehind) {
  ASSERT_EQ(Run("xlsx.Create(1, DIR .. '/a.xlsx') xlsx.SetCellValue(1, 1, 1, 'x')"), "");
  uint32_t live = xlsx_live_allocations();
  uint32_t reported = 0;
  for (uint32_t fail_at = 1; fail_at < 40; ++fail_at) {
    std::string error;
    {
      xlsx_test::FaultAllocation failing(fail_at, true);
      error = Run("xlsx.SetCellValue(1, 1, 1, 'shared text " + std::to_string(fail_at) +
                  "') xlsx.SetCellFormula(1, 2, 1, 'A1') for p in xlsx.CellRange(1, 'C1', 'D2') do end");
    }
    EXPECT_TRUE(error.empty() || EndsWith(error, "Specified cell is out of range!")) << fail_at << ": " << error;
    if (!error.empty()) ++reported;
    // A store that ran out of memory leaves the old text or an empty cell, never a broken one.
    double type = Number("return select(2, xlsx.GetCellValue(1, 1, 1))");
    EXPECT_TRUE(type == 3 || type == 0) << fail_at;
  }
  EXPECT_GT(reported, 0u) << "some allocations were made to fail";
  ASSERT_EQ(Run("xlsx.Close(1)"), "");
  lua_gc(L, LUA_GCCOLLECT);
  EXPECT_LT(xlsx_live_allocations(), live) << "closing released the document";
}

// Under every allocation failure a setter either reports failure or has made its change: none answers
// success with nothing stored. N changes at every run, so that no run finds the change made already.
TEST_F(FixedCostTest, SettersReportWhatTheyCouldNotStore) {
  ASSERT_EQ(Run("xlsx.Create(1, DIR .. '/a.xlsx') xlsx.AddSheet(1, 'Two') xlsx.SetCellValue(1, 2, 2, 0) N = 0"), "");
  const char* rows[][3] = {  // set-up, change, what holds after the change
      {"", "xlsx.SetColumnWidth(1, 2, N)", "xlsx.GetColumnWidth(1, 2) == N"},
      {"", "xlsx.SetRowHeight(1, 2, N)", "xlsx.GetRowHeight(1, 2) == N"},
      {"", "xlsx.HideColumn(1, 2, N % 2)", "xlsx.IsColumnHidden(1, 2) == N % 2"},
      {"", "xlsx.HideRow(1, 2, N % 2)", "xlsx.IsRowHidden(1, 2) == N % 2"},
      {"", "xlsx.SetSheetSelected(1, N % 2, 2)", "xlsx.IsSheetSelected(1, 2) == N % 2"},
      {"", "xlsx.SetSheetActive(1, 1 + N % 2)", "xlsx.IsSheetActive(1, 1 + N % 2) == 1"},
      {"", "xlsx.SetSheetVisibility(1, N % 2, 2)", "xlsx.GetSheetVisibility(1, 2) == N % 2"},
      {"", "xlsx.SetSheetName(1, 2, 'S' .. N)", "xlsx.GetSheetName(1, 2) == 'S' .. N"},
      {"", "xlsx.AddSheet(1, 'A' .. N, 1)", "xlsx.GetSheetName(1, 1) == 'A' .. N"},
      {"FIRST = xlsx.GetSheetName(1, 1)", "xlsx.MoveSheet(1, 1, 0)",
       "xlsx.GetSheetName(1, xlsx.GetSheetCount(1)) == FIRST"},
      {"xlsx.AddSheet(1, 'D' .. N)", "xlsx.DeleteSheet(1, xlsx.GetSheetIndex(1, 'D' .. N))",
       "xlsx.GetSheetIndex(1, 'D' .. N) == 0"},
      {"", "xlsx.SetProperty(1, 0, 'T' .. N)", "xlsx.GetProperty(1, 0) == 'T' .. N"},
      {"xlsx.SetProperty(1, 0, 'x')", "xlsx.DeleteProperty(1, 0)", "xlsx.GetProperty(1, 0) == ''"},
  };
  for (const auto& row : rows) {
    bool failed = true;
    for (uint32_t fail_at = 1; failed && fail_at < 500; ++fail_at) {
      ASSERT_EQ(Run(std::string("N = N + 1 ") + row[0]), "");
      std::string error;
      {
        xlsx_test::FaultAllocation fault(fail_at);
        error = Run(row[1]);
        failed = fault.failures() > 0;
      }
      if (error.empty()) {
        EXPECT_EQ(Number(std::string("return ") + row[2] + " and 1 or 0"), 1) << row[1] << ", allocation " << fail_at;
      }
    }
    EXPECT_FALSE(failed) << row[1];
  }
}

}  // namespace

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

}  // namespace

// CellRange loops leave the list of running loops exactly once: at the step that finds the end, when the
// collector takes a loop left early, when their document closes, or at once when the range cannot be
// built (which leaves nothing on the stack either). What scripts see of loops and their handles is
// checked by the script suite (tests/scripts/commands/ranges.lua).
#include <gtest/gtest.h>

#include "plugin/ranges.h"
#include "tests/commands/commands_fixture.h"

namespace {

using RangeLoopTest = CommandsTest;

TEST_F(RangeLoopTest, LoopsLeaveTheRunningOnesWhenDoneCollectedClosedOrRefused) {
  ASSERT_EQ(Run("xlsx.Create(1, DIR .. '/a.xlsx') for p in xlsx.CellRange(1, 1, 1, 2, 2) do end"), "");
  EXPECT_EQ(LiveRangeCount(), 0u);
  uint32_t live = xlsx_live_allocations();
  ASSERT_EQ(Run("for p in xlsx.CellRange(1, 1, 1, 2, 2) do break end step = xlsx.CellRange(1, 'A1', 'B2') step()"), "");
  EXPECT_EQ(LiveRangeCount(), 2u);
  EXPECT_EQ(xlsx_live_allocations(), live) << "a loop over existing cells takes no library memory";
  lua_gc(L, LUA_GCCOLLECT);
  EXPECT_EQ(LiveRangeCount(), 1u) << "the loop left early was collected";
  ASSERT_EQ(Run("xlsx.Close(1)"), "");
  EXPECT_EQ(LiveRangeCount(), 0u);
  EXPECT_EQ(Run("assert(step() == nil) step = nil"), "") << "the step after the close ends the loop";
  lua_gc(L, LUA_GCCOLLECT);
  ASSERT_EQ(Run("xlsx.Create(1, DIR .. '/a.xlsx')"), "");
  int top = lua_gettop(L);
  EXPECT_TRUE(EndsWith(Run("xlsx.CellRange(1, 'A1', 'XFE1')"), "Specified cell is out of range!"));
  EXPECT_EQ(lua_gettop(L), top);
  EXPECT_EQ(LiveRangeCount(), 0u);
}

}  // namespace

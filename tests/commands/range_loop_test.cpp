// CellRange loops: the iterator state is released exactly once (by the step that finds the end, by the
// collector, or by closing the document). That position handles resolve only through a running loop of
// their own document is checked by the script suite (tests/scripts/commands/ranges.lua).
#include <gtest/gtest.h>

#include "plugin/range_iterator.h"
#include "tests/commands/commands_fixture.h"

namespace {

using RangeLoopTest = CommandsTest;

TEST_F(RangeLoopTest, ACompleteLoopReleasesItsStateAtTheEnd) {
  ASSERT_EQ(Run("xlsx.Create(1, DIR .. '/a.xlsx')"), "");
  uint32_t live = xlsx_live_allocations();
  EXPECT_EQ(Text("local s = '' for p in xlsx.CellRange(1, 1, 1, 2, 2) do s = s .. xlsx.GetCellReference(1, p) .. ' ' end "
                 "return s"),
            "A1 B1 A2 B2 ");
  EXPECT_EQ(LiveRangeCount(), 0u);
  // What stays is the rows and cells the walk created, not loop state: a second walk adds nothing.
  uint32_t after_first = xlsx_live_allocations();
  EXPECT_GE(after_first, live);
  ASSERT_EQ(Run("for p in xlsx.CellRange(1, 1, 1, 2, 2) do end"), "");
  EXPECT_EQ(xlsx_live_allocations(), after_first);
  // Stepping by hand past the end and collecting the step function afterwards frees nothing twice.
  ASSERT_EQ(Run("step = xlsx.CellRange(1, 'A1', 'A2') assert(step()) assert(step()) assert(step() == nil) "
                "assert(step() == nil)"),
            "");
  EXPECT_EQ(LiveRangeCount(), 0u);
  ASSERT_EQ(Run("step = nil"), "");
  lua_gc(L, LUA_GCCOLLECT);
  EXPECT_EQ(LiveRangeCount(), 0u);
  EXPECT_EQ(xlsx_live_allocations(), after_first);
}

TEST_F(RangeLoopTest, LeavingALoopEarlyIsReleasedOnceByTheCollector) {
  ASSERT_EQ(Run("xlsx.Create(1, DIR .. '/a.xlsx') for p in xlsx.CellRange(1, 1, 1, 1, 1) do end"), "");
  uint32_t live = xlsx_live_allocations();
  ASSERT_EQ(Run("for p in xlsx.CellRange(1, 1, 1, 1, 1) do break end"), "");
  EXPECT_EQ(LiveRangeCount(), 1u);
  EXPECT_EQ(xlsx_live_allocations(), live + 3) << "range, current iterator and end marker";
  lua_gc(L, LUA_GCCOLLECT);
  lua_gc(L, LUA_GCCOLLECT);
  EXPECT_EQ(LiveRangeCount(), 0u);
  EXPECT_EQ(xlsx_live_allocations(), live);
}

TEST_F(RangeLoopTest, ClosingTheDocumentEndsItsLoopsAndReleasesTheirState) {
  ASSERT_EQ(Run("xlsx.Create(1, DIR .. '/a.xlsx') step = xlsx.CellRange(1, 1, 1, 3, 3) assert(step())"), "");
  EXPECT_EQ(LiveRangeCount(), 1u);
  ASSERT_EQ(Run("xlsx.Close(1)"), "");
  EXPECT_EQ(LiveRangeCount(), 0u);
  EXPECT_EQ(Run("assert(step() == nil)"), "") << "the step after the close ends the loop";
}

TEST_F(RangeLoopTest, RangeThatCannotBeBuiltLeavesNothingOnTheStack) {
  ASSERT_EQ(Run("xlsx.Create(1, DIR .. '/a.xlsx') xlsx.GetCellValue(1, 1, 1)"), "");
  uint32_t live = xlsx_live_allocations();
  int top = lua_gettop(L);
  EXPECT_TRUE(EndsWith(Run("xlsx.CellRange(1, 'A1', 'XFE1')"), "Specified cell is out of range!"));
  EXPECT_EQ(lua_gettop(L), top);
  EXPECT_EQ(LiveRangeCount(), 0u);
  EXPECT_EQ(xlsx_live_allocations(), live);
}

}  // namespace

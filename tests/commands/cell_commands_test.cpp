// Cell commands: argument errors raised by the host leave no memory behind. Error cells (which scripts
// cannot store) read as their own text with type 14 in the interoperability test (tests/commands/interop,
// a workbook written by openpyxl); refused AddSheet, selection, formulas without a cached value and loops
// ended by a deleted sheet are checked by the script suite.
#include <gtest/gtest.h>

#include "tests/commands/commands_fixture.h"

namespace {

using CellCommandsTest = CommandsTest;

TEST_F(CellCommandsTest, ArgumentErrorsRaisedByTheHostLeaveNothingBehind) {
  // Parse the sheet first: what is measured below is the commands, not the lazy loading of parts.
  ASSERT_EQ(Run("xlsx.Create(1, DIR .. '/a.xlsx') xlsx.SetCellValue(1, 1, 1, 1)"), "");
  uint32_t live = xlsx_live_allocations();
  for (const char* chunk : {"xlsx.SetCellValue(1, 1, 1, {})", "xlsx.SetCellFormula(1, 1, 1, nil)",
                            "xlsx.SetCellValue(1, 1, 1, nil, 3)", "xlsx.CellRange(1, 1, 1, 2)"}) {
    EXPECT_NE(Run(chunk), "") << chunk;
  }
  EXPECT_EQ(xlsx_live_allocations(), live);
  EXPECT_EQ(HostLiveTexts(), 0u);
}

}  // namespace

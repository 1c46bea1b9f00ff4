// The command and help tables against the written-out list of commands (the constants are checked by
// the script suite, where scripts see them).
#include <cstring>
#include <string>

#include "plugin/command_table.h"
#include "tests/plugin/canonical_commands.h"
#include "tests/support/live_allocations.h"

namespace {

using CommandTableTest = xlsx_test::CountedTest;

TEST_F(CommandTableTest, RowsAreCommandsInTableOrderWithTheirExactHelp) {
  const PluginCommand* commands = CommandTable();
  const PluginHelp* help = HelpTable();
  size_t previous = 0;
  uint32_t rows = 0;
  for (; commands[rows].name; ++rows) {
    size_t at = canonical::IndexOf(commands[rows].name);
    ASSERT_LT(at, canonical::kCommandCount) << commands[rows].name;
    EXPECT_TRUE(rows == 0 || at > previous) << commands[rows].name << " out of order";
    previous = at;
    EXPECT_NE(commands[rows].handler, nullptr);
    EXPECT_STREQ(help[rows].text, canonical::kCommands[at].help);
    EXPECT_EQ(help[rows].zero, 0u);
  }
  EXPECT_EQ(commands[rows].handler, nullptr) << "the end row has two nulls";
  EXPECT_EQ(rows, CommandCount());
  EXPECT_LE(rows, 44u);
  EXPECT_GE(rows, 2u) << "GetObjectType and UseSharedStrings are always there";
}

}  // namespace

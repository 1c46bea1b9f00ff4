// The command and help tables: one handler and one help row per command, ended by null rows, each help
// text showing the call of its own command. (Scripts see the commands and constants: the script suite
// checks them; korvadel_program_test checks the host lists these rows.)
#include <set>
#include <string>

#include "plugin/command_table.h"
#include "tests/support/live_allocations.h"

namespace {

using CommandTableTest = xlsx_test::CountedTest;

TEST_F(CommandTableTest, EachCommandHasAHandlerAndAHelpRowShowingItsCall) {
  const PluginCommand* commands = CommandTable();
  const PluginHelp* help = HelpTable();
  std::set<std::string> names;
  uint32_t rows = 0;
  for (; commands[rows].name; ++rows) {
    std::string name = commands[rows].name;
    EXPECT_TRUE(names.insert(name).second) << name << " twice";
    EXPECT_NE(commands[rows].handler, nullptr) << name;
    ASSERT_NE(help[rows].text, nullptr) << name;
    std::string text = help[rows].text;
    EXPECT_NE(text.find("xlsx." + name + "("), std::string::npos) << text;
    EXPECT_NE(text.find(") -- "), std::string::npos) << text;
    EXPECT_EQ(help[rows].zero, 0u);
  }
  EXPECT_EQ(commands[rows].handler, nullptr) << "the end row has two nulls";
  EXPECT_EQ(rows, CommandCount());
  EXPECT_GE(rows, 72u) << "the 44 base commands, 14 formatting and 14 layout commands";
  EXPECT_TRUE(names.count("GetObjectType") && names.count("UseSharedStrings")) << "always there";
}

}  // namespace

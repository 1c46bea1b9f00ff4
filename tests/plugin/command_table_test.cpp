// The command, help and constant tables against the written-out list of commands and constants.
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

struct Constant {
  const char* name;
  double value;
};

constexpr Constant kConstants[] = {
    {"XLSXATTRSHEETS", 32768},         {"XLSX_VISIBILITY_VISIBLE", 0},        {"XLSX_VISIBILITY_HIDDEN", 1},
    {"XLSX_VISIBILITY_VERYHIDDEN", 2}, {"XLSX_SHEETTYPE_WORKSHEET", 0},       {"XLSX_SHEETTYPE_CHARTSHEET", 1},
    {"XLSX_SHEETTYPE_DIALOGSHEET", 2}, {"XLSX_SHEETTYPE_MACROSHEET", 3},      {"XLSX_PROPERTY_TITLE", 0},
    {"XLSX_PROPERTY_SUBJECT", 1},      {"XLSX_PROPERTY_CREATOR", 2},          {"XLSX_PROPERTY_KEYWORDS", 3},
    {"XLSX_PROPERTY_DESCRIPTION", 4},  {"XLSX_PROPERTY_LASTMODIFIEDBY", 5},   {"XLSX_PROPERTY_LASTPRINTED", 6},
    {"XLSX_PROPERTY_CREATIONDATE", 7}, {"XLSX_PROPERTY_MODIFICATIONDATE", 8}, {"XLSX_PROPERTY_CATEGORY", 9},
    {"XLSX_PROPERTY_APPLICATION", 10}, {"XLSX_PROPERTY_DOCSECURITY", 11},     {"XLSX_PROPERTY_SCALECROP", 12},
    {"XLSX_PROPERTY_MANAGER", 13},     {"XLSX_PROPERTY_COMPANY", 14},         {"XLSX_PROPERTY_LINKSUPTODATE", 15},
    {"XLSX_PROPERTY_SHAREDDOC", 16},   {"XLSX_PROPERTY_HYPERLINKBASE", 17},   {"XLSX_PROPERTY_HYPERLINKSCHANGED", 18},
    {"XLSX_PROPERTY_APPVERSION", 19},
};

TEST_F(CommandTableTest, TheTwentyEightConstantsInOrder) {
  const PluginConstant* constants = ConstantTable();
  size_t i = 0;
  for (; constants[i].name; ++i) {
    ASSERT_LT(i, std::size(kConstants));
    EXPECT_STREQ(constants[i].name, kConstants[i].name);
    EXPECT_EQ(constants[i].value, kConstants[i].value) << constants[i].name;
    EXPECT_EQ(constants[i].zero, 0u);
  }
  EXPECT_EQ(i, 28u);
}

}  // namespace

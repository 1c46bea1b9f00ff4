// Cell commands where the plugin does more than pass a call on: error cells (which scripts cannot store)
// read with their own text, and argument errors leave no memory behind. Refused AddSheet, selection,
// formulas without a cached value and loops ended by a deleted sheet are checked by the script suite.
#include <gtest/gtest.h>

#include "plugin/access.h"
#include "plugin/documents.h"
#include "tests/commands/commands_fixture.h"

namespace {

using CellCommandsTest = CommandsTest;

TEST_F(CellCommandsTest, ErrorCellsReadAsTheirOwnTextWithType14) {
  ASSERT_EQ(Run("xlsx.Create(1, DIR .. '/a.xlsx')"), "");
  DocumentRecord* record = reinterpret_cast<DocumentRecord*>(globals.documentList);
  const char* texts[] = {"#N/A", "#DIV/0!", "#NUM!", "#REF!"};
  for (int i = 0; i < 4; ++i) {
    CellArgs args{1, i + 1, nullptr, nullptr};
    XlsxCellValue value{};
    xlsx_value_init(&value);
    xlsx_value_set_error(&value, texts[i]);
    ASSERT_EQ(SetCellValue(record, 1, &args, &value), XLSX_OK);
    xlsx_value_reset(&value);
    std::string chunk = "local v, t = xlsx.GetCellValue(1, 1, " + std::to_string(i + 1) + ") return v .. '|' .. t";
    EXPECT_EQ(Text(chunk), std::string(texts[i]) + "|14");
  }
}

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

// Sheet and cell commands where the plugin does more than pass a call on: a refused AddSheet moves no
// sheet, selection on views without the attribute, error cells with their own text, and formulas
// without a cached value.
#include <gtest/gtest.h>

#include "plugin/access.h"
#include "plugin/documents.h"
#include "tests/commands/commands_fixture.h"

namespace {

class SheetCommandsTest : public CommandsTest {
 protected:
  std::string SheetList() {
    return Text("local n = {} for i = 1, xlsx.GetSheetCount(1) do n[i] = xlsx.GetSheetName(1, i) end "
                "return table.concat(n, ',')");
  }
};

TEST_F(SheetCommandsTest, RefusedAddSheetMovesNothingAndReports) {
  ASSERT_EQ(Run("xlsx.Create(1, DIR .. '/a.xlsx') xlsx.AddSheet(1, 'B') xlsx.AddSheet(1, 'C')"), "");
  EXPECT_EQ(SheetList(), "Sheet1,B,C");
  EXPECT_TRUE(EndsWith(Run("xlsx.AddSheet(1, 'C', 1)"), "XSLX operation has failed!"));
  EXPECT_TRUE(EndsWith(Run("xlsx.AddSheet(1, 'a:b', 1)"), "XSLX operation has failed!"));
  EXPECT_EQ(SheetList(), "Sheet1,B,C") << "the last sheet did not move to position 1";
  EXPECT_EQ(Number("return xlsx.AddSheet(1, 'D', 2)"), 2);
  EXPECT_EQ(SheetList(), "Sheet1,D,B,C");
}

TEST_F(SheetCommandsTest, SelectingASheetWhoseViewLacksTheAttributeAddsIt) {
  ASSERT_EQ(Run("xlsx.Create(1, DIR .. '/a.xlsx') xlsx.AddSheet(1, 'B')"), "");
  EXPECT_EQ(Number("return xlsx.IsSheetSelected(1, 2)"), 0);
  ASSERT_EQ(Run("xlsx.SetSheetSelected(1, 1, 2)"), "");
  EXPECT_EQ(Number("return xlsx.IsSheetSelected(1, 2)"), 1);
  DocumentRecord* record = reinterpret_cast<DocumentRecord*>(globals.documentList);
  EXPECT_TRUE(SheetSelected(record, 2));
}

TEST_F(SheetCommandsTest, DeletingASheetEndsLoopsAndKeepsDefaultSheetAsSet) {
  ASSERT_EQ(Run("xlsx.Create(1, DIR .. '/a.xlsx') xlsx.AddSheet(1, 'B') xlsx.AddSheet(1, 'C')"
                "xlsx.SetDefaultSheet(1, 3) step = xlsx.CellRange(1, 1, 1, 2, 2) assert(step())"),
            "");
  ASSERT_EQ(Run("xlsx.DeleteSheet(1, 3)"), "");
  EXPECT_EQ(Run("assert(step() == nil)"), "");
  EXPECT_TRUE(EndsWith(Run("xlsx.GetCellValue(1, 1, 1)"), "Specified sheet is out of range!"));
}

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

TEST_F(CellCommandsTest, FormulaCellsHoldNoCachedValue) {
  ASSERT_EQ(Run("xlsx.Create(1, DIR .. '/a.xlsx') xlsx.SetCellValue(1, 1, 1, 5) xlsx.SetCellFormula(1, 1, 1, 'B1+1')"),
            "");
  EXPECT_EQ(Text("local v, t = xlsx.GetCellValue(1, 1, 1) return tostring(v) .. '|' .. t"), "nil|0");
  EXPECT_EQ(Text("return xlsx.GetCellFormula(1, 1, 1)"), "B1+1");
  ASSERT_EQ(Run("xlsx.ClearCellFormula(1, 1, 1)"), "");
  EXPECT_TRUE(EndsWith(Run("xlsx.GetCellFormula(1, 1, 1)"), "Cell doesn't have a formula!"));
}

TEST_F(CellCommandsTest, ArgumentErrorsRaisedByTheHostLeaveNothingBehind) {
  // Parse the sheet first: what is measured below is the commands, not the lazy loading of parts.
  ASSERT_EQ(Run("xlsx.Create(1, DIR .. '/a.xlsx') xlsx.SetCellValue(1, 1, 1, 1)"), "");
  uint32_t live = xlsx_live_allocations();
  EXPECT_NE(Run("xlsx.SetCellValue(1, 1, 1, {})"), "");
  EXPECT_NE(Run("xlsx.SetCellFormula(1, 1, 1, nil)"), "");
  EXPECT_NE(Run("xlsx.SetCellValue(1, 1, 1, nil, 3)"), "");
  EXPECT_NE(Run("xlsx.CellRange(1, 1, 1, 2)"), "");
  EXPECT_EQ(xlsx_live_allocations(), live);
  EXPECT_EQ(HostLiveTexts(), 0u);
}

}  // namespace

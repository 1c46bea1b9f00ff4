// The access layer: number arguments, cell addresses in their three forms, sheet resolution through the
// default sheet and the position cache, column numbers beyond 16 bits, the value type table, the
// property map, and text conversion with a non-UTF-8 system character set.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "lib/sheet/workbook.h"
#include "plugin/access.h"
#include "plugin/documents.h"
#include "tests/commands/commands_fixture.h"

namespace {

using AccessLayerTest = CommandsTest;

TEST(AccessNumbers, ToInt32TruncatesTowardZeroAndClampsWhatDoesNotFit) {
  struct Row {
    double in;
    int32_t out;
  } rows[] = {{3.9, 3},          {-3.9, -3},        {0.5, 0},           {-0.5, 0},
              {2147483647.0, INT32_MAX}, {4294967297.0, INT32_MAX}, {-1e300, INT32_MIN}, {65537, 65537}};
  for (const Row& row : rows) EXPECT_EQ(ToInt32(row.in), row.out) << row.in;
  EXPECT_EQ(ToInt32(std::numeric_limits<double>::quiet_NaN()), 0);
  EXPECT_EQ(ToInt32(INFINITY), INT32_MAX);
}

TEST(AccessValues, BuildValueFollowsTheTypeCodeTable) {
  uint32_t live = xlsx_live_allocations();
  struct Row {
    int32_t code;
    double number;
    uint32_t type;
  } rows[] = {{1, 3.9, XLSX_VALUE_INTEGER},   {12, 4, XLSX_VALUE_FLOAT},     {13, -2, XLSX_VALUE_BOOLEAN},
              {14, 3, XLSX_VALUE_INTEGER},    {14, 2.5, XLSX_VALUE_FLOAT},   {14, 1e20, XLSX_VALUE_FLOAT},
              {14, INFINITY, XLSX_VALUE_ERROR}, {1, NAN, XLSX_VALUE_ERROR},  {0, 5, XLSX_VALUE_EMPTY},
              {2, 5, XLSX_VALUE_EMPTY},       {99, 5, XLSX_VALUE_EMPTY}};
  for (const Row& row : rows) {
    XlsxCellValue value{};
    xlsx_value_init(&value);
    EXPECT_EQ(BuildValue(row.code, row.number, nullptr, &value), XLSX_OK);
    EXPECT_EQ(value.type, row.type) << "code " << row.code << " number " << row.number;
    xlsx_value_reset(&value);
  }
  XlsxCellValue value{};
  xlsx_value_init(&value);
  BuildValue(1, 1e300, nullptr, &value);
  EXPECT_EQ(value.integer, INT64_MAX) << "integers beyond 64 bits clamp instead of wrapping";
  BuildValue(3, 0, "abc", &value);
  EXPECT_STREQ(value.text, "abc");
  EXPECT_EQ(ScriptTypeOf(&value), CELL_TYPE_TEXT);
  xlsx_value_reset(&value);
  EXPECT_EQ(xlsx_live_allocations(), live);
}

TEST(AccessProperties, MapCoversExactlyZeroToNineteen) {
  for (int32_t p = 0; p < 20; ++p) EXPECT_EQ(MapProperty(p), p);
  EXPECT_EQ(MapProperty(-1), -1);
  EXPECT_EQ(MapProperty(20), -1);
  EXPECT_EQ(MapProperty(INT32_MIN), -1);
}

TEST_F(AccessLayerTest, TheThreeAddressFormsReachTheSameCell) {
  ASSERT_EQ(Run("xlsx.Create(1, DIR .. '/a.xlsx') xlsx.SetCellValue(1, 'B3', 'here')"), "");
  EXPECT_EQ(Text("return xlsx.GetCellValue(1, 2, 3)"), "here");
  EXPECT_EQ(Text("return xlsx.GetCellValue(1, 'b3')"), "here");
  EXPECT_EQ(Text("for p in xlsx.CellRange(1, 'B3', 'B3') do return xlsx.GetCellValue(1, p) end"), "here");
}

TEST_F(AccessLayerTest, ColumnsOf65536AndAboveAreRefusedNotCutTo16Bits) {
  ASSERT_EQ(Run("xlsx.Create(1, DIR .. '/a.xlsx') xlsx.SetCellValue(1, 1, 1, 'A1 stays')"), "");
  for (const char* x : {"65537", "65536", "131073", "16385"}) {
    std::string error = Run(std::string("xlsx.SetCellValue(1, ") + x + ", 1, 'wrong')");
    EXPECT_TRUE(EndsWith(error, "Specified cell is out of range!")) << x << ": " << error;
  }
  EXPECT_EQ(Text("return xlsx.GetCellValue(1, 1, 1)"), "A1 stays");
  EXPECT_EQ(Number("return xlsx.GetColumnCount(1)"), 1) << "nothing was created";
}

TEST_F(AccessLayerTest, SheetZeroMeansTheDefaultSheetAndTheCacheFollowsSheetChanges) {
  ASSERT_EQ(Run("xlsx.Create(1, DIR .. '/a.xlsx') xlsx.AddSheet(1, 'Two') xlsx.SetDefaultSheet(1, 2)"
                "xlsx.SetCellValue(1, 1, 1, 'two')"),
            "");
  DocumentRecord* record = reinterpret_cast<DocumentRecord*>(globals.documentList);
  XlsxWorksheet two{}, first{};
  ASSERT_EQ(ResolveSheet(record, EffectiveSheet(record, 0), &two), XLSX_OK);
  ASSERT_EQ(ResolveSheet(record, 1, &first), XLSX_OK);
  EXPECT_NE(two.part, first.part);
  EXPECT_EQ(ResolveSheet(record, 3, &first), XLSX_ERR_NOT_FOUND);
  EXPECT_EQ(ResolveSheet(record, 0, &first), XLSX_ERR_NOT_FOUND);
  // Moving the sheet: position 1 now resolves to the part that was at position 2.
  ASSERT_EQ(Run("xlsx.MoveSheet(1, 2, 1)"), "");
  XlsxWorksheet moved{};
  ASSERT_EQ(ResolveSheet(record, 1, &moved), XLSX_OK);
  EXPECT_EQ(moved.part, two.part);
  EXPECT_EQ(Text("return xlsx.GetCellValue(1, 1, 1, 1)"), "two");
  // Renaming and deleting keep the positions right.
  ASSERT_EQ(Run("xlsx.SetSheetName(1, 1, 'Renamed') xlsx.DeleteSheet(1, 2)"), "");
  EXPECT_EQ(SheetCount(record), 1u);
  EXPECT_EQ(Text("return xlsx.GetCellValue(1, 1, 1, 1)"), "two");
}

TEST_F(AccessLayerTest, CheckOrderIsIdThenSheetThenRowOrColumn) {
  ASSERT_EQ(Run("xlsx.Create(1, DIR .. '/a.xlsx')"), "");
  EXPECT_TRUE(EndsWith(Run("xlsx.GetRowHeight(2, 0, 5)"), "Cannot find specified XLSX document!"));
  EXPECT_TRUE(EndsWith(Run("xlsx.GetRowHeight(1, 0, 5)"), "Specified sheet is out of range!"));
  EXPECT_TRUE(EndsWith(Run("xlsx.GetRowHeight(1, 0, 1)"), "Specified row is out of range!"));
  EXPECT_TRUE(EndsWith(Run("xlsx.GetColumnWidth(1, 2, 1)"), "Specified column is out of range!"));
  EXPECT_TRUE(EndsWith(Run("xlsx.GetCellValue(1, 0, 0, 5)"), "Specified sheet is out of range!"));
}

class Latin1AccessTest : public CommandsTest {
 protected:
  const char* Charset() const override { return "ISO-8859-1"; }
};

TEST_F(Latin1AccessTest, TextsAreConvertedOnTheWayInAndOnTheWayOut) {
  EXPECT_EQ(globals.textPassThrough, 0u) << "the host told the plugin its texts are not UTF-8";
  char* release = nullptr;
  const char* converted = ToLibraryText("caf\xE9", &release);
  EXPECT_STREQ(converted, "caf\xC3\xA9");
  EXPECT_NE(release, nullptr);
  ReleaseLibraryText(release);
  PushHostText(hs, "caf\xC3\xA9");
  EXPECT_STREQ(lua_tostring(L, -1), "caf\xE9");
  PushHostText(hs, "\xE2\x82\xAC");
  EXPECT_STREQ(lua_tostring(L, -1), "\xE2\x82\xAC") << "a text Latin-1 cannot hold is pushed unconverted";
  lua_settop(L, 0);
  EXPECT_EQ(HostLiveTexts(), 0u) << "every converted text was released";
  ASSERT_EQ(Run("xlsx.Create(1, DIR .. '/a.xlsx') xlsx.SetSheetName(1, 1, 'Gr\\252\\223e')"), "");
  DocumentRecord* record = reinterpret_cast<DocumentRecord*>(globals.documentList);
  EXPECT_STREQ(SheetNameAt(record, 1), "Gr\xC3\xBC\xC3\x9F" "e") << "the library holds UTF-8";
  EXPECT_EQ(Text("return xlsx.GetSheetName(1, 1)"), "Gr\xFC\xDF" "e");
}

TEST_F(AccessLayerTest, PassThroughHandsTextsOverUnchanged) {
  EXPECT_EQ(globals.textPassThrough, 1u);
  char* release = nullptr;
  const char* text = "caf\xE9";
  EXPECT_EQ(ToLibraryText(text, &release), text);
  EXPECT_EQ(release, nullptr);
}

}  // namespace

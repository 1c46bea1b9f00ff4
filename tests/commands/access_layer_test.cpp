// The access layer: number arguments, sheet numbers through the workbook's position cache, and text
// conversion with a non-UTF-8 system character set. What scripts see of addresses, type codes,
// property numbers and the order of checks is checked by the script suite (tests/scripts/commands), and
// that every command converts its texts on the way in and out by the charset_* scripts there.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "plugin/access.h"
#include "tests/commands/commands_fixture.h"

namespace {

using AccessLayerTest = CommandsTest;

TEST(AccessNumbers, ToInt32TruncatesTowardZeroAndClampsWhatDoesNotFit) {
  struct Row {
    double in;
    int32_t out;
  } rows[] = {{3.9, 3},
              {-3.9, -3},
              {0.5, 0},
              {-0.5, 0},
              {2147483647.0, INT32_MAX},
              {4294967297.0, INT32_MAX},
              {-1e300, INT32_MIN},
              {65537, 65537}};
  for (const Row& row : rows) EXPECT_EQ(ToInt32(row.in), row.out) << row.in;
  EXPECT_EQ(ToInt32(std::numeric_limits<double>::quiet_NaN()), 0);
  EXPECT_EQ(ToInt32(INFINITY), INT32_MAX);
}

// Sheet numbers go through the workbook's position cache, which follows every change of the sheet list.
TEST_F(AccessLayerTest, SheetNumbersFollowMovesRenamesAndDeletions) {
  ASSERT_EQ(Run("xlsx.Create(1, DIR .. '/a.xlsx') xlsx.AddSheet(1, 'Two') xlsx.SetCellValue(1, 1, 1, 'two', 3, 2)"
                "xlsx.MoveSheet(1, 2, 1)"),
            "");
  EXPECT_EQ(Text("return xlsx.GetCellValue(1, 1, 1, 1)"), "two");
  ASSERT_EQ(Run("xlsx.SetSheetName(1, 1, 'Renamed') xlsx.DeleteSheet(1, 2)"), "");
  EXPECT_EQ(Text("return xlsx.GetCellValue(1, 1, 1, 1)"), "two");
}

class Latin1AccessTest : public CommandsTest {
 protected:
  const char* Charset() const override { return "ISO-8859-1"; }
};

TEST_F(Latin1AccessTest, TextsAreConvertedOnTheWayInAndOnTheWayOut) {
  EXPECT_EQ(globals.textPassThrough, 0u) << "the host told the plugin its texts are not UTF-8";
  LibraryText converted = ToLibraryText("caf\xE9");
  EXPECT_STREQ(converted.text, "caf\xC3\xA9");
  ReleaseLibraryText(&converted);
  PushHostText(hs, "caf\xC3\xA9");
  EXPECT_STREQ(lua_tostring(L, -1), "caf\xE9");
  PushHostText(hs, "\xE2\x82\xAC");
  EXPECT_STREQ(lua_tostring(L, -1), "\xE2\x82\xAC") << "a text Latin-1 cannot hold is pushed unconverted";
  lua_settop(L, 0);
  EXPECT_EQ(HostLiveTexts(), 0u) << "every converted text was released";
}

TEST_F(AccessLayerTest, PassThroughHandsTextsOverUnchanged) {
  EXPECT_EQ(globals.textPassThrough, 1u);
  const char* text = "caf\xE9";
  LibraryText same = ToLibraryText(text);
  EXPECT_EQ(same.text, text);
  EXPECT_EQ(same.converted, nullptr);
}

}  // namespace

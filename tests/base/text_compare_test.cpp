// Text comparisons, trimming and the ASCII character classes.
#include <gtest/gtest.h>

#include <string>

#include "lib/base/convert.h"
#include "tests/support/live_allocations.h"

namespace {

using TextCompare = xlsx_test::CountedTest;

TEST_F(TextCompare, EqualityStartsAndEndsHandleNulls) {
  const char* a = "x";
  EXPECT_TRUE(xlsx_str_equal(a, a));
  EXPECT_TRUE(xlsx_str_equal(nullptr, nullptr));
  EXPECT_FALSE(xlsx_str_equal(a, nullptr));
  EXPECT_TRUE(xlsx_str_equal("abc", std::string("abc").c_str()));
  EXPECT_FALSE(xlsx_str_equal("abc", "ab"));
  EXPECT_TRUE(xlsx_str_starts_with("xl/workbook.xml", "xl/"));
  EXPECT_TRUE(xlsx_str_starts_with("abc", ""));
  EXPECT_FALSE(xlsx_str_starts_with("ab", "abc"));
  EXPECT_FALSE(xlsx_str_starts_with(nullptr, ""));
  EXPECT_TRUE(xlsx_str_ends_with("sheet1.xml", ".xml"));
  EXPECT_TRUE(xlsx_str_ends_with("abc", ""));
  EXPECT_FALSE(xlsx_str_ends_with("bc", "abc"));
  EXPECT_FALSE(xlsx_str_ends_with("sheet1.xml", ".XML"));
  EXPECT_FALSE(xlsx_str_ends_with("a", nullptr));
  EXPECT_TRUE(xlsx_str_iequal("Sheet1", "SHEET1"));
  EXPECT_FALSE(xlsx_str_iequal("Sheet1", "Sheet2"));
  EXPECT_FALSE(xlsx_str_iequal("a", nullptr));
}

TEST_F(TextCompare, TrimWorksInPlace) {
  char text[] = " \t value with inner space \r\n";
  char* trimmed = xlsx_str_trim(text);
  EXPECT_STREQ(trimmed, "value with inner space");
  EXPECT_EQ(trimmed, text + 3);
  char blank[] = "   ";
  EXPECT_STREQ(xlsx_str_trim(blank), "");
  EXPECT_EQ(xlsx_str_trim(nullptr), nullptr);
}

// Plain ASCII on 0..255: bytes above 127 (Latin-1 letters, no-break space) belong to no class.
TEST_F(TextCompare, CharacterClassesCoverExactlyTheirAsciiBytes) {
  for (int c = -300; c < 600; ++c) {
    bool upper = c >= 'A' && c <= 'Z', lower = c >= 'a' && c <= 'z', digit = c >= '0' && c <= '9';
    bool hex_letter = (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
    EXPECT_EQ(char_is_space(c), c == ' ' || (c >= 9 && c <= 13)) << c;
    EXPECT_EQ(char_is_alpha(c), upper || lower) << c;
    EXPECT_EQ(char_is_alnum(c), upper || lower || digit) << c;
    EXPECT_EQ(char_is_xdigit(c), digit || hex_letter) << c;
    EXPECT_EQ(char_to_lower(c), upper ? c + 32 : c) << c;
  }
}

}  // namespace

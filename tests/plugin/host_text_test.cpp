// Text services: conversion between UTF-8 and a non-UTF-8 system character set in both directions,
// numbers read with the "C" rules, comparisons and formatting.
#include <cstdarg>
#include <cstring>
#include <string>

#include "host/text.h"
#include "tests/support/live_allocations.h"

namespace {

class HostTextTest : public xlsx_test::CountedTest {
 protected:
  void TearDown() override {
    HostSetCharset("UTF-8");
    EXPECT_EQ(HostLiveTexts(), 0u);
    CountedTest::TearDown();
  }
};

std::string Convert(const char* text, int32_t from, int32_t to, const HostTag* options = nullptr) {
  char* out = HostConvertText(text, from, to, options);
  if (!out) return "<null>";
  std::string result = out;
  HostFreeText(out);
  return result;
}

int32_t Format(char* buffer, uint32_t size, const char* format, ...) {
  va_list args;
  va_start(args, format);
  int32_t n = HostFormatText(buffer, size, format, args);
  va_end(args);
  return n;
}

constexpr int32_t SYS = HOST_ENCODING_SYSTEM, UTF8 = HOST_ENCODING_UTF8;

TEST_F(HostTextTest, ConversionsUnderUtf8CopyTextsUnchanged) {
  EXPECT_TRUE(HostCharsetIsUtf8());
  EXPECT_EQ(Convert("\xC3\xA9", SYS, UTF8), "\xC3\xA9");
  EXPECT_EQ(Convert("", UTF8, SYS), "");
  EXPECT_EQ(HostConvertText(nullptr, 0, 1, nullptr), nullptr);
  EXPECT_EQ(HostConvertText("a", 7, 1, nullptr), nullptr) << "unknown encoding";
  EXPECT_FALSE(HostSetCharset("NO-SUCH-CHARSET"));
  EXPECT_STREQ(HostCharset(), "UTF-8") << "a refused character set leaves the old one";
  int32_t encoding = -1;
  HostTag options[] = {{HOST_TAG_DEFAULT_ENCODING, reinterpret_cast<uintptr_t>(&encoding)}, {HOST_TAG_END, 0}};
  HostQuerySettings(options);
  EXPECT_EQ(encoding, SYS);
}

// Byte-by-byte Latin-1 conversion, refused characters and the length option are checked by
// tests/port/latin1_text_test.cpp; here a text far larger than any conversion buffer goes both ways.
TEST_F(HostTextTest, LargeLatin1TextsBecomeUtf8AndBack) {
  ASSERT_TRUE(HostSetCharset("ISO-8859-1"));
  std::string latin(100000, '\xE4');
  std::string utf8 = Convert(latin.c_str(), SYS, UTF8);
  EXPECT_EQ(utf8.size(), 200000u);
  EXPECT_EQ(Convert(utf8.c_str(), UTF8, SYS), latin);
}

TEST_F(HostTextTest, OutputsLargerThanTwiceTheInputGrowTheBuffer) {
  // Each 0x80 of Windows-1252 is the euro sign, three bytes in UTF-8.
  if (!HostSetCharset("CP1252")) GTEST_SKIP() << "the C library has no CP1252 converter";
  std::string input(100, '\x80');
  char* out = HostConvertText(input.c_str(), SYS, UTF8, nullptr);
  ASSERT_NE(out, nullptr);
  EXPECT_TRUE(std::string(out, 3) == "\xE2\x82\xAC" && out[297] == '\xE2' && out[300] == '\0');
  HostFreeText(out);
}

TEST_F(HostTextTest, NumbersFollowTheCRulesAndCaseIsFoldedForAsciiOnly) {
  char* end = nullptr;
  EXPECT_EQ(HostTextToDouble("2.5x", &end), 2.5);
  EXPECT_STREQ(end, "x");
  EXPECT_EQ(HostTextToLong("99999999999", &end, 10), INT32_MAX);
  EXPECT_EQ(HostTextToLong("-99999999999", &end, 10), INT32_MIN);
  EXPECT_EQ(HostTextToLong("-42", &end, 10), -42);
  char buffer[8];
  EXPECT_EQ(Format(buffer, sizeof buffer, "%.1f|%s", 1.5, "long text"), 13);
  EXPECT_STREQ(buffer, "1.5|lon");
  EXPECT_TRUE(HostTextEqualsNoCase("Sheet1", "sHEET1"));
  EXPECT_FALSE(HostTextEqualsNoCase("Sheet1", "Sheet"));
  EXPECT_FALSE(HostTextEqualsNoCase("\xC3\xA9", "\xC3\x89"));
  EXPECT_FALSE(HostTextEqualsNoCase("a", nullptr));
}

}  // namespace

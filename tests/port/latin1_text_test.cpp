// The host converts between UTF-8 and an ISO-8859-1 system character set by itself, so that it works with
// C libraries that ship no converter module for it: every byte value both ways, the refusals of invalid
// UTF-8, the usual names of the set, and agreement with the C library's converter where there is one.
#include <iconv.h>

#include <cstdint>
#include <cstring>
#include <string>

#include "host/text.h"
#include "tests/support/live_allocations.h"

namespace {

const char kRefused[] = "<null>";

class Latin1TextTest : public xlsx_test::CountedTest {
 protected:
  void SetUp() override {
    CountedTest::SetUp();
    ASSERT_TRUE(HostSetCharset("ISO-8859-1"));
  }
  void TearDown() override {
    HostSetCharset("UTF-8");
    EXPECT_EQ(HostLiveTexts(), 0u);
    CountedTest::TearDown();
  }

  // Converts exactly the bytes of text (NULs included); the refusal marker when the host gives null.
  static std::string Convert(const std::string& text, int32_t from, int32_t to, size_t length = SIZE_MAX) {
    HostTag options[] = {{HOST_TAG_LENGTH, length == SIZE_MAX ? text.size() : length}, {HOST_TAG_END, 0}};
    char* out = HostConvertText(text.c_str(), from, to, options);
    if (!out) return kRefused;
    std::string result = out;
    HostFreeText(out);
    return result;
  }
  static std::string ToUtf8(const std::string& text) { return Convert(text, HOST_ENCODING_SYSTEM, HOST_ENCODING_UTF8); }
  static std::string ToLatin1(const std::string& text) {
    return Convert(text, HOST_ENCODING_UTF8, HOST_ENCODING_SYSTEM);
  }
};

// The C library's own UTF-8 to ISO-8859-1 conversion of text, the refusal marker when it refuses.
std::string ReferenceToLatin1(iconv_t cd, const std::string& text) {
  char out[16] = {};
  char* in = const_cast<char*>(text.data());
  size_t inLeft = text.size();
  char* dst = out;
  size_t outLeft = sizeof out - 1;
  iconv(cd, nullptr, nullptr, nullptr, nullptr);
  if (iconv(cd, &in, &inLeft, &dst, &outLeft) == static_cast<size_t>(-1)) return kRefused;
  if (iconv(cd, nullptr, nullptr, &dst, &outLeft) == static_cast<size_t>(-1)) return kRefused;
  return std::string(out, static_cast<size_t>(dst - out));
}

TEST_F(Latin1TextTest, EveryByteBecomesItsCodePointAndComesBack) {
  for (int value = 1; value < 256; ++value) {
    std::string latin(1, static_cast<char>(value));
    std::string utf8 = ToUtf8(latin);
    if (value < 0x80) {
      EXPECT_EQ(utf8, latin) << value;
    } else {
      ASSERT_EQ(utf8.size(), 2u) << value;
      EXPECT_EQ(static_cast<unsigned char>(utf8[0]), 0xC0 | (value >> 6)) << value;
      EXPECT_EQ(static_cast<unsigned char>(utf8[1]), 0x80 | (value & 0x3F)) << value;
    }
    EXPECT_EQ(ToLatin1(utf8), latin) << value;
  }
}

// Refused: characters the set lacks and invalid UTF-8, also when the length option cuts a character short.
TEST_F(Latin1TextTest, InvalidUtf8AndWiderCharactersAreRefused) {
  const struct {
    std::string utf8;
    const char* why;
  } refused[] = {
      {"\xC4\x80", "U+0100, the first character the set lacks"},
      {"a\xE2\x82\xAC", "the euro sign after a valid character"},
      {"\xF0\x9F\x98\x80", "outside the basic plane"},
      {"\x80", "a continuation byte with no lead"},
      {"\xC3", "a sequence cut short at the end"},
      {"\xC3" "a", "a lead byte followed by a plain character"},
      {"\xC1\xA9", "an overlong form of U+0069"},
      {"\xC0\x80", "an overlong form of NUL"},
      {"\xE0\x83\xA9", "a three-byte overlong form of U+00E9"},
      {"\xFF", "a byte no UTF-8 text holds"},
  };
  for (const auto& row : refused) EXPECT_EQ(ToLatin1(row.utf8), kRefused) << row.why;
  // The length option cuts at a byte, not at a character.
  EXPECT_EQ(Convert("\xC3\xA9\xC3\xA9", HOST_ENCODING_UTF8, HOST_ENCODING_SYSTEM, 2), "\xE9");
  EXPECT_EQ(Convert("\xC3\xA9\xC3\xA9", HOST_ENCODING_UTF8, HOST_ENCODING_SYSTEM, 3), kRefused);
}

TEST_F(Latin1TextTest, TheUsualNamesOfTheSetAreKnownWithoutAConverterModule) {
  for (const char* name : {"ISO-8859-1", "iso-8859-1", "ISO8859-1", "ISO_8859-1", "latin1", "L1", "CP819"}) {
    ASSERT_TRUE(HostSetCharset(name)) << name;
    EXPECT_STREQ(HostCharset(), name);
    EXPECT_FALSE(HostCharsetIsUtf8()) << name;
    EXPECT_EQ(ToUtf8("\xE9"), "\xC3\xA9") << name;
    EXPECT_EQ(ToLatin1("\xE2\x82\xAC"), kRefused) << name;
  }
}

// Switching back to UTF-8 makes conversions plain copies again.
TEST_F(Latin1TextTest, BackToUtf8TextsAreCopiedAgain) {
  ASSERT_TRUE(HostSetCharset("UTF-8"));
  EXPECT_EQ(ToLatin1("\xE2\x82\xAC"), "\xE2\x82\xAC");
  EXPECT_EQ(ToUtf8("\xC3\xA9"), "\xC3\xA9");
}

// Every text of one or two bytes, and every three-byte text led by the bytes that start three-byte forms,
// converts as the C library's own converter converts it (where the C library has one for the set).
TEST_F(Latin1TextTest, ResultsMatchTheCLibraryConverter) {
  iconv_t cd = iconv_open("ISO-8859-1", "UTF-8");
  if (cd == reinterpret_cast<iconv_t>(-1)) {
    GTEST_SKIP() << "the C library has no ISO-8859-1 converter to compare with";
  }
  int mismatches = 0;
  auto check = [&](const std::string& text) {
    std::string expected = ReferenceToLatin1(cd, text);
    std::string actual = ToLatin1(text);
    if (actual != expected && ++mismatches <= 10) {
      ADD_FAILURE() << "bytes " << ::testing::PrintToString(text) << ": " << ::testing::PrintToString(actual)
                    << ", the C library gives " << ::testing::PrintToString(expected);
    }
  };
  for (int a = 1; a < 256; ++a) {
    check(std::string(1, static_cast<char>(a)));
    for (int b = 1; b < 256; ++b) check({static_cast<char>(a), static_cast<char>(b)});
  }
  for (int a = 0xE0; a < 0x100; a += 0x0F) {
    for (int b = 0x80; b < 0xC0; ++b) check({static_cast<char>(a), static_cast<char>(b), '\xA9'});
  }
  iconv_close(cd);
  EXPECT_EQ(mismatches, 0);
}

}  // namespace

// Number <-> text conversions (integer texts, the shortest double text, strict parsers, prefix
// scanners), text comparisons, trimming and the ASCII character classes.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <string>

#include "lib/base/convert.h"
#include "lib/base/host_ops.h"
#include "tests/support/live_allocations.h"

namespace {

using Convert = xlsx_test::CountedTest;

std::string double_text(double value) {
  char buffer[40];
  uint32_t n = xlsx_double_to_text(buffer, value);
  EXPECT_EQ(n, std::strlen(buffer));
  return buffer;
}

TEST_F(Convert, IntegerAndDoubleTexts) {
  char buffer[32];
  EXPECT_EQ(xlsx_u64_to_text(UINT64_MAX, buffer), 20u);
  EXPECT_STREQ(buffer, "18446744073709551615");
  EXPECT_EQ(xlsx_i64_to_text(INT64_MIN, buffer), 20u);
  EXPECT_STREQ(buffer, "-9223372036854775808");
  const struct {
    double value;
    const char* text;
  } table[] = {{0.1, "0.1"},           {1e21, "1e+21"},     {1.0 / 3.0, "0.3333333333333333"},
               {-0.0, "-0"},           {42.0, "42"},        {123456789012.0, "123456789012"},
               {5e-324, "5e-324"},     {0.30000000000000004, "0.30000000000000004"},  // all 17 digits
               {INFINITY, "0"},        {std::nan(""), "0"}};
  for (const auto& row : table) {
    EXPECT_EQ(double_text(row.value), row.text) << row.text;
  }
  for (double v : {3.141592653589793, 1e-300, 1.7976931348623157e308, 2.2250738585072014e-308, -1e-7}) {
    double back = 0;
    ASSERT_TRUE(xlsx_text_to_double(double_text(v).c_str(), &back));
    EXPECT_EQ(back, v);
  }
}

// A strict parser accepts the whole text (blanks around it aside) or fails and leaves its output alone.
template <typename T>
struct StrictRow {
  const char* text;
  bool ok;
  T value;
};
template <typename T, size_t N>
void expect_strict(bool (*parse)(const char*, T*), const StrictRow<T> (&table)[N]) {
  for (const auto& row : table) {
    T out = 123;
    EXPECT_EQ(parse(row.text, &out), row.ok) << '"' << row.text << '"';
    EXPECT_EQ(out, row.ok ? row.value : T{123}) << '"' << row.text << '"';
  }
  T out;
  EXPECT_FALSE(parse(nullptr, &out));
}

TEST_F(Convert, StrictParsersTakeTheWholeText) {
  const StrictRow<double> doubles[] = {{"1.5", true, 1.5}, {"  -2e3  ", true, -2000}, {"1e+20", true, 1e20},
                                       {"\t7\r\n", true, 7}, {"1.5x", false, 0},      {"", false, 0},
                                       {"   ", false, 0},   {"1 2", false, 0},         {".", false, 0}};
  expect_strict(xlsx_text_to_double, doubles);
  const StrictRow<uint64_t> unsigned_table[] = {
      {"0", true, 0},      {"  +17 ", true, 17}, {"18446744073709551615", true, UINT64_MAX}, {"007", true, 7},
      {"-0", false, 0},    {" -1", false, 0},    {"18446744073709551616", false, 0},        {"12a", false, 0},
      {"", false, 0},      {"+", false, 0},      {"0x10", false, 0}};
  expect_strict(xlsx_text_to_u64, unsigned_table);
  const StrictRow<int64_t> signed_table[] = {
      {"-9223372036854775807", true, -INT64_MAX}, {"9223372036854775807", true, INT64_MAX},
      {"-9223372036854775808", false, 0},         {"9223372036854775808", false, 0},
      {" -42 ", true, -42}, {"+5", true, 5},      {"-0", true, 0}, {"  \t ", false, 0}, {"-", false, 0},
      {"4 2", false, 0},    {"1.0", false, 0}};
  expect_strict(xlsx_text_to_i64, signed_table);
  const struct {
    const char* text;
    int result;  // 1 true, 0 false, -1 refused
  } words[] = {{"1", 1},    {"true", 1}, {"TRUE", 1}, {"0", 0},  {"false", 0}, {"FaLsE", 0},
               {"yes", -1}, {"", -1},    {" 1", -1},  {"2", -1}, {nullptr, -1}};
  for (const auto& row : words) {
    bool out = row.result != 1, untouched = out;
    EXPECT_EQ(xlsx_text_to_bool(row.text, &out), row.result >= 0) << (row.text ? row.text : "null");
    EXPECT_EQ(out, row.result >= 0 ? row.result == 1 : untouched) << (row.text ? row.text : "null");
  }
  // The conversion of a double itself is the host's.
  XlsxHostOps ops = *xlsx_host_ops();
  ops.text_to_double = [](const char* text, char** end) {
    *end = const_cast<char*>(text) + std::strlen(text);
    return 6.5;
  };
  xlsx_set_host_ops(&ops);
  double out = 0;
  bool ok = xlsx_text_to_double("anything", &out);
  xlsx_set_host_ops(nullptr);
  EXPECT_TRUE(ok && out == 6.5);
}

// A prefix scanner stops at offset end (0: nothing taken, the value is then not looked at).
template <typename T>
void expect_scan(T (*scan)(const char*, const char**, int), const char* text, int base, T value, int end) {
  const char* stop = nullptr;
  T got = scan(text, &stop, base);
  EXPECT_EQ(stop - text, end) << text << " base " << base;
  if (end != 0) {
    EXPECT_EQ(got, value) << text << " base " << base;
  }
}

TEST_F(Convert, ScannersEndsBasesAndLimits) {
  const struct {
    const char* text;
    int base;
    uint64_t value;
    int end;
  } table[] = {{"123abc", 10, 123, 3}, {"  42", 10, 42, 4}, {"0x1F", 0, 31, 4}, {"0X1f", 16, 31, 4},
               {"1f", 16, 31, 2},      {"017", 0, 15, 3},   {"19", 0, 19, 2},  {"Zz", 36, 35 * 36 + 35, 2},
               {"102", 2, 2, 2},       {"-1", 10, UINT64_MAX, 2},  // two's-complement negation
               {"", 10, 0, 0},         {"  -", 10, 0, 0},   {"0x", 16, 0, 0},  {"5", -1, 0, 0},
               {"5", 37, 0, 0},        {"ffffffffffffffff", 16, UINT64_MAX, 16},
               {"10000000000000000", 16, 0, 0},  {"18446744073709551616", 10, 0, 0}};  // overflow
  for (const auto& row : table) expect_scan(xlsx_strtoull, row.text, row.base, row.value, row.end);
  const struct {
    const char* text;
    int64_t value;
    int end;
  } signed_table[] = {{"9223372036854775807", INT64_MAX, 19}, {"-9223372036854775807", -INT64_MAX, 20},
                      {"-9223372036854775808", 0, 0},         {"9223372036854775808", 0, 0},
                      {"-0x10", -16, 5},                      {"12 ", 12, 2}};
  for (const auto& row : signed_table) expect_scan(xlsx_strtoll, row.text, 0, row.value, row.end);
  EXPECT_EQ(xlsx_strtoll("77", nullptr, 10), 77);
}

TEST_F(Convert, ComparisonsTrimAndCharacterClasses) {
  const char* a = "x";
  EXPECT_TRUE(xlsx_str_equal(a, a) && xlsx_str_equal(nullptr, nullptr) && xlsx_str_equal("abc", std::string("abc").c_str()));
  EXPECT_FALSE(xlsx_str_equal(a, nullptr) || xlsx_str_equal("abc", "ab"));
  EXPECT_TRUE(xlsx_str_starts_with("xl/workbook.xml", "xl/") && xlsx_str_starts_with("abc", ""));
  EXPECT_FALSE(xlsx_str_starts_with("ab", "abc") || xlsx_str_starts_with(nullptr, ""));
  EXPECT_TRUE(xlsx_str_ends_with("sheet1.xml", ".xml") && xlsx_str_ends_with("abc", ""));
  EXPECT_FALSE(xlsx_str_ends_with("bc", "abc") || xlsx_str_ends_with("sheet1.xml", ".XML") ||
               xlsx_str_ends_with("a", nullptr));
  EXPECT_TRUE(xlsx_str_iequal("Sheet1", "SHEET1"));
  EXPECT_FALSE(xlsx_str_iequal("Sheet1", "Sheet2") || xlsx_str_iequal("a", nullptr));
  char text[] = " \t value with inner space \r\n";
  EXPECT_EQ(xlsx_str_trim(text), text + 3);
  EXPECT_STREQ(text + 3, "value with inner space");
  char blank[] = "   ";
  EXPECT_STREQ(xlsx_str_trim(blank), "");
  EXPECT_EQ(xlsx_str_trim(nullptr), nullptr);
  // Plain ASCII on 0..255: bytes above 127 (Latin-1 letters, no-break space) belong to no class.
  for (int c = -300; c < 600; ++c) {
    bool upper = c >= 'A' && c <= 'Z', lower = c >= 'a' && c <= 'z', digit = c >= '0' && c <= '9';
    EXPECT_EQ(char_is_space(c), c == ' ' || (c >= 9 && c <= 13)) << c;
    EXPECT_EQ(char_is_alpha(c), upper || lower) << c;
    EXPECT_EQ(char_is_alnum(c), upper || lower || digit) << c;
    EXPECT_EQ(char_is_xdigit(c), digit || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F')) << c;
    EXPECT_EQ(char_to_lower(c), upper ? c + 32 : c) << c;
  }
}

}  // namespace

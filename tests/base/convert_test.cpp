// Number <-> text conversions (the cases of tests/base/base.cases), text comparisons, trimming and the
// ASCII character classes.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "lib/base/convert.h"
#include "lib/base/host_ops.h"
#include "tests/support/cases.h"
#include "tests/support/live_allocations.h"

namespace {

using Convert = xlsx_test::CountedTest;
using xlsx_test::Case;

std::vector<Case> cases(const char* kind) { return xlsx_test::read_cases("base/base.cases", kind); }

// Doubles print in their shortest form and read back exactly; integer texts reach both 64-bit ends.
TEST_F(Convert, NumberTexts) {
  char buffer[40];
  EXPECT_TRUE(xlsx_u64_to_text(UINT64_MAX, buffer) == 20 && std::string(buffer) == "18446744073709551615");
  EXPECT_TRUE(xlsx_i64_to_text(INT64_MIN, buffer) == 20 && std::string(buffer) == "-9223372036854775808");
  std::vector<Case> rows = cases("double"), round = cases("roundtrip");
  rows.insert(rows.end(), round.begin(), round.end());
  for (const Case& c : rows) {
    double value = std::strtod(c[0].c_str(), nullptr), back = 0;
    uint32_t n = xlsx_double_to_text(buffer, value);
    EXPECT_EQ(n, std::strlen(buffer)) << c.where;
    if (c.kind == "double") {
      EXPECT_STREQ(buffer, c[1].c_str()) << c.where;
    } else {
      EXPECT_TRUE(xlsx_text_to_double(buffer, &back) && back == value) << c.where;
    }
  }
}

// A strict parser takes the whole text (blanks around it aside) or fails and leaves its output alone.
template <typename T>
void expect_strict(bool (*parse)(const char*, T*), const Case& c, T expected) {
  const T start = expected == T(0) ? T(1) : T(0);  // differs from the value to be written
  T out = start;
  EXPECT_EQ(parse(c[1].c_str(), &out), c[2] != "-") << c.where;
  EXPECT_EQ(out, c[2] != "-" ? expected : start) << c.where;
  EXPECT_FALSE(parse(nullptr, &out));
}

TEST_F(Convert, StrictParsersTakeTheWholeText) {
  for (const Case& c : cases("strict")) {
    if (c[0] == "double") expect_strict(xlsx_text_to_double, c, std::strtod(c[2].c_str(), nullptr));
    if (c[0] == "u64") expect_strict(xlsx_text_to_u64, c, uint64_t(std::strtoull(c[2].c_str(), nullptr, 10)));
    if (c[0] == "i64") expect_strict(xlsx_text_to_i64, c, int64_t(std::strtoll(c[2].c_str(), nullptr, 10)));
    if (c[0] == "bool") expect_strict(xlsx_text_to_bool, c, c[2] == "1");
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

// A prefix scanner stops where the number ends, takes nothing from a text without one, and refuses
// values beyond its type.
TEST_F(Convert, ScannersEndsBasesAndLimits) {
  for (const Case& c : cases("scan")) {
    const char* text = c[2].c_str();
    const char* stop = nullptr;
    int base = std::stoi(c[1]);
    uint64_t got = c[0] == "u64" ? xlsx_strtoull(text, &stop, base) : uint64_t(xlsx_strtoll(text, &stop, base));
    EXPECT_EQ(stop - text, std::stoi(c[4])) << c.where;
    uint64_t value = c[3][0] == '-' ? uint64_t(std::stoll(c[3])) : std::stoull(c[3]);
    EXPECT_TRUE(c[4] == "0" || got == value) << c.where;
  }
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
  char text[] = " \t value with inner space \r\n", blank[] = "   ";
  EXPECT_TRUE(xlsx_str_trim(text) == text + 3 && std::string(text + 3) == "value with inner space");
  EXPECT_TRUE(*xlsx_str_trim(blank) == '\0' && xlsx_str_trim(nullptr) == nullptr);
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

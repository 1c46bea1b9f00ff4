// StrBuf, DynArray and StrMap: contents, sources inside the container itself, sizes that would wrap, and
// failures that leave the container as it was; number <-> text conversions (the cases of tests/base/base.cases),
// text comparisons, trimming and the ASCII character classes.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "lib/base/alloc.h"
#include "lib/base/convert.h"
#include "lib/base/dynarray.h"
#include "lib/base/host_ops.h"
#include "lib/base/status.h"
#include "lib/base/strbuf.h"
#include "lib/base/strmap.h"
#include "tests/support/cases.h"
#include "tests/support/fault_alloc.h"
#include "tests/support/live_allocations.h"

namespace {

using xlsx_test::Case;
using xlsx_test::FaultAllocation;
using Convert = xlsx_test::CountedTest;
std::vector<Case> cases(const char* kind) { return xlsx_test::read_cases("base/base.cases", kind); }
std::vector<int> g_destroyed;
std::vector<std::string> g_released;

class Containers : public xlsx_test::CountedTest {
 protected:
  void SetUp() override {
    CountedTest::SetUp();
    g_destroyed.clear();
    g_released.clear();
    dynarray_init(&arr, sizeof(int), [](void* e) { g_destroyed.push_back(*static_cast<int*>(e)); });
    strmap_init(&map, [](void* v) { g_released.push_back(static_cast<char*>(v)), xlsx_free(v); });
  }
  void TearDown() override {
    strbuf_free(&sb);
    dynarray_free(&arr);
    strmap_free(&map);
    CountedTest::TearDown();
  }
  std::string text() const { return std::string(sb.data, sb.length); }
  // Pushes value; the block must have grown when it was full.
  void push(int value) {
    ASSERT_NE(dynarray_push(&arr, &value), nullptr);
    ASSERT_LE(arr.count, arr.capacity);
  }
  std::vector<int> values() const {
    std::vector<int> out;
    for (uint32_t i = 0; i < arr.count; ++i) out.push_back(*static_cast<int*>(dynarray_get(&arr, i)));
    return out;
  }
  xlsx_status set(const std::string& key, const std::string& value) {  // value as a counted copy
    char* copy = xlsx_strdup(value.c_str());
    xlsx_status status = strmap_set(&map, key.c_str(), copy);
    if (status != XLSX_OK) xlsx_free(copy);
    return status;
  }
  std::string get(const std::string& key) const {
    const char* value = static_cast<const char*>(strmap_get(&map, key.c_str()));
    return value ? value : "<none>";
  }
  StrBuf sb = {};
  DynArray arr;
  StrMap map;
};

// Appends, sets and clears keep the text terminated; a source inside the buffer survives its growth;
// detaching hands the block over (a fresh empty text when none was used).
TEST_F(Containers, StrBufContentsAndItsOwnText) {
  ASSERT_EQ(strbuf_append_bytes(&sb, nullptr, 0), XLSX_OK);
  EXPECT_STREQ(sb.data, "") << "appending nothing still makes an empty text";
  ASSERT_EQ(strbuf_append(&sb, "<row r=\""), XLSX_OK);
  ASSERT_EQ(strbuf_append_bytes(&sb, "12345", 2), XLSX_OK);
  ASSERT_EQ(strbuf_append(&sb, nullptr), XLSX_OK);
  ASSERT_EQ(strbuf_putc(&sb, '"'), XLSX_OK);
  EXPECT_EQ(strbuf_appendf(&sb, "%lld;%s", -5LL, std::string(300, 'q').c_str()), 303);
  EXPECT_EQ(text(), "<row r=\"12\"-5;" + std::string(300, 'q'));
  EXPECT_TRUE(strbuf_reserve(&sb, 1000) == XLSX_OK && sb.capacity >= 1000u);
  ASSERT_EQ(strbuf_set_bytes(&sb, "a\0b", 3), XLSX_OK);
  EXPECT_EQ(std::memcmp(sb.data, "a\0b", 4), 0);
  char* block = sb.data;
  strbuf_clear(&sb);
  EXPECT_TRUE(sb.data == block && sb.data[0] == '\0');
  strbuf_free(&sb);
  ASSERT_EQ(strbuf_set(&sb, "0123456789abc"), XLSX_OK);
  ASSERT_EQ(strbuf_append(&sb, sb.data), XLSX_OK);  // grows while reading itself
  EXPECT_EQ(text(), "0123456789abc0123456789abc");
  ASSERT_EQ(strbuf_set(&sb, sb.data + 13), XLSX_OK);
  EXPECT_EQ(text(), "0123456789abc");
  uint32_t length = 99;
  char* detached = strbuf_detach(&sb, &length);
  EXPECT_TRUE(length == 13 && sb.data == nullptr && sb.length == 0 && sb.capacity == 0);
  xlsx_free(detached);
  detached = strbuf_detach(&sb, &length);
  EXPECT_TRUE(detached[0] == '\0' && length == 0);
  xlsx_free(detached);
}

// Failed growth and sizes beyond 32 bits (refused before memory is asked for) change nothing.
TEST_F(Containers, StrBufFailuresChangeNothing) {
  ASSERT_EQ(strbuf_set(&sb, "0123456789abcde"), XLSX_OK);
  const StrBuf before = sb;
  {
    FaultAllocation fault(1, true);
    EXPECT_EQ(strbuf_putc(&sb, 'x'), XLSX_ERR_NO_MEMORY);
    EXPECT_EQ(strbuf_append(&sb, "more"), XLSX_ERR_NO_MEMORY);
    EXPECT_EQ(strbuf_set(&sb, "a text longer than the block"), XLSX_ERR_NO_MEMORY);
    EXPECT_LT(strbuf_appendf(&sb, "%d", 12345), 0);
    EXPECT_EQ(strbuf_reserve(&sb, 100), XLSX_ERR_NO_MEMORY);
    StrBuf unused = {};
    EXPECT_EQ(strbuf_append_bytes(&unused, "", 0), XLSX_ERR_NO_MEMORY);
    EXPECT_EQ(strbuf_detach(&unused, nullptr), nullptr);
    fault.fail_after(0);
    uint32_t calls = fault.calls();
    StrBuf huge = sb;
    huge.length = 0xFFFFFFFEu;  // pretend: only the size arithmetic is exercised
    EXPECT_EQ(strbuf_putc(&huge, 'b'), XLSX_ERR_NO_MEMORY);
    EXPECT_EQ(strbuf_append_bytes(&huge, "bc", 2), XLSX_ERR_NO_MEMORY);
    EXPECT_EQ(strbuf_reserve(&sb, 0xFFFFFFFFu), XLSX_ERR_NO_MEMORY);
    EXPECT_EQ(fault.calls(), calls);
  }
  EXPECT_TRUE(sb.data == before.data && sb.length == before.length && sb.capacity == before.capacity);
  EXPECT_STREQ(sb.data, "0123456789abcde");
}

// Inserts land in place (beyond the end: appended), removals destroy in order; an element of the array
// itself is inserted and pushed correctly while the block moves.
TEST_F(Containers, DynArrayInsertsRemovesAndTakesItsOwnElements) {
  push(10);
  push(30);
  for (auto [at, value] : {std::pair{1u, 20}, {99u, 40}, {0u, 5}})
    EXPECT_EQ(*static_cast<int*>(dynarray_insert(&arr, at, &value)), value) << at;
  EXPECT_EQ(*static_cast<int*>(dynarray_push(&arr, nullptr)), 0);
  EXPECT_EQ(values(), (std::vector<int>{5, 10, 20, 30, 40, 0}));
  EXPECT_EQ(dynarray_get(&arr, 6), nullptr);
  dynarray_remove(&arr, 1);
  dynarray_remove(&arr, 9);  // beyond the count: nothing
  EXPECT_TRUE(dynarray_pop(&arr));
  EXPECT_EQ(g_destroyed, (std::vector<int>{10, 0}));
  void* block = arr.data;
  dynarray_clear(&arr);
  EXPECT_EQ(g_destroyed, (std::vector<int>{10, 0, 5, 20, 30, 40}));
  EXPECT_TRUE(arr.count == 0 && arr.data == block && !dynarray_pop(&arr));
  dynarray_free(nullptr);
  while (arr.count < 8 || arr.count < arr.capacity) push(int(arr.count + 1));
  std::vector<int> expected = values();
  ASSERT_NE(dynarray_insert(&arr, 0, dynarray_get(&arr, 2)), nullptr);
  ASSERT_LE(arr.count, arr.capacity) << "a full block grows";
  expected.insert(expected.begin(), 3);
  while (arr.count < arr.capacity) push(0), expected.push_back(0);
  ASSERT_NE(dynarray_push(&arr, dynarray_get(&arr, 0)), nullptr);
  expected.push_back(3);
  EXPECT_EQ(values(), expected);
  EXPECT_TRUE(dynarray_reserve(&arr, 1000) == XLSX_OK && arr.capacity >= 1000u);
}

TEST_F(Containers, DynArrayFailuresChangeNothing) {
  while (arr.count == 0 || arr.count < arr.capacity) push(int(arr.count));
  const std::vector<int> before = values();
  void* block = arr.data;
  int nine = 9;
  {
    FaultAllocation fault(1, true);
    EXPECT_TRUE(!dynarray_push(&arr, &nine) && !dynarray_insert(&arr, 0, &nine));
    EXPECT_EQ(dynarray_reserve(&arr, arr.capacity + 1), XLSX_ERR_NO_MEMORY);
    DynArray wide, bytes;
    dynarray_init(&wide, 0x10000, nullptr);
    dynarray_init(&bytes, 0, nullptr);
    EXPECT_EQ(bytes.element_size, 1u) << "an element size of 0 is stored as 1";
    fault.fail_after(0);
    uint32_t calls = fault.calls();
    EXPECT_EQ(dynarray_reserve(&wide, 0x10000), XLSX_ERR_NO_MEMORY);  // 2^32 bytes
    EXPECT_EQ(dynarray_reserve(&arr, 0xFFFFFFFFu), XLSX_ERR_NO_MEMORY);
    EXPECT_EQ(fault.calls(), calls);
  }
  EXPECT_TRUE(arr.data == block && values() == before && g_destroyed.empty());
}

// Keys compare byte-wise; a replaced value is released (the same one is not); removal keeps the order
// and every other key found, and needs no memory.
TEST_F(Containers, StrMapFindsReplacesAndRemovesWithoutMemory) {
  for (int i = 0; i < 1000; ++i) ASSERT_EQ(set("k" + std::to_string(i), std::to_string(i * 7)), XLSX_OK);
  EXPECT_EQ(get("K1"), "<none>");
  EXPECT_STREQ(strmap_key_at(&map, 999), "k999");
  EXPECT_TRUE(!strmap_key_at(&map, 1000) && !strmap_value_at(&map, 1000));
  ASSERT_EQ(set("k5", "new"), XLSX_OK);
  ASSERT_EQ(strmap_set(&map, "k5", strmap_get(&map, "k5")), XLSX_OK);
  EXPECT_EQ(g_released, (std::vector<std::string>{"35"})) << "the replaced value, not the same one set again";
  {
    FaultAllocation fault(1, true);
    EXPECT_TRUE(strmap_remove(&map, "k5") && !strmap_remove(&map, "k5") && fault.calls() == 0);
  }
  EXPECT_STREQ(strmap_key_at(&map, 5), "k6");
  for (int i = 0; i < 1000; ++i) EXPECT_EQ(get("k" + std::to_string(i)), i == 5 ? "<none>" : std::to_string(i * 7));
  ASSERT_EQ(strmap_set(&map, "null", nullptr), XLSX_OK);  // a null value is not released
  strmap_clear(&map);
  EXPECT_FALSE(strmap_contains(&map, "k1"));
  EXPECT_EQ(g_released.size(), 1001u) << "the replaced, the removed and the 999 cleared";
  EXPECT_EQ(strmap_set(&map, nullptr, nullptr), XLSX_ERR_INVALID_ARG);
  strmap_free(nullptr);
}

// Each allocation of a set (bucket table, key copy, entry slot) fails in turn: at the first insertion,
// at one that grows the entries and at one that grows the table. A failed set changes nothing.
TEST_F(Containers, StrMapFailedSetLeavesTheMapAsItWas) {
  for (int existing : {0, 8, 11}) {
    strmap_clear(&map);
    for (int i = 0; i < existing; ++i) ASSERT_EQ(set("k" + std::to_string(i), "v"), XLSX_OK);
    char* value = xlsx_strdup("new");
    xlsx_test::for_each_allocation_failure([&](FaultAllocation& fault) {
      xlsx_status status = strmap_set(&map, "added", value);
      if (fault.failures() == 0) return;
      EXPECT_TRUE(status == XLSX_ERR_NO_MEMORY && map.entries.count == uint32_t(existing));
      EXPECT_FALSE(strmap_contains(&map, "added"));
      for (int i = 0; i < existing; ++i) EXPECT_TRUE(strmap_contains(&map, ("k" + std::to_string(i)).c_str()));
    });
    EXPECT_EQ(get("added"), "new");
  }
}

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
    if (c.kind == "double") EXPECT_STREQ(buffer, c[1].c_str()) << c.where;
    else EXPECT_TRUE(xlsx_text_to_double(buffer, &back) && back == value) << c.where;
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
    const char *text = c[2].c_str(), *stop = nullptr;
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
  EXPECT_TRUE(xlsx_str_equal(a, a) && xlsx_str_equal(nullptr, nullptr) &&
              xlsx_str_equal("abc", std::string("abc").c_str()));
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

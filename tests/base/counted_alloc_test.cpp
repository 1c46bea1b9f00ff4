// The counted allocator: counting rules, zero sizes, the out-of-memory report and the copies.
#include <gtest/gtest.h>

#include <cstring>

#include "lib/base/alloc.h"
#include "tests/support/console_capture.h"
#include "tests/support/fault_alloc.h"
#include "tests/support/live_allocations.h"

namespace {

using CountedAlloc = xlsx_test::CountedTest;

uint32_t g_custom_size = 0;
void custom_handler(uint32_t size) {
  g_custom_size = size;
}
void* refusing_malloc(uint32_t) {
  return nullptr;
}

TEST_F(CountedAlloc, CounterFollowsBlocksNotResizes) {
  uint32_t before = xlsx_live_allocations();
  void* a = xlsx_malloc(0);
  void* b = xlsx_calloc(0, 8);
  ASSERT_TRUE(a && b);
  EXPECT_NE(a, b);
  void* c = xlsx_realloc(nullptr, 10);
  EXPECT_EQ(xlsx_live_allocations(), before + 3);
  c = xlsx_realloc(c, 20);
  EXPECT_EQ(xlsx_live_allocations(), before + 3);
  xlsx_free(nullptr);
  EXPECT_EQ(xlsx_live_allocations(), before + 3);
  for (void* p : {a, b, c}) xlsx_free(p);
  EXPECT_EQ(xlsx_live_allocations(), before);
}

TEST_F(CountedAlloc, FailuresReportTheAdjustedSizeOnce) {
  uint32_t before = xlsx_live_allocations();
  char* kept = static_cast<char*>(xlsx_strdup("abc"));
  xlsx_test::FaultAllocation fault(1, true);
  EXPECT_EQ(xlsx_malloc(0), nullptr);
  EXPECT_EQ(fault.last_report(), 1u);
  EXPECT_EQ(xlsx_calloc(3, 100), nullptr);
  EXPECT_EQ(fault.last_report(), 300u);
  EXPECT_EQ(xlsx_realloc(kept, 1000), nullptr);
  EXPECT_EQ(fault.last_report(), 1000u);
  EXPECT_EQ(fault.reports(), 3u);
  EXPECT_STREQ(kept, "abc");  // the old block stays valid and counted
  EXPECT_EQ(xlsx_live_allocations(), before + 1);
  xlsx_free(kept);
}

TEST_F(CountedAlloc, CallocWhoseProductOverflowsFailsWithoutAskingTheHost) {
  xlsx_test::FaultAllocation fault(0);
  EXPECT_EQ(xlsx_calloc(0x10000, 0x10001), nullptr);
  EXPECT_EQ(fault.calls(), 0u);
  EXPECT_EQ(fault.last_report(), 0xFFFFFFFFu);
}

TEST_F(CountedAlloc, DefaultReportIsPrintedThroughTheHostConsole) {
  xlsx_test::ConsoleCapture console;
  {
    xlsx_test::FaultAllocation fault(1);
    xlsx_set_oom_handler(nullptr);  // the printed report instead of the fault's counter
    EXPECT_EQ(xlsx_calloc(3, 100), nullptr);
  }
  xlsx_default_oom_handler(4000000000u);
  EXPECT_EQ(console.text(),
            "Gridwerk-C: out of memory (requested 300 bytes)\n"
            "Gridwerk-C: out of memory (requested 4000000000 bytes)\n");
}

TEST_F(CountedAlloc, CustomHandlerReplacesTheReportUntilNullRestoresIt) {
  xlsx_test::ConsoleCapture console;
  XlsxHostOps saved = *xlsx_host_ops(), refusing = saved;
  refusing.malloc_fn = refusing_malloc;
  xlsx_set_host_ops(&refusing);
  xlsx_set_oom_handler(custom_handler);
  EXPECT_EQ(xlsx_malloc(77), nullptr);
  EXPECT_EQ(g_custom_size, 77u);
  EXPECT_EQ(console.text(), "");
  xlsx_set_oom_handler(nullptr);
  EXPECT_EQ(xlsx_malloc(78), nullptr);
  xlsx_set_host_ops(&saved);
  EXPECT_EQ(g_custom_size, 77u);
  EXPECT_EQ(console.text(), "Gridwerk-C: out of memory (requested 78 bytes)\n");
}

TEST_F(CountedAlloc, CopiesInCountedMemoryOrFailCleanly) {
  EXPECT_EQ(xlsx_memdup(nullptr, 4), nullptr);
  EXPECT_EQ(xlsx_strdup(nullptr), nullptr);
  EXPECT_EQ(xlsx_strndup(nullptr, 3), nullptr);
  const unsigned char bytes[] = {1, 0, 2, 255};
  void* copy = xlsx_memdup(bytes, 4);
  void* empty = xlsx_memdup(bytes, 0);
  char* text = xlsx_strdup("sheet1");
  ASSERT_TRUE(copy && empty && text);
  EXPECT_EQ(std::memcmp(copy, bytes, 4), 0);
  EXPECT_STREQ(text, "sheet1");
  for (void* p : {copy, empty, static_cast<void*>(text)}) xlsx_free(p);
  xlsx_test::FaultAllocation fault(1, true);  // and fail cleanly
  EXPECT_EQ(xlsx_strdup("abc"), nullptr);
  EXPECT_EQ(xlsx_strndup("abc", 2), nullptr);
  EXPECT_EQ(xlsx_memdup("abc", 3), nullptr);
  EXPECT_EQ(fault.reports(), 3u);
}

TEST_F(CountedAlloc, StrndupTakesAtMostNBytes) {
  const char unterminated[3] = {'x', 'y', 'z'};  // only n bytes may be read
  const struct {
    const char* text;
    uint32_t n;
    const char* expected;
  } table[] = {{"abcdef", 3, "abc"}, {"ab", 10, "ab"}, {"", 5, ""}, {"abc", 0, ""}, {unterminated, 3, "xyz"}};
  for (const auto& row : table) {
    char* copy = xlsx_strndup(row.text, row.n);
    ASSERT_NE(copy, nullptr);
    EXPECT_STREQ(copy, row.expected) << row.expected;
    xlsx_free(copy);
  }
}

TEST_F(CountedAlloc, FormattingGoesThroughTheHost) {
  char buffer[4];
  EXPECT_EQ(xlsx_snprintf(buffer, sizeof buffer, "%s", "abcdef"), 6);
  EXPECT_STREQ(buffer, "abc");
  EXPECT_EQ(xlsx_snprintf(nullptr, 0, "%lld", -12345LL), 6);
  xlsx_test::ConsoleCapture console;
  EXPECT_EQ(xlsx_printf("%s=%u", "rows", 3u), 6);
  EXPECT_EQ(console.text(), "rows=3");
}

}  // namespace

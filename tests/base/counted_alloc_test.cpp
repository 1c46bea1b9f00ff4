// The counted allocator: counting rules, zero sizes, the out-of-memory report and the copies.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "lib/base/alloc.h"
#include "tests/support/console_capture.h"
#include "tests/support/fault_alloc.h"
#include "tests/support/live_allocations.h"

namespace {

using CountedAlloc = xlsx_test::CountedTest;

uint32_t g_custom_reports = 0;
uint32_t g_custom_size = 0;
void custom_handler(uint32_t size) {
  ++g_custom_reports;
  g_custom_size = size;
}

TEST_F(CountedAlloc, ZeroSizedBlocksAreDistinctAndCounted) {
  uint32_t before = xlsx_live_allocations();
  void* a = xlsx_malloc(0);
  void* b = xlsx_calloc(0, 8);
  ASSERT_NE(a, nullptr);
  ASSERT_NE(b, nullptr);
  EXPECT_NE(a, b);
  EXPECT_EQ(xlsx_live_allocations(), before + 2);
  xlsx_free(a);
  xlsx_free(b);
  EXPECT_EQ(xlsx_live_allocations(), before);
}

TEST_F(CountedAlloc, ReallocCountsOnlyFreshBlocks) {
  uint32_t before = xlsx_live_allocations();
  void* p = xlsx_realloc(nullptr, 10);
  ASSERT_NE(p, nullptr);
  EXPECT_EQ(xlsx_live_allocations(), before + 1);
  p = xlsx_realloc(p, 20);
  ASSERT_NE(p, nullptr);
  EXPECT_EQ(xlsx_live_allocations(), before + 1);
  xlsx_free(p);
  EXPECT_EQ(xlsx_live_allocations(), before);
}

TEST_F(CountedAlloc, FreeOfNullChangesNothing) {
  uint32_t before = xlsx_live_allocations();
  xlsx_free(nullptr);
  EXPECT_EQ(xlsx_live_allocations(), before);
}

TEST_F(CountedAlloc, CallocZeroFills) {
  auto* p = static_cast<unsigned char*>(xlsx_calloc(16, 4));
  ASSERT_NE(p, nullptr);
  for (int i = 0; i < 64; ++i) EXPECT_EQ(p[i], 0) << i;
  xlsx_free(p);
}

TEST_F(CountedAlloc, DefaultReportPrintsTheRequestedSize) {
  xlsx_test::ConsoleCapture console;
  xlsx_default_oom_handler(123456);
  EXPECT_EQ(console.text(), "Gridwerk-C: out of memory (requested 123456 bytes)\n");
}

TEST_F(CountedAlloc, FailedMallocReportsOnceAndLeavesTheCounter) {
  uint32_t before = xlsx_live_allocations();
  xlsx_test::FaultAllocation fault(1);
  EXPECT_EQ(xlsx_malloc(0), nullptr);
  EXPECT_EQ(fault.reports(), 1u);
  EXPECT_EQ(fault.last_report(), 1u);  // the adjusted size
  EXPECT_EQ(xlsx_live_allocations(), before);
}

TEST_F(CountedAlloc, FailedCallocReportsTheProduct) {
  xlsx_test::FaultAllocation fault(1);
  EXPECT_EQ(xlsx_calloc(3, 100), nullptr);
  EXPECT_EQ(fault.reports(), 1u);
  EXPECT_EQ(fault.last_report(), 300u);
}

TEST_F(CountedAlloc, FailedCallocPrintsTheDefaultReport) {
  xlsx_test::ConsoleCapture console;
  {
    xlsx_test::FaultAllocation fault(1);
    xlsx_set_oom_handler(nullptr);  // the printed report instead of the fault's counter
    EXPECT_EQ(xlsx_calloc(3, 100), nullptr);
  }
  EXPECT_EQ(console.text(), "Gridwerk-C: out of memory (requested 300 bytes)\n");
}

TEST_F(CountedAlloc, CallocWhoseProductOverflowsFailsWithoutAllocating) {
  uint32_t before = xlsx_live_allocations();
  xlsx_test::FaultAllocation fault(0);
  EXPECT_EQ(xlsx_calloc(0x10000, 0x10001), nullptr);
  EXPECT_EQ(fault.calls(), 0u);  // the host was not asked for a wrapped size
  EXPECT_EQ(fault.reports(), 1u);
  EXPECT_EQ(fault.last_report(), 0xFFFFFFFFu);
  EXPECT_EQ(xlsx_live_allocations(), before);
}

TEST_F(CountedAlloc, FailedReallocKeepsTheOldBlock) {
  char* p = static_cast<char*>(xlsx_malloc(4));
  ASSERT_NE(p, nullptr);
  std::memcpy(p, "abc", 4);
  uint32_t before = xlsx_live_allocations();
  {
    xlsx_test::FaultAllocation fault(1);
    EXPECT_EQ(xlsx_realloc(p, 1000), nullptr);
    EXPECT_EQ(fault.last_report(), 1000u);
  }
  EXPECT_EQ(xlsx_live_allocations(), before);
  EXPECT_STREQ(p, "abc");
  xlsx_free(p);
}

TEST_F(CountedAlloc, NullHandlerRestoresThePrintedReport) {
  xlsx_test::ConsoleCapture console;
  g_custom_reports = 0;
  xlsx_set_oom_handler(custom_handler);
  {
    // Keep the custom handler: FaultAllocation installs its own, so fail through a raw table here.
    XlsxHostOps ops = *xlsx_host_ops();
    ops.malloc_fn = [](uint32_t) -> void* { return nullptr; };
    XlsxHostOps saved = *xlsx_host_ops();
    xlsx_set_host_ops(&ops);
    EXPECT_EQ(xlsx_malloc(77), nullptr);
    EXPECT_EQ(g_custom_reports, 1u);
    EXPECT_EQ(g_custom_size, 77u);
    EXPECT_EQ(console.text(), "");
    xlsx_set_oom_handler(nullptr);
    EXPECT_EQ(xlsx_malloc(78), nullptr);
    xlsx_set_host_ops(&saved);
  }
  EXPECT_EQ(g_custom_reports, 1u);
  EXPECT_EQ(console.text(), "Gridwerk-C: out of memory (requested 78 bytes)\n");
}

TEST_F(CountedAlloc, MemdupCopiesAndHandlesEdgeCases) {
  EXPECT_EQ(xlsx_memdup(nullptr, 4), nullptr);
  const unsigned char bytes[] = {1, 0, 2, 255};
  auto* copy = static_cast<unsigned char*>(xlsx_memdup(bytes, 4));
  ASSERT_NE(copy, nullptr);
  EXPECT_EQ(std::memcmp(copy, bytes, 4), 0);
  void* empty = xlsx_memdup(bytes, 0);
  EXPECT_NE(empty, nullptr);
  xlsx_free(copy);
  xlsx_free(empty);
}

TEST_F(CountedAlloc, StrdupCopiesTheTerminator) {
  EXPECT_EQ(xlsx_strdup(nullptr), nullptr);
  char* copy = xlsx_strdup("sheet1");
  ASSERT_NE(copy, nullptr);
  EXPECT_STREQ(copy, "sheet1");
  xlsx_free(copy);
}

TEST_F(CountedAlloc, StrndupTakesAtMostNBytes) {
  const struct {
    const char* text;
    uint32_t n;
    const char* expected;
  } table[] = {
      {"abcdef", 3, "abc"}, {"ab", 10, "ab"}, {"", 5, ""}, {"abc", 0, ""}, {"abc", 3, "abc"},
  };
  for (const auto& row : table) {
    char* copy = xlsx_strndup(row.text, row.n);
    ASSERT_NE(copy, nullptr);
    EXPECT_STREQ(copy, row.expected) << row.text << " " << row.n;
    xlsx_free(copy);
  }
  EXPECT_EQ(xlsx_strndup(nullptr, 3), nullptr);
}

TEST_F(CountedAlloc, StrndupReadsNoFurtherThanN) {
  const char unterminated[3] = {'x', 'y', 'z'};  // no NUL: only n bytes may be read
  char* copy = xlsx_strndup(unterminated, 3);
  ASSERT_NE(copy, nullptr);
  EXPECT_STREQ(copy, "xyz");
  xlsx_free(copy);
}

TEST_F(CountedAlloc, CopiesFailCleanlyWhenMemoryRunsOut) {
  uint32_t before = xlsx_live_allocations();
  xlsx_test::FaultAllocation fault(1, true);
  EXPECT_EQ(xlsx_strdup("abc"), nullptr);
  EXPECT_EQ(xlsx_strndup("abc", 2), nullptr);
  EXPECT_EQ(xlsx_memdup("abc", 3), nullptr);
  EXPECT_EQ(fault.reports(), 3u);
  EXPECT_EQ(xlsx_live_allocations(), before);
}

TEST_F(CountedAlloc, SnprintfReturnsTheFullLength) {
  char buffer[4];
  EXPECT_EQ(xlsx_snprintf(buffer, sizeof buffer, "%s", "abcdef"), 6);
  EXPECT_STREQ(buffer, "abc");
  EXPECT_EQ(xlsx_snprintf(nullptr, 0, "%d", 12345), 5);
}

TEST_F(CountedAlloc, PrintfGoesThroughTheHostConsole) {
  xlsx_test::ConsoleCapture console;
  EXPECT_EQ(xlsx_printf("%s=%u", "rows", 3u), 6);
  EXPECT_EQ(console.text(), "rows=3");
}

}  // namespace

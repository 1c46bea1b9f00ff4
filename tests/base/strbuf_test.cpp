// StrBuf: growth sequence, terminator, formatted append, detach, and failure leaving the buffer unchanged.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "lib/base/alloc.h"
#include "lib/base/strbuf.h"
#include "tests/support/fault_alloc.h"
#include "tests/support/live_allocations.h"

namespace {

class StrBufTest : public xlsx_test::CountedTest {
 protected:
  void TearDown() override {
    strbuf_free(&sb);
    xlsx_test::CountedTest::TearDown();
  }
  std::string text() const { return std::string(sb.data, sb.length); }
  StrBuf sb = {};
};

TEST_F(StrBufTest, FirstPutcAllocates16AndThe16thByteDoubles) {
  ASSERT_EQ(strbuf_putc(&sb, 'a'), XLSX_OK);
  EXPECT_EQ(sb.capacity, 16u);
  for (int i = 1; i < 15; ++i) ASSERT_EQ(strbuf_putc(&sb, 'a'), XLSX_OK);
  EXPECT_EQ(sb.capacity, 16u);  // 15 bytes and the terminator fill the block
  ASSERT_EQ(strbuf_putc(&sb, 'b'), XLSX_OK);
  EXPECT_EQ(sb.capacity, 32u);
  EXPECT_EQ(sb.data[16], '\0');
  const uint32_t needs[] = {33, 64, 65, 1000}, expected[] = {64, 64, 128, 1024};
  for (int i = 0; i < 4; ++i) {
    ASSERT_EQ(strbuf_reserve(&sb, needs[i]), XLSX_OK);
    EXPECT_EQ(sb.capacity, expected[i]) << needs[i];
  }
}

TEST_F(StrBufTest, AppendingNothingStillMakesAnEmptyText) {
  ASSERT_EQ(strbuf_append_bytes(&sb, nullptr, 0), XLSX_OK);
  ASSERT_NE(sb.data, nullptr);
  EXPECT_EQ(sb.capacity, 16u);
  EXPECT_STREQ(sb.data, "");
}

TEST_F(StrBufTest, AppendSetAndClearKeepTheTextTerminated) {
  ASSERT_EQ(strbuf_append(&sb, "<row r=\""), XLSX_OK);
  ASSERT_EQ(strbuf_append_bytes(&sb, "12345", 2), XLSX_OK);
  ASSERT_EQ(strbuf_append(&sb, nullptr), XLSX_OK);
  ASSERT_EQ(strbuf_putc(&sb, '"'), XLSX_OK);
  EXPECT_STREQ(sb.data, "<row r=\"12\"");
  ASSERT_EQ(strbuf_set_bytes(&sb, "a\0b", 3), XLSX_OK);
  EXPECT_EQ(sb.length, 3u);
  EXPECT_EQ(std::memcmp(sb.data, "a\0b", 4), 0);
  char* block = sb.data;
  strbuf_clear(&sb);
  EXPECT_EQ(sb.data, block);
  EXPECT_STREQ(sb.data, "");
}

TEST_F(StrBufTest, ItsOwnTextCanBeAppendedOrSet) {
  ASSERT_EQ(strbuf_set(&sb, "0123456789abc"), XLSX_OK);
  ASSERT_EQ(strbuf_append(&sb, sb.data), XLSX_OK);  // grows from 16 to 32 while reading itself
  EXPECT_EQ(text(), "0123456789abc0123456789abc");
  ASSERT_EQ(strbuf_set(&sb, sb.data + 13), XLSX_OK);
  EXPECT_EQ(text(), "0123456789abc");
}

TEST_F(StrBufTest, AppendfFormatsAndGrows) {
  ASSERT_EQ(strbuf_append(&sb, "x="), XLSX_OK);
  EXPECT_EQ(strbuf_appendf(&sb, "%lld;%.17g;%s", -5LL, 0.5, "end"), 10);
  EXPECT_EQ(text(), "x=-5;0.5;end");
  std::string longer(300, 'q');
  EXPECT_EQ(strbuf_appendf(&sb, "[%s]", longer.c_str()), 302);
  EXPECT_EQ(sb.capacity, 512u);
  EXPECT_EQ(text(), "x=-5;0.5;end[" + longer + "]");
}

TEST_F(StrBufTest, DetachHandsOverTheBlockAndResets) {
  ASSERT_EQ(strbuf_set(&sb, "abc"), XLSX_OK);
  char* block = sb.data;
  uint32_t length = 99;
  char* detached = strbuf_detach(&sb, &length);
  EXPECT_EQ(detached, block);
  EXPECT_EQ(length, 3u);
  EXPECT_TRUE(sb.data == nullptr && sb.length == 0 && sb.capacity == 0);
  xlsx_free(detached);
  detached = strbuf_detach(&sb, &length);  // never used: a fresh empty text
  ASSERT_NE(detached, nullptr);
  EXPECT_STREQ(detached, "");
  EXPECT_EQ(length, 0u);
  xlsx_free(detached);
  ASSERT_EQ(strbuf_append(&sb, "again"), XLSX_OK);
  EXPECT_EQ(text(), "again");
}

TEST_F(StrBufTest, FailedGrowthLeavesTheBufferUnchanged) {
  ASSERT_EQ(strbuf_set(&sb, "0123456789abcde"), XLSX_OK);  // 15 bytes: the block is full
  const StrBuf before = sb;
  xlsx_test::FaultAllocation fault(1, true);
  EXPECT_EQ(strbuf_putc(&sb, 'x'), XLSX_ERR_NO_MEMORY);
  EXPECT_EQ(strbuf_append(&sb, "more"), XLSX_ERR_NO_MEMORY);
  EXPECT_EQ(strbuf_set(&sb, "a text longer than the block"), XLSX_ERR_NO_MEMORY);
  EXPECT_LT(strbuf_appendf(&sb, "%d", 12345), 0);
  EXPECT_EQ(strbuf_reserve(&sb, 100), XLSX_ERR_NO_MEMORY);
  EXPECT_EQ(fault.reports(), 5u);
  EXPECT_TRUE(sb.data == before.data && sb.length == before.length && sb.capacity == before.capacity);
  EXPECT_STREQ(sb.data, "0123456789abcde");
  StrBuf unused = {};
  EXPECT_EQ(strbuf_append_bytes(&unused, "", 0), XLSX_ERR_NO_MEMORY);
  EXPECT_EQ(unused.data, nullptr);
  EXPECT_EQ(strbuf_detach(&unused, nullptr), nullptr);
}

TEST_F(StrBufTest, SizesNeverWrapPast32Bits) {
  ASSERT_EQ(strbuf_putc(&sb, 'a'), XLSX_OK);
  xlsx_test::FaultAllocation fault(0);
  EXPECT_EQ(strbuf_reserve(&sb, 0xFFFFFFFFu), XLSX_ERR_NO_MEMORY);
  StrBuf huge = sb;
  huge.length = 0xFFFFFFFEu;  // pretend: only the size arithmetic is exercised
  EXPECT_EQ(strbuf_putc(&huge, 'b'), XLSX_ERR_NO_MEMORY);
  EXPECT_EQ(strbuf_append_bytes(&huge, "bc", 2), XLSX_ERR_NO_MEMORY);
  EXPECT_EQ(fault.calls(), 0u);  // refused before asking for memory
  EXPECT_STREQ(sb.data, "a");
}

}  // namespace

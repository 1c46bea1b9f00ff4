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
  StrBuf sb = {};
};

std::string text_of(const StrBuf& sb) { return std::string(sb.data, sb.length); }

TEST_F(StrBufTest, ZeroFilledBufferIsEmptyAndValid) {
  strbuf_init(&sb);
  EXPECT_EQ(sb.data, nullptr);
  strbuf_clear(&sb);
  EXPECT_EQ(sb.length, 0u);
  EXPECT_EQ(sb.data, nullptr);
}

TEST_F(StrBufTest, FirstPutcAllocates16AndThe16thByteDoubles) {
  uint32_t before = xlsx_live_allocations();
  ASSERT_EQ(strbuf_putc(&sb, 'a'), XLSX_OK);
  EXPECT_EQ(sb.capacity, 16u);
  EXPECT_EQ(xlsx_live_allocations(), before + 1);
  for (int i = 1; i < 15; ++i) ASSERT_EQ(strbuf_putc(&sb, 'a'), XLSX_OK);
  EXPECT_EQ(sb.capacity, 16u);  // 15 bytes and the terminator fill the block
  ASSERT_EQ(strbuf_putc(&sb, 'b'), XLSX_OK);
  EXPECT_EQ(sb.capacity, 32u);
  EXPECT_EQ(sb.length, 16u);
  EXPECT_EQ(sb.data[16], '\0');
  EXPECT_EQ(xlsx_live_allocations(), before + 1);
}

TEST_F(StrBufTest, CapacitiesDoubleFrom16) {
  const uint32_t expected[] = {16, 16, 32, 64, 64, 128, 1024};
  const uint32_t needs[] = {1, 16, 17, 33, 64, 65, 1000};
  for (size_t i = 0; i < sizeof needs / sizeof needs[0]; ++i) {
    ASSERT_EQ(strbuf_reserve(&sb, needs[i]), XLSX_OK);
    EXPECT_EQ(sb.capacity, expected[i]) << "need " << needs[i];
  }
}

TEST_F(StrBufTest, AppendBytesOfNothingStillMakesAnEmptyText) {
  ASSERT_EQ(strbuf_append_bytes(&sb, nullptr, 0), XLSX_OK);
  ASSERT_NE(sb.data, nullptr);
  EXPECT_EQ(sb.capacity, 16u);
  EXPECT_STREQ(sb.data, "");
}

TEST_F(StrBufTest, AppendKeepsTheTextTerminated) {
  ASSERT_EQ(strbuf_append(&sb, "<row r=\""), XLSX_OK);
  ASSERT_EQ(strbuf_append_bytes(&sb, "12345", 2), XLSX_OK);
  ASSERT_EQ(strbuf_append(&sb, nullptr), XLSX_OK);
  ASSERT_EQ(strbuf_putc(&sb, '"'), XLSX_OK);
  EXPECT_STREQ(sb.data, "<row r=\"12\"");
  EXPECT_EQ(sb.length, 11u);
}

TEST_F(StrBufTest, AppendOfItsOwnTextSurvivesTheMove) {
  ASSERT_EQ(strbuf_set(&sb, "0123456789abc"), XLSX_OK);
  ASSERT_EQ(strbuf_append(&sb, sb.data), XLSX_OK);  // grows from 16 to 32 while reading itself
  EXPECT_EQ(text_of(sb), "0123456789abc0123456789abc");
}

TEST_F(StrBufTest, SetReplacesTheContent) {
  ASSERT_EQ(strbuf_set(&sb, "first text"), XLSX_OK);
  ASSERT_EQ(strbuf_set(&sb, "two"), XLSX_OK);
  EXPECT_EQ(text_of(sb), "two");
  ASSERT_EQ(strbuf_set_bytes(&sb, "a\0b", 3), XLSX_OK);
  EXPECT_EQ(sb.length, 3u);
  EXPECT_EQ(std::memcmp(sb.data, "a\0b", 4), 0);
  ASSERT_EQ(strbuf_set(&sb, nullptr), XLSX_OK);
  EXPECT_EQ(sb.length, 0u);
}

TEST_F(StrBufTest, SetFromItsOwnTail) {
  ASSERT_EQ(strbuf_set(&sb, "prefix:tail"), XLSX_OK);
  ASSERT_EQ(strbuf_set(&sb, sb.data + 7), XLSX_OK);
  EXPECT_EQ(text_of(sb), "tail");
}

TEST_F(StrBufTest, ClearKeepsTheBlock) {
  ASSERT_EQ(strbuf_set(&sb, "something longer than sixteen"), XLSX_OK);
  char* block = sb.data;
  strbuf_clear(&sb);
  EXPECT_EQ(sb.data, block);
  EXPECT_EQ(sb.capacity, 32u);
  EXPECT_STREQ(sb.data, "");
}

TEST_F(StrBufTest, AppendfFormatsAndReturnsTheLength) {
  ASSERT_EQ(strbuf_append(&sb, "x="), XLSX_OK);
  EXPECT_EQ(strbuf_appendf(&sb, "%lld;%.17g;%s", -5LL, 0.5, "end"), 10);
  EXPECT_EQ(text_of(sb), "x=-5;0.5;end");
}

TEST_F(StrBufTest, AppendfGrowsForLongExpansions) {
  std::string longer(300, 'q');
  EXPECT_EQ(strbuf_appendf(&sb, "[%s]", longer.c_str()), 302);
  EXPECT_EQ(sb.length, 302u);
  EXPECT_EQ(sb.capacity, 512u);
  EXPECT_EQ(text_of(sb), "[" + longer + "]");
}

TEST_F(StrBufTest, DetachHandsOverTheBlockAndResets) {
  ASSERT_EQ(strbuf_set(&sb, "abc"), XLSX_OK);
  char* block = sb.data;
  uint32_t length = 99;
  char* text = strbuf_detach(&sb, &length);
  EXPECT_EQ(text, block);
  EXPECT_EQ(length, 3u);
  EXPECT_STREQ(text, "abc");
  EXPECT_EQ(sb.data, nullptr);
  EXPECT_EQ(sb.length, 0u);
  EXPECT_EQ(sb.capacity, 0u);
  xlsx_free(text);
}

TEST_F(StrBufTest, DetachOfAnUnusedBufferGivesAnEmptyTextAndAllowsReuse) {
  uint32_t length = 99;
  char* text = strbuf_detach(&sb, &length);
  ASSERT_NE(text, nullptr);
  EXPECT_STREQ(text, "");
  EXPECT_EQ(length, 0u);
  xlsx_free(text);
  ASSERT_EQ(strbuf_append(&sb, "again"), XLSX_OK);
  EXPECT_EQ(text_of(sb), "again");
}

TEST_F(StrBufTest, FreeResetsAndIgnoresNull) {
  ASSERT_EQ(strbuf_set(&sb, "abc"), XLSX_OK);
  strbuf_free(&sb);
  EXPECT_EQ(sb.data, nullptr);
  EXPECT_EQ(sb.capacity, 0u);
  strbuf_free(nullptr);
}

// Every growing call is made to fail at its allocation; the buffer must keep its old content.
TEST_F(StrBufTest, FailedGrowthLeavesTheBufferUnchanged) {
  ASSERT_EQ(strbuf_set(&sb, "0123456789abcde"), XLSX_OK);  // 15 bytes: the block is full
  const StrBuf before = sb;
  xlsx_test::FaultAllocation fault(1, true);
  EXPECT_EQ(strbuf_putc(&sb, 'x'), XLSX_ERR_NO_MEMORY);
  EXPECT_EQ(strbuf_append(&sb, "more"), XLSX_ERR_NO_MEMORY);
  EXPECT_EQ(strbuf_append_bytes(&sb, "more", 4), XLSX_ERR_NO_MEMORY);
  EXPECT_EQ(strbuf_set(&sb, "a text longer than the block"), XLSX_ERR_NO_MEMORY);
  EXPECT_LT(strbuf_appendf(&sb, "%d", 12345), 0);
  EXPECT_EQ(strbuf_reserve(&sb, 100), XLSX_ERR_NO_MEMORY);
  EXPECT_EQ(fault.reports(), 6u);
  EXPECT_EQ(sb.data, before.data);
  EXPECT_EQ(sb.length, before.length);
  EXPECT_EQ(sb.capacity, before.capacity);
  EXPECT_STREQ(sb.data, "0123456789abcde");
}

TEST_F(StrBufTest, FirstAllocationFailureLeavesAnUnusedBuffer) {
  xlsx_test::FaultAllocation fault(1);
  EXPECT_EQ(strbuf_append_bytes(&sb, "", 0), XLSX_ERR_NO_MEMORY);
  EXPECT_EQ(sb.data, nullptr);
  EXPECT_EQ(sb.capacity, 0u);
}

TEST_F(StrBufTest, DetachFailureOfItsEmptyBlockReturnsNull) {
  xlsx_test::FaultAllocation fault(1);
  EXPECT_EQ(strbuf_detach(&sb, nullptr), nullptr);
  EXPECT_EQ(fault.reports(), 1u);
}

TEST_F(StrBufTest, CapacityNeverWrapsPast32Bits) {
  ASSERT_EQ(strbuf_putc(&sb, 'a'), XLSX_OK);
  xlsx_test::FaultAllocation fault(0);
  EXPECT_EQ(strbuf_reserve(&sb, 0xFFFFFFFFu), XLSX_ERR_NO_MEMORY);
  EXPECT_EQ(fault.calls(), 0u);  // refused before asking for memory
  // A length near the limit must not wrap the needed size either.
  StrBuf huge = sb;
  huge.length = 0xFFFFFFFEu;
  EXPECT_EQ(strbuf_putc(&huge, 'b'), XLSX_ERR_NO_MEMORY);
  EXPECT_EQ(strbuf_append_bytes(&huge, "bc", 2), XLSX_ERR_NO_MEMORY);
  EXPECT_EQ(fault.calls(), 0u);
  EXPECT_STREQ(sb.data, "a");
}

}  // namespace

// XlsxText: one owned text, as handed out for formulas.
#include <gtest/gtest.h>

#include "lib/sheet/value.h"
#include "tests/support/fault_alloc.h"
#include "tests/support/live_allocations.h"

namespace {

class OwnedText : public xlsx_test::CountedTest {
 protected:
  void SetUp() override {
    xlsx_test::CountedTest::SetUp();
    ASSERT_EQ(xlsx_text_init(&a), XLSX_OK);
    ASSERT_EQ(xlsx_text_init(&b), XLSX_OK);
  }
  void TearDown() override {
    xlsx_text_release(&a);
    xlsx_text_release(&b);
    xlsx_test::CountedTest::TearDown();
  }
  XlsxText a, b;
};

TEST_F(OwnedText, SetAndAssignMakeOwnedCopies) {
  ASSERT_NE(a.text, nullptr);
  EXPECT_STREQ(xlsx_text_get(&a), "");
  ASSERT_EQ(xlsx_text_set(&a, "SUM(A1:A3)"), XLSX_OK);
  ASSERT_EQ(xlsx_text_set(&a, a.text), XLSX_OK);  // from its own text
  EXPECT_STREQ(xlsx_text_get(&a), "SUM(A1:A3)");
  ASSERT_EQ(xlsx_text_assign(&b, &a), XLSX_OK);
  EXPECT_NE(a.text, b.text);
  EXPECT_TRUE(xlsx_text_equal(&a, &b));
  ASSERT_EQ(xlsx_text_set(&a, nullptr), XLSX_OK);
  EXPECT_STREQ(xlsx_text_get(&a), "");
  ASSERT_EQ(xlsx_text_assign(&b, nullptr), XLSX_OK);
  EXPECT_STREQ(xlsx_text_get(&b), "");
}

TEST_F(OwnedText, ReleasedTextReadsAndComparesAsEmpty) {
  ASSERT_EQ(xlsx_text_set(&a, "x"), XLSX_OK);
  EXPECT_FALSE(xlsx_text_equal(&a, &b));
  xlsx_text_release(&a);
  EXPECT_EQ(a.text, nullptr);
  EXPECT_STREQ(xlsx_text_get(&a), "");
  EXPECT_TRUE(xlsx_text_equal(&a, &b));
  EXPECT_TRUE(xlsx_text_equal(nullptr, nullptr));
  EXPECT_FALSE(xlsx_text_equal(&a, nullptr));
  EXPECT_STREQ(xlsx_text_get(nullptr), "");
  xlsx_text_release(nullptr);
}

TEST_F(OwnedText, FailedSetKeepsTheOldText) {
  ASSERT_EQ(xlsx_text_set(&a, "old"), XLSX_OK);
  xlsx_test::FaultAllocation fault(1, true);
  EXPECT_EQ(xlsx_text_set(&a, "new"), XLSX_ERR_NO_MEMORY);
  EXPECT_EQ(xlsx_text_assign(&a, &b), XLSX_ERR_NO_MEMORY);
  EXPECT_STREQ(xlsx_text_get(&a), "old");
  EXPECT_EQ(xlsx_text_set(nullptr, "x"), XLSX_ERR_INVALID_ARG);
}

}  // namespace

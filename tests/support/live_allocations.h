// Fixture base that checks the library's live-allocation counter: every test must end with it where it
// started. Derive a suite's fixture from it (or use it directly with TEST_F).
#pragma once

#include <gtest/gtest.h>

#include <cstdint>

#include "lib/base/alloc.h"

namespace xlsx_test {

class CountedTest : public ::testing::Test {
 protected:
  void SetUp() override { live_at_start_ = xlsx_live_allocations(); }
  void TearDown() override {
    EXPECT_EQ(xlsx_live_allocations(), live_at_start_) << "the test left library blocks allocated";
  }

 private:
  uint32_t live_at_start_ = 0;
};

}  // namespace xlsx_test

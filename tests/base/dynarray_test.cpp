// DynArray: growth sequence, insertion and removal order, destructor calls, failure leaving it unchanged.
#include <gtest/gtest.h>

#include <vector>

#include "lib/base/dynarray.h"
#include "tests/support/fault_alloc.h"
#include "tests/support/live_allocations.h"

namespace {

std::vector<int> g_destroyed;
void record_destruction(void* element) {
  g_destroyed.push_back(*static_cast<int*>(element));
}

class DynArrayTest : public xlsx_test::CountedTest {
 protected:
  void SetUp() override {
    xlsx_test::CountedTest::SetUp();
    g_destroyed.clear();
    dynarray_init(&arr, sizeof(int), record_destruction);
  }
  void TearDown() override {
    dynarray_free(&arr);
    xlsx_test::CountedTest::TearDown();
  }
  void push(std::initializer_list<int> values) {
    for (int v : values) ASSERT_NE(dynarray_push(&arr, &v), nullptr);
  }
  std::vector<int> values() const {
    std::vector<int> out;
    for (uint32_t i = 0; i < arr.count; ++i) out.push_back(*static_cast<int*>(dynarray_get(&arr, i)));
    return out;
  }
  DynArray arr;
};

TEST_F(DynArrayTest, CapacityGrowsFrom8ByDoubling) {
  DynArray bytes;
  dynarray_init(&bytes, 0, nullptr);
  EXPECT_EQ(bytes.element_size, 1u);
  ASSERT_EQ(dynarray_reserve(&arr, 9), XLSX_OK);
  EXPECT_EQ(arr.capacity, 16u);
  ASSERT_EQ(dynarray_reserve(&bytes, 8), XLSX_OK);
  EXPECT_EQ(bytes.capacity, 8u);
  ASSERT_EQ(dynarray_reserve(&bytes, 100), XLSX_OK);
  EXPECT_EQ(bytes.capacity, 128u);
  ASSERT_EQ(dynarray_reserve(&bytes, 3), XLSX_OK);
  EXPECT_EQ(bytes.capacity, 128u);  // never shrinks
  dynarray_free(&bytes);
}

TEST_F(DynArrayTest, PushCopiesOrZeroFillsAndGrowsAtTheNinth) {
  push({1, 2, 3, 4, 5, 6, 7, 8});
  EXPECT_EQ(arr.capacity, 8u);
  int* slot = static_cast<int*>(dynarray_push(&arr, nullptr));
  ASSERT_NE(slot, nullptr);
  EXPECT_EQ(*slot, 0);
  EXPECT_EQ(arr.capacity, 16u);
  EXPECT_EQ(values(), (std::vector<int>{1, 2, 3, 4, 5, 6, 7, 8, 0}));
  EXPECT_EQ(dynarray_get(&arr, 9), nullptr);
}

TEST_F(DynArrayTest, InsertShiftsLaterSlotsAndAppendsBeyondTheEnd) {
  push({10, 30});
  int twenty = 20, forty = 40, five = 5;
  EXPECT_EQ(*static_cast<int*>(dynarray_insert(&arr, 1, &twenty)), 20);
  EXPECT_EQ(*static_cast<int*>(dynarray_insert(&arr, 99, &forty)), 40);
  EXPECT_EQ(*static_cast<int*>(dynarray_insert(&arr, 0, &five)), 5);
  EXPECT_EQ(values(), (std::vector<int>{5, 10, 20, 30, 40}));
}

TEST_F(DynArrayTest, ElementOfTheArrayItselfCanBeInsertedWhileItGrows) {
  push({1, 2, 3, 4, 5, 6, 7, 8});  // full: the insert moves the block
  ASSERT_NE(dynarray_insert(&arr, 0, dynarray_get(&arr, 2)), nullptr);
  ASSERT_NE(dynarray_push(&arr, dynarray_get(&arr, 0)), nullptr);
  EXPECT_EQ(values(), (std::vector<int>{3, 1, 2, 3, 4, 5, 6, 7, 8, 3}));
}

TEST_F(DynArrayTest, RemoveAndPopCallTheDestructorOnce) {
  push({1, 2, 3, 4});
  dynarray_remove(&arr, 1);
  dynarray_remove(&arr, 3);  // beyond the count: nothing
  EXPECT_EQ(values(), (std::vector<int>{1, 3, 4}));
  EXPECT_TRUE(dynarray_pop(&arr));
  EXPECT_EQ(g_destroyed, (std::vector<int>{2, 4}));
  EXPECT_EQ(values(), (std::vector<int>{1, 3}));
  dynarray_clear(&arr);
  EXPECT_FALSE(dynarray_pop(&arr));
}

TEST_F(DynArrayTest, ClearKeepsStorageAndFreeReleasesIt) {
  push({1, 2, 3});
  void* block = arr.data;
  dynarray_clear(&arr);
  EXPECT_EQ(g_destroyed, (std::vector<int>{1, 2, 3}));
  EXPECT_TRUE(arr.count == 0 && arr.capacity == 8 && arr.data == block);
  push({4, 5});
  dynarray_free(&arr);
  EXPECT_EQ(g_destroyed, (std::vector<int>{1, 2, 3, 4, 5}));
  EXPECT_TRUE(arr.data == nullptr && arr.capacity == 0);
  dynarray_free(nullptr);
}

TEST_F(DynArrayTest, FailedGrowthLeavesTheArrayUnchanged) {
  push({1, 2, 3, 4, 5, 6, 7, 8});
  void* block = arr.data;
  int nine = 9;
  {
    xlsx_test::FaultAllocation fault(1, true);
    EXPECT_EQ(dynarray_push(&arr, &nine), nullptr);
    EXPECT_EQ(dynarray_insert(&arr, 0, &nine), nullptr);
    EXPECT_EQ(dynarray_reserve(&arr, 9), XLSX_ERR_NO_MEMORY);
    EXPECT_EQ(fault.reports(), 3u);
    DynArray fresh;
    dynarray_init(&fresh, 4, nullptr);
    EXPECT_EQ(dynarray_push(&fresh, nullptr), nullptr);
    EXPECT_TRUE(fresh.data == nullptr && fresh.count == 0 && fresh.capacity == 0);
  }
  EXPECT_TRUE(arr.data == block && arr.capacity == 8);
  EXPECT_EQ(values(), (std::vector<int>{1, 2, 3, 4, 5, 6, 7, 8}));
  EXPECT_TRUE(g_destroyed.empty());
}

TEST_F(DynArrayTest, ByteSizesThatWouldWrapAreRefused) {
  DynArray wide;
  dynarray_init(&wide, 0x10000, nullptr);
  xlsx_test::FaultAllocation fault(0);
  EXPECT_EQ(dynarray_reserve(&wide, 0x10000), XLSX_ERR_NO_MEMORY);  // 2^32 bytes
  EXPECT_EQ(dynarray_reserve(&arr, 0xFFFFFFFFu), XLSX_ERR_NO_MEMORY);
  EXPECT_EQ(fault.calls(), 0u);
  EXPECT_EQ(wide.capacity, 0u);
}

}  // namespace

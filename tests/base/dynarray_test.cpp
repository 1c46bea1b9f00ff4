// DynArray: growth sequence, insertion and removal order, destructor calls, failure leaving it unchanged.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "lib/base/alloc.h"
#include "lib/base/dynarray.h"
#include "tests/support/fault_alloc.h"
#include "tests/support/live_allocations.h"

namespace {

std::vector<int> g_destroyed;
void record_destruction(void* element) { g_destroyed.push_back(*static_cast<int*>(element)); }

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
  void push_values(std::initializer_list<int> values) {
    for (int v : values) ASSERT_NE(dynarray_push(&arr, &v), nullptr);
  }
  std::vector<int> values() const {
    std::vector<int> out;
    for (uint32_t i = 0; i < arr.count; ++i) out.push_back(*static_cast<int*>(dynarray_get(&arr, i)));
    return out;
  }
  DynArray arr;
};

TEST_F(DynArrayTest, ElementSizeZeroStoresOne) {
  DynArray bytes;
  dynarray_init(&bytes, 0, nullptr);
  EXPECT_EQ(bytes.element_size, 1u);
  EXPECT_EQ(bytes.data, nullptr);
  EXPECT_EQ(bytes.count, 0u);
}

TEST_F(DynArrayTest, ReserveGrowsFrom8ByDoubling) {
  ASSERT_EQ(dynarray_reserve(&arr, 8), XLSX_OK);
  EXPECT_EQ(arr.capacity, 8u);
  ASSERT_EQ(dynarray_reserve(&arr, 9), XLSX_OK);
  EXPECT_EQ(arr.capacity, 16u);
  ASSERT_EQ(dynarray_reserve(&arr, 100), XLSX_OK);
  EXPECT_EQ(arr.capacity, 128u);
  ASSERT_EQ(dynarray_reserve(&arr, 3), XLSX_OK);
  EXPECT_EQ(arr.capacity, 128u);  // never shrinks
}

TEST_F(DynArrayTest, ReserveOfNineOnAnEmptyArrayGives16) {
  ASSERT_EQ(dynarray_reserve(&arr, 9), XLSX_OK);
  EXPECT_EQ(arr.capacity, 16u);
}

TEST_F(DynArrayTest, PushCopiesOrZeroFillsAndGrowsAtTheNinth) {
  push_values({1, 2, 3, 4, 5, 6, 7, 8});
  EXPECT_EQ(arr.capacity, 8u);
  int* slot = static_cast<int*>(dynarray_push(&arr, nullptr));
  ASSERT_NE(slot, nullptr);
  EXPECT_EQ(*slot, 0);
  EXPECT_EQ(arr.capacity, 16u);
  EXPECT_EQ(values(), (std::vector<int>{1, 2, 3, 4, 5, 6, 7, 8, 0}));
}

TEST_F(DynArrayTest, InsertShiftsLaterSlotsAndAppendsBeyondTheEnd) {
  push_values({10, 30});
  int twenty = 20, forty = 40, five = 5;
  EXPECT_EQ(*static_cast<int*>(dynarray_insert(&arr, 1, &twenty)), 20);
  EXPECT_EQ(*static_cast<int*>(dynarray_insert(&arr, 99, &forty)), 40);
  EXPECT_EQ(*static_cast<int*>(dynarray_insert(&arr, 0, &five)), 5);
  EXPECT_EQ(values(), (std::vector<int>{5, 10, 20, 30, 40}));
}

TEST_F(DynArrayTest, InsertOfAnElementOfTheArrayItself) {
  push_values({1, 2, 3, 4, 5, 6, 7, 8});  // full: the insert moves the block
  ASSERT_NE(dynarray_insert(&arr, 0, dynarray_get(&arr, 2)), nullptr);
  ASSERT_NE(dynarray_push(&arr, dynarray_get(&arr, 0)), nullptr);
  EXPECT_EQ(values(), (std::vector<int>{3, 1, 2, 3, 4, 5, 6, 7, 8, 3}));
}

TEST_F(DynArrayTest, GetOutsideTheCountIsNull) {
  push_values({1});
  EXPECT_NE(dynarray_get(&arr, 0), nullptr);
  EXPECT_EQ(dynarray_get(&arr, 1), nullptr);
  EXPECT_EQ(dynarray_get(nullptr, 0), nullptr);
}

TEST_F(DynArrayTest, RemoveDestroysTheSlotAndShiftsDown) {
  push_values({1, 2, 3, 4});
  dynarray_remove(&arr, 1);
  EXPECT_EQ(g_destroyed, (std::vector<int>{2}));
  EXPECT_EQ(values(), (std::vector<int>{1, 3, 4}));
  dynarray_remove(&arr, 2);
  EXPECT_EQ(values(), (std::vector<int>{1, 3}));
}

TEST_F(DynArrayTest, RemoveOutsideTheCountDoesNothing) {
  push_values({1, 2});
  dynarray_remove(&arr, 2);
  EXPECT_TRUE(g_destroyed.empty());
  EXPECT_EQ(values(), (std::vector<int>{1, 2}));
}

TEST_F(DynArrayTest, PopDestroysTheLastAndReportsEmptiness) {
  push_values({7, 8});
  EXPECT_TRUE(dynarray_pop(&arr));
  EXPECT_TRUE(dynarray_pop(&arr));
  EXPECT_FALSE(dynarray_pop(&arr));
  EXPECT_EQ(g_destroyed, (std::vector<int>{8, 7}));
}

TEST_F(DynArrayTest, ClearDestroysInIndexOrderAndKeepsStorage) {
  push_values({1, 2, 3});
  void* block = arr.data;
  dynarray_clear(&arr);
  EXPECT_EQ(g_destroyed, (std::vector<int>{1, 2, 3}));
  EXPECT_EQ(arr.count, 0u);
  EXPECT_EQ(arr.capacity, 8u);
  EXPECT_EQ(arr.data, block);
}

TEST_F(DynArrayTest, FreeDestroysEverythingAndReleases) {
  push_values({4, 5});
  dynarray_free(&arr);
  EXPECT_EQ(g_destroyed, (std::vector<int>{4, 5}));
  EXPECT_EQ(arr.data, nullptr);
  EXPECT_EQ(arr.capacity, 0u);
  dynarray_free(nullptr);
}

TEST_F(DynArrayTest, FailedGrowthLeavesTheArrayUnchanged) {
  push_values({1, 2, 3, 4, 5, 6, 7, 8});
  const DynArray before = arr;
  int nine = 9;
  {
    xlsx_test::FaultAllocation fault(1, true);
    EXPECT_EQ(dynarray_push(&arr, &nine), nullptr);
    EXPECT_EQ(dynarray_insert(&arr, 0, &nine), nullptr);
    EXPECT_EQ(dynarray_reserve(&arr, 9), XLSX_ERR_NO_MEMORY);
    EXPECT_EQ(fault.reports(), 3u);
  }
  EXPECT_EQ(arr.data, before.data);
  EXPECT_EQ(arr.count, 8u);
  EXPECT_EQ(arr.capacity, 8u);
  EXPECT_EQ(values(), (std::vector<int>{1, 2, 3, 4, 5, 6, 7, 8}));
  EXPECT_TRUE(g_destroyed.empty());
}

TEST_F(DynArrayTest, FirstAllocationFailureLeavesAnUnusedArray) {
  xlsx_test::FaultAllocation fault(1);
  EXPECT_EQ(dynarray_push(&arr, nullptr), nullptr);
  EXPECT_EQ(arr.data, nullptr);
  EXPECT_EQ(arr.count, 0u);
  EXPECT_EQ(arr.capacity, 0u);
}

TEST_F(DynArrayTest, ByteSizeThatWouldWrapIsRefused) {
  DynArray wide;
  dynarray_init(&wide, 0x10000, nullptr);
  xlsx_test::FaultAllocation fault(0);
  EXPECT_EQ(dynarray_reserve(&wide, 0x10000), XLSX_ERR_NO_MEMORY);  // 2^32 bytes
  EXPECT_EQ(dynarray_reserve(&arr, 0xFFFFFFFFu), XLSX_ERR_NO_MEMORY);
  EXPECT_EQ(fault.calls(), 0u);
  EXPECT_EQ(wide.data, nullptr);
  EXPECT_EQ(wide.capacity, 0u);
}

TEST_F(DynArrayTest, LargerElementsKeepTheirBytes) {
  struct Wide {
    uint64_t a;
    char name[12];
  };
  DynArray wide;
  dynarray_init(&wide, sizeof(Wide), nullptr);
  for (uint32_t i = 0; i < 20; ++i) {
    Wide w = {i * 1000003ull, {}};
    std::snprintf(w.name, sizeof w.name, "n%u", i);
    ASSERT_NE(dynarray_push(&wide, &w), nullptr);
  }
  dynarray_remove(&wide, 0);
  const Wide* last = static_cast<const Wide*>(dynarray_get(&wide, 18));
  ASSERT_NE(last, nullptr);
  EXPECT_EQ(last->a, 19 * 1000003ull);
  EXPECT_STREQ(last->name, "n19");
  EXPECT_EQ(wide.capacity, 32u);
  dynarray_free(&wide);
}

}  // namespace

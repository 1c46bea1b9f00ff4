// StrMap: FNV-1a hash, table growth at three quarters, replacement, removal and failure consistency.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "lib/base/alloc.h"
#include "lib/base/strmap.h"
#include "tests/support/fault_alloc.h"
#include "tests/support/live_allocations.h"

namespace {

std::vector<std::string> g_released;
void release_value(void* value) {
  g_released.push_back(static_cast<char*>(value));
  xlsx_free(value);
}

class StrMapTest : public xlsx_test::CountedTest {
 protected:
  void SetUp() override {
    xlsx_test::CountedTest::SetUp();
    g_released.clear();
    strmap_init(&map, release_value);
  }
  void TearDown() override {
    strmap_free(&map);
    xlsx_test::CountedTest::TearDown();
  }
  // Sets key to a counted copy of value.
  xlsx_status set(const std::string& key, const std::string& value) {
    char* copy = xlsx_strdup(value.c_str());
    xlsx_status st = strmap_set(&map, key.c_str(), copy);
    if (st != XLSX_OK) xlsx_free(copy);
    return st;
  }
  std::string get(const std::string& key) const {
    const char* value = static_cast<const char*>(strmap_get(&map, key.c_str()));
    return value ? value : "<none>";
  }
  StrMap map;
};

TEST(StrMapHash, Fnv1aReferenceValues) {
  EXPECT_EQ(xlsx_hash_bytes("abc", 3), 0x1A47E90Bu);
  EXPECT_EQ(xlsx_hash_bytes("", 0), 0x811C9DC5u);
  EXPECT_EQ(xlsx_hash_bytes("a", 1), 0xE40C292Cu);
  const unsigned char high[] = {0xFF};
  EXPECT_EQ(xlsx_hash_bytes(high, 1), (0x811C9DC5u ^ 0xFFu) * 16777619u);
}

TEST_F(StrMapTest, InitLeavesAnEmptyMapWithoutBuckets) {
  EXPECT_EQ(map.bucket_count, 0u);
  EXPECT_EQ(map.buckets, nullptr);
  EXPECT_EQ(map.entries.element_size, sizeof(StrMapEntry));
  EXPECT_EQ(strmap_find(&map, "a"), nullptr);
  EXPECT_FALSE(strmap_remove(&map, "a"));
}

TEST_F(StrMapTest, FirstSetCreates16Buckets) {
  ASSERT_EQ(set("sheet1", "one"), XLSX_OK);
  EXPECT_EQ(map.bucket_count, 16u);
  EXPECT_EQ(get("sheet1"), "one");
  EXPECT_TRUE(strmap_contains(&map, "sheet1"));
  EXPECT_FALSE(strmap_contains(&map, "sheet2"));
}

TEST_F(StrMapTest, TwelfthKeyDoublesTheTable) {
  for (int i = 1; i <= 11; ++i) ASSERT_EQ(set("k" + std::to_string(i), "v"), XLSX_OK);
  EXPECT_EQ(map.bucket_count, 16u);
  ASSERT_EQ(set("k12", "v12"), XLSX_OK);
  EXPECT_EQ(map.bucket_count, 32u);
  for (int i = 1; i <= 11; ++i) EXPECT_EQ(get("k" + std::to_string(i)), "v");
  EXPECT_EQ(get("k12"), "v12");
}

TEST_F(StrMapTest, ManyKeysStayFindableAndOrdered) {
  for (int i = 0; i < 1000; ++i) ASSERT_EQ(set("key" + std::to_string(i), std::to_string(i * 7)), XLSX_OK);
  EXPECT_EQ(map.bucket_count, 2048u);
  EXPECT_EQ(map.entries.count, 1000u);
  for (int i = 0; i < 1000; ++i) EXPECT_EQ(get("key" + std::to_string(i)), std::to_string(i * 7));
  EXPECT_STREQ(strmap_key_at(&map, 999), "key999");
  EXPECT_EQ(strmap_key_at(&map, 1000), nullptr);
  EXPECT_EQ(strmap_value_at(&map, 1000), nullptr);
}

TEST_F(StrMapTest, ReplacingReleasesTheOldValueOnly) {
  ASSERT_EQ(set("a", "old"), XLSX_OK);
  const char* key_copy = strmap_key_at(&map, 0);
  ASSERT_EQ(set("a", "new"), XLSX_OK);
  EXPECT_EQ(g_released, (std::vector<std::string>{"old"}));
  EXPECT_EQ(get("a"), "new");
  EXPECT_EQ(strmap_key_at(&map, 0), key_copy);  // the entry keeps its key
  EXPECT_EQ(map.entries.count, 1u);
}

TEST_F(StrMapTest, SettingTheSameValuePointerReleasesNothing) {
  ASSERT_EQ(set("a", "same"), XLSX_OK);
  void* value = strmap_get(&map, "a");
  ASSERT_EQ(strmap_set(&map, "a", value), XLSX_OK);
  EXPECT_TRUE(g_released.empty());
  ASSERT_EQ(strmap_set(&map, "b", nullptr), XLSX_OK);
  ASSERT_EQ(strmap_set(&map, "b", nullptr), XLSX_OK);  // null values are never passed to the destructor
  EXPECT_TRUE(g_released.empty());
}

TEST_F(StrMapTest, KeysAreCopiedAndCompareBytewise) {
  char key[] = "Sheet";
  ASSERT_EQ(set(key, "1"), XLSX_OK);
  key[0] = 's';
  EXPECT_EQ(get("Sheet"), "1");
  EXPECT_EQ(get("sheet"), "<none>");
}

TEST_F(StrMapTest, RemoveShiftsLaterIndicesAndKeepsLookups) {
  for (int i = 0; i < 20; ++i) ASSERT_EQ(set("k" + std::to_string(i), "v" + std::to_string(i)), XLSX_OK);
  EXPECT_TRUE(strmap_remove(&map, "k5"));
  EXPECT_EQ(g_released, (std::vector<std::string>{"v5"}));
  EXPECT_FALSE(strmap_remove(&map, "k5"));
  EXPECT_STREQ(strmap_key_at(&map, 5), "k6");
  EXPECT_STREQ(static_cast<const char*>(strmap_value_at(&map, 18)), "v19");
  EXPECT_EQ(map.entries.count, 19u);
  for (int i = 0; i < 20; ++i) {
    EXPECT_EQ(strmap_contains(&map, ("k" + std::to_string(i)).c_str()), i != 5) << i;
    if (i != 5) {
      EXPECT_EQ(get("k" + std::to_string(i)), "v" + std::to_string(i));
    }
  }
}

TEST_F(StrMapTest, RemoveNeedsNoMemory) {
  for (int i = 0; i < 10; ++i) ASSERT_EQ(set("k" + std::to_string(i), "v"), XLSX_OK);
  xlsx_test::FaultAllocation fault(1, true);
  EXPECT_TRUE(strmap_remove(&map, "k0"));
  EXPECT_EQ(fault.calls(), 0u);
  for (int i = 1; i < 10; ++i) EXPECT_TRUE(strmap_contains(&map, ("k" + std::to_string(i)).c_str())) << i;
}

TEST_F(StrMapTest, ClearDropsEntriesAndKeepsTheTable) {
  ASSERT_EQ(set("a", "1"), XLSX_OK);
  ASSERT_EQ(set("b", "2"), XLSX_OK);
  uint32_t* table = map.buckets;
  strmap_clear(&map);
  EXPECT_EQ(g_released, (std::vector<std::string>{"1", "2"}));
  EXPECT_EQ(map.buckets, table);
  EXPECT_EQ(map.bucket_count, 16u);
  EXPECT_EQ(map.entries.count, 0u);
  EXPECT_FALSE(strmap_contains(&map, "a"));
  ASSERT_EQ(set("a", "3"), XLSX_OK);
  EXPECT_EQ(get("a"), "3");
}

TEST_F(StrMapTest, FreeResetsAndIgnoresNull) {
  ASSERT_EQ(set("a", "1"), XLSX_OK);
  strmap_free(&map);
  EXPECT_EQ(map.buckets, nullptr);
  EXPECT_EQ(map.bucket_count, 0u);
  EXPECT_EQ(g_released, (std::vector<std::string>{"1"}));
  strmap_free(nullptr);
}

TEST_F(StrMapTest, NullArgumentsAreRefused) {
  EXPECT_EQ(strmap_set(&map, nullptr, nullptr), XLSX_ERR_INVALID_ARG);
  EXPECT_EQ(strmap_set(nullptr, "a", nullptr), XLSX_ERR_INVALID_ARG);
  EXPECT_EQ(strmap_get(nullptr, "a"), nullptr);
  EXPECT_EQ(strmap_key_at(nullptr, 0), nullptr);
}

// Each allocation of a set (bucket table, key copy, entry slot) is made to fail in turn, at the first
// insertion, at an insertion that grows the entries and at one that doubles the table. A failed set
// leaves every earlier entry findable and the count unchanged.
TEST_F(StrMapTest, FailedSetLeavesTheMapAsItWas) {
  for (int existing : {0, 8, 11}) {
    strmap_clear(&map);
    g_released.clear();
    for (int i = 0; i < existing; ++i) ASSERT_EQ(set("k" + std::to_string(i), "v"), XLSX_OK);
    char* value = xlsx_strdup("new");
    uint32_t allocations = xlsx_test::for_each_allocation_failure([&](xlsx_test::FaultAllocation& fault) {
      uint32_t buckets = map.bucket_count;
      xlsx_status st = strmap_set(&map, "added", value);
      if (fault.failures() == 0) {
        EXPECT_EQ(st, XLSX_OK);
        return;
      }
      EXPECT_EQ(st, XLSX_ERR_NO_MEMORY);
      EXPECT_EQ(map.entries.count, static_cast<uint32_t>(existing));
      EXPECT_EQ(map.bucket_count, buckets);
      EXPECT_FALSE(strmap_contains(&map, "added"));
      for (int i = 0; i < existing; ++i) EXPECT_TRUE(strmap_contains(&map, ("k" + std::to_string(i)).c_str()));
    });
    EXPECT_GE(allocations, 1u) << existing;
    EXPECT_EQ(get("added"), "new");
    EXPECT_TRUE(g_released.empty());
  }
}

}  // namespace

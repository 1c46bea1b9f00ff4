// StrMap: FNV-1a hash, table growth at three quarters, replacement, removal and failure consistency.
#include <gtest/gtest.h>

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

std::string key(int i) {
  return "k" + std::to_string(i);
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
  // Sets k to a counted copy of v.
  xlsx_status set(const std::string& k, const std::string& v) {
    char* copy = xlsx_strdup(v.c_str());
    xlsx_status st = strmap_set(&map, k.c_str(), copy);
    if (st != XLSX_OK) xlsx_free(copy);
    return st;
  }
  std::string get(const std::string& k) const {
    const char* v = static_cast<const char*>(strmap_get(&map, k.c_str()));
    return v ? v : "<none>";
  }
  StrMap map;
};

TEST(StrMapHash, Fnv1aReferenceValues) {
  EXPECT_EQ(xlsx_hash_bytes("abc", 3), 0x1A47E90Bu);
  EXPECT_EQ(xlsx_hash_bytes("", 0), 0x811C9DC5u);
  EXPECT_EQ(xlsx_hash_bytes("a", 1), 0xE40C292Cu);
}

TEST_F(StrMapTest, FirstSetCreates16BucketsAndThe12thKeyDoublesThem) {
  EXPECT_EQ(strmap_find(&map, "k1"), nullptr);  // no buckets yet
  for (int i = 1; i <= 11; ++i) ASSERT_EQ(set(key(i), "v" + std::to_string(i)), XLSX_OK);
  EXPECT_EQ(map.bucket_count, 16u);
  ASSERT_EQ(set(key(12), "v12"), XLSX_OK);
  EXPECT_EQ(map.bucket_count, 32u);
  for (int i = 1; i <= 12; ++i) EXPECT_EQ(get(key(i)), "v" + std::to_string(i));
  EXPECT_FALSE(strmap_contains(&map, "k13"));
}

TEST_F(StrMapTest, ManyKeysStayFindableInInsertionOrder) {
  for (int i = 0; i < 1000; ++i) ASSERT_EQ(set(key(i), std::to_string(i * 7)), XLSX_OK);
  EXPECT_EQ(map.bucket_count, 2048u);
  for (int i = 0; i < 1000; ++i) EXPECT_EQ(get(key(i)), std::to_string(i * 7));
  EXPECT_STREQ(strmap_key_at(&map, 999), "k999");
  EXPECT_EQ(strmap_key_at(&map, 1000), nullptr);
  EXPECT_EQ(strmap_value_at(&map, 1000), nullptr);
}

TEST_F(StrMapTest, ReplacingReleasesOnlyAnOldDifferentValue) {
  char key_text[] = "Sheet";
  ASSERT_EQ(set(key_text, "old"), XLSX_OK);
  key_text[0] = 's';  // the map keeps its own copy
  const char* key_copy = strmap_key_at(&map, 0);
  ASSERT_EQ(set("Sheet", "new"), XLSX_OK);
  EXPECT_EQ(g_released, (std::vector<std::string>{"old"}));
  EXPECT_EQ(strmap_key_at(&map, 0), key_copy);
  EXPECT_EQ(get("Sheet"), "new");
  EXPECT_EQ(get("sheet"), "<none>");  // keys compare byte-wise
  ASSERT_EQ(strmap_set(&map, "Sheet", strmap_get(&map, "Sheet")), XLSX_OK);
  ASSERT_EQ(strmap_set(&map, "b", nullptr), XLSX_OK);
  ASSERT_EQ(strmap_set(&map, "b", nullptr), XLSX_OK);
  EXPECT_EQ(g_released.size(), 1u);  // neither the same pointer nor null was released
}

TEST_F(StrMapTest, RemoveShiftsLaterIndicesKeepsLookupsAndNeedsNoMemory) {
  for (int i = 0; i < 20; ++i) ASSERT_EQ(set(key(i), "v" + std::to_string(i)), XLSX_OK);
  xlsx_test::FaultAllocation fault(1, true);
  EXPECT_TRUE(strmap_remove(&map, "k5"));
  EXPECT_FALSE(strmap_remove(&map, "k5"));
  EXPECT_EQ(fault.calls(), 0u);
  EXPECT_EQ(g_released, (std::vector<std::string>{"v5"}));
  EXPECT_STREQ(strmap_key_at(&map, 5), "k6");
  for (int i = 0; i < 20; ++i) EXPECT_EQ(get(key(i)), i == 5 ? "<none>" : "v" + std::to_string(i)) << i;
}

TEST_F(StrMapTest, ClearKeepsTheTableAndFreeReleasesIt) {
  ASSERT_EQ(set("a", "1"), XLSX_OK);
  ASSERT_EQ(set("b", "2"), XLSX_OK);
  uint32_t* table = map.buckets;
  strmap_clear(&map);
  EXPECT_EQ(g_released, (std::vector<std::string>{"1", "2"}));
  EXPECT_TRUE(map.buckets == table && map.bucket_count == 16 && map.entries.count == 0);
  EXPECT_FALSE(strmap_contains(&map, "a"));
  ASSERT_EQ(set("a", "3"), XLSX_OK);
  strmap_free(&map);
  EXPECT_TRUE(map.buckets == nullptr && map.bucket_count == 0);
  EXPECT_EQ(g_released.back(), "3");
  strmap_free(nullptr);
  EXPECT_EQ(strmap_set(&map, nullptr, nullptr), XLSX_ERR_INVALID_ARG);
}

// Each allocation of a set (bucket table, key copy, entry slot) fails in turn: at the first insertion,
// at one that grows the entries and at one that doubles the table. A failed set changes nothing.
TEST_F(StrMapTest, FailedSetLeavesTheMapAsItWas) {
  for (int existing : {0, 8, 11}) {
    strmap_clear(&map);
    g_released.clear();
    for (int i = 0; i < existing; ++i) ASSERT_EQ(set(key(i), "v"), XLSX_OK);
    char* value = xlsx_strdup("new");
    xlsx_test::for_each_allocation_failure([&](xlsx_test::FaultAllocation& fault) {
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
      for (int i = 0; i < existing; ++i) EXPECT_TRUE(strmap_contains(&map, key(i).c_str())) << i;
    });
    EXPECT_EQ(get("added"), "new");
    EXPECT_TRUE(g_released.empty());
  }
}

}  // namespace

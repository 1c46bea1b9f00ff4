// StrMap: open addressing with linear probing over an insertion-ordered entry array. Keys are hashed with
// the keyed hash (lib/base/hash.h): a map filled from a file cannot be made to probe its whole table.
#include "lib/base/strmap.h"

#include <cstring>

#include "lib/base/alloc.h"
#include "lib/base/hash.h"

namespace {

constexpr uint32_t kEmptyBucket = 0xFFFFFFFFu;
constexpr uint32_t kFirstBucketCount = 16;

StrMapEntry* entry_at(const StrMap* map, uint32_t i) {
  return static_cast<StrMapEntry*>(dynarray_get(&map->entries, i));
}

uint32_t hash_key(const char* key) { return xlsx_hash_text(key); }

// Bucket where key is stored, or the first empty bucket of its probe sequence. The table is never more
// than three quarters full, so an empty bucket always ends the walk.
uint32_t find_slot(const uint32_t* buckets, uint32_t bucket_count, const StrMap* map, const char* key) {
  uint32_t mask = bucket_count - 1;
  uint32_t i = hash_key(key) & mask;
  while (buckets[i] != kEmptyBucket && std::strcmp(entry_at(map, buckets[i])->key, key) != 0) {
    i = (i + 1) & mask;
  }
  return i;
}

// Marks every bucket empty and indexes every entry in insertion order.
void fill_index(const StrMap* map, uint32_t* buckets, uint32_t bucket_count) {
  for (uint32_t i = 0; i < bucket_count; ++i) buckets[i] = kEmptyBucket;
  for (uint32_t e = 0; e < map->entries.count; ++e) {
    buckets[find_slot(buckets, bucket_count, map, entry_at(map, e)->key)] = e;
  }
}

// Bucket count the next insertion needs, or 0 when the present table will do.
uint32_t wanted_bucket_count(const StrMap* map) {
  if (map->bucket_count == 0) return kFirstBucketCount;
  uint64_t filled = (static_cast<uint64_t>(map->entries.count) + 1) * 4;
  if (filled < static_cast<uint64_t>(map->bucket_count) * 3) return 0;
  return map->bucket_count <= UINT32_MAX / 8 ? map->bucket_count * 2 : kEmptyBucket;
}

void drop_value(const StrMap* map, void* value) {
  if (map->value_destructor && value) map->value_destructor(value);
}

}  // namespace

void strmap_init(StrMap* map, StrMapValueDestructor value_destructor) {
  dynarray_init(&map->entries, sizeof(StrMapEntry), nullptr);
  map->buckets = nullptr;
  map->bucket_count = 0;
  map->value_destructor = value_destructor;
}

// Every allocation (new bucket table, key copy, entry slot) is made before the map is touched, so a
// failure leaves it exactly as it was.
xlsx_status strmap_set(StrMap* map, const char* key, void* value) {
  if (!map || !key) return XLSX_ERR_INVALID_ARG;
  uint32_t new_count = wanted_bucket_count(map);
  if (new_count == kEmptyBucket) return XLSX_ERR_NO_MEMORY;
  StrMapEntry* existing = strmap_find(map, key);
  uint32_t* new_buckets = nullptr;
  if (new_count) {
    new_buckets = static_cast<uint32_t*>(xlsx_calloc(new_count, sizeof(uint32_t)));
    if (!new_buckets) return XLSX_ERR_NO_MEMORY;
  }
  char* key_copy = nullptr;
  if (!existing) {
    key_copy = xlsx_strdup(key);
    if (!key_copy || dynarray_reserve(&map->entries, map->entries.count + 1) != XLSX_OK) {
      xlsx_free(key_copy);
      xlsx_free(new_buckets);
      return XLSX_ERR_NO_MEMORY;
    }
  }
  if (new_buckets) {
    xlsx_free(map->buckets);
    map->buckets = new_buckets;
    map->bucket_count = new_count;
    fill_index(map, map->buckets, map->bucket_count);
  }
  if (existing) {
    if (existing->value != value) drop_value(map, existing->value);
    existing->value = value;
    return XLSX_OK;
  }
  StrMapEntry entry = {key_copy, value};
  dynarray_push(&map->entries, &entry);  // cannot fail: room was reserved above
  map->buckets[find_slot(map->buckets, map->bucket_count, map, key)] = map->entries.count - 1;
  return XLSX_OK;
}

StrMapEntry* strmap_find(const StrMap* map, const char* key) {
  if (!map || !key || map->bucket_count == 0 || map->entries.count == 0) return nullptr;
  uint32_t i = find_slot(map->buckets, map->bucket_count, map, key);
  return map->buckets[i] == kEmptyBucket ? nullptr : entry_at(map, map->buckets[i]);
}

void* strmap_get(const StrMap* map, const char* key) {
  StrMapEntry* entry = strmap_find(map, key);
  return entry ? entry->value : nullptr;
}

bool strmap_contains(const StrMap* map, const char* key) {
  return strmap_find(map, key) != nullptr;
}

// The index is rebuilt in the table it already has: every later entry moved down by one, and refilling
// the same table needs no allocation, so removal cannot leave a half-built index behind.
bool strmap_remove(StrMap* map, const char* key) {
  if (!map || !key) return false;
  uint32_t found = kEmptyBucket;
  for (uint32_t e = 0; e < map->entries.count && found == kEmptyBucket; ++e) {
    if (std::strcmp(entry_at(map, e)->key, key) == 0) found = e;
  }
  if (found == kEmptyBucket) return false;
  StrMapEntry removed = *entry_at(map, found);
  dynarray_remove(&map->entries, found);
  fill_index(map, map->buckets, map->bucket_count);
  xlsx_free(removed.key);
  drop_value(map, removed.value);
  return true;
}

const char* strmap_key_at(const StrMap* map, uint32_t i) {
  StrMapEntry* entry = map ? entry_at(map, i) : nullptr;
  return entry ? entry->key : nullptr;
}

void* strmap_value_at(const StrMap* map, uint32_t i) {
  StrMapEntry* entry = map ? entry_at(map, i) : nullptr;
  return entry ? entry->value : nullptr;
}

void strmap_clear(StrMap* map) {
  if (!map) return;
  for (uint32_t e = 0; e < map->entries.count; ++e) {
    StrMapEntry* entry = entry_at(map, e);
    xlsx_free(entry->key);
    drop_value(map, entry->value);
  }
  dynarray_clear(&map->entries);
  for (uint32_t i = 0; i < map->bucket_count; ++i) map->buckets[i] = kEmptyBucket;
}

void strmap_free(StrMap* map) {
  if (!map) return;
  strmap_clear(map);
  dynarray_free(&map->entries);
  xlsx_free(map->buckets);
  map->buckets = nullptr;
  map->bucket_count = 0;
}

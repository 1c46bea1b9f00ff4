// StrMap: a string-keyed hash map (open addressing over an insertion-ordered entry array).
#pragma once

#include <cstdint>

#include "lib/base/dynarray.h"
#include "lib/base/status.h"

typedef void (*StrMapValueDestructor)(void* value);

struct StrMapEntry {
  char* key;    // the map's own copy
  void* value;  // the caller's
};

struct StrMap {
  DynArray entries;   // StrMapEntry, in insertion order
  uint32_t* buckets;  // entry indices; 0xFFFFFFFF marks an empty bucket
  uint32_t bucket_count;  // 0 or a power of two
  StrMapValueDestructor value_destructor;  // may be null
};

// 32-bit FNV-1a.
uint32_t xlsx_hash_bytes(const void* bytes, uint32_t n);

void strmap_init(StrMap* map, StrMapValueDestructor value_destructor);
// Inserts or replaces; on failure the map is unchanged and XLSX_ERR_NO_MEMORY is returned.
xlsx_status strmap_set(StrMap* map, const char* key, void* value);
// Entry with that key, or null.
StrMapEntry* strmap_find(const StrMap* map, const char* key);
void* strmap_get(const StrMap* map, const char* key);
bool strmap_contains(const StrMap* map, const char* key);
// True when an entry was removed.
bool strmap_remove(StrMap* map, const char* key);
// Key / value of the i-th entry in insertion order; null when i is out of range.
const char* strmap_key_at(const StrMap* map, uint32_t i);
void* strmap_value_at(const StrMap* map, uint32_t i);
void strmap_clear(StrMap* map);
// Null map is ignored.
void strmap_free(StrMap* map);

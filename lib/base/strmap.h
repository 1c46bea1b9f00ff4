// StrMap: a string-keyed hash map (open addressing over an insertion-ordered entry array, keyed hash).
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
  DynArray entries;                        // StrMapEntry, in insertion order
  uint32_t* buckets;                       // entry indices; 0xFFFFFFFF marks an empty bucket
  uint32_t bucket_count;                   // 0 or a power of two
  StrMapValueDestructor value_destructor;  // may be null
};

// Empty map without buckets; value_destructor (may be null) is applied to dropped or replaced values.
void strmap_init(StrMap* map, StrMapValueDestructor value_destructor);
// Inserts a copy of key or replaces its value (releasing a different non-null old value); on failure the
// map is unchanged and XLSX_ERR_NO_MEMORY is returned; XLSX_ERR_INVALID_ARG for a null map or key.
xlsx_status strmap_set(StrMap* map, const char* key, void* value);
// Entry with that key, or null (also for a null map or key). Valid until the next set, remove or clear.
StrMapEntry* strmap_find(const StrMap* map, const char* key);
// Value stored under key; null when absent.
void* strmap_get(const StrMap* map, const char* key);
// True when key has an entry.
bool strmap_contains(const StrMap* map, const char* key);
// Removes key's entry (key released, value destroyed); true when one was removed. Later entries move
// down one place in insertion order. Needs no memory, so it cannot fail half-way.
bool strmap_remove(StrMap* map, const char* key);
// Key / value of the i-th entry in insertion order; null when i is out of range.
const char* strmap_key_at(const StrMap* map, uint32_t i);
void* strmap_value_at(const StrMap* map, uint32_t i);
// Drops every entry and keeps the bucket table. Null map is ignored.
void strmap_clear(StrMap* map);
// Null map is ignored.
void strmap_free(StrMap* map);

// XlsxNameIndex: finds the position of a text in a caller's list in O(1). The list keeps the texts; the
// index keeps, per distinct text, its first position and its keyed hash (lib/base/hash.h), in an open
// table at most three quarters full. An index that could not be kept complete (memory ran out) says so,
// and its owner then scans the list until it builds the index again.
#pragma once

#include <cstdint>

#include "lib/base/status.h"

// The text at position of the caller's list (never null for a position below the list's count).
typedef const char* (*XlsxKeyAt)(const void* list, uint32_t position);

struct XlsxNameSlot {
  uint32_t position;  // position + 1; 0 marks a free slot
  uint32_t hash;
};

struct XlsxNameIndex {
  XlsxNameSlot* slots;  // owned; null until built
  uint32_t slot_count;  // 0 or a power of two
  uint32_t used;        // occupied slots
  uint32_t complete;    // 1 when every position of the list is indexed
};

enum : uint32_t { XLSX_NO_POSITION = 0xFFFFFFFFu };

// The index of an empty list, holding no memory; null ignored.
void xlsx_name_index_init(XlsxNameIndex* index);
// Releases the table; the index is again that of an empty list. Null ignored.
void xlsx_name_index_free(XlsxNameIndex* index);
// Indexes positions 0 .. count - 1 of list anew (the first position of a repeated text is kept).
// XLSX_ERR_NO_MEMORY leaves the index incomplete; XLSX_ERR_INVALID_ARG for null arguments.
xlsx_status xlsx_name_index_build(XlsxNameIndex* index, uint32_t count, XlsxKeyAt key_at, const void* list);
// Adds position (the list's newest entry, holding text) unless the text is indexed already. When memory
// runs out the index becomes incomplete (XLSX_ERR_NO_MEMORY); nothing else changes.
xlsx_status xlsx_name_index_add(XlsxNameIndex* index, uint32_t position, XlsxKeyAt key_at, const void* list);
// First position whose text equals text, or XLSX_NO_POSITION; only meaningful on a complete index.
uint32_t xlsx_name_index_find(const XlsxNameIndex* index, const char* text, XlsxKeyAt key_at, const void* list);
// Marks the index incomplete (its list changed in a way it cannot follow); null ignored.
void xlsx_name_index_invalidate(XlsxNameIndex* index);
// Whether the index covers the whole list; false for null.
bool xlsx_name_index_complete(const XlsxNameIndex* index);

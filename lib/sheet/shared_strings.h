// The shared strings table: the XML of xl/sharedStrings.xml and the document's array of texts, kept in
// step. The array holds the texts as they read (every text node of an item joined, _xHHHH_ escapes
// decoded, lib/xml/escape.h); the XML holds them escaped. Texts are found by index and (through a hash
// index) by value; new texts are appended. The array is filled from the part on first use (the script
// layer does it at open): the part's text is read directly, without building its tree, whenever it has the
// plain form writers produce; the tree is parsed for any other form and, in every case, when the first
// text is appended.
#pragma once

#include <cstdint>

#include "lib/base/dynarray.h"
#include "lib/base/status.h"

struct XlsxPart;

struct XlsxSstSlot {
  uint32_t position;  // string position + 1; 0 for an empty slot
  uint32_t hash;
};

struct XlsxSharedStrings {
  XlsxPart* part;     // xl/sharedStrings.xml, or null; not owned
  DynArray* strings;  // the document's array of owned char* texts, or null; not owned
  // Hash index over strings: open addressing, each slot the string position + 1 (0 = empty) and the
  // text's hash, holding the first position of every distinct text: a probe compares hashes in the slot
  // array and reads a text only when they match. Built lazily by find and extended as texts are added.
  XlsxSstSlot* slots;     // owned
  uint32_t slot_count;    // 0 or a power of two
  uint32_t indexed;       // strings[0 .. indexed) are in the index
  uint32_t distinct;      // occupied slots
  uint32_t loaded;        // 1 once the array holds the part's texts
  // Every 32nd text's address as the array was filled from a part of many texts: where a text lies is
  // guessed from them and asked for while its slot in the array is read (lib/sheet/lookahead.h). Owned;
  // null for a table of few texts. Addresses, never read through.
  uintptr_t* text_samples;
  uint32_t text_sample_count;
};

// Stores the two pointers and an empty index; null table ignored. Call xlsx_sst_release before re-init.
void xlsx_sst_init(XlsxSharedStrings* table, XlsxPart* part, DynArray* strings);
// Frees the index and clears the table (the part and the array are the document's); null ignored.
void xlsx_sst_release(XlsxSharedStrings* table);
// Fills the array from the part now, unless that was done (every accessor below does it on first use);
// the part's tree is left unparsed when its text could be read directly. XLSX_ERR_INVALID_ARG for null;
// XLSX_ERR_NO_MEMORY leaves the array empty (a later call tries again).
xlsx_status xlsx_sst_ensure_loaded(XlsxSharedStrings* table);
// Text of entry index; "" for a null table or array, an index not below the count, or a null entry.
// Owned by the table: valid until the document is closed.
const char* xlsx_sst_get(XlsxSharedStrings* table, uint32_t index);
// Number of entries; 0 for a null table or array.
uint32_t xlsx_sst_count(XlsxSharedStrings* table);
// Smallest index whose text equals text byte for byte; -1 when none, or for a null table, array or text.
int32_t xlsx_sst_find(XlsxSharedStrings* table, const char* text);
// Whether xlsx_sst_find gives 0 or more.
bool xlsx_sst_contains(XlsxSharedStrings* table, const char* text);
// Appends text (null = "") to the XML and the array; the new index, or -1 for a null table, part or
// array, a part without root, or when memory runs out (nothing changed then).
int32_t xlsx_sst_append(XlsxSharedStrings* table, const char* text);
// Drops the texts from position count on from the array, for an edit that appended them to the table and
// is being taken back (the journal of the part's tree takes the items back); null table ignored.
void xlsx_sst_truncate(XlsxSharedStrings* table, uint32_t count);
// xlsx_sst_find, or xlsx_sst_append when the text is new; -1 on failure.
int32_t xlsx_sst_find_or_append(XlsxSharedStrings* table, const char* text);

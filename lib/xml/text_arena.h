// Storage of the texts of an XML tree. Every text is preceded by a one-byte tag: XML_TEXT_BORROWED for texts
// that live in the document's bump arena (or in static storage) and are never freed one by one,
// XML_TEXT_HEAP for texts in a block of their own, released when the text is replaced or its owner freed,
// and XML_TEXT_SLOT + k for short texts in a slot of size class k (8 << k bytes, tag and terminator
// included) carved from the arena: a released slot goes to its class's free list in the document.
// Names set by the editing functions are interned per document: one borrowed arena copy per distinct name.
#pragma once

#include <cstdint>

#include "lib/xml/tree.h"

enum : uint8_t { XML_TEXT_BORROWED = 0, XML_TEXT_HEAP = 1, XML_TEXT_SLOT = 2 };
enum : uint32_t { XML_TEXT_SLOT_CLASSES = 4 };

// Open-addressed hash set of the names interned in a document (texts live in its arena).
struct XmlNameTable {
  uint32_t capacity;  // a power of two
  uint32_t used;
  // capacity entries follow the header
};

struct XmlNameEntry {
  const char* text;
  uint32_t hash;
  uint32_t length;
};

// One chunk of a document's text arena; the newest chunk is the document's `arena`, older ones hang off
// `previous`. The chunk's bytes follow the header.
struct XmlTextArena {
  XmlTextArena* previous;
  uint32_t used;
  uint32_t capacity;
};

// The shared empty text (tagged borrowed); never written to, never freed.
char* xml_text_empty();
// The shared text of the one byte (tagged borrowed; byte 0 gives an empty text); never written to, never
// freed.
char* xml_text_one_byte(char byte);

// Room in the arena for a text of up to n bytes and its terminator, tag already written; null when memory
// runs out. Valid until the arena is freed. Finish it with xml_arena_commit before the next reservation.
char* xml_arena_reserve(XmlTextArena** arena, uint32_t n);
// xml_arena_reserve with the common case, room in the newest chunk, done in place.
inline char* xml_arena_reserve_fast(XmlTextArena** arena, uint32_t n) {
  XmlTextArena* chunk = *arena;
  uint32_t room = chunk ? chunk->capacity - chunk->used : 0;
  if (room < 2 || n > room - 2) return xml_arena_reserve(arena, n);
  char* at = reinterpret_cast<char*>(chunk + 1) + chunk->used;
  at[0] = static_cast<char>(XML_TEXT_BORROWED);
  chunk->used += n + 2;
  return at + 1;
}
// Ends the latest reservation of n bytes: the text is length (<= n) bytes; writes the terminator and gives
// the unused bytes back to the arena.
void xml_arena_commit(XmlTextArena* arena, char* text, uint32_t n, uint32_t length);
// Arena copy of n bytes plus a terminator; null when memory runs out. Valid until the arena is freed.
char* xml_arena_copy(XmlTextArena** arena, const char* bytes, uint32_t n);
// Releases every chunk; *arena becomes null. Null arena pointers are ignored.
void xml_arena_free(XmlTextArena** arena);

// Heap copy of text (null counts as ""), tagged heap; null when memory runs out. Caller releases it with
// xml_text_release.
char* xml_heap_text(const char* text);
// Releases a heap text; borrowed texts and null are left alone.
void xml_text_release(char* text);
// The interned copy of name in doc (null counts as ""): borrowed, valid until the document is reloaded or
// destroyed; null when memory runs out (nothing changes).
char* xml_doc_intern(XmlDoc* doc, const char* name);
// A copy of text for storing in doc: "" and null give the shared empty text, one byte a shared one-byte
// text, other short texts a slot, longer ones a heap block (doc->heap_texts set). Null when memory runs out. Release it with xml_doc_release.
char* xml_doc_text(XmlDoc* doc, const char* text);
// The same for the n bytes at bytes (no terminator needed).
char* xml_doc_text_n(XmlDoc* doc, const char* bytes, uint32_t n);
// Gives a text of doc back: heap blocks are freed, slots go to their free list, borrowed texts and null
// are left alone.
void xml_doc_release(XmlDoc* doc, char* text);
// Forgets the interned names and free slots (their arena is about to be freed); null doc ignored.
void xml_doc_texts_reset(XmlDoc* doc);
// Frees the name table as well; the document's text state is then empty. Null doc ignored.
void xml_doc_texts_release(XmlDoc* doc);
// True for a text in a block of its own.
inline bool xml_text_is_heap(const char* text) {
  return text && static_cast<uint8_t>(text[-1]) == XML_TEXT_HEAP;
}
// True for a text that lives as long as the document's arena and is shared, never freed one by one.
inline bool xml_text_is_borrowed(const char* text) {
  return !text || static_cast<uint8_t>(text[-1]) == XML_TEXT_BORROWED;
}

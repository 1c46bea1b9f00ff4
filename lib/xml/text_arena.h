// Storage of the texts of an XML tree. Every text is preceded by a one-byte tag: XML_TEXT_BORROWED for texts
// that live in the document's bump arena (or in static storage) and are never freed one by one, and
// XML_TEXT_HEAP for texts in a block of their own, released when the text is replaced or its owner freed.
#pragma once

#include <cstdint>

#include "lib/xml/tree.h"

enum : uint8_t { XML_TEXT_BORROWED = 0, XML_TEXT_HEAP = 1 };

// One chunk of a document's text arena; the newest chunk is the document's `arena`, older ones hang off
// `previous`. The chunk's bytes follow the header.
struct XmlTextArena {
  XmlTextArena* previous;
  uint32_t used;
  uint32_t capacity;
};

// The shared empty text (tagged borrowed); never written to, never freed.
char* xml_text_empty();

// Room in the arena for a text of up to n bytes and its terminator, tag already written; null when memory
// runs out. Valid until the arena is freed. Finish it with xml_arena_commit before the next reservation.
char* xml_arena_reserve(XmlTextArena** arena, uint32_t n);
// Ends the latest reservation of n bytes: the text is length (<= n) bytes; writes the terminator and gives
// the unused bytes back to the arena.
void xml_arena_commit(XmlTextArena* arena, char* text, uint32_t n, uint32_t length);
// Arena copy of n bytes plus a terminator; null when memory runs out. Valid until the arena is freed.
char* xml_arena_copy(XmlTextArena** arena, const char* bytes, uint32_t n);
// Releases every chunk; *arena becomes null. Null arena pointers are ignored.
void xml_arena_free(XmlTextArena** arena);
// Number of chunks (a diagnostic figure).
uint32_t xml_arena_chunks(const XmlTextArena* arena);

// Heap copy of text (null counts as ""), tagged heap; null when memory runs out. Caller releases it with
// xml_text_release.
char* xml_heap_text(const char* text);
// Releases a heap text; borrowed texts and null are left alone.
void xml_text_release(char* text);
// True for a text in a block of its own.
inline bool xml_text_is_heap(const char* text) {
  return text && static_cast<uint8_t>(text[-1]) == XML_TEXT_HEAP;
}

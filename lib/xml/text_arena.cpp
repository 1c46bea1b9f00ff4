// Text storage of XML trees: a bump arena of growing chunks for parsed texts, interned names, size-class
// slots for short edited texts and tagged heap blocks for long ones.
#include "lib/xml/text_arena.h"

#include <cstddef>
#include <cstring>

#include "lib/base/alloc.h"
#include "lib/base/hash.h"

namespace {

// Chunk sizes grow from the first to the largest standard size, whose block (header included) is the 2 MB
// that the host can back with one huge page; a longer text gets a chunk of its own size.
constexpr uint32_t kFirstChunk = 2048;
constexpr uint32_t kLargestChunk = (2u << 20) - uint32_t(sizeof(XmlTextArena));
// Largest text the arena accepts (leaves room for the tag, the terminator and the chunk header).
constexpr uint32_t kLargestText = UINT32_MAX - 64 - sizeof(XmlTextArena);

char g_empty_text[2] = {XML_TEXT_BORROWED, 0};

// The one-byte texts, shared like the empty text: tag, byte and terminator for every byte value. A sheet
// holds hundreds of thousands of them ("s" and "b" types, "0" and "1" values), each otherwise a text of
// its own.
struct OneByteTexts {
  char texts[256][3];
  constexpr OneByteTexts() : texts() {
    for (int c = 0; c < 256; c++) {
      texts[c][0] = static_cast<char>(XML_TEXT_BORROWED);
      texts[c][1] = static_cast<char>(c);
      texts[c][2] = 0;
    }
  }
};

OneByteTexts g_one_byte_texts;

char* chunk_bytes(XmlTextArena* chunk) {
  return reinterpret_cast<char*>(chunk + 1);
}

uint32_t next_chunk_size(const XmlTextArena* current, uint32_t need) {
  uint32_t size = kFirstChunk;
  if (current) size = current->capacity >= kLargestChunk / 2 ? kLargestChunk : current->capacity * 2;
  if (size < kFirstChunk) size = kFirstChunk;
  return need > size ? need : size;
}

// Makes room for need bytes; false when memory runs out (the arena is unchanged).
bool arena_make_room(XmlTextArena** arena, uint32_t need) {
  XmlTextArena* current = *arena;
  if (current && current->capacity - current->used >= need) return true;
  uint32_t size = next_chunk_size(current, need);
  auto* chunk = static_cast<XmlTextArena*>(xlsx_malloc(static_cast<uint32_t>(sizeof(XmlTextArena)) + size));
  if (!chunk) return false;
  chunk->previous = current;
  chunk->used = 0;
  chunk->capacity = size;
  *arena = chunk;
  return true;
}

}  // namespace

char* xml_text_empty() {
  return g_empty_text + 1;
}

char* xml_text_one_byte(char byte) {
  return g_one_byte_texts.texts[static_cast<uint8_t>(byte)] + 1;
}

char* xml_arena_reserve(XmlTextArena** arena, uint32_t n) {
  if (n > kLargestText || !arena_make_room(arena, n + 2)) return nullptr;
  XmlTextArena* chunk = *arena;
  char* at = chunk_bytes(chunk) + chunk->used;
  at[0] = static_cast<char>(XML_TEXT_BORROWED);
  chunk->used += n + 2;
  return at + 1;
}

void xml_arena_commit(XmlTextArena* arena, char* text, uint32_t n, uint32_t length) {
  text[length] = 0;
  arena->used -= n - length;
}

char* xml_arena_copy(XmlTextArena** arena, const char* bytes, uint32_t n) {
  char* text = xml_arena_reserve(arena, n);
  if (!text) return nullptr;
  if (n) memcpy(text, bytes, n);
  text[n] = 0;
  return text;
}

void xml_arena_free(XmlTextArena** arena) {
  if (!arena) return;
  XmlTextArena* chunk = *arena;
  while (chunk) {
    XmlTextArena* previous = chunk->previous;
    xlsx_free(chunk);
    chunk = previous;
  }
  *arena = nullptr;
}

char* xml_heap_text(const char* text) {
  size_t length = text ? strlen(text) : 0;
  if (length > kLargestText) return nullptr;
  auto* block = static_cast<char*>(xlsx_malloc(static_cast<uint32_t>(length) + 2));
  if (!block) return nullptr;
  block[0] = static_cast<char>(XML_TEXT_HEAP);
  if (length) memcpy(block + 1, text, length);
  block[length + 1] = 0;
  return block + 1;
}

void xml_text_release(char* text) {
  if (xml_text_is_heap(text)) xlsx_free(text - 1);
}

// --- texts of the editing functions

namespace {

constexpr uint32_t kFirstNameSlots = 64;
static_assert(sizeof(XmlDoc::free_slots) / sizeof(char*) == XML_TEXT_SLOT_CLASSES, "one free list per class");
static_assert(sizeof(char*) <= 8, "a free slot holds the link to the next one");
// Longest text a slot holds: the largest class less the tag and the terminator.
constexpr uint32_t kLongestSlotText = (8u << (XML_TEXT_SLOT_CLASSES - 1)) - 2;

XmlNameEntry* name_entries(XmlNameTable* table) {
  return reinterpret_cast<XmlNameEntry*>(table + 1);
}

XmlNameTable* new_name_table(uint32_t capacity) {
  uint32_t bytes = static_cast<uint32_t>(sizeof(XmlNameTable) + capacity * sizeof(XmlNameEntry));
  auto* table = static_cast<XmlNameTable*>(xlsx_calloc(1, bytes));
  if (table) table->capacity = capacity;
  return table;
}

XmlNameEntry* name_slot(XmlNameTable* table, uint32_t hash) {
  XmlNameEntry* entries = name_entries(table);
  uint32_t mask = table->capacity - 1;
  uint32_t index = hash & mask;
  while (entries[index].text) index = (index + 1) & mask;
  return &entries[index];
}

// Makes room for one more name (the table stays at most half full); false when memory runs out.
bool names_make_room(XmlDoc* doc) {
  XmlNameTable* table = doc->names;
  if (table && (table->used + 1) * 2 <= table->capacity) return true;
  uint32_t capacity = table ? table->capacity * 2 : kFirstNameSlots;
  if (capacity == 0 || capacity > (UINT32_MAX - sizeof(XmlNameTable)) / sizeof(XmlNameEntry) / 2) return false;
  XmlNameTable* grown = new_name_table(capacity);
  if (!grown) return false;
  if (table) {
    XmlNameEntry* old = name_entries(table);
    for (uint32_t i = 0; i < table->capacity; i++) {
      if (old[i].text) *name_slot(grown, old[i].hash) = old[i];
    }
    grown->used = table->used;
    xlsx_free(table);
  }
  doc->names = grown;
  return true;
}

// Size class of a text of length n, or XML_TEXT_SLOT_CLASSES when it needs a heap block: the smallest k
// with 8 << k >= n + 2 (every edited value comes here, so it is three comparisons, not a loop).
static_assert(XML_TEXT_SLOT_CLASSES == 4, "slot_class knows four classes");
inline uint32_t slot_class(uint32_t n) {
  return n <= 6 ? 0u : n <= 14 ? 1u : n <= 30 ? 2u : n <= 62 ? 3u : uint32_t{XML_TEXT_SLOT_CLASSES};
}

// A slot of class k: from the free list, or carved from the arena; null when memory runs out. The free
// list is linked through the first bytes of each free slot (tag included), copied with memcpy since a
// slot has no alignment of its own.
char* take_slot(XmlDoc* doc, uint32_t k) {
  char* slot = doc->free_slots[k];
  if (slot) {
    memcpy(&doc->free_slots[k], slot, sizeof(char*));
  } else {
    char* text = xml_arena_reserve_fast(&doc->arena, (8u << k) - 2);
    if (!text) return nullptr;
    slot = text - 1;
  }
  slot[0] = static_cast<char>(XML_TEXT_SLOT + k);
  return slot + 1;
}

constexpr uint32_t kRecentNames = sizeof(XmlDoc::recent_names) / sizeof(char*);
static_assert((kRecentNames & (kRecentNames - 1)) == 0, "a power of two");

// Cache slot of a name (not empty) by its first two bytes: the names of a sheet's cells ("c", "r", "v",
// "t") land in different slots.
inline uint32_t recent_slot(const char* name) {
  return (static_cast<uint8_t>(name[0]) * 7u + static_cast<uint8_t>(name[1])) & (kRecentNames - 1);
}

inline bool same_name(const char* a, const char* b) {
  for (uint32_t i = 0;; i++) {
    if (a[i] != b[i]) return false;
    if (!a[i]) return true;
  }
}

}  // namespace

char* xml_doc_intern(XmlDoc* doc, const char* name) {
  if (!name || !*name) return xml_text_empty();
  // Every created element and attribute comes here, mostly with one of a few short names: the one met
  // last in the name's cache slot is compared before the name is hashed.
  char*& recent = doc->recent_names[recent_slot(name)];
  if (recent && same_name(recent, name)) return recent;
  const char* end = name;
  while (*end && static_cast<size_t>(end - name) < kLargestText) end++;
  if (*end) return nullptr;
  uint32_t n = static_cast<uint32_t>(end - name);
  uint32_t hash = xlsx_hash_keyed(name, n);
  if (XmlNameTable* table = doc->names) {
    XmlNameEntry* entries = name_entries(table);
    uint32_t mask = table->capacity - 1;
    for (uint32_t index = hash & mask; entries[index].text; index = (index + 1) & mask) {
      const XmlNameEntry& entry = entries[index];
      if (entry.hash == hash && entry.length == n && memcmp(entry.text, name, n) == 0) {
        recent = const_cast<char*>(entry.text);
        return recent;
      }
    }
  }
  bool first_name = !doc->names;
  if (!names_make_room(doc)) return nullptr;
  char* text = xml_arena_copy(&doc->arena, name, n);
  if (!text) {
    // A failed call leaves no block behind: a table made for this name goes again.
    if (first_name) {
      xlsx_free(doc->names);
      doc->names = nullptr;
    }
    return nullptr;
  }
  *name_slot(doc->names, hash) = {text, hash, n};
  doc->names->used++;
  recent = text;
  return text;
}

char* xml_doc_text_n(XmlDoc* doc, const char* bytes, uint32_t n) {
  if (n == 0) return xml_text_empty();
  if (n == 1) return xml_text_one_byte(bytes[0]);
  char* text;
  if (n <= kLongestSlotText) {
    text = take_slot(doc, slot_class(n));
  } else {
    if (n > kLargestText) return nullptr;
    char* block = static_cast<char*>(xlsx_malloc(n + 2));
    if (!block) return nullptr;
    block[0] = static_cast<char>(XML_TEXT_HEAP);
    text = block + 1;
    doc->heap_texts = true;
  }
  if (!text) return nullptr;
  memcpy(text, bytes, n);
  text[n] = 0;
  return text;
}

char* xml_doc_text(XmlDoc* doc, const char* text) {
  size_t length = text ? strlen(text) : 0;
  if (length > kLargestText) return nullptr;
  return xml_doc_text_n(doc, text, static_cast<uint32_t>(length));
}

void xml_doc_release(XmlDoc* doc, char* text) {
  if (!text) return;
  uint8_t tag = static_cast<uint8_t>(text[-1]);
  if (tag == XML_TEXT_HEAP) {
    xlsx_free(text - 1);
  } else if (tag >= XML_TEXT_SLOT && tag - static_cast<uint32_t>(XML_TEXT_SLOT) < XML_TEXT_SLOT_CLASSES) {
    char* slot = text - 1;
    char*& head = doc->free_slots[tag - XML_TEXT_SLOT];
    memcpy(slot, &head, sizeof(char*));
    head = slot;
  }
}

void xml_doc_texts_reset(XmlDoc* doc) {
  if (!doc) return;
  for (char*& head : doc->free_slots) head = nullptr;
  for (char*& name : doc->recent_names) name = nullptr;
  if (XmlNameTable* table = doc->names) {
    memset(name_entries(table), 0, table->capacity * sizeof(XmlNameEntry));
    table->used = 0;
  }
}

void xml_doc_texts_release(XmlDoc* doc) {
  if (!doc) return;
  xml_doc_texts_reset(doc);
  xlsx_free(doc->names);
  doc->names = nullptr;
}

// Text storage of XML trees: a bump arena of growing chunks for parsed texts, tagged heap blocks for edits.
#include "lib/xml/text_arena.h"

#include <cstring>

#include "lib/base/alloc.h"

namespace {

// Chunk sizes grow from the first to the largest standard size; a longer text gets a chunk of its own size.
constexpr uint32_t kFirstChunk = 2048;
constexpr uint32_t kLargestChunk = 1u << 20;
// Largest text the arena accepts (leaves room for the tag, the terminator and the chunk header).
constexpr uint32_t kLargestText = UINT32_MAX - 64 - sizeof(XmlTextArena);

char g_empty_text[2] = {XML_TEXT_BORROWED, 0};

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

uint32_t xml_arena_chunks(const XmlTextArena* arena) {
  uint32_t count = 0;
  for (; arena; arena = arena->previous) count++;
  return count;
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

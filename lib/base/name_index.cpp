// XlsxNameIndex: open addressing with linear probing over keyed hashes; a slot's stored hash is compared
// before its text, so a probe passing other texts costs an integer comparison each.
#include "lib/base/name_index.h"

#include <cstring>

#include "lib/base/alloc.h"
#include "lib/base/hash.h"

namespace {

constexpr uint32_t kFirstSlots = 16;

// Smallest power of two that holds count texts at most three quarters full.
uint32_t slots_for(uint32_t count) {
  uint64_t need = uint64_t(count) * 4 / 3 + 1;
  uint64_t slots = kFirstSlots;
  while (slots < need) slots *= 2;
  return slots > 0x80000000u ? 0 : uint32_t(slots);
}

// The slot holding text, or the free slot where it goes.
XlsxNameSlot* probe(XlsxNameSlot* slots, uint32_t slot_count, uint32_t hash, const char* text, XlsxKeyAt key_at,
                    const void* list) {
  uint32_t mask = slot_count - 1;
  for (uint32_t i = hash & mask;; i = (i + 1) & mask) {
    XlsxNameSlot* slot = &slots[i];
    if (slot->position == 0) return slot;
    if (slot->hash == hash && std::strcmp(key_at(list, slot->position - 1), text) == 0) return slot;
  }
}

// Moves every occupied slot into a new table of slot_count slots; false when memory runs out.
bool rehash(XlsxNameIndex* index, uint32_t slot_count) {
  if (slot_count == 0) return false;
  XlsxNameSlot* slots = static_cast<XlsxNameSlot*>(xlsx_calloc(slot_count, sizeof(XlsxNameSlot)));
  if (!slots) return false;
  uint32_t mask = slot_count - 1;
  for (uint32_t i = 0; i < index->slot_count; i++) {
    XlsxNameSlot slot = index->slots[i];
    if (slot.position == 0) continue;
    uint32_t at = slot.hash & mask;
    while (slots[at].position != 0) at = (at + 1) & mask;
    slots[at] = slot;
  }
  xlsx_free(index->slots);
  index->slots = slots;
  index->slot_count = slot_count;
  return true;
}

// Indexes positions 0 .. count - 1 into the index's cleared table; the index is then complete.
xlsx_status fill(XlsxNameIndex* index, uint32_t count, XlsxKeyAt key_at, const void* list) {
  for (uint32_t position = 0; position < count; position++) {
    const char* text = key_at(list, position);
    uint32_t hash = xlsx_hash_text(text);
    XlsxNameSlot* slot = probe(index->slots, index->slot_count, hash, text, key_at, list);
    if (slot->position != 0) continue;
    *slot = XlsxNameSlot{position + 1, hash};
    index->used++;
  }
  index->complete = 1;
  return XLSX_OK;
}

}  // namespace

void xlsx_name_index_init(XlsxNameIndex* index) {
  if (index) *index = XlsxNameIndex{nullptr, 0, 0, 1};
}

void xlsx_name_index_free(XlsxNameIndex* index) {
  if (!index) return;
  xlsx_free(index->slots);
  xlsx_name_index_init(index);
}

xlsx_status xlsx_name_index_build(XlsxNameIndex* index, uint32_t count, XlsxKeyAt key_at, const void* list) {
  if (!index || !key_at) return XLSX_ERR_INVALID_ARG;
  index->complete = 0;
  uint32_t slot_count = slots_for(count);
  // A table of the right size is cleared and used again: rebuilding after a small change of the list
  // then takes no memory, and so cannot fail.
  if (slot_count && slot_count == index->slot_count) {
    std::memset(index->slots, 0, slot_count * sizeof(XlsxNameSlot));
    index->used = 0;
    return fill(index, count, key_at, list);
  }
  XlsxNameSlot* slots =
      slot_count ? static_cast<XlsxNameSlot*>(xlsx_calloc(slot_count, sizeof(XlsxNameSlot))) : nullptr;
  if (!slots) return XLSX_ERR_NO_MEMORY;
  xlsx_free(index->slots);
  index->slots = slots;
  index->slot_count = slot_count;
  index->used = 0;
  return fill(index, count, key_at, list);
}

xlsx_status xlsx_name_index_add(XlsxNameIndex* index, uint32_t position, XlsxKeyAt key_at, const void* list) {
  if (!index || !key_at) return XLSX_ERR_INVALID_ARG;
  if (!index->complete) return XLSX_OK;  // its owner builds it again before using it
  if (uint64_t(index->used + 1) * 4 > uint64_t(index->slot_count) * 3 &&
      !rehash(index, index->slot_count ? index->slot_count * 2 : kFirstSlots)) {
    index->complete = 0;
    return XLSX_ERR_NO_MEMORY;
  }
  const char* text = key_at(list, position);
  uint32_t hash = xlsx_hash_text(text);
  XlsxNameSlot* slot = probe(index->slots, index->slot_count, hash, text, key_at, list);
  if (slot->position == 0) {
    *slot = XlsxNameSlot{position + 1, hash};
    index->used++;
  }
  return XLSX_OK;
}

uint32_t xlsx_name_index_find(const XlsxNameIndex* index, const char* text, XlsxKeyAt key_at, const void* list) {
  if (!index || !text || !key_at || index->slot_count == 0) return XLSX_NO_POSITION;
  const XlsxNameSlot* slot = probe(index->slots, index->slot_count, xlsx_hash_text(text), text, key_at, list);
  return slot->position ? slot->position - 1 : XLSX_NO_POSITION;
}

void xlsx_name_index_invalidate(XlsxNameIndex* index) {
  if (index) index->complete = 0;
}

bool xlsx_name_index_complete(const XlsxNameIndex* index) { return index && index->complete; }

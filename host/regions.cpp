// Large blocks as mappings of their own, found again through a table of the live mappings; small blocks
// from the C library.
#include "host/regions.h"

#include <cstdlib>
#include <cstring>

#include "host/fresh_pages.h"

#ifndef KORVADEL_PLAIN_MEMORY
#include <malloc.h>
#include <sys/mman.h>
#endif

#ifdef KORVADEL_PLAIN_MEMORY

void* RegionObtain(size_t size, bool zero) {
  if (size == 0) size = 1;
  return zero ? calloc(1, size) : malloc(size);
}

void* RegionResize(void* block, size_t size) {
  return realloc(block, size ? size : 1);
}

void RegionRelease(void* block) {
  free(block);
}

RegionFigures RegionCurrentFigures() {
  return RegionFigures{};
}

bool RegionsInUse() {
  return false;
}

#else

namespace {

// One live mapping: its address (the block) and length. Address 0 marks a free slot.
struct Mapping {
  uintptr_t address;
  size_t length;
};

// Open-addressed table of the live mappings (linear probing, at most half full).
struct MappingTable {
  Mapping* slots = nullptr;
  size_t capacity = 0;  // 0 or a power of two
  size_t used = 0;
};

MappingTable table;
RegionFigures figures;

size_t SlotOf(uintptr_t address, size_t capacity) {
  // Mappings are page-aligned: the low bits carry nothing.
  uint64_t key = uint64_t(address >> 12) * 0x9E3779B97F4A7C15ull;
  return size_t(key >> 32) & (capacity - 1);
}

Mapping* Find(uintptr_t address) {
  if (table.capacity == 0) return nullptr;
  for (size_t i = SlotOf(address, table.capacity);; i = (i + 1) & (table.capacity - 1)) {
    Mapping* slot = &table.slots[i];
    if (slot->address == address) return slot;
    if (slot->address == 0) return nullptr;
  }
}

void Place(Mapping* slots, size_t capacity, Mapping entry) {
  size_t i = SlotOf(entry.address, capacity);
  while (slots[i].address) i = (i + 1) & (capacity - 1);
  slots[i] = entry;
}

// Room for one more mapping; false when the table cannot grow.
bool MakeRoom() {
  if ((table.used + 1) * 2 <= table.capacity) return true;
  size_t capacity = table.capacity ? table.capacity * 2 : 256;
  auto* slots = static_cast<Mapping*>(calloc(capacity, sizeof(Mapping)));
  if (!slots) return false;
  for (size_t i = 0; i < table.capacity; ++i) {
    if (table.slots[i].address) Place(slots, capacity, table.slots[i]);
  }
  free(table.slots);
  table.slots = slots;
  table.capacity = capacity;
  return true;
}

// Removes the slot's entry and moves later entries of its run back, so that every probe still finds them.
void Remove(Mapping* slot) {
  size_t mask = table.capacity - 1;
  size_t hole = size_t(slot - table.slots);
  table.slots[hole] = Mapping{};
  for (size_t i = (hole + 1) & mask; table.slots[i].address; i = (i + 1) & mask) {
    size_t home = SlotOf(table.slots[i].address, table.capacity);
    // The entry at i may fill the hole when its home is not in the cyclic range (hole, i].
    bool stays = hole <= i ? (home > hole && home <= i) : (home > hole || home <= i);
    if (stays) continue;
    table.slots[hole] = table.slots[i];
    table.slots[i] = Mapping{};
    hole = i;
  }
  --table.used;
}

void CountMapped(size_t added, size_t removed) {
  figures.mapped_bytes += added;
  figures.mapped_bytes -= removed;
  if (figures.mapped_bytes > figures.peak_mapped_bytes) figures.peak_mapped_bytes = figures.mapped_bytes;
}

size_t MappingLength(size_t size) {
  return (size + kPage - 1) & ~(kPage - 1);
}

// A new mapping of at least size bytes, entered in the table; null when memory runs out.
void* NewMapping(size_t size) {
  size_t length = MappingLength(size);
  if (length < size || !MakeRoom()) return nullptr;
  char* at = FreshMapping(length);
  if (!at) return nullptr;
  Place(table.slots, table.capacity, Mapping{reinterpret_cast<uintptr_t>(at), length});
  ++table.used;
  ++figures.obtained;
  if (++figures.mappings > figures.peak_mappings) figures.peak_mappings = figures.mappings;
  CountMapped(length, 0);
  return at;
}

void DropMapping(Mapping* mapping) {
  size_t length = mapping->length;
  munmap(reinterpret_cast<void*>(mapping->address), length);
  CountMapped(0, length);
  --figures.mappings;
  Remove(mapping);
  FreshReleased(length);
}

// The mapping of a block, or null for a block of the C library. Only page-aligned blocks can be mappings.
Mapping* MappingOf(void* block) {
  uintptr_t address = reinterpret_cast<uintptr_t>(block);
  if (address == 0 || (address & (kPage - 1)) != 0) return nullptr;
  return Find(address);
}

// Moves a mapping to one of length bytes: grown in place when the range after it is free, otherwise moved
// (its pages, not their bytes) to the start of a new aligned range. Returns the block's address, null
// when the system refuses (the mapping is then unchanged).
void* ResizeMapping(Mapping* mapping, size_t length) {
  void* old = reinterpret_cast<void*>(mapping->address);
  if (length <= mapping->length) {
    if (length < mapping->length) munmap(static_cast<char*>(old) + length, mapping->length - length);
    CountMapped(0, mapping->length - length);
    mapping->length = length;
    return old;
  }
  void* moved = mremap(old, mapping->length, length, 0);
  if (moved == MAP_FAILED) {
    char* target = MapAligned(length);
    if (!target) return nullptr;
    moved = mremap(old, mapping->length, length, MREMAP_MAYMOVE | MREMAP_FIXED, target);
    if (moved == MAP_FAILED) {
      munmap(target, length);
      return nullptr;
    }
  }
  FreshGrown(static_cast<char*>(moved), mapping->length, length);
  CountMapped(length - mapping->length, 0);
  Mapping entry{reinterpret_cast<uintptr_t>(moved), length};
  Remove(mapping);
  Place(table.slots, table.capacity, entry);
  ++table.used;
  return moved;
}

}  // namespace

void* RegionObtain(size_t size, bool zero) {
  if (size < kRegionMinimum) return zero ? calloc(1, size ? size : 1) : malloc(size ? size : 1);
  return NewMapping(size);  // fresh anonymous memory reads as zero
}

void* RegionResize(void* block, size_t size) {
  if (!block) return RegionObtain(size, false);
  Mapping* mapping = MappingOf(block);
  if (!mapping) {
    if (size < kRegionMinimum) return realloc(block, size ? size : 1);
    void* grown = NewMapping(size);
    if (!grown) return nullptr;
    size_t old = malloc_usable_size(block);
    memcpy(grown, block, old < size ? old : size);
    free(block);
    return grown;
  }
  if (size < kRegionMinimum) {
    void* small = malloc(size ? size : 1);
    if (!small) return nullptr;
    memcpy(small, block, size);
    DropMapping(mapping);
    return small;
  }
  size_t length = MappingLength(size);
  return length < size ? nullptr : ResizeMapping(mapping, length);
}

void RegionRelease(void* block) {
  Mapping* mapping = MappingOf(block);
  if (mapping) {
    DropMapping(mapping);
  } else {
    free(block);
  }
}

RegionFigures RegionCurrentFigures() {
  return figures;
}

bool RegionsInUse() {
  return true;
}

#endif

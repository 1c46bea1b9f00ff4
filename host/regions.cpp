// Large blocks as mappings of their own, found again through a table of the live mappings; small blocks
// from the C library.
#include "host/regions.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#if defined(__SANITIZE_ADDRESS__)
#define KORVADEL_PLAIN_MEMORY 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define KORVADEL_PLAIN_MEMORY 1
#endif
#endif
#if !defined(KORVADEL_PLAIN_MEMORY) && !(defined(__linux__) && UINTPTR_MAX > 0xFFFFFFFFu)
#define KORVADEL_PLAIN_MEMORY 1
#endif

#ifndef KORVADEL_PLAIN_MEMORY
#include <malloc.h>
#include <sys/mman.h>
#include <time.h>
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

constexpr size_t kPage = 4096;
constexpr size_t kHugePage = size_t(2) << 20;

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

// Whether new mappings are advised for huge pages. On virtual machines whose system hands memory left idle
// back to the machine's host (free page reporting), a free 2 MB block is usually such memory, and the host
// must back it again 4 KB at a time when it is first written: a huge page then costs several times what
// the 512 faults it saves would have (measured here: 2.2-3.5 s for 370 MB against 0.4-1.0 s in 4 KB pages;
// memory returned moments ago costs 0.12 s in huge pages against 0.64 s). So the fill of each new mapping
// of one huge page (the pages and chunks of a tree) is timed: those are advised for huge pages until a
// fill proves slow, then tried again after kFirstRetry such mappings, twice as many after each further
// slow fill (up to kLastRetry); larger blocks are advised only while the last fill proved huge pages cheap.
struct HugePolicy {
  bool judged = false;  // a fill of one huge page has been timed
  bool cheap = false;   // and the last one cost less than a fill in 4 KB pages
  uint32_t skipped = 0;
  uint32_t retry = 0;  // mappings to skip before the next try
};

HugePolicy huge;
constexpr uint32_t kFirstRetry = 32;
constexpr uint32_t kLastRetry = 1024;
// Processor time above which the fill of one huge page counts as slow. A huge page may cost more to fill
// than 2 MB of 4 KB pages populated in one call (0.3-2.6 ms on these machines) and still pay for itself
// in translation misses saved later: where the kernel compacts memory for each new huge page (3.4 ms a
// fill, 0.1 ms for one at hand), a loaded sheet read cell by cell took half the time in huge pages. A
// huge page the host must back again (12-19 ms) costs more than it saves.
constexpr double kSlowHugeFill = 5e-3;

// Whether a new mapping of length bytes is to be advised for huge pages; a mapping of exactly one huge
// page is the policy's probe.
bool WantHuge(size_t length) {
  if (length < kHugePage) return false;
  if (length > kHugePage) return huge.judged && huge.cheap;
  if (!huge.judged || huge.cheap) return true;
  if (++huge.skipped < huge.retry) return false;
  huge.skipped = 0;
  return true;
}

double ThreadSeconds() {
  timespec now;
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return double(now.tv_sec) + double(now.tv_nsec) * 1e-9;
}

// Huge pages for this range; true when advised.
bool AdviseHuge(char* at, size_t length) {
#ifdef MADV_HUGEPAGE
  return madvise(at, length, MADV_HUGEPAGE) == 0;
#else
  (void)at;
  (void)length;
  return false;
#endif
}

// Anonymous memory of length bytes (a multiple of the page), 2 MB-aligned when it spans a huge page; null
// when the system refuses.
char* Map(size_t length) {
  size_t slack = length >= kHugePage ? kHugePage : 0;
  if (length + slack < length) return nullptr;
  void* raw = mmap(nullptr, length + slack, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (raw == MAP_FAILED) return nullptr;
  char* start = static_cast<char*>(raw);
  if (slack == 0) return start;
  char* aligned = reinterpret_cast<char*>((reinterpret_cast<uintptr_t>(start) + kHugePage - 1) & ~(kHugePage - 1));
  if (aligned > start) munmap(start, size_t(aligned - start));
  size_t after = size_t(start + length + slack - (aligned + length));
  if (after) munmap(aligned + length, after);
  return aligned;
}

// Makes the pages of a new range present in one call instead of one fault per page (per huge page), when
// it is no larger than a huge page: such blocks are the pages and chunks that a tree fills to the end.
// Larger blocks are often room to grow into (a buffer that doubles, a bound on deflated bytes): they are
// faulted in as they are written, so that room never written costs nothing.
// A fill of a new mapping of exactly one huge page that was advised for one (judge) is timed for the
// huge-page policy.
void Populate(char* at, size_t length, bool judge_huge) {
#ifdef MADV_POPULATE_WRITE
  if (length > kHugePage) return;
  bool judge = judge_huge && length == kHugePage;
  double start = judge ? ThreadSeconds() : 0;
  if (madvise(at, length, MADV_POPULATE_WRITE) == 0 && judge) {
    huge.cheap = ThreadSeconds() - start <= kSlowHugeFill;
    huge.retry = huge.cheap ? kFirstRetry : !huge.judged ? kFirstRetry : std::min(huge.retry * 2, kLastRetry);
    huge.judged = true;
  }
#else
  (void)at;
  (void)length;
  (void)judge_huge;
#endif
}

// A new mapping of at least size bytes, entered in the table; null when memory runs out.
void* NewMapping(size_t size) {
  size_t length = MappingLength(size);
  if (length < size || !MakeRoom()) return nullptr;
  char* at = Map(length);
  if (!at) return nullptr;
  bool advised = WantHuge(length) && AdviseHuge(at, length);
  Place(table.slots, table.capacity, Mapping{reinterpret_cast<uintptr_t>(at), length});
  ++table.used;
  ++figures.obtained;
  if (++figures.mappings > figures.peak_mappings) figures.peak_mappings = figures.mappings;
  CountMapped(length, 0);
  Populate(at, length, advised);
  return at;
}

void DropMapping(Mapping* mapping) {
  munmap(reinterpret_cast<void*>(mapping->address), mapping->length);
  CountMapped(0, mapping->length);
  --figures.mappings;
  Remove(mapping);
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
    char* target = Map(length);
    if (!target) return nullptr;
    moved = mremap(old, mapping->length, length, MREMAP_MAYMOVE | MREMAP_FIXED, target);
    if (moved == MAP_FAILED) {
      munmap(target, length);
      return nullptr;
    }
  }
  if (WantHuge(length)) AdviseHuge(static_cast<char*>(moved), length);
  Populate(static_cast<char*>(moved) + mapping->length, length - mapping->length, false);
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

// Where the plugin's memory comes from. On this kind of machine a fresh 4 KB page costs microseconds when it
// is first touched, so blocks of kRegionMinimum bytes and more get a mapping of their own: 2 MB-aligned
// when it is that large, advised for huge pages (one fault per 2 MB where the kernel offers them) while
// huge pages prove cheaper than 4 KB ones, filled in one call when no larger than a huge page (those of one
// huge page filled ahead on a second processor: host/fresh_pages.h), and returned to the system as soon as
// the block is freed. Smaller blocks come from the C library. Builds that cannot or should not map take
// every block from the C library. Not thread-safe: the plugin allocates in one thread.
#pragma once

#include <cstddef>
#include <cstdint>

// Smallest block that gets a mapping of its own where regions are in use.
constexpr size_t kRegionMinimum = size_t(128) << 10;

// New block of size bytes (zero-filled when zero is set); null when memory runs out. size may be 0.
void* RegionObtain(size_t size, bool zero);
// Resizes a block from RegionObtain (null: a new block); keeps the first min(old, size) bytes. Null when
// memory runs out: the old block then stays valid.
void* RegionResize(void* block, size_t size);
// Returns a block from RegionObtain or RegionResize; null is ignored.
void RegionRelease(void* block);

// What the regions hold now and at most so far (bytes mapped, mappings); all 0 where regions are not in use.
struct RegionFigures {
  uint64_t mapped_bytes;
  uint64_t peak_mapped_bytes;
  uint32_t mappings;
  uint32_t peak_mappings;
  uint64_t obtained;  // mappings made since the start
};
RegionFigures RegionCurrentFigures();
// True where large blocks get mappings of their own.
bool RegionsInUse();

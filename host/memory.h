// Plugin memory: tagged blocks (AllocMem/FreeMem) and the C-style operations the plugin's library uses,
// with counters of live blocks so that leaks can be reported when the host ends.
#pragma once

#include <cstdint>
#include <cstdio>

// New block of size bytes (zero-filled when clear is nonzero) under tag; null when memory runs out.
void* HostAllocMem(uint32_t size, uint32_t clear, const char* tag);
// Releases a block from HostAllocMem; null is ignored, a pointer that is no tagged block aborts the host.
void HostFreeMem(void* block);
// C-style memory, counted: null when memory runs out. HostFree(null) is ignored.
void* HostMalloc(uint32_t size);
void* HostCalloc(uint32_t count, uint32_t size);
void* HostRealloc(void* block, uint32_t size);
void HostFree(void* block);

// Live tagged blocks, in total and under one tag.
uint32_t HostLiveTaggedBlocks();
uint32_t HostLiveTaggedBlocksWithTag(const char* tag);
// Live C-style blocks (allocations minus releases).
uint32_t HostLiveCBlocks();
// Writes one line per live tagged block and the C-style count to out; returns the number of leaks.
uint32_t HostReportLeaks(FILE* out);

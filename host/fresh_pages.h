// Fresh anonymous memory for the host's regions: mapped 2 MB-aligned when it spans a huge page, advised for
// huge pages while they prove cheap, and filled in one call. On this kind of machine memory the system has
// not used for a moment costs microseconds per 4 KB page when first written, so mappings of one huge page
// (the pages and chunks a tree grows by, asked for one after another) are also mapped and filled ahead by
// a helper thread on a second processor: the caller takes one ready instead of paying the fill itself.
#pragma once

#include <cstddef>
#include <cstdint>

// Builds that cannot or should not map (sanitizers, which must see every block; 32-bit targets, whose
// address space is small) take every block from the C library.
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

constexpr size_t kPage = 4096;
constexpr size_t kHugePage = size_t(2) << 20;

// A new mapping of length bytes (a multiple of kPage), filled when no larger than a huge page; null when
// the system refuses.
char* FreshMapping(size_t length);
// Anonymous memory of length bytes, 2 MB-aligned when it spans a huge page, neither advised nor filled:
// the target of a mapping moved to grow.
char* MapAligned(size_t length);
// A mapping grown from old_length to length bytes: advised like a new one, its new part filled when small.
void FreshGrown(char* at, size_t old_length, size_t length);
// A mapping of length bytes was returned to the system: one of a huge page or more ends a run of demand
// (a document closes, a part's text is dropped), so the mappings filled ahead are returned too.
void FreshReleased(size_t length);

#endif

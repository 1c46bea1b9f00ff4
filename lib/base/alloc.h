// Counted memory: the library's only allocator, and the copying and formatting routines built on it.
#pragma once

#include <cstdarg>
#include <cstdint>

#include "lib/base/status.h"

typedef void (*XlsxOomHandler)(uint32_t size);

// Allocate size bytes (0 counts as 1); null after reporting to the out-of-memory handler.
void* xlsx_malloc(uint32_t size);
// Zero-filled count x size bytes (a 0 argument makes both 1); null on failure, or when the product does not
// fit 32 bits (reported as 0xFFFFFFFF bytes, the host is not asked).
void* xlsx_calloc(uint32_t count, uint32_t size);
// Resize (null block allocates); on failure null is returned and the old block stays valid and counted.
void* xlsx_realloc(void* block, uint32_t size);
// Grows *block, holding *capacity items of item_size bytes, to room for at least need items, doubling from
// first (when it holds none). XLSX_OK (nothing done when there is room); XLSX_ERR_NO_MEMORY, with block
// and capacity as they were, when memory runs out or the size would pass 32 bits.
xlsx_status xlsx_grow(void** block, uint32_t* capacity, uint32_t need, uint32_t item_size, uint32_t first);
// xlsx_grow for an array of T.
template <typename T>
xlsx_status xlsx_grow_array(T** items, uint32_t* capacity, uint32_t need, uint32_t first) {
  void* block = *items;
  xlsx_status status = xlsx_grow(&block, capacity, need, static_cast<uint32_t>(sizeof(T)), first);
  *items = static_cast<T*>(block);
  return status;
}
// Release a block from the functions above; null is passed on and not counted.
void xlsx_free(void* block);
// Number of live blocks (blocks, not bytes).
uint32_t xlsx_live_allocations();
// Install an out-of-memory handler; null restores xlsx_default_oom_handler.
void xlsx_set_oom_handler(XlsxOomHandler fn);
// The handler in use; never null.
XlsxOomHandler xlsx_oom_handler();
// Prints "Gridwerk-C: out of memory (requested %lu bytes)\n" through xlsx_printf.
void xlsx_default_oom_handler(uint32_t size);

// Copy of n bytes (a fresh 1-byte block for n = 0); null for null input or on failure. Caller frees.
void* xlsx_memdup(const void* bytes, uint32_t n);
// Copy of a NUL-terminated text; null for null input or on failure. Caller frees.
char* xlsx_strdup(const char* text);
// Copy of at most n bytes of text plus a terminator; null for null input or on failure. Caller frees.
char* xlsx_strndup(const char* text, uint32_t n);

// vsnprintf through the host; returns the length the full expansion needs, negative on a format error.
int xlsx_snprintf(char* buffer, uint32_t size, const char* format, ...) __attribute__((format(printf, 3, 4)));
int xlsx_vsnprintf(char* buffer, uint32_t size, const char* format, va_list args);
// Formatted console output through the host.
int xlsx_printf(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Counted allocation through the host's memory operations, copies in counted memory, and formatting.
#include "lib/base/alloc.h"

#include <cstring>

#include "lib/base/host_ops.h"

namespace {

uint32_t g_live_blocks = 0;
XlsxOomHandler g_oom_handler = xlsx_default_oom_handler;

void* report_failure(uint32_t size) {
  g_oom_handler(size);
  return nullptr;
}

// Length of text, looking at no more than limit bytes.
uint32_t bounded_length(const char* text, uint32_t limit) {
  const void* nul = std::memchr(text, '\0', limit);
  return nul ? static_cast<uint32_t>(static_cast<const char*>(nul) - text) : limit;
}

}  // namespace

void* xlsx_malloc(uint32_t size) {
  if (size == 0) size = 1;
  void* block = xlsx_host_ops()->malloc_fn(size);
  if (!block) return report_failure(size);
  ++g_live_blocks;
  return block;
}

void* xlsx_calloc(uint32_t count, uint32_t size) {
  if (count == 0 || size == 0) count = size = 1;
  // The product must fit the host's 32-bit sizes; a wrapped product would hand out a short block.
  if (count > UINT32_MAX / size) return report_failure(UINT32_MAX);
  void* block = xlsx_host_ops()->calloc_fn(count, size);
  if (!block) return report_failure(count * size);
  ++g_live_blocks;
  return block;
}

void* xlsx_realloc(void* block, uint32_t size) {
  if (size == 0) size = 1;
  void* resized = xlsx_host_ops()->realloc_fn(block, size);
  if (!resized) return report_failure(size);
  if (!block) ++g_live_blocks;
  return resized;
}

xlsx_status xlsx_grow(void** block, uint32_t* capacity, uint32_t need, uint32_t item_size, uint32_t first) {
  if (need <= *capacity) return XLSX_OK;
  uint64_t grown = *capacity ? *capacity : (first ? first : 1);
  while (grown < need) grown *= 2;
  if (item_size == 0 || grown * item_size > UINT32_MAX) return XLSX_ERR_NO_MEMORY;
  void* resized = xlsx_realloc(*block, static_cast<uint32_t>(grown * item_size));
  if (!resized) return XLSX_ERR_NO_MEMORY;
  *block = resized;
  *capacity = static_cast<uint32_t>(grown);
  return XLSX_OK;
}

void xlsx_free(void* block) {
  if (block) --g_live_blocks;
  xlsx_host_ops()->free_fn(block);
}

uint32_t xlsx_live_allocations() {
  return g_live_blocks;
}

void xlsx_set_oom_handler(XlsxOomHandler fn) {
  g_oom_handler = fn ? fn : xlsx_default_oom_handler;
}

XlsxOomHandler xlsx_oom_handler() {
  return g_oom_handler;
}

void xlsx_default_oom_handler(uint32_t size) {
  xlsx_printf("Gridwerk-C: out of memory (requested %lu bytes)\n", static_cast<unsigned long>(size));
}

void* xlsx_memdup(const void* bytes, uint32_t n) {
  if (!bytes) return nullptr;
  void* copy = xlsx_malloc(n);
  if (!copy) return nullptr;
  if (n > 0) {
    std::memcpy(copy, bytes, n);
  } else {
    *static_cast<char*>(copy) = '\0';
  }
  return copy;
}

char* xlsx_strdup(const char* text) {
  if (!text) return nullptr;
  size_t length = std::strlen(text);
  if (length >= UINT32_MAX) return static_cast<char*>(report_failure(UINT32_MAX));
  return static_cast<char*>(xlsx_memdup(text, static_cast<uint32_t>(length) + 1));
}

char* xlsx_strndup(const char* text, uint32_t n) {
  if (!text) return nullptr;
  uint32_t length = n == 0 ? 0 : bounded_length(text, n);
  if (length == UINT32_MAX) return static_cast<char*>(report_failure(UINT32_MAX));
  char* copy = static_cast<char*>(xlsx_malloc(length + 1));
  if (!copy) return nullptr;
  std::memcpy(copy, text, length);
  copy[length] = '\0';
  return copy;
}

int xlsx_snprintf(char* buffer, uint32_t size, const char* format, ...) {
  va_list args;
  va_start(args, format);
  int result = xlsx_vsnprintf(buffer, size, format, args);
  va_end(args);
  return result;
}

int xlsx_vsnprintf(char* buffer, uint32_t size, const char* format, va_list args) {
  return xlsx_host_ops()->format_text(buffer, size, format, args);
}

int xlsx_printf(const char* format, ...) {
  va_list args;
  va_start(args, format);
  int result = xlsx_host_ops()->print_formatted(format, args);
  va_end(args);
  return result;
}

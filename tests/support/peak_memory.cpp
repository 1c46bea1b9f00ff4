// Size-tracking allocation functions for PeakMemory. The header is 16 bytes so that the block handed out
// keeps the alignment the C library gives.
#include "tests/support/peak_memory.h"

#include <cstdlib>
#include <cstring>

namespace xlsx_test {
namespace {

constexpr uint32_t kHeader = 16;
uint64_t g_live = 0;
uint64_t g_peak = 0;

void note(uint64_t added, uint64_t removed) {
  g_live = g_live + added - removed;
  if (g_live > g_peak) g_peak = g_live;
}

// The block's recorded size, read byte by byte so that no alignment is assumed.
uint32_t size_of(void* user) {
  uint32_t size = 0;
  memcpy(&size, static_cast<char*>(user) - kHeader, sizeof size);
  return size;
}

void* finish(void* raw, uint32_t size) {
  if (!raw) return nullptr;
  memcpy(raw, &size, sizeof size);
  return static_cast<char*>(raw) + kHeader;
}

void* measured_malloc(uint32_t size) {
  void* user = finish(malloc(size_t(size) + kHeader), size);
  if (user) note(size, 0);
  return user;
}

void* measured_calloc(uint32_t count, uint32_t size) {
  uint64_t total = uint64_t(count) * size;
  if (total > UINT32_MAX) return nullptr;
  void* user = finish(calloc(1, size_t(total) + kHeader), uint32_t(total));
  if (user) note(total, 0);
  return user;
}

void* measured_realloc(void* block, uint32_t size) {
  if (!block) return measured_malloc(size);
  uint32_t old = size_of(block);
  void* user = finish(realloc(static_cast<char*>(block) - kHeader, size_t(size) + kHeader), size);
  if (user) note(size, old);
  return user;
}

void measured_free(void* block) {
  if (!block) return;
  note(0, size_of(block));
  free(static_cast<char*>(block) - kHeader);
}

}  // namespace

PeakMemory::PeakMemory() : previous_(*xlsx_host_ops()) {
  g_live = 0;
  g_peak = 0;
  XlsxHostOps ops = previous_;
  ops.malloc_fn = measured_malloc;
  ops.calloc_fn = measured_calloc;
  ops.realloc_fn = measured_realloc;
  ops.free_fn = measured_free;
  xlsx_set_host_ops(&ops);
}

PeakMemory::~PeakMemory() { xlsx_set_host_ops(&previous_); }

uint64_t PeakMemory::live_bytes() const { return g_live; }
uint64_t PeakMemory::peak_bytes() const { return g_peak; }

}  // namespace xlsx_test

// Tagged blocks carry a header that links them into one list, so that FreeMem can check what it is
// given and the host can name every block still alive when it ends. The memory itself comes from the
// host's regions (host/regions.h).
#include "host/memory.h"

#include <cstdlib>
#include <cstring>

#include "host/regions.h"

namespace {

constexpr uint32_t kBlockMagic = 0x4B564D42;  // "KVMB"
constexpr uint32_t kFreedMagic = 0x44454144;

struct alignas(16) TaggedBlock {
  uint32_t magic;
  uint32_t size;
  char tag[16];
  TaggedBlock* prev;
  TaggedBlock* next;
};

TaggedBlock* liveBlocks = nullptr;
uint32_t liveTagged = 0;
uint32_t liveC = 0;

void Link(TaggedBlock* block) {
  block->prev = nullptr;
  block->next = liveBlocks;
  if (liveBlocks) liveBlocks->prev = block;
  liveBlocks = block;
  ++liveTagged;
}

void Unlink(TaggedBlock* block) {
  if (block->prev)
    block->prev->next = block->next;
  else
    liveBlocks = block->next;
  if (block->next) block->next->prev = block->prev;
  --liveTagged;
}

}  // namespace

void* HostAllocMem(uint32_t size, uint32_t clear, const char* tag) {
  if (size > UINT32_MAX - sizeof(TaggedBlock)) return nullptr;
  size_t total = sizeof(TaggedBlock) + size;
  auto* block = static_cast<TaggedBlock*>(RegionObtain(total, clear != 0));
  if (!block) return nullptr;
  block->magic = kBlockMagic;
  block->size = size;
  memset(block->tag, 0, sizeof block->tag);
  if (tag) strncpy(block->tag, tag, sizeof block->tag - 1);
  Link(block);
  return block + 1;
}

void HostFreeMem(void* pointer) {
  if (!pointer) return;
  TaggedBlock* block = static_cast<TaggedBlock*>(pointer) - 1;
  if (block->magic != kBlockMagic) {
    fprintf(stderr, "korvadel: FreeMem of a block that is not live tagged memory (%p)\n", pointer);
    abort();
  }
  block->magic = kFreedMagic;
  Unlink(block);
  RegionRelease(block);
}

void* HostMalloc(uint32_t size) {
  void* block = RegionObtain(size, false);
  if (block) ++liveC;
  return block;
}

void* HostCalloc(uint32_t count, uint32_t size) {
  uint64_t bytes = uint64_t(count ? count : 1) * (size ? size : 1);
  if (bytes > SIZE_MAX) return nullptr;
  void* block = RegionObtain(size_t(bytes), true);
  if (block) ++liveC;
  return block;
}

void* HostRealloc(void* block, uint32_t size) {
  void* moved = RegionResize(block, size);
  if (moved && !block) ++liveC;
  return moved;
}

void HostFree(void* block) {
  if (!block) return;
  --liveC;
  RegionRelease(block);
}

uint32_t HostLiveTaggedBlocks() {
  return liveTagged;
}

uint32_t HostLiveTaggedBlocksWithTag(const char* tag) {
  uint32_t count = 0;
  for (TaggedBlock* block = liveBlocks; block; block = block->next) {
    if (strcmp(block->tag, tag) == 0) ++count;
  }
  return count;
}

uint32_t HostLiveCBlocks() {
  return liveC;
}

uint32_t HostReportLeaks(FILE* out) {
  for (TaggedBlock* block = liveBlocks; block; block = block->next) {
    fprintf(out, "korvadel: leaked tagged block of %u bytes, tag \"%s\"\n", block->size, block->tag);
  }
  if (liveC) fprintf(out, "korvadel: %u C-style blocks still allocated\n", liveC);
  return liveTagged + liveC;
}

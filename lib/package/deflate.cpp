// Deflate of changed entries: one libdeflate call, or two at once (the head in a worker thread) joined into
// one stream (see deflate.h). Every block is allocated in the calling thread through the counted allocator;
// the worker only runs libdeflate over memory prepared for it. zlib's inflate finds the head's last block.
#include "lib/package/deflate.h"

#include <libdeflate.h>
#include <zlib.h>

#include <cstring>
#ifndef XLSX_NO_THREADS
#include <thread>
#endif
#if !defined(XLSX_NO_THREADS) && defined(__linux__)
#include <sched.h>
#endif

#include "lib/base/alloc.h"

namespace {

voidpf zlib_alloc(voidpf, uInt items, uInt size) {
  if (size != 0 && items > UINT32_MAX / size) return Z_NULL;
  return xlsx_malloc(items * size);
}

void zlib_free(voidpf, voidpf block) { xlsx_free(block); }

// The level of every deflate, as the archive's compressor has it.
constexpr int kLevel = 6;
// Output block of the inflate that walks the head's blocks (the bytes are not kept).
constexpr uint32_t kScratch = 64u * 1024u;

// Runs head() in a worker thread while tail() runs here; inline when no thread can be started (the
// bytes are the same either way).
template <typename Head, typename Tail>
void run_beside(Head head, Tail tail) {
#ifdef XLSX_NO_THREADS
  head();
  tail();
#else
  std::thread worker;
  try {
    worker = std::thread(head);
  } catch (...) {  // std::system_error, or std::bad_alloc for the thread's state
    head();
  }
  tail();
  if (worker.joinable()) worker.join();
#endif
}

// Whether a second processor can take the head: on Linux, among those this process may run on (a process
// pinned to one processor would only make the head slower); elsewhere, among the machine's.
bool second_processor() {
#ifdef XLSX_NO_THREADS
  return false;
#else
#ifdef __linux__
  cpu_set_t allowed;
  if (sched_getaffinity(0, sizeof allowed, &allowed) == 0) return CPU_COUNT(&allowed) >= 2;
#endif
  return std::thread::hardware_concurrency() >= 2;
#endif
}

bool deflate_whole(struct libdeflate_compressor* compressor, const char* data, uint32_t size, char** out,
                   uint32_t* out_size) {
  size_t bound = libdeflate_deflate_compress_bound(compressor, size);
  if (bound > UINT32_MAX - 1) return false;
  char* block = static_cast<char*>(xlsx_malloc(uint32_t(bound)));
  if (!block) return false;
  size_t written = libdeflate_deflate_compress(compressor, data, size, block, bound);
  if (written == 0) {
    xlsx_free(block);
    return false;
  }
  *out = block;
  *out_size = uint32_t(written);
  return true;
}

// Bytes the head may grow by when it is made non-final: an empty stored block (three header bits, the
// padding to the byte boundary, LEN 0 and NLEN 0xFFFF).
constexpr uint32_t kSyncBlock = 5;

// Makes the complete raw stream of `size` bytes at `stream` non-final, as a sync flush ends a stream: the
// last block's BFINAL bit is cleared (zlib's inflate, stopping at every block boundary, tells where the
// headers are) and an empty stored block follows it, so that another stream can follow on the byte
// boundary. The stream grows by 4 or 5 bytes, into *size. False when the stream does not read as one
// complete stream of `size` bytes or memory runs out.
bool make_non_final(unsigned char* stream, uint32_t* size) {
  z_stream z;
  std::memset(&z, 0, sizeof z);
  z.zalloc = zlib_alloc;
  z.zfree = zlib_free;
  unsigned char* scratch = static_cast<unsigned char*>(xlsx_malloc(kScratch));
  if (!scratch || inflateInit2(&z, -15) != Z_OK) {
    xlsx_free(scratch);
    return false;
  }
  z.next_in = stream;
  z.avail_in = *size;
  // The first block's header starts at the stream's first bit.
  bool last = (stream[0] & 1) != 0;
  if (last) stream[0] &= static_cast<unsigned char>(~1u);
  bool ended = false;
  for (;;) {
    z.next_out = scratch;
    z.avail_out = kScratch;
    int result = inflate(&z, Z_BLOCK);
    if (result != Z_OK) break;  // an error, or a stream that ended with no final block found
    if (!(z.data_type & 128)) continue;
    // At a block boundary: data_type's low bits count the unused bits of the last byte read.
    uint32_t unused = uint32_t(z.data_type) & 7;
    if (last) {
      ended = z.avail_in == 0;
      break;
    }
    unsigned char* at = unused ? z.next_in - 1 : z.next_in;
    unsigned char bit = static_cast<unsigned char>(unused ? 0x100u >> unused : 1u);
    if (!unused && z.avail_in == 0) break;
    last = (*at & bit) != 0;
    if (last) *at = static_cast<unsigned char>(*at & ~bit);
  }
  uint32_t unused = uint32_t(z.data_type) & 7;
  inflateEnd(&z);
  xlsx_free(scratch);
  if (!ended) return false;
  // The stored block's three zero header bits follow the last block: in the last byte's unused bits when
  // there are three of them, else partly or wholly in one byte more; the padding bits are zero.
  unsigned char* end = stream + *size;
  end[-1] = static_cast<unsigned char>(end[-1] & (0xFFu >> unused));
  if (unused < 3) *end++ = 0;
  const unsigned char lengths[4] = {0x00, 0x00, 0xFF, 0xFF};
  std::memcpy(end, lengths, sizeof lengths);
  *size = uint32_t(end + sizeof lengths - stream);
  return true;
}

// The split form: one block holds room for both pieces; the head is written at its start, the tail
// after the head's room, and the tail is then moved up to follow the head, made non-final. The head has
// a compressor of its own (one compressor serves one thread). An entry whose two pieces would not fit one
// 32-bit block (one of several GiB) is deflated whole instead.
bool deflate_split(struct libdeflate_compressor* compressor, const char* data, uint32_t size, uint32_t head_size,
                   char** out, uint32_t* out_size) {
  uint32_t tail_size = size - head_size;
  size_t head_bound = libdeflate_deflate_compress_bound(compressor, head_size);
  size_t tail_bound = libdeflate_deflate_compress_bound(compressor, tail_size);
  uint64_t total = uint64_t(head_bound) + kSyncBlock + tail_bound;
  if (total > UINT32_MAX - 1) return deflate_whole(compressor, data, size, out, out_size);
  uint32_t room = uint32_t(head_bound) + kSyncBlock;
  char* block = static_cast<char*>(xlsx_malloc(uint32_t(total)));
  struct libdeflate_compressor* head_compressor = block ? libdeflate_alloc_compressor(kLevel) : nullptr;
  if (!head_compressor) {
    xlsx_free(block);
    return false;
  }
  size_t head_written = 0;
  size_t tail_written = 0;
  run_beside([&] { head_written = libdeflate_deflate_compress(head_compressor, data, head_size, block, head_bound); },
             [&] {
               tail_written =
                   libdeflate_deflate_compress(compressor, data + head_size, tail_size, block + room, tail_bound);
             });
  libdeflate_free_compressor(head_compressor);
  uint32_t head_length = uint32_t(head_written);
  if (head_written == 0 || tail_written == 0 ||
      !make_non_final(reinterpret_cast<unsigned char*>(block), &head_length)) {
    xlsx_free(block);
    return false;
  }
  std::memmove(block + head_length, block + room, tail_written);
  *out = block;
  *out_size = head_length + uint32_t(tail_written);
  return true;
}

}  // namespace

uint32_t xlsx_deflate_head_size(uint32_t size) {
  if (size < XLSX_DEFLATE_SPLIT_MINIMUM || !second_processor()) return 0;
  return size / 2;
}

bool xlsx_deflate(struct libdeflate_compressor* compressor, const char* data, uint32_t size, uint32_t head,
                  char** out, uint32_t* out_size, uint32_t* crc) {
  bool ok = head > 0 && head < size ? deflate_split(compressor, data, size, head, out, out_size)
                                    : deflate_whole(compressor, data, size, out, out_size);
  if (ok) *crc = uint32_t(libdeflate_crc32(0, data, size));
  return ok;
}

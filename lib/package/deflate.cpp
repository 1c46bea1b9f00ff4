// Deflate of changed entries: one libdeflate call, or a zlib head in a worker thread beside a libdeflate
// tail (see deflate.h). Every block is allocated in the calling thread through the counted allocator; the
// worker only runs zlib's deflate over memory prepared for it, which allocates nothing.
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

// The zlib half: raw deflate (no header) of the head, level 6 with zlib's default memory, ended by a sync
// flush so that the next stream can follow on the byte boundary.
struct Head {
  z_stream stream;
  bool done;  // the whole head was consumed and flushed
};

bool head_init(Head* head, const char* data, uint32_t size) {
  std::memset(&head->stream, 0, sizeof head->stream);
  head->stream.zalloc = zlib_alloc;
  head->stream.zfree = zlib_free;
  head->done = false;
  if (deflateInit2(&head->stream, 6, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY) != Z_OK) return false;
  head->stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data));
  head->stream.avail_in = size;
  return true;
}

// Room the head may need: zlib's bound plus the empty stored block of the sync flush; 0 when it does not
// fit 32 bits (a bound that wrapped in a 32-bit uLong is caught by its falling below the size).
uint32_t head_bound(Head* head, uint32_t size) {
  uint64_t bound = uint64_t(deflateBound(&head->stream, size)) + 16;
  return bound < size || bound > UINT32_MAX ? 0 : uint32_t(bound);
}

// Room of the block that holds both pieces, or 0 when it does not fit 32 bits; a tail bound that wrapped
// in a 32-bit size_t falls below the tail's size.
uint32_t split_room(uint32_t head_room, size_t tail_bound, uint32_t tail_size) {
  uint64_t total = uint64_t(head_room) + tail_bound;
  if (head_room == 0 || tail_bound < tail_size || total > UINT32_MAX - 1) return 0;
  return uint32_t(total);
}

void head_run(Head* head) {
  head->done = deflate(&head->stream, Z_SYNC_FLUSH) == Z_OK && head->stream.avail_in == 0 &&
               head->stream.avail_out > 0;
}

// Runs the head in a worker thread while tail() runs here; inline when no thread can be started (the
// bytes are the same either way).
template <typename Tail>
void run_beside(Head* head, Tail tail) {
#ifdef XLSX_NO_THREADS
  head_run(head);
  tail();
#else
  std::thread worker;
  try {
    worker = std::thread(head_run, head);
  } catch (...) {  // std::system_error, or std::bad_alloc for the thread's state
    head_run(head);
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

// The split form: one block holds room for both pieces; the head is written at its start, the tail
// after the head's room, and the tail is then moved up to follow the head's last byte. An entry whose two
// pieces would not fit one 32-bit block (one of several GiB) is deflated whole instead.
bool deflate_split(struct libdeflate_compressor* compressor, const char* data, uint32_t size, uint32_t head_size,
                   char** out, uint32_t* out_size) {
  Head head;
  if (!head_init(&head, data, head_size)) return false;  // zlib frees what it took
  uint32_t tail_size = size - head_size;
  uint32_t room = head_bound(&head, head_size);
  size_t tail_bound = libdeflate_deflate_compress_bound(compressor, tail_size);
  uint32_t total = split_room(room, tail_bound, tail_size);
  if (total == 0) {
    deflateEnd(&head.stream);
    return deflate_whole(compressor, data, size, out, out_size);
  }
  char* block = static_cast<char*>(xlsx_malloc(total));
  if (!block) {
    deflateEnd(&head.stream);
    return false;
  }
  head.stream.next_out = reinterpret_cast<Bytef*>(block);
  head.stream.avail_out = room;
  size_t tail_written = 0;
  run_beside(&head, [&] {
    tail_written = libdeflate_deflate_compress(compressor, data + head_size, tail_size, block + room, tail_bound);
  });
  uint32_t head_written = room - head.stream.avail_out;
  deflateEnd(&head.stream);
  if (!head.done || tail_written == 0) {
    xlsx_free(block);
    return false;
  }
  std::memmove(block + head_written, block + room, tail_written);
  *out = block;
  *out_size = head_written + uint32_t(tail_written);
  return true;
}

}  // namespace

uint32_t xlsx_deflate_head_size(uint32_t size) {
  if (size < XLSX_DEFLATE_SPLIT_MINIMUM || !second_processor()) return 0;
  return size / 3;
}

bool xlsx_deflate(struct libdeflate_compressor* compressor, const char* data, uint32_t size, uint32_t head,
                  char** out, uint32_t* out_size, uint32_t* crc) {
  bool ok = head > 0 && head < size ? deflate_split(compressor, data, size, head, out, out_size)
                                    : deflate_whole(compressor, data, size, out, out_size);
  if (ok) *crc = uint32_t(libdeflate_crc32(0, data, size));
  return ok;
}

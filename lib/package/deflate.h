// Deflate (level 6) of a changed entry for the archive writer. A small entry is one libdeflate call. A large
// entry, when the process may run on two or more processors, is deflated in two pieces at once: zlib
// deflates the first piece in a worker thread and ends it with a sync flush (a non-final block that ends on
// a byte boundary), while the calling thread deflates the rest with libdeflate, which ends its stream with
// the final block.
// The two raw streams written one after the other are one valid deflate stream of the whole entry; the
// output depends only on the size of the first piece, not on which thread finished first.
#pragma once

#include <cstdint>

struct libdeflate_compressor;

// Entries from this size up are split when the process may use a second processor.
enum : uint32_t { XLSX_DEFLATE_SPLIT_MINIMUM = 8u * 1024u * 1024u };

// Size of the piece that zlib deflates for an entry of size bytes: about a third (zlib's level 6 runs at
// about half the speed of libdeflate's, so both pieces take about as long), or 0 for no split.
uint32_t xlsx_deflate_head_size(uint32_t size);

// Deflates size bytes of data with the first head bytes by zlib (head 0, or pieces too large for one 32-bit
// block: all of it by libdeflate, the compressor given, level 6). On success *out is a block of the counted
// allocator holding *out_size bytes and *crc the CRC-32 of data. False when memory runs out or a compressor
// fails; nothing is left allocated.
bool xlsx_deflate(struct libdeflate_compressor* compressor, const char* data, uint32_t size, uint32_t head,
                  char** out, uint32_t* out_size, uint32_t* crc);

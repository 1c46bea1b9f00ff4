// Deflate (level 6) of a changed entry for the archive writer. A small entry is one libdeflate call. A large
// entry, when the process may run on two or more processors, is deflated in two pieces at once by
// libdeflate, the first in a worker thread; the first piece's stream is then made non-final, as a sync
// flush ends a stream (its last block's final bit cleared, an empty stored block after it, on a byte
// boundary), and the second piece's stream ends with the final block.
// The two raw streams written one after the other are one valid deflate stream of the whole entry; the
// output depends only on the size of the first piece, not on which thread finished first.
#pragma once

#include <cstdint>

struct libdeflate_compressor;

// Entries from this size up are split when the process may use a second processor.
enum : uint32_t { XLSX_DEFLATE_SPLIT_MINIMUM = 8u * 1024u * 1024u };

// Size of the piece the worker deflates for an entry of size bytes: half of it, or 0 for no split.
uint32_t xlsx_deflate_head_size(uint32_t size);

// Deflates size bytes of data, the first head bytes as a piece of their own in a worker thread (head 0, or
// pieces too large for one 32-bit block: all of it in one piece); the compressor given (level 6) deflates
// the rest. On success *out is a block of the counted allocator holding *out_size bytes and *crc the
// CRC-32 of data. False when memory runs out or a compressor fails; nothing is left allocated.
bool xlsx_deflate(struct libdeflate_compressor* compressor, const char* data, uint32_t size, uint32_t head,
                  char** out, uint32_t* out_size, uint32_t* crc);

// The central directory's names, read from the file's bytes: where the directory is, and how the ZIP
// reader's table would hold its names. The reader hashes a name as value = value * 33 + byte, modulo
// 2^31, from 5381, and keeps one slot per power of two of at least a third more than the names.
#include "lib/package/zip_names.h"

#include <algorithm>

#include "lib/base/alloc.h"
#include "lib/base/convert.h"

namespace {

// Signatures of the records read here, and the fixed sizes of the end record and of a directory record.
constexpr uint32_t kEndRecord = 0x06054B50, kEnd64Locator = 0x07064B50, kEnd64Record = 0x06064B50;
constexpr uint32_t kDirectoryRecord = 0x02014B50;
constexpr uint32_t kEndRecordSize = 22, kDirectoryRecordSize = 46;

uint32_t u16(const unsigned char* p) { return uint32_t(p[0]) | uint32_t(p[1]) << 8; }
uint32_t u32(const unsigned char* p) { return u16(p) | u16(p + 2) << 16; }
uint64_t u64(const unsigned char* p) { return uint64_t(u32(p)) | uint64_t(u32(p + 4)) << 32; }

// Names one hash value may have before the directory counts as made to collide (duplicate names share
// theirs), and the sum of squared slot counts allowed per name: random names give less than two, and
// the reader compares a name with each other name of its slot, so this bounds its work to 64 per name.
constexpr uint32_t kMostOfOneHash = 8;
constexpr uint64_t kSquaresPerName = 64, kSquaresSlack = 4096;

struct Directory {
  uint64_t offset;
  uint64_t count;
};

// The end record's directory, following a ZIP64 locator when the record's fields are saturated.
bool find_directory(const unsigned char* bytes, uint32_t size, Directory* out) {
  if (size < kEndRecordSize) return false;
  uint32_t lowest = size > kEndRecordSize + 0xFFFF ? size - kEndRecordSize - 0xFFFF : 0;
  for (uint32_t at = size - kEndRecordSize + 1; at-- > lowest;) {
    if (u32(bytes + at) != kEndRecord) continue;
    out->count = u16(bytes + at + 10);
    out->offset = u32(bytes + at + 16);
    if (out->count != 0xFFFF && out->offset != 0xFFFFFFFFu) return true;
    if (at < 20 || u32(bytes + at - 20) != kEnd64Locator) return false;
    uint64_t record = u64(bytes + at - 12);
    if (record > size || size - record < 56 || u32(bytes + record) != kEnd64Record) return false;
    out->count = u64(bytes + record + 32);
    out->offset = u64(bytes + record + 48);
    return true;
  }
  return false;
}

// The reader's hash of a name.
uint32_t reader_hash(const unsigned char* name, uint32_t n) {
  uint64_t value = 5381;
  for (uint32_t i = 0; i < n; i++) value = (value * 33 + name[i]) % 0x80000000u;
  return uint32_t(value);
}

// Length of the longest run of equal values in sorted values.
uint32_t longest_run(const uint32_t* values, uint32_t n) {
  uint32_t longest = 0, run = 0;
  for (uint32_t i = 0; i < n; i++) {
    run = (i > 0 && values[i] == values[i - 1]) ? run + 1 : 1;
    longest = std::max(longest, run);
  }
  return longest;
}

// Sum of the squared numbers of names per slot of a table of slots slots (a power of two).
uint64_t slot_squares(uint32_t* hashes, uint32_t n, uint32_t slots) {
  for (uint32_t i = 0; i < n; i++) hashes[i] &= slots - 1;
  std::sort(hashes, hashes + n);
  uint64_t squares = 0, run = 0;
  for (uint32_t i = 0; i <= n; i++) {
    if (i > 0 && (i == n || hashes[i] != hashes[i - 1])) {
      squares += run * run;
      run = 0;
    }
    run++;
  }
  return squares;
}

}  // namespace

xlsx_status xlsx_zip_names_check(const char* data, uint32_t size) {
  const unsigned char* bytes = reinterpret_cast<const unsigned char*>(data);
  Directory directory;
  if (!data || !find_directory(bytes, size, &directory) || directory.offset >= size) return XLSX_OK;
  uint64_t room = (size - directory.offset) / kDirectoryRecordSize;
  uint32_t count = uint32_t(std::min<uint64_t>(directory.count, room));
  uint32_t* hashes = count ? static_cast<uint32_t*>(xlsx_malloc(count * uint32_t(sizeof(uint32_t)))) : nullptr;
  if (count && !hashes) return XLSX_ERR_NO_MEMORY;
  uint32_t n = 0;
  bool acceptable = true;
  for (uint64_t at = directory.offset; n < count && acceptable;) {
    if (size - at < kDirectoryRecordSize || u32(bytes + at) != kDirectoryRecord) break;
    uint32_t name_length = u16(bytes + at + 28);
    uint64_t next = at + kDirectoryRecordSize + name_length + u16(bytes + at + 30) + u16(bytes + at + 32);
    if (next > size) break;
    const unsigned char* name = bytes + at + kDirectoryRecordSize;
    acceptable = xlsx_utf8_is_valid(reinterpret_cast<const char*>(name), name_length);
    hashes[n++] = reader_hash(name, name_length);
    at = next;
  }
  if (acceptable && n > 0) {
    std::sort(hashes, hashes + n);
    uint64_t slots = 256;
    while (slots * 3 < uint64_t(n) * 4) slots *= 2;
    acceptable = longest_run(hashes, n) <= kMostOfOneHash &&
                 slot_squares(hashes, n, uint32_t(std::min<uint64_t>(slots, 0x80000000u))) <=
                     kSquaresPerName * n + kSquaresSlack;
  }
  xlsx_free(hashes);
  return acceptable ? XLSX_OK : XLSX_ERR_PARSE;
}

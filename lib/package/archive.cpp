// ZIP access through libzip: the file buffer is read in place, entries are inflated on demand with a
// cap on their inflated size, and a new archive is built in memory in which untouched records are copied
// with their compressed bytes and changed entries arrive already deflated (level 6, lib/package/deflate).
#include "lib/package/archive.h"

#include <libdeflate.h>
#include <zip.h>

#include <cstdio>
#include <cstring>

#include "lib/base/alloc.h"
#include "lib/base/host_ops.h"
#include "lib/base/name_index.h"
#include "lib/package/deflate.h"
#include "lib/package/zip_names.h"

namespace {

// Smallest valid ZIP: the end-of-central-directory record alone.
const uint32_t kEndRecordSize = 22;
// Deflate cannot expand more than about 1032:1; an entry's buffer is first sized by its compressed
// size times this, never by the declared size alone.
const uint64_t kMaxDeflateRatio = 1032;
// Compressed size from which a deflated record is inflated in one call by libdeflate.
const uint64_t kOneCallMinimum = 64 * 1024;
// Attempts at a free temporary file name beside the target.
const uint32_t kTempNameAttempts = 16;

void entry_destroy(void* slot) {
  XlsxArchiveEntry* entry = static_cast<XlsxArchiveEntry*>(slot);
  xlsx_free(entry->name);
  xlsx_free(entry->data);
  entry->name = nullptr;
  entry->data = nullptr;
}

XlsxArchiveEntry* entry_at(const XlsxArchive* archive, uint32_t index) {
  return static_cast<XlsxArchiveEntry*>(dynarray_get(&archive->entries, index));
}

const char* entry_name_at(const void* entries, uint32_t position) {
  return static_cast<const XlsxArchiveEntry*>(dynarray_get(static_cast<const DynArray*>(entries), position))->name;
}

// Indexes the archive's entry list anew; the index stays incomplete when memory runs out (then names are
// found by a scan until a later call succeeds).
void reindex(XlsxArchive* archive) {
  xlsx_name_index_build(&archive->names, archive->entries.count, entry_name_at, &archive->entries);
}

// Index of the entry called name, or UINT32_MAX. An index left incomplete is built again first (it is a
// cache of the list, which a lookup may refresh).
uint32_t find_entry(const XlsxArchive* archive, const char* name) {
  if (!xlsx_name_index_complete(&archive->names)) reindex(const_cast<XlsxArchive*>(archive));
  if (xlsx_name_index_complete(&archive->names)) {
    return xlsx_name_index_find(&archive->names, name, entry_name_at, &archive->entries);
  }
  for (uint32_t i = 0; i < archive->entries.count; i++) {
    if (strcmp(entry_at(archive, i)->name, name) == 0) return i;
  }
  return UINT32_MAX;
}

// Drops the entry's cached bytes and gives their charge back to the archive.
void drop_entry_data(XlsxArchive* archive, XlsxArchiveEntry* entry) {
  archive->inflated_total -= entry->charged;
  entry->charged = 0;
  xlsx_free(entry->data);
  entry->data = nullptr;
  entry->size = 0;
  entry->loaded = 0;
}

xlsx_status status_of_zip_error(int zip_code) {
  return zip_code == ZIP_ER_MEMORY ? XLSX_ERR_NO_MEMORY : XLSX_ERR_PARSE;
}

// Opens a libzip reader over bytes (which stay the caller's and must outlive the reader).
xlsx_status open_reader(const char* bytes, uint32_t size, zip_t** out) {
  *out = nullptr;
  if (size < kEndRecordSize) return XLSX_ERR_PARSE;
  zip_error_t error;
  zip_error_init(&error);
  zip_source_t* source = zip_source_buffer_create(bytes, size, 0, &error);
  if (!source) {
    zip_error_fini(&error);
    return XLSX_ERR_NO_MEMORY;
  }
  zip_t* reader = zip_open_from_source(source, ZIP_RDONLY, &error);
  if (!reader) {
    xlsx_status status = status_of_zip_error(zip_error_code_zip(&error));
    zip_source_free(source);
    zip_error_fini(&error);
    return status;
  }
  zip_error_fini(&error);
  *out = reader;
  return XLSX_OK;
}

// Whether a record's name can be a part of a package: not empty, relative, made of segments that are
// neither empty nor "." or "..", without backslashes or a drive letter. Names are never used as paths,
// but a package whose names break these rules is no workbook, and a save would copy them on.
bool is_part_name(const char* name) {
  if (!name[0] || name[0] == '/' || strchr(name, '\\')) return false;
  if (name[1] == ':') return false;
  for (const char* segment = name; *segment;) {
    const char* end = strchr(segment, '/');
    size_t n = end ? size_t(end - segment) : strlen(segment);
    if (n == 0 && end) return false;
    if ((n == 1 && segment[0] == '.') || (n == 2 && segment[0] == '.' && segment[1] == '.')) return false;
    segment += n + (end ? 1 : 0);
  }
  return true;
}

// Adds (or rebinds, for a name seen before) the entry of record index to the list and its index.
xlsx_status add_record(DynArray* entries, XlsxNameIndex* names, const char* name, uint32_t index) {
  uint32_t seen = xlsx_name_index_find(names, name, entry_name_at, entries);
  if (seen != XLSX_NO_POSITION) {
    XlsxArchiveEntry* entry = static_cast<XlsxArchiveEntry*>(dynarray_get(entries, seen));
    entry->source_index = index;  // a duplicate name is bound to its last record, in its first place
    return XLSX_OK;
  }
  XlsxArchiveEntry entry = {};
  entry.name = xlsx_strdup(name);
  entry.source_index = index;
  if (!entry.name) return XLSX_ERR_NO_MEMORY;
  if (!dynarray_push(entries, &entry)) {
    xlsx_free(entry.name);
    return XLSX_ERR_NO_MEMORY;
  }
  return xlsx_name_index_add(names, entries->count - 1, entry_name_at, entries);
}

// Lists the reader's records (directories skipped) into entries, which must be empty, and indexes them.
xlsx_status build_entry_list(zip_t* reader, DynArray* entries, XlsxNameIndex* names) {
  zip_int64_t count = zip_get_num_entries(reader, 0);
  if (count < 0 || count > zip_int64_t(UINT32_MAX)) return XLSX_ERR_PARSE;
  xlsx_status status = xlsx_name_index_build(names, 0, entry_name_at, entries);
  for (zip_int64_t i = 0; i < count && status == XLSX_OK; i++) {
    zip_stat_t st;
    zip_stat_init(&st);
    if (zip_stat_index(reader, zip_uint64_t(i), 0, &st) != 0 || !(st.valid & ZIP_STAT_NAME) || !st.name) {
      status = XLSX_ERR_PARSE;
      break;
    }
    // Encrypted records cannot be read, nor copied into a new archive: such a file is no package of ours.
    if ((st.valid & ZIP_STAT_ENCRYPTION_METHOD) && st.encryption_method != ZIP_EM_NONE) {
      status = XLSX_ERR_PARSE;
      break;
    }
    size_t length = strlen(st.name);
    if (length > 0 && st.name[length - 1] == '/') continue;
    status = is_part_name(st.name) ? add_record(entries, names, st.name, uint32_t(i)) : XLSX_ERR_PARSE;
  }
  if (status != XLSX_OK) dynarray_clear(entries);
  return status;
}

// A reader and entry list prepared over a buffer, ready to become the archive's state.
struct Base {
  zip_t* reader;
  DynArray entries;
  XlsxNameIndex names;
};

xlsx_status prepare_base(const char* buffer, uint32_t size, Base* base) {
  dynarray_init(&base->entries, sizeof(XlsxArchiveEntry), entry_destroy);
  xlsx_name_index_init(&base->names);
  base->reader = nullptr;
  xlsx_status status = xlsx_zip_names_check(buffer, size);
  if (status == XLSX_OK) status = open_reader(buffer, size, &base->reader);
  if (status != XLSX_OK) return status;
  status = build_entry_list(base->reader, &base->entries, &base->names);
  if (status != XLSX_OK) {
    zip_discard(base->reader);
    base->reader = nullptr;
  }
  return status;
}

void discard_base(Base* base) {
  dynarray_free(&base->entries);
  xlsx_name_index_free(&base->names);
  if (base->reader) zip_discard(base->reader);
  base->reader = nullptr;
}

// Replaces the archive's state by the prepared one over buffer (taken over); cannot fail.
void install_base(XlsxArchive* archive, Base* base, char* buffer, uint32_t size) {
  xlsx_archive_reset(archive);
  dynarray_free(&archive->entries);
  xlsx_name_index_free(&archive->names);
  archive->entries = base->entries;
  archive->names = base->names;
  archive->reader = base->reader;
  archive->reader_active = 1;
  archive->file_buffer = buffer;
  archive->file_size = size;
  archive->is_open = 1;
}

// Makes buffer (taken over on success) the archive's file. On failure nothing of the archive changes.
xlsx_status rebase(XlsxArchive* archive, char* buffer, uint32_t size) {
  Base base;
  xlsx_status status = prepare_base(buffer, size, &base);
  if (status != XLSX_OK) {
    discard_base(&base);
    return status;
  }
  install_base(archive, &base, buffer, size);
  return XLSX_OK;
}

// First allocation for an entry: what it claims, but never more than its compressed bytes can inflate
// to or than the caps allow (lying sizes then cost a regrowth, not a huge block).
uint32_t initial_capacity(const zip_stat_t& st, uint32_t cap) {
  uint64_t hint = (st.valid & ZIP_STAT_SIZE) ? st.size : 0;
  if (st.valid & ZIP_STAT_COMP_SIZE) {
    uint64_t bound = st.comp_size * kMaxDeflateRatio + 64;
    if (hint > bound) hint = bound;
  }
  if (hint > cap) hint = cap;
  return uint32_t(hint) + 2;  // the NUL and one probe byte to see the end without regrowing
}

// Doubles the block up to cap + 2 bytes; XLSX_ERR_PARSE when the cap is reached (the entry is too big).
xlsx_status grow_block(char** block, uint32_t* capacity, uint32_t cap) {
  if (*capacity - 2 >= cap) return XLSX_ERR_PARSE;
  uint64_t next = uint64_t(*capacity) * 2;
  if (next < 65536) next = 65536;
  if (next > uint64_t(cap) + 2) next = uint64_t(cap) + 2;
  char* grown = static_cast<char*>(xlsx_realloc(*block, uint32_t(next)));
  if (!grown) return XLSX_ERR_NO_MEMORY;
  *block = grown;
  *capacity = uint32_t(next);
  return XLSX_OK;
}

// Reads the open record until its end into a new block of at most cap bytes.
xlsx_status read_record(zip_file_t* file, uint32_t capacity, uint32_t cap, char** out, uint32_t* out_size) {
  char* block = static_cast<char*>(xlsx_malloc(capacity));
  if (!block) return XLSX_ERR_NO_MEMORY;
  uint32_t length = 0;
  for (;;) {
    if (length == capacity - 1) {
      xlsx_status status = grow_block(&block, &capacity, cap);
      if (status != XLSX_OK) {
        xlsx_free(block);
        return status;
      }
    }
    zip_int64_t got = zip_fread(file, block + length, capacity - 1 - length);
    if (got < 0) {
      xlsx_free(block);
      return status_of_zip_error(zip_error_code_zip(zip_file_get_error(file)));
    }
    if (got == 0) break;
    length += uint32_t(got);
  }
  if (length > cap) {
    xlsx_free(block);
    return XLSX_ERR_PARSE;
  }
  block[length] = '\0';
  *out = block;
  *out_size = length;
  return XLSX_OK;
}

// A new block of size bytes and a terminator, filled by read(block), which returns the count it read;
// null when the block cannot be had (*status XLSX_ERR_NO_MEMORY) or read gives another count
// (XLSX_ERR_INTERNAL).
template <typename Read>
char* read_block(uint64_t size, Read read, xlsx_status* status) {
  char* block = static_cast<char*>(xlsx_malloc(uint32_t(size) + 1));
  *status = block ? XLSX_OK : XLSX_ERR_NO_MEMORY;
  if (!block) return nullptr;
  zip_int64_t got = read(block);
  if (got >= 0 && zip_uint64_t(got) == size) {
    block[size] = '\0';
    return block;
  }
  xlsx_free(block);
  *status = XLSX_ERR_INTERNAL;
  return nullptr;
}

// The record's compressed bytes, read as they are into a new block; null when the record is not what
// the fast path handles (the general path then reads it, *status XLSX_OK) or memory runs out
// (*status XLSX_ERR_NO_MEMORY).
char* read_compressed(XlsxArchive* archive, const XlsxArchiveEntry* entry, const zip_stat_t& st,
                      xlsx_status* status) {
  *status = XLSX_OK;
  zip_file_t* file = zip_fopen_index(archive->reader, entry->source_index, ZIP_FL_COMPRESSED);
  if (!file) return nullptr;
  char* block = read_block(st.comp_size, [&](char* to) { return zip_fread(file, to, st.comp_size); }, status);
  zip_fclose(file);
  if (*status == XLSX_ERR_INTERNAL) *status = XLSX_OK;
  return block;
}

// Whether the record is inflated in one call: a large deflated record (small ones cost little either
// way and keep the general path's single allocation) with sizes and CRC stated and the compressed size
// within the file (a stated size is never trusted for an allocation beyond the file's own bytes).
bool inflates_in_one_call(const XlsxArchive* archive, const zip_stat_t& st) {
  const zip_uint64_t needed = ZIP_STAT_COMP_METHOD | ZIP_STAT_COMP_SIZE | ZIP_STAT_SIZE | ZIP_STAT_CRC;
  return (st.valid & needed) == needed && st.comp_method == ZIP_CM_DEFLATE && st.comp_size >= kOneCallMinimum &&
         st.comp_size <= archive->file_size;
}

// Inflates the record's deflate stream straight into a block of the stated size with libdeflate (twice
// as fast as reading through the ZIP library's zlib stream) and checks size and CRC. XLSX_ERR_NOT_FOUND
// means "not handled here" (the record is not exactly what it states, or no decompressor can be had):
// the general path then reads it.
xlsx_status inflate_in_one_call(XlsxArchive* archive, const XlsxArchiveEntry* entry, const zip_stat_t& st,
                                uint32_t cap, char** out, uint32_t* out_size) {
  xlsx_status status = XLSX_OK;
  char* compressed = read_compressed(archive, entry, st, &status);
  if (!compressed) return status == XLSX_OK ? XLSX_ERR_NOT_FOUND : status;
  uint32_t capacity = initial_capacity(st, cap);
  char* block = static_cast<char*>(xlsx_malloc(capacity));
  struct libdeflate_decompressor* decompressor = block ? libdeflate_alloc_decompressor() : nullptr;
  if (!decompressor) {
    xlsx_free(compressed);
    xlsx_free(block);
    return block ? XLSX_ERR_NOT_FOUND : XLSX_ERR_NO_MEMORY;
  }
  size_t length = 0;
  // One byte beyond the stated size is offered, so that a record holding more than it states is seen.
  enum libdeflate_result result = libdeflate_deflate_decompress_ex(
      decompressor, compressed, size_t(st.comp_size), block, capacity - 1, nullptr, &length);
  libdeflate_free_decompressor(decompressor);
  xlsx_free(compressed);
  if (result == LIBDEFLATE_SUCCESS && length <= cap && length == st.size &&
      uint32_t(libdeflate_crc32(0, block, length)) == uint32_t(st.crc)) {
    block[length] = '\0';
    *out = block;
    *out_size = uint32_t(length);
    return XLSX_OK;
  }
  xlsx_free(block);
  // Anything else (more or fewer bytes than stated, a bad stream or CRC) is left to the general path,
  // which grows its block within the caps and reports what it finds.
  return XLSX_ERR_NOT_FOUND;
}

// Inflates the entry's record into its cache, within the per-entry and per-archive caps.
xlsx_status inflate_entry(XlsxArchive* archive, XlsxArchiveEntry* entry) {
  uint32_t cap = archive->max_entry_size;
  uint32_t room = archive->inflated_total < archive->max_total_size ? archive->max_total_size - archive->inflated_total : 0;
  if (room < cap) cap = room;
  zip_stat_t st;
  zip_stat_init(&st);
  if (zip_stat_index(archive->reader, entry->source_index, 0, &st) != 0) return XLSX_ERR_PARSE;
  char* data = nullptr;
  uint32_t size = 0;
  xlsx_status status = XLSX_ERR_NOT_FOUND;
  if (inflates_in_one_call(archive, st)) status = inflate_in_one_call(archive, entry, st, cap, &data, &size);
  if (status == XLSX_ERR_NOT_FOUND) {
    zip_file_t* file = zip_fopen_index(archive->reader, entry->source_index, 0);
    if (!file) return status_of_zip_error(zip_error_code_zip(zip_get_error(archive->reader)));
    status = read_record(file, initial_capacity(st, cap), cap, &data, &size);
    zip_fclose(file);
  }
  if (status != XLSX_OK) return status;
  entry->data = data;
  entry->size = size;
  entry->charged = size;
  entry->loaded = 1;
  archive->inflated_total += size;
  return XLSX_OK;
}

xlsx_status load_entry(XlsxArchive* archive, XlsxArchiveEntry* entry) {
  if (entry->loaded) return XLSX_OK;
  if (entry->modified) {
    entry->loaded = 1;
    return XLSX_OK;
  }
  if (!archive->reader_active) return XLSX_ERR_INTERNAL;
  return inflate_entry(archive, entry);
}

// ---- building a new archive

// One changed entry handed to libzip already deflated: libzip stores the bytes as they are because the
// source reports the method, both sizes and the CRC. The deflated copy lives only between open and close.
struct DeflateSource {
  const char* data;  // the entry's bytes, owned by the archive (valid until zip_close)
  uint32_t size;
  struct libdeflate_compressor* compressor;  // shared by the build
  char* compressed;
  uint32_t compressed_size;
  uint32_t crc;
  bool measured;     // compressed_size and crc are known
  uint32_t position;
  zip_error_t error;
};

bool deflate_data(DeflateSource* source) {
  if (source->compressed) return true;
  if (!xlsx_deflate(source->compressor, source->data, source->size, xlsx_deflate_head_size(source->size),
                    &source->compressed, &source->compressed_size, &source->crc))
    return false;
  source->measured = true;
  return true;
}

void fill_stat(const DeflateSource* source, zip_stat_t* st) {
  zip_stat_init(st);
  st->size = source->size;
  st->comp_size = source->compressed_size;
  st->comp_method = ZIP_CM_DEFLATE;
  st->crc = source->crc;
  st->encryption_method = ZIP_EM_NONE;
  st->valid = ZIP_STAT_SIZE | ZIP_STAT_COMP_SIZE | ZIP_STAT_COMP_METHOD | ZIP_STAT_CRC | ZIP_STAT_ENCRYPTION_METHOD;
}

zip_int64_t fail_source(DeflateSource* source, int code) {
  zip_error_set(&source->error, code, 0);
  return -1;
}

zip_int64_t deflate_source_callback(void* context, void* data, zip_uint64_t length, zip_source_cmd_t command) {
  DeflateSource* source = static_cast<DeflateSource*>(context);
  switch (command) {
    case ZIP_SOURCE_OPEN:
      if (!deflate_data(source)) return fail_source(source, ZIP_ER_MEMORY);
      source->position = 0;
      return 0;
    case ZIP_SOURCE_READ: {
      uint64_t left = source->compressed_size - source->position;
      uint64_t n = length < left ? length : left;
      memcpy(data, source->compressed + source->position, size_t(n));
      source->position += uint32_t(n);
      return zip_int64_t(n);
    }
    case ZIP_SOURCE_CLOSE:
      xlsx_free(source->compressed);
      source->compressed = nullptr;
      return 0;
    case ZIP_SOURCE_STAT: {
      zip_stat_t* st = ZIP_SOURCE_GET_ARGS(zip_stat_t, data, length, &source->error);
      if (!st) return -1;
      if (!source->measured && !deflate_data(source)) return fail_source(source, ZIP_ER_MEMORY);
      fill_stat(source, st);
      return sizeof(*st);
    }
    case ZIP_SOURCE_ERROR:
      return zip_error_to_data(&source->error, data, length);
    case ZIP_SOURCE_FREE:
      xlsx_free(source->compressed);
      zip_error_fini(&source->error);
      xlsx_free(source);
      return 0;
    case ZIP_SOURCE_SUPPORTS:
      return zip_source_make_command_bitmap(ZIP_SOURCE_OPEN, ZIP_SOURCE_READ, ZIP_SOURCE_CLOSE, ZIP_SOURCE_STAT,
                                            ZIP_SOURCE_ERROR, ZIP_SOURCE_FREE, -1);
    default:
      return fail_source(source, ZIP_ER_OPNOTSUPP);
  }
}

struct Builder {
  XlsxArchive* archive;
  zip_source_t* buffer;  // the growing archive; we keep one reference
  zip_t* writer;
  struct libdeflate_compressor* compressor;
};

xlsx_status add_copied(Builder* b, const XlsxArchiveEntry* entry) {
  zip_source_t* source = zip_source_zip(b->writer, b->archive->reader, entry->source_index, ZIP_FL_COMPRESSED, 0, -1);
  if (!source) return XLSX_ERR_INTERNAL;
  zip_int64_t index = zip_file_add(b->writer, entry->name, source, 0);
  if (index < 0) {
    zip_source_free(source);
    return XLSX_ERR_INTERNAL;
  }
  // libzip recompresses a record whose method differs from the entry's (deflate by default): a stored
  // record must stay stored to be copied as it is.
  zip_stat_t st;
  zip_stat_init(&st);
  if (zip_stat_index(b->archive->reader, entry->source_index, 0, &st) == 0 && (st.valid & ZIP_STAT_COMP_METHOD) &&
      st.comp_method != ZIP_CM_DEFLATE) {
    zip_set_file_compression(b->writer, zip_uint64_t(index), st.comp_method, 0);
  }
  return XLSX_OK;
}

xlsx_status add_deflated(Builder* b, XlsxArchiveEntry* entry) {
  xlsx_status status = load_entry(b->archive, entry);
  if (status != XLSX_OK) return status;
  if (!b->compressor) b->compressor = libdeflate_alloc_compressor(6);
  if (!b->compressor) return XLSX_ERR_NO_MEMORY;
  DeflateSource* ctx = static_cast<DeflateSource*>(xlsx_calloc(1, sizeof(DeflateSource)));
  if (!ctx) return XLSX_ERR_NO_MEMORY;
  ctx->data = entry->data ? entry->data : "";
  ctx->size = entry->data ? entry->size : 0;
  ctx->compressor = b->compressor;
  zip_error_init(&ctx->error);
  zip_source_t* source = zip_source_function(b->writer, deflate_source_callback, ctx);
  if (!source) {
    zip_error_fini(&ctx->error);
    xlsx_free(ctx);
    return XLSX_ERR_NO_MEMORY;
  }
  if (zip_file_add(b->writer, entry->name, source, 0) < 0) {
    zip_source_free(source);
    return XLSX_ERR_INTERNAL;
  }
  return XLSX_OK;
}

// Copies the finished archive out of libzip's buffer source into a block of our allocator.
xlsx_status take_buffer(zip_source_t* buffer, char** bytes, uint32_t* size) {
  zip_stat_t st;
  zip_stat_init(&st);
  if (zip_source_stat(buffer, &st) != 0 || !(st.valid & ZIP_STAT_SIZE)) return XLSX_ERR_INTERNAL;
  if (st.size >= UINT32_MAX) return XLSX_ERR_INTERNAL;
  if (zip_source_open(buffer) != 0) return XLSX_ERR_INTERNAL;
  xlsx_status status = XLSX_OK;
  char* block = read_block(st.size, [&](char* to) { return zip_source_read(buffer, to, st.size); }, &status);
  zip_source_close(buffer);
  if (!block) return status;
  *bytes = block;
  *size = uint32_t(st.size);
  return XLSX_OK;
}

xlsx_status start_builder(Builder* b) {
  zip_error_t error;
  zip_error_init(&error);
  b->buffer = zip_source_buffer_create(nullptr, 0, 0, &error);
  if (!b->buffer) {
    zip_error_fini(&error);
    return XLSX_ERR_NO_MEMORY;
  }
  zip_source_keep(b->buffer);
  b->writer = zip_open_from_source(b->buffer, ZIP_TRUNCATE, &error);
  zip_error_fini(&error);
  if (!b->writer) {
    zip_source_free(b->buffer);  // the reference the writer would have taken
    zip_source_free(b->buffer);
    b->buffer = nullptr;
    return XLSX_ERR_INTERNAL;
  }
  return XLSX_OK;
}

xlsx_status add_all_entries(Builder* b) {
  XlsxArchive* archive = b->archive;
  for (uint32_t i = 0; i < archive->entries.count; i++) {
    XlsxArchiveEntry* entry = entry_at(archive, i);
    xlsx_status status = (!entry->modified && archive->reader_active) ? add_copied(b, entry) : add_deflated(b, entry);
    if (status != XLSX_OK) return status;
  }
  return XLSX_OK;
}

// Whether writing would reproduce the file buffer: every record is an entry, in record order, and no
// entry was put, added or deleted (directories and duplicate names would be dropped by a rebuild).
bool is_unchanged(const XlsxArchive* archive) {
  if (!archive->reader_active || !archive->file_buffer) return false;
  zip_int64_t records = zip_get_num_entries(archive->reader, 0);
  if (records != zip_int64_t(archive->entries.count)) return false;
  for (uint32_t i = 0; i < archive->entries.count; i++) {
    const XlsxArchiveEntry* entry = entry_at(archive, i);
    if (entry->modified || entry->source_index != i) return false;
  }
  return true;
}

char* empty_archive(uint32_t* size) {
  char* block = static_cast<char*>(xlsx_calloc(1, kEndRecordSize + 1));
  if (!block) return nullptr;
  memcpy(block, "PK\x05\x06", 4);  // end-of-central-directory signature; every other field is 0
  *size = kEndRecordSize;
  return block;
}

// ---- whole files

xlsx_status write_all(void* handle, const void* data, uint32_t size) {
  const XlsxHostOps* ops = xlsx_host_ops();
  const char* bytes = static_cast<const char*>(data);
  while (size > 0) {
    uint32_t written = ops->write_file(handle, bytes, size);
    if (written == 0 || written > size) return XLSX_ERR_IO;
    bytes += written;
    size -= written;
  }
  return XLSX_OK;
}

// Longest file name a folder entry may have on the file systems we write to.
constexpr uint32_t kLongestFileName = 255;

// Creates a new temporary file beside path (one that did not exist): the path's file name, cut to leave
// room for the suffix ".~<n>.tmp" within kLongestFileName bytes (at a character boundary), and the suffix.
// name must hold strlen(path) + 16 bytes. Null when none can be made.
void* create_temp(const char* path, char* name, uint32_t name_size) {
  const XlsxHostOps* ops = xlsx_host_ops();
  const char* slash = strrchr(path, '/');
  uint32_t folder = slash ? uint32_t(slash - path) + 1 : 0;
  uint32_t keep = uint32_t(strlen(path)) - folder;
  if (keep > kLongestFileName - 8) keep = kLongestFileName - 8;
  while (keep > 0 && (static_cast<unsigned char>(path[folder + keep]) & 0xC0) == 0x80) keep--;
  for (uint32_t n = 0; n < kTempNameAttempts; n++) {
    xlsx_snprintf(name, name_size, "%.*s.~%u.tmp", int(folder + keep), path, unsigned(n));
    void* handle = ops->open_file(name, XLSX_FILE_CREATE_NEW);
    if (handle) return handle;
  }
  return nullptr;
}

// Whether the file at target (links followed) may be replaced by a save: it does not exist, or it is a
// regular file this process may write, with one link (a rename would part it from its other links);
// info receives what the replacement must keep.
bool may_replace(const char* target, XlsxFileInfo* info, bool* exists) {
  *exists = xlsx_host_ops()->file_info(target, info) == 0;
  return !*exists || (info->regular && info->writable && info->links == 1);
}

// Writes the size bytes to a new temporary file beside target and renames it over target, giving it the
// owner, group and mode of the file it replaces; the temporary file is removed on any failure.
xlsx_status replace_target(const char* target, const void* data, uint32_t size) {
  const XlsxHostOps* ops = xlsx_host_ops();
  XlsxFileInfo info;
  bool exists = false;
  if (!may_replace(target, &info, &exists)) return XLSX_ERR_IO;
  uint32_t name_size = uint32_t(strlen(target)) + 16;
  char* temp = static_cast<char*>(xlsx_malloc(name_size));
  if (!temp) return XLSX_ERR_NO_MEMORY;
  void* handle = create_temp(target, temp, name_size);
  if (!handle) {
    xlsx_free(temp);
    return XLSX_ERR_IO;
  }
  xlsx_status status = write_all(handle, data, size);
  if (ops->close_file(handle) != 0) status = XLSX_ERR_IO;
  if (status == XLSX_OK && exists && ops->set_file_info(temp, &info) != 0) status = XLSX_ERR_IO;
  if (status == XLSX_OK && ops->rename_file(temp, target) != 0) status = XLSX_ERR_IO;
  if (status != XLSX_OK) ops->delete_file(temp);
  xlsx_free(temp);
  return status;
}

}  // namespace

xlsx_status xlsx_read_file(const char* path, char** data, uint32_t* size) {
  if (data) *data = nullptr;
  if (size) *size = 0;
  if (!path || !data || !size) return XLSX_ERR_INVALID_ARG;
  const XlsxHostOps* ops = xlsx_host_ops();
  void* handle = ops->open_file(path, XLSX_FILE_READ);
  if (!handle) return XLSX_ERR_IO;
  xlsx_status status = XLSX_ERR_IO;
  int64_t length = -1;
  if (ops->seek_file(handle, 0, SEEK_END) == 0) length = ops->tell_file(handle);
  if (length >= 0 && length < int64_t(UINT32_MAX) - 1 && ops->seek_file(handle, 0, SEEK_SET) == 0) {
    char* block = static_cast<char*>(xlsx_malloc(uint32_t(length) + 1));
    if (!block) {
      status = XLSX_ERR_NO_MEMORY;
    } else if (length > 0 && ops->read_file(handle, block, uint32_t(length)) != uint32_t(length)) {
      xlsx_free(block);
    } else {
      block[length] = '\0';
      *data = block;
      *size = uint32_t(length);
      status = XLSX_OK;
    }
  }
  ops->close_file(handle);
  return status;
}

xlsx_status xlsx_write_file(const char* path, const void* data, uint32_t size) {
  if (!path || (!data && size > 0)) return XLSX_ERR_INVALID_ARG;
  const XlsxHostOps* ops = xlsx_host_ops();
  void* handle = ops->open_file(path, XLSX_FILE_WRITE);
  if (!handle) return XLSX_ERR_IO;
  xlsx_status status = write_all(handle, data, size);
  if (ops->close_file(handle) != 0) status = XLSX_ERR_IO;
  return status;
}

xlsx_status xlsx_replace_file(const char* path, const void* data, uint32_t size) {
  if (!path || (!data && size > 0)) return XLSX_ERR_INVALID_ARG;
  // A symbolic link stays: the file it names is the one replaced.
  uint32_t target_size = uint32_t(strlen(path)) + 4096;
  char* target = static_cast<char*>(xlsx_malloc(target_size));
  if (!target) return XLSX_ERR_NO_MEMORY;
  xlsx_status status = xlsx_host_ops()->resolve_links(path, target, target_size) == 0 ? XLSX_OK : XLSX_ERR_IO;
  if (status == XLSX_OK) status = replace_target(target, data, size);
  xlsx_free(target);
  return status;
}

XlsxArchive* xlsx_archive_new() {
  XlsxArchive* archive = static_cast<XlsxArchive*>(xlsx_calloc(1, sizeof(XlsxArchive)));
  if (!archive) return nullptr;
  dynarray_init(&archive->entries, sizeof(XlsxArchiveEntry), entry_destroy);
  xlsx_name_index_init(&archive->names);
  archive->max_entry_size = XLSX_ENTRY_MAX_INFLATED;
  archive->max_total_size = XLSX_ARCHIVE_MAX_INFLATED;
  return archive;
}

xlsx_status xlsx_archive_open(XlsxArchive* archive, const char* path) {
  if (!archive || !path) return XLSX_ERR_INVALID_ARG;
  xlsx_archive_reset(archive);
  char* buffer = nullptr;
  uint32_t size = 0;
  xlsx_status status = xlsx_read_file(path, &buffer, &size);
  if (status != XLSX_OK) return status;
  status = rebase(archive, buffer, size);
  if (status != XLSX_OK) xlsx_free(buffer);
  return status;
}

xlsx_status xlsx_archive_open_memory(XlsxArchive* archive, const void* bytes, uint32_t size) {
  if (!archive || (!bytes && size > 0)) return XLSX_ERR_INVALID_ARG;
  xlsx_archive_reset(archive);
  char* buffer = static_cast<char*>(xlsx_malloc(size + 1));
  if (!buffer) return XLSX_ERR_NO_MEMORY;
  if (size > 0) memcpy(buffer, bytes, size);
  buffer[size] = '\0';
  xlsx_status status = rebase(archive, buffer, size);
  if (status != XLSX_OK) xlsx_free(buffer);
  return status;
}

bool xlsx_archive_has_entry(const XlsxArchive* archive, const char* name) {
  return archive && name && find_entry(archive, name) != UINT32_MAX;
}

xlsx_status xlsx_archive_get_entry(XlsxArchive* archive, const char* name, const char** data, uint32_t* size) {
  if (!archive || !name || !data) return XLSX_ERR_INVALID_ARG;
  uint32_t index = find_entry(archive, name);
  if (index == UINT32_MAX) return XLSX_ERR_NOT_FOUND;
  XlsxArchiveEntry* entry = entry_at(archive, index);
  xlsx_status status = load_entry(archive, entry);
  if (status != XLSX_OK) return status;
  *data = entry->data ? entry->data : "";
  if (size) *size = entry->data ? entry->size : 0;
  return XLSX_OK;
}

xlsx_status xlsx_archive_put_entry(XlsxArchive* archive, const char* name, const void* data, uint32_t size) {
  if (!archive || !name || (!data && size > 0)) return XLSX_ERR_INVALID_ARG;
  if (size == UINT32_MAX) return XLSX_ERR_NO_MEMORY;  // no room for the terminator
  char* copy = static_cast<char*>(xlsx_malloc(size + 1));
  if (!copy) return XLSX_ERR_NO_MEMORY;
  if (size > 0) memcpy(copy, data, size);
  copy[size] = '\0';
  return xlsx_archive_take_entry(archive, name, copy, size);
}

xlsx_status xlsx_archive_take_entry(XlsxArchive* archive, const char* name, char* data, uint32_t size) {
  if (!archive || !name || (!data && size > 0)) {
    xlsx_free(data);
    return XLSX_ERR_INVALID_ARG;
  }
  uint32_t index = find_entry(archive, name);
  if (index == UINT32_MAX) {
    XlsxArchiveEntry entry = {};
    entry.name = xlsx_strdup(name);
    if (!entry.name || !dynarray_push(&archive->entries, &entry)) {
      xlsx_free(entry.name);
      xlsx_free(data);
      return XLSX_ERR_NO_MEMORY;
    }
    index = archive->entries.count - 1;
    if (xlsx_name_index_add(&archive->names, index, entry_name_at, &archive->entries) != XLSX_OK) {
      dynarray_pop(&archive->entries);  // the destructor frees the name
      xlsx_free(data);
      return XLSX_ERR_NO_MEMORY;
    }
  }
  XlsxArchiveEntry* entry = entry_at(archive, index);
  drop_entry_data(archive, entry);
  entry->data = data;
  entry->size = data ? size : 0;
  entry->loaded = 1;
  entry->modified = 1;
  return XLSX_OK;
}

void xlsx_archive_release_entry(XlsxArchive* archive, const char* name) {
  if (!archive || !name) return;
  uint32_t index = find_entry(archive, name);
  if (index == UINT32_MAX) return;
  XlsxArchiveEntry* entry = entry_at(archive, index);
  if (!entry->modified) drop_entry_data(archive, entry);
}

int xlsx_archive_delete_entry(XlsxArchive* archive, const char* name) {
  if (!archive || !name) return 0;
  uint32_t index = find_entry(archive, name);
  if (index == UINT32_MAX) return 0;
  drop_entry_data(archive, entry_at(archive, index));
  dynarray_remove(&archive->entries, index);
  reindex(archive);  // every later entry moved down by one
  return 1;
}

uint32_t xlsx_archive_entry_count(const XlsxArchive* archive) { return archive ? archive->entries.count : 0; }

const XlsxArchiveEntry* xlsx_archive_entry_at(const XlsxArchive* archive, uint32_t index) {
  return archive ? entry_at(archive, index) : nullptr;
}

xlsx_status xlsx_archive_build(XlsxArchive* archive, char** bytes, uint32_t* size) {
  if (!archive || !bytes || !size) return XLSX_ERR_INVALID_ARG;
  if (archive->entries.count == 0) {
    *bytes = empty_archive(size);
    return *bytes ? XLSX_OK : XLSX_ERR_NO_MEMORY;
  }
  Builder b = {archive, nullptr, nullptr, nullptr};
  xlsx_status status = start_builder(&b);
  if (status != XLSX_OK) return status;
  status = add_all_entries(&b);
  if (status == XLSX_OK && zip_close(b.writer) == 0) {
    b.writer = nullptr;
    status = take_buffer(b.buffer, bytes, size);
  } else if (status == XLSX_OK) {
    status = zip_error_code_zip(zip_get_error(b.writer)) == ZIP_ER_MEMORY ? XLSX_ERR_NO_MEMORY : XLSX_ERR_INTERNAL;
  }
  if (b.writer) zip_discard(b.writer);
  zip_source_free(b.buffer);
  if (b.compressor) libdeflate_free_compressor(b.compressor);
  return status;
}

xlsx_status xlsx_archive_write(XlsxArchive* archive, const char* path) {
  if (!archive || !path) return XLSX_ERR_INVALID_ARG;
  // Nothing changed since the file was read: the file's own bytes are the archive, and the archive's
  // state already describes them.
  if (is_unchanged(archive)) return xlsx_replace_file(path, archive->file_buffer, archive->file_size);
  char* bytes = nullptr;
  uint32_t size = 0;
  xlsx_status status = xlsx_archive_build(archive, &bytes, &size);
  if (status != XLSX_OK) return status;
  // The new base is prepared before the file is touched, so that once the file is replaced nothing can
  // fail any more: a failure leaves both the file and the archive as they were.
  Base base;
  status = prepare_base(bytes, size, &base);
  if (status == XLSX_OK) status = xlsx_replace_file(path, bytes, size);
  if (status != XLSX_OK) {
    discard_base(&base);
    xlsx_free(bytes);
    return status;
  }
  install_base(archive, &base, bytes, size);
  return XLSX_OK;
}

void xlsx_archive_reset(XlsxArchive* archive) {
  if (!archive) return;
  if (archive->reader) zip_discard(archive->reader);
  archive->reader = nullptr;
  archive->reader_active = 0;
  xlsx_free(archive->file_buffer);
  archive->file_buffer = nullptr;
  archive->file_size = 0;
  dynarray_clear(&archive->entries);
  xlsx_name_index_free(&archive->names);
  archive->inflated_total = 0;
  archive->is_open = 0;
}

void xlsx_archive_free(XlsxArchive* archive) {
  if (!archive) return;
  xlsx_archive_reset(archive);
  dynarray_free(&archive->entries);
  xlsx_free(archive);
}

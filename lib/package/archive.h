// XlsxArchive: one ZIP file held whole in memory. Entries are listed by name, inflated only when asked
// for and then cached; they can be replaced, added and deleted. Writing builds a complete new ZIP in
// memory (untouched records copied compressed, other entries deflated), replaces the target file through
// a temporary file beside it, and re-bases the archive on the bytes just written.
#pragma once

#include <cstdint>

#include "lib/base/dynarray.h"
#include "lib/base/name_index.h"
#include "lib/base/status.h"

struct zip;  // the ZIP reader's state (libzip)

// Inflated bytes allowed for one entry, and for all entries of one archive together. Declared sizes in
// the ZIP are never trusted; an entry that inflates beyond a cap fails to load with XLSX_ERR_PARSE.
enum : uint32_t {
  XLSX_ENTRY_MAX_INFLATED = 256u * 1024u * 1024u,
  XLSX_ARCHIVE_MAX_INFLATED = 1024u * 1024u * 1024u,
};

struct XlsxArchiveEntry {
  char* name;             // as in the central directory, no leading "/"; owned
  uint32_t modified;      // 1 when the data came from xlsx_archive_put_entry
  uint32_t source_index;  // record index in the reader; meaningful while modified is 0
  char* data;             // owned bytes (NUL after the last one), or null; not counted in size
  uint32_t size;          // bytes in data
  uint32_t loaded;        // 1 when data holds the entry's current contents
  // Inflated bytes charged to the archive's total for this entry's cache, so that dropping or
  // replacing the cache gives them back (the per-archive cap counts live cached bytes only).
  uint32_t charged;
};

struct XlsxArchive {
  uint32_t is_open;       // 1 after a successful open or write
  char* file_buffer;      // the whole ZIP file; the reader works on it in place; owned
  uint32_t file_size;     // bytes in file_buffer
  struct zip* reader;     // reader over file_buffer, or null
  uint32_t reader_active; // 1 while reader is set
  DynArray entries;       // XlsxArchiveEntry in archive order; the destructor frees name and data
  XlsxNameIndex names;    // entry names to positions in entries
  // Inflated bytes currently cached for unmodified entries, and the caps in force for this archive
  // (XLSX_ENTRY_MAX_INFLATED and XLSX_ARCHIVE_MAX_INFLATED unless lowered, e.g. by tests).
  uint32_t inflated_total;
  uint32_t max_entry_size;
  uint32_t max_total_size;
};

// --- whole files, through the host's file operations

// Reads the whole file into a new block (NUL after the last byte; caller frees with xlsx_free). Outputs
// are cleared first. XLSX_ERR_IO when it cannot be opened (also when it is no regular file), sized or read (or exceeds 4 GiB - 2 bytes),
// XLSX_ERR_NO_MEMORY when the block cannot be allocated, XLSX_ERR_INVALID_ARG for null arguments.
xlsx_status xlsx_read_file(const char* path, char** data, uint32_t* size);
// Creates or truncates path and writes size bytes (data may be null when size is 0). XLSX_ERR_IO when
// it cannot be opened, written or closed; the file may then be partly written.
xlsx_status xlsx_write_file(const char* path, const void* data, uint32_t size);
// Writes the bytes to a new temporary file beside path and renames it over path only when complete,
// keeping path's mode, and its owner and group where the process may set them. A symbolic link path
// stays: the file it names is replaced. XLSX_ERR_IO, before anything is written, for a target that is
// not a regular file, may not be written, or has several hard links (replacing it would part it from
// them); on any failure the temporary file is deleted and path is left as it was: XLSX_ERR_IO.
xlsx_status xlsx_replace_file(const char* path, const void* data, uint32_t size);

// --- archives

// New empty archive with the default inflation caps (caller frees with xlsx_archive_free); null when
// memory runs out.
XlsxArchive* xlsx_archive_new();
// Reads the ZIP at path (resetting the archive first). XLSX_ERR_IO: unreadable file; XLSX_ERR_PARSE:
// not a ZIP or a central directory record unreadable; XLSX_ERR_NO_MEMORY. On failure the archive is empty.
xlsx_status xlsx_archive_open(XlsxArchive* archive, const char* path);
// Reads a ZIP held in memory; the archive takes a private copy of the bytes. Statuses as open.
xlsx_status xlsx_archive_open_memory(XlsxArchive* archive, const void* bytes, uint32_t size);
// Whether an entry of exactly that name exists; false for null archive or name.
bool xlsx_archive_has_entry(const XlsxArchive* archive, const char* name);
// The entry's bytes, inflated on first use (NUL-terminated, size without the NUL). The bytes belong to
// the archive and stay valid until the entry is put again or deleted, or the archive is reset, written
// or freed. XLSX_ERR_INVALID_ARG for null archive, name or data; XLSX_ERR_NOT_FOUND; XLSX_ERR_PARSE for
// a record that cannot be inflated or exceeds the caps; XLSX_ERR_NO_MEMORY; XLSX_ERR_INTERNAL when the
// entry is not modified and no reader is active. size may be null.
xlsx_status xlsx_archive_get_entry(XlsxArchive* archive, const char* name, const char** data, uint32_t* size);
// Replaces the entry's contents by a private copy (null data = empty) or appends a new entry at the end.
// XLSX_ERR_INVALID_ARG for null archive or name; XLSX_ERR_NO_MEMORY leaves the archive unchanged.
xlsx_status xlsx_archive_put_entry(XlsxArchive* archive, const char* name, const void* data, uint32_t size);
// Like xlsx_archive_put_entry, but takes over data instead of copying it: a block from xlsx_malloc holding
// size bytes followed by a NUL (null data = empty). The block belongs to the archive from the call on and
// is freed on every failure (XLSX_ERR_INVALID_ARG for null archive or name or null data with a size;
// XLSX_ERR_NO_MEMORY leaves the archive unchanged).
xlsx_status xlsx_archive_take_entry(XlsxArchive* archive, const char* name, char* data, uint32_t size);
// Drops the cached bytes of an entry that was not put (they are inflated again when next asked for);
// nothing for a put entry, a missing name or null arguments.
void xlsx_archive_release_entry(XlsxArchive* archive, const char* name);
// 1 when an entry of that name was removed (the others keep their order), else 0 (also for null).
int xlsx_archive_delete_entry(XlsxArchive* archive, const char* name);
// Number of entries; 0 for null.
uint32_t xlsx_archive_entry_count(const XlsxArchive* archive);
// Entry index in archive order, or null (null archive, out of range); valid until the list changes.
const XlsxArchiveEntry* xlsx_archive_entry_at(const XlsxArchive* archive, uint32_t index);
// Builds the archive anew and replaces the file at path (xlsx_replace_file), then re-bases the archive
// on the written bytes: every entry unmodified and bound to its new record. An archive in which nothing
// was put or deleted since it was read is written as the file's own bytes. On failure the file at path
// is untouched and the archive keeps its entries and put data. XLSX_ERR_INVALID_ARG, XLSX_ERR_IO,
// XLSX_ERR_INTERNAL (ZIP cannot be built), XLSX_ERR_PARSE / XLSX_ERR_NO_MEMORY (entry cannot be loaded).
xlsx_status xlsx_archive_write(XlsxArchive* archive, const char* path);
// Builds the archive into a new block (caller frees with xlsx_free) without touching any file or the
// archive's state. Statuses as xlsx_archive_write minus XLSX_ERR_IO.
xlsx_status xlsx_archive_build(XlsxArchive* archive, char** bytes, uint32_t* size);
// Ends the reader, frees the file buffer and all entries; the archive stays usable, empty. Null ignored.
void xlsx_archive_reset(XlsxArchive* archive);
// Reset, then release the archive itself; null is ignored.
void xlsx_archive_free(XlsxArchive* archive);

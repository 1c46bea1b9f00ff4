// The operations the spreadsheet library takes from its host: memory, text formatting and conversion,
// and files. The plugin fills this table from the host it is loaded into; everything else (tests,
// benchmarks, fuzz targets) runs on the C-library table that is installed by default.
#pragma once

#include <cstdarg>
#include <cstdint>

// What a save needs to know of an existing file (symbolic links followed), and gives its replacement.
struct XlsxFileInfo {
  uint32_t regular;   // 1 for a regular file
  uint32_t writable;  // 1 when this process may write it and its permission bits let anyone write it
  uint32_t mode;      // permission bits (07777)
  uint32_t owner;     // user and group ids
  uint32_t group;
  uint32_t links;     // hard links to it
};

struct XlsxHostOps {
  // Memory (sizes are unsigned 32-bit, as on the target).
  void* (*malloc_fn)(uint32_t size);
  void* (*calloc_fn)(uint32_t count, uint32_t size);
  void* (*realloc_fn)(void* block, uint32_t size);
  void (*free_fn)(void* block);

  // Text services.
  int (*format_text)(char* buffer, uint32_t size, const char* format, va_list args);  // vsnprintf rules
  int (*print_formatted)(const char* format, va_list args);                           // vprintf rules
  double (*text_to_double)(const char* text, char** end);                             // strtod rules
  // strtol rules with a 32-bit result, as the target's `long`: out-of-range values clamp to
  // INT32_MIN / INT32_MAX.
  int32_t (*text_to_long)(const char* text, char** end, int base);
  int (*text_equals_nocase)(const char* a, const char* b);  // nonzero when equal ignoring ASCII case

  // Files. A handle is opaque; null means failure.
  // mode: XLSX_FILE_READ (regular files only: a FIFO or a device is refused, never waited on),
  // XLSX_FILE_WRITE (create or truncate), XLSX_FILE_CREATE_NEW (fail if it exists).
  void* (*open_file)(const char* name, int mode);
  int (*close_file)(void* handle);                                           // 0 on success
  int (*seek_file)(void* handle, int64_t offset, int origin);                // origin: SEEK_SET/CUR/END; 0 on success
  int64_t (*tell_file)(void* handle);                                        // -1 on failure
  uint32_t (*read_file)(void* handle, void* buffer, uint32_t count);         // bytes read
  uint32_t (*write_file)(void* handle, const void* buffer, uint32_t count);  // bytes written
  int (*delete_file)(const char* name);                                      // 0 on success
  int (*rename_file)(const char* from, const char* to);                      // 0 on success; replaces `to`
  int (*file_info)(const char* name, XlsxFileInfo* info);                    // 0 when name exists
  // Writes into buffer the path of the file name designates once symbolic links are followed (name itself
  // when it is no link; the last link's target when that does not exist); 0 on success, -1 when the path
  // does not fit or the links loop.
  int (*resolve_links)(const char* name, char* buffer, uint32_t size);
  // Gives name the owner and group of info where the process may set them (a refusal is ignored), then
  // its mode; 0 when the mode was set.
  int (*set_file_info)(const char* name, const XlsxFileInfo* info);

  // Clock: the current time in seconds since 1970-01-01 UTC (the dates of saved workbooks); may be null.
  int64_t (*current_time)();
};

enum { XLSX_FILE_READ = 0, XLSX_FILE_WRITE = 1, XLSX_FILE_CREATE_NEW = 2 };

// The table in use; never null.
const XlsxHostOps* xlsx_host_ops();
// Installs `ops` (copied); null restores the C-library table.
void xlsx_set_host_ops(const XlsxHostOps* ops);
// The C-library table (malloc, vsnprintf, strtod, stdio files, ...).
const XlsxHostOps* xlsx_default_host_ops();
// The current time from the table's clock, or from the C library when the table has none.
int64_t xlsx_now();

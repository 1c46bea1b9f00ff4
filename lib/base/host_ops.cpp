// The default host-operation table on the C library, and the table the library currently uses.
#include "lib/base/host_ops.h"

#include <sys/types.h>
#include <climits>
#include <cstdio>
#include <ctime>
#include <cstdlib>

#include "lib/base/file_system.h"

namespace {

void* c_malloc(uint32_t size) {
  return std::malloc(size);
}

void* c_calloc(uint32_t count, uint32_t size) {
  return std::calloc(count, size);
}

void* c_realloc(void* block, uint32_t size) {
  return std::realloc(block, size);
}

void c_free(void* block) {
  std::free(block);
}

int c_format_text(char* buffer, uint32_t size, const char* format, va_list args) {
  return std::vsnprintf(buffer, size, format, args);
}

int c_print_formatted(const char* format, va_list args) {
  return std::vprintf(format, args);
}

double c_text_to_double(const char* text, char** end) {
  return std::strtod(text, end);
}

// strtol with the target's 32-bit `long`: values beyond the int32 range clamp to its ends.
int32_t c_text_to_long(const char* text, char** end, int base) {
  long long value = std::strtoll(text, end, base);
  if (value > INT32_MAX) return INT32_MAX;
  if (value < INT32_MIN) return INT32_MIN;
  return static_cast<int32_t>(value);
}

int ascii_lower(int c) {
  return (c >= 'A' && c <= 'Z') ? c + 32 : c;
}

int c_text_equals_nocase(const char* a, const char* b) {
  if (!a || !b) return a == b;
  for (;; ++a, ++b) {
    int ca = ascii_lower(static_cast<unsigned char>(*a));
    int cb = ascii_lower(static_cast<unsigned char>(*b));
    if (ca != cb) return 0;
    if (ca == 0) return 1;
  }
}

void* c_open_file(const char* name, int mode) {
  if (!name) return nullptr;
  if (mode == XLSX_FILE_READ) return file_open_regular(name);
  const char* how = nullptr;
  switch (mode) {
    case XLSX_FILE_WRITE:
      how = "wb";
      break;
    case XLSX_FILE_CREATE_NEW:
      how = "wbx";
      break;
    default:
      return nullptr;
  }
  return std::fopen(name, how);
}

int c_close_file(void* handle) {
  if (!handle) return -1;
  return std::fclose(static_cast<FILE*>(handle)) == 0 ? 0 : -1;
}

int c_seek_file(void* handle, int64_t offset, int origin) {
  if (!handle) return -1;
  off_t target = static_cast<off_t>(offset);
  if (static_cast<int64_t>(target) != offset) return -1;  // beyond a 32-bit off_t
  return fseeko(static_cast<FILE*>(handle), target, origin) == 0 ? 0 : -1;
}

int64_t c_tell_file(void* handle) {
  if (!handle) return -1;
  off_t at = ftello(static_cast<FILE*>(handle));
  return at < 0 ? -1 : static_cast<int64_t>(at);
}

uint32_t c_read_file(void* handle, void* buffer, uint32_t count) {
  if (!handle || !buffer) return 0;
  return static_cast<uint32_t>(std::fread(buffer, 1, count, static_cast<FILE*>(handle)));
}

uint32_t c_write_file(void* handle, const void* buffer, uint32_t count) {
  if (!handle || !buffer) return 0;
  return static_cast<uint32_t>(std::fwrite(buffer, 1, count, static_cast<FILE*>(handle)));
}

int c_delete_file(const char* name) {
  return (name && std::remove(name) == 0) ? 0 : -1;
}

int c_rename_file(const char* from, const char* to) {
  return (from && to && std::rename(from, to) == 0) ? 0 : -1;
}

int c_file_info(const char* name, XlsxFileInfo* info) { return file_info_of(name, info); }

int c_set_file_info(const char* name, const XlsxFileInfo* info) { return file_set_info(name, info); }

int64_t c_current_time() { return static_cast<int64_t>(std::time(nullptr)); }

const XlsxHostOps kDefaultOps = {
    c_malloc,         c_calloc,       c_realloc,
    c_free,           c_format_text,  c_print_formatted,
    c_text_to_double, c_text_to_long, c_text_equals_nocase,
    c_open_file,      c_close_file,   c_seek_file,
    c_tell_file,      c_read_file,    c_write_file,
    c_delete_file,    c_rename_file,  c_file_info,
    file_resolve_links, c_set_file_info, c_current_time,
};

XlsxHostOps g_current_ops = kDefaultOps;

}  // namespace

const XlsxHostOps* xlsx_host_ops() {
  return &g_current_ops;
}

void xlsx_set_host_ops(const XlsxHostOps* ops) {
  g_current_ops = ops ? *ops : kDefaultOps;
}

int64_t xlsx_now() {
  const XlsxHostOps* ops = xlsx_host_ops();
  return ops->current_time ? ops->current_time() : c_current_time();
}

const XlsxHostOps* xlsx_default_host_ops() {
  return &kDefaultOps;
}

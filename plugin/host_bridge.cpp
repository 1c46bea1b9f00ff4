// The library's host operations, each forwarding to the host table the plugin was given.
#include "plugin/host_bridge.h"

#include "lib/base/host_ops.h"
#include "plugin/globals.h"

namespace {

void* Malloc(uint32_t size) { return Host()->Malloc(size); }
void* Calloc(uint32_t count, uint32_t size) { return Host()->Calloc(count, size); }
void* Realloc(void* block, uint32_t size) { return Host()->Realloc(block, size); }
void Free(void* block) { Host()->Free(block); }

int FormatText(char* buffer, uint32_t size, const char* format, va_list args) {
  return Host()->FormatText(buffer, size, format, args);
}

int PrintFormatted(const char* format, va_list args) { return Host()->PrintFormatted(format, args); }
double TextToDouble(const char* text, char** end) { return Host()->TextToDouble(text, end); }
int32_t TextToLong(const char* text, char** end, int base) { return Host()->TextToLong(text, end, base); }
int TextEqualsNoCase(const char* a, const char* b) { return Host()->TextEqualsNoCase(a, b); }

uint32_t FileMode(int mode) {
  if (mode == XLSX_FILE_WRITE) return HOST_FILE_WRITE;
  if (mode == XLSX_FILE_CREATE_NEW) return HOST_FILE_CREATE_NEW;
  return HOST_FILE_READ;
}

void* OpenFile(const char* name, int mode) { return Host()->OpenFile(name, FileMode(mode)); }
int CloseFile(void* file) { return Host()->CloseFile(static_cast<HostFile*>(file)); }
int SeekFile(void* file, int64_t offset, int origin) {
  return Host()->SeekFile(static_cast<HostFile*>(file), offset, origin);
}
int64_t TellFile(void* file) { return Host()->TellFile(static_cast<HostFile*>(file)); }
uint32_t ReadFile(void* file, void* buffer, uint32_t count) {
  return Host()->ReadFile(static_cast<HostFile*>(file), buffer, count);
}
uint32_t WriteFile(void* file, const void* buffer, uint32_t count) {
  return Host()->WriteFile(static_cast<HostFile*>(file), buffer, count);
}
int DeleteFile(const char* name) { return Host()->DeleteFile(name); }
int RenameFile(const char* from, const char* to) { return Host()->RenameFile(from, to); }

int FileInfo(const char* name, XlsxFileInfo* info) {
  HostFileInfo got{};
  if (!info || Host()->FileInfo(name, &got) != 0) return -1;
  *info = XlsxFileInfo{got.regular, got.writable, got.mode, got.owner, got.group, got.links};
  return 0;
}
int ResolveLinks(const char* name, char* buffer, uint32_t size) { return Host()->ResolveLinks(name, buffer, size); }
int SetFileInfo(const char* name, const XlsxFileInfo* info) {
  if (!info) return -1;
  HostFileInfo given{info->regular, info->writable, info->mode, info->owner, info->group, info->links};
  return Host()->SetFileInfo(name, &given);
}

// Field by field, so that the table follows the library's record whatever its order.
constexpr XlsxHostOps kLibraryOps = {
    .malloc_fn = Malloc, .calloc_fn = Calloc, .realloc_fn = Realloc, .free_fn = Free,
    .format_text = FormatText, .print_formatted = PrintFormatted, .text_to_double = TextToDouble,
    .text_to_long = TextToLong, .text_equals_nocase = TextEqualsNoCase,
    .open_file = OpenFile, .close_file = CloseFile, .seek_file = SeekFile, .tell_file = TellFile,
    .read_file = ReadFile, .write_file = WriteFile, .delete_file = DeleteFile, .rename_file = RenameFile,
    .file_info = FileInfo, .resolve_links = ResolveLinks, .set_file_info = SetFileInfo,
    .current_time = nullptr,  // the host offers no clock: the C library's
};

}  // namespace

void InstallLibraryHostOps(const HostApi* host) {
  if (host) xlsx_set_host_ops(&kLibraryOps);
}

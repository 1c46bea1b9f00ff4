#include "host/files.h"

#include <sys/types.h>
#include <unistd.h>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "lib/base/file_system.h"

namespace {

uint32_t openFiles = 0;

FILE* Stream(HostFile* file) {
  return reinterpret_cast<FILE*>(file);
}

bool WantsReservation(const HostTag* options) {
  for (const HostTag* tag = options; tag && tag->tag != HOST_TAG_END; ++tag) {
    if (tag->tag == HOST_TAG_TEMP_RESERVE) return tag->value != 0;
  }
  return false;
}

}  // namespace

HostFile* HostOpenFile(const char* name, uint32_t mode) {
  if (!name) return nullptr;
  const char* how = (mode == HOST_FILE_READ) ? "rb" : (mode == HOST_FILE_WRITE) ? "wb" : "wbx";
  if (mode > HOST_FILE_CREATE_NEW) return nullptr;
  FILE* stream = mode == HOST_FILE_READ ? file_open_regular(name) : fopen(name, how);
  if (stream) ++openFiles;
  return reinterpret_cast<HostFile*>(stream);
}

int32_t HostCloseFile(HostFile* file) {
  if (!file) return -1;
  --openFiles;
  return fclose(Stream(file)) == 0 ? 0 : -1;
}

int32_t HostSeekFile(HostFile* file, int64_t offset, int32_t origin) {
  if (!file) return -1;
  return fseeko(Stream(file), static_cast<off_t>(offset), origin) == 0 ? 0 : -1;
}

int64_t HostTellFile(HostFile* file) {
  if (!file) return -1;
  return static_cast<int64_t>(ftello(Stream(file)));
}

uint32_t HostReadFile(HostFile* file, void* buffer, uint32_t count) {
  if (!file || !buffer) return 0;
  return static_cast<uint32_t>(fread(buffer, 1, count, Stream(file)));
}

uint32_t HostWriteFile(HostFile* file, const void* buffer, uint32_t count) {
  if (!file || !buffer) return 0;
  return static_cast<uint32_t>(fwrite(buffer, 1, count, Stream(file)));
}

int32_t HostDeleteFile(const char* name) {
  return (name && remove(name) == 0) ? 0 : -1;
}

int32_t HostRenameFile(const char* from, const char* to) {
  return (from && to && rename(from, to) == 0) ? 0 : -1;
}

int32_t HostGetTempFileName(char* buffer, uint32_t size, const HostTag* options) {
  const char* folder = getenv("TMPDIR");
  if (!folder || !*folder) folder = "/tmp";
  if (!buffer) return -1;
  int needed = snprintf(buffer, size, "%s/korvadel-XXXXXX", folder);
  if (needed < 0 || static_cast<uint32_t>(needed) >= size) return -1;
  int fd = mkstemp(buffer);
  if (fd < 0) return -1;
  close(fd);
  if (!WantsReservation(options)) unlink(buffer);
  return 0;
}

int32_t HostFileInfoOf(const char* name, HostFileInfo* info) { return file_info_of(name, info); }

int32_t HostResolveLinks(const char* name, char* buffer, uint32_t size) {
  return file_resolve_links(name, buffer, size);
}

int32_t HostSetFileInfo(const char* name, const HostFileInfo* info) { return file_set_info(name, info); }

uint32_t HostOpenFiles() {
  return openFiles;
}

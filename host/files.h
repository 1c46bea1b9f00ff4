// File operations of the host: stdio files behind opaque handles, and unique temporary file names.
#pragma once

#include <cstdint>

#include "plugin/host_api.h"

// Opens name for reading, for writing (created or truncated) or as a new file (fails when it exists);
// null on failure.
HostFile* HostOpenFile(const char* name, uint32_t mode);
// Closes the file; 0 on success, -1 for null or when pending writes fail.
int32_t HostCloseFile(HostFile* file);
int32_t HostSeekFile(HostFile* file, int64_t offset, int32_t origin);
int64_t HostTellFile(HostFile* file);
uint32_t HostReadFile(HostFile* file, void* buffer, uint32_t count);
uint32_t HostWriteFile(HostFile* file, const void* buffer, uint32_t count);
int32_t HostDeleteFile(const char* name);
int32_t HostRenameFile(const char* from, const char* to);
// Writes a new unique name under $TMPDIR (or /tmp) into buffer; HOST_TAG_TEMP_RESERVE with a nonzero value
// also creates the file empty. 0 on success, -1 when the buffer is too small or no name can be made.
int32_t HostGetTempFileName(char* buffer, uint32_t size, const HostTag* options);
// Number of files opened and not yet closed.
uint32_t HostOpenFiles();

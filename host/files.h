// File operations of the host: stdio files behind opaque handles, and unique temporary file names.
#pragma once

#include <cstdint>

#include "plugin/host_api.h"

// Opens name for reading (regular files only, without waiting on a FIFO), for writing (created or truncated) or as a new file (fails when it exists);
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
// Fills info for the existing file name (links followed); 0 when it exists.
int32_t HostFileInfoOf(const char* name, HostFileInfo* info);
// Writes the path name designates once symbolic links are followed; 0, or -1 when it does not fit or loops.
int32_t HostResolveLinks(const char* name, char* buffer, uint32_t size);
// Gives name info's owner and group where permitted, then its mode; 0 when the mode was set.
int32_t HostSetFileInfo(const char* name, const HostFileInfo* info);
// Number of files opened and not yet closed.
uint32_t HostOpenFiles();

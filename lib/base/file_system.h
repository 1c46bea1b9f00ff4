// The POSIX file operations behind the host tables of the library (lib/base/host_ops.cpp) and of the
// host (host/files.cpp): opening only regular files for reading, what a save keeps of the file it
// replaces, and following symbolic links. Inline, so that the host uses them without linking the library;
// Info is any record with the fields of XlsxFileInfo.
#pragma once

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstring>

// The regular file name opened for reading, or null. The open does not wait (a FIFO without a writer
// would block it), and anything but a regular file is refused before a byte is read.
inline FILE* file_open_regular(const char* name) {
  int fd = open(name, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return nullptr;
  struct stat st;
  FILE* stream = nullptr;
  if (fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK) == 0)
    stream = fdopen(fd, "rb");
  if (!stream) close(fd);
  return stream;
}

// Fills info for the existing file name, links followed; 0 when it exists, -1 otherwise (or for null).
template <typename Info>
int file_info_of(const char* name, Info* info) {
  struct stat st;
  if (!name || !info || stat(name, &st) != 0) return -1;
  info->regular = S_ISREG(st.st_mode) ? 1 : 0;
  // access() lets the superuser write anything: a file whose bits let no one write it counts as read-only.
  info->writable = (st.st_mode & 0222) != 0 && access(name, W_OK) == 0 ? 1 : 0;
  info->mode = uint32_t(st.st_mode & 07777);
  info->owner = uint32_t(st.st_uid);
  info->group = uint32_t(st.st_gid);
  info->links = uint32_t(st.st_nlink);
  return 0;
}

// Writes into buffer the path name designates once symbolic links are followed: name itself when it is
// no link, the last target when that does not exist. 0, or -1 when it does not fit or the links loop.
inline int file_resolve_links(const char* name, char* buffer, uint32_t size) {
  if (!name || !buffer || std::strlen(name) >= size) return -1;
  std::strcpy(buffer, name);
  char target[PATH_MAX];
  for (int hop = 0; hop < 40; hop++) {
    struct stat st;
    if (lstat(buffer, &st) != 0 || !S_ISLNK(st.st_mode)) return 0;
    ssize_t n = readlink(buffer, target, sizeof target - 1);
    if (n < 0) return -1;
    target[n] = '\0';
    // A relative target is relative to the folder of the link.
    const char* slash = target[0] == '/' ? nullptr : std::strrchr(buffer, '/');
    size_t keep = slash ? size_t(slash - buffer) + 1 : 0;
    if (keep + size_t(n) >= size) return -1;
    std::memcpy(buffer + keep, target, size_t(n) + 1);
  }
  return -1;
}

// Gives name the owner and group of info where the process may (only the superuser gives a file away;
// anyone may give it a group of their own; a refusal leaves the process's), then its mode; 0 when the
// mode was set.
template <typename Info>
int file_set_info(const char* name, const Info* info) {
  if (!name || !info) return -1;
  if (chown(name, uid_t(info->owner), gid_t(info->group)) != 0 && chown(name, uid_t(-1), gid_t(info->group)) != 0) {
    // neither could be set: the file keeps the process's owner and group
  }
  return chmod(name, mode_t(info->mode)) == 0 ? 0 : -1;
}

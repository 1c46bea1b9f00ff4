// Helpers for the package-layer tests: files as byte strings, ZIP archives made and inspected with
// libzip directly (independently of the archive module), and host tables whose file operations fail.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "lib/base/host_ops.h"

namespace pkg_test {

std::string read_bytes(const std::string& path);
void write_bytes(const std::string& path, const std::string& bytes);
// Names in a directory (no "." or "..").
std::vector<std::string> list_dir(const std::string& dir);

struct ZipInput {
  std::string name;
  std::string data;
  bool store = false;  // stored (method 0) instead of deflated
};
// A ZIP made by libzip itself, with the entries in order (a name ending in "/" becomes a directory).
std::string make_zip(const std::vector<ZipInput>& entries);

// One record of a ZIP as found in its central directory, with its raw (still compressed) bytes.
struct ZipRecord {
  std::string name;
  uint16_t method = 0;
  uint32_t crc = 0;
  uint64_t size = 0;
  std::string raw;
};
std::vector<ZipRecord> zip_records(const std::string& zip_bytes);
std::vector<std::string> zip_names(const std::string& zip_bytes);
// The inflated contents of the named entry (fails the test when missing or unreadable).
std::string zip_entry(const std::string& zip_bytes, const std::string& name);
// The standard workbook parts of a one-sheet package (each overridable), in the usual entry order.
std::vector<ZipInput> minimal_workbook_parts();
void replace_part(std::vector<ZipInput>* parts, const std::string& name, const std::string& data);
void remove_part(std::vector<ZipInput>* parts, const std::string& name);

// Rewrites the uncompressed size stated for the named entry, in its local header and its central
// directory record (to test that stated sizes are not trusted).
void patch_declared_size(std::string* zip_bytes, const std::string& name, uint32_t size);
// Renames an entry in place in both headers (new name of the same length), e.g. to make duplicates.
void patch_name(std::string* zip_bytes, const std::string& from, const std::string& to);

// Installs a host table whose file operations fail at one chosen step; restores the old one on exit.
class FailingFiles {
 public:
  enum Step { kNone, kCreateTemp, kWrite, kShortWrite, kClose, kRename };
  explicit FailingFiles(Step step);
  ~FailingFiles();
  FailingFiles(const FailingFiles&) = delete;
  FailingFiles& operator=(const FailingFiles&) = delete;
  static const char* name(Step step);

 private:
  XlsxHostOps previous_;
};

// Records the largest block the library asks its host for while alive.
class LargestAllocation {
 public:
  LargestAllocation();
  ~LargestAllocation();
  LargestAllocation(const LargestAllocation&) = delete;
  LargestAllocation& operator=(const LargestAllocation&) = delete;
  uint32_t largest() const;

 private:
  XlsxHostOps previous_;
};

}  // namespace pkg_test

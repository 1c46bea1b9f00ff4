// The counting file operations of FailingFiles: each forwards to the table that was installed before,
// unless it is the call chosen to fail.
#include "tests/support/failing_files.h"

namespace xlsx_test {
namespace {

XlsxHostOps g_previous;
uint32_t g_fail_at = 0;
uint32_t g_calls = 0;
uint32_t g_failures = 0;
const char* g_failed = "";

// Counts a call; true when this one must fail.
bool fails(const char* operation) {
  ++g_calls;
  if (g_fail_at == 0 || g_calls != g_fail_at) return false;
  ++g_failures;
  g_failed = operation;
  return true;
}

void* open_file(const char* name, int mode) { return fails("open") ? nullptr : g_previous.open_file(name, mode); }

// A failing close still closes the handle (the bytes may be lost, the handle must not leak).
int close_file(void* handle) {
  bool fail = fails("close");
  int result = g_previous.close_file(handle);
  return fail ? -1 : result;
}

int seek_file(void* handle, int64_t offset, int origin) {
  return fails("seek") ? -1 : g_previous.seek_file(handle, offset, origin);
}

int64_t tell_file(void* handle) { return fails("tell") ? -1 : g_previous.tell_file(handle); }

uint32_t read_file(void* handle, void* buffer, uint32_t count) {
  return fails("read") ? 0 : g_previous.read_file(handle, buffer, count);
}

// A full disk: the failing write takes half of the bytes, and every later write takes none.
bool g_disk_full = false;
uint32_t write_file(void* handle, const void* buffer, uint32_t count) {
  if (g_disk_full) return 0;
  if (!fails("write")) return g_previous.write_file(handle, buffer, count);
  g_disk_full = true;
  return g_previous.write_file(handle, buffer, count / 2);
}

int rename_file(const char* from, const char* to) { return fails("rename") ? -1 : g_previous.rename_file(from, to); }

}  // namespace

FailingFiles::FailingFiles(uint32_t fail_at) : previous_(*xlsx_host_ops()) {
  g_previous = previous_;
  g_fail_at = fail_at;
  g_calls = 0;
  g_failures = 0;
  g_failed = "";
  g_disk_full = false;
  XlsxHostOps ops = previous_;
  ops.open_file = open_file;
  ops.close_file = close_file;
  ops.seek_file = seek_file;
  ops.tell_file = tell_file;
  ops.read_file = read_file;
  ops.write_file = write_file;
  ops.rename_file = rename_file;
  xlsx_set_host_ops(&ops);
}

FailingFiles::~FailingFiles() { xlsx_set_host_ops(&previous_); }

uint32_t FailingFiles::failures() const { return g_failures; }
const char* FailingFiles::failed_operation() const { return g_failed; }

}  // namespace xlsx_test

// File-system failure injection: a host table whose file operations count their calls and make a chosen
// one fail, as a full disk, a failing close or a refused rename would. Only one FailingFiles may be alive
// at a time.
#pragma once

#include <cstdint>

#include "lib/base/host_ops.h"

namespace xlsx_test {

class FailingFiles {
 public:
  // Installs the failing table over the current one. fail_at is 1-based, counted over open, close, seek,
  // tell, read, write and rename calls made from now on; 0 never fails. Delete is never made to fail, so
  // that clean-up can be checked. A failing write takes half of what it was given (a short write), and every
  // later write takes nothing, as on a full disk.
  explicit FailingFiles(uint32_t fail_at);
  // Restores the table that was in place before.
  ~FailingFiles();
  FailingFiles(const FailingFiles&) = delete;
  FailingFiles& operator=(const FailingFiles&) = delete;

  uint32_t failures() const;  // operations made to fail so far
  // The name of the operation that failed ("write", "rename", ...), or "" when none did.
  const char* failed_operation() const;

 private:
  XlsxHostOps previous_;
};

}  // namespace xlsx_test

// Measures the library's memory in bytes: a host table whose allocation functions keep each block's size
// in a header in front of it, so that live and peak bytes are known. Only one PeakMemory may be alive at a
// time, and every block allocated under it must be freed under it (wrap a whole open-to-close cycle).
#pragma once

#include <cstdint>

#include "lib/base/host_ops.h"

namespace xlsx_test {

class PeakMemory {
 public:
  // Installs the measuring table over the current one.
  PeakMemory();
  // Restores the table that was in place before.
  ~PeakMemory();
  PeakMemory(const PeakMemory&) = delete;
  PeakMemory& operator=(const PeakMemory&) = delete;

  // Bytes requested and not yet freed / the most that were ever live at once since construction.
  uint64_t live_bytes() const;
  uint64_t peak_bytes() const;

 private:
  XlsxHostOps previous_;
};

}  // namespace xlsx_test

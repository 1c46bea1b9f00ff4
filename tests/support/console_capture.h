// Captures what the library prints through the host's console output (the out-of-memory report).
#pragma once

#include <string>

#include "lib/base/host_ops.h"

namespace xlsx_test {

class ConsoleCapture {
 public:
  // Installs a host table whose print_formatted appends to text() instead of writing to stdout; every
  // other operation stays as installed. Only one ConsoleCapture may be alive at a time.
  ConsoleCapture();
  // Restores the host table that was in place before.
  ~ConsoleCapture();
  ConsoleCapture(const ConsoleCapture&) = delete;
  ConsoleCapture& operator=(const ConsoleCapture&) = delete;

  // Everything printed since construction (or the last clear()).
  const std::string& text() const;
  void clear();

 private:
  XlsxHostOps previous_;
};

}  // namespace xlsx_test

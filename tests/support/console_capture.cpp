#include "tests/support/console_capture.h"

#include <cstdarg>
#include <cstdio>

namespace xlsx_test {
namespace {

std::string g_captured;

int capturing_print(const char* format, va_list args) {
  va_list measure;
  va_copy(measure, args);
  int n = std::vsnprintf(nullptr, 0, format, measure);
  va_end(measure);
  if (n < 0) return n;
  std::string piece(static_cast<size_t>(n) + 1, '\0');
  std::vsnprintf(piece.data(), piece.size(), format, args);
  piece.resize(static_cast<size_t>(n));
  g_captured += piece;
  return n;
}

}  // namespace

ConsoleCapture::ConsoleCapture() : previous_(*xlsx_host_ops()) {
  g_captured.clear();
  XlsxHostOps ops = previous_;
  ops.print_formatted = capturing_print;
  xlsx_set_host_ops(&ops);
}

ConsoleCapture::~ConsoleCapture() {
  xlsx_set_host_ops(&previous_);
}

const std::string& ConsoleCapture::text() const {
  return g_captured;
}

void ConsoleCapture::clear() {
  g_captured.clear();
}

}  // namespace xlsx_test

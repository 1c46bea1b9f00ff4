// A part of a package as the text a save would write, for tests that compare parts with expected XML.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "lib/base/alloc.h"
#include "lib/package/part.h"

namespace xlsx_test {

// The part serialised; fails the test (and gives "") when it cannot be.
inline std::string part_text(XlsxPart* part) {
  char* text = nullptr;
  uint32_t length = 0;
  EXPECT_EQ(xlsx_part_serialize(part, &text, &length), XLSX_OK);
  std::string out(text ? text : "", length);
  xlsx_free(text);
  return out;
}

// Whether text holds part.
inline bool has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

}  // namespace xlsx_test

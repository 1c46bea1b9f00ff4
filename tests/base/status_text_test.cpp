// Status texts and the error record.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "lib/base/status.h"
#include "tests/support/live_allocations.h"

namespace {

using StatusText = xlsx_test::CountedTest;

TEST_F(StatusText, EveryCodeHasItsFixedText) {
  const char* texts[] = {
      "OK",          "I/O error",     "parse error",   "value type error", "not found", "invalid argument",
      "unsupported", "out of memory", "internal error"};
  for (xlsx_status code = 0; code <= 8; ++code) EXPECT_STREQ(xlsx_status_text(code), texts[code]) << code;
  EXPECT_STREQ(xlsx_status_text(9), "unknown error");
  EXPECT_STREQ(xlsx_status_text(0xFFFFFFFFu), "unknown error");
}

TEST_F(StatusText, ErrorSetStoresCodeAndMessageAndClearResetsThem) {
  XlsxError err;
  std::memset(&err, 'x', sizeof err);
  EXPECT_EQ(xlsx_error_set(&err, 4, nullptr), 4u);
  EXPECT_EQ(err.code, 4u);
  EXPECT_STREQ(err.message, "not found");
  EXPECT_EQ(xlsx_error_set(&err, XLSX_ERR_PARSE, "line %d: %s", 12, "bad tag"), XLSX_ERR_PARSE);
  EXPECT_STREQ(err.message, "line 12: bad tag");
  xlsx_error_set(&err, XLSX_ERR_IO, "%s", std::string(400, 'a').c_str());
  EXPECT_EQ(std::strlen(err.message), sizeof err.message - 1);  // truncated and terminated
  EXPECT_EQ(xlsx_error_set(nullptr, 7, nullptr), 7u);
  xlsx_error_clear(&err);
  EXPECT_EQ(err.code, XLSX_OK);
  EXPECT_STREQ(err.message, "");
  xlsx_error_clear(nullptr);
}

}  // namespace

// Status texts and the error record.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "lib/base/status.h"
#include "tests/support/live_allocations.h"

namespace {

using StatusText = xlsx_test::CountedTest;

TEST_F(StatusText, EveryCodeHasItsFixedText) {
  const struct {
    xlsx_status code;
    const char* text;
  } table[] = {
      {XLSX_OK, "OK"},
      {XLSX_ERR_IO, "I/O error"},
      {XLSX_ERR_PARSE, "parse error"},
      {XLSX_ERR_VALUE_TYPE, "value type error"},
      {XLSX_ERR_NOT_FOUND, "not found"},
      {XLSX_ERR_INVALID_ARG, "invalid argument"},
      {XLSX_ERR_UNSUPPORTED, "unsupported"},
      {XLSX_ERR_NO_MEMORY, "out of memory"},
      {XLSX_ERR_INTERNAL, "internal error"},
  };
  for (const auto& row : table) EXPECT_STREQ(xlsx_status_text(row.code), row.text) << row.code;
}

TEST_F(StatusText, CodesOutsideTheTableAreUnknown) {
  EXPECT_STREQ(xlsx_status_text(9), "unknown error");
  EXPECT_STREQ(xlsx_status_text(0xFFFFFFFFu), "unknown error");
}

TEST_F(StatusText, ErrorSetWithoutFormatStoresTheStatusText) {
  XlsxError err;
  std::memset(&err, 'x', sizeof err);
  EXPECT_EQ(xlsx_error_set(&err, 4, nullptr), 4u);
  EXPECT_EQ(err.code, 4u);
  EXPECT_STREQ(err.message, "not found");
}

TEST_F(StatusText, ErrorSetFormatsTheMessage) {
  XlsxError err;
  EXPECT_EQ(xlsx_error_set(&err, XLSX_ERR_PARSE, "line %d: %s", 12, "bad tag"), XLSX_ERR_PARSE);
  EXPECT_STREQ(err.message, "line 12: bad tag");
}

TEST_F(StatusText, ErrorSetTruncatesToTheRecordAndTerminates) {
  XlsxError err;
  std::string longer(400, 'a');
  xlsx_error_set(&err, XLSX_ERR_IO, "%s", longer.c_str());
  EXPECT_EQ(std::strlen(err.message), sizeof err.message - 1);
}

TEST_F(StatusText, ErrorSetOnNullRecordOnlyReturnsTheCode) {
  EXPECT_EQ(xlsx_error_set(nullptr, 7, nullptr), 7u);
}

TEST_F(StatusText, ErrorClearResetsCodeAndMessage) {
  XlsxError err;
  xlsx_error_set(&err, XLSX_ERR_INTERNAL, nullptr);
  xlsx_error_clear(&err);
  EXPECT_EQ(err.code, XLSX_OK);
  EXPECT_STREQ(err.message, "");
  xlsx_error_clear(nullptr);  // ignored
}

}  // namespace

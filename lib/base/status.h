// Status codes of every library operation that can fail, and an optional error record.
#pragma once

#include <cstdint>

typedef uint32_t xlsx_status;

enum : xlsx_status {
  XLSX_OK = 0,
  XLSX_ERR_IO = 1,
  XLSX_ERR_PARSE = 2,
  XLSX_ERR_VALUE_TYPE = 3,
  XLSX_ERR_NOT_FOUND = 4,
  XLSX_ERR_INVALID_ARG = 5,
  XLSX_ERR_UNSUPPORTED = 6,
  XLSX_ERR_NO_MEMORY = 7,
  XLSX_ERR_INTERNAL = 8,
};

struct XlsxError {
  xlsx_status code;
  char message[256];  // always NUL-terminated
};

// Fixed text of a status code ("OK", "I/O error", ...); "unknown error" for any other code. Never null.
const char* xlsx_status_text(xlsx_status code);
// Sets code 0 and an empty message; null err is ignored.
void xlsx_error_clear(XlsxError* err);
// Stores code and the formatted message (the status text when format is null); returns code in every case.
xlsx_status xlsx_error_set(XlsxError* err, xlsx_status code, const char* format, ...)
    __attribute__((format(printf, 3, 4)));

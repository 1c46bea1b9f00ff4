// Status texts and the error record.
#include "lib/base/status.h"

#include <cstdarg>

#include "lib/base/alloc.h"

const char* xlsx_status_text(xlsx_status code) {
  switch (code) {
    case XLSX_OK:
      return "OK";
    case XLSX_ERR_IO:
      return "I/O error";
    case XLSX_ERR_PARSE:
      return "parse error";
    case XLSX_ERR_VALUE_TYPE:
      return "value type error";
    case XLSX_ERR_NOT_FOUND:
      return "not found";
    case XLSX_ERR_INVALID_ARG:
      return "invalid argument";
    case XLSX_ERR_UNSUPPORTED:
      return "unsupported";
    case XLSX_ERR_NO_MEMORY:
      return "out of memory";
    case XLSX_ERR_INTERNAL:
      return "internal error";
    default:
      return "unknown error";
  }
}

void xlsx_error_clear(XlsxError* err) {
  if (!err) return;
  err->code = XLSX_OK;
  err->message[0] = '\0';
}

xlsx_status xlsx_error_set(XlsxError* err, xlsx_status code, const char* format, ...) {
  if (!err) return code;
  err->code = code;
  int written;
  if (!format) {
    written = xlsx_snprintf(err->message, sizeof err->message, "%s", xlsx_status_text(code));
  } else {
    va_list args;
    va_start(args, format);
    written = xlsx_vsnprintf(err->message, sizeof err->message, format, args);
    va_end(args);
  }
  // A formatter error may leave the block undefined; the message must stay a text.
  if (written < 0) err->message[0] = '\0';
  err->message[sizeof err->message - 1] = '\0';
  return code;
}

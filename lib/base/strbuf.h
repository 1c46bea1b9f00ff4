// StrBuf: a growable byte string, always NUL-terminated once it has storage.
// Every growing operation returns XLSX_ERR_NO_MEMORY and leaves the buffer unchanged when it cannot grow.
#pragma once

#include <cstdarg>
#include <cstdint>

#include "lib/base/status.h"

struct StrBuf {
  char* data;         // null until the first growth; data[length] is NUL when not null
  uint32_t length;    // bytes in use, terminator not counted
  uint32_t capacity;  // bytes allocated, terminator's byte included
};

// Empty buffer without storage (all fields zero); sb must not be null.
void strbuf_init(StrBuf* sb);
// length = 0; the block stays allocated.
void strbuf_clear(StrBuf* sb);
// capacity >= need (16, 32, 64, ... bytes); XLSX_ERR_NO_MEMORY when it cannot grow or would pass 32 bits.
// Growing moves the block: pointers into data are invalidated.
xlsx_status strbuf_reserve(StrBuf* sb, uint32_t need);
// Appends one byte.
xlsx_status strbuf_putc(StrBuf* sb, char byte);
// Appends n bytes (they may lie inside the buffer itself). With n = 0 an unallocated buffer still gets its first block
// and becomes an empty text.
xlsx_status strbuf_append_bytes(StrBuf* sb, const void* bytes, uint32_t n);
// A null text is ignored.
xlsx_status strbuf_append(StrBuf* sb, const char* text);
// Replaces the content with n bytes (they may lie inside the buffer itself); unchanged on failure.
xlsx_status strbuf_set_bytes(StrBuf* sb, const void* bytes, uint32_t n);
// Replaces the content with text; a null text empties the buffer.
xlsx_status strbuf_set(StrBuf* sb, const char* text);
// Appends the formatted text; returns the formatter's result, negative on a format error or when the
// buffer cannot grow (the buffer is then unchanged).
int strbuf_vappendf(StrBuf* sb, const char* format, va_list args);
int strbuf_appendf(StrBuf* sb, const char* format, ...) __attribute__((format(printf, 2, 3)));
// Hands the text to the caller (who frees it with xlsx_free) and zero-fills the buffer; a never-used
// buffer gives a fresh empty text. Null only when that 1-byte allocation fails.
char* strbuf_detach(StrBuf* sb, uint32_t* length_out);
// Releases the storage; null sb is ignored.
void strbuf_free(StrBuf* sb);

// StrBuf: growable NUL-terminated byte string in counted memory.
#include "lib/base/strbuf.h"

#include <cstring>

#include "lib/base/alloc.h"

namespace {

// a + b + c without wrapping; false when the sum does not fit 32 bits.
bool sum_fits(uint32_t a, uint32_t b, uint32_t c, uint32_t* out) {
  uint64_t sum = static_cast<uint64_t>(a) + b + c;
  if (sum > UINT32_MAX) return false;
  *out = static_cast<uint32_t>(sum);
  return true;
}

// Offset of p inside the buffer's block, or -1 when p points elsewhere (so a source inside the
// buffer can be found again after the block moved).
int64_t offset_in_block(const StrBuf* sb, const void* p) {
  if (!sb->data || !p) return -1;
  const char* c = static_cast<const char*>(p);
  if (c < sb->data || c >= sb->data + sb->capacity) return -1;
  return c - sb->data;
}

}  // namespace

void strbuf_init(StrBuf* sb) {
  sb->data = nullptr;
  sb->length = 0;
  sb->capacity = 0;
}

void strbuf_clear(StrBuf* sb) {
  sb->length = 0;
  if (sb->data) sb->data[0] = '\0';
}

xlsx_status strbuf_reserve(StrBuf* sb, uint32_t need) {
  if (sb->capacity >= need) return XLSX_OK;
  xlsx_status status = xlsx_grow_array(&sb->data, &sb->capacity, need, 16);
  if (status == XLSX_OK) sb->data[sb->length] = '\0';
  return status;
}

xlsx_status strbuf_putc(StrBuf* sb, char byte) {
  uint32_t need;
  if (!sum_fits(sb->length, 2, 0, &need)) return XLSX_ERR_NO_MEMORY;
  xlsx_status st = strbuf_reserve(sb, need);
  if (st != XLSX_OK) return st;
  sb->data[sb->length++] = byte;
  sb->data[sb->length] = '\0';
  return XLSX_OK;
}

xlsx_status strbuf_append_bytes(StrBuf* sb, const void* bytes, uint32_t n) {
  uint32_t need;
  if (!sum_fits(sb->length, 1, n, &need)) return XLSX_ERR_NO_MEMORY;
  int64_t inside = offset_in_block(sb, bytes);
  xlsx_status st = strbuf_reserve(sb, need);
  if (st != XLSX_OK) return st;
  if (n > 0) {
    const void* source = inside >= 0 ? sb->data + inside : bytes;
    std::memmove(sb->data + sb->length, source, n);
  }
  sb->length += n;
  sb->data[sb->length] = '\0';
  return XLSX_OK;
}

xlsx_status strbuf_append(StrBuf* sb, const char* text) {
  if (!text) return XLSX_OK;
  size_t n = std::strlen(text);
  if (n > UINT32_MAX) return XLSX_ERR_NO_MEMORY;
  return strbuf_append_bytes(sb, text, static_cast<uint32_t>(n));
}

// Grows before it clears, so that a failure leaves the old content and a source inside the buffer
// itself is still intact when it is copied.
xlsx_status strbuf_set_bytes(StrBuf* sb, const void* bytes, uint32_t n) {
  uint32_t need;
  if (!sum_fits(n, 1, 0, &need)) return XLSX_ERR_NO_MEMORY;
  int64_t inside = offset_in_block(sb, bytes);
  xlsx_status st = strbuf_reserve(sb, need);
  if (st != XLSX_OK) return st;
  if (n > 0) {
    const void* source = inside >= 0 ? sb->data + inside : bytes;
    std::memmove(sb->data, source, n);
  }
  sb->length = n;
  sb->data[n] = '\0';
  return XLSX_OK;
}

xlsx_status strbuf_set(StrBuf* sb, const char* text) {
  if (!text) {
    strbuf_clear(sb);
    return XLSX_OK;
  }
  size_t n = std::strlen(text);
  if (n > UINT32_MAX) return XLSX_ERR_NO_MEMORY;
  return strbuf_set_bytes(sb, text, static_cast<uint32_t>(n));
}

int strbuf_vappendf(StrBuf* sb, const char* format, va_list args) {
  va_list measure;
  va_copy(measure, args);
  int n = xlsx_vsnprintf(nullptr, 0, format, measure);
  va_end(measure);
  if (n < 0) return n;
  uint32_t need;
  if (!sum_fits(sb->length, 1, static_cast<uint32_t>(n), &need)) return -1;
  if (strbuf_reserve(sb, need) != XLSX_OK) return -1;
  int written = xlsx_vsnprintf(sb->data + sb->length, static_cast<uint32_t>(n) + 1, format, args);
  if (written < 0) {
    sb->data[sb->length] = '\0';
    return written;
  }
  // The second expansion is bounded by the first; never count bytes that were not written.
  sb->length += static_cast<uint32_t>(written < n ? written : n);
  sb->data[sb->length] = '\0';
  return written;
}

int strbuf_appendf(StrBuf* sb, const char* format, ...) {
  va_list args;
  va_start(args, format);
  int result = strbuf_vappendf(sb, format, args);
  va_end(args);
  return result;
}

char* strbuf_detach(StrBuf* sb, uint32_t* length_out) {
  if (length_out) *length_out = sb->length;
  char* text = sb->data;
  if (!text) {
    text = static_cast<char*>(xlsx_malloc(1));
    if (!text) return nullptr;
    text[0] = '\0';
  }
  strbuf_init(sb);
  return text;
}

void strbuf_free(StrBuf* sb) {
  if (!sb) return;
  xlsx_free(sb->data);
  strbuf_init(sb);
}

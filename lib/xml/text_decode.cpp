// Decoding of character data: line ends and references.
#include "lib/xml/text_decode.h"

#include <cstring>

namespace {

void put_utf8(char*& out, uint32_t code) {
  if (code < 0x80) {
    *out++ = static_cast<char>(code);
  } else if (code < 0x800) {
    *out++ = static_cast<char>(0xC0 | (code >> 6));
    *out++ = static_cast<char>(0x80 | (code & 0x3F));
  } else if (code <= 0xFFFF) {
    *out++ = static_cast<char>(0xE0 | (code >> 12));
    *out++ = static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    *out++ = static_cast<char>(0x80 | (code & 0x3F));
  } else {
    *out++ = static_cast<char>(0xF0 | ((code >> 18) & 0x0F));
    *out++ = static_cast<char>(0x80 | ((code >> 12) & 0x3F));
    *out++ = static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    *out++ = static_cast<char>(0x80 | (code & 0x3F));
  }
}

// Value of a numeric reference body ("#65", "#x41"); 0 when it is not one (0 itself is never decoded).
// The number is accumulated in 32 bits.
uint32_t numeric_reference(const char* body, uint32_t n) {
  if (n < 2 || body[0] != '#') return 0;
  uint32_t code = 0;
  if (body[1] == 'x' || body[1] == 'X') {
    if (n < 3) return 0;
    for (uint32_t i = 2; i < n; i++) {
      char c = body[i];
      uint32_t digit;
      if (c >= '0' && c <= '9') {
        digit = c - '0';
      } else if (c >= 'a' && c <= 'f') {
        digit = c - 'a' + 10;
      } else if (c >= 'A' && c <= 'F') {
        digit = c - 'A' + 10;
      } else {
        return 0;
      }
      code = code * 16 + digit;
    }
    return code;
  }
  for (uint32_t i = 1; i < n; i++) {
    char c = body[i];
    if (c < '0' || c > '9') return 0;
    code = code * 10 + static_cast<uint32_t>(c - '0');
  }
  return code;
}

// Writes what the reference body between "&" and ";" stands for; false when it is not a known reference.
bool decode_reference(const char* body, uint32_t n, char*& out) {
  char single = 0;
  if (n == 3 && memcmp(body, "amp", 3) == 0) {
    single = '&';
  } else if (n == 2 && memcmp(body, "lt", 2) == 0) {
    single = '<';
  } else if (n == 2 && memcmp(body, "gt", 2) == 0) {
    single = '>';
  } else if (n == 4 && memcmp(body, "quot", 4) == 0) {
    single = '"';
  } else if (n == 4 && memcmp(body, "apos", 4) == 0) {
    single = '\'';
  }
  if (single) {
    *out++ = single;
    return true;
  }
  uint32_t code = numeric_reference(body, n);
  if (!code) return false;
  put_utf8(out, code);
  return true;
}

}  // namespace

uint32_t xml_decode_references(char* text, uint32_t n) {
  char* out = text;
  const char* read = text;
  const char* end = text + n;
  while (read < end) {
    const char* amp = static_cast<const char*>(memchr(read, '&', end - read));
    if (!amp) amp = end;
    if (out != read) memmove(out, read, amp - read);
    out += amp - read;
    read = amp;
    if (read == end) break;
    const char* limit = end - amp > 12 ? amp + 13 : end;
    const char* semi = static_cast<const char*>(memchr(amp + 1, ';', limit - amp - 1));
    if (!semi) {
      *out++ = '&';
      read = amp + 1;
      continue;
    }
    if (!decode_reference(amp + 1, static_cast<uint32_t>(semi - amp - 1), out)) {
      memmove(out, amp, semi + 1 - amp);
      out += semi + 1 - amp;
    }
    read = semi + 1;
  }
  return static_cast<uint32_t>(out - text);
}

uint32_t xml_copy_normalising_eol(char* out, const char* from, uint32_t n) {
  char* start = out;
  const char* end = from + n;
  while (from < end) {
    const char* cr = static_cast<const char*>(memchr(from, '\r', end - from));
    if (!cr) cr = end;
    memcpy(out, from, cr - from);
    out += cr - from;
    if (cr == end) break;
    *out++ = '\n';
    from = cr + 1;
    if (from < end && *from == '\n') from++;
  }
  return static_cast<uint32_t>(out - start);
}


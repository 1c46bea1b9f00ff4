// "_xHHHH_" escapes of cell and property texts.
#include "lib/xml/escape.h"

#include <cstring>

namespace {

int hex_value(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// The code of the escape "_xHHHH_" at p (which must have 7 readable bytes or a terminator before), or -1.
int32_t escape_at(const char* p) {
  if (p[0] != '_' || p[1] != 'x') return -1;
  int32_t code = 0;
  for (int i = 2; i < 6; i++) {
    int digit = hex_value(p[i]);
    if (digit < 0) return -1;
    code = code * 16 + digit;
  }
  return p[6] == '_' ? code : -1;
}

// Control characters other than tab and line feed: what XML 1.0 cannot carry, and the carriage return,
// which a parser reads back as a line feed.
bool is_control(unsigned char c) { return c < 0x20 && c != '\t' && c != '\n'; }

// The UTF-8 of U+FFFE or U+FFFF at p, which XML 1.0 cannot carry either.
bool is_non_character(const char* p) {
  return static_cast<unsigned char>(p[0]) == 0xEF && static_cast<unsigned char>(p[1]) == 0xBF &&
         (static_cast<unsigned char>(p[2]) == 0xBE || static_cast<unsigned char>(p[2]) == 0xBF);
}

xlsx_status append_escape(StrBuf* out, uint32_t code) {
  static const char kDigits[] = "0123456789ABCDEF";
  char escape[7] = {'_', 'x', kDigits[(code >> 12) & 15], kDigits[(code >> 8) & 15], kDigits[(code >> 4) & 15],
                    kDigits[code & 15], '_'};
  return strbuf_append_bytes(out, escape, 7);
}

uint32_t put_utf8(char* out, uint32_t code) {
  if (code < 0x80) {
    out[0] = static_cast<char>(code);
    return 1;
  }
  if (code < 0x800) {
    out[0] = static_cast<char>(0xC0 | (code >> 6));
    out[1] = static_cast<char>(0x80 | (code & 0x3F));
    return 2;
  }
  if (code < 0x10000) {
    out[0] = static_cast<char>(0xE0 | (code >> 12));
    out[1] = static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    out[2] = static_cast<char>(0x80 | (code & 0x3F));
    return 3;
  }
  out[0] = static_cast<char>(0xF0 | (code >> 18));
  out[1] = static_cast<char>(0x80 | ((code >> 12) & 0x3F));
  out[2] = static_cast<char>(0x80 | ((code >> 6) & 0x3F));
  out[3] = static_cast<char>(0x80 | (code & 0x3F));
  return 4;
}

}  // namespace

bool xml_text_needs_escape(const char* text) {
  if (!text) return false;
  for (const char* p = text; *p; p++) {
    if (is_control(static_cast<unsigned char>(*p)) || is_non_character(p) || escape_at(p) >= 0) return true;
  }
  return false;
}

xlsx_status xml_escape_text(const char* text, StrBuf* out) {
  const char* run = text ? text : "";
  const char* p = run;
  xlsx_status status = XLSX_OK;
  for (; *p && status == XLSX_OK; p++) {
    bool control = is_control(static_cast<unsigned char>(*p));
    bool non_character = !control && is_non_character(p);
    bool literal = !control && !non_character && escape_at(p) >= 0;
    if (!control && !non_character && !literal) continue;
    status = strbuf_append_bytes(out, run, static_cast<uint32_t>(p - run));
    if (status != XLSX_OK) break;
    if (control) status = append_escape(out, static_cast<unsigned char>(*p));
    if (non_character) status = append_escape(out, static_cast<unsigned char>(p[2]) == 0xBE ? 0xFFFE : 0xFFFF);
    if (literal) status = append_escape(out, '_');  // the rest of the literal follows as it stands
    if (non_character) p += 2;
    run = p + 1;
  }
  return status == XLSX_OK ? strbuf_append(out, run) : status;
}

bool xml_text_has_escape(const char* text) {
  if (!text) return false;
  for (const char* p = std::strstr(text, "_x"); p; p = std::strstr(p + 1, "_x")) {
    if (escape_at(p) > 0) return true;
  }
  return false;
}

uint32_t xml_unescape_text(char* text, uint32_t n) {
  uint32_t out = 0;
  uint32_t i = 0;
  while (i < n) {
    int32_t code = i + 7 <= n ? escape_at(text + i) : -1;
    uint32_t used = 7;
    if (code >= 0xD800 && code <= 0xDBFF) {  // a surrogate pair stands for one character
      int32_t low = i + 14 <= n ? escape_at(text + i + 7) : -1;
      code = low >= 0xDC00 && low <= 0xDFFF ? 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00) : -1;
      used = 14;
    }
    if (code <= 0 || (code >= 0xDC00 && code <= 0xDFFF)) {
      text[out++] = text[i++];
      continue;
    }
    out += put_utf8(text + out, static_cast<uint32_t>(code));
    i += used;
  }
  text[out] = 0;
  return out;
}

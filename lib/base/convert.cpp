// Number <-> text conversions, small text comparisons and ASCII character classes.
#include "lib/base/convert.h"

#include <cmath>
#include <cstring>

#include "lib/base/alloc.h"
#include "lib/base/host_ops.h"

namespace {

constexpr uint32_t kIntegerTextSize = 32;
constexpr uint32_t kDoubleTextSize = 40;

const char* skip_space(const char* p) {
  while (char_is_space(static_cast<unsigned char>(*p))) ++p;
  return p;
}

bool only_space_left(const char* p) {
  return *skip_space(p) == '\0';
}

// Digit value of c in bases up to 36, or 36 when c is no digit.
uint32_t digit_value(unsigned char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'z') return c - 'a' + 10;
  if (c >= 'A' && c <= 'Z') return c - 'A' + 10;
  return 36;
}

struct Scan {
  uint64_t magnitude;
  bool negative;
  bool ok;  // at least one digit and no overflow
  const char* end;
};

// Shared engine of the scanners: sign, base prefix, digits, magnitude limited to `limit`.
Scan scan_integer(const char* text, int base, uint64_t limit) {
  Scan s = {0, false, false, text};
  if (!text || base < 0 || base > 36) return s;
  const char* p = skip_space(text);
  if (*p == '+' || *p == '-') s.negative = *p++ == '-';
  if ((base == 0 || base == 16) && p[0] == '0' && (p[1] == 'x' || p[1] == 'X')) {
    p += 2;
    base = 16;
  } else if (base == 0) {
    base = *p == '0' ? 8 : 10;
  }
  const char* first_digit = p;
  uint64_t value = 0;
  for (uint32_t d; (d = digit_value(static_cast<unsigned char>(*p))) < static_cast<uint32_t>(base); ++p) {
    if (value > (limit - d) / static_cast<uint32_t>(base)) return s;  // overflow: end stays at text
    value = value * static_cast<uint32_t>(base) + d;
  }
  if (p == first_digit) return s;
  s.magnitude = value;
  s.ok = true;
  s.end = p;
  return s;
}

// Digits from the end of a scratch buffer: the bytes of "%llu" / "%lld" without a formatting call, which
// a cell write would otherwise make for its reference and its value.
// Two digits at a time, from a table of "00" to "99", and in 32-bit arithmetic once the value fits it
// (numbers in a sheet mostly do); the few bytes are copied one by one rather than through a library call.
uint32_t integer_text(uint64_t magnitude, bool negative, char* buffer) {
  static constexpr char kPairs[] =
      "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
      "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
      "8081828384858687888990919293949596979899";
  char scratch[kIntegerTextSize];
  char* at = scratch + sizeof scratch;
  while (magnitude > UINT32_MAX) {
    uint32_t pair = static_cast<uint32_t>(magnitude % 100) * 2;
    magnitude /= 100;
    *--at = kPairs[pair + 1];
    *--at = kPairs[pair];
  }
  uint32_t small = static_cast<uint32_t>(magnitude);
  while (small >= 100) {
    uint32_t pair = small % 100 * 2;
    small /= 100;
    *--at = kPairs[pair + 1];
    *--at = kPairs[pair];
  }
  if (small >= 10) {
    *--at = kPairs[small * 2 + 1];
    *--at = kPairs[small * 2];
  } else {
    *--at = static_cast<char>('0' + small);
  }
  if (negative) *--at = '-';
  uint32_t length = static_cast<uint32_t>(scratch + sizeof scratch - at);
  for (uint32_t i = 0; i < length; i++) buffer[i] = at[i];
  buffer[length] = '\0';
  return length;
}

}  // namespace

uint32_t xlsx_u64_to_text(uint64_t value, char* buffer) { return integer_text(value, false, buffer); }

uint32_t xlsx_i64_to_text(int64_t value, char* buffer) {
  uint64_t magnitude = value < 0 ? 0 - static_cast<uint64_t>(value) : static_cast<uint64_t>(value);
  return integer_text(magnitude, value < 0, buffer);
}

uint32_t xlsx_double_to_text(char* buffer, double value) {
  if (!std::isfinite(value)) {
    std::memcpy(buffer, "0", 2);
    return 1;
  }
  char scratch[kDoubleTextSize];
  for (int precision = 1; precision <= 16; ++precision) {
    int n = xlsx_snprintf(scratch, sizeof scratch, "%.*g", precision, value);
    if (n <= 0 || n >= static_cast<int>(sizeof scratch)) continue;
    if (xlsx_host_ops()->text_to_double(scratch, nullptr) == value) {
      std::memcpy(buffer, scratch, static_cast<size_t>(n) + 1);
      return static_cast<uint32_t>(n);
    }
  }
  int n = xlsx_snprintf(buffer, kDoubleTextSize, "%.17g", value);
  if (n < 0) {
    buffer[0] = '\0';
    return 0;
  }
  return static_cast<uint32_t>(n);
}

bool xlsx_text_to_double(const char* text, double* out) {
  if (!text) return false;
  char* end = nullptr;
  double value = xlsx_host_ops()->text_to_double(text, &end);
  if (!end || end == text || !only_space_left(end)) return false;
  *out = value;
  return true;
}

namespace {

// A whole text read by convert (strtoull or strtoll), white space around it allowed.
template <typename T, typename Convert>
bool whole_number(const char* text, T* out, Convert convert) {
  const char* end = text;
  T value = convert(text, &end, 10);
  if (end == text || !only_space_left(end)) return false;
  *out = value;
  return true;
}

}  // namespace

bool xlsx_text_to_u64(const char* text, uint64_t* out) {
  return text && *skip_space(text) != '-' && whole_number(text, out, xlsx_strtoull);
}

bool xlsx_text_to_i64(const char* text, int64_t* out) { return text && whole_number(text, out, xlsx_strtoll); }

bool xlsx_text_to_bool(const char* text, bool* out) {
  if (!text) return false;
  if (xlsx_str_equal(text, "1") || xlsx_str_iequal(text, "true")) {
    *out = true;
    return true;
  }
  if (xlsx_str_equal(text, "0") || xlsx_str_iequal(text, "false")) {
    *out = false;
    return true;
  }
  return false;
}

uint64_t xlsx_strtoull(const char* text, const char** end, int base) {
  Scan s = scan_integer(text, base, UINT64_MAX);
  if (end) *end = s.end;
  if (!s.ok) return 0;
  return s.negative ? 0 - s.magnitude : s.magnitude;
}

int64_t xlsx_strtoll(const char* text, const char** end, int base) {
  Scan s = scan_integer(text, base, static_cast<uint64_t>(INT64_MAX));
  if (end) *end = s.end;
  if (!s.ok) return 0;
  int64_t magnitude = static_cast<int64_t>(s.magnitude);
  return s.negative ? -magnitude : magnitude;
}

const char* xlsx_code_text(const XlsxCodeText* rows, uint32_t count, uint32_t code) {
  for (uint32_t i = 0; i < count; i++)
    if (rows[i].code == code) return rows[i].text;
  return nullptr;
}

uint32_t xlsx_text_code(const XlsxCodeText* rows, uint32_t count, const char* text, uint32_t none) {
  for (uint32_t i = 0; text && i < count; i++)
    if (std::strcmp(rows[i].text, text) == 0) return rows[i].code;
  return none;
}

bool xlsx_str_starts_with(const char* text, const char* prefix) {
  if (!text || !prefix) return false;
  return std::strncmp(text, prefix, std::strlen(prefix)) == 0;
}

bool xlsx_str_ends_with(const char* text, const char* suffix) {
  if (!text || !suffix) return false;
  size_t text_length = std::strlen(text);
  size_t suffix_length = std::strlen(suffix);
  if (suffix_length > text_length) return false;
  return std::memcmp(text + text_length - suffix_length, suffix, suffix_length) == 0;
}

bool xlsx_str_iequal(const char* a, const char* b) {
  if (!a || !b) return a == b;  // the host's comparison is not asked to handle missing texts
  return xlsx_host_ops()->text_equals_nocase(a, b) != 0;
}

char* xlsx_str_trim(char* text) {
  if (!text) return nullptr;
  while (char_is_space(static_cast<unsigned char>(*text))) ++text;
  size_t length = std::strlen(text);
  while (length > 0 && char_is_space(static_cast<unsigned char>(text[length - 1]))) text[--length] = '\0';
  return text;
}

bool char_is_space(int c) {
  return c == ' ' || (c >= 9 && c <= 13);
}

bool char_is_alpha(int c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

bool char_is_alnum(int c) {
  return char_is_alpha(c) || (c >= '0' && c <= '9');
}

bool char_is_xdigit(int c) {
  return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

int char_to_lower(int c) {
  return (c >= 'A' && c <= 'Z') ? c + 32 : c;
}

bool xlsx_utf8_is_valid(const char* bytes, uint32_t n) {
  if (!bytes) return n == 0;
  const unsigned char* p = reinterpret_cast<const unsigned char*>(bytes);
  const unsigned char* end = p + n;
  while (p < end) {
    unsigned char c = *p++;
    if (c < 0x80) continue;
    uint32_t extra = c >= 0xF0 ? 3 : c >= 0xE0 ? 2 : c >= 0xC2 ? 1 : 0;
    if (extra == 0 || c > 0xF4 || uint32_t(end - p) < extra) return false;
    // The second byte's range rules out overlong forms, surrogates and values above U+10FFFF.
    unsigned char lo = 0x80, hi = 0xBF;
    if (c == 0xE0) lo = 0xA0;
    if (c == 0xED) hi = 0x9F;
    if (c == 0xF0) lo = 0x90;
    if (c == 0xF4) hi = 0x8F;
    if (p[0] < lo || p[0] > hi) return false;
    for (uint32_t i = 1; i < extra; i++) {
      if ((p[i] & 0xC0) != 0x80) return false;
    }
    p += extra;
  }
  return true;
}

// ISO-8859-1 is converted here directly: each of its bytes is the code point of the same value, so the
// pair needs no converter module of the C library (some C libraries ship none). Other character sets go
// through iconv, which keeps one descriptor per direction; the system character set only changes at start-up.
#include "host/text.h"

#include <iconv.h>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

char charset[64] = "UTF-8";
bool charsetIsLatin1 = false;
iconv_t toUtf8 = reinterpret_cast<iconv_t>(-1);
iconv_t fromUtf8 = reinterpret_cast<iconv_t>(-1);
uint32_t liveTexts = 0;

const iconv_t kNoConverter = reinterpret_cast<iconv_t>(-1);

int LowerAscii(int c) {
  return (c >= 'A' && c <= 'Z') ? c + ('a' - 'A') : c;
}

// The usual names of ISO-8859-1, compared without regard to ASCII case. A name with an iconv suffix
// ("//TRANSLIT") is left to iconv, which alone knows what the suffix asks for.
bool NamesLatin1(const char* name) {
  static const char* const kNames[] = {"ISO-8859-1", "ISO8859-1", "ISO_8859-1", "ISO88591",  "LATIN1",
                                       "L1",         "CP819",     "IBM819",     "ISO-IR-100"};
  for (const char* known : kNames) {
    if (HostTextEqualsNoCase(name, known)) return true;
  }
  return false;
}

const char* EncodingName(int32_t encoding) {
  if (encoding == HOST_ENCODING_UTF8) return "UTF-8";
  if (encoding == HOST_ENCODING_SYSTEM) return charset;
  return nullptr;
}

iconv_t Converter(int32_t from, int32_t to) {
  iconv_t* slot = (to == HOST_ENCODING_UTF8) ? &toUtf8 : &fromUtf8;
  if (*slot == kNoConverter) *slot = iconv_open(EncodingName(to), EncodingName(from));
  return *slot;
}

// Doubles the capacity of a conversion buffer; frees it and gives null when memory runs out.
char* Grow(char* out, size_t* capacity) {
  *capacity *= 2;
  char* grown = static_cast<char*>(realloc(out, *capacity + 1));
  if (!grown) free(out);
  return grown;
}

size_t InputLength(const char* text, const HostTag* options) {
  for (const HostTag* tag = options; tag && tag->tag != HOST_TAG_END; ++tag) {
    if (tag->tag == HOST_TAG_LENGTH) return tag->value;
  }
  return strlen(text);
}

// Converts length bytes into a new malloc'd, terminated text; null on any conversion failure. The output
// buffer starts at twice the input and doubles while the conversion reports that it is full.
char* Convert(iconv_t cd, const char* text, size_t length) {
  size_t capacity = length * 2 + 16;
  char* out = static_cast<char*>(malloc(capacity + 1));
  if (!out) return nullptr;
  iconv(cd, nullptr, nullptr, nullptr, nullptr);
  char* in = const_cast<char*>(text);
  size_t inLeft = length;
  size_t used = 0;
  for (;;) {
    char* dst = out + used;
    size_t outLeft = capacity - used;
    bool done = iconv(cd, &in, &inLeft, &dst, &outLeft) != static_cast<size_t>(-1) &&
                iconv(cd, nullptr, nullptr, &dst, &outLeft) != static_cast<size_t>(-1);
    used = static_cast<size_t>(dst - out);
    if (done) break;
    if (errno != E2BIG) {
      free(out);
      return nullptr;
    }
    if (!(out = Grow(out, &capacity))) return nullptr;
  }
  out[used] = '\0';
  return out;
}

// ISO-8859-1 to UTF-8 (to_utf8) or back; bytes below 0x80 stay either way. To UTF-8 the others become
// two bytes, which never fails but for memory. From UTF-8, null when the text holds a character above
// U+00FF or is not valid UTF-8 (a stray continuation byte, an overlong form, a sequence cut short), as
// with iconv: the only valid multi-byte forms of the code points below 256 are the two-byte ones led by
// 0xC2 and 0xC3.
char* ConvertLatin1(const char* text, size_t length, bool to_utf8) {
  char* out = static_cast<char*>(malloc((to_utf8 ? length * 2 : length) + 1));
  if (!out) return nullptr;
  size_t used = 0;
  for (size_t i = 0; i < length; ++i) {
    unsigned char byte = static_cast<unsigned char>(text[i]);
    if (byte < 0x80) {
      out[used++] = static_cast<char>(byte);
    } else if (to_utf8) {
      out[used++] = static_cast<char>(0xC0 | (byte >> 6));
      out[used++] = static_cast<char>(0x80 | (byte & 0x3F));
    } else {
      unsigned char next = (i + 1 < length) ? static_cast<unsigned char>(text[i + 1]) : 0;
      if ((byte != 0xC2 && byte != 0xC3) || (next & 0xC0) != 0x80) {
        free(out);
        return nullptr;
      }
      out[used++] = static_cast<char>(((byte & 0x03) << 6) | (next & 0x3F));
      ++i;
    }
  }
  out[used] = '\0';
  return out;
}

char* CopyText(const char* text, size_t length) {
  char* out = static_cast<char*>(malloc(length + 1));
  if (!out) return nullptr;
  memcpy(out, text, length);
  out[length] = '\0';
  return out;
}

// Whether ASCII text written in the character set name is free of NUL bytes (checked on a sample).
bool EndsOnlyAtNul(const char* name) {
  iconv_t to = iconv_open(name, "UTF-8");
  if (to == kNoConverter) return false;
  char sample[] = "Az09 ";
  char out[64];
  char* in = sample;
  size_t in_left = sizeof sample - 1;
  char* at = out;
  size_t out_left = sizeof out;
  size_t done = iconv(to, &in, &in_left, &at, &out_left);
  iconv_close(to);
  return done != static_cast<size_t>(-1) && in_left == 0 && !memchr(out, 0, size_t(at - out));
}

}  // namespace

bool HostSetCharset(const char* name) {
  if (!name || strlen(name) >= sizeof charset) return false;
  bool latin1 = NamesLatin1(name);
  if (!latin1) {
    iconv_t probe = iconv_open("UTF-8", name);
    if (probe == kNoConverter) return false;
    iconv_close(probe);
    // Texts in the system character set end at their first NUL byte: a set whose units hold NUL bytes
    // (UTF-16, UTF-32, ...) would cut every text, so it is refused.
    if (!EndsOnlyAtNul(name)) return false;
  }
  HostCloseConverters();
  snprintf(charset, sizeof charset, "%s", name);
  charsetIsLatin1 = latin1;
  return true;
}

const char* HostCharset() {
  return charset;
}

bool HostCharsetIsUtf8() {
  return HostTextEqualsNoCase(charset, "UTF-8") || HostTextEqualsNoCase(charset, "UTF8");
}

void HostCloseConverters() {
  if (toUtf8 != kNoConverter) iconv_close(toUtf8);
  if (fromUtf8 != kNoConverter) iconv_close(fromUtf8);
  toUtf8 = kNoConverter;
  fromUtf8 = kNoConverter;
}

int32_t HostFormatText(char* buffer, uint32_t size, const char* format, va_list args) {
  return vsnprintf(buffer, size, format, args);
}

int32_t HostPrintFormatted(const char* format, va_list args) {
  int32_t written = vprintf(format, args);
  fflush(stdout);
  return written;
}

double HostTextToDouble(const char* text, char** end) {
  return strtod(text, end);
}

int32_t HostTextToLong(const char* text, char** end, int32_t base) {
  long long value = strtoll(text, end, base);
  if (value > INT32_MAX) return INT32_MAX;
  if (value < INT32_MIN) return INT32_MIN;
  return static_cast<int32_t>(value);
}

int32_t HostTextEqualsNoCase(const char* a, const char* b) {
  if (!a || !b) return a == b;
  while (*a && LowerAscii(static_cast<unsigned char>(*a)) == LowerAscii(static_cast<unsigned char>(*b))) {
    ++a;
    ++b;
  }
  return *a == '\0' && *b == '\0';
}

char* HostConvertText(const char* text, int32_t from, int32_t to, const HostTag* options) {
  if (!text || !EncodingName(from) || !EncodingName(to)) return nullptr;
  size_t length = InputLength(text, options);
  char* out = nullptr;
  if (from == to || HostCharsetIsUtf8()) {
    out = CopyText(text, length);  // both sides use the same encoding
  } else if (charsetIsLatin1) {
    out = ConvertLatin1(text, length, to == HOST_ENCODING_UTF8);
  } else {
    iconv_t cd = Converter(from, to);
    out = (cd == kNoConverter) ? nullptr : Convert(cd, text, length);
  }
  if (out) ++liveTexts;
  return out;
}

void HostFreeText(char* text) {
  if (!text) return;
  --liveTexts;
  free(text);
}

void HostQuerySettings(const HostTag* options) {
  for (const HostTag* tag = options; tag && tag->tag != HOST_TAG_END; ++tag) {
    if (tag->tag == HOST_TAG_DEFAULT_ENCODING && tag->value) {
      *reinterpret_cast<int32_t*>(tag->value) = HOST_ENCODING_SYSTEM;
    }
  }
}

uint32_t HostLiveTexts() {
  return liveTexts;
}

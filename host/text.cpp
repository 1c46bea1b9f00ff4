// Conversions keep one iconv descriptor per direction; the system character set only changes at start-up.
#include "host/text.h"

#include <iconv.h>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

char charset[64] = "UTF-8";
iconv_t toUtf8 = reinterpret_cast<iconv_t>(-1);
iconv_t fromUtf8 = reinterpret_cast<iconv_t>(-1);
uint32_t liveTexts = 0;

const iconv_t kNoConverter = reinterpret_cast<iconv_t>(-1);

int LowerAscii(int c) {
  return (c >= 'A' && c <= 'Z') ? c + ('a' - 'A') : c;
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

char* CopyText(const char* text, size_t length) {
  char* out = static_cast<char*>(malloc(length + 1));
  if (!out) return nullptr;
  memcpy(out, text, length);
  out[length] = '\0';
  return out;
}

}  // namespace

bool HostSetCharset(const char* name) {
  if (!name || strlen(name) >= sizeof charset) return false;
  iconv_t probe = iconv_open("UTF-8", name);
  if (probe == kNoConverter) return false;
  iconv_close(probe);
  HostCloseConverters();
  snprintf(charset, sizeof charset, "%s", name);
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

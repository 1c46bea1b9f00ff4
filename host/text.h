// Text services of the host: formatting, number parsing, comparison, and conversion between UTF-8
// (encoding 1) and the system character set (encoding 0): ISO-8859-1 directly, any other set through iconv.
#pragma once

#include <cstdarg>
#include <cstdint>

#include "plugin/host_api.h"

// Selects the system character set by iconv name (e.g. "ISO-8859-1"; its usual aliases need no iconv
// module); false when iconv does not know it, in which case the previous set stays. Default "UTF-8".
bool HostSetCharset(const char* name);
// The selected system character set; never null.
const char* HostCharset();
// True when the system character set is UTF-8.
bool HostCharsetIsUtf8();
// Releases the cached converters (they are opened again on demand).
void HostCloseConverters();

int32_t HostFormatText(char* buffer, uint32_t size, const char* format, va_list args);
int32_t HostPrintFormatted(const char* format, va_list args);
double HostTextToDouble(const char* text, char** end);
// strtol rules with a 32-bit result: values outside int32_t clamp to its limits.
int32_t HostTextToLong(const char* text, char** end, int32_t base);
// Nonzero when a and b are equal ignoring ASCII case; two nulls are equal, a null and a text are not.
int32_t HostTextEqualsNoCase(const char* a, const char* b);
// New NUL-terminated text converted from encoding `from` to `to` (HOST_TAG_LENGTH gives the input length);
// null for a null text, an unknown encoding, bytes invalid in `from` or characters `to` cannot hold.
// Release with HostFreeText.
char* HostConvertText(const char* text, int32_t from, int32_t to, const HostTag* options);
void HostFreeText(char* text);
// HOST_TAG_DEFAULT_ENCODING receives HOST_ENCODING_SYSTEM.
void HostQuerySettings(const HostTag* options);
// Number of converted texts not yet released.
uint32_t HostLiveTexts();

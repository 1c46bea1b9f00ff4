// Escapes of the characters that XML 1.0 cannot carry, in the form spreadsheet applications use in cell
// and property texts: such a character is written "_xHHHH_" (its UTF-16 code in four hexadecimal digits),
// a carriage return too (a parser would read a raw one back as a line feed), and a text that itself holds
// "_xHHHH_" keeps it by writing its "_" as "_x005F_". Texts are UTF-8.
#pragma once

#include <cstdint>

#include "lib/base/status.h"
#include "lib/base/strbuf.h"

// Whether text must be escaped before it is stored: it holds a control character other than tab and line
// feed, U+FFFE or U+FFFF, or an escape-shaped "_xHHHH_". False for null.
bool xml_text_needs_escape(const char* text);
// Appends the escaped form of text (null counts as "") to out. XLSX_ERR_NO_MEMORY when out cannot grow
// (its content is then unspecified; the caller frees it).
xlsx_status xml_escape_text(const char* text, StrBuf* out);
// Whether text holds an escape-shaped "_xHHHH_" (other than "_x0000_"): the quick test before decoding,
// which may still leave such a sequence as it stands. False for null.
bool xml_text_has_escape(const char* text);
// Decodes the escapes in the n bytes at text, in place (a character never takes more bytes than its
// escape); returns the new length and writes a terminator there. An escape of U+0000 and a surrogate
// without its partner stay as written.
uint32_t xml_unescape_text(char* text, uint32_t n);

// Decoding of character data as the parser stores it: line ends normalised, then the five predefined
// entities and numeric character references replaced. Shared by the parser and by readers that take texts
// straight from a part's bytes (the shared strings table), so both store exactly the same text.
#pragma once

#include <cstdint>

// Copies n bytes from `from` to out turning CR LF and a lone CR into LF; returns the length written (at
// most n). out must hold n bytes and must not overlap from.
uint32_t xml_copy_normalising_eol(char* out, const char* from, uint32_t n);

// Replaces the references in the n bytes at text, in place, one level (the output is not looked at again):
// &amp; &lt; &gt; &quot; &apos; and &#N; / &#xH; (as UTF-8). A reference looks at most 12 bytes ahead for
// its ";"; an unknown one, or a numeric one of value 0, stays as written. Returns the new length (a
// reference never decodes to more bytes than it is written with).
uint32_t xml_decode_references(char* text, uint32_t n);

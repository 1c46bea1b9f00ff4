// The XML parser: one pass over a byte range into an XmlDoc.
#pragma once

#include <cstdint>

#include "lib/base/status.h"
#include "lib/xml/tree.h"

enum : uint32_t {
  XML_PARSE_PI = 0x001,
  XML_PARSE_COMMENTS = 0x002,
  XML_PARSE_CDATA = 0x004,
  XML_PARSE_WS_TEXT = 0x008,
  XML_PARSE_ENTITIES = 0x010,
  XML_PARSE_EOL = 0x020,
  XML_PARSE_ATTR_WS = 0x040,
  XML_PARSE_DECLARATION = 0x400,
  XML_PARSE_DOCTYPE = 0x800,
  // What the package layer uses for every part.
  XML_PARSE_PACKAGE = 0x07C,
};

// Element nesting deeper than this is a parse error.
enum : uint32_t { XML_MAX_DEPTH = 1024 };

// Replaces the document's children with the parsed content. length 0 means a NUL-terminated text.
// XLSX_ERR_INVALID_ARG for null doc or bytes (doc untouched); XLSX_ERR_PARSE (document left empty);
// XLSX_ERR_NO_MEMORY (document left empty).
xlsx_status xml_document_load_buffer(XmlDoc* doc, const char* bytes, uint32_t length, uint32_t options);
// xml_document_load_buffer for a tree that may cost at most *budget bytes (each node and attribute its
// record, each text its bytes): the cost is taken from *budget. A tree that would cost more is not built:
// XLSX_ERR_PARSE (document left empty, *budget unchanged); so is every failure. Null budget: INVALID_ARG.
xlsx_status xml_document_load_within(XmlDoc* doc, const char* bytes, uint32_t length, uint32_t options,
                                     uint64_t* budget);
// What parsing doc's serialised text would take from a budget, or a little more (0 for null).
uint64_t xml_document_cost(const XmlDoc* doc);

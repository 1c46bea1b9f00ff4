// The XML writer: serialises a whole tree into one new text.
#pragma once

#include <cstdint>

#include "lib/base/status.h"
#include "lib/xml/tree.h"

// New NUL-terminated text (caller frees with xlsx_free) and its length. XLSX_ERR_INVALID_ARG for null
// doc or out; XLSX_ERR_NO_MEMORY when the text cannot be built (out untouched).
xlsx_status xml_document_save_buffer(const XmlDoc* doc, char** out, uint32_t* length_out);

// The XML writer: serialises a whole tree into one new text.
#pragma once

#include <cstdint>

#include "lib/base/status.h"
#include "lib/xml/tree.h"

// New NUL-terminated text (caller frees with xlsx_free) and its length. XLSX_ERR_INVALID_ARG for null
// doc or out; XLSX_ERR_NO_MEMORY when the text cannot be built (out untouched).
xlsx_status xml_document_save_buffer(const XmlDoc* doc, char** out, uint32_t* length_out);
// The same with the length the text is expected to have (0 when unknown): the buffer starts a little
// beyond it, so that a text of about that length is written without growing and copying.
xlsx_status xml_document_save_buffer_sized(const XmlDoc* doc, uint32_t expected, char** out, uint32_t* length_out);

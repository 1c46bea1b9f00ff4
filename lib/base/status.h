// Status codes of every library operation that can fail, an optional error record, and the rule for
// failed operations that every header refers to as "the failure rule".
//
// The failure rule. An operation that changes a document either completes and returns XLSX_OK, or
// returns another status and leaves the document as it was: its XML trees, the entries and parts of its
// package, its shared strings, and therefore what a later save writes, byte for byte. This holds for
// every edit of the sheet list (add, delete, rename, move, visibility, active sheet, selection), every
// setter (cell value and formula, column width and hidden state, row height and hidden state, sheet view
// selection, tab colour, document properties), and the container, tree and part operations beneath
// them. A setter that cannot store what it was given reports a status other than XLSX_OK; it never
// reports success without the change. What an operation may leave behind on failure is only what no
// save writes: a part loaded (parsed) on first use, a lookup cache, memory kept for later edits. Edits
// that touch several trees are journaled (xml_document_begin_edit, lib/xml/tree.h) and taken back as a
// whole; steps that cannot be journaled (package entries, the parts list) come last, or are undone.
#pragma once

#include <cstdint>

typedef uint32_t xlsx_status;

enum : xlsx_status {
  XLSX_OK = 0,
  XLSX_ERR_IO = 1,
  XLSX_ERR_PARSE = 2,
  XLSX_ERR_VALUE_TYPE = 3,
  XLSX_ERR_NOT_FOUND = 4,
  XLSX_ERR_INVALID_ARG = 5,
  XLSX_ERR_UNSUPPORTED = 6,
  XLSX_ERR_NO_MEMORY = 7,
  XLSX_ERR_INTERNAL = 8,
};

struct XlsxError {
  xlsx_status code;
  char message[256];  // always NUL-terminated
};

// Fixed text of a status code ("OK", "I/O error", ...); "unknown error" for any other code. Never null.
const char* xlsx_status_text(xlsx_status code);
// Sets code XLSX_OK and an empty message; null err is ignored.
void xlsx_error_clear(XlsxError* err);
// Stores code and the formatted message (the status text when format is null); returns code in every case.
xlsx_status xlsx_error_set(XlsxError* err, xlsx_status code, const char* format, ...)
    __attribute__((format(printf, 3, 4)));

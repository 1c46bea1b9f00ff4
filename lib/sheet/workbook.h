// The workbook's sheet list (xl/workbook.xml): sheets by name, relationship id and position.
#pragma once

#include "lib/base/status.h"

struct XlsxPart;
struct XlsxDocument;

struct XlsxWorkbook {
  XlsxPart* part;          // xl/workbook.xml, parsed on first use; may be null
  XlsxDocument* document;  // the owning document
};

// New workbook object for the part (may be null) of document; null when memory runs out.
XlsxWorkbook* xlsx_workbook_new(XlsxPart* part, XlsxDocument* document);
// Releases the object (not the part); null is ignored.
void xlsx_workbook_free(XlsxWorkbook* workbook);

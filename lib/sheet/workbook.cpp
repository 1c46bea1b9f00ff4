// The workbook's sheet list: the workbook object and its lifetime.
#include "lib/sheet/workbook.h"

#include "lib/base/alloc.h"

XlsxWorkbook* xlsx_workbook_new(XlsxPart* part, XlsxDocument* document) {
  XlsxWorkbook* workbook = static_cast<XlsxWorkbook*>(xlsx_calloc(1, sizeof(XlsxWorkbook)));
  if (!workbook) return nullptr;
  workbook->part = part;
  workbook->document = document;
  return workbook;
}

void xlsx_workbook_free(XlsxWorkbook* workbook) {
  if (!workbook) return;
  xlsx_free(workbook);
}

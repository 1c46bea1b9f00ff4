// Documents: a package opened or created, with its shared strings table and workbook object bound to it.
#include "lib/document/document.h"

#include "lib/base/alloc.h"
#include "lib/package/properties.h"
#include "lib/sheet/workbook.h"

namespace {

// Releases the shared strings and the workbook; the package stays as it is.
void release_model(XlsxDocument* document) {
  for (uint32_t i = 0; i < document->shared_strings.count; i++) {
    xlsx_free(*static_cast<char**>(dynarray_get(&document->shared_strings, i)));
  }
  dynarray_free(&document->shared_strings);  // a closed document holds no blocks at all
  dynarray_init(&document->shared_strings, sizeof(char*), nullptr);
  xlsx_sst_release(&document->shared_strings_table);
  xlsx_workbook_free(document->workbook);
  document->workbook = nullptr;
}

// After the package was opened (or created) with the status given: binds a new shared strings table and
// workbook object to it. When the package is closed the model goes too; a package left open by a failure
// (a template that could not be written) keeps the model it had. A failed bind closes the document. The
// texts are read from the part on first use (a large table costs nothing to an open and save).
xlsx_status bind_model(XlsxDocument* document, xlsx_status opened) {
  XlsxPackage* package = &document->package;
  if (opened == XLSX_OK || !xlsx_package_is_open(package)) release_model(document);
  if (opened != XLSX_OK) return opened;
  xlsx_sst_init(&document->shared_strings_table, xlsx_package_shared_strings(package), &document->shared_strings);
  document->workbook = xlsx_workbook_new(xlsx_package_workbook(package), package, &document->shared_strings_table);
  if (document->workbook) return XLSX_OK;
  xlsx_document_close(document);
  return XLSX_ERR_NO_MEMORY;
}

// When a cell value or formula changed since the last save, the saved workbook asks spreadsheet
// applications to recalculate, so that no formula shows a result computed from old values.
xlsx_status save_document(XlsxDocument* document, const char* path) {
  XlsxPackage* package = xlsx_document_package(document);
  if (!xlsx_document_is_open(document)) return xlsx_package_save_as(package, path);
  bool changed = false;
  for (uint32_t i = 0; i < xlsx_package_part_count(package); i++)
    changed = changed || xlsx_package_part_at(package, i)->cells_changed;
  xlsx_status status = changed ? xlsx_workbook_request_recalc(document->workbook) : XLSX_OK;
  if (status == XLSX_OK) status = path ? xlsx_package_save_as(package, path) : xlsx_package_save(package);
  for (uint32_t i = 0; status == XLSX_OK && i < xlsx_package_part_count(package); i++)
    xlsx_package_part_at(package, i)->cells_changed = 0;
  return status;
}

}  // namespace

XlsxDocument* xlsx_document_new() {
  XlsxDocument* document = static_cast<XlsxDocument*>(xlsx_calloc(1, sizeof(XlsxDocument)));
  if (!document) return nullptr;
  xlsx_package_init(&document->package);
  dynarray_init(&document->shared_strings, sizeof(char*), nullptr);
  return document;
}

xlsx_status xlsx_document_open(XlsxDocument* document, const char* path) {
  if (!document || !path) return XLSX_ERR_INVALID_ARG;
  return bind_model(document, xlsx_package_open(&document->package, path));
}

xlsx_status xlsx_document_create(XlsxDocument* document, const char* path) {
  if (!document || !path) return XLSX_ERR_INVALID_ARG;
  return bind_model(document, xlsx_package_create(&document->package, path));
}

xlsx_status xlsx_document_save(XlsxDocument* document) { return save_document(document, nullptr); }

xlsx_status xlsx_document_save_as(XlsxDocument* document, const char* path) {
  if (!path) return XLSX_ERR_INVALID_ARG;
  return save_document(document, path);
}

void xlsx_document_close(XlsxDocument* document) {
  if (!document) return;
  release_model(document);
  xlsx_package_close(&document->package);
}

void xlsx_document_free(XlsxDocument* document) {
  if (!document) return;
  xlsx_document_close(document);
  xlsx_free(document);
}

bool xlsx_document_is_open(const XlsxDocument* document) {
  return document && xlsx_package_is_open(&document->package);
}

const char* xlsx_document_path(const XlsxDocument* document) {
  return document ? xlsx_package_path(&document->package) : "";
}

XlsxPackage* xlsx_document_package(XlsxDocument* document) { return document ? &document->package : nullptr; }

XlsxRelationships* xlsx_document_workbook_rels(XlsxDocument* document) {
  return xlsx_package_workbook_rels(xlsx_document_package(document));
}

XlsxSharedStrings* xlsx_document_shared_strings(XlsxDocument* document) {
  return document ? &document->shared_strings_table : nullptr;
}

XlsxWorkbook* xlsx_document_workbook(XlsxDocument* document) { return document ? document->workbook : nullptr; }

xlsx_status xlsx_document_set_property(XlsxDocument* document, uint32_t number, const char* value) {
  return xlsx_package_set_property(xlsx_document_package(document), number, value);
}

const char* xlsx_document_get_property(XlsxDocument* document, uint32_t number) {
  return xlsx_package_get_property(xlsx_document_package(document), number);
}

xlsx_status xlsx_document_delete_property(XlsxDocument* document, uint32_t number) {
  return xlsx_package_delete_property(xlsx_document_package(document), number);
}

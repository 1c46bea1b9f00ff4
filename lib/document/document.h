// XlsxDocument: one workbook file. Ties the package (lib/package) to the spreadsheet model (lib/sheet):
// owns the package with its archive and parts, the array of shared strings with its table, and the
// workbook object; opens files, creates them from the built-in template, saves and closes them.
#pragma once

#include <cstdint>

#include "lib/base/dynarray.h"
#include "lib/base/status.h"
#include "lib/package/package.h"
#include "lib/sheet/shared_strings.h"

struct XlsxWorkbook;

struct XlsxDocument {
  XlsxPackage package;                     // path, archive, parts, content types, relationships, properties
  DynArray shared_strings;                 // char* texts, index = shared string index; owned
  XlsxSharedStrings shared_strings_table;  // the shared strings part and the array above
  XlsxWorkbook* workbook;                  // owned; null while closed
};

// New closed document (caller frees with xlsx_document_free); null when memory runs out.
XlsxDocument* xlsx_document_new();
// Opens the workbook at path (an open document is closed first): the package, then the shared strings
// table (read on first use) and the workbook object. XLSX_ERR_INVALID_ARG for null arguments;
// XLSX_ERR_IO unreadable file; XLSX_ERR_PARSE not a ZIP; XLSX_ERR_NO_MEMORY. On failure the document is
// closed.
xlsx_status xlsx_document_open(XlsxDocument* document, const char* path);
// Writes the built-in template to path (replacing any file there) and opens it. XLSX_ERR_IO when the
// template cannot be written (document untouched).
xlsx_status xlsx_document_create(XlsxDocument* document, const char* path);
// Saves to the document's own path: xlsx_document_save_as(document, own path).
xlsx_status xlsx_document_save(XlsxDocument* document);
// Writes the package to path (which becomes the document's path); see xlsx_package_save_as.
// XLSX_ERR_INVALID_ARG (null or not open), XLSX_ERR_IO, XLSX_ERR_INTERNAL, XLSX_ERR_NO_MEMORY.
xlsx_status xlsx_document_save_as(XlsxDocument* document, const char* path);
// Releases everything the document holds; it can be opened again. Null ignored.
void xlsx_document_close(XlsxDocument* document);
// Close, then release the document itself. Null ignored.
void xlsx_document_free(XlsxDocument* document);
// Whether the document is open; false for null.
bool xlsx_document_is_open(const XlsxDocument* document);
// The document's path, or "" (null document or none). Valid until save-as, close or free.
const char* xlsx_document_path(const XlsxDocument* document);

// The package (the field's address); null for a null document. Valid while the document lives.
XlsxPackage* xlsx_document_package(XlsxDocument* document);
// The workbook relationships handle (xl/_rels/workbook.xml.rels in most files); null for a null document.
XlsxRelationships* xlsx_document_workbook_rels(XlsxDocument* document);
// The shared strings table (the field's address); null for a null document.
XlsxSharedStrings* xlsx_document_shared_strings(XlsxDocument* document);
// The workbook object; null for a null or closed document. Owned by the document, valid until close.
XlsxWorkbook* xlsx_document_workbook(XlsxDocument* document);

// The document properties of the package: xlsx_package_set_property, _get_property and _delete_property
// (lib/package/properties.h) on the document's package, with the same statuses and lifetimes.
xlsx_status xlsx_document_set_property(XlsxDocument* document, uint32_t number, const char* value);
const char* xlsx_document_get_property(XlsxDocument* document, uint32_t number);
xlsx_status xlsx_document_delete_property(XlsxDocument* document, uint32_t number);

// XlsxDocument: one workbook file. Owns the archive, the package parts, the shared strings and the
// workbook object; opens files, creates them from the built-in template, saves and closes them.
#pragma once

#include <cstdint>

#include "lib/base/dynarray.h"
#include "lib/base/status.h"
#include "lib/package/archive.h"
#include "lib/package/content_types.h"
#include "lib/package/part.h"
#include "lib/package/relationships.h"
#include "lib/sheet/shared_strings.h"

struct XlsxWorkbook;

struct XlsxDocument {
  char* path;                        // file given to open or create, replaced by save-as; owned
  XlsxArchive* archive;              // owned
  uint32_t is_open;
  DynArray parts;                    // XlsxPart* in creation order; the document owns every part
  DynArray shared_strings;           // char* texts, index = shared string index; owned
  XlsxSharedStrings shared_strings_table;
  XlsxContentTypes content_types;
  XlsxRelationships package_rels;
  XlsxRelationships workbook_rels;
  XlsxPart* core_properties;         // docProps/core.xml or null
  XlsxPart* app_properties;          // docProps/app.xml or null
  XlsxWorkbook* workbook;            // owned
};

// The default shared strings part put into a file that has none.
extern const char XLSX_DEFAULT_SHARED_STRINGS[];

// New closed document (caller frees with xlsx_document_free); null when memory runs out.
XlsxDocument* xlsx_document_new();
// Opens the workbook at path (an open document is closed first). XLSX_ERR_INVALID_ARG for null
// arguments; XLSX_ERR_IO unreadable file; XLSX_ERR_PARSE not a ZIP; XLSX_ERR_NO_MEMORY. On failure the
// document is closed.
xlsx_status xlsx_document_open(XlsxDocument* document, const char* path);
// Writes the built-in template to path (replacing any file there) and opens it. XLSX_ERR_IO when the
// template cannot be written (document untouched).
xlsx_status xlsx_document_create(XlsxDocument* document, const char* path);
// Saves to the document's own path: xlsx_document_save_as(document, own path).
xlsx_status xlsx_document_save(XlsxDocument* document);
// Writes the package to path (which becomes the document's path). Changed parts are serialised; parts
// never loaded, unchanged or unparsable are copied from their records. The file at path is replaced only
// when complete; on failure it is left as it was and the document stays open and can be saved again.
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

// New part (path, rel_id, code) with the entry loader, appended to the parts list; null for a null
// document or path, or when memory runs out. Owned by the document; valid until removed or closed.
XlsxPart* xlsx_document_add_part(XlsxDocument* document, const char* path, const char* rel_id, uint32_t code);
// First part whose path equals path, or null. Borrowed.
XlsxPart* xlsx_document_find_part(const XlsxDocument* document, const char* path);
// Whether a part of that path exists; false for null arguments.
bool xlsx_document_has_part(const XlsxDocument* document, const char* path);
// Number of parts; 0 for a null document.
uint32_t xlsx_document_part_count(const XlsxDocument* document);
// Part index in list order; null when out of range or for a null document. Borrowed.
XlsxPart* xlsx_document_part_at(const XlsxDocument* document, uint32_t index);
// Frees and removes the first part of that path; nothing when there is none.
void xlsx_document_remove_part(XlsxDocument* document, const char* path);
// The parts' loader: bytes of the archive entry path (owned by the archive, valid until that entry
// changes), "" with size 0 when there is no such entry, null with *status set when it cannot be read.
const char* xlsx_document_load_entry(void* document, const char* path, uint32_t* size, xlsx_status* status);

// The parts' release callback: drops the archive's inflated copy of the entry once its part is parsed.
void xlsx_document_release_entry(void* document, const char* path);

// The archive; null for a null or closed document. Borrowed, valid until close.
XlsxArchive* xlsx_document_archive(XlsxDocument* document);
// The content types handle (the field's address); null for a null document. Valid while the document lives.
XlsxContentTypes* xlsx_document_content_types(XlsxDocument* document);
// The package relationships handle (_rels/.rels); null for a null document.
XlsxRelationships* xlsx_document_package_rels(XlsxDocument* document);
// The workbook relationships handle (xl/_rels/workbook.xml.rels); null for a null document.
XlsxRelationships* xlsx_document_workbook_rels(XlsxDocument* document);
// The docProps/core.xml part, or null (null document, closed, or no such part). Borrowed until close.
XlsxPart* xlsx_document_core_properties(XlsxDocument* document);
// The docProps/app.xml part, or null (null document, closed, or no such part). Borrowed until close.
XlsxPart* xlsx_document_app_properties(XlsxDocument* document);
// The shared strings table (the field's address); null for a null document.
XlsxSharedStrings* xlsx_document_shared_strings(XlsxDocument* document);
// The workbook object; null for a null or closed document. Owned by the document, valid until close.
XlsxWorkbook* xlsx_document_workbook(XlsxDocument* document);

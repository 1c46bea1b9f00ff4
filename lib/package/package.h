// XlsxPackage: the ZIP package of one workbook file. Owns the archive and the package parts, and holds
// the handles on the content types, the two relationship parts and the two property parts; opens files,
// creates them from the built-in template, saves and closes them. The spreadsheet model (lib/sheet) works
// on the parts; the document (lib/document) ties a package to its shared strings and workbook.
#pragma once

#include <cstdint>

#include "lib/base/dynarray.h"
#include "lib/base/name_index.h"
#include "lib/base/status.h"
#include "lib/package/archive.h"
#include "lib/package/content_types.h"
#include "lib/package/part.h"
#include "lib/package/relationships.h"

struct XlsxPackage {
  char* path;                        // file given to open or create, replaced by save-as; owned
  XlsxArchive* archive;              // owned
  uint32_t is_open;
  DynArray parts;                    // XlsxPart* in creation order; the package owns every part
  XlsxNameIndex part_paths;          // part paths to positions in parts
  uint32_t parts_generation;         // a new value whenever a part is added or removed: a part found by
                                     // path and cached stays the one the path names while it is unchanged
  XlsxContentTypes content_types;
  XlsxRelationships package_rels;
  XlsxRelationships workbook_rels;   // the workbook part's relationships
  char* workbook_path;               // entry name of the workbook part while open; owned
  XlsxPart* workbook;                // the workbook part, or null
  XlsxPart* shared_strings;          // the shared strings part, or null (texts are then stored in cells)
  XlsxPart* core_properties;         // docProps/core.xml or null
  XlsxPart* app_properties;          // docProps/app.xml or null
  uint32_t modified_set;             // 1 once the modification date was set through the properties: a save
                                     // then leaves it as it is
  // What the trees parsed from the file may cost together (XLSX_PACKAGE_MAX_PARSED unless lowered, e.g.
  // by tests), and what is left of it since the package was opened: a part whose tree would cost more
  // fails to load like a part that is not XML (it reads as empty and is saved back as stored).
  uint64_t parsed_cap;
  uint64_t parsed_left;
};

// Bytes the parsed trees of one package may cost: nodes, attributes and texts as stored.
enum : uint32_t { XLSX_PACKAGE_MAX_PARSED = 512u << 20 };

// The default shared strings part put into a file that has none.
extern const char XLSX_DEFAULT_SHARED_STRINGS[];
// Entry names of the workbook and its shared strings in a new workbook, and in a package whose
// relationships name no workbook part that it holds.
extern const char XLSX_WORKBOOK_PATH[];        // "xl/workbook.xml"
extern const char XLSX_SHARED_STRINGS_PATH[];  // "xl/sharedStrings.xml"

// Sets up a closed package holding no blocks; null ignored.
void xlsx_package_init(XlsxPackage* package);
// Opens the package at path (an open package is closed first): the fixed parts, one part per Override, a
// default shared strings part in the workbook's folder when the file has none. The workbook part is the
// one the package's officeDocument relationship names, when the file holds it and declares no other
// kind of part there; else XLSX_WORKBOOK_PATH. XLSX_ERR_INVALID_ARG for null arguments; XLSX_ERR_IO
// unreadable file; XLSX_ERR_PARSE not a ZIP or no content types; XLSX_ERR_NO_MEMORY. On failure the
// package is closed.
xlsx_status xlsx_package_open(XlsxPackage* package, const char* path);
// Writes the built-in template to path (replacing any file there), opens it, dates it by the time of
// creation and saves it. XLSX_ERR_IO when the template cannot be written (package untouched); after that
// any failure leaves the package closed.
xlsx_status xlsx_package_create(XlsxPackage* package, const char* path);
// Saves to the package's own path: xlsx_package_save_as(package, own path).
xlsx_status xlsx_package_save(XlsxPackage* package);
// Writes the package to path (which becomes the package's path). A package with changes gets the time of
// the save as its modification date, unless that property was set since it was opened. Changed parts are serialised; parts
// never loaded, unchanged or unparsable are copied from their records. The file at path is replaced only
// when complete; on failure it is left as it was and the package stays open and can be saved again.
// XLSX_ERR_INVALID_ARG (null or not open), XLSX_ERR_IO, XLSX_ERR_INTERNAL, XLSX_ERR_NO_MEMORY.
xlsx_status xlsx_package_save_as(XlsxPackage* package, const char* path);
// Releases everything the package holds and leaves it closed, holding no blocks; it can be opened again.
// Null ignored.
void xlsx_package_close(XlsxPackage* package);
// Whether the package is open; false for null.
bool xlsx_package_is_open(const XlsxPackage* package);
// The package's path, or "" (null package or none). Valid until save-as or close.
const char* xlsx_package_path(const XlsxPackage* package);

// New part (path, rel_id, code) with the entry loader, appended to the parts list; null for a null
// package or path, or when memory runs out. Owned by the package; valid until removed or closed.
XlsxPart* xlsx_package_add_part(XlsxPackage* package, const char* path, const char* rel_id, uint32_t code);
// First part whose path equals path, or null. Borrowed.
XlsxPart* xlsx_package_find_part(const XlsxPackage* package, const char* path);
// Whether a part of that path exists; false for null arguments.
bool xlsx_package_has_part(const XlsxPackage* package, const char* path);
// Whether path is the entry of a part the package holds a handle on: the content types, the two
// relationship parts, the workbook, the shared strings, the properties. Such a part is never removed with
// a sheet that names it. False for null arguments.
bool xlsx_package_is_bound_part(const XlsxPackage* package, const char* path);
// Number of parts; 0 for a null package.
uint32_t xlsx_package_part_count(const XlsxPackage* package);
// Part index in list order; null when out of range or for a null package. Borrowed.
XlsxPart* xlsx_package_part_at(const XlsxPackage* package, uint32_t index);
// Frees and removes the first part of that path; nothing when there is none.
void xlsx_package_remove_part(XlsxPackage* package, const char* path);
// The parts' loader: bytes of the archive entry path (owned by the archive, valid until that entry
// changes), "" with size 0 when there is no such entry, null with *status set when it cannot be read.
const char* xlsx_package_load_entry(void* package, const char* path, uint32_t* size, xlsx_status* status);
// The parts' release callback: drops the archive's inflated copy of the entry once its part is parsed.
void xlsx_package_release_entry(void* package, const char* path);

// The archive; null for a null or closed package. Borrowed, valid until close.
XlsxArchive* xlsx_package_archive(XlsxPackage* package);
// The content types handle (the field's address); null for a null package. Valid while the package lives.
XlsxContentTypes* xlsx_package_content_types(XlsxPackage* package);
// The package relationships handle (_rels/.rels); null for a null package.
XlsxRelationships* xlsx_package_package_rels(XlsxPackage* package);
// The workbook relationships handle (<folder>/_rels/<name>.rels of the workbook part); null for a null
// package.
XlsxRelationships* xlsx_package_workbook_rels(XlsxPackage* package);
// Entry name of the workbook part ("xl/workbook.xml" in most files); "" for a null or closed package.
// Valid until close.
const char* xlsx_package_workbook_path(const XlsxPackage* package);
// The workbook part, or null (null package, closed, or no override for it). Borrowed until close.
XlsxPart* xlsx_package_workbook(XlsxPackage* package);
// The shared strings part the workbook's relationships name (or the default one given at open), or null
// (null package, closed, a relationship that names no part, or a part declared as another kind).
// Borrowed until close.
XlsxPart* xlsx_package_shared_strings(XlsxPackage* package);
// Sets name to the part name of an entry (the content types' form): "/" + path. XLSX_ERR_NO_MEMORY,
// XLSX_ERR_INVALID_ARG for null arguments.
xlsx_status xlsx_package_part_name(const char* path, StrBuf* name);
// Sets out to the entry name that a target of the workbook's relationships names (see
// xlsx_rels_resolve_target): also the name under which a new part the workbook refers to is stored
// ("worksheets/sheet2.xml" gives "xl/worksheets/sheet2.xml"). XLSX_ERR_NOT_FOUND for a target naming no
// part, XLSX_ERR_NO_MEMORY, XLSX_ERR_INVALID_ARG for null arguments or a closed package.
xlsx_status xlsx_package_workbook_target(const XlsxPackage* package, const char* target, StrBuf* out);
// Sets *out to the part that the workbook's first relationship of type code names, or to null when there
// is no such relationship or it names no part. XLSX_ERR_NO_MEMORY, XLSX_ERR_INVALID_ARG for null arguments
// (*out null then too).
xlsx_status xlsx_package_workbook_related(XlsxPackage* package, uint32_t code, XlsxPart** out);
// The docProps/core.xml part, or null (null package, closed, or no such part). Borrowed until close.
XlsxPart* xlsx_package_core_properties(XlsxPackage* package);
// The docProps/app.xml part, or null (null package, closed, or no such part). Borrowed until close.
XlsxPart* xlsx_package_app_properties(XlsxPackage* package);

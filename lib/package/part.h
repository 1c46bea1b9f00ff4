// XlsxPart: one package part seen as an XML document, parsed from its archive entry on first use.
#pragma once

#include <cstdint>

#include "lib/base/status.h"
#include "lib/xml/tree.h"

struct XlsxPackage;

// Supplies the text of the part at path: returns the bytes (not necessarily NUL-terminated; the count
// goes to *size) or null. A null result with *status set to an error means the text cannot be had
// (XLSX_ERR_NO_MEMORY: try again later; anything else: the part's stored bytes are unreadable).
typedef const char* (*XlsxPartLoader)(void* context, const char* path, uint32_t* size, xlsx_status* status);
// Tells the loader's owner that the text it gave for path has been parsed and is no longer needed.
typedef void (*XlsxPartRelease)(void* context, const char* path);
// Releases a part's attachment (see xlsx_part_set_extra).
typedef void (*XlsxPartExtraFree)(void* extra);
// Brings derived records of a changed part up to date just before it is serialised for a save.
struct XlsxPart;
typedef xlsx_status (*XlsxPartPrepareSave)(XlsxPart* part);

struct XlsxPart {
  XlsxPackage* owner;     // the package the part belongs to
  XlsxPartLoader loader;  // may be null
  void* loader_context;
  // Called after the loader's text has been parsed, so that its owner can drop the inflated bytes (the
  // tree holds its own copy); may be null.
  XlsxPartRelease release;
  char* path;             // entry name without leading "/"; owned
  char* rel_id;           // Id of the relationship pointing at the part, or ""; owned
  uint32_t content_type;  // content type code; XLSX_CT_NONE when none
  XmlDoc* xml;            // owned; created empty by init
  uint32_t loaded;        // 1 once the loader has been consulted successfully (or failed for good)
  // Result of the load: XLSX_OK, or the reason the stored bytes gave no tree. A part whose bytes did not
  // load is written back from its original record, never as an empty document.
  xlsx_status load_status;
  // xml->generation when the tree last matched the stored bytes (after init, load or a successful save).
  // A part whose tree is unchanged since is copied from its record at save instead of being re-serialised.
  uint32_t clean_generation;
  // An owned attachment of the layer that works on the part (for instance a worksheet's row index),
  // released with extra_free when the part is freed.
  void* extra;
  XlsxPartExtraFree extra_free;
  // Called before a changed part is serialised for a save (for instance to refresh a worksheet's
  // `dimension`); may be null. A failure fails the save.
  XlsxPartPrepareSave prepare_save;
  // 1 once an edit changed a cell value or formula of the part since it was read or last saved: the saved
  // workbook then asks spreadsheet applications to recalculate.
  uint32_t cells_changed;
  // xml->generation when the package finished opening, for the parts the opening itself changed (it adds
  // a default shared strings part to the records); 0 for the others. Such a change is not the script's.
  uint32_t opened_generation;
  // Length of the text the tree was last parsed from or serialised to (0 before either): a save's
  // serialisation starts with room for about that much, so that a large part is not built by doublings.
  uint32_t text_size;
};

// Initialises the record: copies of path and rel_id (null = ""), a new empty XmlDoc, nothing loaded.
// XLSX_ERR_INVALID_ARG for a null part; XLSX_ERR_NO_MEMORY leaves nothing allocated.
xlsx_status xlsx_part_init(XlsxPart* part, XlsxPackage* owner, const char* path, const char* rel_id,
                           uint32_t content_type);
// Sets the loader and its context; null part ignored.
void xlsx_part_set_loader(XlsxPart* part, XlsxPartLoader loader, void* context);
// Sets the callback run before a changed part is serialised for a save; null part ignored.
void xlsx_part_set_prepare_save(XlsxPart* part, XlsxPartPrepareSave prepare_save);
// Sets the callback told when the loader's text is no longer needed (same context); null part ignored.
void xlsx_part_set_release(XlsxPart* part, XlsxPartRelease release);
// The part's XmlDoc, loading and parsing it on first use; null for a null part. A failed load leaves
// the tree empty (see load_status). Owned by the part, valid until xlsx_part_free.
XmlDoc* xlsx_part_load(XlsxPart* part);
// Status of the load so far (XLSX_OK before the first load); XLSX_ERR_INVALID_ARG for null.
xlsx_status xlsx_part_load_status(const XlsxPart* part);
// The document element of the loaded tree, or null (null part, empty or unparsable part).
XmlNode* xlsx_part_root(XlsxPart* part);
// Whether the tree changed since it was loaded or last saved (false for null or never-changed parts).
bool xlsx_part_is_dirty(const XlsxPart* part);
// Marks the tree as matching the stored bytes (after a save); null ignored.
void xlsx_part_mark_clean(XlsxPart* part);
// Loads the part and writes its XML into a new text (caller frees with xlsx_free). XLSX_ERR_INVALID_ARG
// for null part or text; otherwise the writer's status. length may be null.
xlsx_status xlsx_part_serialize(XlsxPart* part, char** text, uint32_t* length);
// An edit over several parts kept to the failure rule (lib/base/status.h): every change made to their
// trees between begin and end is kept, or all are taken back.
enum : uint32_t { XLSX_EDIT_MAX_PARTS = 6 };
struct XlsxPartsEdit {
  XlsxPart* parts[XLSX_EDIT_MAX_PARTS];
  uint32_t count;
};
// Loads each part given (null entries are skipped, at most XLSX_EDIT_MAX_PARTS) and begins a journaled
// edit of its tree. XLSX_ERR_NO_MEMORY, with no edit begun and nothing changed, when a part cannot be
// loaded or journaled for lack of memory; XLSX_ERR_INVALID_ARG for a null edit or too many parts.
xlsx_status xlsx_parts_edit_begin(XlsxPartsEdit* edit, XlsxPart* const* parts, uint32_t count);
// Ends the edit: the changes stay when status is XLSX_OK, otherwise every change to the trees is taken
// back (each part then as it was, clean when it was clean). Returns status; null edit ignored.
xlsx_status xlsx_parts_edit_end(XlsxPartsEdit* edit, xlsx_status status);
// Frees path, rel_id, the XmlDoc and the attachment and clears the fields; the record itself stays the
// owner's. Null ignored.
void xlsx_part_free(XlsxPart* part);
// The part's entry name; "" for a null part. Valid until xlsx_part_free.
const char* xlsx_part_path(const XlsxPart* part);
// Id of the relationship pointing at the part, or ""; "" for a null part. Valid until xlsx_part_free.
const char* xlsx_part_rel_id(const XlsxPart* part);
// Content type code; XLSX_CT_NONE for a null part.
uint32_t xlsx_part_content_type(const XlsxPart* part);
// Attaches an owned pointer (the previous one is released first); null part ignored.
void xlsx_part_set_extra(XlsxPart* part, void* extra, XlsxPartExtraFree free_fn);
// The attachment, or null (also for a null part). Valid until replaced or the part is freed.
void* xlsx_part_extra(const XlsxPart* part);

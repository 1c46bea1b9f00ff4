// Documents: opening a package and building its list of parts, creating from the built-in template,
// saving (only changed parts are serialised; the rest is copied from the records) and closing.
#include "lib/package/document.h"

#include <cstring>

#include "lib/base/alloc.h"
#include "lib/package/properties.h"
#include "lib/package/template.h"
#include "lib/sheet/workbook.h"

const char XLSX_DEFAULT_SHARED_STRINGS[] =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
    "<sst xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\" count=\"1\" uniqueCount=\"1\">\n"
    "  <si>\n"
    "    <t/>\n"
    "  </si>\n"
    "</sst>";

namespace {

const char* const kContentTypesPath = "[Content_Types].xml";
const char* const kPackageRelsPath = "_rels/.rels";
const char* const kWorkbookRelsPath = "xl/_rels/workbook.xml.rels";
const char* const kWorkbookPath = "xl/workbook.xml";
const char* const kWorkbookPartName = "/xl/workbook.xml";
const char* const kSharedStringsPath = "xl/sharedStrings.xml";
const char* const kSharedStringsPartName = "/xl/sharedStrings.xml";
const char* const kCalcChainPath = "xl/calcChain.xml";
const char* const kCalcChainPartName = "/xl/calcChain.xml";

XlsxPart* part_at(const XlsxDocument* document, uint32_t index) {
  XlsxPart** slot = static_cast<XlsxPart**>(dynarray_get(&document->parts, index));
  return slot ? *slot : nullptr;
}

uint32_t find_part_index(const XlsxDocument* document, const char* path) {
  for (uint32_t i = 0; i < document->parts.count; i++) {
    if (strcmp(xlsx_part_path(part_at(document, i)), path) == 0) return i;
  }
  return UINT32_MAX;
}

void reset(XlsxDocument* document) {
  for (uint32_t i = 0; i < document->parts.count; i++) {
    XlsxPart* part = part_at(document, i);
    xlsx_part_free(part);
    xlsx_free(part);
  }
  dynarray_free(&document->parts);  // a closed document holds no blocks at all
  dynarray_init(&document->parts, sizeof(XlsxPart*), nullptr);
  for (uint32_t i = 0; i < document->shared_strings.count; i++) {
    xlsx_free(*static_cast<char**>(dynarray_get(&document->shared_strings, i)));
  }
  dynarray_free(&document->shared_strings);
  dynarray_init(&document->shared_strings, sizeof(char*), nullptr);
  xlsx_sst_release(&document->shared_strings_table);
  xlsx_workbook_free(document->workbook);
  document->workbook = nullptr;
  xlsx_archive_free(document->archive);
  document->archive = nullptr;
  xlsx_free(document->path);
  document->path = nullptr;
  document->content_types.part = nullptr;
  document->package_rels.part = nullptr;
  document->workbook_rels.part = nullptr;
  document->core_properties = nullptr;
  document->app_properties = nullptr;
  document->is_open = 0;
}

// Parses a part the open sequence needs now; a part left unloaded for lack of memory fails the open
// (an unreadable or absent part is fine: it is simply empty).
xlsx_status load_now(XlsxPart* part) {
  xlsx_part_load(part);
  return part->loaded ? XLSX_OK : XLSX_ERR_NO_MEMORY;
}

xlsx_status add_fixed_parts(XlsxDocument* document) {
  document->content_types.part = xlsx_document_add_part(document, kContentTypesPath, "", XLSX_CT_NONE);
  document->package_rels.part = xlsx_document_add_part(document, kPackageRelsPath, "", XLSX_CT_NONE);
  document->workbook_rels.part = xlsx_document_add_part(document, kWorkbookRelsPath, "", XLSX_CT_NONE);
  bool ok = document->content_types.part && document->package_rels.part && document->workbook_rels.part;
  if (!ok) return XLSX_ERR_NO_MEMORY;
  xlsx_status status = load_now(document->content_types.part);
  if (status == XLSX_OK) status = load_now(document->package_rels.part);
  if (status == XLSX_OK) status = load_now(document->workbook_rels.part);
  return status;
}

// A file without shared strings gets the default part, with its override and relationship unless the
// package already declares them (a second Override for one part name makes the package invalid).
xlsx_status add_default_shared_strings(XlsxDocument* document) {
  if (xlsx_archive_has_entry(document->archive, kSharedStringsPath)) return XLSX_OK;
  xlsx_status status = XLSX_OK;
  if (!xlsx_content_types_find(&document->content_types, kSharedStringsPartName).node) {
    status = xlsx_content_types_add(&document->content_types, kSharedStringsPartName, XLSX_CT_SHARED_STRINGS);
  }
  if (status == XLSX_OK && !xlsx_rels_find_by_type(&document->workbook_rels, XLSX_REL_SHARED_STRINGS).node &&
      xlsx_rels_root(&document->workbook_rels) &&
      !xlsx_rels_add(&document->workbook_rels, XLSX_REL_SHARED_STRINGS, "sharedStrings.xml").node) {
    status = XLSX_ERR_NO_MEMORY;
  }
  if (status != XLSX_OK) return status;
  return xlsx_archive_put_entry(document->archive, kSharedStringsPath, XLSX_DEFAULT_SHARED_STRINGS,
                                uint32_t(sizeof(XLSX_DEFAULT_SHARED_STRINGS) - 1));
}

xlsx_status ensure_workbook_override(XlsxDocument* document) {
  if (xlsx_content_types_find(&document->content_types, kWorkbookPartName).node) return XLSX_OK;
  return xlsx_content_types_add(&document->content_types, kWorkbookPartName, XLSX_CT_WORKBOOK);
}

// One part per Override; a second Override for a part name adds nothing.
xlsx_status add_override_part(XlsxDocument* document, XlsxContentItem item) {
  const char* name = xlsx_content_item_part_name(item);
  if (name[0] != '/' || name[1] == '\0') return XLSX_OK;
  const char* path = name + 1;
  if (xlsx_document_find_part(document, path)) return XLSX_OK;
  XlsxRelItem rel = {nullptr};
  if (strncmp(name, "/xl/", 4) == 0 && strcmp(name, kWorkbookPartName) != 0) {
    rel = xlsx_rels_find_by_target(&document->workbook_rels, name + 4);
  } else {
    rel = xlsx_rels_find_by_target(&document->package_rels, path);
  }
  XlsxPart* part = xlsx_document_add_part(document, path, xlsx_rel_item_id(rel), xlsx_content_item_type(item));
  return part ? XLSX_OK : XLSX_ERR_NO_MEMORY;
}

xlsx_status add_override_parts(XlsxDocument* document) {
  DynArray items;
  dynarray_init(&items, sizeof(XlsxContentItem), nullptr);
  xlsx_status status = xlsx_content_types_list(&document->content_types, &items);
  for (uint32_t i = 0; i < items.count && status == XLSX_OK; i++) {
    status = add_override_part(document, *static_cast<XlsxContentItem*>(dynarray_get(&items, i)));
  }
  dynarray_free(&items);
  return status;
}

xlsx_status open_parts(XlsxDocument* document) {
  // A ZIP without a content types part is not a workbook package: opened, it would be an empty document
  // whose save writes a ZIP that no reader takes for a workbook. It is refused like any other non-workbook.
  if (!xlsx_archive_has_entry(document->archive, kContentTypesPath)) return XLSX_ERR_PARSE;
  xlsx_status status = add_fixed_parts(document);
  if (status == XLSX_OK) status = add_default_shared_strings(document);
  if (status == XLSX_OK) status = ensure_workbook_override(document);
  if (status == XLSX_OK) status = add_override_parts(document);
  if (status != XLSX_OK) return status;
  document->core_properties = xlsx_document_find_part(document, "docProps/core.xml");
  document->app_properties = xlsx_document_find_part(document, "docProps/app.xml");
  // The texts are read from the part on first use (a large table costs nothing to an open and save).
  xlsx_sst_init(&document->shared_strings_table, xlsx_document_find_part(document, kSharedStringsPath),
                &document->shared_strings);
  document->workbook = xlsx_workbook_new(xlsx_document_find_part(document, kWorkbookPath), document);
  return document->workbook ? XLSX_OK : XLSX_ERR_NO_MEMORY;
}

// The calculation chain lists formula cells by position; after edits it may name cells that no longer
// hold formulas, so it is dropped at save (applications rebuild it) together with its override and
// relationship, which would otherwise point at a part the package no longer has.
void drop_calc_chain(XlsxDocument* document) {
  xlsx_archive_delete_entry(document->archive, kCalcChainPath);
  xlsx_document_remove_part(document, kCalcChainPath);
  if (xlsx_content_types_find(&document->content_types, kCalcChainPartName).node) {
    xlsx_content_types_remove(&document->content_types, kCalcChainPartName);
  }
  XlsxRelItem rel = xlsx_rels_find_by_type(&document->workbook_rels, XLSX_REL_CALC_CHAIN);
  if (rel.node) xlsx_rels_remove_by_id(&document->workbook_rels, xlsx_rel_item_id(rel));
}

// Whether the part's archive record can be written back as it is: the tree never changed since it was
// loaded, was never loaded, or its bytes did not load (then the record is the only true content).
bool keeps_record(const XlsxDocument* document, const XlsxPart* part) {
  if (!xlsx_archive_has_entry(document->archive, xlsx_part_path(part))) return false;
  if (part->loaded && part->load_status != XLSX_OK) return true;
  return !xlsx_part_is_dirty(part);
}

// Whether the part has nothing to write: the file holds no entry for it (an Override naming a part that
// is absent) and nothing was built into its tree. Such a part gets no entry, since an entry holding only
// the XML declaration makes readers refuse the whole file.
bool has_no_content(const XlsxDocument* document, XlsxPart* part) {
  return !xlsx_archive_has_entry(document->archive, xlsx_part_path(part)) && !xlsx_part_root(part);
}

xlsx_status put_changed_parts(XlsxDocument* document) {
  for (uint32_t i = 0; i < document->parts.count; i++) {
    XlsxPart* part = part_at(document, i);
    if (keeps_record(document, part) || has_no_content(document, part)) continue;
    if (part->prepare_save) {
      xlsx_status prepared = part->prepare_save(part);
      if (prepared != XLSX_OK) return prepared;
    }
    char* text = nullptr;
    uint32_t length = 0;
    xlsx_status status = xlsx_part_serialize(part, &text, &length);
    // The archive takes the serialised text over (a worksheet's may be tens of megabytes: no copy), and
    // frees it itself when it cannot take it.
    if (status == XLSX_OK) status = xlsx_archive_take_entry(document->archive, xlsx_part_path(part), text, length);
    if (status != XLSX_OK) return status;
  }
  return XLSX_OK;
}

void mark_parts_clean(XlsxDocument* document) {
  for (uint32_t i = 0; i < document->parts.count; i++) {
    XlsxPart* part = part_at(document, i);
    if (part->load_status == XLSX_OK) xlsx_part_mark_clean(part);
  }
}

}  // namespace

XlsxDocument* xlsx_document_new() {
  XlsxDocument* document = static_cast<XlsxDocument*>(xlsx_calloc(1, sizeof(XlsxDocument)));
  if (!document) return nullptr;
  dynarray_init(&document->parts, sizeof(XlsxPart*), nullptr);
  dynarray_init(&document->shared_strings, sizeof(char*), nullptr);
  return document;
}

xlsx_status xlsx_document_open(XlsxDocument* document, const char* path) {
  if (!document || !path) return XLSX_ERR_INVALID_ARG;
  char* copy = xlsx_strdup(path);  // path may be the document's own path text, freed by the reset
  if (!copy) return XLSX_ERR_NO_MEMORY;
  reset(document);
  document->path = copy;
  document->archive = xlsx_archive_new();
  xlsx_status status = document->archive ? xlsx_archive_open(document->archive, copy) : XLSX_ERR_NO_MEMORY;
  if (status == XLSX_OK) status = open_parts(document);
  if (status != XLSX_OK) {
    reset(document);
    return status;
  }
  document->is_open = 1;
  return XLSX_OK;
}

xlsx_status xlsx_document_create(XlsxDocument* document, const char* path) {
  if (!document || !path) return XLSX_ERR_INVALID_ARG;
  xlsx_status status = xlsx_replace_file(path, xlsx_template_bytes, xlsx_template_size);
  if (status != XLSX_OK) return status;
  return xlsx_document_open(document, path);
}

xlsx_status xlsx_document_save(XlsxDocument* document) {
  if (!document || !document->path) return XLSX_ERR_INVALID_ARG;
  return xlsx_document_save_as(document, document->path);
}

xlsx_status xlsx_document_save_as(XlsxDocument* document, const char* path) {
  if (!document || !path || !document->is_open) return XLSX_ERR_INVALID_ARG;
  if (path != document->path && strcmp(path, document->path) != 0) {
    char* copy = xlsx_strdup(path);
    if (!copy) return XLSX_ERR_NO_MEMORY;
    xlsx_free(document->path);
    document->path = copy;
  }
  drop_calc_chain(document);
  xlsx_status status = put_changed_parts(document);
  if (status == XLSX_OK) status = xlsx_archive_write(document->archive, document->path);
  if (status == XLSX_OK) mark_parts_clean(document);
  return status;
}

void xlsx_document_close(XlsxDocument* document) {
  if (document) reset(document);
}

void xlsx_document_free(XlsxDocument* document) {
  if (!document) return;
  reset(document);
  dynarray_free(&document->parts);
  dynarray_free(&document->shared_strings);
  xlsx_free(document);
}

bool xlsx_document_is_open(const XlsxDocument* document) { return document && document->is_open; }

const char* xlsx_document_path(const XlsxDocument* document) {
  return document && document->path ? document->path : "";
}

XlsxPart* xlsx_document_add_part(XlsxDocument* document, const char* path, const char* rel_id, uint32_t code) {
  if (!document || !path) return nullptr;
  XlsxPart* part = static_cast<XlsxPart*>(xlsx_calloc(1, sizeof(XlsxPart)));
  if (!part) return nullptr;
  if (xlsx_part_init(part, document, path, rel_id, code) != XLSX_OK) {
    xlsx_free(part);
    return nullptr;
  }
  xlsx_part_set_loader(part, xlsx_document_load_entry, document);
  xlsx_part_set_release(part, xlsx_document_release_entry);
  if (!dynarray_push(&document->parts, &part)) {
    xlsx_part_free(part);
    xlsx_free(part);
    return nullptr;
  }
  return part;
}

XlsxPart* xlsx_document_find_part(const XlsxDocument* document, const char* path) {
  if (!document || !path) return nullptr;
  return part_at(document, find_part_index(document, path));
}

bool xlsx_document_has_part(const XlsxDocument* document, const char* path) {
  return xlsx_document_find_part(document, path) != nullptr;
}

uint32_t xlsx_document_part_count(const XlsxDocument* document) { return document ? document->parts.count : 0; }

XlsxPart* xlsx_document_part_at(const XlsxDocument* document, uint32_t index) {
  return document ? part_at(document, index) : nullptr;
}

void xlsx_document_remove_part(XlsxDocument* document, const char* path) {
  if (!document || !path) return;
  uint32_t index = find_part_index(document, path);
  XlsxPart* part = part_at(document, index);
  if (!part) return;
  xlsx_part_free(part);
  xlsx_free(part);
  dynarray_remove(&document->parts, index);
}

const char* xlsx_document_load_entry(void* context, const char* path, uint32_t* size, xlsx_status* status) {
  XlsxDocument* document = static_cast<XlsxDocument*>(context);
  if (size) *size = 0;
  if (status) *status = XLSX_OK;
  if (!document || !path || !xlsx_archive_has_entry(document->archive, path)) return "";
  const char* data = nullptr;
  uint32_t n = 0;
  xlsx_status result = xlsx_archive_get_entry(document->archive, path, &data, &n);
  if (result != XLSX_OK) {
    if (status) *status = result;
    return nullptr;
  }
  if (size) *size = n;
  return data;
}

void xlsx_document_release_entry(void* context, const char* path) {
  XlsxDocument* document = static_cast<XlsxDocument*>(context);
  if (document) xlsx_archive_release_entry(document->archive, path);
}

XlsxArchive* xlsx_document_archive(XlsxDocument* document) { return document ? document->archive : nullptr; }

XlsxContentTypes* xlsx_document_content_types(XlsxDocument* document) {
  return document ? &document->content_types : nullptr;
}

XlsxRelationships* xlsx_document_package_rels(XlsxDocument* document) {
  return document ? &document->package_rels : nullptr;
}

XlsxRelationships* xlsx_document_workbook_rels(XlsxDocument* document) {
  return document ? &document->workbook_rels : nullptr;
}

XlsxPart* xlsx_document_core_properties(XlsxDocument* document) {
  return document ? document->core_properties : nullptr;
}

XlsxPart* xlsx_document_app_properties(XlsxDocument* document) {
  return document ? document->app_properties : nullptr;
}

XlsxSharedStrings* xlsx_document_shared_strings(XlsxDocument* document) {
  return document ? &document->shared_strings_table : nullptr;
}

XlsxWorkbook* xlsx_document_workbook(XlsxDocument* document) { return document ? document->workbook : nullptr; }

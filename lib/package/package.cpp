// Packages: opening a ZIP package and building its list of parts, creating from the built-in template,
// saving (only changed parts are serialised; the rest is copied from the records) and closing.
#include "lib/package/package.h"

#include <cstring>
#include <initializer_list>

#include "lib/base/alloc.h"
#include "lib/base/host_ops.h"
#include "lib/package/properties.h"
#include "lib/package/template.h"
#include "lib/xml/parser.h"

const char XLSX_DEFAULT_SHARED_STRINGS[] =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
    "<sst xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\" count=\"1\" uniqueCount=\"1\">\n"
    "  <si>\n"
    "    <t/>\n"
    "  </si>\n"
    "</sst>";

const char XLSX_WORKBOOK_PATH[] = "xl/workbook.xml";
const char XLSX_SHARED_STRINGS_PATH[] = "xl/sharedStrings.xml";

namespace {

const char* const kContentTypesPath = "[Content_Types].xml";
const char* const kPackageRelsPath = "_rels/.rels";

XlsxPart* part_at(const XlsxPackage* package, uint32_t index) {
  XlsxPart** slot = static_cast<XlsxPart**>(dynarray_get(&package->parts, index));
  return slot ? *slot : nullptr;
}

const char* part_path_at(const void* parts, uint32_t position) {
  return xlsx_part_path(*static_cast<XlsxPart* const*>(dynarray_get(static_cast<const DynArray*>(parts), position)));
}

// Position of the first part of that path, or UINT32_MAX. The index of the paths is a cache of the list:
// one left incomplete (memory ran out) is built again here, and the list is scanned while it cannot be.
uint32_t find_part_index(const XlsxPackage* package, const char* path) {
  XlsxNameIndex* paths = const_cast<XlsxNameIndex*>(&package->part_paths);
  if (!xlsx_name_index_complete(paths)) xlsx_name_index_build(paths, package->parts.count, part_path_at, &package->parts);
  if (xlsx_name_index_complete(paths)) return xlsx_name_index_find(paths, path, part_path_at, &package->parts);
  for (uint32_t i = 0; i < package->parts.count; i++) {
    if (strcmp(xlsx_part_path(part_at(package, i)), path) == 0) return i;
  }
  return UINT32_MAX;
}

void reset(XlsxPackage* package) {
  for (uint32_t i = 0; i < package->parts.count; i++) {
    XlsxPart* part = part_at(package, i);
    xlsx_part_free(part);
    xlsx_free(part);
  }
  package->parts_generation++;
  dynarray_free(&package->parts);  // a closed package holds no blocks at all
  dynarray_init(&package->parts, sizeof(XlsxPart*), nullptr);
  xlsx_name_index_free(&package->part_paths);
  xlsx_archive_free(package->archive);
  package->archive = nullptr;
  xlsx_free(package->path);
  package->path = nullptr;
  xlsx_free(package->workbook_path);
  package->workbook_path = nullptr;
  package->workbook = nullptr;
  package->shared_strings = nullptr;
  package->content_types.part = nullptr;
  package->package_rels.part = nullptr;
  package->workbook_rels.part = nullptr;
  package->core_properties = nullptr;
  package->app_properties = nullptr;
  package->is_open = 0;
  package->modified_set = 0;
}

// Parses a part the open sequence needs now; a part left unloaded for lack of memory fails the open
// (an unreadable or absent part is fine: it is simply empty).
xlsx_status load_now(XlsxPart* part) {
  xlsx_part_load(part);
  return part->loaded ? XLSX_OK : XLSX_ERR_NO_MEMORY;
}

// Whether a content type code is one of kinds, or no known one (a part without an Override or of a type
// without code is taken for any kind).
bool of_kind(uint32_t type, std::initializer_list<uint32_t> kinds) {
  if (type == XLSX_CT_NONE) return true;
  for (uint32_t kind : kinds)
    if (type == kind) return true;
  return false;
}

// The workbook part's entry name: the target of the package's officeDocument relationship when the file
// holds that entry and does not declare it as another kind of part, else XLSX_WORKBOOK_PATH (where every
// writer puts it; a package without it then has no sheets).
xlsx_status find_workbook(XlsxPackage* package) {
  StrBuf path;
  strbuf_init(&path);
  XlsxRelItem rel = xlsx_rels_find_by_type(&package->package_rels, XLSX_REL_OFFICE_DOCUMENT);
  xlsx_status status = rel.node ? xlsx_rels_resolve_target("", xlsx_rel_item_target(rel), &path) : XLSX_ERR_NOT_FOUND;
  StrBuf name;
  strbuf_init(&name);
  if (status == XLSX_OK && !xlsx_archive_has_entry(package->archive, path.data)) status = XLSX_ERR_NOT_FOUND;
  if (status == XLSX_OK) status = xlsx_package_part_name(path.data, &name);
  XlsxContentItem declared = {nullptr};
  if (status == XLSX_OK) declared = xlsx_content_types_find(&package->content_types, name.data);
  if (status == XLSX_OK && !of_kind(xlsx_content_item_type(declared), {XLSX_CT_WORKBOOK, XLSX_CT_WORKBOOK_MACRO}))
    status = XLSX_ERR_NOT_FOUND;
  strbuf_free(&name);
  if (status == XLSX_ERR_NOT_FOUND) status = strbuf_set(&path, XLSX_WORKBOOK_PATH);
  if (status == XLSX_OK) package->workbook_path = strbuf_detach(&path, nullptr);
  strbuf_free(&path);
  return status != XLSX_OK ? status : package->workbook_path ? XLSX_OK : XLSX_ERR_NO_MEMORY;
}

// The content types and the package relationships, then the workbook's relationships, which live beside
// the workbook part those name.
xlsx_status add_fixed_parts(XlsxPackage* package) {
  package->content_types.part = xlsx_package_add_part(package, kContentTypesPath, "", XLSX_CT_NONE);
  package->package_rels.part = xlsx_package_add_part(package, kPackageRelsPath, "", XLSX_CT_NONE);
  if (!package->content_types.part || !package->package_rels.part) return XLSX_ERR_NO_MEMORY;
  xlsx_status status = load_now(package->content_types.part);
  if (status == XLSX_OK) status = load_now(package->package_rels.part);
  if (status == XLSX_OK) status = find_workbook(package);
  StrBuf rels_path;
  strbuf_init(&rels_path);
  if (status == XLSX_OK) status = xlsx_rels_part_path(package->workbook_path, &rels_path);
  if (status == XLSX_OK) {
    package->workbook_rels.part = xlsx_package_add_part(package, rels_path.data, "", XLSX_CT_NONE);
    status = package->workbook_rels.part ? load_now(package->workbook_rels.part) : XLSX_ERR_NO_MEMORY;
  }
  strbuf_free(&rels_path);
  return status;
}

// Sets path to the shared strings part's entry name: the target of the workbook's relationship of that
// type, or sharedStrings.xml beside the workbook when there is none. XLSX_ERR_NOT_FOUND when the
// relationship names no part: the package then has no shared strings.
xlsx_status shared_strings_path(XlsxPackage* package, StrBuf* path) {
  XlsxRelItem rel = xlsx_rels_find_by_type(&package->workbook_rels, XLSX_REL_SHARED_STRINGS);
  return xlsx_package_workbook_target(package, rel.node ? xlsx_rel_item_target(rel) : "sharedStrings.xml", path);
}

// A file without shared strings gets the default part, with its override and relationship unless the
// package already declares them (a second Override for one part name makes the package invalid).
xlsx_status add_default_shared_strings(XlsxPackage* package, const char* path) {
  if (xlsx_archive_has_entry(package->archive, path)) return XLSX_OK;
  StrBuf part_name;
  strbuf_init(&part_name);
  xlsx_status status = xlsx_package_part_name(path, &part_name);
  if (status == XLSX_OK && !xlsx_content_types_find(&package->content_types, part_name.data).node) {
    status = xlsx_content_types_add(&package->content_types, part_name.data, XLSX_CT_SHARED_STRINGS);
  }
  strbuf_free(&part_name);
  if (status == XLSX_OK && !xlsx_rels_find_by_type(&package->workbook_rels, XLSX_REL_SHARED_STRINGS).node &&
      xlsx_rels_root(&package->workbook_rels) &&
      !xlsx_rels_add(&package->workbook_rels, XLSX_REL_SHARED_STRINGS, "sharedStrings.xml").node) {
    status = XLSX_ERR_NO_MEMORY;
  }
  if (status != XLSX_OK) return status;
  return xlsx_archive_put_entry(package->archive, path, XLSX_DEFAULT_SHARED_STRINGS,
                                uint32_t(sizeof(XLSX_DEFAULT_SHARED_STRINGS) - 1));
}

xlsx_status ensure_workbook_override(XlsxPackage* package) {
  StrBuf part_name;
  strbuf_init(&part_name);
  xlsx_status status = xlsx_package_part_name(package->workbook_path, &part_name);
  if (status == XLSX_OK && !xlsx_content_types_find(&package->content_types, part_name.data).node)
    status = xlsx_content_types_add(&package->content_types, part_name.data, XLSX_CT_WORKBOOK);
  strbuf_free(&part_name);
  return status;
}

// Length of the workbook's folder, its "/" included ("xl/" in most files, "" for a workbook at the root).
uint32_t workbook_folder_length(const XlsxPackage* package) {
  const char* slash = std::strrchr(package->workbook_path, '/');
  return slash ? uint32_t(slash - package->workbook_path + 1) : 0;
}

// One part per Override; a second Override for a part name adds nothing. A part in the workbook's folder
// takes the id of the workbook's relationship to it, any other the id of the package's.
xlsx_status add_override_part(XlsxPackage* package, XlsxContentItem item) {
  const char* name = xlsx_content_item_part_name(item);
  if (name[0] != '/' || name[1] == '\0') return XLSX_OK;
  const char* path = name + 1;
  if (xlsx_package_find_part(package, path)) return XLSX_OK;
  XlsxRelItem rel = {nullptr};
  uint32_t folder = workbook_folder_length(package);
  if (strcmp(path, package->workbook_path) != 0 && strncmp(path, package->workbook_path, folder) == 0)
    rel = xlsx_rels_find_by_target(&package->workbook_rels, path + folder);
  if (!rel.node) rel = xlsx_rels_find_by_target(&package->package_rels, path);
  XlsxPart* part = xlsx_package_add_part(package, path, xlsx_rel_item_id(rel), xlsx_content_item_type(item));
  return part ? XLSX_OK : XLSX_ERR_NO_MEMORY;
}

xlsx_status add_override_parts(XlsxPackage* package) {
  // Every override looks up its relationship: both relationship parts are indexed once, up front.
  xlsx_status status = xlsx_rels_prepare(&package->package_rels);
  if (status == XLSX_OK) status = xlsx_rels_prepare(&package->workbook_rels);
  if (status != XLSX_OK) return status;
  DynArray items;
  dynarray_init(&items, sizeof(XlsxContentItem), nullptr);
  status = xlsx_content_types_list(&package->content_types, &items);
  for (uint32_t i = 0; i < items.count && status == XLSX_OK; i++) {
    status = add_override_part(package, *static_cast<XlsxContentItem*>(dynarray_get(&items, i)));
  }
  dynarray_free(&items);
  return status;
}

xlsx_status open_parts(XlsxPackage* package) {
  // A ZIP without a content types part is not a workbook package: opened, it would be an empty package
  // whose save writes a ZIP that no reader takes for a workbook. It is refused like any other non-workbook.
  if (!xlsx_archive_has_entry(package->archive, kContentTypesPath)) return XLSX_ERR_PARSE;
  xlsx_status status = add_fixed_parts(package);
  StrBuf strings;
  strbuf_init(&strings);
  xlsx_status found = status == XLSX_OK ? shared_strings_path(package, &strings) : status;
  if (found != XLSX_OK && found != XLSX_ERR_NOT_FOUND) status = found;
  if (status == XLSX_OK && found == XLSX_OK) status = add_default_shared_strings(package, strings.data);
  if (status == XLSX_OK) status = ensure_workbook_override(package);
  if (status == XLSX_OK) status = add_override_parts(package);
  if (status == XLSX_OK) {
    package->workbook = xlsx_package_find_part(package, package->workbook_path);
    // A relationship naming another kind of part (a worksheet, say) gives no table: texts go into cells.
    XlsxPart* table = found == XLSX_OK ? xlsx_package_find_part(package, strings.data) : nullptr;
    if (of_kind(xlsx_part_content_type(table), {XLSX_CT_SHARED_STRINGS})) package->shared_strings = table;
    package->core_properties = xlsx_package_find_part(package, "docProps/core.xml");
    package->app_properties = xlsx_package_find_part(package, "docProps/app.xml");
  }
  strbuf_free(&strings);
  return status;
}

// The calculation chain lists formula cells by position; after edits it may name cells that no longer
// hold formulas, so it is dropped at save (applications rebuild it) together with its override and
// relationship, which would otherwise point at a part the package no longer has.
xlsx_status drop_calc_chain(XlsxPackage* package) {
  StrBuf path, name;
  strbuf_init(&path);
  strbuf_init(&name);
  xlsx_status status = xlsx_package_workbook_target(package, "calcChain.xml", &path);
  if (status == XLSX_OK) status = xlsx_package_part_name(path.data, &name);
  if (status == XLSX_OK) {
    xlsx_archive_delete_entry(package->archive, path.data);
    xlsx_package_remove_part(package, path.data);
    if (xlsx_content_types_find(&package->content_types, name.data).node)
      xlsx_content_types_remove(&package->content_types, name.data);
    XlsxRelItem rel = xlsx_rels_find_by_type(&package->workbook_rels, XLSX_REL_CALC_CHAIN);
    if (rel.node) xlsx_rels_remove_by_id(&package->workbook_rels, xlsx_rel_item_id(rel));
  }
  strbuf_free(&path);
  strbuf_free(&name);
  return status;
}

// Whether the part's archive record can be written back as it is: the tree never changed since it was
// loaded, was never loaded, or its bytes did not load (then the record is the only true content).
bool keeps_record(const XlsxPackage* package, const XlsxPart* part) {
  if (!xlsx_archive_has_entry(package->archive, xlsx_part_path(part))) return false;
  if (part->loaded && part->load_status != XLSX_OK) return true;
  return !xlsx_part_is_dirty(part);
}

// Whether the part has nothing to write: the file holds no entry for it (an Override naming a part that
// is absent) and nothing was built into its tree. Such a part gets no entry, since an entry holding only
// the XML declaration makes readers refuse the whole file.
bool has_no_content(const XlsxPackage* package, XlsxPart* part) {
  return !xlsx_archive_has_entry(package->archive, xlsx_part_path(part)) && !xlsx_part_root(part);
}

// Whether the parsed parts would load again within the caps of an open: each part's text within the
// archive's entry cap (checked as it is serialised), all the trees within the package's budget.
bool trees_fit(const XlsxPackage* package) {
  uint64_t cost = 0;
  for (uint32_t i = 0; i < package->parts.count; i++) {
    XlsxPart* part = part_at(package, i);
    if (part->loaded && part->load_status == XLSX_OK) cost += xml_document_cost(part->xml);
  }
  return cost <= package->parsed_cap;
}

xlsx_status put_changed_parts(XlsxPackage* package) {
  // A file that the library could not read back is not written: the save fails as a file error would.
  if (!trees_fit(package)) return XLSX_ERR_IO;
  for (uint32_t i = 0; i < package->parts.count; i++) {
    XlsxPart* part = part_at(package, i);
    if (keeps_record(package, part) || has_no_content(package, part)) continue;
    if (part->prepare_save) {
      xlsx_status prepared = part->prepare_save(part);
      if (prepared != XLSX_OK) return prepared;
    }
    char* text = nullptr;
    uint32_t length = 0;
    xlsx_status status = xlsx_part_serialize(part, &text, &length);
    if (status == XLSX_OK && length > package->archive->max_entry_size) {
      xlsx_free(text);
      return XLSX_ERR_IO;
    }
    // The archive takes the serialised text over (a worksheet's may be tens of megabytes: no copy), and
    // frees it itself when it cannot take it.
    if (status == XLSX_OK) status = xlsx_archive_take_entry(package->archive, xlsx_part_path(part), text, length);
    if (status != XLSX_OK) return status;
  }
  return XLSX_OK;
}

// Whether a part's tree changed since it was read or last saved, other than by the opening.
bool has_changes(const XlsxPackage* package) {
  for (uint32_t i = 0; i < package->parts.count; i++) {
    const XlsxPart* part = part_at(package, i);
    if (xlsx_part_is_dirty(part) && part->xml->generation != part->opened_generation) return true;
  }
  return false;
}

// Notes the generation of every part the opening changed.
void note_opened(XlsxPackage* package) {
  for (uint32_t i = 0; i < package->parts.count; i++) {
    XlsxPart* part = part_at(package, i);
    part->opened_generation = xlsx_part_is_dirty(part) ? part->xml->generation : 0;
  }
}

void mark_parts_clean(XlsxPackage* package) {
  for (uint32_t i = 0; i < package->parts.count; i++) {
    XlsxPart* part = part_at(package, i);
    if (part->load_status == XLSX_OK) xlsx_part_mark_clean(part);
  }
}

}  // namespace

void xlsx_package_init(XlsxPackage* package) {
  if (!package) return;
  std::memset(package, 0, sizeof *package);
  dynarray_init(&package->parts, sizeof(XlsxPart*), nullptr);
  xlsx_name_index_init(&package->part_paths);
  package->parsed_cap = XLSX_PACKAGE_MAX_PARSED;
  package->parsed_left = package->parsed_cap;
}

xlsx_status xlsx_package_open(XlsxPackage* package, const char* path) {
  if (!package || !path) return XLSX_ERR_INVALID_ARG;
  char* copy = xlsx_strdup(path);  // path may be the package's own path text, freed by the reset
  if (!copy) return XLSX_ERR_NO_MEMORY;
  reset(package);
  package->path = copy;
  package->archive = xlsx_archive_new();
  xlsx_status status = package->archive ? xlsx_archive_open(package->archive, copy) : XLSX_ERR_NO_MEMORY;
  if (status == XLSX_OK) status = open_parts(package);
  if (status != XLSX_OK) {
    reset(package);
    return status;
  }
  note_opened(package);
  package->is_open = 1;
  return XLSX_OK;
}

xlsx_status xlsx_package_create(XlsxPackage* package, const char* path) {
  if (!package || !path) return XLSX_ERR_INVALID_ARG;
  xlsx_status status = xlsx_replace_file(path, xlsx_template_bytes, xlsx_template_size);
  if (status == XLSX_OK) status = xlsx_package_open(package, path);
  if (status != XLSX_OK) return status;
  // The new workbook is dated by its creation, and the file says so at once.
  status = xlsx_package_stamp_dates(package, xlsx_now(), true);
  if (status == XLSX_OK) status = xlsx_package_save(package);
  if (status != XLSX_OK) xlsx_package_close(package);
  return status;
}

xlsx_status xlsx_package_save(XlsxPackage* package) {
  if (!package || !package->path) return XLSX_ERR_INVALID_ARG;
  return xlsx_package_save_as(package, package->path);
}

xlsx_status xlsx_package_save_as(XlsxPackage* package, const char* path) {
  if (!package || !path || !package->is_open) return XLSX_ERR_INVALID_ARG;
  if (path != package->path && strcmp(path, package->path) != 0) {
    char* copy = xlsx_strdup(path);
    if (!copy) return XLSX_ERR_NO_MEMORY;
    xlsx_free(package->path);
    package->path = copy;
  }
  xlsx_status status = XLSX_OK;
  // A changed workbook is dated by its save, unless the script gave the date itself.
  if (!package->modified_set && has_changes(package))
    status = xlsx_package_stamp_dates(package, xlsx_now(), false);
  if (status != XLSX_OK) return status;
  status = drop_calc_chain(package);
  if (status == XLSX_OK) status = put_changed_parts(package);
  if (status == XLSX_OK) status = xlsx_archive_write(package->archive, package->path);
  if (status == XLSX_OK) mark_parts_clean(package);
  return status;
}

void xlsx_package_close(XlsxPackage* package) {
  if (package) reset(package);
}

bool xlsx_package_is_open(const XlsxPackage* package) { return package && package->is_open; }

const char* xlsx_package_path(const XlsxPackage* package) {
  return package && package->path ? package->path : "";
}

XlsxPart* xlsx_package_add_part(XlsxPackage* package, const char* path, const char* rel_id, uint32_t code) {
  if (!package || !path) return nullptr;
  XlsxPart* part = static_cast<XlsxPart*>(xlsx_calloc(1, sizeof(XlsxPart)));
  if (!part) return nullptr;
  if (xlsx_part_init(part, package, path, rel_id, code) != XLSX_OK) {
    xlsx_free(part);
    return nullptr;
  }
  xlsx_part_set_loader(part, xlsx_package_load_entry, package);
  xlsx_part_set_release(part, xlsx_package_release_entry);
  if (!dynarray_push(&package->parts, &part)) {
    xlsx_part_free(part);
    xlsx_free(part);
    return nullptr;
  }
  if (xlsx_name_index_add(&package->part_paths, package->parts.count - 1, part_path_at, &package->parts) != XLSX_OK) {
    dynarray_pop(&package->parts);
    xlsx_part_free(part);
    xlsx_free(part);
    return nullptr;
  }
  package->parts_generation++;
  return part;
}

XlsxPart* xlsx_package_find_part(const XlsxPackage* package, const char* path) {
  if (!package || !path) return nullptr;
  return part_at(package, find_part_index(package, path));
}

bool xlsx_package_has_part(const XlsxPackage* package, const char* path) {
  return xlsx_package_find_part(package, path) != nullptr;
}

bool xlsx_package_is_bound_part(const XlsxPackage* package, const char* path) {
  XlsxPart* part = xlsx_package_find_part(package, path);
  if (!part) return false;
  for (const XlsxPart* bound : {package->content_types.part, package->package_rels.part, package->workbook_rels.part,
                                package->workbook, package->shared_strings, package->core_properties,
                                package->app_properties})
    if (part == bound) return true;
  return false;
}

uint32_t xlsx_package_part_count(const XlsxPackage* package) { return package ? package->parts.count : 0; }

XlsxPart* xlsx_package_part_at(const XlsxPackage* package, uint32_t index) {
  return package ? part_at(package, index) : nullptr;
}

void xlsx_package_remove_part(XlsxPackage* package, const char* path) {
  if (!package || !path) return;
  uint32_t index = find_part_index(package, path);
  XlsxPart* part = part_at(package, index);
  if (!part) return;
  xlsx_part_free(part);
  xlsx_free(part);
  dynarray_remove(&package->parts, index);
  package->parts_generation++;
  // Every later part moved down by one.
  xlsx_name_index_build(&package->part_paths, package->parts.count, part_path_at, &package->parts);
}

const char* xlsx_package_load_entry(void* context, const char* path, uint32_t* size, xlsx_status* status) {
  XlsxPackage* package = static_cast<XlsxPackage*>(context);
  if (size) *size = 0;
  if (status) *status = XLSX_OK;
  if (!package || !path || !xlsx_archive_has_entry(package->archive, path)) return "";
  const char* data = nullptr;
  uint32_t n = 0;
  xlsx_status result = xlsx_archive_get_entry(package->archive, path, &data, &n);
  if (result != XLSX_OK) {
    if (status) *status = result;
    return nullptr;
  }
  if (size) *size = n;
  return data;
}

void xlsx_package_release_entry(void* context, const char* path) {
  XlsxPackage* package = static_cast<XlsxPackage*>(context);
  if (package) xlsx_archive_release_entry(package->archive, path);
}

XlsxArchive* xlsx_package_archive(XlsxPackage* package) { return package ? package->archive : nullptr; }

XlsxContentTypes* xlsx_package_content_types(XlsxPackage* package) {
  return package ? &package->content_types : nullptr;
}

XlsxRelationships* xlsx_package_package_rels(XlsxPackage* package) {
  return package ? &package->package_rels : nullptr;
}

XlsxRelationships* xlsx_package_workbook_rels(XlsxPackage* package) {
  return package ? &package->workbook_rels : nullptr;
}

XlsxPart* xlsx_package_core_properties(XlsxPackage* package) {
  return package ? package->core_properties : nullptr;
}

XlsxPart* xlsx_package_app_properties(XlsxPackage* package) {
  return package ? package->app_properties : nullptr;
}

const char* xlsx_package_workbook_path(const XlsxPackage* package) {
  return package && package->workbook_path ? package->workbook_path : "";
}

XlsxPart* xlsx_package_workbook(XlsxPackage* package) { return package ? package->workbook : nullptr; }

XlsxPart* xlsx_package_shared_strings(XlsxPackage* package) {
  return package ? package->shared_strings : nullptr;
}

xlsx_status xlsx_package_part_name(const char* path, StrBuf* name) {
  if (!path || !name) return XLSX_ERR_INVALID_ARG;
  strbuf_clear(name);
  return strbuf_appendf(name, "/%s", path) >= 0 ? XLSX_OK : XLSX_ERR_NO_MEMORY;
}

xlsx_status xlsx_package_workbook_target(const XlsxPackage* package, const char* target, StrBuf* out) {
  if (!package || !package->workbook_path) return XLSX_ERR_INVALID_ARG;
  return xlsx_rels_resolve_target(package->workbook_path, target, out);
}

xlsx_status xlsx_package_workbook_related(XlsxPackage* package, uint32_t code, XlsxPart** out) {
  if (!out) return XLSX_ERR_INVALID_ARG;
  *out = nullptr;
  if (!package) return XLSX_ERR_INVALID_ARG;
  XlsxRelItem item = xlsx_rels_find_by_type(xlsx_package_workbook_rels(package), code);
  if (!item.node) return XLSX_OK;
  StrBuf path;
  strbuf_init(&path);
  xlsx_status found = xlsx_package_workbook_target(package, xlsx_rel_item_target(item), &path);
  if (found == XLSX_OK) *out = xlsx_package_find_part(package, path.data);
  strbuf_free(&path);
  return found == XLSX_ERR_NO_MEMORY ? found : XLSX_OK;
}

// The workbook's sheet list: lookups through the position cache, and the sheet list edits.
#include "lib/sheet/workbook.h"

#include <cstring>
#include <initializer_list>

#include "lib/base/alloc.h"
#include "lib/base/convert.h"
#include "lib/base/strbuf.h"
#include "lib/package/package.h"
#include "lib/package/properties.h"
#include "lib/sheet/sheet_index.h"
#include "lib/sheet/worksheet.h"

namespace {

const char kDefaultWorksheet[] =
    "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n"
    "<worksheet xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\" "
    "xmlns:r=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships\" "
    "xmlns:mc=\"http://schemas.openxmlformats.org/markup-compatibility/2006\" mc:Ignorable=\"x14ac\" "
    "xmlns:x14ac=\"http://schemas.microsoft.com/office/spreadsheetml/2009/9/ac\">"
    "<dimension ref=\"A1\"/><sheetViews><sheetView workbookViewId=\"0\"/></sheetViews>"
    "<sheetFormatPr baseColWidth=\"10\" defaultRowHeight=\"16\" x14ac:dyDescent=\"0.2\"/><sheetData/>"
    "<pageMargins left=\"0.7\" right=\"0.7\" top=\"0.75\" bottom=\"0.75\" header=\"0.3\" footer=\"0.3\"/>"
    "</worksheet>";

const char kRelationshipsNs[] = "http://schemas.openxmlformats.org/officeDocument/2006/relationships";

const char* attr(const XmlNode* node, const char* name) { return xml_attribute_value(xml_node_attribute(node, name)); }

bool is_hidden_state(const char* state) { return xlsx_str_equal(state, "hidden") || xlsx_str_equal(state, "veryHidden"); }

XmlNode* root_of(XlsxWorkbook* workbook) { return workbook ? xlsx_part_root(workbook->part) : nullptr; }

XmlNode* sheets_of(XlsxWorkbook* workbook) { return xml_node_child(root_of(workbook), "sheets"); }

XlsxRelationships* rels_of(XlsxWorkbook* workbook) { return xlsx_package_workbook_rels(workbook->package); }

const XmlDoc* rels_doc(XlsxWorkbook* workbook) {
  XlsxRelationships* rels = rels_of(workbook);
  if (!rels || !rels->part) return nullptr;
  xlsx_rels_root(rels);
  return rels->part->xml;
}

// --- position cache

const char* name_at(const void* workbook, uint32_t position) {
  return static_cast<const XlsxWorkbook*>(workbook)->entries[position].name;
}

const char* rel_id_at(const void* workbook, uint32_t position) {
  return static_cast<const XlsxWorkbook*>(workbook)->entries[position].rel_id;
}

bool cache_current(XlsxWorkbook* workbook) {
  if (!workbook->cache_valid) return false;
  const XmlDoc* doc = workbook->part ? workbook->part->xml : nullptr;
  const XmlDoc* rels = rels_doc(workbook);
  if (doc && doc->generation != workbook->workbook_generation) return false;
  if (rels != workbook->rels_doc) return false;
  return !rels || rels->generation == workbook->rels_generation;
}

xlsx_status cache_build(XlsxWorkbook* workbook) {
  XmlNode* sheets = sheets_of(workbook);
  uint32_t count = 0;
  for (XmlNode* x = sheets ? sheets->first_child : nullptr; x; x = x->next_sibling)
    if (xml_node_is_element(x, "sheet")) count++;
  if (xlsx_grow_array(&workbook->entries, &workbook->entry_capacity, count, 4) != XLSX_OK) return XLSX_ERR_NO_MEMORY;
  uint32_t n = 0;
  for (XmlNode* x = sheets ? sheets->first_child : nullptr; x; x = x->next_sibling)
    if (xml_node_is_element(x, "sheet")) workbook->entries[n++] = {x, attr(x, "name"), attr(x, "r:id"), nullptr, 0};
  workbook->entry_count = n;
  if (xlsx_name_index_build(&workbook->names, n, name_at, workbook) != XLSX_OK ||
      xlsx_name_index_build(&workbook->rel_ids, n, rel_id_at, workbook) != XLSX_OK)
    return XLSX_ERR_NO_MEMORY;
  const XmlDoc* rels = rels_doc(workbook);
  workbook->rels_doc = rels;
  workbook->rels_generation = rels ? rels->generation : 0;
  workbook->workbook_generation = workbook->part && workbook->part->xml ? workbook->part->xml->generation : 0;
  workbook->cache_valid = 1;
  return XLSX_OK;
}

// Both trees loaded and unchanged since the cache was built: what every cell command finds, answered
// without going through the loads.
bool cache_settled(const XlsxWorkbook* workbook) {
  const XlsxPart* part = workbook->part;
  if (!workbook->cache_valid || !part || !part->loaded || !part->xml) return false;
  if (part->xml->generation != workbook->workbook_generation) return false;
  const XlsxRelationships* rels = xlsx_package_workbook_rels(workbook->package);
  const XlsxPart* rels_part = rels ? rels->part : nullptr;
  if (!rels_part || !rels_part->loaded || !rels_part->xml) return false;
  return rels_part->xml == workbook->rels_doc && rels_part->xml->generation == workbook->rels_generation;
}

// The cache in step with the trees; false (empty list) only when memory runs out or for null.
bool cache_ready(XlsxWorkbook* workbook) {
  if (!workbook) return false;
  if (cache_settled(workbook)) return true;
  xlsx_part_load(workbook->part);
  // A load cut short by lack of memory is not settled: build no (empty) sheet list from it.
  if (workbook->part && !workbook->part->loaded) return false;
  if (cache_current(workbook)) return true;
  workbook->cache_valid = 0;
  workbook->entry_count = 0;
  return cache_build(workbook) == XLSX_OK;
}

uint32_t count_of(XlsxWorkbook* workbook) { return cache_ready(workbook) ? workbook->entry_count : 0; }

// 0-based position of the first sheet with that name / id, or -1.
int32_t position_by(XlsxWorkbook* workbook, const char* text, bool by_name) {
  if (!text || !cache_ready(workbook)) return -1;
  const XlsxNameIndex* index = by_name ? &workbook->names : &workbook->rel_ids;
  if (xlsx_name_index_complete(index)) {
    uint32_t at = xlsx_name_index_find(index, text, by_name ? name_at : rel_id_at, workbook);
    return at == XLSX_NO_POSITION ? -1 : static_cast<int32_t>(at);
  }
  for (uint32_t i = 0; i < workbook->entry_count; i++) {
    const char* value = by_name ? workbook->entries[i].name : workbook->entries[i].rel_id;
    if (std::strcmp(value, text) == 0) return static_cast<int32_t>(i);
  }
  return -1;
}

// 0-based position of a sheet whose name is name as spreadsheet applications compare names (case
// ignored), or -1. The cache must be ready.
int32_t name_holder(XlsxWorkbook* workbook, const char* name) {
  for (uint32_t i = 0; i < workbook->entry_count; i++)
    if (xlsx_sheet_names_equal(workbook->entries[i].name, name)) return static_cast<int32_t>(i);
  return -1;
}

// Sets path to the entry name of the part the sheet's relationship names. XLSX_ERR_NOT_FOUND when there
// is no such relationship or its target names no part (outside the package, say).
xlsx_status sheet_path(XlsxWorkbook* workbook, const char* rel_id, StrBuf* path) {
  XlsxRelItem rel = xlsx_rels_find_by_id(rels_of(workbook), rel_id);
  if (!rel.node) return XLSX_ERR_NOT_FOUND;
  return xlsx_package_workbook_target(workbook->package, xlsx_rel_item_target(rel), path);
}

XlsxPart* resolve_part(XlsxWorkbook* workbook, XlsxSheetEntry* entry) {
  if (entry->resolved) return entry->part;
  StrBuf path;
  strbuf_init(&path);
  xlsx_status status = sheet_path(workbook, entry->rel_id, &path);
  if (status == XLSX_OK || status == XLSX_ERR_NOT_FOUND) {
    entry->part = status == XLSX_OK ? xlsx_package_find_part(workbook->package, path.data) : nullptr;
    entry->resolved = 1;
  }
  strbuf_free(&path);
  return entry->part;
}

xlsx_status open_entry(XlsxWorkbook* workbook, uint32_t position, XlsxWorksheet* out) {
  XlsxSheetEntry* entry = &workbook->entries[position];
  XlsxPart* part = resolve_part(workbook, entry);
  if (!part) return entry->resolved ? XLSX_ERR_INTERNAL : XLSX_ERR_NO_MEMORY;
  // The sheet's part is loaded and indexed here, so that the commands on the sheet work on a loaded tree.
  XlsxSheetIndex* index = sheet_index_of_part(part);
  if (!index || !sheet_index_sync(index)) return XLSX_ERR_NO_MEMORY;
  *out = XlsxWorksheet{part, workbook, index};
  return XLSX_OK;
}

// --- the workbook view (active tab)

XmlNode* first_view(XlsxWorkbook* workbook) {
  return xml_node_first_element(xml_node_child(root_of(workbook), "bookViews"));
}

int64_t active_tab(XlsxWorkbook* workbook) {
  return xml_attribute_as_i64(xml_node_attribute(first_view(workbook), "activeTab"), 0);
}

bool set_number(XmlNode* node, const char* name, int64_t value) {
  char text[32];
  xlsx_i64_to_text(value, text);
  return xml_node_set_attribute(node, name, text) != nullptr;
}

bool visible_at(XlsxWorkbook* workbook, uint32_t position) {
  return position < workbook->entry_count && !is_hidden_state(attr(workbook->entries[position].element, "state"));
}

// --- defined names

XmlNode* defined_names(XlsxWorkbook* workbook) { return xml_node_child(root_of(workbook), "definedNames"); }

// Rewrites each sheet-local name's localSheetId through map(old position) (-1 removes the name).
template <typename Map>
bool remap_local_names(XlsxWorkbook* workbook, Map map) {
  bool ok = true;
  XmlNode* names = defined_names(workbook);
  XmlNode* next = nullptr;
  for (XmlNode* x = names ? names->first_child : nullptr; x; x = next) {
    next = x->next_sibling;
    XmlAttr* local = xml_node_attribute(x, "localSheetId");
    if (x->type != XML_NODE_ELEMENT || !local) continue;
    int64_t old_position = xml_attribute_as_i64(local, -1);
    if (old_position < 0) continue;
    int64_t new_position = map(old_position);
    if (new_position < 0) ok = xml_node_remove_child(names, x) && ok;
    else if (new_position != old_position) ok = set_number(x, "localSheetId", new_position) && ok;
  }
  return ok;
}

// --- names and prefixes

bool name_char(char c) {
  unsigned char u = static_cast<unsigned char>(c);
  return u >= 0x80 || (u >= 'A' && u <= 'Z') || (u >= 'a' && u <= 'z') || (u >= '0' && u <= '9') || c == '_' || c == '.' || c == '\'';
}

// Replaces every occurrence of from that starts at a token boundary by to; false when memory ran out.
bool replace_prefix(const char* text, const char* from, const char* to, StrBuf* out, bool* changed) {
  size_t n = std::strlen(from);
  const char* p = text;
  *changed = false;
  while (const char* hit = std::strstr(p, from)) {
    bool boundary = hit == text || !name_char(hit[-1]);
    if (strbuf_append_bytes(out, p, static_cast<uint32_t>(hit - p)) != XLSX_OK) return false;
    if (strbuf_append(out, boundary ? to : from) != XLSX_OK) return false;
    *changed = *changed || boundary;
    p = hit + n;
  }
  return strbuf_append(out, p) == XLSX_OK;
}

// Rewrites the defined names that refer to the sheet by its old name.
bool rename_in_defined_names(XlsxWorkbook* workbook, const char* old_name, const char* new_name) {
  char old_prefix[256], new_prefix[256], quoted_old[256];
  xlsx_sheet_ref_prefix(old_name, old_prefix, sizeof old_prefix);
  xlsx_sheet_ref_prefix(new_name, new_prefix, sizeof new_prefix);
  // A name that needs no quotes may still be written quoted.
  StrBuf quoted;
  strbuf_init(&quoted);
  bool ok = strbuf_putc(&quoted, '\'') == XLSX_OK;
  for (const char* p = old_name; *p && ok; p++) ok = strbuf_putc(&quoted, *p) == XLSX_OK && (*p != '\'' || strbuf_putc(&quoted, '\'') == XLSX_OK);
  ok = ok && strbuf_append(&quoted, "'!") == XLSX_OK;
  xlsx_snprintf(quoted_old, sizeof quoted_old, "%s", ok ? quoted.data : old_prefix);
  strbuf_free(&quoted);
  XmlNode* names = defined_names(workbook);
  for (XmlNode* x = names ? names->first_child : nullptr; x && ok; x = x->next_sibling) {
    if (x->type != XML_NODE_ELEMENT) continue;
    const char* text = xml_node_text(x);
    if (std::strchr(text, '[') || std::strchr(text, ']')) continue;
    StrBuf first, second;
    strbuf_init(&first);
    strbuf_init(&second);
    bool changed1 = false, changed2 = false;
    ok = replace_prefix(text, quoted_old, new_prefix, &first, &changed1) &&
         replace_prefix(first.data, old_prefix, new_prefix, &second, &changed2);
    if (ok && (changed1 || changed2)) ok = xml_node_set_text(x, second.data);
    strbuf_free(&first);
    strbuf_free(&second);
  }
  return ok;
}

// --- adding

// Steps of adding a sheet. The trees' changes are taken back by the journal; the package entry and the
// part, which are not in a tree, are undone by hand.
struct AddSteps {
  StrBuf part_name;  // "/xl/worksheets/sheet2.xml"
  StrBuf path;       // "xl/worksheets/sheet2.xml"
  char target[64];   // "worksheets/sheet2.xml"
  char rel_id[32];
  bool entry, part;
};

// Sets s->path, s->part_name and s->target to the names of a new worksheet part numbered n, in the
// workbook's folder.
xlsx_status name_new_sheet(XlsxWorkbook* workbook, uint32_t n, AddSteps* s) {
  xlsx_snprintf(s->target, sizeof s->target, "worksheets/sheet%u.xml", static_cast<unsigned>(n));
  xlsx_status status = xlsx_package_workbook_target(workbook->package, s->target, &s->path);
  return status == XLSX_OK ? xlsx_package_part_name(s->path.data, &s->part_name) : status;
}

// Whether the names of a new worksheet part numbered n (set in s) are taken by an entry, a part, an
// Override or a relationship.
bool part_name_taken(XlsxWorkbook* workbook, const AddSteps& s) {
  XlsxPackage* package = workbook->package;
  return xlsx_archive_has_entry(xlsx_package_archive(package), s.path.data) ||
         xlsx_package_has_part(package, s.path.data) ||
         xlsx_content_types_find(xlsx_package_content_types(package), s.part_name.data).node != nullptr ||
         xlsx_rels_find_by_target(rels_of(workbook), s.target).node != nullptr;
}

// The names of the first worksheet part numbered n or above that no record takes.
xlsx_status name_free_sheet(XlsxWorkbook* workbook, uint32_t n, AddSteps* s) {
  xlsx_status status = name_new_sheet(workbook, n, s);
  while (status == XLSX_OK && part_name_taken(workbook, *s)) status = name_new_sheet(workbook, ++n, s);
  return status;
}

// --- editing the sheet list (the failure rule: the trees' changes are journaled)

// Begins the journaled edit of the workbook tree and, with package, of the trees of the content types,
// the workbook relationships and the app properties.
xlsx_status begin_edit(XlsxWorkbook* workbook, XlsxPartsEdit* edit, bool package) {
  XlsxPackage* p = workbook->package;
  XlsxPart* parts[] = {workbook->part, package ? xlsx_package_content_types(p)->part : nullptr,
                       package ? rels_of(workbook)->part : nullptr, xlsx_package_app_properties(p)};
  return xlsx_parts_edit_begin(edit, parts, 4);
}

// Makes the sheet titles of the extended properties follow the sheet list (inside an edit begun by
// begin_edit); false when memory ran out.
bool sync_titles(XlsxWorkbook* workbook) {
  XlsxPart* app = xlsx_package_app_properties(workbook->package);
  if (!app || !cache_ready(workbook)) return app == nullptr;
  uint32_t count = workbook->entry_count;
  const char** names = static_cast<const char**>(xlsx_malloc(2 * (count ? count : 1) * sizeof(const char*)));
  if (!names) return false;
  const char** charts = names + count;
  uint32_t worksheets = 0, chart_count = 0;
  for (uint32_t i = 0; i < count; i++) {
    uint32_t type = xlsx_rel_item_type(xlsx_rels_find_by_id(rels_of(workbook), workbook->entries[i].rel_id));
    if (type == XLSX_REL_WORKSHEET) names[worksheets++] = workbook->entries[i].name;
    if (type == XLSX_REL_CHARTSHEET) charts[chart_count++] = workbook->entries[i].name;
  }
  bool ok = xlsx_app_sync_titles(app, names, worksheets, charts, chart_count) == XLSX_OK;
  xlsx_free(names);
  return ok;
}

// Releases the names of the steps; returns status.
xlsx_status free_steps(AddSteps* s, xlsx_status status) {
  strbuf_free(&s->part_name);
  strbuf_free(&s->path);
  return status;
}

void undo_add(XlsxWorkbook* workbook, const AddSteps& s) {
  if (s.part) xlsx_package_remove_part(workbook->package, s.path.data);
  if (s.entry) xlsx_archive_delete_entry(xlsx_package_archive(workbook->package), s.path.data);
}

xlsx_status add_package_records(XlsxWorkbook* workbook, AddSteps* s) {
  XlsxPackage* package = workbook->package;
  xlsx_status status =
      xlsx_content_types_add(xlsx_package_content_types(package), s->part_name.data, XLSX_CT_WORKSHEET);
  if (status != XLSX_OK) return status;
  XlsxRelItem item = xlsx_rels_add(rels_of(workbook), XLSX_REL_WORKSHEET, s->target);
  if (!item.node) return xlsx_rels_root(rels_of(workbook)) ? XLSX_ERR_NO_MEMORY : XLSX_ERR_INTERNAL;
  xlsx_snprintf(s->rel_id, sizeof s->rel_id, "%s", xlsx_rel_item_id(item));
  status = xlsx_archive_put_entry(xlsx_package_archive(package), s->path.data, kDefaultWorksheet,
                                  static_cast<uint32_t>(sizeof kDefaultWorksheet - 1));
  if (status != XLSX_OK) return status;
  s->entry = true;
  if (!xlsx_package_add_part(package, s->path.data, s->rel_id, XLSX_CT_WORKSHEET)) return XLSX_ERR_NO_MEMORY;
  s->part = true;
  return XLSX_OK;
}

XmlNode* append_sheet_element(XmlNode* sheets, const char* name, uint32_t sheet_id, const char* rel_id) {
  XmlNode* last = nullptr;
  for (XmlNode* x = sheets->last_child; x && !last; x = x->previous_sibling)
    if (xml_node_is_element(x, "sheet")) last = x;
  XmlNode* sheet = last ? xml_node_insert_child_after(sheets, "sheet", last) : xml_node_append_child(sheets, "sheet");
  char id[32];
  xlsx_u64_to_text(sheet_id, id);
  // Some writers declare the relationships prefix on each `sheet` rather than on the root.
  XmlNode* root = xml_node_parent(sheets);
  bool declare = !xml_node_attribute(root, "xmlns:r");
  if (sheet && xml_node_set_attribute(sheet, "name", name) && xml_node_set_attribute(sheet, "sheetId", id) &&
      xml_node_set_attribute(sheet, "r:id", rel_id) && (!declare || xml_node_set_attribute(sheet, "xmlns:r", kRelationshipsNs)))
    return sheet;
  if (sheet) xml_node_remove_child(sheets, sheet);
  return nullptr;
}

// --- deleting

// Keeps activeTab and firstSheet of every workbook view on a sheet after the one at removed went.
bool fix_views_after_delete(XlsxWorkbook* workbook, uint32_t removed) {
  bool ok = true;
  uint32_t count = workbook->entry_count;  // after the deletion
  XmlNode* views = xml_node_child(root_of(workbook), "bookViews");
  for (XmlNode* v = xml_node_first_element(views); v; v = xml_node_next_element(v)) {
    XmlAttr* tab = xml_node_attribute(v, "activeTab");
    if (tab) {
      int64_t active = xml_attribute_as_i64(tab, 0);
      if (active > static_cast<int64_t>(removed)) active--;
      if (active >= static_cast<int64_t>(count)) active = count ? count - 1 : 0;
      // The active tab must be a visible sheet: the nearest one after, else before.
      uint32_t pick = static_cast<uint32_t>(active);
      while (pick < count && !visible_at(workbook, pick)) pick++;
      if (pick >= count) {
        pick = static_cast<uint32_t>(active);
        while (pick > 0 && !visible_at(workbook, pick)) pick--;
      }
      ok = set_number(v, "activeTab", pick) && ok;
    }
    XmlAttr* first = xml_node_attribute(v, "firstSheet");
    if (first) {
      int64_t value = xml_attribute_as_i64(first, 0);
      if (value > static_cast<int64_t>(removed)) value--;
      if (value >= static_cast<int64_t>(count)) value = count ? count - 1 : 0;
      ok = set_number(v, "firstSheet", value) && ok;
    }
  }
  return ok;
}

// Names of the records of a sheet being deleted: its package path, its part name and the path of its own
// relationships (xl/worksheets/_rels/sheetN.xml.rels).
struct DeletePaths {
  StrBuf path, part_name, rels_path;
};

void free_paths(DeletePaths* d) {
  strbuf_free(&d->path);
  strbuf_free(&d->part_name);
  strbuf_free(&d->rels_path);
}

// XLSX_ERR_NO_MEMORY (nothing made) when the names cannot be built. A relationship that names no part,
// or one the package holds (the workbook itself, say), leaves the names empty: then only the relationship
// and the sheet element go.
xlsx_status delete_paths(XlsxWorkbook* workbook, const char* rel_id, DeletePaths* d) {
  strbuf_init(&d->path);
  strbuf_init(&d->part_name);
  strbuf_init(&d->rels_path);
  xlsx_status status = sheet_path(workbook, rel_id, &d->path);
  if (status == XLSX_OK && xlsx_package_is_bound_part(workbook->package, d->path.data)) status = XLSX_ERR_NOT_FOUND;
  if (status == XLSX_ERR_NOT_FOUND) {
    strbuf_clear(&d->path);
    return XLSX_OK;
  }
  if (status == XLSX_OK) status = xlsx_package_part_name(d->path.data, &d->part_name);
  if (status == XLSX_OK) status = xlsx_rels_part_path(d->path.data, &d->rels_path);
  if (status == XLSX_OK) return XLSX_OK;
  free_paths(d);
  return XLSX_ERR_NO_MEMORY;
}

// The tree records of the sheet: its title, content type and relationship; XLSX_ERR_NO_MEMORY when a
// removal could not be made.
xlsx_status delete_tree_records(XlsxWorkbook* workbook, const char* rel_id, const DeletePaths& d) {
  XlsxContentTypes* types = xlsx_package_content_types(workbook->package);
  xlsx_status status = XLSX_OK;
  if (d.part_name.length && xlsx_content_types_find(types, d.part_name.data).node &&
      !xlsx_content_types_remove(types, d.part_name.data))
    status = XLSX_ERR_NO_MEMORY;
  if (status == XLSX_OK && xlsx_rels_find_by_id(rels_of(workbook), rel_id).node &&
      !xlsx_rels_remove_by_id(rels_of(workbook), rel_id))
    status = XLSX_ERR_NO_MEMORY;
  return status;
}

// The records outside the trees: the package entries and the part. Nothing here can fail.
void delete_package_records(XlsxWorkbook* workbook, const DeletePaths& d) {
  XlsxArchive* archive = xlsx_package_archive(workbook->package);
  if (!d.path.length) return;
  if (d.rels_path.length) {
    xlsx_archive_delete_entry(archive, d.rels_path.data);
    // A part opened on the sheet's relationships (for its hyperlinks) goes too, or a save would write it.
    xlsx_package_remove_part(workbook->package, d.rels_path.data);
  }
  xlsx_archive_delete_entry(archive, d.path.data);
  xlsx_package_remove_part(workbook->package, d.path.data);
}

// Stores the sheet's state and keeps the active tab on a visible sheet; false when memory ran out.
bool store_state(XlsxWorkbook* workbook, int32_t at, const char* state, bool hide) {
  XmlNode* element = workbook->entries[at].element;
  if (!state[0]) {
    if (xml_node_attribute(element, "state") && !xml_node_remove_attribute(element, "state")) return false;
  } else if (!xml_node_set_attribute(element, "state", state)) {
    return false;
  }
  XmlNode* view = first_view(workbook);
  if (view && !xml_node_attribute(view, "activeTab") && !set_number(view, "activeTab", 0)) return false;
  if (!hide || !view || active_tab(workbook) != at) return true;
  // The active sheet went out of sight: the last visible sheet becomes the active tab.
  int64_t last = 0;
  for (uint32_t i = 0; i < workbook->entry_count; i++)
    if (!is_hidden_state(attr(workbook->entries[i].element, "state"))) last = i;
  return set_number(view, "activeTab", last);
}

uint32_t visible_count(XlsxWorkbook* workbook, int32_t except) {
  uint32_t n = 0;
  for (uint32_t i = 0; i < workbook->entry_count; i++)
    if (static_cast<int32_t>(i) != except && visible_at(workbook, i)) n++;
  return n;
}

// --- worksheet-level forms

XlsxWorkbook* workbook_of(XlsxWorksheet* sheet) {
  return sheet ? sheet->workbook : nullptr;
}

// Relationship id of the sheet whose part is the worksheet's part.
const char* rel_id_of(XlsxWorksheet* sheet) {
  XlsxWorkbook* workbook = workbook_of(sheet);
  if (!sheet || !cache_ready(workbook)) return "";
  // The part's own relationship id names its sheet unless the file binds the part to several sheets.
  int32_t at = position_by(workbook, xlsx_part_rel_id(sheet->part), false);
  if (at >= 0 && resolve_part(workbook, &workbook->entries[at]) == sheet->part) return workbook->entries[at].rel_id;
  for (uint32_t i = 0; i < workbook->entry_count; i++)
    if (resolve_part(workbook, &workbook->entries[i]) == sheet->part) return workbook->entries[i].rel_id;
  return xlsx_part_rel_id(sheet->part);
}

}  // namespace

XlsxWorkbook* xlsx_workbook_new(XlsxPart* part, XlsxPackage* package, XlsxSharedStrings* shared_strings) {
  XlsxWorkbook* workbook = static_cast<XlsxWorkbook*>(xlsx_calloc(1, sizeof(XlsxWorkbook)));
  if (!workbook) return nullptr;
  workbook->part = part;
  workbook->package = package;
  workbook->shared_strings = shared_strings;
  return workbook;
}

void xlsx_workbook_free(XlsxWorkbook* workbook) {
  if (!workbook) return;
  xlsx_free(workbook->entries);
  xlsx_name_index_free(&workbook->names);
  xlsx_name_index_free(&workbook->rel_ids);
  xlsx_free(workbook);
}

xlsx_status xlsx_workbook_sheet_names(XlsxWorkbook* workbook, DynArray* names) {
  if (!workbook || !names) return XLSX_ERR_INVALID_ARG;
  if (!cache_ready(workbook)) return XLSX_ERR_NO_MEMORY;
  uint32_t start = names->count;
  for (uint32_t i = 0; i < workbook->entry_count; i++) {
    char* copy = xlsx_strdup(workbook->entries[i].name);
    if (!copy || !dynarray_push(names, &copy)) {
      xlsx_free(copy);
      while (names->count > start) {
        xlsx_free(*static_cast<char**>(dynarray_get(names, names->count - 1)));
        names->count--;
      }
      return XLSX_ERR_NO_MEMORY;
    }
  }
  return XLSX_OK;
}

uint32_t xlsx_workbook_sheet_count(XlsxWorkbook* workbook) { return count_of(workbook); }

uint32_t xlsx_workbook_worksheet_count(XlsxWorkbook* workbook) {
  uint32_t n = 0;
  for (uint32_t i = 0; i < count_of(workbook); i++)
    if (xlsx_workbook_is_worksheet(workbook, workbook->entries[i].rel_id)) n++;
  return n;
}

bool xlsx_workbook_is_worksheet(XlsxWorkbook* workbook, const char* rel_id) {
  if (!workbook || !rel_id) return false;
  return xlsx_rel_item_type(xlsx_rels_find_by_id(rels_of(workbook), rel_id)) == XLSX_REL_WORKSHEET;
}

uint32_t xlsx_workbook_sheet_index(XlsxWorkbook* workbook, const char* name) {
  return static_cast<uint32_t>(position_by(workbook, name, true) + 1);
}

bool xlsx_workbook_sheet_exists(XlsxWorkbook* workbook, const char* name) {
  return position_by(workbook, name, true) >= 0;
}

const char* xlsx_workbook_sheet_name(XlsxWorkbook* workbook, const char* rel_id) {
  int32_t at = position_by(workbook, rel_id, false);
  return at < 0 ? "" : workbook->entries[at].name;
}

const char* xlsx_workbook_sheet_name_at(XlsxWorkbook* workbook, uint32_t position) {
  if (position < 1 || position > count_of(workbook)) return "";
  return workbook->entries[position - 1].name;
}

const char* xlsx_workbook_sheet_rid(XlsxWorkbook* workbook, const char* name) {
  int32_t at = position_by(workbook, name, true);
  return at < 0 ? "" : workbook->entries[at].rel_id;
}

const char* xlsx_workbook_sheet_state(XlsxWorkbook* workbook, const char* rel_id) {
  int32_t at = position_by(workbook, rel_id, false);
  return at < 0 ? "" : attr(workbook->entries[at].element, "state");
}

uint32_t xlsx_workbook_next_sheet_id(XlsxWorkbook* workbook) {
  if (!workbook) return 0;
  uint64_t largest = 0;
  XmlNode* sheets = sheets_of(workbook);
  for (XmlNode* x = sheets ? sheets->first_child : nullptr; x; x = x->next_sibling) {
    if (x->type != XML_NODE_ELEMENT) continue;
    uint64_t id = xml_attribute_as_u64(xml_node_attribute(x, "sheetId"), 0);
    if (id > largest) largest = id;
  }
  return largest >= 0xFFFFFFFFu ? 0xFFFFFFFFu : static_cast<uint32_t>(largest + 1);
}

xlsx_status xlsx_workbook_worksheet(XlsxWorkbook* workbook, const char* name, XlsxWorksheet* out) {
  if (!workbook || !name || !out) return XLSX_ERR_INVALID_ARG;
  int32_t at = position_by(workbook, name, true);
  if (at < 0) return workbook->cache_valid ? XLSX_ERR_NOT_FOUND : XLSX_ERR_NO_MEMORY;
  return open_entry(workbook, static_cast<uint32_t>(at), out);
}

xlsx_status xlsx_workbook_worksheet_at(XlsxWorkbook* workbook, uint32_t position, XlsxWorksheet* out) {
  if (!workbook || !out) return XLSX_ERR_INVALID_ARG;
  if (!cache_ready(workbook)) return XLSX_ERR_NO_MEMORY;
  if (position < 1 || position > workbook->entry_count) return XLSX_ERR_NOT_FOUND;
  return open_entry(workbook, position - 1, out);
}

xlsx_status xlsx_workbook_add_sheet(XlsxWorkbook* workbook, const char* name) {
  if (!workbook || !xlsx_sheet_name_is_valid(name)) return XLSX_ERR_INVALID_ARG;
  if (!cache_ready(workbook)) return XLSX_ERR_NO_MEMORY;
  if (name_holder(workbook, name) >= 0) return XLSX_ERR_INVALID_ARG;
  XmlNode* sheets = sheets_of(workbook);
  if (!sheets) return XLSX_ERR_INTERNAL;
  uint32_t sheet_id = xlsx_workbook_next_sheet_id(workbook);
  AddSteps s = {};
  XlsxPartsEdit edit;
  xlsx_status status = name_free_sheet(workbook, sheet_id, &s);
  if (status == XLSX_OK) status = begin_edit(workbook, &edit, true);
  if (status != XLSX_OK) return free_steps(&s, status);
  status = add_package_records(workbook, &s);
  if (status == XLSX_OK && !append_sheet_element(sheets, name, sheet_id, s.rel_id)) status = XLSX_ERR_NO_MEMORY;
  if (status == XLSX_OK && !sync_titles(workbook)) status = XLSX_ERR_NO_MEMORY;
  if (status != XLSX_OK) undo_add(workbook, s);
  return free_steps(&s, xlsx_parts_edit_end(&edit, status));
}

xlsx_status xlsx_workbook_delete_sheet(XlsxWorkbook* workbook, const char* name) {
  if (!workbook || !name) return XLSX_ERR_INVALID_ARG;
  if (!cache_ready(workbook)) return XLSX_ERR_NO_MEMORY;
  int32_t at = position_by(workbook, name, true);
  if (at < 0) return XLSX_ERR_NOT_FOUND;
  XmlNode* element = workbook->entries[at].element;
  const char* rel_id = workbook->entries[at].rel_id;
  if (xlsx_workbook_is_worksheet(workbook, rel_id) && xlsx_workbook_worksheet_count(workbook) == 1)
    return XLSX_ERR_INVALID_ARG;
  if (visible_at(workbook, static_cast<uint32_t>(at)) && visible_count(workbook, at) == 0) return XLSX_ERR_INVALID_ARG;
  DeletePaths paths;
  xlsx_status status = delete_paths(workbook, rel_id, &paths);
  if (status != XLSX_OK) return status;
  XlsxPartsEdit edit;
  status = begin_edit(workbook, &edit, true);
  if (status == XLSX_OK) status = delete_tree_records(workbook, rel_id, paths);
  if (status == XLSX_OK && !xml_node_remove_child(xml_node_parent(element), element)) status = XLSX_ERR_NO_MEMORY;
  uint32_t removed = static_cast<uint32_t>(at);
  if (status == XLSX_OK && !remap_local_names(workbook, [removed](int64_t p) -> int64_t {
        return p == removed ? -1 : p > removed ? p - 1 : p;
      }))
    status = XLSX_ERR_NO_MEMORY;
  if (status == XLSX_OK && !(cache_ready(workbook) && fix_views_after_delete(workbook, removed)))
    status = XLSX_ERR_NO_MEMORY;
  if (status == XLSX_OK && !sync_titles(workbook)) status = XLSX_ERR_NO_MEMORY;
  if (xlsx_parts_edit_end(&edit, status) == XLSX_OK) delete_package_records(workbook, paths);
  free_paths(&paths);
  return status;
}

xlsx_status xlsx_workbook_move_sheet(XlsxWorkbook* workbook, const char* name, int32_t position) {
  if (!workbook || !name) return XLSX_ERR_INVALID_ARG;
  if (!cache_ready(workbook)) return XLSX_ERR_NO_MEMORY;
  int32_t from = position_by(workbook, name, true);
  if (from < 0) return XLSX_ERR_NOT_FOUND;
  int32_t count = static_cast<int32_t>(workbook->entry_count);
  int32_t to = position <= 1 ? 0 : position >= count ? count - 1 : position - 1;
  if (to == from) return XLSX_OK;
  XmlNode* moving = workbook->entries[from].element;
  XmlNode* target = workbook->entries[to].element;
  XmlNode* sheets = xml_node_parent(moving);
  XlsxPartsEdit edit;
  xlsx_status status = begin_edit(workbook, &edit, false);
  if (status != XLSX_OK) return status;
  bool ok = from < to ? xml_node_insert_move_after(sheets, moving, target) != nullptr
                      : xml_node_insert_move_before(sheets, moving, target) != nullptr;
  auto follow = [from, to](int64_t p) -> int64_t {
    if (p == from) return to;
    if (from < to && p > from && p <= to) return p - 1;
    if (from > to && p >= to && p < from) return p + 1;
    return p;
  };
  ok = ok && remap_local_names(workbook, follow);
  // The active tab stays on its sheet, also when it is the first one (no activeTab attribute).
  XmlNode* view = first_view(workbook);
  int64_t active = active_tab(workbook);
  if (ok && view && follow(active) != active) ok = set_number(view, "activeTab", follow(active));
  ok = ok && sync_titles(workbook);
  return xlsx_parts_edit_end(&edit, ok ? XLSX_OK : XLSX_ERR_NO_MEMORY);
}

xlsx_status xlsx_workbook_rename_sheet(XlsxWorkbook* workbook, const char* rel_id, const char* name) {
  if (!workbook || !rel_id || !name) return XLSX_ERR_INVALID_ARG;
  if (!cache_ready(workbook)) return XLSX_ERR_NO_MEMORY;
  int32_t at = position_by(workbook, rel_id, false);
  if (at < 0) return XLSX_ERR_NOT_FOUND;
  if (!xlsx_sheet_name_is_valid(name)) return XLSX_ERR_INVALID_ARG;
  int32_t holder = name_holder(workbook, name);
  if (holder >= 0 && holder != at) return XLSX_ERR_INVALID_ARG;
  XmlNode* element = workbook->entries[at].element;
  char* old_name = xlsx_strdup(workbook->entries[at].name);
  if (!old_name) return XLSX_ERR_NO_MEMORY;
  XlsxPartsEdit edit;
  xlsx_status status = begin_edit(workbook, &edit, true);
  if (status == XLSX_OK && !xml_node_set_attribute(element, "name", name)) status = XLSX_ERR_NO_MEMORY;
  if (status == XLSX_OK && !rename_in_defined_names(workbook, old_name, name)) status = XLSX_ERR_NO_MEMORY;
  if (status == XLSX_OK && !sync_titles(workbook)) status = XLSX_ERR_NO_MEMORY;
  xlsx_free(old_name);
  return xlsx_parts_edit_end(&edit, status);
}

xlsx_status xlsx_workbook_set_sheet_state(XlsxWorkbook* workbook, const char* rel_id, const char* state) {
  if (!workbook || !rel_id || !state) return XLSX_ERR_INVALID_ARG;
  bool hide = is_hidden_state(state);
  if (!hide && state[0] && !xlsx_str_equal(state, "visible")) return XLSX_ERR_INVALID_ARG;
  if (!cache_ready(workbook)) return XLSX_ERR_NO_MEMORY;
  int32_t at = position_by(workbook, rel_id, false);
  if (at < 0) return XLSX_ERR_NOT_FOUND;
  if (hide && visible_count(workbook, at) == 0) return XLSX_ERR_INVALID_ARG;
  XlsxPartsEdit edit;
  xlsx_status status = begin_edit(workbook, &edit, false);
  if (status != XLSX_OK) return status;
  return xlsx_parts_edit_end(&edit, store_state(workbook, at, state, hide) ? XLSX_OK : XLSX_ERR_NO_MEMORY);
}

xlsx_status xlsx_workbook_set_active(XlsxWorkbook* workbook, const char* rel_id) {
  if (!workbook || !rel_id) return XLSX_ERR_INVALID_ARG;
  if (!cache_ready(workbook)) return XLSX_ERR_NO_MEMORY;
  int32_t at = position_by(workbook, rel_id, false);
  if (at < 0) return XLSX_ERR_NOT_FOUND;
  if (!visible_at(workbook, static_cast<uint32_t>(at))) return XLSX_ERR_INVALID_ARG;
  XmlNode* view = first_view(workbook);
  XlsxPartsEdit edit;
  xlsx_status status = begin_edit(workbook, &edit, false);
  if (status != XLSX_OK) return status;
  bool ok = !view || (at == 0 ? !xml_node_attribute(view, "activeTab") || xml_node_remove_attribute(view, "activeTab")
                              : set_number(view, "activeTab", at));
  return xlsx_parts_edit_end(&edit, ok ? XLSX_OK : XLSX_ERR_NO_MEMORY);
}

xlsx_status xlsx_workbook_request_recalc(XlsxWorkbook* workbook) {
  if (!workbook) return XLSX_ERR_INVALID_ARG;
  xlsx_part_load(workbook->part);
  XmlNode* root = root_of(workbook);
  if (!root) return XLSX_OK;
  XmlNode* calc = xml_node_child(root, "calcPr");
  if (xlsx_str_equal(attr(calc, "fullCalcOnLoad"), "1")) return XLSX_OK;
  XlsxPartsEdit edit;
  xlsx_status status = begin_edit(workbook, &edit, false);
  if (status != XLSX_OK) return status;
  if (!calc) {
    // calcPr follows the sheet list and the defined names in the workbook's element order.
    XmlNode* after = nullptr;
    for (const char* name : {"sheets", "functionGroups", "externalReferences", "definedNames"})
      if (XmlNode* x = xml_node_child(root, name)) after = x;
    // A workbook without a sheet list has no place for it (nor formulas to compute).
    if (!after) return xlsx_parts_edit_end(&edit, XLSX_OK);
    calc = xml_node_insert_child_after(root, "calcPr", after);
  }
  bool ok = calc && xml_node_set_attribute(calc, "fullCalcOnLoad", "1");
  return xlsx_parts_edit_end(&edit, ok ? XLSX_OK : XLSX_ERR_NO_MEMORY);
}

bool xlsx_workbook_is_active(XlsxWorkbook* workbook, const char* rel_id) {
  int32_t at = position_by(workbook, rel_id, false);
  return at >= 0 && active_tab(workbook) == at;
}

xlsx_status xlsx_worksheet_set_active(XlsxWorksheet* sheet) {
  XlsxWorkbook* workbook = workbook_of(sheet);
  return workbook ? xlsx_workbook_set_active(workbook, rel_id_of(sheet)) : XLSX_ERR_INTERNAL;
}

bool xlsx_worksheet_is_active(XlsxWorksheet* sheet) { return xlsx_workbook_is_active(workbook_of(sheet), rel_id_of(sheet)); }

xlsx_status xlsx_worksheet_set_state(XlsxWorksheet* sheet, const char* state) {
  XlsxWorkbook* workbook = workbook_of(sheet);
  return workbook ? xlsx_workbook_set_sheet_state(workbook, rel_id_of(sheet), state) : XLSX_ERR_INTERNAL;
}

const char* xlsx_worksheet_state(XlsxWorksheet* sheet) {
  return xlsx_workbook_sheet_state(workbook_of(sheet), rel_id_of(sheet));
}

xlsx_status xlsx_worksheet_rename(XlsxWorksheet* sheet, const char* name) {
  XlsxWorkbook* workbook = workbook_of(sheet);
  return workbook ? xlsx_workbook_rename_sheet(workbook, rel_id_of(sheet), name) : XLSX_ERR_INTERNAL;
}

const char* xlsx_worksheet_name(XlsxWorksheet* sheet) {
  return xlsx_workbook_sheet_name(workbook_of(sheet), rel_id_of(sheet));
}

uint32_t xlsx_worksheet_index(XlsxWorksheet* sheet) {
  return static_cast<uint32_t>(position_by(workbook_of(sheet), rel_id_of(sheet), false) + 1);
}

xlsx_status xlsx_worksheet_move(XlsxWorksheet* sheet, int32_t position) {
  XlsxWorkbook* workbook = workbook_of(sheet);
  return workbook ? xlsx_workbook_move_sheet(workbook, xlsx_worksheet_name(sheet), position) : XLSX_ERR_INTERNAL;
}

// Relationship parts: lookups by id, target and type, and additions with the next free "rId<n>".
#include "lib/package/relationships.h"

#include <cstring>

#include "lib/base/alloc.h"
#include "lib/base/convert.h"
#include "lib/base/host_ops.h"
#include "lib/base/name_index.h"
#include "lib/package/part.h"

namespace {

// Lookups scan in this order.
const XlsxCodeText kRelTypes[] = {
    {1, "http://schemas.openxmlformats.org/officeDocument/2006/relationships/extended-properties"},
    {2, "http://schemas.openxmlformats.org/officeDocument/2006/relationships/custom-properties"},
    {3, "http://schemas.openxmlformats.org/officeDocument/2006/relationships/officeDocument"},
    {0, "http://schemas.openxmlformats.org/package/2006/relationships/metadata/core-properties"},
    {4, "http://schemas.openxmlformats.org/officeDocument/2006/relationships/worksheet"},
    {12, "http://schemas.openxmlformats.org/officeDocument/2006/relationships/styles"},
    {19, "http://schemas.openxmlformats.org/officeDocument/2006/relationships/sharedStrings"},
    {8, "http://schemas.openxmlformats.org/officeDocument/2006/relationships/calcChain"},
    {21, "http://schemas.microsoft.com/office/2006/relationships/vbaProject"},
    {9, "http://schemas.openxmlformats.org/officeDocument/2006/relationships/externalLink"},
    {11, "http://schemas.openxmlformats.org/officeDocument/2006/relationships/theme"},
    {5, "http://schemas.openxmlformats.org/officeDocument/2006/relationships/chartsheet"},
    {14, "http://schemas.microsoft.com/office/2011/relationships/chartStyle"},
    {15, "http://schemas.microsoft.com/office/2011/relationships/chartColorStyle"},
    {17, "http://schemas.openxmlformats.org/officeDocument/2006/relationships/drawing"},
    {16, "http://schemas.openxmlformats.org/officeDocument/2006/relationships/image"},
    {13, "http://schemas.openxmlformats.org/officeDocument/2006/relationships/chart"},
    {10, "http://schemas.openxmlformats.org/officeDocument/2006/relationships/externalLinkPath"},
    {20, "http://schemas.openxmlformats.org/officeDocument/2006/relationships/printerSettings"},
    {18, "http://schemas.openxmlformats.org/officeDocument/2006/relationships/vmlDrawing"},
    {22, "http://schemas.openxmlformats.org/officeDocument/2006/relationships/ctrlProp"},
};

// Lookups by Id and by Target go through an index of the part's relationships, attached to the part and
// built again whenever the tree changed: opening a package with many sheets looks up one relationship
// per part, and every sheet command looks up the sheet's.
struct RelsIndex {
  const XmlDoc* doc;    // the tree the index was built from
  uint32_t generation;  // and its generation then
  XmlNode** items;      // the element children of the root, in order
  uint32_t count;
  uint32_t capacity;
  XlsxNameIndex ids;
  XlsxNameIndex targets;
};

// Value of the attribute of an item; "" when absent (lookups of "" scan instead).
const char* item_attribute(const void* index, uint32_t position, const char* name) {
  return xml_attribute_value(xml_node_attribute(static_cast<const RelsIndex*>(index)->items[position], name));
}

const char* id_at(const void* index, uint32_t position) { return item_attribute(index, position, "Id"); }

const char* target_at(const void* index, uint32_t position) { return item_attribute(index, position, "Target"); }

void rels_index_free(void* extra) {
  RelsIndex* index = static_cast<RelsIndex*>(extra);
  xlsx_free(index->items);
  xlsx_name_index_free(&index->ids);
  xlsx_name_index_free(&index->targets);
  xlsx_free(index);
}

// The part's index, in step with its tree; null when it cannot be had (no part, no root, no memory).
RelsIndex* ready_index(const XlsxRelationships* rels) {
  XmlNode* root = xlsx_rels_root(rels);
  if (!root) return nullptr;
  XlsxPart* part = rels->part;
  // A part that carries another attachment (a file may name its relationships part as a sheet) is
  // searched without an index.
  if (part->extra && part->extra_free != rels_index_free) return nullptr;
  RelsIndex* index = static_cast<RelsIndex*>(xlsx_part_extra(part));
  if (index && index->doc == part->xml && index->generation == part->xml->generation) return index;
  if (!index) {
    index = static_cast<RelsIndex*>(xlsx_calloc(1, sizeof(RelsIndex)));
    if (!index) return nullptr;
    xlsx_part_set_extra(part, index, rels_index_free);
  }
  index->doc = nullptr;
  index->count = 0;
  for (XmlNode* n = xml_node_first_element(root); n; n = xml_node_next_element(n)) {
    if (xlsx_grow_array(&index->items, &index->capacity, index->count + 1, 16) != XLSX_OK) return nullptr;
    index->items[index->count++] = n;
  }
  if (xlsx_name_index_build(&index->ids, index->count, id_at, index) != XLSX_OK ||
      xlsx_name_index_build(&index->targets, index->count, target_at, index) != XLSX_OK)
    return nullptr;
  index->doc = part->xml;
  index->generation = part->xml->generation;
  return index;
}

// First element child of the root whose attribute equals value.
XmlNode* find_by_attribute(const XlsxRelationships* rels, const char* attribute, const char* value) {
  bool by_id = value && value[0] && strcmp(attribute, "Id") == 0;
  bool by_target = value && value[0] && strcmp(attribute, "Target") == 0;
  RelsIndex* index = by_id || by_target ? ready_index(rels) : nullptr;
  if (index) {
    uint32_t at = xlsx_name_index_find(by_id ? &index->ids : &index->targets, value, by_id ? id_at : target_at, index);
    return at == XLSX_NO_POSITION ? nullptr : index->items[at];
  }
  return xml_node_find_child_by_attribute(xlsx_rels_root(rels), nullptr, attribute, value);
}

// Largest number after the first three characters of any child's Id ("rId7" -> 7); 0 when none.
int32_t highest_id(XmlNode* root) {
  int32_t highest = 0;
  const XlsxHostOps* ops = xlsx_host_ops();
  for (XmlNode* n = xml_node_first_child(root); n; n = xml_node_next_sibling(n)) {
    const char* id = xml_attribute_value(xml_node_attribute(n, "Id"));
    if (strlen(id) <= 3) continue;
    int32_t number = ops->text_to_long(id + 3, nullptr, 10);
    if (number > highest) highest = number;
  }
  return highest;
}

bool set_attributes(XmlNode* item, const char* id, const char* uri, const char* target, bool external) {
  return xml_node_set_attribute(item, "Id", id) && xml_node_set_attribute(item, "Type", uri) &&
         xml_node_set_attribute(item, "Target", target ? target : "") &&
         (!external || xml_node_set_attribute(item, "TargetMode", "External"));
}

XlsxRelItem add_item(const XlsxRelationships* rels, const char* uri, const char* target, bool external) {
  XmlNode* root = xlsx_rels_root(rels);
  if (!uri || !root) return XlsxRelItem{nullptr};
  char id[32];
  xlsx_snprintf(id, sizeof(id), "rId%u", unsigned(uint32_t(highest_id(root)) + 1u));
  XmlNode* item = xml_node_append_child(root, "Relationship");
  if (!item) return XlsxRelItem{nullptr};
  if (!set_attributes(item, id, uri, target, external)) {
    xml_node_remove_child(root, item);
    return XlsxRelItem{nullptr};
  }
  return XlsxRelItem{item};
}

}  // namespace

const char XLSX_REL_HYPERLINK_URI[] = "http://schemas.openxmlformats.org/officeDocument/2006/relationships/hyperlink";
const char XLSX_EMPTY_RELATIONSHIPS[] =
    "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n"
    "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\"/>";

const char* xlsx_rel_type_uri(uint32_t code) {
  return xlsx_code_text(kRelTypes, uint32_t(sizeof kRelTypes / sizeof kRelTypes[0]), code);
}

uint32_t xlsx_rel_type_code(const char* uri) {
  return xlsx_text_code(kRelTypes, uint32_t(sizeof kRelTypes / sizeof kRelTypes[0]), uri, XLSX_REL_NONE);
}

XmlNode* xlsx_rels_root(const XlsxRelationships* rels) { return rels ? xlsx_part_root(rels->part) : nullptr; }

xlsx_status xlsx_rels_prepare(const XlsxRelationships* rels) {
  if (!xlsx_rels_root(rels)) return XLSX_OK;
  return ready_index(rels) ? XLSX_OK : XLSX_ERR_NO_MEMORY;
}

XlsxRelItem xlsx_rels_find_by_id(const XlsxRelationships* rels, const char* id) {
  return XlsxRelItem{find_by_attribute(rels, "Id", id)};
}

XlsxRelItem xlsx_rels_find_by_target(const XlsxRelationships* rels, const char* target) {
  return XlsxRelItem{find_by_attribute(rels, "Target", target)};
}

XlsxRelItem xlsx_rels_find_by_type(const XlsxRelationships* rels, uint32_t code) {
  return XlsxRelItem{find_by_attribute(rels, "Type", xlsx_rel_type_uri(code))};
}

const char* xlsx_rel_item_id(XlsxRelItem item) { return xml_attribute_value(xml_node_attribute(item.node, "Id")); }

const char* xlsx_rel_item_target(XlsxRelItem item) {
  return xml_attribute_value(xml_node_attribute(item.node, "Target"));
}

uint32_t xlsx_rel_item_type(XlsxRelItem item) {
  XmlAttr* attr = xml_node_attribute(item.node, "Type");
  return attr ? xlsx_rel_type_code(xml_attribute_value(attr)) : XLSX_REL_NONE;
}

XlsxRelItem xlsx_rels_add(const XlsxRelationships* rels, uint32_t code, const char* target) {
  return add_item(rels, xlsx_rel_type_uri(code), target, code == XLSX_REL_EXTERNAL_LINK_PATH);
}

XlsxRelItem xlsx_rels_add_external(const XlsxRelationships* rels, const char* uri, const char* target) {
  return add_item(rels, uri, target, true);
}

int xlsx_rels_remove_by_id(const XlsxRelationships* rels, const char* id) {
  XmlNode* n = find_by_attribute(rels, "Id", id);
  return n && xml_node_remove_child(xml_node_parent(n), n) ? 1 : 0;
}

xlsx_status xlsx_rels_resolve_target(const char* source, const char* target, StrBuf* out) {
  if (!source || !target || !out) return XLSX_ERR_INVALID_ARG;
  strbuf_clear(out);
  const char* p = target;
  const char* slash = std::strrchr(source, '/');
  if (*p == '/') p++;
  else if (slash && strbuf_append_bytes(out, source, uint32_t(slash - source)) != XLSX_OK) return XLSX_ERR_NO_MEMORY;
  // One segment at a time: out holds the folders (and at the end the name) without a leading "/".
  for (;;) {
    size_t n = std::strcspn(p, "/");
    bool dot = n == 1 && p[0] == '.', dots = n == 2 && p[0] == '.' && p[1] == '.';
    if (n == 0 || ((dot || dots) && p[n] == '\0')) return XLSX_ERR_NOT_FOUND;
    if (dots) {
      if (!out->length) return XLSX_ERR_NOT_FOUND;
      const char* up = std::strrchr(out->data, '/');
      out->length = up ? uint32_t(up - out->data) : 0;
      out->data[out->length] = '\0';
    } else if (!dot) {
      if ((out->length && strbuf_putc(out, '/') != XLSX_OK) || strbuf_append_bytes(out, p, uint32_t(n)) != XLSX_OK)
        return XLSX_ERR_NO_MEMORY;
    }
    if (p[n] == '\0') return XLSX_OK;
    p += n + 1;
  }
}

xlsx_status xlsx_rels_part_path(const char* path, StrBuf* out) {
  if (!path || !out) return XLSX_ERR_INVALID_ARG;
  const char* slash = std::strrchr(path, '/');
  uint32_t folder = slash ? uint32_t(slash - path + 1) : 0;
  return strbuf_set_bytes(out, path, folder) == XLSX_OK && strbuf_appendf(out, "_rels/%s.rels", path + folder) >= 0
             ? XLSX_OK
             : XLSX_ERR_NO_MEMORY;
}

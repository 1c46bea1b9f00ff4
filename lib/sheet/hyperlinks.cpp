// Hyperlinks of a worksheet's cells and their relationships.
#include "lib/sheet/hyperlinks.h"

#include <cstring>

#include "lib/base/alloc.h"
#include "lib/base/convert.h"
#include "lib/package/archive.h"
#include "lib/package/package.h"
#include "lib/package/relationships.h"
#include "lib/sheet/cell_area.h"
#include "lib/sheet/cellref.h"
#include "lib/sheet/sheet_children.h"

namespace {

constexpr const char kRelationshipsNs[] = "http://schemas.openxmlformats.org/officeDocument/2006/relationships";

const char* attr(const XmlNode* node, const char* name) { return xml_attribute_value(xml_node_attribute(node, name)); }

// The relationship id of a link: `r:id`, or an `id` under another prefix some writers choose.
const char* link_rel_id(const XmlNode* link) {
  for (XmlAttr* a = xml_node_first_attribute(link); a; a = xml_attribute_next(a)) {
    const char* colon = std::strchr(xml_attribute_name(a), ':');
    if (colon && std::strcmp(colon, ":id") == 0) return xml_attribute_value(a);
  }
  return "";
}

bool covers(const XmlNode* link, uint32_t row, uint32_t column) {
  XlsxCellArea area;
  return xml_node_is_element(link, "hyperlink") && xlsx_area_read(attr(link, "ref"), &area) &&
         xlsx_area_contains(&area, row, column);
}

// Whether a link of the list other than except uses the relationship id.
bool rel_shared(XmlNode* list, const XmlNode* except, const char* rel_id) {
  for (XmlNode* x = xml_node_first_element(list); x; x = xml_node_next_element(x))
    if (x != except && xlsx_str_equal(link_rel_id(x), rel_id)) return true;
  return false;
}

// The path of the sheet's relationships part ("xl/worksheets/_rels/sheet1.xml.rels") into buffer.
void rels_path_of(const XlsxPart* sheet_part, char* buffer, uint32_t size) {
  const char* path = sheet_part->path;
  const char* slash = std::strrchr(path, '/');
  int folder = slash ? static_cast<int>(slash - path + 1) : 0;
  xlsx_snprintf(buffer, size, "%.*s_rels/%s.rels", folder, path, path + folder);
}

// The sheet's relationships part: an existing one, else one made over an empty relationships entry
// (with create; *made then tells the caller to undo it should the edit fail). Null when there is none
// and create is false, or memory ran out.
XlsxPart* rels_part(XlsxWorksheet* sheet, bool create, bool* made) {
  *made = false;
  XlsxPackage* package = sheet->part->owner;
  char path[512];
  rels_path_of(sheet->part, path, sizeof path);
  XlsxPart* part = xlsx_package_find_part(package, path);
  if (part) return part;
  XlsxArchive* archive = xlsx_package_archive(package);
  bool stored = xlsx_archive_has_entry(archive, path);
  if (!stored && !create) return nullptr;
  if (!stored && xlsx_archive_put_entry(archive, path, XLSX_EMPTY_RELATIONSHIPS,
                                        static_cast<uint32_t>(std::strlen(XLSX_EMPTY_RELATIONSHIPS))) != XLSX_OK)
    return nullptr;
  part = xlsx_package_add_part(package, path, "", XLSX_CT_NONE);
  *made = !stored;
  if (!part && !stored) xlsx_archive_delete_entry(archive, path);
  return part;
}

void undo_rels_part(XlsxWorksheet* sheet) {
  char path[512];
  rels_path_of(sheet->part, path, sizeof path);
  xlsx_package_remove_part(sheet->part->owner, path);
  xlsx_archive_delete_entry(xlsx_package_archive(sheet->part->owner), path);
}

// Removes the links holding the cell and the relationships only they used; false when memory ran out.
bool remove_links(XmlNode* root, const XlsxRelationships* rels, uint32_t row, uint32_t column) {
  XmlNode* list = xml_node_child(root, "hyperlinks");
  bool ok = true;
  XmlNode* next = nullptr;
  for (XmlNode* x = xml_node_first_element(list); x && ok; x = next) {
    next = xml_node_next_element(x);
    if (!covers(x, row, column)) continue;
    const char* rel_id = link_rel_id(x);
    if (rel_id[0] && !rel_shared(list, x, rel_id) && xlsx_rels_find_by_id(rels, rel_id).node)
      ok = xlsx_rels_remove_by_id(rels, rel_id) == 1;
    ok = ok && xml_node_remove_child(list, x);
  }
  return ok && sheet_child_drop_if_empty(root, "hyperlinks");
}

// Adds the link; false when memory ran out.
bool add_link(XmlNode* root, const XlsxRelationships* rels, const char* ref, const char* target, const char* tooltip) {
  XmlNode* list = sheet_child(root, "hyperlinks", true);
  XmlNode* link = xml_node_append_child(list, "hyperlink");
  if (!link || !xml_node_set_attribute(link, "ref", ref)) return false;
  if (xlsx_hyperlink_is_external(target)) {
    XlsxRelItem item = xlsx_rels_add_external(rels, XLSX_REL_HYPERLINK_URI, target);
    // A root that does not declare the prefix gets it declared on the link.
    bool declare = !xml_node_has_attribute(root, "xmlns:r");
    if (!item.node || !xml_node_set_attribute(link, "r:id", xlsx_rel_item_id(item)) ||
        (declare && !xml_node_set_attribute(link, "xmlns:r", kRelationshipsNs)))
      return false;
  } else if (!xml_node_set_attribute(link, "location", target[0] == '#' ? target + 1 : target)) {
    return false;
  }
  return !tooltip || !tooltip[0] || xml_node_set_attribute(link, "tooltip", tooltip);
}

}  // namespace

bool xlsx_hyperlink_is_external(const char* target) {
  if (!target) return false;
  const char* p = target;
  auto letter = [](char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); };
  if (!letter(*p)) return false;
  while (letter(*p) || (*p >= '0' && *p <= '9') || *p == '+' || *p == '-' || *p == '.') p++;
  return *p == ':';
}

xlsx_status xlsx_sheet_set_hyperlink(XlsxWorksheet* sheet, uint32_t row, uint32_t column, const char* target,
                                     const char* tooltip) {
  if (!sheet || !sheet->part || !target || !target[0] || (target[0] == '#' && !target[1]) ||
      !xlsx_cellref_is_valid(row, column))
    return XLSX_ERR_INVALID_ARG;
  if (!sheet_edit_root(sheet)) return XLSX_ERR_INVALID_ARG;
  char ref[XLSX_CELLREF_TEXT_SIZE];
  xlsx_cellref_format(row, column, ref);
  bool made = false;
  XlsxPart* part = rels_part(sheet, xlsx_hyperlink_is_external(target), &made);
  XlsxRelationships rels{part};
  if (xlsx_hyperlink_is_external(target) && !part) return XLSX_ERR_NO_MEMORY;
  xlsx_status status = sheet_edit(sheet, part, [&](XmlNode* root) {
    return remove_links(root, &rels, row, column) && add_link(root, &rels, ref, target, tooltip);
  });
  if (status != XLSX_OK && made) undo_rels_part(sheet);
  return status;
}

bool xlsx_sheet_hyperlink(XlsxWorksheet* sheet, uint32_t row, uint32_t column, XlsxHyperlink* out) {
  if (!out) return false;
  *out = XlsxHyperlink{"", "", ""};
  XmlNode* link = nullptr;
  XmlNode* list = xml_node_child(sheet_edit_root(sheet), "hyperlinks");
  for (XmlNode* x = xml_node_first_element(list); x && !link; x = xml_node_next_element(x))
    if (covers(x, row, column)) link = x;
  if (!link) return false;
  const char* rel_id = link_rel_id(link);
  bool made = false;
  XlsxRelationships rels{rel_id[0] ? rels_part(sheet, false, &made) : nullptr};
  *out = XlsxHyperlink{xlsx_rel_item_target(xlsx_rels_find_by_id(&rels, rel_id)), attr(link, "location"),
                       attr(link, "tooltip")};
  return true;
}

xlsx_status xlsx_sheet_clear_hyperlink(XlsxWorksheet* sheet, uint32_t row, uint32_t column) {
  if (!sheet || !sheet->part) return XLSX_ERR_INVALID_ARG;
  bool made = false;
  XlsxPart* part = sheet_edit_root(sheet) ? rels_part(sheet, false, &made) : nullptr;
  XlsxRelationships rels{part};
  return sheet_edit(sheet, part, [&](XmlNode* root) { return remove_links(root, &rels, row, column); });
}

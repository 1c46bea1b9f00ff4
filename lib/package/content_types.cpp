// [Content_Types].xml: listing, finding, adding and removing Override elements.
#include "lib/package/content_types.h"

#include <cstring>

#include "lib/base/convert.h"
#include "lib/package/part.h"

namespace {

// Lookups scan in this order.
const XlsxCodeText kContentTypes[] = {
    {1, "application/vnd.ms-excel.Sheet.macroEnabled.main+xml"},
    {0, "application/vnd.openxmlformats-officedocument.spreadsheetml.sheet.main+xml"},
    {2, "application/vnd.openxmlformats-officedocument.spreadsheetml.worksheet+xml"},
    {3, "application/vnd.openxmlformats-officedocument.spreadsheetml.chartsheet+xml"},
    {4, "application/vnd.openxmlformats-officedocument.spreadsheetml.externalLink+xml"},
    {5, "application/vnd.openxmlformats-officedocument.theme+xml"},
    {6, "application/vnd.openxmlformats-officedocument.spreadsheetml.styles+xml"},
    {7, "application/vnd.openxmlformats-officedocument.spreadsheetml.sharedStrings+xml"},
    {8, "application/vnd.openxmlformats-officedocument.drawing+xml"},
    {9, "application/vnd.openxmlformats-officedocument.drawingml.chart+xml"},
    {10, "application/vnd.ms-office.chartstyle+xml"},
    {11, "application/vnd.ms-office.chartcolorstyle+xml"},
    {12, "application/vnd.ms-excel.controlproperties+xml"},
    {13, "application/vnd.openxmlformats-officedocument.spreadsheetml.calcChain+xml"},
    {14, "application/vnd.ms-office.vbaProject"},
    {15, "application/vnd.openxmlformats-package.core-properties+xml"},
    {16, "application/vnd.openxmlformats-officedocument.extended-properties+xml"},
    {17, "application/vnd.openxmlformats-officedocument.custom-properties+xml"},
    {18, "application/vnd.openxmlformats-officedocument.spreadsheetml.comments+xml"},
    {19, "application/vnd.openxmlformats-officedocument.spreadsheetml.table+xml"},
    {20, "application/vnd.openxmlformats-officedocument.vmlDrawing"},
};

// First element child of the root whose PartName equals part_name.
XmlNode* find_by_part_name(const XlsxContentTypes* types, const char* part_name) {
  return xml_node_find_child_by_attribute(xlsx_content_types_root(types), nullptr, "PartName", part_name);
}

}  // namespace

const char* xlsx_content_type_text(uint32_t code) {
  return xlsx_code_text(kContentTypes, uint32_t(sizeof kContentTypes / sizeof kContentTypes[0]), code);
}

uint32_t xlsx_content_type_code(const char* text) {
  return xlsx_text_code(kContentTypes, uint32_t(sizeof kContentTypes / sizeof kContentTypes[0]), text, XLSX_CT_NONE);
}

XmlNode* xlsx_content_types_root(const XlsxContentTypes* types) {
  return types ? xlsx_part_root(types->part) : nullptr;
}

xlsx_status xlsx_content_types_list(const XlsxContentTypes* types, DynArray* list) {
  if (!list) return XLSX_ERR_INVALID_ARG;
  uint32_t before = list->count;
  for (XmlNode* n = xml_node_first_element(xlsx_content_types_root(types)); n;
       n = xml_node_next_element(n)) {
    if (strcmp(xml_node_name(n), "Override") != 0) continue;
    XlsxContentItem item = {n};
    if (!dynarray_push(list, &item)) {
      while (list->count > before) dynarray_pop(list);
      return XLSX_ERR_NO_MEMORY;
    }
  }
  return XLSX_OK;
}

XlsxContentItem xlsx_content_types_find(const XlsxContentTypes* types, const char* part_name) {
  XmlNode* n = find_by_part_name(types, part_name);
  return XlsxContentItem{n && strcmp(xml_node_name(n), "Override") == 0 ? n : nullptr};
}

xlsx_status xlsx_content_types_add(const XlsxContentTypes* types, const char* part_name, uint32_t code) {
  const char* text = xlsx_content_type_text(code);
  XmlNode* root = xlsx_content_types_root(types);
  if (!text || !root) return XLSX_OK;
  XmlNode* item = xml_node_append_child(root, "Override");
  if (!item) return XLSX_ERR_NO_MEMORY;
  if (!xml_node_set_attribute(item, "PartName", part_name ? part_name : "") ||
      !xml_node_set_attribute(item, "ContentType", text)) {
    xml_node_remove_child(root, item);
    return XLSX_ERR_NO_MEMORY;
  }
  return XLSX_OK;
}

int xlsx_content_types_remove(const XlsxContentTypes* types, const char* part_name) {
  XmlNode* n = find_by_part_name(types, part_name);
  return n && xml_node_remove_child(xml_node_parent(n), n) ? 1 : 0;
}

const char* xlsx_content_item_part_name(XlsxContentItem item) {
  return xml_attribute_value(xml_node_attribute(item.node, "PartName"));
}

uint32_t xlsx_content_item_type(XlsxContentItem item) {
  if (!item.node) return XLSX_CT_NONE;
  XmlAttr* attr = xml_node_attribute(item.node, "ContentType");
  return attr ? xlsx_content_type_code(xml_attribute_value(attr)) : XLSX_CT_NONE;
}

// Merged cells of a worksheet.
#include "lib/sheet/merged_cells.h"

#include "lib/base/convert.h"
#include "lib/sheet/sheet_children.h"

namespace {

XmlNode* merge_list(XlsxWorksheet* sheet) { return xml_node_child(sheet_edit_root(sheet), "mergeCells"); }

// Every `mergeCell` of the list, in order: visit(element) until it returns false.
template <typename Visit>
void each_merge(XmlNode* list, Visit visit) {
  XmlNode* next = nullptr;
  for (XmlNode* x = xml_node_first_element(list); x; x = next) {
    next = xml_node_next_element(x);
    if (xml_node_is_element(x, "mergeCell") && !visit(x)) return;
  }
}

// The area of a `mergeCell`; false for a `ref` that names none (such an entry is kept as it is).
bool area_of(const XmlNode* merge, XlsxCellArea* out) {
  return xlsx_area_read(xml_attribute_value(xml_node_attribute(merge, "ref")), out);
}

// Writes the list's `count` from its entries; false when memory ran out.
bool store_count(XmlNode* list) {
  uint32_t count = 0;
  each_merge(list, [&count](XmlNode*) { return ++count != 0; });
  char text[24];
  xlsx_u64_to_text(count, text);
  return xml_node_set_attribute(list, "count", text) != nullptr;
}

}  // namespace

uint32_t xlsx_sheet_merged_count(XlsxWorksheet* sheet) {
  uint32_t count = 0;
  each_merge(merge_list(sheet), [&count](XmlNode*) { return ++count != 0; });
  return count;
}

const char* xlsx_sheet_merged_ref(XlsxWorksheet* sheet, uint32_t position) {
  const char* ref = "";
  uint32_t at = 0;
  each_merge(merge_list(sheet), [&](XmlNode* x) {
    if (++at != position) return true;
    ref = xml_attribute_value(xml_node_attribute(x, "ref"));
    return false;
  });
  return ref;
}

bool xlsx_sheet_merge_overlaps(XlsxWorksheet* sheet, const XlsxCellArea* area) {
  bool overlaps = false;
  if (!area) return false;
  each_merge(merge_list(sheet), [&](XmlNode* x) {
    XlsxCellArea other;
    overlaps = area_of(x, &other) && xlsx_area_overlaps(area, &other);
    return !overlaps;
  });
  return overlaps;
}

xlsx_status xlsx_sheet_merge(XlsxWorksheet* sheet, const XlsxCellArea* area) {
  if (!sheet || !area) return XLSX_ERR_INVALID_ARG;
  if (area->first_row == area->last_row && area->first_column == area->last_column) return XLSX_ERR_INVALID_ARG;
  if (xlsx_sheet_merge_overlaps(sheet, area)) return XLSX_ERR_INVALID_ARG;
  char ref[XLSX_AREA_TEXT_SIZE];
  xlsx_area_format(area, false, ref);
  return sheet_edit(sheet, nullptr, [&ref](XmlNode* root) {
    XmlNode* list = sheet_child(root, "mergeCells", true);
    XmlNode* merge = xml_node_append_child(list, "mergeCell");
    return merge && xml_node_set_attribute(merge, "ref", ref) && store_count(list);
  });
}

xlsx_status xlsx_sheet_unmerge(XlsxWorksheet* sheet, const XlsxCellArea* area) {
  if (!sheet || !area) return XLSX_ERR_INVALID_ARG;
  return sheet_edit(sheet, nullptr, [area](XmlNode* root) {
    XmlNode* list = xml_node_child(root, "mergeCells");
    bool ok = true;
    uint32_t removed = 0;
    each_merge(list, [&](XmlNode* x) {
      XlsxCellArea other;
      if (area_of(x, &other) && xlsx_area_overlaps(area, &other)) {
        ok = xml_node_remove_child(list, x);
        removed++;
      }
      return ok;
    });
    if (!ok || !removed) return ok;
    return xml_node_first_element(list) ? store_count(list) : sheet_child_drop_if_empty(root, "mergeCells");
  });
}

// A worksheet's filter and its hidden defined name.
#include "lib/sheet/autofilter.h"

#include <cstring>

#include "lib/base/alloc.h"
#include "lib/base/convert.h"
#include "lib/package/part.h"
#include "lib/sheet/sheet_children.h"
#include "lib/sheet/workbook.h"

namespace {

constexpr const char kFilterName[] = "_xlnm._FilterDatabase";

// The sheet's place in the workbook: its zero-based position as `localSheetId` text and the text of
// its defined name (prefix and absolute area).
struct FilterName {
  char local_id[24];
  char text[320];
};

// Fills name for the sheet; false when the sheet is not in its workbook's list.
bool filter_name(XlsxWorksheet* sheet, const XlsxCellArea* area, FilterName* name) {
  uint32_t position = xlsx_worksheet_index(sheet);
  if (position == 0) return false;
  xlsx_u64_to_text(position - 1, name->local_id);
  char prefix[256], cells[XLSX_AREA_TEXT_SIZE];
  xlsx_sheet_ref_prefix(xlsx_worksheet_name(sheet), prefix, sizeof prefix);
  xlsx_snprintf(name->text, sizeof name->text, "%s%s", prefix, area ? xlsx_area_format(area, true, cells) : "");
  return true;
}

XmlNode* workbook_root(XlsxWorksheet* sheet) { return xlsx_part_root(sheet->workbook->part); }

// The sheet's filter name among the workbook's defined names, or null.
XmlNode* find_name(XmlNode* names, const char* local_id) {
  for (XmlNode* x = xml_node_first_element(names); x; x = xml_node_next_element(x))
    if (xml_node_is_element(x, "definedName") && xlsx_str_equal(xml_attribute_value(xml_node_attribute(x, "name")), kFilterName) &&
        xlsx_str_equal(xml_attribute_value(xml_node_attribute(x, "localSheetId")), local_id))
      return x;
  return nullptr;
}

// `definedNames` of the workbook, made after the sheet list (and the elements that follow it) when missing.
XmlNode* defined_names(XmlNode* workbook) {
  XmlNode* names = xml_node_child(workbook, "definedNames");
  if (names) return names;
  XmlNode* after = xml_node_child(workbook, "externalReferences");
  if (!after) after = xml_node_child(workbook, "functionGroups");
  if (!after) after = xml_node_child(workbook, "sheets");
  return xml_node_insert_child_after(workbook, "definedNames", after);
}

bool store_name(XmlNode* workbook, const FilterName& name) {
  XmlNode* names = defined_names(workbook);
  XmlNode* entry = find_name(names, name.local_id);
  if (!entry) {
    entry = xml_node_append_child(names, "definedName");
    if (!entry || !xml_node_set_attribute(entry, "name", kFilterName) ||
        !xml_node_set_attribute(entry, "localSheetId", name.local_id) || !xml_node_set_attribute(entry, "hidden", "1"))
      return false;
  }
  return xml_node_set_text(entry, name.text);
}

bool drop_name(XmlNode* workbook, const FilterName& name) {
  XmlNode* names = xml_node_child(workbook, "definedNames");
  XmlNode* entry = find_name(names, name.local_id);
  if (entry && !xml_node_remove_child(names, entry)) return false;
  return xml_node_first_element(names) || !names || xml_node_remove_child(workbook, names);
}

// The filter itself; criteria of the old columns go when the area changes.
bool store_filter(XmlNode* root, const char* ref) {
  XmlNode* filter = sheet_child(root, "autoFilter", true);
  if (!filter) return false;
  if (!xlsx_str_equal(xml_attribute_value(xml_node_attribute(filter, "ref")), ref)) {
    xml_node_remove_children(filter);
    if (filter->first_child) return false;  // no room to journal the removals
  }
  return xml_node_set_attribute(filter, "ref", ref) != nullptr;
}

// Runs change(sheet root, workbook root, name) as one edit of the sheet and the workbook.
template <typename Change>
xlsx_status filter_edit(XlsxWorksheet* sheet, const XlsxCellArea* area, Change change) {
  if (!sheet) return XLSX_ERR_INVALID_ARG;
  if (!sheet->workbook || !sheet->workbook->part) return XLSX_ERR_INTERNAL;
  FilterName name;
  if (!filter_name(sheet, area, &name)) return XLSX_ERR_INTERNAL;
  return sheet_edit(sheet, sheet->workbook->part, [&](XmlNode* root) {
    XmlNode* workbook = workbook_root(sheet);
    return workbook && change(root, workbook, name);
  });
}

}  // namespace

xlsx_status xlsx_sheet_set_autofilter(XlsxWorksheet* sheet, const XlsxCellArea* area) {
  if (!area) return XLSX_ERR_INVALID_ARG;
  char ref[XLSX_AREA_TEXT_SIZE];
  xlsx_area_format(area, false, ref);
  return filter_edit(sheet, area, [&ref](XmlNode* root, XmlNode* workbook, const FilterName& name) {
    return store_filter(root, ref) && store_name(workbook, name);
  });
}

xlsx_status xlsx_sheet_clear_autofilter(XlsxWorksheet* sheet) {
  return filter_edit(sheet, nullptr, [](XmlNode* root, XmlNode* workbook, const FilterName& name) {
    XmlNode* filter = xml_node_child(root, "autoFilter");
    return (!filter || xml_node_remove_child(root, filter)) && drop_name(workbook, name);
  });
}

const char* xlsx_sheet_autofilter_ref(XlsxWorksheet* sheet) {
  return xml_attribute_value(xml_node_attribute(xml_node_child(sheet_edit_root(sheet), "autoFilter"), "ref"));
}

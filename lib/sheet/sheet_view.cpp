// Tab selection and tab colour of a worksheet.
#include "lib/sheet/sheet_view.h"

#include <cstring>

#include "lib/base/alloc.h"
#include "lib/package/part.h"
#include "lib/sheet/sheet_index.h"

namespace {

const XlsxColor kDefaultColor = {255, 0, 0, 0};

// Root of the worksheet tree (loaded), with its index in step so that edits here keep it valid.
XmlNode* sheet_root(XlsxWorksheet* sheet) {
  if (!sheet || !sheet->part) return nullptr;
  if (!sheet->index || sheet->index->part != sheet->part) sheet->index = sheet_index_of_part(sheet->part);
  if (!sheet_index_sync(sheet->index)) return nullptr;
  return xlsx_part_root(sheet->part);
}

XmlNode* first_view(const XmlNode* root) { return xml_node_child(xml_node_child(root, "sheetViews"), "sheetView"); }

// A `sheetViews` element at its place in the worksheet (after sheetPr and dimension).
XmlNode* ensure_views(XmlNode* root) {
  XmlNode* views = xml_node_child(root, "sheetViews");
  if (views) return views;
  XmlNode* before = xml_node_child(root, "dimension");
  if (!before) before = xml_node_child(root, "sheetPr");
  return before ? xml_node_insert_child_after(root, "sheetViews", before) : xml_node_prepend_child(root, "sheetViews");
}

// Selects the first view, made when missing; false when memory ran out (the edit is then taken back).
bool select_view(XmlNode* root) {
  XmlNode* views = ensure_views(root);
  XmlNode* view = xml_node_child(views, "sheetView");
  bool new_view = views && !view;
  if (new_view) view = xml_node_prepend_child(views, "sheetView");
  return view && xml_node_set_attribute(view, "tabSelected", "1") &&
         (!new_view || xml_node_set_attribute(view, "workbookViewId", "0"));
}

// Stores the colour text as the tab colour's only attribute; false when memory ran out.
bool store_tab_color(XmlNode* root, const char* text) {
  XmlNode* pr = xml_node_child(root, "sheetPr");
  if (!pr) pr = xml_node_prepend_child(root, "sheetPr");
  XmlNode* tab = xml_node_child(pr, "tabColor");
  if (pr && !tab) tab = xml_node_prepend_child(pr, "tabColor");
  if (!tab || !xml_node_set_attribute(tab, "rgb", text)) return false;
  // Only `rgb` stays: theme, tint and the like would override it.
  for (XmlAttr* a = xml_node_first_attribute(tab); a;) {
    XmlAttr* next = xml_attribute_next(a);
    if (std::strcmp(xml_attribute_name(a), "rgb") != 0 && !xml_node_remove_attribute(tab, xml_attribute_name(a))) return false;
    a = next;
  }
  return true;
}

// Runs store on the worksheet's root as one journaled edit (the failure rule).
template <typename Store>
xlsx_status edit_root(XlsxWorksheet* sheet, Store store) {
  XmlNode* root = sheet_root(sheet);
  if (!root) return XLSX_ERR_INVALID_ARG;
  if (!xml_document_begin_edit(root->document)) return XLSX_ERR_NO_MEMORY;
  bool ok = store(root);
  xml_document_end_edit(root->document, ok);
  sheet_index_commit(sheet->index);
  return ok ? XLSX_OK : XLSX_ERR_NO_MEMORY;
}

int hex_value(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

bool xlsx_sheet_is_selected(XlsxWorksheet* sheet) {
  XmlNode* root = sheet_root(sheet);
  return xml_attribute_as_bool(xml_node_attribute(first_view(root), "tabSelected"), false);
}

xlsx_status xlsx_sheet_set_selected(XlsxWorksheet* sheet, uint32_t selected) {
  return edit_root(sheet, [selected](XmlNode* root) {
    XmlNode* view = first_view(root);
    return selected ? select_view(root) : !view || xml_node_set_attribute(view, "tabSelected", "0");
  });
}

xlsx_status xlsx_sheet_tab_color(XlsxWorksheet* sheet, XlsxColor* out) {
  if (!sheet || !out) return XLSX_ERR_INVALID_ARG;
  *out = kDefaultColor;
  XmlNode* root = sheet_root(sheet);
  const char* rgb = xml_attribute_value(xml_node_attribute(xml_node_child(xml_node_child(root, "sheetPr"), "tabColor"), "rgb"));
  if (rgb[0]) xlsx_color_from_text(rgb, out);
  return XLSX_OK;
}

xlsx_status xlsx_sheet_set_tab_color(XlsxWorksheet* sheet, const XlsxColor* color) {
  char text[16];
  xlsx_color_to_text(color, text);
  return edit_root(sheet, [&text](XmlNode* root) { return store_tab_color(root, text); });
}

xlsx_status xlsx_color_from_text(const char* text, XlsxColor* out) {
  if (!text || !out) return XLSX_ERR_INVALID_ARG;
  size_t length = std::strlen(text);
  if (length != 6 && length != 8) return XLSX_ERR_INVALID_ARG;
  uint8_t* fields[4] = {&out->alpha, &out->red, &out->green, &out->blue};
  uint32_t first = length == 6 ? 1 : 0;
  for (uint32_t i = 0; i < length / 2; i++) {
    int high = hex_value(text[2 * i]);
    int low = hex_value(text[2 * i + 1]);
    if (high < 0 || low < 0) return XLSX_ERR_INVALID_ARG;
    *fields[first + i] = static_cast<uint8_t>(high * 16 + low);
  }
  return XLSX_OK;
}

char* xlsx_color_to_text(const XlsxColor* color, char* buffer) {
  const XlsxColor& c = color ? *color : kDefaultColor;
  xlsx_snprintf(buffer, 9, "%02x%02x%02x%02x", c.alpha, c.red, c.green, c.blue);
  return buffer;
}

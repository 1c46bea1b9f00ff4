// Tab selection and tab colour of a worksheet.
#include "lib/sheet/sheet_view.h"

#include <cstring>

#include "lib/base/alloc.h"
#include "lib/package/part.h"
#include "lib/sheet/colors.h"
#include "lib/sheet/sheet_children.h"
#include "lib/sheet/styles.h"

namespace {

const XlsxColor kDefaultColor = {255, 0, 0, 0};

XmlNode* first_view(const XmlNode* root) { return xml_node_child(xml_node_child(root, "sheetViews"), "sheetView"); }

// Selects the first view, made when missing; false when memory ran out (the edit is then taken back).
bool select_view(XmlNode* root) {
  XmlNode* view = first_view(root);
  if (view) return xml_node_set_attribute(view, "tabSelected", "1");
  // A new view names the flag first, as the files of the applications that select tabs do.
  view = xml_node_prepend_child(sheet_child(root, "sheetViews", true), "sheetView");
  return view && xml_node_set_attribute(view, "tabSelected", "1") && xml_node_set_attribute(view, "workbookViewId", "0");
}

// Stores the colour text as the tab colour's only attribute; false when memory ran out.
bool store_tab_color(XmlNode* root, const char* text) {
  XmlNode* pr = sheet_child(root, "sheetPr", true);
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

XmlAttr* tab_color_rgb(XlsxWorksheet* sheet) {
  XmlNode* root = sheet_edit_root(sheet);
  return xml_node_attribute(xml_node_child(xml_node_child(root, "sheetPr"), "tabColor"), "rgb");
}

int hex_value(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

XmlNode* xlsx_sheet_view_element(XmlNode* root, bool create) {
  XmlNode* views = sheet_child(root, "sheetViews", create);
  XmlNode* view = xml_node_child(views, "sheetView");
  if (view || !views || !create) return view;
  view = xml_node_prepend_child(views, "sheetView");
  if (view && xml_node_set_attribute(view, "workbookViewId", "0")) return view;
  if (view) xml_node_remove_child(views, view);
  return nullptr;
}

bool xlsx_sheet_is_selected(XlsxWorksheet* sheet) {
  XmlNode* root = sheet_edit_root(sheet);
  return xml_attribute_as_bool(xml_node_attribute(first_view(root), "tabSelected"), false);
}

xlsx_status xlsx_sheet_set_selected(XlsxWorksheet* sheet, uint32_t selected) {
  return sheet_edit(sheet, nullptr, [selected](XmlNode* root) {
    XmlNode* view = first_view(root);
    return selected ? select_view(root) : !view || xml_node_set_attribute(view, "tabSelected", "0");
  });
}

xlsx_status xlsx_sheet_tab_color(XlsxWorksheet* sheet, XlsxColor* out) {
  if (!sheet || !out) return XLSX_ERR_INVALID_ARG;
  *out = kDefaultColor;
  const char* rgb = xml_attribute_value(tab_color_rgb(sheet));
  if (rgb[0]) xlsx_color_from_text(rgb, out);
  return XLSX_OK;
}

xlsx_status xlsx_sheet_set_tab_color(XlsxWorksheet* sheet, const XlsxColor* color) {
  char text[16];
  xlsx_color_to_text(color, text);
  return sheet_edit(sheet, nullptr, [&text](XmlNode* root) { return store_tab_color(root, text); });
}

bool xlsx_sheet_has_tab_color(XlsxWorksheet* sheet) { return tab_color_rgb(sheet) != nullptr; }

int32_t xlsx_sheet_tab_color_shown(XlsxWorksheet* sheet) {
  if (!sheet) return XLSX_STYLE_NO_COLOR;
  const XmlNode* tab = xml_node_child(xml_node_child(sheet_edit_root(sheet), "sheetPr"), "tabColor");
  if (!tab) return XLSX_STYLE_NO_COLOR;
  XlsxStyles* styles = nullptr;
  xlsx_status status = xlsx_workbook_styles(sheet->workbook, &styles);
  if (status == XLSX_OK) return xlsx_styles_color(styles, tab);
  // Without a styles part the legacy palette holds, and the workbook's own theme.
  XlsxThemeColors theme;
  if (status != XLSX_ERR_NOT_FOUND || xlsx_workbook_theme_colors(sheet->workbook, &theme) != XLSX_OK)
    return XLSX_STYLE_NO_COLOR;
  int32_t color = xlsx_color_resolve(tab, nullptr, &theme);
  return color < 0 ? XLSX_STYLE_NO_COLOR : color;
}

xlsx_status xlsx_sheet_clear_tab_color(XlsxWorksheet* sheet) {
  return sheet_edit(sheet, nullptr, [](XmlNode* root) {
    XmlNode* pr = xml_node_child(root, "sheetPr");
    XmlNode* tab = xml_node_child(pr, "tabColor");
    if (tab && !xml_node_remove_child(pr, tab)) return false;
    // An empty sheetPr says nothing; one with attributes (codeName, filterMode, ...) stays.
    return !pr || pr->first_attribute || sheet_child_drop_if_empty(root, "sheetPr");
  });
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

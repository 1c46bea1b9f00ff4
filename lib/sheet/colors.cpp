// Theme and palette colours resolved to red-green-blue, tints applied as the applications compute them.
#include "lib/sheet/colors.h"

#include <algorithm>
#include <cstring>
#include <initializer_list>

#include "lib/package/package.h"
#include "lib/package/part.h"
#include "lib/package/relationships.h"
#include "lib/sheet/sheet_view.h"
#include "lib/sheet/workbook.h"

namespace {

// The legacy palette: entries 0-63 of `indexed` (64 and 65 are the system's text and window colours).
constexpr int32_t kPalette[64] = {
    0x000000, 0xFFFFFF, 0xFF0000, 0x00FF00, 0x0000FF, 0xFFFF00, 0xFF00FF, 0x00FFFF, 0x000000, 0xFFFFFF, 0xFF0000,
    0x00FF00, 0x0000FF, 0xFFFF00, 0xFF00FF, 0x00FFFF, 0x800000, 0x008000, 0x000080, 0x808000, 0x800080, 0x008080,
    0xC0C0C0, 0x808080, 0x9999FF, 0x993366, 0xFFFFCC, 0xCCFFFF, 0x660066, 0xFF8080, 0x0066CC, 0xCCCCFF, 0x000080,
    0xFF00FF, 0xFFFF00, 0x00FFFF, 0x800080, 0x800000, 0x008080, 0x0000FF, 0x00CCFF, 0xCCFFFF, 0xCCFFCC, 0xFFFF99,
    0x99CCFF, 0xFF99CC, 0xCC99FF, 0xFFCC99, 0x3366FF, 0x33CCCC, 0x99CC00, 0xFFCC00, 0xFF9900, 0xFF6600, 0x666699,
    0x969696, 0x003366, 0x339966, 0x003300, 0x333300, 0x993300, 0x993366, 0x333399, 0x333333};

// The default theme's scheme, in `theme` attribute order (light 1, dark 1, light 2, dark 2, ...).
constexpr int32_t kDefaultTheme[XLSX_THEME_COLOR_COUNT] = {0xFFFFFF, 0x000000, 0xE7E6E6, 0x44546A,
                                                           0x4472C4, 0xED7D31, 0xA5A5A5, 0xFFC000,
                                                           0x5B9BD5, 0x70AD47, 0x0563C1, 0x954F72};
// Element names of the scheme, in `theme` attribute order.
constexpr const char* kSchemeNames[XLSX_THEME_COLOR_COUNT] = {"lt1",     "dk1",     "lt2",     "dk2",
                                                              "accent1", "accent2", "accent3", "accent4",
                                                              "accent5", "accent6", "hlink",   "folHlink"};

// Whether node is an element whose name, without its namespace prefix, is name.
bool local_name_is(const XmlNode* node, const char* name) {
  if (xml_node_type(node) != XML_NODE_ELEMENT) return false;
  const char* full = xml_node_name(node);
  const char* colon = std::strchr(full, ':');
  return std::strcmp(colon ? colon + 1 : full, name) == 0;
}

XmlNode* local_child(const XmlNode* node, const char* name) {
  for (XmlNode* c = xml_node_first_element(node); c; c = xml_node_next_element(c))
    if (local_name_is(c, name)) return c;
  return nullptr;
}

// 0xRRGGBB of hex text of 6 digits, or of 8 with the alpha byte first (the alpha left out); -1 otherwise.
int32_t hex_color(const char* text) {
  XlsxColor c;
  if (xlsx_color_from_text(text, &c) != XLSX_OK) return -1;
  return (int32_t{c.red} << 16) | (int32_t{c.green} << 8) | c.blue;
}

// The colour of a scheme entry (`a:srgbClr val` or `a:sysClr lastClr`); -1 otherwise.
int32_t scheme_entry(const XmlNode* entry) {
  if (const XmlNode* rgb = local_child(entry, "srgbClr")) return hex_color(xml_attribute_value(xml_node_attribute(rgb, "val")));
  if (const XmlNode* sys = local_child(entry, "sysClr"))
    return hex_color(xml_attribute_value(xml_node_attribute(sys, "lastClr")));
  return -1;
}

// One channel of a colour from hue, luminance and saturation (the two helper values of the conversion).
double channel(double m1, double m2, double hue) {
  if (hue < 0) hue += 1.0;
  if (hue > 1) hue -= 1.0;
  if (hue < 1.0 / 6) return m1 + (m2 - m1) * hue * 6;
  if (hue < 0.5) return m2;
  if (hue < 2.0 / 3) return m1 + (m2 - m1) * (2.0 / 3 - hue) * 6;
  return m1;
}

}  // namespace

void xlsx_theme_colors_default(XlsxThemeColors* out) {
  std::memcpy(out->colors, kDefaultTheme, sizeof kDefaultTheme);
}

void xlsx_theme_colors_read(const XmlNode* root, XlsxThemeColors* out) {
  xlsx_theme_colors_default(out);
  const XmlNode* scheme = local_child(local_child(root, "themeElements"), "clrScheme");
  for (uint32_t i = 0; scheme && i < XLSX_THEME_COLOR_COUNT; i++) {
    int32_t color = scheme_entry(local_child(scheme, kSchemeNames[i]));
    if (color >= 0) out->colors[i] = color;
  }
}

xlsx_status xlsx_workbook_theme_colors(XlsxWorkbook* workbook, XlsxThemeColors* out) {
  xlsx_theme_colors_default(out);
  if (!workbook || !workbook->package) return XLSX_OK;
  XlsxPart* part = nullptr;
  xlsx_status found = xlsx_package_workbook_related(workbook->package, XLSX_REL_THEME, &part);
  if (found != XLSX_OK) return found;
  if (!part) return XLSX_OK;
  xlsx_part_load(part);
  if (!part->loaded) return XLSX_ERR_NO_MEMORY;
  xlsx_theme_colors_read(xlsx_part_root(part), out);
  return XLSX_OK;
}

int32_t xlsx_color_tint(int32_t color, double tint) {
  if (!(tint >= -1.0 && tint <= 1.0) || tint == 0.0) return color;
  double rgb[3] = {((color >> 16) & 0xFF) / 255.0, ((color >> 8) & 0xFF) / 255.0, (color & 0xFF) / 255.0};
  double max = std::max({rgb[0], rgb[1], rgb[2]}), min = std::min({rgb[0], rgb[1], rgb[2]});
  double l = (max + min) / 2, range = max - min, h = 0, s = 0;
  if (range > 0) {
    s = l <= 0.5 ? range / (max + min) : range / (2.0 - max - min);
    if (rgb[0] == max) h = (rgb[1] - rgb[2]) / range;
    else if (rgb[1] == max) h = 2.0 + (rgb[2] - rgb[0]) / range;
    else h = 4.0 + (rgb[0] - rgb[1]) / range;
    h = h / 6 < 0 ? h / 6 + 1 : h / 6;
  }
  // The luminance moves the fraction tint of the way to white, or -tint of the way to black.
  l = tint < 0 ? l * (1.0 + tint) : l * (1.0 - tint) + tint;
  double m2 = l <= 0.5 ? l * (1.0 + s) : l + s - l * s, m1 = 2 * l - m2;
  int32_t out = 0;
  for (double shift : {1.0 / 3, 0.0, -1.0 / 3}) {
    double v = s == 0 ? l : channel(m1, m2, h + shift);
    out = (out << 8) | static_cast<int32_t>(std::clamp(v, 0.0, 1.0) * 255 + 0.5);
  }
  return out;
}

int32_t xlsx_color_resolve(const XmlNode* color, const XmlNode* palette, const XlsxThemeColors* theme) {
  if (!color || xml_attribute_as_bool(xml_node_attribute(color, "auto"), false)) return -1;
  int32_t value = -1;
  if (const XmlAttr* rgb = xml_node_attribute(color, "rgb")) {
    value = hex_color(xml_attribute_value(rgb));
  } else if (const XmlAttr* attr = xml_node_attribute(color, "theme")) {
    uint32_t index = xml_attribute_as_uint(attr, XLSX_THEME_COLOR_COUNT);
    if (index < XLSX_THEME_COLOR_COUNT) value = theme ? theme->colors[index] : kDefaultTheme[index];
  } else if (const XmlAttr* attr = xml_node_attribute(color, "indexed")) {
    uint32_t index = xml_attribute_as_uint(attr, 64);
    // A palette in the styles redefines the entries it lists, from the first on.
    const XmlNode* entry = index < 64 ? xml_node_child(palette, "rgbColor") : nullptr;
    for (uint32_t i = 0; entry && i < index; i++) entry = xml_node_next_sibling_named(entry, "rgbColor");
    if (entry) value = hex_color(xml_attribute_value(xml_node_attribute(entry, "rgb")));
    else if (index < 64) value = kPalette[index];
  }
  if (value < 0) return -1;
  return xlsx_color_tint(value, xml_attribute_as_double(xml_node_attribute(color, "tint"), 0.0));
}

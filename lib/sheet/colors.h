// Colours as spreadsheet applications show them. A colour element of the styles or a sheet (`color`,
// `fgColor`, `tabColor`) gives red-green-blue (`rgb`), an entry of the legacy palette (`indexed`, which
// the styles' `colors/indexedColors` may redefine), a colour of the workbook's theme (`theme`), or the
// automatic colour (`auto`); any of them may be lightened or darkened by `tint`. Files written by
// applications use all of them (a theme's "Text 1" is the usual font colour, theme colours with a tint
// the usual fills); this module turns each into the 0xRRGGBB the applications display.
#pragma once

#include <cstdint>

#include "lib/base/status.h"
#include "lib/xml/tree.h"

struct XlsxWorkbook;

// The twelve colours of a theme's colour scheme, in the order the `theme` attribute counts them: light 1,
// dark 1, light 2, dark 2, accents 1 to 6, hyperlink, followed hyperlink (the scheme itself lists each dark
// colour before its light one).
constexpr uint32_t XLSX_THEME_COLOR_COUNT = 12;
struct XlsxThemeColors {
  int32_t colors[XLSX_THEME_COLOR_COUNT];  // 0xRRGGBB
};

// The scheme of the default theme, for a workbook without a theme part.
void xlsx_theme_colors_default(XlsxThemeColors* out);
// Reads the colour scheme of a theme part's root element (`theme`/`themeElements`/`clrScheme`, under any
// namespace prefix); a colour the scheme lacks or gives in a form other than `srgbClr` or `sysClr` with
// `lastClr` keeps its default. A null root gives the default scheme.
void xlsx_theme_colors_read(const XmlNode* root, XlsxThemeColors* out);
// The theme of the workbook's theme part (related to the workbook), loaded on first use; the default
// scheme when the workbook has none or its bytes do not parse. XLSX_ERR_NO_MEMORY when the part could not
// be loaded for want of memory (*out then holds the default scheme).
xlsx_status xlsx_workbook_theme_colors(XlsxWorkbook* workbook, XlsxThemeColors* out);

// 0xRRGGBB of a colour element, its tint applied; -1 for a null element, the automatic colour, the system
// colours (palette entries 64 and 65) and an element that names no colour it can resolve. palette: the
// styles' `indexedColors` element or null (the legacy palette); theme: null for the default scheme.
int32_t xlsx_color_resolve(const XmlNode* color, const XmlNode* palette, const XlsxThemeColors* theme);
// color (0xRRGGBB) lightened (tint > 0) or darkened (tint < 0) by the fraction tint of the way to white or
// black: its luminance moved that way, hue and saturation kept, as the applications compute it.
int32_t xlsx_color_tint(int32_t color, double tint);

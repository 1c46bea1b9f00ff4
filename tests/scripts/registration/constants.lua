-- The 67 constants are globals with whole-number values: XLSXATTRSHEETS is 32768, each XLSX_ group
-- numbers its members from 0 in the order below, and the formatting constants have the values listed.
-- No other XLSX global exists.
local check = require "check"

local groups = {
  XLSX_VISIBILITY_ = { "VISIBLE", "HIDDEN", "VERYHIDDEN" },
  XLSX_SHEETTYPE_ = { "WORKSHEET", "CHARTSHEET", "DIALOGSHEET", "MACROSHEET" },
  XLSX_PROPERTY_ = { "TITLE", "SUBJECT", "CREATOR", "KEYWORDS", "DESCRIPTION", "LASTMODIFIEDBY", "LASTPRINTED",
                     "CREATIONDATE", "MODIFICATIONDATE", "CATEGORY", "APPLICATION", "DOCSECURITY", "SCALECROP",
                     "MANAGER", "COMPANY", "LINKSUPTODATE", "SHAREDDOC", "HYPERLINKBASE", "HYPERLINKSCHANGED",
                     "APPVERSION" },
  XLSX_BORDER_ = { "NONE", "THIN", "MEDIUM", "DASHED", "DOTTED", "THICK", "DOUBLE", "HAIR", "MEDIUMDASHED", "DASHDOT",
                   "MEDIUMDASHDOT", "DASHDOTDOT", "MEDIUMDASHDOTDOT", "SLANTDASHDOT" },
  XLSX_ALIGN_ = { "GENERAL", "LEFT", "CENTER", "RIGHT", "FILL", "JUSTIFY", "CENTERCONTINUOUS", "DISTRIBUTED" },
  XLSX_VALIGN_ = { "TOP", "CENTER", "BOTTOM", "JUSTIFY", "DISTRIBUTED" },
}
local expected = { XLSXATTRSHEETS = 32768, XLSX_KEEP = -1, XLSX_COLOR_NONE = -2, XLSX_FONT_BOLD = 1,
                   XLSX_FONT_ITALIC = 2, XLSX_FONT_UNDERLINE = 4, XLSX_FONT_STRIKE = 8, XLSX_SIDE_LEFT = 1,
                   XLSX_SIDE_RIGHT = 2, XLSX_SIDE_TOP = 4, XLSX_SIDE_BOTTOM = 8, XLSX_SIDE_ALL = 15,
                   XLSX_ROTATION_VERTICAL = 255 }
for prefix, names in pairs(groups) do
  for i, name in ipairs(names) do expected[prefix .. name] = i - 1 end
end

local count = 0
for name, value in pairs(expected) do
  check.eq(_G[name], value, name)
  check.eq(math.type(_G[name]), "integer", name)
  count = count + 1
end
check.eq(count, 67, "constants listed")
for name in pairs(_G) do
  if name:find("^XLSX") then check.is_true(expected[name] ~= nil, name) end
end
check.done()

-- The 28 constants are globals with whole-number values: XLSXATTRSHEETS is 32768 and each XLSX_ group
-- numbers its members from 0 in the order below. No other XLSX global exists.
local check = require "check"

local groups = {
  XLSX_VISIBILITY_ = { "VISIBLE", "HIDDEN", "VERYHIDDEN" },
  XLSX_SHEETTYPE_ = { "WORKSHEET", "CHARTSHEET", "DIALOGSHEET", "MACROSHEET" },
  XLSX_PROPERTY_ = { "TITLE", "SUBJECT", "CREATOR", "KEYWORDS", "DESCRIPTION", "LASTMODIFIEDBY", "LASTPRINTED",
                     "CREATIONDATE", "MODIFICATIONDATE", "CATEGORY", "APPLICATION", "DOCSECURITY", "SCALECROP",
                     "MANAGER", "COMPANY", "LINKSUPTODATE", "SHAREDDOC", "HYPERLINKBASE", "HYPERLINKSCHANGED",
                     "APPVERSION" },
}
local expected = { XLSXATTRSHEETS = 32768, XLSX_TABCOLOR_NONE = -1 }
for prefix, names in pairs(groups) do
  for i, name in ipairs(names) do expected[prefix .. name] = i - 1 end
end

local count = 0
for name, value in pairs(expected) do
  check.eq(_G[name], value, name)
  check.eq(math.type(_G[name]), "integer", name)
  count = count + 1
end
check.eq(count, 29, "constants listed")
for name in pairs(_G) do
  if name:find("^XLSX") then check.is_true(expected[name] ~= nil, name) end
end
check.done()

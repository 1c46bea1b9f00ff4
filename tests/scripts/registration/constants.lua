-- The 28 constants are globals with their values, as whole numbers.
local check = require "check"

local constants = {
  XLSXATTRSHEETS = 32768,
  XLSX_VISIBILITY_VISIBLE = 0, XLSX_VISIBILITY_HIDDEN = 1, XLSX_VISIBILITY_VERYHIDDEN = 2,
  XLSX_SHEETTYPE_WORKSHEET = 0, XLSX_SHEETTYPE_CHARTSHEET = 1, XLSX_SHEETTYPE_DIALOGSHEET = 2,
  XLSX_SHEETTYPE_MACROSHEET = 3,
  XLSX_PROPERTY_TITLE = 0, XLSX_PROPERTY_SUBJECT = 1, XLSX_PROPERTY_CREATOR = 2, XLSX_PROPERTY_KEYWORDS = 3,
  XLSX_PROPERTY_DESCRIPTION = 4, XLSX_PROPERTY_LASTMODIFIEDBY = 5, XLSX_PROPERTY_LASTPRINTED = 6,
  XLSX_PROPERTY_CREATIONDATE = 7, XLSX_PROPERTY_MODIFICATIONDATE = 8, XLSX_PROPERTY_CATEGORY = 9,
  XLSX_PROPERTY_APPLICATION = 10, XLSX_PROPERTY_DOCSECURITY = 11, XLSX_PROPERTY_SCALECROP = 12,
  XLSX_PROPERTY_MANAGER = 13, XLSX_PROPERTY_COMPANY = 14, XLSX_PROPERTY_LINKSUPTODATE = 15,
  XLSX_PROPERTY_SHAREDDOC = 16, XLSX_PROPERTY_HYPERLINKBASE = 17, XLSX_PROPERTY_HYPERLINKSCHANGED = 18,
  XLSX_PROPERTY_APPVERSION = 19,
}

local count = 0
for name, value in pairs(constants) do
  check.eq(_G[name], value, name)
  check.eq(math.type(_G[name]), "integer", name)
  count = count + 1
end
check.eq(count, 28, "constants listed")

-- Nothing else with the prefix leaked into the globals.
for name in pairs(_G) do
  if name:find("^XLSX") then check.is_true(constants[name] ~= nil, name) end
end
check.done()

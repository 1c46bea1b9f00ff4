-- Property commands: SetProperty, GetProperty, DeleteProperty for all 20 properties, in the order of their
-- constants (documents.lua checks them); the value rules are the library's.
local t = require "check"
local id = t.new_document("properties.xlsx")
local texts = {"Quarterly report", "Sales", "Report script", "sales; 2026", "Made by a script <&> \"quoted\"", "Editor",
               "2026-01-02T03:04:05Z", "2026-01-01T00:00:00Z", "2026-01-03T00:00:00Z", "Finance", "xlsx.kvp", "4",
               "true", "Manager", "Company", "true", "false", "http://example.invalid/", "true", "16.0300"}
for prop = 0, 19 do
  xlsx.SetProperty(id, prop, texts[prop + 1])
  t.eq(xlsx.GetProperty(id, prop), texts[prop + 1], "property " .. prop)
end
t.raises(t.OPERATION, xlsx.SetProperty, id, XLSX_PROPERTY_SCALECROP, "TRUE")
t.raises(t.OPERATION, xlsx.SetProperty, id, XLSX_PROPERTY_CREATIONDATE, "2024-02-30T00:00:00Z")
t.eq(xlsx.GetProperty(id, XLSX_PROPERTY_SCALECROP), "true", "a refused value changes nothing")
t.eq(xlsx.GetProperty(id, 0.9), texts[1], "numbers are truncated")
-- DeleteProperty empties the property; deleting one never set succeeds; the empty text is always valid.
xlsx.DeleteProperty(id, XLSX_PROPERTY_COMPANY)
t.eq(xlsx.GetProperty(id, XLSX_PROPERTY_COMPANY), "", "deleted")
local fresh = t.new_document("properties_fresh.xlsx")
xlsx.DeleteProperty(fresh, XLSX_PROPERTY_MANAGER)
xlsx.SetProperty(fresh, XLSX_PROPERTY_DOCSECURITY, "")
t.same("never set, not in the template, empty", {"", "", ""}, xlsx.GetProperty(fresh, XLSX_PROPERTY_MANAGER),
       xlsx.GetProperty(fresh, XLSX_PROPERTY_TITLE), xlsx.GetProperty(fresh, XLSX_PROPERTY_DOCSECURITY))
xlsx.Close(fresh)
xlsx.Close(id)
t.done()

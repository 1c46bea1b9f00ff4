-- Property commands: SetProperty, GetProperty, DeleteProperty for all 20 XLSX_PROPERTY_ constants.
local t = require "check"

local id = t.new_document("properties.xlsx")

local texts = {
  [XLSX_PROPERTY_TITLE] = "Quarterly report",
  [XLSX_PROPERTY_SUBJECT] = "Sales",
  [XLSX_PROPERTY_CREATOR] = "Report script",
  [XLSX_PROPERTY_KEYWORDS] = "sales; 2026",
  [XLSX_PROPERTY_DESCRIPTION] = "Made by a script <&> \"quoted\"",
  [XLSX_PROPERTY_LASTMODIFIEDBY] = "Editor",
  [XLSX_PROPERTY_LASTPRINTED] = "2026-01-02T03:04:05Z",
  [XLSX_PROPERTY_CREATIONDATE] = "2026-01-01T00:00:00Z",
  [XLSX_PROPERTY_MODIFICATIONDATE] = "2026-01-03T00:00:00Z",
  [XLSX_PROPERTY_CATEGORY] = "Finance",
  [XLSX_PROPERTY_APPLICATION] = "xlsx.kvp",
  [XLSX_PROPERTY_DOCSECURITY] = "4",
  [XLSX_PROPERTY_SCALECROP] = "true",
  [XLSX_PROPERTY_MANAGER] = "Manager",
  [XLSX_PROPERTY_COMPANY] = "Company",
  [XLSX_PROPERTY_LINKSUPTODATE] = "true",
  [XLSX_PROPERTY_SHAREDDOC] = "false",
  [XLSX_PROPERTY_HYPERLINKBASE] = "http://example.invalid/",
  [XLSX_PROPERTY_HYPERLINKSCHANGED] = "true",
  [XLSX_PROPERTY_APPVERSION] = "16.0300",
}
for prop = 0, 19 do
  t.eq(texts[prop] ~= nil, true, "constant " .. prop)
  xlsx.SetProperty(id, prop, texts[prop])
  t.eq(xlsx.GetProperty(id, prop), texts[prop], "property " .. prop)
end

-- Values a property does not accept, and numbers outside the table.
-- (The value rules themselves are the library's; one refused value shows the command's answer.)
t.raises(t.OPERATION, xlsx.SetProperty, id, XLSX_PROPERTY_SCALECROP, "TRUE")
t.eq(xlsx.GetProperty(id, XLSX_PROPERTY_SCALECROP), "true", "a refused value changes nothing")
-- The id is checked before the property number.
for _, prop in ipairs({ -1, 20, 99 }) do
  for _, call in ipairs({ { xlsx.SetProperty, "x" }, { xlsx.GetProperty }, { xlsx.DeleteProperty } }) do
    t.labelled("property " .. prop, t.raises, t.OPERATION, call[1], id, prop, call[2])
    t.labelled("property " .. prop, t.raises, t.NO_DOCUMENT, call[1], 99, prop, call[2])
  end
end
t.eq(xlsx.GetProperty(id, 0.9), texts[XLSX_PROPERTY_TITLE], "numbers are truncated")
t.rejects(xlsx.SetProperty, id, 0)
t.rejects(xlsx.GetProperty, id)

-- DeleteProperty empties the property; deleting one never set succeeds; the empty text is always valid.
xlsx.DeleteProperty(id, XLSX_PROPERTY_COMPANY)
t.eq(xlsx.GetProperty(id, XLSX_PROPERTY_COMPANY), "", "deleted")
local fresh = t.new_document("properties_fresh.xlsx")
xlsx.DeleteProperty(fresh, XLSX_PROPERTY_MANAGER)
t.eq(xlsx.GetProperty(fresh, XLSX_PROPERTY_MANAGER), "", "a property never set reads as empty")
t.eq(xlsx.GetProperty(fresh, XLSX_PROPERTY_TITLE), "", "no title in the template")
xlsx.SetProperty(fresh, XLSX_PROPERTY_DOCSECURITY, "")
t.eq(xlsx.GetProperty(fresh, XLSX_PROPERTY_DOCSECURITY), "", "the empty text")
xlsx.Close(fresh)
xlsx.Close(id)
t.done()

-- Run in UTF-8 after charset_write_latin1.lua: the file holds the texts in UTF-8. Then texts that the
-- system character set cannot hold are written, for charset_read_latin1.lua.
local t = dofile((arg[0]:match("^(.*)/") or ".") .. "/support.lua")
if not t.in_chain("charset_read_utf8") then return end

local id = xlsx.Open(nil, t.path("charset.xlsx"))
t.eq(xlsx.GetSheetName(id, 1), "Grüße", "sheet name in UTF-8")
t.eq(xlsx.GetSheetName(id, 2), "Ärger", "added sheet name in UTF-8")
t.eq(xlsx.GetCellValue(id, 1, 1), "café", "cell text in UTF-8")
t.eq(xlsx.GetCellValue(id, 2, 1), "naïve æ", "type 3 text in UTF-8")
t.eq(xlsx.GetCellFormula(id, 3, 1), "\"µ\"&A1", "formula in UTF-8")
t.eq(xlsx.GetProperty(id, XLSX_PROPERTY_TITLE), "© Zürich", "property in UTF-8")
t.eq(xlsx.GetCellValue(id, 4, 1), "inline ø", "inline text in UTF-8")
xlsx.SetCellValue(id, 1, 2, "€ and 中")
xlsx.Save(id)
xlsx.Close(id)
print("charset_read_utf8: ok")

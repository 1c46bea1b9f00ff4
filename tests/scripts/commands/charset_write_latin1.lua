-- Run with korvadel --charset ISO-8859-1: texts from the script are ISO-8859-1 and reach the library as
-- UTF-8; texts read back come out as ISO-8859-1 again. charset_read_utf8.lua then reads the file in UTF-8.
local t = dofile((arg[0]:match("^(.*)/") or ".") .. "/support.lua")
if not t.in_chain("charset_write_latin1") then return end

local cafe, naive = "caf\233", "na\239ve \230"  -- café, naïve æ in ISO-8859-1
local id = xlsx.Create(nil, t.path("charset.xlsx"))
xlsx.SetSheetName(id, 1, "Gr\252\223e")  -- Grüße
t.eq(xlsx.GetSheetName(id, 1), "Gr\252\223e", "sheet name read back in ISO-8859-1")
t.eq(xlsx.GetSheetIndex(id, "Gr\252\223e"), 1, "sheet found by its ISO-8859-1 name")
t.eq(xlsx.AddSheet(id, "\196rger"), 2, "AddSheet with an ISO-8859-1 name")  -- Ärger
t.eq(xlsx.GetSheetIndex(id, "\196rger"), 2, "added sheet found")
xlsx.SetCellValue(id, 1, 1, cafe)
t.eq(xlsx.GetCellValue(id, 1, 1), cafe, "cell text read back")
xlsx.SetCellValue(id, 2, 1, naive, 3)
t.eq(xlsx.GetCellValue(id, 2, 1), naive, "cell text with type 3")
xlsx.SetCellFormula(id, 3, 1, "\"\181\"&A1")  -- "µ"&A1
t.eq(xlsx.GetCellFormula(id, 3, 1), "\"\181\"&A1", "formula read back")
xlsx.SetProperty(id, XLSX_PROPERTY_TITLE, "\169 Z\252rich")  -- © Zürich
t.eq(xlsx.GetProperty(id, XLSX_PROPERTY_TITLE), "\169 Z\252rich", "property read back")
xlsx.UseSharedStrings(0)
xlsx.SetCellValue(id, 4, 1, "inline \248")  -- ø
xlsx.UseSharedStrings(1)
t.eq(xlsx.GetCellValue(id, 4, 1), "inline \248", "inline text read back")
xlsx.Save(id)
xlsx.Close(id)
print("charset_write_latin1: ok")

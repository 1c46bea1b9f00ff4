-- korvadel-options: --charset ISO-8859-1
-- First of three (charset/2_*.lua, 3_*.lua read what this writes): under ISO-8859-1 script texts reach
-- the library as UTF-8 and come back as ISO-8859-1, through the commands and through the serializer.
local t = require "check"

local cafe, naive = "caf\233", "na\239ve \230"  -- café, naïve æ
local id = xlsx.Create(nil, t.path("charset.xlsx"))
xlsx.SetSheetName(id, 1, "Gr\252\223e")  -- Grüße
t.eq(xlsx.AddSheet(id, "\196rger"), 2, "AddSheet with an ISO-8859-1 name")  -- Ärger
t.same("sheet names", {"Gr\252\223e", 1}, xlsx.GetSheetName(id, 1), xlsx.GetSheetIndex(id, "Gr\252\223e"))
xlsx.SetCellValue(id, 1, 1, cafe)
xlsx.SetCellValue(id, 2, 1, naive, 3)
xlsx.SetCellFormula(id, 3, 1, "\"\181\"&A1")  -- "µ"&A1
xlsx.SetProperty(id, XLSX_PROPERTY_TITLE, "\169 Z\252rich")  -- © Zürich
xlsx.UseSharedStrings(0)
xlsx.SetCellValue(id, 4, 1, "inline \248")  -- ø
xlsx.UseSharedStrings(1)
t.same("texts, formula, property, inline text read back", {cafe, naive, "\"\181\"&A1", "\169 Z\252rich", "inline \248"},
       xlsx.GetCellValue(id, 1, 1), xlsx.GetCellValue(id, 2, 1), xlsx.GetCellFormula(id, 3, 1),
       xlsx.GetProperty(id, XLSX_PROPERTY_TITLE), (xlsx.GetCellValue(id, 4, 1)))
xlsx.Save(id)
xlsx.Close(id)

local groesse, aepfel = "Gr\246\223e", "\196pfel \224 1\164"  -- Größe, Äpfel à 1¤
local bytes = SerializeTable({{groesse, 1}, {aepfel, 0.5}})
local back = DeserializeTable(bytes)
t.eq(back[1][1] .. back[1][2] .. back[2][1] .. back[2][2], groesse .. 1 .. aepfel .. 0.5, "serialized and back")
t.write(t.path("latin1.xlsx"), bytes)
id = xlsx.Open(nil, t.path("latin1.xlsx"))
t.eq(xlsx.GetCellValue(id, 1, 2), aepfel, "the commands read the serialized texts")
xlsx.Close(id)
t.no_temp_files()
t.done()

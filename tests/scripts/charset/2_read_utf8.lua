-- Second of three, in UTF-8: the file of 1_write_latin1.lua holds its texts in UTF-8. Then texts that
-- ISO-8859-1 cannot hold are written, through the commands and the serializer, for 3_read_latin1.lua.
local t = require "check"

local id = xlsx.Open(nil, t.path("charset.xlsx"))
t.same("texts in UTF-8", {"Grüße", "Ärger", "café", "naïve æ", "\"µ\"&A1", "© Zürich", "inline ø"},
       xlsx.GetSheetName(id, 1), xlsx.GetSheetName(id, 2), xlsx.GetCellValue(id, 1, 1), xlsx.GetCellValue(id, 2, 1),
       xlsx.GetCellFormula(id, 3, 1), xlsx.GetProperty(id, XLSX_PROPERTY_TITLE), (xlsx.GetCellValue(id, 4, 1)))
xlsx.SetCellValue(id, 1, 2, "€ and 中")
xlsx.Save(id)
xlsx.Close(id)
t.write(t.path("western.xlsx"), SerializeTable({{"Größe", 7}, {"Äpfel"}}))
t.write(t.path("cjk.xlsx"), SerializeTable({{"ok", "日本"}}))
t.eq(DeserializeTable(t.read(t.path("cjk.xlsx")))[1][2], "日本", "readable under UTF-8")
t.no_temp_files()
t.done()

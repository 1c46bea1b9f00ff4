-- Second of three, in UTF-8: the file of 1_write_latin1.lua holds its texts in UTF-8. Then texts that
-- ISO-8859-1 cannot hold are written, through the commands and the serializer, for 3_read_latin1.lua.
local t = require "check"

local id = xlsx.Open(nil, t.path("charset.xlsx"))
for _, c in ipairs({{xlsx.GetSheetName(id, 1), "Grüße"}, {xlsx.GetSheetName(id, 2), "Ärger"},
                    {xlsx.GetCellValue(id, 1, 1), "café"}, {xlsx.GetCellValue(id, 2, 1), "naïve æ"},
                    {xlsx.GetCellFormula(id, 3, 1), "\"µ\"&A1"}, {xlsx.GetProperty(id, XLSX_PROPERTY_TITLE), "© Zürich"},
                    {xlsx.GetCellValue(id, 4, 1), "inline ø"}}) do
  t.eq(c[1], c[2], c[2])
end
xlsx.SetCellValue(id, 1, 2, "€ and 中")
xlsx.Save(id)
xlsx.Close(id)
t.write(t.path("western.xlsx"), SerializeTable({{"Größe", 7}, {"Äpfel"}}))
t.write(t.path("cjk.xlsx"), SerializeTable({{"ok", "日本"}}))
t.eq(DeserializeTable(t.read(t.path("cjk.xlsx")))[1][2], "日本", "readable under UTF-8")
t.no_temp_files()
t.done()

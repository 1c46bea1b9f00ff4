-- korvadel-options: --charset ISO-8859-1
-- Last of three: under ISO-8859-1 texts come back converted; a text the set cannot hold is handed over
-- unconverted by the commands and fails the serializer's read with a script error.
local t = require "check"

local id = xlsx.Open(nil, t.path("charset.xlsx"))
t.eq(xlsx.GetCellValue(id, 1, 1), "caf\233", "convertible text")
t.eq(xlsx.GetCellValue(id, 1, 2), "\226\130\172 and \228\184\173", "a text ISO-8859-1 cannot hold")
xlsx.Close(id)
local back = DeserializeTable(t.read(t.path("western.xlsx")))
t.eq(back[1][1] .. back[1][2] .. back[2][1], "Gr\246\223e7\196pfel", "serialized texts converted")
t.eq(back[2][2], nil, "an empty cell is not handed out")
t.raises("DeserializeTable: the xlsx serializer failed", DeserializeTable, t.read(t.path("cjk.xlsx")))
t.no_temp_files()
t.done()

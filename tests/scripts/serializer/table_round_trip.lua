-- SerializeTable and DeserializeTable through the xlsx plugin: texts (non-ASCII too), integers, floats and
-- empty cells come back; a workbook the commands made reads as a table; no temporary file remains.
local t = require "check"
local bytes = SerializeTable({{"name", "Größe", 42, 2.5}, {}, {nil, "日本語", -7, 1e-10}})
t.eq(bytes:sub(1, 4), "PK\3\4", "the bytes are a ZIP archive")
t.no_temp_files("after SerializeTable")

-- Back: the rows and cells the table held, of their number kinds; the empty row 2 is not in the workbook.
local back = DeserializeTable(bytes)
t.no_temp_files("after DeserializeTable")
t.same("row 1", {"name", "Größe", 42, 2.5, "integer", "float"}, back[1][1], back[1][2], back[1][3], back[1][4],
       math.type(back[1][3]), math.type(back[1][4]))
t.same("rows 2, 3", {nil, nil, "日本語", -7, 1e-10, "integer", n = 6}, back[2], back[3][1], back[3][2], back[3][3],
       back[3][4], math.type(back[3][3]))

-- A workbook made with the commands reads back as a table; a boolean comes back as the number 1.
local made = t.path("made.xlsx")
id = xlsx.Create(nil, made)
xlsx.SetCellValue(id, 1, 1, "x") xlsx.SetCellValue(id, 2, 2, 3.25) xlsx.SetCellValue(id, 1, 2, 1, 13)
xlsx.Save(id) xlsx.Close(id)
back = DeserializeTable(t.read(made), "xlsx")
t.same("made", {2, "x", nil, 1, 3.25, n = 5}, #back, back[1][1], back[1][2], back[2][1], back[2][2])

-- An empty table makes a workbook with an empty first sheet; rows out of order and with gaps land under
-- their own indexes.
t.eq(next(DeserializeTable(SerializeTable({}))), nil, "empty table")
back = DeserializeTable(SerializeTable({[3] = {[2] = "c"}, [1] = {"a"}}))
t.same("gaps", {nil, "a", "c", nil, n = 4}, back[2], back[1][1], back[3][2], back[3][1])
t.no_temp_files()
t.done()

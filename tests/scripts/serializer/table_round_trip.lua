-- SerializeTable and DeserializeTable through the xlsx plugin: texts (non-ASCII too), integers, floats and
-- empty cells come back; the bytes are a workbook the xlsx commands open; no temporary file remains.
local t = require "check"

local table_in = {
  {"name", "Größe", 42, 2.5},
  {},
  {nil, "日本語", -7, 1e-10},
}
local bytes = SerializeTable(table_in)
t.eq(bytes:sub(1, 4), "PK\3\4", "the bytes are a ZIP archive")
t.no_temp_files("after SerializeTable")

-- Back: the rows and cells the table held, nothing in between (the empty row 2 is not in the workbook).
local back = DeserializeTable(bytes)
t.no_temp_files("after DeserializeTable")
local expected = {
  [1] = {"name", "Größe", 42, 2.5},
  [3] = {[2] = "日本語", [3] = -7, [4] = 1e-10},
}
t.eq(back[2], nil, "row 2")
for r, row in pairs(expected) do
  for c = 1, 4 do
    t.eq(back[r][c], row[c], "cell [" .. r .. "][" .. c .. "]")
  end
end
t.eq(math.type(back[1][3]), "integer", "a whole number comes back as an integer")
t.eq(math.type(back[1][4]), "float", "a fraction comes back as a float")
t.eq(math.type(back[3][3]), "integer", "a negative whole number comes back as an integer")

-- The bytes open as a workbook: script index i is column / row i.
local path = t.path("table.xlsx")
t.write(path, bytes)
local id = xlsx.Open(nil, path)
t.eq(xlsx.GetRowCount(id), 3, "row count")
t.eq(xlsx.GetColumnCount(id), 4, "column count")
local v, kind = xlsx.GetCellValue(id, 2, 1)
t.eq(v, "Größe", "B1")
t.eq(kind, 3, "B1 is text")
v, kind = xlsx.GetCellValue(id, 3, 1)
t.eq(v, 42, "C1")
t.eq(kind, 1, "C1 is an integer")
v, kind = xlsx.GetCellValue(id, 4, 1)
t.eq(v, 2.5, "D1")
t.eq(kind, 12, "D1 is a float")
v, kind = xlsx.GetCellValue(id, "B3")
t.eq(v, "日本語", "B3")
xlsx.Close(id)

-- A workbook made with the commands reads back as a table.
local made = t.path("made.xlsx")
id = xlsx.Create(nil, made)
xlsx.SetCellValue(id, 1, 1, "x")
xlsx.SetCellValue(id, 2, 2, 3.25)
xlsx.SetCellValue(id, 1, 2, 1, 13)  -- a boolean comes back as the number 1
xlsx.Save(id)
xlsx.Close(id)
back = DeserializeTable(t.read(made), "xlsx")
t.eq(#back, 2, "rows of the made workbook")
t.eq(back[1][1], "x")
t.eq(back[1][2], nil)
t.eq(back[2][1], 1)
t.eq(back[2][2], 3.25)

-- An empty table makes a workbook with an empty first sheet, which reads back as an empty table.
t.eq(next(DeserializeTable(SerializeTable({}))), nil, "empty table")

-- Rows given out of order and with gaps land under their own indexes.
back = DeserializeTable(SerializeTable({[3] = {[2] = "c"}, [1] = {"a"}}))
t.eq(back[2], nil)
t.eq(back[1][1], "a")
t.eq(back[3][2], "c")
t.eq(back[3][1], nil)

t.no_temp_files()
t.done()

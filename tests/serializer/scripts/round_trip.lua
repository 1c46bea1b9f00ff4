-- SerializeTable and DeserializeTable through the xlsx plugin: texts (non-ASCII too), integers, floats and
-- empty cells come back; the bytes are a workbook the xlsx commands open; no temporary file remains.
package.path = arg[0]:match("^(.*/)") .. "?.lua;" .. package.path
local check = require "check"
local support = require "serializer_support"
local scratch, temp = arg[1], arg[2]

local table_in = {
  {"name", "Größe", 42, 2.5},
  {},
  {nil, "日本語", -7, 1e-10},
}
local bytes = SerializeTable(table_in)
check.eq(bytes:sub(1, 4), "PK\3\4", "the bytes are a ZIP archive")
support.no_temp_files(temp, "after SerializeTable")

-- Back: the rows and cells the table held, nothing in between (the empty row 2 is not in the workbook).
local back = DeserializeTable(bytes)
support.no_temp_files(temp, "after DeserializeTable")
local expected = {
  [1] = {"name", "Größe", 42, 2.5},
  [3] = {[2] = "日本語", [3] = -7, [4] = 1e-10},
}
check.eq(back[2], nil, "row 2")
for r, row in pairs(expected) do
  for c = 1, 4 do
    check.eq(back[r][c], row[c], "cell [" .. r .. "][" .. c .. "]")
  end
end
check.eq(math.type(back[1][3]), "integer", "a whole number comes back as an integer")
check.eq(math.type(back[1][4]), "float", "a fraction comes back as a float")
check.eq(math.type(back[3][3]), "integer", "a negative whole number comes back as an integer")

-- The bytes open as a workbook: script index i is column / row i.
local path = scratch .. "/table.xlsx"
support.write(path, bytes)
local id = xlsx.Open(nil, path)
check.eq(xlsx.GetRowCount(id), 3, "row count")
check.eq(xlsx.GetColumnCount(id), 4, "column count")
local v, t = xlsx.GetCellValue(id, 2, 1)
check.eq(v, "Größe", "B1")
check.eq(t, 3, "B1 is text")
v, t = xlsx.GetCellValue(id, 3, 1)
check.eq(v, 42, "C1")
check.eq(t, 1, "C1 is an integer")
v, t = xlsx.GetCellValue(id, 4, 1)
check.eq(v, 2.5, "D1")
check.eq(t, 12, "D1 is a float")
v, t = xlsx.GetCellValue(id, "B3")
check.eq(v, "日本語", "B3")
xlsx.Close(id)

-- A workbook made with the commands reads back as a table.
local made = scratch .. "/made.xlsx"
id = xlsx.Create(nil, made)
xlsx.SetCellValue(id, 1, 1, "x")
xlsx.SetCellValue(id, 2, 2, 3.25)
xlsx.SetCellValue(id, 1, 2, 1, 13)  -- a boolean comes back as the number 1
xlsx.Save(id)
xlsx.Close(id)
back = DeserializeTable(support.read(made), "xlsx")
check.eq(#back, 2, "rows of the made workbook")
check.eq(back[1][1], "x")
check.eq(back[1][2], nil)
check.eq(back[2][1], 1)
check.eq(back[2][2], 3.25)

-- An empty table makes a workbook with an empty first sheet, which reads back as an empty table.
check.eq(next(DeserializeTable(SerializeTable({}))), nil, "empty table")

-- Rows given out of order and with gaps land under their own indexes.
back = DeserializeTable(SerializeTable({[3] = {[2] = "c"}, [1] = {"a"}}))
check.eq(back[2], nil)
check.eq(back[1][1], "a")
check.eq(back[3][2], "c")
check.eq(back[3][1], nil)

support.no_temp_files(temp)
check.done()

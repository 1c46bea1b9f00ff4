-- SerializeTable and DeserializeTable through the xlsx plugin: texts (non-ASCII too), integers, floats and
-- empty cells come back; a workbook the commands made reads as a table; a table that cannot be serialized
-- or bytes that cannot be read give a clear script error; no temporary file remains.
local t = require "check"
local bytes = SerializeTable({{"name", "Größe", 42, 2.5}, {}, {nil, "日本語", -7, 1e-10}})
t.eq(bytes:sub(1, 4), "PK\3\4", "the bytes are a ZIP archive")
-- Back: the rows and cells the table held, of their number kinds; the empty row 2 is not in the workbook.
local back = DeserializeTable(bytes)
t.same("row 1", {"name", "Größe", 42, 2.5, "integer", "float"}, back[1][1], back[1][2], back[1][3], back[1][4],
       math.type(back[1][3]), math.type(back[1][4]))
t.same("rows 2, 3", {nil, nil, "日本語", -7, 1e-10, "integer", n = 6}, back[2], back[3][1], back[3][2], back[3][3],
       back[3][4], math.type(back[3][3]))
-- A workbook made with the commands reads back as a table; a boolean comes back as the number 1.
local made = t.path("made.xlsx")
local id = xlsx.Create(nil, made)
xlsx.SetCellValue(id, 1, 1, "x") xlsx.SetCellValue(id, 2, 2, 3.25) xlsx.SetCellValue(id, 1, 2, 1, 13)
xlsx.Save(id) xlsx.Close(id)
back = DeserializeTable(t.read(made), "xlsx")
t.same("made", {2, "x", nil, 1, 3.25, n = 5}, #back, back[1][1], back[1][2], back[2][1], back[2][2])
-- An empty table makes an empty first sheet; rows out of order and with gaps land under their own indexes.
t.eq(next(DeserializeTable(SerializeTable({}))), nil, "empty table")
back = DeserializeTable(SerializeTable({[3] = {[2] = "c"}, [1] = {"a"}}))
t.same("gaps", {nil, "a", "c", nil, n = 4}, back[2], back[1][1], back[3][2], back[3][1])
-- The host refuses keys that are not row or column indexes and values other than rows of numbers and
-- texts before the plugin sees them; the plugin refuses a text with a zero byte, which no cell can hold.
local refused = {
  {"the table has a key that is not a row index 1..1048576", {{1}, name = {2}}, {x = {}}, {[0] = {}}},
  {"row 1 has a key that is not a column index 1..16384", {{1, x = 2}}, {{[1.5] = 2}}},
  {"row 2 has a key that is not a column index 1..16384", {{1}, {[16385] = 1}}, {{}, {a = 1}}},
  {"cell [1][2] is a table (only numbers and texts)", {{1, {2}}}},
  {"cell [1][1] is a table (only numbers and texts)", {{{}}}},
  {"cell [2][1] is a function (only numbers and texts)", {{1}, {print}}},
  {"cell [1][2] is a boolean (only numbers and texts)", {{1, true}}},
  {"row 1 is a string, not a table", {"flat"}}, {"row 1 is a number, not a table", {5}},
  {"the xlsx serializer failed", {{"a\0b"}}},
}
for _, case in ipairs(refused) do
  for i = 2, #case do t.raises("SerializeTable: " .. case[1], SerializeTable, case[i]) end
end
t.raises("no plugin with the base name \"csv\" is loaded", SerializeTable, {}, "csv")
t.raises("bad argument #1 to 'SerializeTable' (table expected, got string)", SerializeTable, "rows")
t.raises("bad argument #1 to 'DeserializeTable' (string expected, got no value)", DeserializeTable)
-- Bytes that are no workbook, or a workbook cut short, cannot be read; the whole bytes still read.
bytes = SerializeTable({{"a", 1}})
for _, unreadable in ipairs({"", "not a workbook", bytes:sub(1, #bytes // 2)}) do
  t.raises("DeserializeTable: the xlsx serializer cannot read these bytes", DeserializeTable, unreadable)
end
t.eq(DeserializeTable(bytes)[1][1], "a")
t.no_temp_files()
t.done()

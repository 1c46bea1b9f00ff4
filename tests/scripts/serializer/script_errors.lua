-- What scripts see when a table cannot be serialized or bytes cannot be read: a clear script error, and
-- no temporary file left behind.
local t = require "check"

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
t.no_temp_files("after a refused item")

-- Bytes that are no workbook, or a workbook cut short, cannot be read; the whole bytes still read.
local bytes = SerializeTable({{"a", 1}})
for _, unreadable in ipairs({"", "not a workbook", bytes:sub(1, #bytes // 2)}) do
  t.raises("DeserializeTable: the xlsx serializer cannot read these bytes", DeserializeTable, unreadable)
end
t.no_temp_files("after unreadable bytes")
t.eq(DeserializeTable(bytes)[1][1], "a")
t.no_temp_files()
t.done()

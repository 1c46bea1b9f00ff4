-- What scripts see when a table cannot be serialized or bytes cannot be read: a clear script error, and
-- no temporary file left behind.
package.path = arg[0]:match("^(.*/)") .. "?.lua;" .. package.path
local check = require "check"
local support = require "serializer_support"
local temp = arg[2]

-- Keys that are not numbers, and nested values other than rows of cells, are refused by the host.
check.fails("SerializeTable: the table has a key that is not a row index 1..1048576", SerializeTable,
            {{1}, name = {2}})
check.fails("SerializeTable: row 1 has a key that is not a column index 1..16384", SerializeTable, {{1, x = 2}})
check.fails("SerializeTable: row 1 has a key that is not a column index 1..16384", SerializeTable, {{[1.5] = 2}})
check.fails("SerializeTable: row 2 has a key that is not a column index 1..16384", SerializeTable,
            {{1}, {[16385] = 1}})
check.fails("SerializeTable: cell [1][2] is a table (only numbers and texts)", SerializeTable, {{1, {2}}})
check.fails("SerializeTable: cell [2][1] is a function (only numbers and texts)", SerializeTable,
            {{1}, {print}})
check.fails("SerializeTable: row 1 is a string, not a table", SerializeTable, {"flat"})

-- The plugin refuses a text with a zero byte inside, which no cell can hold.
check.fails("SerializeTable: the xlsx serializer failed", SerializeTable, {{"a\0b"}})
support.no_temp_files(temp, "after a refused item")

-- Bytes that are no workbook, or a workbook cut short, cannot be read.
check.fails("DeserializeTable: the xlsx serializer cannot read these bytes", DeserializeTable, "")
check.fails("DeserializeTable: the xlsx serializer cannot read these bytes", DeserializeTable, "not a workbook")
local bytes = SerializeTable({{"a", 1}})
check.fails("DeserializeTable: the xlsx serializer cannot read these bytes", DeserializeTable,
            bytes:sub(1, #bytes // 2))
support.no_temp_files(temp, "after unreadable bytes")

-- The whole bytes still read.
check.eq(DeserializeTable(bytes)[1][1], "a")
support.no_temp_files(temp)
check.done()

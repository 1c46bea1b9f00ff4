-- SerializeTable refuses tables that are not rows of numbers and texts before the plugin sees them.
local check = require "check"

check.fails("SerializeTable: row 1 is a number, not a table", SerializeTable, {5})
check.fails("SerializeTable: the table has a key that is not a row index 1..1048576", SerializeTable, {x = {}})
check.fails("SerializeTable: the table has a key that is not a row index 1..1048576", SerializeTable, {[0] = {}})
check.fails("SerializeTable: row 2 has a key that is not a column index 1..16384", SerializeTable, {{}, {a = 1}})
check.fails("SerializeTable: cell [1][2] is a boolean (only numbers and texts)", SerializeTable, {{1, true}})
check.fails("SerializeTable: cell [1][1] is a table (only numbers and texts)", SerializeTable, {{{}}})
check.fails("no plugin with the base name \"csv\" is loaded", SerializeTable, {}, "csv")
check.fails("bad argument #1 to 'SerializeTable' (table expected, got string)", SerializeTable, "rows")
check.fails("bad argument #1 to 'DeserializeTable' (string expected, got no value)", DeserializeTable)
check.done()

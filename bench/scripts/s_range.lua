-- S-range: opens a workbook and reads every cell of its first sheet with a CellRange loop, then prints
-- the checksum.   korvadel s_range.lua IN.xlsx
local w = dofile(arg[0]:match("^(.*/)") .. "workload.lua")
assert(arg[1], "usage: s_range.lua IN.xlsx")

local get = xlsx.GetCellValue
local id = xlsx.Open(nil, arg[1])
local rows, columns = xlsx.GetRowCount(id), xlsx.GetColumnCount(id)
local sum = w.checksum()
local add = sum.add
for pos in xlsx.CellRange(id, 1, 1, columns, rows) do add(get(id, pos)) end
xlsx.Close(id)
print(sum.line())

-- S-read: opens a workbook and reads every cell of its first sheet in reading order with GetCellValue,
-- then prints the checksum.   korvadel s_read.lua IN.xlsx
local w = dofile(arg[0]:match("^(.*/)") .. "workload.lua")
assert(arg[1], "usage: s_read.lua IN.xlsx")

local get = xlsx.GetCellValue
local id = xlsx.Open(nil, arg[1])
local rows, columns = xlsx.GetRowCount(id), xlsx.GetColumnCount(id)
local sum = w.checksum()
local add = sum.add
for y = 1, rows do
  for x = 1, columns do add(get(id, x, y)) end
end
xlsx.Close(id)
print(sum.line())

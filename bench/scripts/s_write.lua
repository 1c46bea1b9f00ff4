-- S-write: creates a workbook, sets every cell of the workload in reading order with SetCellValue,
-- and saves it.   korvadel s_write.lua R OUT.xlsx
local w = dofile(arg[0]:match("^(.*/)") .. "workload.lua")
local rows, out = math.tointeger(tonumber(arg[1])), arg[2]
assert(rows and out, "usage: s_write.lua R OUT.xlsx")

local set = xlsx.SetCellValue
local id = xlsx.Create(nil, out)
for r = 1, rows do
  set(id, 1, r, r)
  set(id, 2, r, r * 1.5 + 0.25)
  set(id, 3, r, "item-" .. (r % 100))
  set(id, 4, r, "name-" .. r)
  set(id, 5, r, r % 2 == 0 and 1 or 0, w.BOOLEAN)
  set(id, 6, r, (r * 7) % 1000)
  set(id, 7, r, r / 3.0)
  set(id, 8, r, (r * 13) % 10007)
  set(id, 9, r, r * 0.001)
  set(id, 10, r, -r)
end
xlsx.Save(id)
xlsx.Close(id)

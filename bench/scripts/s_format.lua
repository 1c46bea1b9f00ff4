-- S-format: the cell format workload. A bold header row "A".."J", then R rows of the workload whose
-- column H holds the date serial 45000 + (r % 1000) shown as yyyy-mm-dd and whose column G is shown as
-- #,##0.00 €; every even r has a solid D9D9D9 fill on all ten cells. Every format is set cell by cell
-- through the formatting commands.   korvadel s_format.lua R OUT.xlsx
local w = dofile(arg[0]:match("^(.*/)") .. "workload.lua")
local rows, out = math.tointeger(tonumber(arg[1])), arg[2]
assert(rows and out, "usage: s_format.lua R OUT.xlsx")

local set, number_format, fill = xlsx.SetCellValue, xlsx.SetCellNumberFormat, xlsx.SetCellFill
local KEEP, BOLD = XLSX_KEEP, XLSX_FONT_BOLD
local id = xlsx.Create(nil, out)
for c = 1, w.COLUMNS do
  set(id, c, 1, string.char(64 + c))
  xlsx.SetCellFont(id, c, 1, "", KEEP, BOLD, KEEP)
end
for r = 1, rows do
  local y = r + 1
  set(id, 1, y, r)
  set(id, 2, y, r * 1.5 + 0.25)
  set(id, 3, y, "item-" .. (r % 100))
  set(id, 4, y, "name-" .. r)
  set(id, 5, y, r % 2 == 0 and 1 or 0, w.BOOLEAN)
  set(id, 6, y, (r * 7) % 1000)
  set(id, 7, y, r / 3.0)
  number_format(id, 7, y, "#,##0.00 €")
  set(id, 8, y, 45000 + r % 1000)
  number_format(id, 8, y, "yyyy-mm-dd")
  set(id, 9, y, r * 0.001)
  set(id, 10, y, -r)
  if r % 2 == 0 then
    for c = 1, w.COLUMNS do fill(id, c, y, 0xD9D9D9) end
  end
end
xlsx.Save(id)
xlsx.Close(id)

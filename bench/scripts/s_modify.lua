-- S-modify: opens a workbook, sets A1 of its first sheet to 42 and saves it under a new name.
--   korvadel s_modify.lua IN.xlsx OUT.xlsx
assert(arg[1] and arg[2], "usage: s_modify.lua IN.xlsx OUT.xlsx")
local id = xlsx.Open(nil, arg[1])
xlsx.SetCellValue(id, 1, 1, 42)
xlsx.SaveAs(id, arg[2])
xlsx.Close(id)

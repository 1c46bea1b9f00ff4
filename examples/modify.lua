-- Changes one cell of an existing workbook and saves the result under a new name; the original file is
-- left as it was.
--   korvadel examples/modify.lua INPUT.xlsx OUTPUT.xlsx [CELL [VALUE [SHEET]]]
-- CELL is a reference such as B3 (default A1); VALUE is stored as a number when it reads as one, else as
-- text (default: the text "changed"); SHEET is a sheet name or number (default: the first sheet).
local input, output = arg[1], arg[2]
if not input or not output then
  io.stderr:write("usage: korvadel modify.lua INPUT.xlsx OUTPUT.xlsx [CELL [VALUE [SHEET]]]\n")
  os.exit(2)
end
local cell = arg[3] or "A1"
local value = arg[4] or "changed"
local sheet_arg = arg[5] or "1"

local doc = xlsx.Open(nil, input)
local sheet = tonumber(sheet_arg) or xlsx.GetSheetIndex(doc, sheet_arg)
if sheet < 1 or sheet > xlsx.GetSheetCount(doc) then
  io.stderr:write("modify.lua: no sheet " .. sheet_arg .. " in " .. input .. "\n")
  xlsx.Close(doc)
  os.exit(1)
end

local old = xlsx.GetCellValue(doc, cell, sheet)
local number = tonumber(value)
if number then
  xlsx.SetCellValue(doc, cell, number, 14, sheet)
else
  xlsx.SetCellValue(doc, cell, value, 3, sheet)
end
xlsx.SaveAs(doc, output)
print(string.format("%s!%s: %s -> %s, saved as %s", xlsx.GetSheetName(doc, sheet), cell, tostring(old),
                    tostring(xlsx.GetCellValue(doc, cell, sheet)), output))
xlsx.Close(doc)

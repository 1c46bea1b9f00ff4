-- Prints every cell of every sheet of the workbooks given, as the plugin reads them, as a JSON list of
-- [file, sheet, reference, type code, value, formula]. Each file is also saved unchanged as
-- OUT.keep.xlsx and, with one cell changed, as OUT.changed.xlsx.
--   korvadel read_cells.lua FILE OUT ...
local cells = {}

local function dump(path)
  local id = xlsx.Open(nil, path)
  for sheet = 1, xlsx.GetSheetCount(id) do
    local name = xlsx.GetSheetName(id, sheet)
    local rows, columns = xlsx.GetRowCount(id, sheet), xlsx.GetColumnCount(id, sheet)
    if xlsx.GetSheetType(id, sheet) == XLSX_SHEETTYPE_WORKSHEET and rows > 0 then
      for pos in xlsx.CellRange(id, 1, 1, columns, rows, sheet) do
        local value, code = xlsx.GetCellValue(id, pos)
        local formula = xlsx.HaveCellFormula(id, pos) == 1 and xlsx.GetCellFormula(id, pos) or ""
        if code ~= 0 or formula ~= "" then
          cells[#cells + 1] = {path, name, xlsx.GetCellReference(id, pos), code, value == nil and "" or value, formula}
        end
      end
    end
  end
  xlsx.Close(id)
end

for i = 1, #arg, 2 do
  local id = xlsx.Open(nil, arg[i])
  xlsx.SaveAs(id, arg[i + 1] .. ".keep.xlsx")
  xlsx.SetCellValue(id, 1, 1, "changed", 3, 1)
  xlsx.SaveAs(id, arg[i + 1] .. ".changed.xlsx")
  xlsx.Close(id)
  dump(arg[i])
end
print(require("expect").encode(cells))

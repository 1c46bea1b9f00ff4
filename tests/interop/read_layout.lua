-- Prints the layout of every sheet of IN, one line per item (merged ranges, frozen panes, filter, tab
-- colour, links), then changes A1 of the first sheet and saves the workbook as OUT.
--   read_layout.lua IN OUT
local doc = xlsx.Open(nil, arg[1])
for sheet = 1, xlsx.GetSheetCount(doc) do
  if xlsx.GetSheetType(doc, sheet) == XLSX_SHEETTYPE_WORKSHEET then
    for n = 1, xlsx.GetMergedCount(doc, sheet) do print(sheet, "merged", xlsx.GetMergedRange(doc, n, sheet)) end
    print(sheet, "frozen", xlsx.GetFrozenPanes(doc, sheet))
    print(sheet, "filter", xlsx.GetAutoFilter(doc, sheet))
    local tab = xlsx.GetSheetTabColor(doc, sheet)
    print(sheet, "tab", tab == XLSX_COLOR_NONE and "none" or string.format("%06X", tab))
    for y = 1, 12 do
      for x = 1, 4 do
        local target, tooltip = xlsx.GetCellHyperlink(doc, x, y, sheet)
        if target ~= "" then print(sheet, "link", string.char(64 + x) .. y, target, tooltip) end
      end
    end
  end
end
xlsx.SetCellValue(doc, "A1", "changed")
xlsx.SaveAs(doc, arg[2])
xlsx.Close(doc)

-- The sheet layout commands end to end: every command, the refusals. Writes layout.xlsx into the scratch
-- folder (arg[1]), whose layout the interoperability suite checks with other programs.
local check = require "check"

local doc = xlsx.Create(nil, check.path("layout.xlsx"))
xlsx.AddSheet(doc, "My Data")
-- Merged cells: overlaps and single cells refused, unmerging by any cell of the range.
xlsx.SetCellValue(doc, "A1", "Title")
xlsx.SetCellValue(doc, "B1", "kept under the merge")
xlsx.MergeCells(doc, "A1:C1")
xlsx.MergeCells(doc, "$E$5:d4")
check.raises("Range overlaps merged cells!", xlsx.MergeCells, doc, "C1:D2")
check.raises_each(check.CELL_RANGE, xlsx.MergeCells, {{doc, "F9"}, {doc, "A1:"}})
xlsx.MergeCells(doc, "A7:B8")
xlsx.UnmergeCells(doc, "B8")
check.eq(xlsx.GetMergedCount(doc), 2, "merged ranges")
check.eq(xlsx.GetMergedRange(doc, 2), "D4:E5", "second merged range")
check.raises(check.OPERATION, xlsx.GetMergedRange, doc, 3)
check.eq(xlsx.GetCellValue(doc, "B1"), "kept under the merge", "value under a merge")
xlsx.FreezePanes(doc, 2, 3)
check.same("frozen panes", { 2, 3 }, xlsx.GetFrozenPanes(doc))
xlsx.FreezePanes(doc, 0, 2, 2)
check.raises(check.COLUMN_RANGE, xlsx.FreezePanes, doc, -1, 2)
check.raises(check.SHEET_RANGE, xlsx.FreezePanes, doc, 1, 2, 3)
xlsx.SetAutoFilter(doc, "A2:C9")
xlsx.SetAutoFilter(doc, "A2:D20", 2)
xlsx.ClearAutoFilter(doc)
xlsx.SetAutoFilter(doc, "A3:C9")
check.eq(xlsx.GetAutoFilter(doc), "A3:C9", "filter")
xlsx.SetSheetTabColor(doc, 0x1F6FB2)
xlsx.SetSheetTabColor(doc, 0xFF0000, 2)
check.eq(xlsx.GetSheetTabColor(doc), 0x1F6FB2, "tab colour")
check.raises(check.OPERATION, xlsx.SetSheetTabColor, doc, 0x1000000)
-- Hyperlinks: outside addresses, places in the workbook, replaced and cleared links. The cells get
-- texts to show (applications drop links on empty cells when they save).
for y = 4, 9 do xlsx.SetCellValue(doc, 1, y, "link " .. y) end
xlsx.SetCellHyperlink(doc, "A4", "https://example.com/report?a=1&b=2", "The report")
xlsx.SetCellHyperlink(doc, 1, 5, "mailto:sales@example.com")
xlsx.SetCellHyperlink(doc, "A6", "'My Data'!B2", "Go to the data")
xlsx.SetCellHyperlink(doc, "A9", "https://example.com/old")
xlsx.SetCellHyperlink(doc, "A9", "#'My Data'!C3", nil, 1)
xlsx.SetCellHyperlink(doc, "B2", "https://example.com/gone", "gone")
xlsx.ClearCellHyperlink(doc, "B2")
check.raises(check.CELL_RANGE, xlsx.SetCellHyperlink, doc, "A10", "")
check.eq(table.concat({ xlsx.GetCellHyperlink(doc, "B2") }, "|"), "|", "cleared link")
for pos in xlsx.CellRange(doc, "A5", "A5") do
  check.eq(xlsx.GetCellHyperlink(doc, pos), "mailto:sales@example.com", "link through a position handle")
end
-- The layout follows its sheet when sheets are renamed and moved.
xlsx.SetSheetName(doc, 2, "Data 2")
xlsx.MoveSheet(doc, 2, 1)
xlsx.Save(doc)
xlsx.Close(doc)
check.done()

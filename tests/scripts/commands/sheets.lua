-- Sheet commands: adding, moving, renaming, deleting and finding sheets, the default sheet, visibility,
-- the active and the selected sheets. (Sheets out of range: errors.lua.)
local t = require "check"
local id = t.new_document("sheets.xlsx")
-- AddSheet: last by default, with pos 0 and beyond the count; at pos when 1 <= pos < count. A refused
-- name (the name rules are the library's) adds and moves nothing.
for _, a in ipairs({{"Two", nil, 2}, {"Zero", 1, 1}, {"Last", 7, 4}, {"Also last", 0, 5}, {"Mid", 3, 3}}) do
  t.eq(xlsx.AddSheet(id, a[1], a[2]), a[3], "AddSheet " .. a[1])
end
t.raises_each(t.OPERATION, xlsx.AddSheet, {{id, "Two", 1}, {id, "bad/name", 2}})
t.eq(t.sheets(id), "Zero,Sheet1,Mid,Two,Last,Also last", "order")
-- GetSheetCount, GetSheetIndex (0 when absent, no error).
t.same("count and indexes", {6, 4, 0, 0}, xlsx.GetSheetCount(id), xlsx.GetSheetIndex(id, "Two"),
       xlsx.GetSheetIndex(id, "two"), xlsx.GetSheetIndex(id, "Nowhere"))
-- MoveSheet: newpos outside 1..count moves to the end.
for _, m in ipairs({{1, 0, "Sheet1,Mid,Two,Last,Also last,Zero"}, {6, 1, "Zero,Sheet1,Mid,Two,Last,Also last"},
                    {2, 4, "Zero,Mid,Two,Sheet1,Last,Also last"}, {4, 4, "Zero,Mid,Two,Sheet1,Last,Also last"},
                    {1, 99, "Mid,Two,Sheet1,Last,Also last,Zero"}}) do
  xlsx.MoveSheet(id, m[1], m[2])
  t.eq(t.sheets(id), m[3], "MoveSheet " .. m[1] .. " to " .. m[2])
end
-- SetSheetName; a used name leaves the sheet as it was. DeleteSheet.
xlsx.SetSheetName(id, 6, "Renamed")
xlsx.SetSheetName(id, 6, "Mid")
t.eq(xlsx.GetSheetName(id, 6), "Renamed", "SetSheetName, then to a used name")
xlsx.DeleteSheet(id, 6)
t.eq(t.sheets(id), "Mid,Two,Sheet1,Last,Also last", "DeleteSheet")
-- SetDefaultSheet: commands without a sheet (or sheet 0) use it; deleting it leaves it out of range.
xlsx.SetDefaultSheet(id, 2)
xlsx.SetCellValue(id, 1, 1, "on Two")
t.same("A1 of sheets 2, 0, 1", {"on Two", "on Two", nil, n = 3}, xlsx.GetCellValue(id, 1, 1, 2),
       xlsx.GetCellValue(id, 1, 1, 0), (xlsx.GetCellValue(id, 1, 1, 1)))
xlsx.SetDefaultSheet(id, 5)
xlsx.DeleteSheet(id, 5)
t.raises(t.SHEET_RANGE, xlsx.GetCellValue, id, 1, 1)
t.raises(t.SHEET_RANGE, xlsx.GetRowCount, id)
t.eq(xlsx.GetRowCount(id, 2), 1, "an explicit sheet still works")
xlsx.SetDefaultSheet(id, 1)
-- Visibility: hidden and very hidden; any other value shows.
local V = {XLSX_VISIBILITY_VISIBLE, XLSX_VISIBILITY_HIDDEN, XLSX_VISIBILITY_VERYHIDDEN}
for _, v in ipairs({{V[2], 2, V[2]}, {V[3], 3, V[3]}, {5, 3, V[1]}, {0, 2, V[1]}}) do
  xlsx.SetSheetVisibility(id, v[1], v[2])
  t.eq(xlsx.GetSheetVisibility(id, v[2]), v[3], "visibility " .. v[1])
end
t.eq(xlsx.GetSheetVisibility(id), XLSX_VISIBILITY_VISIBLE, "default sheet")
-- Active sheet: Sheet1 stayed active through its moves; hidden, it handed over to the last visible one.
t.eq(xlsx.IsSheetActive(id, 4) .. xlsx.IsSheetActive(id, 1), "10", "active after moves and hiding")
xlsx.SetSheetActive(id, 3)
t.eq(xlsx.IsSheetActive(id, 3) .. xlsx.IsSheetActive(id, 1), "10", "SetSheetActive: only one active sheet")
xlsx.SetSheetActive(id)
t.eq(xlsx.IsSheetActive(id), 1, "SetSheetActive on the default sheet")
-- Selection, also on sheets whose view has no tabSelected attribute (every added sheet).
t.eq(xlsx.IsSheetSelected(id, 2), 0, "an added sheet is not selected")
for _, sel in ipairs({{1, 1}, {0, 0}, {7, 1}}) do
  xlsx.SetSheetSelected(id, sel[1], 2)
  t.eq(xlsx.IsSheetSelected(id, 2), sel[2], "SetSheetSelected " .. sel[1])
end
xlsx.Close(id)
t.done()

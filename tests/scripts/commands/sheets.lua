-- Sheet commands: AddSheet, DeleteSheet, MoveSheet, GetSheetIndex, GetSheetCount, GetSheetName,
-- SetSheetName, GetSheetType, SetDefaultSheet, IsSheetActive, IsSheetSelected, SetSheetActive,
-- SetSheetSelected, SetSheetVisibility, GetSheetVisibility.
local t = dofile((arg[0]:match("^(.*)/") or ".") .. "/support.lua")

local id = t.new_document("sheets.xlsx")

-- AddSheet: last by default, at pos when 1 <= pos < count, last for pos beyond the count.
t.eq(xlsx.AddSheet(id, "Two"), 2, "AddSheet without pos")
t.eq(xlsx.AddSheet(id, "Zero", 1), 1, "AddSheet at pos 1")
t.eq(t.sheets(id), "Zero,Sheet1,Two", "order after AddSheet at 1")
t.eq(xlsx.AddSheet(id, "Last", 7), 4, "AddSheet with pos beyond the count")
t.eq(xlsx.AddSheet(id, "Also last", 0), 5, "AddSheet with pos 0")
t.eq(xlsx.AddSheet(id, "Mid", 3), 3, "AddSheet at pos 3")
t.eq(t.sheets(id), "Zero,Sheet1,Mid,Two,Last,Also last", "order")

-- A refused name (the name rules are the library's) changes nothing: no sheet is added and none moves.
t.raises_each(t.OPERATION, xlsx.AddSheet, { { id, "Two", 1 }, { id, "bad/name", 2 } })
t.eq(t.sheets(id), "Zero,Sheet1,Mid,Two,Last,Also last", "order after refused additions")
t.raises(t.NO_DOCUMENT, xlsx.AddSheet, 99, "Other")
t.rejects(xlsx.AddSheet, id)

-- GetSheetCount, GetSheetIndex (case-sensitive, 0 when absent, no error).
t.eq(xlsx.GetSheetCount(id), 6, "GetSheetCount")
for _, r in ipairs({ { "Two", 4 }, { "two", 0, "case-sensitive" }, { "Nowhere", 0, "unknown name" } }) do
  t.eq(xlsx.GetSheetIndex(id, r[1]), r[2], "GetSheetIndex " .. (r[3] or r[1]))
end
t.raises(t.NO_DOCUMENT, xlsx.GetSheetIndex, 99, "Two")
t.raises(t.NO_DOCUMENT, xlsx.GetSheetCount, 99)

-- GetSheetName: idx 0 and count + 1 are out of range; the id is checked first.
t.raises_each(t.SHEET_RANGE, xlsx.GetSheetName, { { id, 0 }, { id, 7 }, { id, -1 } })
t.raises(t.NO_DOCUMENT, xlsx.GetSheetName, 99, 0)

-- MoveSheet: newpos outside 1..count moves to the end.
for _, m in ipairs({
  { 1, 0, "Sheet1,Mid,Two,Last,Also last,Zero", "to 0 moves to the end" },
  { 6, 1, "Zero,Sheet1,Mid,Two,Last,Also last", "to 1" },
  { 2, 4, "Zero,Mid,Two,Sheet1,Last,Also last", "forward" },
  { 4, 4, "Zero,Mid,Two,Sheet1,Last,Also last", "onto itself" },
  { 1, 99, "Mid,Two,Sheet1,Last,Also last,Zero", "beyond the end" },
}) do
  xlsx.MoveSheet(id, m[1], m[2])
  t.eq(t.sheets(id), m[3], "MoveSheet " .. m[4])
end
t.raises_each(t.SHEET_RANGE, xlsx.MoveSheet, { { id, 0, 1 }, { id, 7, 1 } })
t.raises(t.NO_DOCUMENT, xlsx.MoveSheet, 99, 7, 1)
t.rejects(xlsx.MoveSheet, id, 1)

-- SetSheetName; a refused name leaves the sheet as it was.
xlsx.SetSheetName(id, 6, "Renamed")
t.eq(xlsx.GetSheetName(id, 6), "Renamed", "SetSheetName")
xlsx.SetSheetName(id, 6, "Mid")
t.eq(xlsx.GetSheetName(id, 6), "Renamed", "SetSheetName to a used name changes nothing")
t.raises(t.SHEET_RANGE, xlsx.SetSheetName, id, 0, "X")
t.raises(t.NO_DOCUMENT, xlsx.SetSheetName, 99, 0, "X")
t.rejects(xlsx.SetSheetName, id, 1)

-- DeleteSheet.
xlsx.DeleteSheet(id, 6)
t.eq(t.sheets(id), "Mid,Two,Sheet1,Last,Also last", "DeleteSheet")
t.raises_each(t.SHEET_RANGE, xlsx.DeleteSheet, { { id, 0 }, { id, 6 } })
t.raises(t.NO_DOCUMENT, xlsx.DeleteSheet, 99, 6)

-- GetSheetType: worksheets; sheet 0 is the default sheet, not out of range.
for _, args in ipairs({ { id, 1 }, { id }, { id, 0 } }) do
  t.eq(xlsx.GetSheetType(table.unpack(args)), XLSX_SHEETTYPE_WORKSHEET, "GetSheetType of sheet " .. (args[2] or "none"))
end
t.raises_each(t.SHEET_RANGE, xlsx.GetSheetType, { { id, 6 }, { id, -1 } })

-- SetDefaultSheet: commands without a sheet use it; deleting it leaves it out of range.
xlsx.SetDefaultSheet(id, 2)
xlsx.SetCellValue(id, 1, 1, "on Two")
for _, r in ipairs({ { 2, "on Two" }, { 0, "on Two" }, { 1, nil } }) do  -- 0 is the default sheet, 1 another
  t.eq(xlsx.GetCellValue(id, 1, 1, r[1]), r[2], "A1 of sheet " .. r[1])
end
t.raises_each(t.SHEET_RANGE, xlsx.SetDefaultSheet, { { id, 0 }, { id, 6 } })
t.raises(t.NO_DOCUMENT, xlsx.SetDefaultSheet, 99, 6)
xlsx.SetDefaultSheet(id, 5)
xlsx.DeleteSheet(id, 5)
t.raises(t.SHEET_RANGE, xlsx.GetCellValue, id, 1, 1)
t.raises(t.SHEET_RANGE, xlsx.GetRowCount, id)
t.eq(xlsx.GetRowCount(id, 2), 1, "an explicit sheet still works")
xlsx.SetDefaultSheet(id, 1)

-- Visibility: hidden and very hidden; hiding the last visible sheet is refused silently.
for _, v in ipairs({ { XLSX_VISIBILITY_HIDDEN, 2, XLSX_VISIBILITY_HIDDEN, "hidden" },
                     { XLSX_VISIBILITY_VERYHIDDEN, 3, XLSX_VISIBILITY_VERYHIDDEN, "very hidden" },
                     { 5, 3, XLSX_VISIBILITY_VISIBLE, "any other value shows the sheet" },
                     { 0, 2, XLSX_VISIBILITY_VISIBLE, "visible again" } }) do
  xlsx.SetSheetVisibility(id, v[1], v[2])
  t.eq(xlsx.GetSheetVisibility(id, v[2]), v[3], v[4])
end
t.eq(xlsx.GetSheetVisibility(id), XLSX_VISIBILITY_VISIBLE, "default sheet")
local solo = t.new_document("solo.xlsx")
xlsx.SetSheetVisibility(solo, 1)
t.eq(xlsx.GetSheetVisibility(solo), XLSX_VISIBILITY_VISIBLE, "the only visible sheet stays visible")
t.id_then_sheet(xlsx.SetSheetVisibility, id, 1)
t.raises(t.SHEET_RANGE, xlsx.GetSheetVisibility, id, 9)
t.rejects(xlsx.SetSheetVisibility, id)

-- Active sheet.
t.eq(xlsx.IsSheetActive(id, 4) .. xlsx.IsSheetActive(id, 1), "10", "Sheet1 stayed active through its moves; hidden, it handed over to the last visible sheet")
xlsx.SetSheetActive(id, 3)
t.eq(xlsx.IsSheetActive(id, 3) .. xlsx.IsSheetActive(id, 1), "10", "SetSheetActive: only one active sheet")
xlsx.SetSheetActive(id)
t.eq(xlsx.IsSheetActive(id), 1, "SetSheetActive on the default sheet")
t.raises(t.SHEET_RANGE, xlsx.SetSheetActive, id, 9)
t.id_then_sheet(xlsx.IsSheetActive, id)

-- Selection, also on sheets whose view has no tabSelected attribute (every added sheet).
t.eq(xlsx.IsSheetSelected(id, 2), 0, "an added sheet is not selected")
for _, sel in ipairs({ { 1, 1, "SetSheetSelected adds the attribute" }, { 0, 0, "SetSheetSelected 0 unselects" },
                       { 7, 1, "any nonzero value selects" } }) do
  xlsx.SetSheetSelected(id, sel[1], 2)
  t.eq(xlsx.IsSheetSelected(id, 2), sel[2], sel[3])
end
t.id_then_sheet(xlsx.SetSheetSelected, id, 1)
t.raises(t.SHEET_RANGE, xlsx.IsSheetSelected, id, 9)
t.rejects(xlsx.SetSheetSelected, id)
xlsx.Close(id)
print("sheets: ok")

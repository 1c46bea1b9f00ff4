-- The order of checks of every command: the document id first, then the sheet, then what the sheet
-- holds (a cell, a row, a column) or the property. Each row gives the command, its arguments with ID
-- where the document goes, SHEET where the sheet goes (a sheet number or a sheet index), and the message
-- for the argument after them being out of range, which the row already holds.
local t = require "check"

local id = t.new_document("errors.xlsx")
xlsx.SetCellValue(id, 2, 2, 1)  -- two rows and two columns
local ID, SHEET = {}, {}
local rows = {
  {"GetCellValue", {ID, 0, 1, SHEET}, t.CELL_RANGE}, {"GetCellValue", {ID, "XFE1", SHEET}, t.CELL_RANGE},
  {"SetCellValue", {ID, 0, 1, 1, 14, SHEET}, t.CELL_RANGE}, {"ClearCellValue", {ID, 0, 1, SHEET}, t.CELL_RANGE},
  {"GetCellFormula", {ID, 0, 1, SHEET}, t.CELL_RANGE}, {"HaveCellFormula", {ID, 1, 0, SHEET}, t.CELL_RANGE},
  {"SetCellFormula", {ID, 0, 1, "1", SHEET}, t.CELL_RANGE}, {"ClearCellFormula", {ID, 0, 1, SHEET}, t.CELL_RANGE},
  {"GetCellReference", {ID, 16385, 1, 0, SHEET}, t.CELL_RANGE}, {"CellRange", {ID, 0, 0, 0, 0, SHEET}, t.CELL_RANGE},
  {"GetColumnWidth", {ID, 3, SHEET}, t.COLUMN_RANGE}, {"SetColumnWidth", {ID, 0, 1, SHEET}, t.COLUMN_RANGE},
  {"IsColumnHidden", {ID, 3, SHEET}, t.COLUMN_RANGE}, {"HideColumn", {ID, 3, 1, SHEET}, t.COLUMN_RANGE},
  {"GetRowHeight", {ID, 3, SHEET}, t.ROW_RANGE}, {"SetRowHeight", {ID, 0, 1, SHEET}, t.ROW_RANGE},
  {"IsRowHidden", {ID, 3, SHEET}, t.ROW_RANGE}, {"HideRow", {ID, 3, 1, SHEET}, t.ROW_RANGE},
  {"GetRowCount", {ID, SHEET}}, {"GetColumnCount", {ID, SHEET}}, {"GetSheetType", {ID, SHEET}},
  {"IsSheetActive", {ID, SHEET}}, {"IsSheetSelected", {ID, SHEET}}, {"SetSheetActive", {ID, SHEET}},
  {"SetSheetSelected", {ID, 1, SHEET}}, {"GetSheetVisibility", {ID, SHEET}}, {"SetSheetVisibility", {ID, 1, SHEET}},
  {"GetSheetName", {ID, SHEET}}, {"SetSheetName", {ID, SHEET, "X"}}, {"DeleteSheet", {ID, SHEET}},
  {"MoveSheet", {ID, SHEET, 1}}, {"SetDefaultSheet", {ID, SHEET}}, {"GetProperty", {ID, 20}, t.OPERATION},
  {"SetProperty", {ID, -1, "x"}, t.OPERATION}, {"DeleteProperty", {ID, 99}, t.OPERATION},
  {"AddSheet", {ID, "Other"}}, {"GetSheetIndex", {ID, "Sheet1"}}, {"GetSheetCount", {ID}}, {"Save", {ID}},
  {"SaveAs", {ID, t.path("x.xlsx")}}, {"Close", {ID}},
}
local function call(row, document, sheet)
  local args = {}
  for i, a in ipairs(row[2]) do args[i] = a == ID and document or a == SHEET and sheet or a end
  return xlsx[row[1]](table.unpack(args, 1, #row[2]))
end
for _, row in ipairs(rows) do
  local sheeted = false
  for _, a in ipairs(row[2]) do sheeted = sheeted or a == SHEET end
  t.labelled(row[1], t.raises, t.NO_DOCUMENT, call, row, 99, 9)
  if sheeted then
    t.labelled(row[1], t.raises, t.SHEET_RANGE, call, row, id, 9)
    t.labelled(row[1], t.raises, t.SHEET_RANGE, call, row, id, -1)
  end
  if row[3] then t.labelled(row[1], t.raises, row[3], call, row, id, 1) end
end
-- Sheet 0 is the default sheet where a sheet is optional, and out of range where a sheet index is needed.
t.eq(xlsx.GetRowCount(id, 0), 2, "sheet 0 is the default sheet")
t.raises_each(t.SHEET_RANGE, xlsx.GetSheetName, {{id, 0}, {id, 2}})
t.raises(t.SHEET_RANGE, xlsx.SetDefaultSheet, id, 0)
-- A missing argument, or one of another type, is refused by the host before the command looks at it.
local misuses = {
  {"Open", 1}, {"Open", {}, t.path("errors.xlsx")}, {"Close"}, {"UseSharedStrings"}, {"AddSheet", id},
  {"MoveSheet", id, 1}, {"SetSheetName", id, 1}, {"SetSheetVisibility", id}, {"SetSheetSelected", id},
  {"SetRowHeight", id, 1}, {"HideRow", id, 1}, {"SetColumnWidth", id, 1}, {"HideColumn", id, 1}, {"SetProperty", id, 0},
  {"GetProperty", id}, {"GetCellValue", id, 1}, {"SetCellValue", id, 1, 1, n = 5}, {"SetCellValue", id, 1, 1, {}},
  {"SetCellValue", id, 1, 1, true}, {"SetCellFormula", id, 1, 1, n = 5}, {"CellRange", id, 1, 1, 1},
}
for _, c in ipairs(misuses) do t.labelled(c[1], t.rejects, xlsx[c[1]], table.unpack(c, 2, c.n or #c)) end
xlsx.Close(id)
t.done()

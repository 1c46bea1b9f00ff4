-- Row and column commands: GetRowCount, GetColumnCount, SetColumnWidth, GetColumnWidth, SetRowHeight,
-- GetRowHeight, HideColumn, HideRow, IsColumnHidden, IsRowHidden.
local t = require "check"

local id = t.new_document("rows_columns.xlsx")

-- An empty sheet has 0 rows and 1 column, so every row number is out of range.
t.eq(xlsx.GetRowCount(id), 0, "rows of an empty sheet")
t.eq(xlsx.GetColumnCount(id), 1, "columns of an empty sheet")
local function rows_refused(row)
  for _, call in ipairs({ { xlsx.SetRowHeight, 20 }, { xlsx.GetRowHeight }, { xlsx.HideRow, 1 }, { xlsx.IsRowHidden } }) do
    t.labelled("row " .. row, t.raises, t.ROW_RANGE, call[1], id, row, call[2])
  end
end
rows_refused(1)

-- After writing A3 and C2 the sheet has 3 rows and 3 columns.
xlsx.SetCellValue(id, 1, 3, "row three")
xlsx.SetCellValue(id, 3, 2, 1)
t.eq(xlsx.GetRowCount(id) .. "x" .. xlsx.GetColumnCount(id), "3x3", "rows and columns after writing A3 and C2")

-- Row heights: 15 until set; rows 1 to 3 pass the check, 0 and 4 do not.
t.eq(xlsx.GetRowHeight(id, 1), 15, "default height")
xlsx.SetRowHeight(id, 2, 20)
t.eq(xlsx.GetRowHeight(id, 2), 20, "SetRowHeight")
xlsx.SetRowHeight(id, 3, 12.75)
t.eq(xlsx.GetRowHeight(id, 3), 12.75, "fractional height")
for _, row in ipairs({ 0, 4, -1 }) do rows_refused(row) end
t.raises(t.OPERATION, xlsx.SetRowHeight, id, 2, 1 / 0)
t.eq(xlsx.GetRowHeight(id, 2), 20, "a height that is not finite changes nothing")

-- Hidden rows.
t.eq(xlsx.IsRowHidden(id, 1), 0, "rows start visible")
for _, h in ipairs({ { 1, 1, 1, "HideRow" }, { 1, 0, 0, "HideRow 0 shows the row" },
                     { 3, -5, 1, "any nonzero value hides" }, { 2, 0.5, 0, "0.5 truncates to 0" } }) do
  xlsx.HideRow(id, h[1], h[2])
  t.eq(xlsx.IsRowHidden(id, h[1]), h[3], h[4])
end

-- Column widths: a column without its own width reports 9.8 in single precision.
t.eq(math.abs(xlsx.GetColumnWidth(id, 2) - 9.8) < 1e-6, true, "default width")
xlsx.SetColumnWidth(id, 3, 12.5)
t.eq(xlsx.GetColumnWidth(id, 3), 12.5, "SetColumnWidth")
for _, col in ipairs({ 0, 4, -1, 65537 }) do
  for _, call in ipairs({ { xlsx.SetColumnWidth, 20 }, { xlsx.GetColumnWidth }, { xlsx.HideColumn, 1 },
                          { xlsx.IsColumnHidden } }) do
    t.labelled("column " .. col, t.raises, t.COLUMN_RANGE, call[1], id, col, call[2])
  end
end
t.raises(t.OPERATION, xlsx.SetColumnWidth, id, 3, 0 / 0)
t.eq(xlsx.GetColumnWidth(id, 3), 12.5, "a width that is not a number changes nothing")

-- Hidden columns.
t.eq(xlsx.IsColumnHidden(id, 1), 0, "columns start visible")
for _, h in ipairs({ { 1, 1, "HideColumn" }, { 0, 0, "HideColumn 0 shows the column" } }) do
  xlsx.HideColumn(id, 1, h[1])
  t.eq(xlsx.IsColumnHidden(id, 1), h[2], h[3])
end

-- The optional sheet, and the order of checks: id, sheet, then row or column.
xlsx.AddSheet(id, "Second")
xlsx.SetCellValue(id, 2, 2, "x", 3, 2)
t.eq(xlsx.GetRowCount(id, 2) .. "x" .. xlsx.GetColumnCount(id, 2), "2x2", "rows and columns of sheet 2")
xlsx.SetColumnWidth(id, 2, 30, 2)
t.eq(xlsx.GetColumnWidth(id, 2, 2), 30, "width on sheet 2")
t.eq(math.abs(xlsx.GetColumnWidth(id, 2, 1) - 9.8) < 1e-6, true, "sheet 1 unchanged")
xlsx.SetRowHeight(id, 1, 40, 2)
t.eq(xlsx.GetRowHeight(id, 1, 2), 40, "height on sheet 2")
xlsx.HideRow(id, 2, 1, 2)
t.eq(xlsx.IsRowHidden(id, 2, 2), 1, "hidden row on sheet 2")
xlsx.HideColumn(id, 1, 1, 2)
t.eq(xlsx.IsColumnHidden(id, 1, 2), 1, "hidden column on sheet 2")
for _, fn in ipairs({ xlsx.GetColumnWidth, xlsx.GetRowHeight, xlsx.IsColumnHidden, xlsx.IsRowHidden }) do
  t.raises(t.SHEET_RANGE, fn, id, 1, -1)
end
for _, fn in ipairs({ xlsx.SetColumnWidth, xlsx.SetRowHeight, xlsx.HideColumn, xlsx.HideRow }) do
  t.rejects(fn, id, 1)
end
t.raises(t.SHEET_RANGE, xlsx.GetColumnCount, id, 9)
xlsx.Close(id)
t.done()

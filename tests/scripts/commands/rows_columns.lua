-- Row and column commands: counts, widths, heights and hidden flags, on the default and another sheet.
local t = require "check"
local id = t.new_document("rows_columns.xlsx")
local function refused(message, row_or_column, calls)
  for _, c in ipairs(calls) do t.labelled(row_or_column, t.raises, message, c[1], id, row_or_column, c[2]) end
end
local rows = {{xlsx.SetRowHeight, 20}, {xlsx.GetRowHeight}, {xlsx.HideRow, 1}, {xlsx.IsRowHidden}}
local columns = {{xlsx.SetColumnWidth, 20}, {xlsx.GetColumnWidth}, {xlsx.HideColumn, 1}, {xlsx.IsColumnHidden}}
-- An empty sheet has 0 rows and 1 column, so every row is out of range; after A3 and C2, 3 and 3.
t.eq(xlsx.GetRowCount(id) .. "x" .. xlsx.GetColumnCount(id), "0x1", "an empty sheet")
refused(t.ROW_RANGE, 1, rows)
xlsx.SetCellValue(id, 1, 3, "row three") xlsx.SetCellValue(id, 3, 2, 1)
t.eq(xlsx.GetRowCount(id) .. "x" .. xlsx.GetColumnCount(id), "3x3", "after writing A3 and C2")
for _, n in ipairs({0, 4, -1}) do refused(t.ROW_RANGE, n, rows) end
for _, n in ipairs({0, 4, -1, 65537}) do refused(t.COLUMN_RANGE, n, columns) end
-- Heights (15 until set) and widths (9.8 in single precision until set); non-finite values are refused.
xlsx.SetRowHeight(id, 2, 20) xlsx.SetRowHeight(id, 3, 12.75)
t.same("heights", {15, 20, 12.75}, xlsx.GetRowHeight(id, 1), xlsx.GetRowHeight(id, 2), xlsx.GetRowHeight(id, 3))
t.raises(t.OPERATION, xlsx.SetRowHeight, id, 2, 1 / 0)
t.eq(xlsx.GetRowHeight(id, 2), 20, "a height that is not finite changes nothing")
t.is_true(math.abs(xlsx.GetColumnWidth(id, 2) - 9.8) < 1e-6, "default width")
xlsx.SetColumnWidth(id, 3, 12.5)
t.raises(t.OPERATION, xlsx.SetColumnWidth, id, 3, 0 / 0)
t.eq(xlsx.GetColumnWidth(id, 3), 12.5, "SetColumnWidth, then a width that is no number changes nothing")
-- Hidden rows and columns: any nonzero value hides, 0.5 truncates to 0.
t.eq(xlsx.IsRowHidden(id, 1) .. xlsx.IsColumnHidden(id, 1), "00", "rows and columns start visible")
for _, h in ipairs({{1, 1, 1}, {1, 0, 0}, {3, -5, 1}, {2, 0.5, 0}}) do
  xlsx.HideRow(id, h[1], h[2])
  xlsx.HideColumn(id, h[1], h[2])
  t.eq(xlsx.IsRowHidden(id, h[1]) .. xlsx.IsColumnHidden(id, h[1]), h[3] .. h[3], "Hide " .. h[2])
end
-- The optional sheet argument.
xlsx.AddSheet(id, "Second")
xlsx.SetCellValue(id, 2, 2, "x", 3, 2)
t.eq(xlsx.GetRowCount(id, 2) .. "x" .. xlsx.GetColumnCount(id, 2), "2x2", "rows and columns of sheet 2")
xlsx.SetColumnWidth(id, 2, 30, 2) xlsx.SetRowHeight(id, 1, 40, 2)
xlsx.HideRow(id, 2, 1, 2) xlsx.HideColumn(id, 1, 1, 2)
t.same("sheet 2", {30, 40, 1, 1}, xlsx.GetColumnWidth(id, 2, 2), xlsx.GetRowHeight(id, 1, 2),
       xlsx.IsRowHidden(id, 2, 2), xlsx.IsColumnHidden(id, 1, 2))
t.is_true(math.abs(xlsx.GetColumnWidth(id, 2, 1) - 9.8) < 1e-6, "sheet 1 unchanged")
xlsx.Close(id)
t.done()

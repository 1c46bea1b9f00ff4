-- Cell commands: what SetCellValue stores for each value and type code, addresses (x and y, reference
-- texts), cells out of range and formulas.
local t = require "check"
local id = t.new_document("cells.xlsx")
local function expect(x, y, v, code, what) t.same(what, {v, code, n = 2}, xlsx.GetCellValue(id, x, y)) end
-- Value and type code given to SetCellValue (nil: the default 14, integer or float), and read back.
for _, w in ipairs({
  {3, nil, 3, 1, "whole number"}, {2.5, nil, 2.5, 12, "fraction"}, {3.9, 1, 3, 1, "type 1 truncates"},
  {-3.9, 1, -3, 1, "type 1 truncates toward zero"}, {4.25, 12, 4.25, 12, "type 12 stores a float"},
  {4, 12, 4, 1, "a whole float reads back as an integer"},  -- the file keeps no kind for numbers
  {0, 13, 0, 13, "false"}, {-2, 13, 1, 13, "any nonzero number is true"},
  {17, 3, "17", 3, "type 3 stores a number as text"}, {"abc", 1, "abc", 3, "a text is text whatever the type"},
  {" padded ", nil, " padded ", 3, "spaces kept"}, {5, 0, nil, 0, "type 0 empties the cell"},
  {5, 2, nil, 0, "type 2 empties"}, {5, 99, nil, 0, "type 99 empties"}, {5, -1, nil, 0, "type -1 empties"},
  {1e20, nil, 1e20, 12, "a whole number beyond 64 bits stays a float"}, {2 ^ 53, nil, 2 ^ 53, 1, "2^53 is an integer"},
  {1 / 0, nil, "#NUM!", 14, "infinity becomes #NUM!"}, {0 / 0, 1, "#NUM!", 14, "NaN as integer becomes #NUM!"},
  {1e300, 1, 2 ^ 63, 1, "an integer beyond 64 bits is clamped, not wrapped"}, {0.1, nil, 0.1, 12, "0.1 round-trips"},
}) do
  xlsx.SetCellValue(id, 1, 1, w[1], w[2])
  expect(1, 1, w[3], w[4], w[5])
  if w[4] == 1 and math.type(w[3]) == "integer" then t.eq(math.type(xlsx.GetCellValue(id, 1, 1)), "integer", w[5]) end
end
-- Reading a cell the sheet does not hold gives nil and creates its row.
expect(3, 9, nil, 0, "untouched cell")
t.eq(xlsx.GetRowCount(id) .. "x" .. xlsx.GetColumnCount(id), "9x3", "reading created row 9 and column C")
-- Reference texts in either case; the arguments after them move by one.
xlsx.SetCellValue(id, "B3", "by reference")
t.eq(xlsx.GetCellValue(id, 2, 3) .. xlsx.GetCellValue(id, "b3"), "by referenceby reference", "B3 is x 2, y 3")
xlsx.AddSheet(id, "Other")
xlsx.SetCellValue(id, "C2", 7, 1, 2)
t.same("sheet after a reference text", {7, nil, n = 2}, xlsx.GetCellValue(id, "C2", 2),
       (xlsx.GetCellValue(id, 3, 2, 1)))
-- Cells out of range: beyond the sheet, and 65536 + n (never reduced to 16 bits).
for _, xy in ipairs({{-1, 1}, {16385, 1}, {1, 1048577}, {65537, 1}, {65536, 1}, {2 ^ 32 + 1, 1}}) do
  t.raises(t.CELL_RANGE, xlsx.GetCellValue, id, xy[1], xy[2])
  t.raises(t.CELL_RANGE, xlsx.SetCellValue, id, xy[1], xy[2], 1)
end
t.eq(xlsx.GetCellValue(id, 1, 1), 0.1, "A1 not touched by column 65537")
xlsx.SetCellValue(id, 16384, 1048576, "last")
t.eq(xlsx.GetCellValue(id, "XFD1048576"), "last", "the last cell")
for _, ref in ipairs({"", "A0", "AAAA1"}) do t.raises(t.CELL_RANGE, xlsx.GetCellValue, id, ref) end
-- Formulas are stored without a cached value; ClearCellValue keeps them; the sheet follows a reference.
xlsx.SetCellValue(id, 5, 1, 99)
xlsx.SetCellFormula(id, 5, 1, "A1*2")
expect(5, 1, nil, 0, "a formula cell has no cached value")
xlsx.ClearCellValue(id, 5, 1)
t.eq(xlsx.GetCellFormula(id, 5, 1), "A1*2", "the formula survives ClearCellValue")
t.raises(t.NO_FORMULA, xlsx.GetCellFormula, id, 1, 1)
xlsx.SetCellFormula(id, "F1", "\"text\"&B3")
xlsx.SetCellFormula(id, "F1", "1+1", 2)
xlsx.ClearCellFormula(id, "F1", 2)
t.eq(xlsx.HaveCellFormula(id, "F1", 2) .. xlsx.GetCellFormula(id, "F1"), "0\"text\"&B3",
     "the sheet follows a reference")
t.raises(t.SHEET_RANGE, xlsx.SetCellFormula, id, 1, 1, nil, 9)  -- the text is read after the checks
xlsx.Close(id)
t.done()

-- Cell commands: GetCellValue, SetCellValue, ClearCellValue, GetCellFormula, HaveCellFormula,
-- SetCellFormula, ClearCellFormula, GetCellReference; type codes, addresses and checks.
local t = dofile((arg[0]:match("^(.*)/") or ".") .. "/support.lua")

local id = t.new_document("cells.xlsx")

local function value(...) return t.pack(xlsx.GetCellValue(id, ...)) end
local function expect(x, y, v, code, what)
  local r = value(x, y)
  t.eq(r.n, 2, what .. ": result count")
  t.eq(r[1], v, what .. ": value")
  t.eq(r[2], code, what .. ": type code")
end

-- What SetCellValue stores for a value and a type code (nil: the default 14, which picks integer or
-- float): the value and type code GetCellValue gives back.
local writes = {
  { 3, nil, 3, 1, "whole number" },
  { 2.5, nil, 2.5, 12, "fraction" },
  { 3.9, 1, 3, 1, "type 1 truncates" },
  { -3.9, 1, -3, 1, "type 1 truncates toward zero" },
  { 4.25, 12, 4.25, 12, "type 12 stores a float" },
  -- The file format keeps no kind for numbers: a whole float is written as 4 and reads back as an integer.
  { 4, 12, 4, 1, "a whole float reads back as an integer" },
  { 0, 13, 0, 13, "false" },
  { -2, 13, 1, 13, "any nonzero number is true" },
  { 17, 3, "17", 3, "type 3 stores a number as text" },
  { "abc", 1, "abc", 3, "a text is stored as text whatever the type" },
  { "", 3, "", 3, "empty text" },
  { " padded ", nil, " padded ", 3, "spaces kept" },
  { 5, 0, nil, 0, "type 0 empties the cell" },
  { 5, 2, nil, 0, "type 2 empties the cell" },
  { 5, 99, nil, 0, "type 99 empties the cell" },
  { 5, -1, nil, 0, "type -1 empties the cell" },
  { 1e20, nil, 1e20, 12, "a whole number beyond 64 bits stays a float" },
  { 2 ^ 53, nil, 2 ^ 53, 1, "2^53 is an integer" },
  { 1 / 0, nil, "#NUM!", 14, "infinity becomes #NUM!" },
  { 0 / 0, 1, "#NUM!", 14, "NaN as integer becomes #NUM!" },
  { 1e300, 1, 2 ^ 63, 1, "an integer beyond 64 bits is clamped (2^63 as a script number), not wrapped" },
  { 0.1, nil, 0.1, 12, "0.1 round-trips exactly" },
}
for _, w in ipairs(writes) do
  xlsx.SetCellValue(id, 1, 1, w[1], w[2])
  expect(1, 1, w[3], w[4], w[5])
  if w[4] == 1 and math.type(w[3]) == "integer" then
    t.eq(math.type(xlsx.GetCellValue(id, 1, 1)), "integer", w[5] .. ": integers reach the script as integers")
  end
end
for _, v in ipairs({ {}, { {} }, { true } }) do t.rejects(xlsx.SetCellValue, id, 1, 1, v[1]) end  -- nil, table, boolean

-- Reading a cell the sheet does not hold gives nil and creates its row.
t.eq(xlsx.GetRowCount(id), 1, "rows before reading")
expect(3, 9, nil, 0, "untouched cell")
t.eq(xlsx.GetRowCount(id), 9, "reading created row 9")
t.eq(xlsx.GetColumnCount(id), 3, "reading created column C")

-- Addresses: x/y, reference texts in either case, and the arguments that follow move by one.
xlsx.SetCellValue(id, "B3", "by reference")
t.eq(xlsx.GetCellValue(id, 2, 3), "by reference", "B3 is x = 2, y = 3")
t.eq(xlsx.GetCellValue(id, "b3"), "by reference", "lower-case letters name the same column")
xlsx.AddSheet(id, "Other")
xlsx.SetCellValue(id, "C2", 7, 1, 2)
t.eq(xlsx.GetCellValue(id, 3, 2, 2), 7, "sheet after a reference text")
t.eq(xlsx.GetCellValue(id, "C2", 2), 7, "sheet after a reference text when reading")
t.eq(xlsx.GetCellValue(id, 3, 2, 1), nil, "the other sheet holds nothing there")

-- Cells out of range: zero, negative, beyond the sheet, and 65536 + n (never reduced to 16 bits).
for _, xy in ipairs({ { 0, 1 }, { 1, 0 }, { -1, 1 }, { 16385, 1 }, { 1, 1048577 }, { 65537, 1 }, { 65536, 1 }, { 2 ^ 32 + 1, 1 } }) do
  t.raises(t.CELL_RANGE, xlsx.GetCellValue, id, xy[1], xy[2])
  t.raises(t.CELL_RANGE, xlsx.SetCellValue, id, xy[1], xy[2], 1)
end
t.eq(xlsx.GetCellValue(id, 1, 1), 0.1, "A1 not touched by column 65537")
xlsx.SetCellValue(id, 16384, 1048576, "last")
t.eq(xlsx.GetCellValue(id, "XFD1048576"), "last", "the last cell")
for _, ref in ipairs({ "", "XFE1", "A0", "A1048577", "AAAA1" }) do  -- the parsing rules are the library's
  t.raises(t.CELL_RANGE, xlsx.GetCellValue, id, ref)
end

-- Order of checks: id, then sheet, then the cell.
t.id_then_sheet(xlsx.GetCellValue, id, 0, 0)
t.id_then_sheet(xlsx.SetCellValue, id, 0, 0, 1, 14)
t.rejects(xlsx.GetCellValue, id, 1)

-- ClearCellValue keeps the formula.
xlsx.SetCellValue(id, 4, 1, 10)
xlsx.ClearCellValue(id, 4, 1)
expect(4, 1, nil, 0, "cleared")
xlsx.SetCellFormula(id, 4, 1, "SUM(1,2)")
xlsx.ClearCellValue(id, 4, 1)
t.eq(xlsx.GetCellFormula(id, 4, 1), "SUM(1,2)", "the formula survives ClearCellValue")

-- Formulas: stored without a cached value, so the cell reads as empty until an application computes it.
xlsx.SetCellValue(id, 5, 1, 99)
xlsx.SetCellFormula(id, 5, 1, "A1*2")
t.eq(xlsx.GetCellFormula(id, 5, 1), "A1*2", "GetCellFormula")
t.eq(xlsx.HaveCellFormula(id, 5, 1), 1, "HaveCellFormula")
expect(5, 1, nil, 0, "a formula cell has no cached value")
t.eq(xlsx.HaveCellFormula(id, 1, 1), 0, "HaveCellFormula of a value cell")
t.raises(t.NO_FORMULA, xlsx.GetCellFormula, id, 1, 1)
xlsx.SetCellFormula(id, "F1", "\"text\"&B3")
t.eq(xlsx.GetCellFormula(id, "F1"), "\"text\"&B3", "formula by reference")
xlsx.SetCellFormula(id, "F1", "1+1", 2)
t.eq(xlsx.GetCellFormula(id, "F1", 2), "1+1", "formula on another sheet")
xlsx.ClearCellFormula(id, 5, 1)
t.eq(xlsx.HaveCellFormula(id, 5, 1), 0, "ClearCellFormula")
t.raises(t.NO_FORMULA, xlsx.GetCellFormula, id, 5, 1)
xlsx.ClearCellFormula(id, "F1", 2)
t.eq(xlsx.HaveCellFormula(id, "F1", 2), 0, "ClearCellFormula takes the sheet right after the cell")
t.eq(xlsx.HaveCellFormula(id, "F1"), 1, "the formula on sheet 1 stays")
t.raises(t.CELL_RANGE, xlsx.SetCellFormula, id, 0, 1, "1")
t.id_then_sheet(xlsx.SetCellFormula, id, 0, 1, "1")
-- The formula text is read after the checks: a wrong sheet is reported before a missing formula.
t.raises(t.SHEET_RANGE, xlsx.SetCellFormula, id, 1, 1, nil, 9)
t.rejects(xlsx.SetCellFormula, id, 1, 1, nil)
-- Order of checks of the commands that take a cell and a sheet: id, then sheet, then the cell.
for _, fn in ipairs({ xlsx.GetCellFormula, xlsx.HaveCellFormula, xlsx.ClearCellFormula, xlsx.ClearCellValue }) do
  t.raises(t.CELL_RANGE, fn, id, 0, 1)
  t.id_then_sheet(fn, id, 0, 1)
end

-- GetCellReference.
t.eq(xlsx.GetCellReference(id, 28, 5), "AB5", "reference text")
local r = t.pack(xlsx.GetCellReference(id, "AB5", 1))
t.eq(table.concat(r, ",", 1, r.n), "28,5", "xyref gives column and row")
t.eq(xlsx.GetCellReference(id, 16384, 1048576), "XFD1048576", "last cell")
t.eq(select(2, xlsx.GetCellReference(id, 3, 4, 1, 2)), 4, "sheet after xyref")
t.raises(t.CELL_RANGE, xlsx.GetCellReference, id, 16385, 1)
t.id_then_sheet(xlsx.GetCellReference, id, 1, 1, 0)

-- Values written by scripts are read back from the saved file by openpyxl (tests/commands/interop), and
-- files written by the peers are read with their type codes there too.
xlsx.Close(id)
print("cells: ok")

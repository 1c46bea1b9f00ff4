-- CellRange loops: order, one-cell ranges, corners as numbers or texts, the position handle with every
-- single-cell command, leaving a loop early, handles outside their loop, and the checks.
local t = require "check"
local id = t.new_document("ranges.xlsx")
local function walk(...)
  local refs = {}
  for pos in xlsx.CellRange(id, ...) do refs[#refs + 1] = xlsx.GetCellReference(id, pos) end
  return table.concat(refs, " ")
end
-- Row by row, creating the cells of an empty sheet; corners in any order and either form.
for _, w in ipairs({{{1, 1, 2, 2}, "A1 B1 A2 B2"}, {{"A1", "B2"}, "A1 B1 A2 B2"}, {{"A1", "C3"}, walk(1, 1, 3, 3)},
                    {{"C5", "C5"}, "C5"}, {{4, 4, 4, 4}, "D4"}, {{"B2", "A1"}, "A1 B1 A2 B2"},
                    {{"a1", "b1"}, "A1 B1"}}) do
  t.eq(walk(table.unpack(w[1])), w[2], table.concat(w[1], ","))
end
t.eq(xlsx.GetRowCount(id), 5, "the walks created rows")
-- The handle is the same value on every step and works with every single-cell command.
local seen, count = nil, 0
for pos in xlsx.CellRange(id, 1, 10, 3, 11) do
  count = count + 1
  t.is_true(type(pos) == "userdata" and (not seen or pos == seen), "the same handle on every step")
  seen = pos
  xlsx.SetCellValue(id, pos, count)
  t.same("value through a handle", {count, 1}, xlsx.GetCellValue(id, pos))
  if count == 2 then
    xlsx.SetCellFormula(id, pos, "A10+1")
    t.eq(xlsx.HaveCellFormula(id, pos) .. xlsx.GetCellFormula(id, pos), "1A10+1", "formula through a handle")
    xlsx.ClearCellFormula(id, pos)
    t.eq(xlsx.HaveCellFormula(id, pos), 0, "ClearCellFormula with a handle")
  elseif count == 3 then
    xlsx.ClearCellValue(id, pos)
    t.eq(xlsx.GetCellValue(id, pos), nil, "ClearCellValue with a handle")
  end
  t.same("position of the handle", {(count - 1) % 3 + 1, 10 + (count - 1) // 3}, xlsx.GetCellReference(id, pos, 1))
end
t.eq(count .. " " .. xlsx.GetCellValue(id, 1, 11), "6 4", "steps of a 3 x 2 range, values written")
-- The handle takes the place of x and y: the sheet argument follows it and is not used.
xlsx.AddSheet(id, "Other")
for pos in xlsx.CellRange(id, "A1", "A1", 2) do
  xlsx.SetCellValue(id, pos, "on Other", 3, 1)
  t.eq(xlsx.GetCellValue(id, pos, 1), "on Other", "the handle addresses its own sheet")
end
t.eq(xlsx.GetCellValue(id, 1, 1, 2), "on Other", "the loop ran on sheet 2")
-- Leaving a loop early: until collected the handle is the loop's current cell, then it no longer resolves;
-- nor does a handle after its loop ended, in another document, or a light userdata that is no handle.
local kept
for pos in xlsx.CellRange(id, 1, 1, 100, 100) do kept = pos break end
t.eq(xlsx.GetCellReference(id, kept), "A1", "the handle of a loop left early")
collectgarbage()
collectgarbage()
t.raises(t.CELL_RANGE, xlsx.GetCellValue, id, kept)
for pos in xlsx.CellRange(id, 1, 1, 1, 2) do kept = pos end
t.raises(t.CELL_RANGE, xlsx.SetCellValue, id, kept, 1)
local other = t.new_document("ranges_other.xlsx")
for pos in xlsx.CellRange(id, 1, 1, 1, 1) do t.raises(t.CELL_RANGE, xlsx.GetCellValue, other, pos) end
t.raises(t.CELL_RANGE, xlsx.GetCellValue, id, other)
-- Closing the document, or deleting a sheet, inside a loop ends it; a step after the end answers nothing.
local steps = 0
for _ in xlsx.CellRange(other, 1, 1, 3, 3) do
  steps = steps + 1
  if steps == 2 then xlsx.Close(other) end
end
for _ in xlsx.CellRange(id, 1, 1, 3, 3, 2) do
  steps = steps + 1
  if steps == 3 then xlsx.DeleteSheet(id, 2) end
end
t.eq(steps, 3, "closing the document, deleting a sheet end the loop")
local step = xlsx.CellRange(id, 1, 1, 1, 1)
t.same("steps", {"userdata", nil, nil, n = 3}, type(step()), step(), (step()))
-- Corners out of range; handles are not corners.
for _, corners in ipairs({{1, 1, 16385, 1}, {1, 1, 65537, 1}, {"A1", "ZZZZ1"}}) do
  t.raises(t.CELL_RANGE, xlsx.CellRange, id, table.unpack(corners))
end
t.rejects(xlsx.CellRange, id, kept, "A1")
-- Loops over two documents at once: a handle of the earlier loop still resolves. Loops still open at the
-- end are released by FreeLibrary, each with its own document; --check-leaks checks it.
local pending = xlsx.CellRange(id, 1, 1, 5, 5)
local outer = pending()
local second = t.new_document("ranges_second.xlsx")
xlsx.CellRange(second, 1, 1, 2, 2)()
t.eq(xlsx.GetCellReference(id, outer), "A1", "a handle of an earlier loop while a later one runs")
for _ in xlsx.CellRange(second, 1, 1, 1, 1) do end  -- a later loop that ends while earlier ones run
t.eq(xlsx.GetCellReference(id, outer), "A1", "the earlier handle after a later loop ended")
t.done()

-- CellRange loops: order, one-cell ranges, corners as numbers or texts, the position handle with every
-- single-cell command, leaving a loop early, handles outside their loop, and the checks.
local t = require "check"

local id = t.new_document("ranges.xlsx")

local function walk(...)
  local refs = {}
  for pos in xlsx.CellRange(id, ...) do refs[#refs + 1] = xlsx.GetCellReference(id, pos) end
  return table.concat(refs, " ")
end

-- Row by row, creating the cells of an empty sheet.
for _, w in ipairs({
  { { 1, 1, 2, 2 }, "A1 B1 A2 B2", "A1:B2 by numbers" },
  { { "A1", "B2" }, "A1 B1 A2 B2", "A1:B2 by texts" },
  { { "A1", "C3" }, walk(1, 1, 3, 3), "texts and numbers build the same range" },
  { { "C5", "C5" }, "C5", "a one-cell range yields one step" },
  { { 4, 4, 4, 4 }, "D4", "one cell by numbers" },
  { { "B2", "A1" }, "A1 B1 A2 B2", "reversed corners are put in order" },
  { { "a1", "b1" }, "A1 B1", "lower-case references" },
}) do t.eq(walk(table.unpack(w[1])), w[2], w[3]) end
t.eq(xlsx.GetRowCount(id), 5, "the walks created rows")

-- The handle is the same value on every step and works with every single-cell command.
local seen, count = nil, 0
for pos in xlsx.CellRange(id, 1, 10, 3, 11) do
  count = count + 1
  if seen then t.eq(pos, seen, "the same handle on every step") end
  seen = pos
  t.eq(type(pos), "userdata", "position handle")
  xlsx.SetCellValue(id, pos, count)
  t.eq(xlsx.GetCellValue(id, pos), count, "GetCellValue with a handle")
  t.eq(select(2, xlsx.GetCellValue(id, pos)), 1, "type with a handle")
  if count == 2 then
    xlsx.SetCellFormula(id, pos, "A10+1")
    t.eq(xlsx.HaveCellFormula(id, pos), 1, "HaveCellFormula with a handle")
    t.eq(xlsx.GetCellFormula(id, pos), "A10+1", "GetCellFormula with a handle")
    xlsx.ClearCellFormula(id, pos)
    t.eq(xlsx.HaveCellFormula(id, pos), 0, "ClearCellFormula with a handle")
  end
  if count == 3 then
    xlsx.ClearCellValue(id, pos)
    t.eq(xlsx.GetCellValue(id, pos), nil, "ClearCellValue with a handle")
  end
  local col, row = xlsx.GetCellReference(id, pos, 1)
  t.eq(col, (count - 1) % 3 + 1, "column of the handle")
  t.eq(row, 10 + (count - 1) // 3, "row of the handle")
end
t.eq(count, 6, "steps of a 3 x 2 range")
t.eq(xlsx.GetCellValue(id, 1, 11), 4, "values written through the handle")

-- The handle takes the place of x and y: the sheet argument follows it directly and is not used.
xlsx.AddSheet(id, "Other")
for pos in xlsx.CellRange(id, "A1", "A1", 2) do
  xlsx.SetCellValue(id, pos, "on Other", 3, 1)
  t.eq(xlsx.GetCellValue(id, pos, 1), "on Other", "the handle addresses its own sheet")
end
t.eq(xlsx.GetCellValue(id, 1, 1, 2), "on Other", "the loop ran on sheet 2")

-- Leaving a loop early: the collector releases the loop once; its handle no longer resolves.
local kept
for pos in xlsx.CellRange(id, 1, 1, 100, 100) do
  kept = pos
  break
end
t.eq(xlsx.GetCellReference(id, kept), "A1", "until collected the handle is the loop's current cell")
collectgarbage()
collectgarbage()
t.raises(t.CELL_RANGE, xlsx.GetCellValue, id, kept)

-- A handle after its loop has ended, and a handle given to another document.
for pos in xlsx.CellRange(id, 1, 1, 1, 2) do kept = pos end
t.raises(t.CELL_RANGE, xlsx.SetCellValue, id, kept, 1)
local other = t.new_document("ranges_other.xlsx")
for pos in xlsx.CellRange(id, 1, 1, 1, 1) do
  t.raises(t.CELL_RANGE, xlsx.GetCellValue, other, pos)
end
-- A light userdata that is no handle at all.
t.raises(t.CELL_RANGE, xlsx.GetCellValue, id, other)

-- Closing the document inside its loop ends the loop.
local steps = 0
for pos in xlsx.CellRange(other, 1, 1, 3, 3) do
  steps = steps + 1
  if steps == 2 then xlsx.Close(other) end
end
t.eq(steps, 2, "closing the document ends its loop")

-- Deleting a sheet inside a loop ends the loops over the document.
steps = 0
for pos in xlsx.CellRange(id, 1, 1, 3, 3, 2) do
  steps = steps + 1
  if steps == 1 then xlsx.DeleteSheet(id, 2) end
end
t.eq(steps, 1, "deleting a sheet ends the loop")

-- Step function called by hand after the end keeps answering nothing.
local step = xlsx.CellRange(id, 1, 1, 1, 1)
t.eq(type(step()), "userdata", "first step")
t.eq(step(), nil, "end")
t.eq(step(), nil, "still the end")

-- Corners out of range; handles are not corners.
for _, corners in ipairs({{0, 1, 1, 1}, {1, 1, 16385, 1}, {1, 1, 65537, 1}, {"A1", "ZZZZ1"}}) do
  t.raises(t.CELL_RANGE, xlsx.CellRange, id, table.unpack(corners))
end
t.rejects(xlsx.CellRange, id, kept, "A1")
t.rejects(xlsx.CellRange, id, 1, 1, 1)

-- Loops over two documents running at once: a handle of the earlier loop still resolves. Loops still
-- open at the end are released by FreeLibrary, each with its own document; --check-leaks checks it.
local pending = xlsx.CellRange(id, 1, 1, 5, 5)
local outer = pending()
local second = t.new_document("ranges_second.xlsx")
xlsx.CellRange(second, 1, 1, 2, 2)()
t.eq(xlsx.GetCellReference(id, outer), "A1", "a handle of an earlier loop while a later one runs")
for _ in xlsx.CellRange(second, 1, 1, 1, 1) do end  -- a later loop that ends while earlier ones run
t.eq(xlsx.GetCellReference(id, outer), "A1", "the earlier handle after a later loop ended")
t.done()

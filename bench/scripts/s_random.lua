-- S-random: opens a workbook, reads its first cell (which loads the sheet), then reads N cells at random
-- positions with GetCellValue (adding each to a checksum, as a reader would); the same cells are read
-- again after the timed loop and checked against the workload.
-- With N = 0 it only opens, so that the process time of the open alone can be taken too.
--   korvadel s_random.lua IN.xlsx N
-- Prints  RANDOM cells=N open_s=... lookups_s=... us_per_cell=... check=ok|FAILED  (processor time).
local w = dofile(arg[0]:match("^(.*/)") .. "workload.lua")
local count = math.tointeger(tonumber(arg[2]))
assert(arg[1] and count, "usage: s_random.lua IN.xlsx N")

local get = xlsx.GetCellValue
local t0 = os.clock()
local id = xlsx.Open(nil, arg[1])
get(id, 1, 1)
local t1 = os.clock()
local rows, columns = xlsx.GetRowCount(id), xlsx.GetColumnCount(id)

-- Positions drawn before the timed loop, from a fixed seed so every run reads the same cells.
math.randomseed(20240611)
local xs, ys = {}, {}
for i = 1, count do
  xs[i], ys[i] = math.random(columns), math.random(rows)
end

local sum = w.checksum()
local add = sum.add
local t2 = os.clock()
for i = 1, count do add(get(id, xs[i], ys[i])) end
local t3 = os.clock()

-- The check reads the same cells again, outside the timed loop.
local ok = sum.ncells == count
for i = 1, count do
  local v, t = get(id, xs[i], ys[i])
  if not w.same(v, t, w.value(ys[i], xs[i])) then
    ok = false
    io.stderr:write(string.format("mismatch at x=%d y=%d: %s (type %s)\n", xs[i], ys[i], tostring(v), tostring(t)))
    break
  end
end
xlsx.Close(id)
local lookups = t3 - t2
print(string.format("RANDOM cells=%d open_s=%.4f lookups_s=%.6f us_per_cell=%.4f check=%s", count, t1 - t0, lookups,
  count > 0 and lookups * 1e6 / count or 0, ok and "ok" or "FAILED"))
if not ok then os.exit(1) end

-- The benchmark workload and the reader checksum, shared by the benchmark scripts.
-- Row r (1..R) of the one worksheet holds, in columns A..J:
--   r, r*1.5+0.25, "item-"(r%100), "name-"r, r%2==0, (r*7)%1000, r/3.0, (r*13)%10007, r*0.001, -r
local w = {}

w.COLUMNS = 10
-- Type codes of GetCellValue and SetCellValue.
w.EMPTY, w.INTEGER, w.TEXT, w.FLOAT, w.BOOLEAN, w.ERROR = 0, 1, 3, 12, 13, 14

-- The value of column c (1..10) in row r; booleans as Lua booleans.
function w.value(r, c)
  if c == 1 then return r
  elseif c == 2 then return r * 1.5 + 0.25
  elseif c == 3 then return "item-" .. (r % 100)
  elseif c == 4 then return "name-" .. r
  elseif c == 5 then return r % 2 == 0
  elseif c == 6 then return (r * 7) % 1000
  elseif c == 7 then return r / 3.0
  elseif c == 8 then return (r * 13) % 10007
  elseif c == 9 then return r * 0.001
  else return -r end
end

-- True when the value v of type code t read from a cell is the workload's value want.
function w.same(v, t, want)
  if type(want) == "boolean" then return t == w.BOOLEAN and v == (want and 1 or 0) end
  if type(want) == "string" then return t == w.TEXT and v == want end
  if t ~= w.INTEGER and t ~= w.FLOAT then return false end
  return math.abs(v - want) <= 1e-12 * math.max(1.0, math.abs(want))
end

-- The checksum every reader prints: sum of the numbers, total length of the texts (in characters),
-- count of true booleans and count of non-empty cells.
function w.checksum()
  local c = { num = 0.0, slen = 0, ntrue = 0, ncells = 0 }
  function c.add(v, t)
    if t == w.EMPTY then return end
    c.ncells = c.ncells + 1
    if t == w.INTEGER or t == w.FLOAT then c.num = c.num + v
    elseif t == w.TEXT then c.slen = c.slen + (utf8.len(v) or #v)
    elseif t == w.BOOLEAN then if v ~= 0 then c.ntrue = c.ntrue + 1 end end
  end
  function c.line()
    return string.format("CHECK num=%.17g slen=%d ntrue=%d ncells=%d", c.num, c.slen, c.ntrue, c.ncells)
  end
  return c
end

return w

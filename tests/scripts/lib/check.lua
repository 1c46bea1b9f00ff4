-- Assertions and helpers of the script tests. A failed check raises an error naming the caller's line,
-- which ends the script and makes korvadel exit non-zero. Each script is run with its scratch folder as
-- arg[1] and the host's temporary folder (TMPDIR) as arg[2]. Use: local t = require "check".
local t = {count = 0, scratch = arg[1] or ".", temp = arg[2]}

-- The registered messages.
t.NO_DOCUMENT, t.OPERATION = "Cannot find specified XLSX document!", "XSLX operation has failed!"
t.SHEET_RANGE, t.CELL_RANGE = "Specified sheet is out of range!", "Specified cell is out of range!"
t.COLUMN_RANGE, t.ROW_RANGE = "Specified column is out of range!", "Specified row is out of range!"
t.NO_FORMULA, t.SAVE = "Cell doesn't have a formula!", "Error saving XLSX document!"
function t.OPEN(name) return "Error opening XLSX document " .. name .. "!" end
function t.CREATE(name) return "Error creating XLSX document " .. name .. "!" end

local function show(value)
  if type(value) == "string" then return string.format("%q", value) end
  return tostring(value) .. " (" .. (math.type(value) or type(value)) .. ")"
end

-- Counts a check of a t.* function; unless ok, raises "what: message" at the line that called that function.
local function verify(ok, what, message)
  t.count = t.count + 1
  if not ok then error((what and (what .. ": ") or "") .. message, 3) end
end

-- actual == expected (numbers compare by value, 3 == 3.0).
function t.eq(actual, expected, what)
  verify(actual == expected, what, "expected " .. show(expected) .. ", got " .. show(actual))
end
function t.is_true(value, what) verify(value, what, "expected a true value, got " .. show(value)) end

-- The results ... are exactly expected (expected.n, else #expected, values compared with eq).
function t.same(what, expected, ...)
  local got, n = table.pack(...), expected.n or #expected
  t.eq(got.n, n, what .. ": result count")
  for i = 1, n do t.eq(got[i], expected[i], what .. ": result " .. i) end
end

-- fn(...) raises exactly the message expected (without the "file:line: " in front).
function t.raises(expected, fn, ...)
  local ok, message = pcall(fn, ...)
  if not ok and type(message) == "string" then message = message:gsub("^[^\n]-:%d+: ", "", 1) end
  verify(not ok and message == expected, nil, "expected the error " .. show(expected) .. ", got " .. show(message))
end

-- fn(table.unpack(row)) raises message for every row of rows.
function t.raises_each(message, fn, rows)
  for i, row in ipairs(rows) do t.labelled("row " .. i, t.raises, message, fn, table.unpack(row)) end
end

-- fn(...) is refused with an argument error raised by the host (any message).
function t.rejects(fn, ...) verify(not pcall(fn, ...), nil, "expected an argument error, but the call succeeded") end

-- Runs fn(...); a failed check is raised again with label in front.
function t.labelled(label, fn, ...)
  local ok, err = pcall(fn, ...)
  if not ok then error(label .. ": " .. tostring(err), 2) end
end

-- A path in the scratch folder; a new document there under an automatic id.
function t.path(name) return t.scratch .. "/" .. name end
function t.new_document(name) return xlsx.Create(nil, t.path(name or "new.xlsx")) end

-- The sheet names in order, joined with ",".
function t.sheets(id)
  local names = {}
  for i = 1, xlsx.GetSheetCount(id) do names[i] = xlsx.GetSheetName(id, i) end
  return table.concat(names, ",")
end

-- A file's bytes (nil when it cannot be read); writing them.
function t.read(path)
  local file, bytes = io.open(path, "rb"), nil
  if file then bytes = file:read("a") file:close() end
  return bytes
end
function t.write(path, bytes) assert(io.open(path, "wb")):write(bytes):close() end

-- The host's temporary folder holds no file.
function t.no_temp_files()
  local pipe = assert(io.popen('ls -A "' .. t.temp .. '"'))
  t.eq(pipe:read("a"), "", "files left in the temporary folder")
  pipe:close()
end

-- Prints the number of checks made; call at the end of a test script.
function t.done() print(string.format("%s: %d checks passed", arg[0]:match("[^/]*$"), t.count)) end

return t

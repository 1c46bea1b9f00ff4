-- Checks shared by the command script tests. Each test script starts with
--   local t = dofile((arg[0]:match("^(.*)/") or ".") .. "/support.lua")
-- and is run by korvadel with a scratch folder for its files as arg[1] (default: the current folder).
-- A failed check stops the script with a script error, so korvadel exits non-zero.
local t = {}

t.scratch = arg[1] or "."

-- A path in the scratch folder.
function t.path(name) return t.scratch .. "/" .. name end

local function show(v)
  if type(v) == "string" then return string.format("%q", v) end
  return tostring(v)
end

-- Stops the script with message at the caller's line.
function t.fail(message) error(message, 3) end

-- a == b, numbers compared exactly, math.type ignored (3 == 3.0).
function t.eq(actual, expected, what)
  if actual ~= expected then
    error(string.format("%s: expected %s, got %s", what or "value", show(expected), show(actual)), 2)
  end
end

-- Every result of a call, in a table with its count.
function t.pack(...) return { n = select("#", ...), ... } end

-- The call must fail with the registered message (the text after any "file:line: " the host puts first).
function t.raises(message, fn, ...)
  local ok, err = pcall(fn, ...)
  if ok then error("expected the error " .. show(message) .. ", but the call succeeded", 2) end
  err = tostring(err)
  if err:sub(-#message) ~= message then
    error(string.format("expected the error %s, got %s", show(message), show(err)), 2)
  end
end

-- The call must fail with an argument error raised by the host (any message).
function t.rejects(fn, ...)
  local ok = pcall(fn, ...)
  if ok then error("expected an argument error, but the call succeeded", 2) end
end

-- The registered messages.
t.NO_DOCUMENT = "Cannot find specified XLSX document!"
t.OPERATION = "XSLX operation has failed!"
t.SHEET_RANGE = "Specified sheet is out of range!"
t.CELL_RANGE = "Specified cell is out of range!"
t.COLUMN_RANGE = "Specified column is out of range!"
t.ROW_RANGE = "Specified row is out of range!"
t.NO_FORMULA = "Cell doesn't have a formula!"
t.SAVE = "Error saving XLSX document!"
function t.OPEN(name) return "Error opening XLSX document " .. name .. "!" end
function t.CREATE(name) return "Error creating XLSX document " .. name .. "!" end

-- A new document created from the template in the scratch folder, under an automatic id.
function t.new_document(name) return xlsx.Create(nil, t.path(name or "new.xlsx")) end

-- Lists the sheet names in order, joined with ",".
function t.sheets(id)
  local names = {}
  for i = 1, xlsx.GetSheetCount(id) do names[#names + 1] = xlsx.GetSheetName(id, i) end
  return table.concat(names, ",")
end

-- Reads the whole file (nil when missing).
function t.read_file(name)
  local f = io.open(name, "rb")
  if not f then return nil end
  local data = f:read("a")
  f:close()
  return data
end

return t

-- Checks shared by the command script tests: the assertions of ../lib/check.lua (eq, fails, ...), the
-- registered messages and a few document helpers. Each test script starts with
--   local t = dofile((arg[0]:match("^(.*)/") or ".") .. "/support.lua")
-- and is run by korvadel with a scratch folder for its files as arg[1] (default: the current folder).
-- A failed check stops the script with a script error, so korvadel exits non-zero.
local here = arg[0]:match("^(.*)/") or "."
package.path = here .. "/../lib/?.lua;" .. package.path
local check = require "check"
local t = setmetatable({}, {__index = check})

t.scratch = arg[1] or "."
t.pack = table.pack
t.raises = check.fails  -- exactly the registered message, after the "file:line: " the host puts first

-- A path in the scratch folder.
function t.path(name) return t.scratch .. "/" .. name end

-- The call must fail with an argument error raised by the host (any message).
function t.rejects(fn, ...)
  if pcall(fn, ...) then error("expected an argument error, but the call succeeded", 2) end
end

-- Runs fn(...); a failed check is raised again with label in front, at the line that called the
-- function calling relabel.
local function relabel(label, fn, ...)
  local ok, err = pcall(fn, ...)
  if not ok then error(label .. ": " .. tostring(err), 3) end
end

-- fn(...) as a check whose failure names label (a row of a table-driven check).
function t.labelled(label, fn, ...) relabel(label, fn, ...) end

-- fn(table.unpack(row)) raises message for every row of rows; a failure names the row.
function t.raises_each(message, fn, rows)
  for i, row in ipairs(rows) do relabel("row " .. i, check.fails, message, fn, table.unpack(row, 1, row.n or #row)) end
end

-- The id is checked before the sheet: with sheet 9 appended to args, fn(id, args..., 9) is out of the
-- sheet range and fn(99, args..., 9) names no document.
function t.id_then_sheet(fn, id, ...)
  local args = table.pack(...)
  args.n = args.n + 1
  args[args.n] = 9
  for _, case in ipairs({ { t.SHEET_RANGE, id }, { t.NO_DOCUMENT, 99 } }) do
    relabel("id " .. tostring(case[2]), check.fails, case[1], fn, case[2], table.unpack(args, 1, args.n))
  end
end

-- The character-set scripts run only as a chain of three (tests/commands/CMakeLists.txt passes "chain"
-- as arg[2]); run on their own they do nothing. True when this run is part of the chain.
function t.in_chain(name)
  if arg[2] == "chain" then return true end
  print(name .. ": skipped (runs only in its chain)")
  return false
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

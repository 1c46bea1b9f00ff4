-- Checks shared by the command script tests: the assertions of ../lib/check.lua (eq, fails, ...) under
-- the names these scripts use, the registered messages and a few document helpers. Each test script starts
-- with
--   local t = dofile((arg[0]:match("^(.*)/") or ".") .. "/support.lua")
-- and is run by korvadel with a scratch folder for its files as arg[1] (default: the current folder).
-- A failed check stops the script with a script error, so korvadel exits non-zero.
local here = arg[0]:match("^(.*)/") or "."
package.path = here .. "/../lib/?.lua;" .. package.path
local check = require "check"
local t = setmetatable({}, {__index = check})

t.scratch = arg[1] or "."

-- A path in the scratch folder.
function t.path(name) return t.scratch .. "/" .. name end

-- Every result of a call, in a table with its count.
t.pack = table.pack

-- The call must fail with exactly the registered message (after the "file:line: " the host puts first).
t.raises = check.fails

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

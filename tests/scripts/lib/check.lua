-- Assertions for script tests. A failed check raises an error naming the caller's line, which ends the
-- script and makes korvadel exit non-zero.
--
--   local check = require "check"
--   check.eq(xlsx.GetSheetCount(id), 1, "sheets after Create")
--   check.fails("Cannot find specified XLSX document!", xlsx.Close, 99)
--   check.done()
local check = {count = 0}

local function show(value)
  if type(value) == "string" then return string.format("%q", value) end
  return tostring(value) .. " (" .. (math.type(value) or type(value)) .. ")"
end

local function fail(what, message)
  error((what and (what .. ": ") or "") .. message, 3)
end

-- actual == expected (numbers compare by value, 3 == 3.0).
function check.eq(actual, expected, what)
  check.count = check.count + 1
  if actual ~= expected then fail(what, "expected " .. show(expected) .. ", got " .. show(actual)) end
end

-- |actual - expected| <= tolerance (default 1e-9).
function check.near(actual, expected, tolerance, what)
  check.count = check.count + 1
  tolerance = tolerance or 1e-9
  if type(actual) ~= "number" or math.abs(actual - expected) > tolerance then
    fail(what, "expected " .. show(expected) .. " within " .. tolerance .. ", got " .. show(actual))
  end
end

function check.is_true(value, what)
  check.count = check.count + 1
  if not value then fail(what, "expected a true value, got " .. show(value)) end
end

-- The values returned by a call, as a table with n.
function check.results(fn, ...)
  return table.pack(fn(...))
end

-- The error message of fn(...) with a leading "file:line: " removed; fails the check when fn succeeds.
local function error_of(fn, ...)
  local ok, message = pcall(fn, ...)
  if ok then return nil end
  if type(message) ~= "string" then return tostring(message) end
  return (message:gsub("^[^\n]-:%d+: ", "", 1))
end

-- fn(...) raises exactly the message expected (its position prefix aside).
function check.fails(expected, fn, ...)
  check.count = check.count + 1
  local message = error_of(fn, ...)
  if message == nil then fail(nil, "expected the error " .. show(expected) .. ", but the call succeeded") end
  if message ~= expected then fail(nil, "expected the error " .. show(expected) .. ", got " .. show(message)) end
end

-- fn(...) raises an error whose message contains the plain text part.
function check.fails_with(part, fn, ...)
  check.count = check.count + 1
  local message = error_of(fn, ...)
  if message == nil then fail(nil, "expected an error containing " .. show(part) .. ", but the call succeeded") end
  if not message:find(part, 1, true) then
    fail(nil, "expected an error containing " .. show(part) .. ", got " .. show(message))
  end
end

-- Whether a file exists and can be read.
function check.exists(path)
  local file = io.open(path, "rb")
  if file then file:close() end
  return file ~= nil
end

-- Prints the number of checks made; call at the end of a test script.
function check.done()
  print(string.format("%d checks passed", check.count))
end

return check

-- Helpers of the serializer script tests: file bytes, and the check that the host's temporary folder
-- (given to each script as arg[2], the TMPDIR of its korvadel) holds no file.
local check = require "check"
local support = {}

function support.write(path, bytes)
  local file = assert(io.open(path, "wb"))
  file:write(bytes)
  file:close()
end

function support.read(path)
  local file = assert(io.open(path, "rb"))
  local bytes = file:read("a")
  file:close()
  return bytes
end

-- Names of the files in folder, one per line ("" when it is empty).
function support.listing(folder)
  local pipe = assert(io.popen('ls -A "' .. folder .. '"'))
  local names = pipe:read("a")
  pipe:close()
  return names
end

function support.no_temp_files(folder, what)
  check.eq(support.listing(folder), "", (what or "temporary folder") .. " after serializing")
end

return support

-- What a script wrote, recorded as it writes it (book:value(id, "Values", "A1", 42) is SetCellValue and
-- its record), for the checks of every other program (run.py): each workbook's sheets in order with their
-- state, cells, column and row attributes, the active sheet and the document properties, written as JSON.
local expect = {books = {}}
local Book = {}
Book.__index = Book

function expect.book(file, options)
  local book = {file = file, sheets = {}, order = {}, props = {}, facts = {}, options = options or {}}
  table.insert(expect.books, setmetatable(book, Book))
  return book
end

-- The record of a sheet (made on first use).
function Book:sheet(name)
  self.sheets[name] = self.sheets[name] or {name = name, cells = {}, dimensions = {}, state = "visible"}
  return self.sheets[name]
end

-- The sheet list as the workbook has it now: names in order (call after the last change of the list).
function Book:sheets_from(id)
  self.order = {}
  for i = 1, xlsx.GetSheetCount(id) do self.order[i] = xlsx.GetSheetName(id, i) end
end

local function index_of(id, sheet)
  local index = xlsx.GetSheetIndex(id, sheet)
  return index > 0 and index or error("no sheet " .. sheet)
end

-- A value written with SetCellValue (numbers, texts, booleans as type 13) and recorded with its kind.
function Book:value(id, sheet, ref, value, type_code, inline)
  xlsx.SetCellValue(id, ref, value, type_code or 14, index_of(id, sheet))
  local cell
  if type_code == 13 then cell = {b = value ~= 0}
  elseif type(value) == "string" then cell = {s = value, inline = inline or false}
  elseif value ~= value or value == math.huge or value == -math.huge then cell = {e = "#NUM!"}
  else cell = {n = value} end
  self:sheet(sheet).cells[ref] = cell
end

-- Cells (reference -> record) the others read as they read any cell (values already in the file, a formula
-- moved ...).
function Book:cells(sheet, cells) for ref, cell in pairs(cells) do self:sheet(sheet).cells[ref] = cell end end

-- A column width or row height (with a size) or a hidden column or row: the command (SetColumnWidth,
-- SetRowHeight, HideColumn, HideRow) and what openpyxl shows ("column" and letter or "row" and number,
-- attribute, value).
function Book:dimension(id, sheet, command, at, size)
  xlsx[command](id, at, size or 1, index_of(id, sheet))
  local column = command:find("Column") ~= nil
  table.insert(self:sheet(sheet).dimensions, {column and "column" or "row", column and string.char(64 + at) or at,
                                              size and (column and "width" or "height") or "hidden", size or true})
end

-- A core property, by its name in openpyxl (title, subject, creator, ...).
function Book:property(id, constant, name, value)
  xlsx.SetProperty(id, constant, value)
  self.props[name] = value
end

-- A fact run.py checks besides the sheets (active, defined_names, shared_counts, folders ...).
function Book:set(key, value) self.facts[key] = value end

-- JSON: texts with every control character, quote and backslash as \uXXXX; an empty table is an object.
local function encode(value)
  if type(value) == "string" then
    return '"' .. value:gsub('[%c"\\]', function(c) return string.format("\\u%04x", c:byte()) end) .. '"'
  elseif math.type(value) == "float" then return string.format("%.17g", value)
  elseif type(value) ~= "table" then return tostring(value) end
  local parts = {}
  for i, item in ipairs(value) do parts[i] = encode(item) end
  if #parts > 0 then return "[" .. table.concat(parts, ",") .. "]" end
  for key, item in pairs(value) do parts[#parts + 1] = encode(tostring(key)) .. ":" .. encode(item) end
  return "{" .. table.concat(parts, ",") .. "}"
end

function expect.write(path)
  local out = {}
  for i, book in ipairs(expect.books) do
    out[i] = {file = book.file, sheets = {}, props = book.props, options = book.options}
    for j, name in ipairs(book.order) do out[i].sheets[j] = book:sheet(name) end
    for key, value in pairs(book.facts) do out[i][key] = value end
  end
  local file = assert(io.open(path, "wb"))
  file:write(encode(out))
  file:close()
end

expect.encode = encode
return expect

-- What a script wrote, recorded as it writes it (book:value(id, "Values", "A1", 42) is SetCellValue and
-- its record), for the checks of every other program (run.py): each workbook's sheets in order with their
-- state, cells, column and row attributes, the active sheet and the document properties, written as JSON.
local expect = {books = {}}

local Book = {}
Book.__index = Book

function expect.book(file, options)
  local book = setmetatable({file = file, sheets = {}, order = {}, props = {}, facts = {}, options = options or {}},
                            Book)
  table.insert(expect.books, book)
  return book
end

-- The record of a sheet (made on first use).
function Book:sheet(name)
  if not self.sheets[name] then self.sheets[name] = {name = name, cells = {}, widths = {}, heights = {},
                                                     hidden_columns = {}, hidden_rows = {}, state = "visible"} end
  return self.sheets[name]
end

-- The sheet list as the workbook has it now: names in order (call after the last change of the list).
function Book:sheets_from(id)
  self.order = {}
  for i = 1, xlsx.GetSheetCount(id) do self.order[i] = xlsx.GetSheetName(id, i) end
end

local function index_of(id, sheet)
  local index = xlsx.GetSheetIndex(id, sheet)
  assert(index > 0, "no sheet " .. sheet)
  return index
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

-- A formula (as SetCellFormula takes it) and the value LibreOffice computes for it, as its CSV shows it.
function Book:formula(id, sheet, ref, formula, computed)
  xlsx.SetCellFormula(id, ref, formula, index_of(id, sheet))
  self:sheet(sheet).cells[ref] = {f = formula:gsub("^=", ""), csv = computed}
end

-- Cells (reference -> record) the others read as they read any cell (values already in the file, a formula
-- moved ...).
function Book:cells(sheet, cells) for ref, cell in pairs(cells) do self:sheet(sheet).cells[ref] = cell end end

function Book:width(id, sheet, column, letters, width)
  xlsx.SetColumnWidth(id, column, width, index_of(id, sheet))
  self:sheet(sheet).widths[letters] = width
end

function Book:height(id, sheet, row, height)
  xlsx.SetRowHeight(id, row, height, index_of(id, sheet))
  self:sheet(sheet).heights[tostring(row)] = height
end

function Book:hide_column(id, sheet, column, letters)
  xlsx.HideColumn(id, column, 1, index_of(id, sheet))
  table.insert(self:sheet(sheet).hidden_columns, letters)
end

function Book:hide_row(id, sheet, row)
  xlsx.HideRow(id, row, 1, index_of(id, sheet))
  table.insert(self:sheet(sheet).hidden_rows, row)
end

function Book:state(id, sheet, visibility)
  xlsx.SetSheetVisibility(id, visibility, index_of(id, sheet))
  self:sheet(sheet).state = ({[XLSX_VISIBILITY_HIDDEN] = "hidden", [XLSX_VISIBILITY_VERYHIDDEN] = "veryHidden"})[visibility]
      or "visible"
end

-- A core property, by its name in openpyxl (title, subject, creator, ...).
function Book:property(id, constant, name, value)
  xlsx.SetProperty(id, constant, value)
  self.props[name] = value
end

-- A fact run.py checks besides the sheets (active, defined_names, shared_counts, folders ...).
function Book:set(key, value) self.facts[key] = value end

-- ---- JSON

local function encode_string(text)
  return '"' .. text:gsub('[%c"\\]', function(c)
    local named = {['"'] = '\\"', ["\\"] = "\\\\", ["\n"] = "\\n", ["\r"] = "\\r", ["\t"] = "\\t"}
    return named[c] or string.format("\\u%04x", c:byte())
  end) .. '"'
end

local function encode(value)
  local kind = type(value)
  if kind == "string" then return encode_string(value) end
  if kind == "number" and math.type(value) == "float" then return string.format("%.17g", value) end
  if kind ~= "table" then return value == nil and "null" or tostring(value) end
  local parts = {}
  if #value > 0 then  -- an empty table is an empty object
    for _, item in ipairs(value) do parts[#parts + 1] = encode(item) end
    return "[" .. table.concat(parts, ",") .. "]"
  end
  for key, item in pairs(value) do parts[#parts + 1] = encode_string(key) .. ":" .. encode(item) end
  return "{" .. table.concat(parts, ",") .. "}"
end

function expect.write(path)
  local out = {}
  for _, book in ipairs(expect.books) do
    local record = {file = book.file, sheets = {}, props = book.props, options = book.options}
    for i, name in ipairs(book.order) do record.sheets[i] = book:sheet(name) end
    for key, value in pairs(book.facts) do record[key] = value end
    out[#out + 1] = record
  end
  local file = assert(io.open(path, "wb"))
  file:write(encode(out))
  file:close()
end

return expect

-- Prints every sheet of a workbook as tab-separated text: a line "# name" per sheet, then one line per
-- row. Formula cells without a computed value print as =FORMULA. With --types every value is followed by
-- ":" and its type code (1 integer, 3 text, 12 float, 13 boolean, 14 error, 0 empty).
--   korvadel examples/dump.lua WORKBOOK.xlsx [--types]
local path = arg[1]
if not path then
  io.stderr:write("usage: korvadel dump.lua WORKBOOK.xlsx [--types]\n")
  os.exit(2)
end
local with_types = arg[2] == "--types"

-- Tab, line feed and backslash in texts are written as \t, \n and \\ so that every row stays one line.
local function escape(text)
  return (text:gsub("[\\\t\n\r]", { ["\\"] = "\\\\", ["\t"] = "\\t", ["\n"] = "\\n", ["\r"] = "\\r" }))
end

local function show(doc, pos, sheet)
  local value, code = xlsx.GetCellValue(doc, pos)
  local text
  if value == nil and xlsx.HaveCellFormula(doc, pos) == 1 then
    text = "=" .. escape(xlsx.GetCellFormula(doc, pos))
  elseif value == nil then
    text = ""
  elseif type(value) == "string" then
    text = escape(value)
  elseif math.type(value) == "float" then
    text = string.format("%.17g", value)
  else
    text = tostring(value)
  end
  if with_types and code ~= 0 then text = text .. ":" .. code end
  return text
end

local doc = xlsx.Open(nil, path)
for sheet = 1, xlsx.GetSheetCount(doc) do
  print("# " .. xlsx.GetSheetName(doc, sheet))
  local rows, columns = xlsx.GetRowCount(doc, sheet), xlsx.GetColumnCount(doc, sheet)
  if rows > 0 then
    local line, count = {}, 0
    for pos in xlsx.CellRange(doc, 1, 1, columns, rows, sheet) do
      count = count + 1
      line[#line + 1] = show(doc, pos, sheet)
      if count % columns == 0 then
        -- Trailing empty cells are left out.
        while #line > 0 and line[#line] == "" do line[#line] = nil end
        print(table.concat(line, "\t"))
        line = {}
      end
    end
  end
end
-- Reading creates the cells it visits; the document is closed without saving, so the file is unchanged.
xlsx.Close(doc)

-- Writes a script table to a workbook with SerializeTable, saves the bytes as a file, reads the file back
-- with DeserializeTable and prints both, then shows the same cells through the xlsx commands.
--   korvadel examples/table_roundtrip.lua [OUTPUT.xlsx]        (default: table.xlsx)
-- Script index i is row or column i: t[1][1] is cell A1. Rows are tables of numbers and texts.
local output = arg[1] or "table.xlsx"

local stock = {
  { "Item", "Count", "Price" },
  { "Äpfel", 120, 0.35 },
  { "Birnen", 80, 0.5 },
  { "Kiwis", nil, 0.25 },   -- no count: an empty cell
}

-- Table to workbook bytes, and the bytes to a file.
local bytes = SerializeTable(stock)
local file = assert(io.open(output, "wb"))
file:write(bytes)
file:close()
print(string.format("wrote %s (%d bytes)", output, #bytes))

-- File to table: the rows and cells the workbook holds; a cell left out stays nil.
file = assert(io.open(output, "rb"))
local back = DeserializeTable(file:read("a"))
file:close()
for r, row in ipairs(back) do
  local cells = {}
  for c = 1, #row do
    local value = row[c]
    cells[c] = type(value) == "string" and string.format("%q", value) or tostring(value)
  end
  print(string.format("row %d: %s", r, table.concat(cells, ", ")))
end

-- The same workbook through the commands: B2 holds the integer 120, C2 the float 0.35.
local id = xlsx.Open(nil, output)
local value, kind = xlsx.GetCellValue(id, "B2")
print(string.format("B2 = %s (type %d)", tostring(value), kind))
value, kind = xlsx.GetCellValue(id, "C2")
print(string.format("C2 = %s (type %d)", tostring(value), kind))
xlsx.Close(id)

-- A check that the example did what it says, so that it can run as a test.
assert(back[2][1] == "Äpfel" and back[2][2] == 120 and back[2][3] == 0.35, "row 2 came back changed")
assert(back[4][2] == nil and back[4][3] == 0.25, "the cell left out stayed out")

-- Every file of the hostile corpus through korvadel: Open either succeeds or fails with the registered
-- message; on a file that opened, every command runs and either works or fails with a registered
-- message; SaveAs writes OUTDIR/NAME.xlsx (read by openpyxl afterwards). Run with --check-leaks.
-- Arguments: CORPUSDIR OUTDIR [SKIPBOMBS]; SKIPBOMBS 1 leaves out every deflate bomb (for emulated runs).
local corpus, outdir, skip_bombs = arg[1], arg[2], arg[3] == "1"
assert(corpus and outdir, "usage: corpus_commands.lua CORPUSDIR OUTDIR")
local registered = {"Cannot find specified XLSX document!", "XSLX operation has failed!", "Error saving XLSX document!",
                    "Specified sheet is out of range!", "Specified cell is out of range!",
                    "Specified column is out of range!", "Specified row is out of range!",
                    "Cell doesn't have a formula!"}
-- One deflate bomb is enough here: the library suite runs them all, and each costs seconds of inflating.
local skipped = {deflate_bomb_declared_small = true, deflate_bomb_shared_strings = true,
                 deflate_bomb_content_types = true}
local failures = 0

local function fail(name, text)
  failures = failures + 1
  io.stderr:write(name .. ": " .. text .. "\n")
end

local function ends_with(text, tail) return type(text) == "string" and text:sub(-#tail) == tail end

-- Runs a command; a failure must carry one of the registered messages.
local function try(name, fn, ...)
  local result = table.pack(pcall(fn, ...))
  if result[1] then return table.unpack(result, 2, result.n) end
  for _, message in ipairs(registered) do
    if ends_with(result[2], message) then return nil end
  end
  fail(name, "unregistered error: " .. tostring(result[2]))
end

local function exercise(name, id)
  local sheets = try(name, xlsx.GetSheetCount, id) or 0
  local attribute = GetAttribute(xlsx.GetObjectType(), id, XLSXATTRSHEETS)
  if attribute ~= sheets then fail(name, "XLSXATTRSHEETS " .. tostring(attribute) .. " ~= " .. sheets) end
  for s = 1, math.min(sheets, 50) do
    local sheet_name = try(name, xlsx.GetSheetName, id, s)
    if sheet_name then try(name, xlsx.GetSheetIndex, id, sheet_name) end
    for _, fn in ipairs({xlsx.GetSheetType, xlsx.GetSheetVisibility, xlsx.IsSheetActive, xlsx.IsSheetSelected}) do
      try(name, fn, id, s)
    end
    local rows, cols = try(name, xlsx.GetRowCount, id, s) or 0, try(name, xlsx.GetColumnCount, id, s) or 0
    for y = 1, math.min(rows, 12) do
      for _, fn in ipairs({xlsx.GetRowHeight, xlsx.IsRowHidden}) do try(name, fn, id, y, s) end
      for x = 1, math.min(cols, 12) do
        try(name, xlsx.GetCellValue, id, x, y, s)
        if try(name, xlsx.HaveCellFormula, id, x, y, s) then try(name, xlsx.GetCellFormula, id, x, y, s) end
        try(name, xlsx.GetCellReference, id, x, y, 0, s)
      end
    end
    for x = 1, math.min(cols, 12) do
      for _, fn in ipairs({xlsx.GetColumnWidth, xlsx.IsColumnHidden}) do try(name, fn, id, x, s) end
    end
    try(name, function()
      local visited = 0
      for pos in xlsx.CellRange(id, 1, 1, 3, 3, s) do
        xlsx.GetCellValue(id, pos)
        visited = visited + 1
      end
      if visited ~= 9 then fail(name, "CellRange visited " .. visited .. " cells") end
    end)
  end
  for p = 0, 19 do try(name, xlsx.GetProperty, id, p) end
  for _, edit in ipairs({{xlsx.SetCellValue, "A1", "edited"}, {xlsx.SetCellValue, 2, 2, 42},
                         {xlsx.SetCellValue, 3, 3, 2.5, 12}, {xlsx.SetCellFormula, 4, 4, "B2*2"},
                         {xlsx.SetCellFill, 3, 3, 0xD9D9D9}, {xlsx.ClearCellValue, 2, 2}, {xlsx.SetColumnWidth, 1, 18},
                         {xlsx.SetRowHeight, 1, 24}, {xlsx.HideRow, 1, 0}, {xlsx.HideColumn, 1, 0},
                         {xlsx.SetProperty, XLSX_PROPERTY_TITLE, "hostile"}, {xlsx.AddSheet, "Added"}}) do
    try(name, edit[1], id, table.unpack(edit, 2))
  end
  local count = try(name, xlsx.GetSheetCount, id) or 0
  if count >= 2 then
    for _, edit in ipairs({{xlsx.MoveSheet, count, 1}, {xlsx.SetSheetName, 1, "Moved"}, {xlsx.SetSheetActive, 1},
                           {xlsx.SetSheetSelected, 1, 1}, {xlsx.DeleteSheet, 1}}) do
      try(name, edit[1], id, table.unpack(edit, 2))
    end
  end
end

local opened, refused = 0, 0
for line in io.lines(corpus .. "/MANIFEST") do
  local name, expect = line:match("^(%S+) (%S+)$")
  local path, out = corpus .. "/" .. name .. ".xlsx", outdir .. "/" .. name .. ".xlsx"
  os.remove(out)  -- a copy from an earlier run must not pass for this run's (openpyxl reads them next)
  local ok, id = true, nil
  if not (skipped[name] or (skip_bombs and name:match("^deflate_bomb"))) then ok, id = pcall(xlsx.Open, nil, path) end
  if id and ok then
    opened = opened + 1
    if expect == "refuse" then fail(name, "opened but must be refused") end
    exercise(name, id)
    local saved, message = pcall(xlsx.SaveAs, id, out)
    xlsx.Close(id)
    local again_ok, again = false, message
    if saved then again_ok, again = pcall(xlsx.Open, nil, out) end
    if again_ok then xlsx.Close(again) else fail(name, "not saved, or does not open: " .. tostring(again)) end
  elseif not ok then
    refused = refused + 1
    if expect == "open" then fail(name, "refused but must open: " .. tostring(id)) end
    if not ends_with(id, "Error opening XLSX document " .. path .. "!") then fail(name, "said: " .. tostring(id)) end
  end
end
print(string.format("hostile corpus: %d opened, %d refused, %d failures", opened, refused, failures))
if failures > 0 then error(failures .. " failures") end

-- Lists what the xlsx plugin gives scripts: its commands and constants.
--   korvadel examples/list_commands.lua
local names = {}
for name in pairs(xlsx) do names[#names + 1] = name end
table.sort(names)
print(string.format("The xlsx library has %d commands:", #names))
for _, name in ipairs(names) do print("  xlsx." .. name) end

local constants = {}
for name, value in pairs(_G) do
  if name:find("^XLSX") then constants[#constants + 1] = {name, value} end
end
table.sort(constants, function(a, b) return a[1] < b[1] end)
print(string.format("and %d constants:", #constants))
for _, c in ipairs(constants) do print(string.format("  %-32s %d", c[1], c[2])) end

print("Documents are objects of type " .. xlsx.GetObjectType() .. ".")
print("Run korvadel --commands for the help text of each command.")

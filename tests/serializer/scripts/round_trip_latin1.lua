-- korvadel-options: --charset ISO-8859-1
-- Under a system character set that is not UTF-8, script texts are ISO-8859-1 bytes: they are stored as
-- UTF-8 in the workbook and come back in ISO-8859-1, through the serializer and through the commands.
package.path = arg[0]:match("^(.*/)") .. "?.lua;" .. package.path
local check = require "check"
local support = require "serializer_support"
local scratch, temp = arg[1], arg[2]

local groesse = "Gr\xF6\xDFe"       -- Größe in ISO-8859-1
local aepfel = "\xC4pfel \xE0 1\xA4"   -- Äpfel à 1¤
local bytes = SerializeTable({{groesse, 1}, {aepfel, 0.5}})
local back = DeserializeTable(bytes)
check.eq(back[1][1], groesse)
check.eq(back[1][2], 1)
check.eq(back[2][1], aepfel)
check.eq(back[2][2], 0.5)

-- The commands read the same texts from the file.
local path = scratch .. "/latin1.xlsx"
support.write(path, bytes)
local id = xlsx.Open(nil, path)
check.eq(xlsx.GetCellValue(id, 1, 1), groesse)
check.eq(xlsx.GetCellValue(id, 1, 2), aepfel)
xlsx.Close(id)

support.no_temp_files(temp)
check.done()

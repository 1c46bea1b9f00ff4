// The xlsx commands in table order, each with its help text; the command and help tables the host takes
// are made from this one list at compile time, so they cannot drift apart.
#include "plugin/command_table.h"

#include <array>
#include <cstddef>

#include "plugin/commands.h"

namespace {

struct CommandRow {
  const char* name;
  HostCFunction handler;
  const char* help;
};

constexpr CommandRow kCommands[] = {
    {"Open", CmdOpen, "[id]=xlsx.Open(id,filename$) -- open an XLSX document for reading and/or writing"},
    {"Close", CmdClose, "xlsx.Close(id) -- close XLSX document"},
    {"Create", CmdCreate, "[id]=xlsx.Create(id,filename$) -- create an empty XLSX document"},
    {"Save", CmdSave, "xlsx.Save(id) -- save XLSX document"},
    {"SaveAs", CmdSaveAs, "xlsx.SaveAs(id,filename$) -- save XLSX document to new location"},
    {"GetObjectType", CmdGetObjectType, "type=xlsx.GetObjectType() -- get XLSX document object type"},
    {"AddSheet", CmdAddSheet, "xlsx.AddSheet(id,name$[,pos]) -- add a new worksheet"},
    {"DeleteSheet", CmdDeleteSheet, "xlsx.DeleteSheet(id,idx) -- delete worksheet"},
    {"MoveSheet", CmdMoveSheet, "xlsx.MoveSheet(id,idx,newpos) -- change worksheet position"},
    {"GetSheetIndex", CmdGetSheetIndex, "idx=xlsx.GetSheetIndex(id,name$) -- get worksheet index"},
    {"GetSheetCount", CmdGetSheetCount, "n=xlsx.GetSheetCount(id) -- get number of worksheets in document"},
    {"GetSheetName", CmdGetSheetName, "name$=xlsx.GetSheetName(id,idx) -- get worksheet name"},
    {"SetSheetName", CmdSetSheetName, "xlsx.SetSheetName(id,idx,name$) -- set worksheet name"},
    {"GetSheetType", CmdGetSheetType, "type=xlsx.GetSheetType(id,idx) -- get worksheet type"},
    {"SetDefaultSheet", CmdSetDefaultSheet, "xlsx.SetDefaultSheet(id,idx) -- set default worksheet"},
    {"GetRowCount", CmdGetRowCount, "rows=xlsx.GetRowCount(id[,idx]) -- get number of worksheet rows"},
    {"GetColumnCount", CmdGetColumnCount, "cols=xlsx.GetColumnCount(id[,idx]) -- get number of worksheet columns"},
    {"GetCellValue", CmdGetCellValue, "v,t=xlsx.GetCellValue(id,x,y[,sheet]) -- get cell value"},
    {"GetCellFormula", CmdGetCellFormula, "f$=xlsx.GetCellFormula(id,x,y[,sheet]) -- get cell formula"},
    {"HaveCellFormula", CmdHaveCellFormula,
     "bool=xlsx.HaveCellFormula(id,x,y[,sheet]) -- check if cell has a formula"},
    {"SetCellValue", CmdSetCellValue, "xlsx.SetCellValue(id,x,y,val[,type,sheet]) -- set cell value"},
    {"ClearCellValue", CmdClearCellValue, "xlsx.ClearCellValue(id,x,y[,sheet]) -- clear cell value"},
    {"SetCellFormula", CmdSetCellFormula, "xlsx.SetCellFormula(id,x,y,f$[,sheet]) -- set cell formula"},
    {"ClearCellFormula", CmdClearCellFormula, "xlsx.ClearCellFormula(id,x,y,f$[,sheet]) -- clear cell formula"},
    {"SetColumnWidth", CmdSetColumnWidth, "xlsx.SetColumnWidth(id,col,width[,sheet]) -- set column width"},
    {"GetColumnWidth", CmdGetColumnWidth, "width=xlsx.GetColumnWidth(id,col[,sheet]) -- get column width"},
    {"SetRowHeight", CmdSetRowHeight, "xlsx.SetRowHeight(id,row,height[,sheet]) -- set row height"},
    {"GetRowHeight", CmdGetRowHeight, "height=xlsx.GetRowHeight(id,row[,sheet]) -- get row height"},
    {"HideColumn", CmdHideColumn, "xlsx.HideColumn(id,col,hidden[,sheet]) -- show or hide a column"},
    {"HideRow", CmdHideRow, "xlsx.HideRow(id,row,hidden[,sheet]) -- show or hide a row"},
    {"IsColumnHidden", CmdIsColumnHidden,
     "hidden=xlsx.IsColumnHidden(id,col[,sheet]) -- get column visibility state"},
    {"IsRowHidden", CmdIsRowHidden, "hidden=xlsx.IsRowHidden(id,row[,sheet]) -- get row visibility state"},
    {"IsSheetActive", CmdIsSheetActive, "active=xlsx.IsSheetActive(id[,sheet]) -- check if sheet is active"},
    {"IsSheetSelected", CmdIsSheetSelected, "sel=xlsx.IsSheetSelected(id[,sheet]) -- check if sheet is selected"},
    {"SetSheetActive", CmdSetSheetActive, "xlsx.SetSheetActive(id[,sheet]) -- make sheet active"},
    {"SetSheetSelected", CmdSetSheetSelected, "xlsx.SetSheetSelected(id,sel[,sheet]) -- select or unselect sheet"},
    {"SetSheetVisibility", CmdSetSheetVisibility,
     "xlsx.SetSheetVisibility(id,vis[,sheet]) -- set sheet visibility"},
    {"GetSheetVisibility", CmdGetSheetVisibility,
     "vis=xlsx.GetSheetVisibility(id[,sheet]) -- get sheet visibility"},
    {"SetProperty", CmdSetProperty, "xlsx.SetProperty(id,prop,val$) -- set document property"},
    {"GetProperty", CmdGetProperty, "val$=xlsx.GetProperty(id,prop) -- get document property"},
    {"DeleteProperty", CmdDeleteProperty, "xlsx.DeleteProperty(id,prop) -- delete document property"},
    {"CellRange", CmdCellRange,
     "ref=xlsx.CellRange(id,startx,starty,endx,endy[,sheet]) -- iterate over cell range"},
    {"UseSharedStrings", CmdUseSharedStrings, "xlsx.UseSharedStrings(on) -- toggle shared string mode"},
    {"GetCellReference", CmdGetCellReference,
     "ref=xlsx.GetCellReference(id,x,y[,xyref,sheet]) -- get cell reference"},
};

constexpr size_t kCount = std::size(kCommands);

constexpr std::array<PluginCommand, kCount + 1> MakeCommands() {
  std::array<PluginCommand, kCount + 1> table{};
  for (size_t i = 0; i < kCount; ++i) table[i] = PluginCommand{kCommands[i].name, kCommands[i].handler};
  table[kCount] = PluginCommand{nullptr, nullptr};
  return table;
}

constexpr std::array<PluginHelp, kCount> MakeHelp() {
  std::array<PluginHelp, kCount> table{};
  for (size_t i = 0; i < kCount; ++i) table[i] = PluginHelp{kCommands[i].help, 0};
  return table;
}

constexpr std::array<PluginCommand, kCount + 1> kCommandTable = MakeCommands();
constexpr std::array<PluginHelp, kCount> kHelpTable = MakeHelp();

constexpr PluginConstant kConstants[] = {
    {"XLSXATTRSHEETS", 0, XLSXATTRSHEETS},
    {"XLSX_VISIBILITY_VISIBLE", 0, 0},
    {"XLSX_VISIBILITY_HIDDEN", 0, 1},
    {"XLSX_VISIBILITY_VERYHIDDEN", 0, 2},
    {"XLSX_SHEETTYPE_WORKSHEET", 0, 0},
    {"XLSX_SHEETTYPE_CHARTSHEET", 0, 1},
    {"XLSX_SHEETTYPE_DIALOGSHEET", 0, 2},
    {"XLSX_SHEETTYPE_MACROSHEET", 0, 3},
    {"XLSX_PROPERTY_TITLE", 0, 0},
    {"XLSX_PROPERTY_SUBJECT", 0, 1},
    {"XLSX_PROPERTY_CREATOR", 0, 2},
    {"XLSX_PROPERTY_KEYWORDS", 0, 3},
    {"XLSX_PROPERTY_DESCRIPTION", 0, 4},
    {"XLSX_PROPERTY_LASTMODIFIEDBY", 0, 5},
    {"XLSX_PROPERTY_LASTPRINTED", 0, 6},
    {"XLSX_PROPERTY_CREATIONDATE", 0, 7},
    {"XLSX_PROPERTY_MODIFICATIONDATE", 0, 8},
    {"XLSX_PROPERTY_CATEGORY", 0, 9},
    {"XLSX_PROPERTY_APPLICATION", 0, 10},
    {"XLSX_PROPERTY_DOCSECURITY", 0, 11},
    {"XLSX_PROPERTY_SCALECROP", 0, 12},
    {"XLSX_PROPERTY_MANAGER", 0, 13},
    {"XLSX_PROPERTY_COMPANY", 0, 14},
    {"XLSX_PROPERTY_LINKSUPTODATE", 0, 15},
    {"XLSX_PROPERTY_SHAREDDOC", 0, 16},
    {"XLSX_PROPERTY_HYPERLINKBASE", 0, 17},
    {"XLSX_PROPERTY_HYPERLINKSCHANGED", 0, 18},
    {"XLSX_PROPERTY_APPVERSION", 0, 19},
    {nullptr, 0, 0},
};

}  // namespace

const PluginCommand* CommandTable() { return kCommandTable.data(); }
const PluginHelp* HelpTable() { return kHelpTable.data(); }
const PluginConstant* ConstantTable() { return kConstants; }
uint32_t CommandCount() { return static_cast<uint32_t>(kCount); }

// The 44 xlsx commands with their help texts, in table order, written out independently of the plugin's
// table so that tests can hold the table and the host's listing against it.
#pragma once

#include <cstddef>

namespace canonical {

struct Command {
  const char* name;
  const char* help;
};

inline constexpr Command kCommands[] = {
    {"Open", "[id]=xlsx.Open(id,filename$) -- open an XLSX document for reading and/or writing"},
    {"Close", "xlsx.Close(id) -- close XLSX document"},
    {"Create", "[id]=xlsx.Create(id,filename$) -- create an empty XLSX document"},
    {"Save", "xlsx.Save(id) -- save XLSX document"},
    {"SaveAs", "xlsx.SaveAs(id,filename$) -- save XLSX document to new location"},
    {"GetObjectType", "type=xlsx.GetObjectType() -- get XLSX document object type"},
    {"AddSheet", "xlsx.AddSheet(id,name$[,pos]) -- add a new worksheet"},
    {"DeleteSheet", "xlsx.DeleteSheet(id,idx) -- delete worksheet"},
    {"MoveSheet", "xlsx.MoveSheet(id,idx,newpos) -- change worksheet position"},
    {"GetSheetIndex", "idx=xlsx.GetSheetIndex(id,name$) -- get worksheet index"},
    {"GetSheetCount", "n=xlsx.GetSheetCount(id) -- get number of worksheets in document"},
    {"GetSheetName", "name$=xlsx.GetSheetName(id,idx) -- get worksheet name"},
    {"SetSheetName", "xlsx.SetSheetName(id,idx,name$) -- set worksheet name"},
    {"GetSheetType", "type=xlsx.GetSheetType(id,idx) -- get worksheet type"},
    {"SetDefaultSheet", "xlsx.SetDefaultSheet(id,idx) -- set default worksheet"},
    {"GetRowCount", "rows=xlsx.GetRowCount(id[,idx]) -- get number of worksheet rows"},
    {"GetColumnCount", "cols=xlsx.GetColumnCount(id[,idx]) -- get number of worksheet columns"},
    {"GetCellValue", "v,t=xlsx.GetCellValue(id,x,y[,sheet]) -- get cell value"},
    {"GetCellFormula", "f$=xlsx.GetCellFormula(id,x,y[,sheet]) -- get cell formula"},
    {"HaveCellFormula", "bool=xlsx.HaveCellFormula(id,x,y[,sheet]) -- check if cell has a formula"},
    {"SetCellValue", "xlsx.SetCellValue(id,x,y,val[,type,sheet]) -- set cell value"},
    {"ClearCellValue", "xlsx.ClearCellValue(id,x,y[,sheet]) -- clear cell value"},
    {"SetCellFormula", "xlsx.SetCellFormula(id,x,y,f$[,sheet]) -- set cell formula"},
    {"ClearCellFormula", "xlsx.ClearCellFormula(id,x,y,f$[,sheet]) -- clear cell formula"},
    {"SetColumnWidth", "xlsx.SetColumnWidth(id,col,width[,sheet]) -- set column width"},
    {"GetColumnWidth", "width=xlsx.GetColumnWidth(id,col[,sheet]) -- get column width"},
    {"SetRowHeight", "xlsx.SetRowHeight(id,row,height[,sheet]) -- set row height"},
    {"GetRowHeight", "height=xlsx.GetRowHeight(id,row[,sheet]) -- get row height"},
    {"HideColumn", "xlsx.HideColumn(id,col,hidden[,sheet]) -- show or hide a column"},
    {"HideRow", "xlsx.HideRow(id,row,hidden[,sheet]) -- show or hide a row"},
    {"IsColumnHidden", "hidden=xlsx.IsColumnHidden(id,col[,sheet]) -- get column visibility state"},
    {"IsRowHidden", "hidden=xlsx.IsRowHidden(id,row[,sheet]) -- get row visibility state"},
    {"IsSheetActive", "active=xlsx.IsSheetActive(id[,sheet]) -- check if sheet is active"},
    {"IsSheetSelected", "sel=xlsx.IsSheetSelected(id[,sheet]) -- check if sheet is selected"},
    {"SetSheetActive", "xlsx.SetSheetActive(id[,sheet]) -- make sheet active"},
    {"SetSheetSelected", "xlsx.SetSheetSelected(id,sel[,sheet]) -- select or unselect sheet"},
    {"SetSheetVisibility", "xlsx.SetSheetVisibility(id,vis[,sheet]) -- set sheet visibility"},
    {"GetSheetVisibility", "vis=xlsx.GetSheetVisibility(id[,sheet]) -- get sheet visibility"},
    {"SetProperty", "xlsx.SetProperty(id,prop,val$) -- set document property"},
    {"GetProperty", "val$=xlsx.GetProperty(id,prop) -- get document property"},
    {"DeleteProperty", "xlsx.DeleteProperty(id,prop) -- delete document property"},
    {"CellRange", "ref=xlsx.CellRange(id,startx,starty,endx,endy[,sheet]) -- iterate over cell range"},
    {"UseSharedStrings", "xlsx.UseSharedStrings(on) -- toggle shared string mode"},
    {"GetCellReference", "ref=xlsx.GetCellReference(id,x,y[,xyref,sheet]) -- get cell reference"},
};

inline constexpr size_t kCommandCount = sizeof kCommands / sizeof kCommands[0];

// Position of name in the table; kCommandCount when it is not there.
inline size_t IndexOf(const char* name) {
  for (size_t i = 0; i < kCommandCount; ++i) {
    const char* a = kCommands[i].name;
    const char* b = name;
    while (*a && *a == *b) ++a, ++b;
    if (*a == *b) return i;
  }
  return kCommandCount;
}

}  // namespace canonical

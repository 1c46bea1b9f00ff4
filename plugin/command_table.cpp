// The xlsx commands in table order, each with its help text; the command and help tables the host takes
// are made from this one list at compile time, so they cannot drift apart.
#include "plugin/command_table.h"

#include <array>
#include <cstddef>

#include "lib/package/properties.h"
#include "plugin/access.h"
#include "plugin/cell_formats.h"
#include "plugin/commands.h"
#include "plugin/layout_access.h"

namespace {

struct CommandRow {
  const char* name;
  HostCFunction handler;
  const char* help;
};

// Each command's name, its handler Cmd<name> and its help text.
#define XLSX_COMMAND(name, help) {#name, Cmd##name, help}
constexpr CommandRow kCommands[] = {
    XLSX_COMMAND(Open, "[id]=xlsx.Open(id,filename$) -- open an XLSX document for reading and/or writing"),
    XLSX_COMMAND(Close, "xlsx.Close(id) -- close XLSX document"),
    XLSX_COMMAND(Create, "[id]=xlsx.Create(id,filename$) -- create an empty XLSX document"),
    XLSX_COMMAND(Save, "xlsx.Save(id) -- save XLSX document"),
    XLSX_COMMAND(SaveAs, "xlsx.SaveAs(id,filename$) -- save XLSX document to new location"),
    XLSX_COMMAND(GetObjectType, "type=xlsx.GetObjectType() -- get XLSX document object type"),
    XLSX_COMMAND(AddSheet, "xlsx.AddSheet(id,name$[,pos]) -- add a new worksheet"),
    XLSX_COMMAND(DeleteSheet, "xlsx.DeleteSheet(id,idx) -- delete worksheet"),
    XLSX_COMMAND(MoveSheet, "xlsx.MoveSheet(id,idx,newpos) -- change worksheet position"),
    XLSX_COMMAND(GetSheetIndex, "idx=xlsx.GetSheetIndex(id,name$) -- get worksheet index"),
    XLSX_COMMAND(GetSheetCount, "n=xlsx.GetSheetCount(id) -- get number of worksheets in document"),
    XLSX_COMMAND(GetSheetName, "name$=xlsx.GetSheetName(id,idx) -- get worksheet name"),
    XLSX_COMMAND(SetSheetName, "xlsx.SetSheetName(id,idx,name$) -- set worksheet name"),
    XLSX_COMMAND(GetSheetType, "type=xlsx.GetSheetType(id,idx) -- get worksheet type"),
    XLSX_COMMAND(SetDefaultSheet, "xlsx.SetDefaultSheet(id,idx) -- set default worksheet"),
    XLSX_COMMAND(GetRowCount, "rows=xlsx.GetRowCount(id[,idx]) -- get number of worksheet rows"),
    XLSX_COMMAND(GetColumnCount, "cols=xlsx.GetColumnCount(id[,idx]) -- get number of worksheet columns"),
    XLSX_COMMAND(GetCellValue, "v,t=xlsx.GetCellValue(id,x,y[,sheet]) -- get cell value"),
    XLSX_COMMAND(GetCellFormula, "f$=xlsx.GetCellFormula(id,x,y[,sheet]) -- get cell formula"),
    XLSX_COMMAND(HaveCellFormula, "bool=xlsx.HaveCellFormula(id,x,y[,sheet]) -- check if cell has a formula"),
    XLSX_COMMAND(SetCellValue, "xlsx.SetCellValue(id,x,y,val[,type,sheet]) -- set cell value"),
    XLSX_COMMAND(ClearCellValue, "xlsx.ClearCellValue(id,x,y[,sheet]) -- clear cell value"),
    XLSX_COMMAND(SetCellFormula, "xlsx.SetCellFormula(id,x,y,f$[,sheet]) -- set cell formula"),
    XLSX_COMMAND(ClearCellFormula, "xlsx.ClearCellFormula(id,x,y,f$[,sheet]) -- clear cell formula"),
    XLSX_COMMAND(SetColumnWidth, "xlsx.SetColumnWidth(id,col,width[,sheet]) -- set column width"),
    XLSX_COMMAND(GetColumnWidth, "width=xlsx.GetColumnWidth(id,col[,sheet]) -- get column width"),
    XLSX_COMMAND(SetRowHeight, "xlsx.SetRowHeight(id,row,height[,sheet]) -- set row height"),
    XLSX_COMMAND(GetRowHeight, "height=xlsx.GetRowHeight(id,row[,sheet]) -- get row height"),
    XLSX_COMMAND(HideColumn, "xlsx.HideColumn(id,col,hidden[,sheet]) -- show or hide a column"),
    XLSX_COMMAND(HideRow, "xlsx.HideRow(id,row,hidden[,sheet]) -- show or hide a row"),
    XLSX_COMMAND(IsColumnHidden, "hidden=xlsx.IsColumnHidden(id,col[,sheet]) -- get column visibility state"),
    XLSX_COMMAND(IsRowHidden, "hidden=xlsx.IsRowHidden(id,row[,sheet]) -- get row visibility state"),
    XLSX_COMMAND(IsSheetActive, "active=xlsx.IsSheetActive(id[,sheet]) -- check if sheet is active"),
    XLSX_COMMAND(IsSheetSelected, "sel=xlsx.IsSheetSelected(id[,sheet]) -- check if sheet is selected"),
    XLSX_COMMAND(SetSheetActive, "xlsx.SetSheetActive(id[,sheet]) -- make sheet active"),
    XLSX_COMMAND(SetSheetSelected, "xlsx.SetSheetSelected(id,sel[,sheet]) -- select or unselect sheet"),
    XLSX_COMMAND(SetSheetVisibility, "xlsx.SetSheetVisibility(id,vis[,sheet]) -- set sheet visibility"),
    XLSX_COMMAND(GetSheetVisibility, "vis=xlsx.GetSheetVisibility(id[,sheet]) -- get sheet visibility"),
    XLSX_COMMAND(SetProperty, "xlsx.SetProperty(id,prop,val$) -- set document property"),
    XLSX_COMMAND(GetProperty, "val$=xlsx.GetProperty(id,prop) -- get document property"),
    XLSX_COMMAND(DeleteProperty, "xlsx.DeleteProperty(id,prop) -- delete document property"),
    XLSX_COMMAND(CellRange, "ref=xlsx.CellRange(id,startx,starty,endx,endy[,sheet]) -- iterate over cell range"),
    XLSX_COMMAND(UseSharedStrings, "xlsx.UseSharedStrings(on) -- toggle shared string mode"),
    XLSX_COMMAND(GetCellReference, "ref=xlsx.GetCellReference(id,x,y[,xyref,sheet]) -- get cell reference"),
    // Cell formatting.
    XLSX_COMMAND(SetCellNumberFormat, "xlsx.SetCellNumberFormat(id,x,y,format$[,sheet]) -- set cell number format"),
    XLSX_COMMAND(GetCellNumberFormat, "format$=xlsx.GetCellNumberFormat(id,x,y[,sheet]) -- get cell number format"),
    XLSX_COMMAND(SetCellDate, "xlsx.SetCellDate(id,x,y,date$[,sheet]) -- set cell date and time"),
    XLSX_COMMAND(GetCellDate, "date$=xlsx.GetCellDate(id,x,y[,sheet]) -- get cell date and time"),
    XLSX_COMMAND(IsCellDate, "bool=xlsx.IsCellDate(id,x,y[,sheet]) -- check if cell has a date format"),
    XLSX_COMMAND(SetCellFont, "xlsx.SetCellFont(id,x,y,name$,size,style,color[,sheet]) -- set cell font"),
    XLSX_COMMAND(GetCellFont, "name$,size,style,color=xlsx.GetCellFont(id,x,y[,sheet]) -- get cell font"),
    XLSX_COMMAND(SetCellFill, "xlsx.SetCellFill(id,x,y,color[,sheet]) -- set cell fill color"),
    XLSX_COMMAND(GetCellFill, "color=xlsx.GetCellFill(id,x,y[,sheet]) -- get cell fill color"),
    XLSX_COMMAND(SetCellBorder, "xlsx.SetCellBorder(id,x,y,sides,style,color[,sheet]) -- set cell border"),
    XLSX_COMMAND(GetCellBorder, "style,color=xlsx.GetCellBorder(id,x,y,side[,sheet]) -- get cell border"),
    XLSX_COMMAND(SetCellAlignment,
                 "xlsx.SetCellAlignment(id,x,y,horiz,vert,wrap,indent,rotation[,sheet]) -- set cell alignment"),
    XLSX_COMMAND(GetCellAlignment,
                 "horiz,vert,wrap,indent,rotation=xlsx.GetCellAlignment(id,x,y[,sheet]) -- get cell alignment"),
    XLSX_COMMAND(CopyCellStyle, "xlsx.CopyCellStyle(id,fromx,fromy,tox,toy[,sheet]) -- copy cell format"),
    // Sheet layout.
    XLSX_COMMAND(MergeCells, "xlsx.MergeCells(id,range$[,sheet]) -- merge a range of cells"),
    XLSX_COMMAND(UnmergeCells, "xlsx.UnmergeCells(id,range$[,sheet]) -- unmerge the merged cells in a range"),
    XLSX_COMMAND(GetMergedCount, "n=xlsx.GetMergedCount(id[,sheet]) -- get number of merged ranges"),
    XLSX_COMMAND(GetMergedRange, "range$=xlsx.GetMergedRange(id,n[,sheet]) -- get merged range"),
    XLSX_COMMAND(FreezePanes, "xlsx.FreezePanes(id,x,y[,sheet]) -- freeze the columns left of x and the rows above y"),
    XLSX_COMMAND(GetFrozenPanes, "x,y=xlsx.GetFrozenPanes(id[,sheet]) -- get first unfrozen column and row"),
    XLSX_COMMAND(SetAutoFilter, "xlsx.SetAutoFilter(id,range$[,sheet]) -- set worksheet filter"),
    XLSX_COMMAND(ClearAutoFilter, "xlsx.ClearAutoFilter(id[,sheet]) -- remove worksheet filter"),
    XLSX_COMMAND(GetAutoFilter, "range$=xlsx.GetAutoFilter(id[,sheet]) -- get worksheet filter range"),
    XLSX_COMMAND(SetSheetTabColor, "xlsx.SetSheetTabColor(id,color[,sheet]) -- set worksheet tab colour"),
    XLSX_COMMAND(GetSheetTabColor, "color=xlsx.GetSheetTabColor(id[,sheet]) -- get worksheet tab colour"),
    XLSX_COMMAND(SetCellHyperlink, "xlsx.SetCellHyperlink(id,x,y,target$[,tooltip$,sheet]) -- set cell hyperlink"),
    XLSX_COMMAND(GetCellHyperlink, "target$,tooltip$=xlsx.GetCellHyperlink(id,x,y[,sheet]) -- get cell hyperlink"),
    XLSX_COMMAND(ClearCellHyperlink, "xlsx.ClearCellHyperlink(id,x,y[,sheet]) -- remove cell hyperlink"),
};
#undef XLSX_COMMAND

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

// Constants whose name is the plugin's own name for the value.
#define XLSX_CONSTANT(name) {#name, 0, name}
constexpr PluginConstant kConstants[] = {
    XLSX_CONSTANT(XLSXATTRSHEETS), XLSX_CONSTANT(XLSX_VISIBILITY_VISIBLE), XLSX_CONSTANT(XLSX_VISIBILITY_HIDDEN),
    XLSX_CONSTANT(XLSX_VISIBILITY_VERYHIDDEN), XLSX_CONSTANT(XLSX_SHEETTYPE_WORKSHEET),
    XLSX_CONSTANT(XLSX_SHEETTYPE_CHARTSHEET), XLSX_CONSTANT(XLSX_SHEETTYPE_DIALOGSHEET),
    XLSX_CONSTANT(XLSX_SHEETTYPE_MACROSHEET),
    // The script property numbers are the library's.
    {"XLSX_PROPERTY_TITLE", 0, XLSX_PROP_TITLE},
    {"XLSX_PROPERTY_SUBJECT", 0, XLSX_PROP_SUBJECT},
    {"XLSX_PROPERTY_CREATOR", 0, XLSX_PROP_CREATOR},
    {"XLSX_PROPERTY_KEYWORDS", 0, XLSX_PROP_KEYWORDS},
    {"XLSX_PROPERTY_DESCRIPTION", 0, XLSX_PROP_DESCRIPTION},
    {"XLSX_PROPERTY_LASTMODIFIEDBY", 0, XLSX_PROP_LAST_MODIFIED_BY},
    {"XLSX_PROPERTY_LASTPRINTED", 0, XLSX_PROP_LAST_PRINTED},
    {"XLSX_PROPERTY_CREATIONDATE", 0, XLSX_PROP_CREATED},
    {"XLSX_PROPERTY_MODIFICATIONDATE", 0, XLSX_PROP_MODIFIED},
    {"XLSX_PROPERTY_CATEGORY", 0, XLSX_PROP_CATEGORY},
    {"XLSX_PROPERTY_APPLICATION", 0, XLSX_PROP_APPLICATION},
    {"XLSX_PROPERTY_DOCSECURITY", 0, XLSX_PROP_DOC_SECURITY},
    {"XLSX_PROPERTY_SCALECROP", 0, XLSX_PROP_SCALE_CROP},
    {"XLSX_PROPERTY_MANAGER", 0, XLSX_PROP_MANAGER},
    {"XLSX_PROPERTY_COMPANY", 0, XLSX_PROP_COMPANY},
    {"XLSX_PROPERTY_LINKSUPTODATE", 0, XLSX_PROP_LINKS_UP_TO_DATE},
    {"XLSX_PROPERTY_SHAREDDOC", 0, XLSX_PROP_SHARED_DOC},
    {"XLSX_PROPERTY_HYPERLINKBASE", 0, XLSX_PROP_HYPERLINK_BASE},
    {"XLSX_PROPERTY_HYPERLINKSCHANGED", 0, XLSX_PROP_HYPERLINKS_CHANGED},
    {"XLSX_PROPERTY_APPVERSION", 0, XLSX_PROP_APP_VERSION},
    // Cell formatting.
    XLSX_CONSTANT(XLSX_KEEP),
    XLSX_CONSTANT(XLSX_COLOR_NONE),
    XLSX_CONSTANT(XLSX_FONT_BOLD),
    XLSX_CONSTANT(XLSX_FONT_ITALIC),
    XLSX_CONSTANT(XLSX_FONT_UNDERLINE),
    XLSX_CONSTANT(XLSX_FONT_STRIKE),
    XLSX_CONSTANT(XLSX_SIDE_LEFT),
    XLSX_CONSTANT(XLSX_SIDE_RIGHT),
    XLSX_CONSTANT(XLSX_SIDE_TOP),
    XLSX_CONSTANT(XLSX_SIDE_BOTTOM),
    XLSX_CONSTANT(XLSX_SIDE_ALL),
    XLSX_CONSTANT(XLSX_BORDER_NONE),
    XLSX_CONSTANT(XLSX_BORDER_THIN),
    XLSX_CONSTANT(XLSX_BORDER_MEDIUM),
    XLSX_CONSTANT(XLSX_BORDER_DASHED),
    XLSX_CONSTANT(XLSX_BORDER_DOTTED),
    XLSX_CONSTANT(XLSX_BORDER_THICK),
    XLSX_CONSTANT(XLSX_BORDER_DOUBLE),
    XLSX_CONSTANT(XLSX_BORDER_HAIR),
    XLSX_CONSTANT(XLSX_BORDER_MEDIUMDASHED),
    XLSX_CONSTANT(XLSX_BORDER_DASHDOT),
    XLSX_CONSTANT(XLSX_BORDER_MEDIUMDASHDOT),
    XLSX_CONSTANT(XLSX_BORDER_DASHDOTDOT),
    XLSX_CONSTANT(XLSX_BORDER_MEDIUMDASHDOTDOT),
    XLSX_CONSTANT(XLSX_BORDER_SLANTDASHDOT),
    XLSX_CONSTANT(XLSX_ALIGN_GENERAL),
    XLSX_CONSTANT(XLSX_ALIGN_LEFT),
    XLSX_CONSTANT(XLSX_ALIGN_CENTER),
    XLSX_CONSTANT(XLSX_ALIGN_RIGHT),
    XLSX_CONSTANT(XLSX_ALIGN_FILL),
    XLSX_CONSTANT(XLSX_ALIGN_JUSTIFY),
    XLSX_CONSTANT(XLSX_ALIGN_CENTERCONTINUOUS),
    XLSX_CONSTANT(XLSX_ALIGN_DISTRIBUTED),
    XLSX_CONSTANT(XLSX_VALIGN_TOP),
    XLSX_CONSTANT(XLSX_VALIGN_CENTER),
    XLSX_CONSTANT(XLSX_VALIGN_BOTTOM),
    XLSX_CONSTANT(XLSX_VALIGN_JUSTIFY),
    XLSX_CONSTANT(XLSX_VALIGN_DISTRIBUTED),
    XLSX_CONSTANT(XLSX_ROTATION_VERTICAL),
    {nullptr, 0, 0},
};
#undef XLSX_CONSTANT

}  // namespace

const PluginCommand* CommandTable() { return kCommandTable.data(); }
const PluginHelp* HelpTable() { return kHelpTable.data(); }
const PluginConstant* ConstantTable() { return kConstants; }
uint32_t CommandCount() { return static_cast<uint32_t>(kCount); }

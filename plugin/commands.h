// The handlers of the xlsx commands, in command table order. Each is called with the interpreter state,
// reads its arguments from the host stack (from 1), and returns the number of results it pushed or an
// error code (a registered code, or HOST_ERR_NO_MEMORY). A handler is added to the command table
// (plugin/command_table.cpp) when its definition is built.
#pragma once

#include <cstdint>

#include "plugin/host_api.h"

int32_t CmdOpen(HostState* L);
int32_t CmdClose(HostState* L);
int32_t CmdCreate(HostState* L);
int32_t CmdSave(HostState* L);
int32_t CmdSaveAs(HostState* L);
int32_t CmdGetObjectType(HostState* L);
int32_t CmdAddSheet(HostState* L);
int32_t CmdDeleteSheet(HostState* L);
int32_t CmdMoveSheet(HostState* L);
int32_t CmdGetSheetIndex(HostState* L);
int32_t CmdGetSheetCount(HostState* L);
int32_t CmdGetSheetName(HostState* L);
int32_t CmdSetSheetName(HostState* L);
int32_t CmdGetSheetType(HostState* L);
int32_t CmdSetDefaultSheet(HostState* L);
int32_t CmdGetRowCount(HostState* L);
int32_t CmdGetColumnCount(HostState* L);
int32_t CmdGetCellValue(HostState* L);
int32_t CmdGetCellFormula(HostState* L);
int32_t CmdHaveCellFormula(HostState* L);
int32_t CmdSetCellValue(HostState* L);
int32_t CmdClearCellValue(HostState* L);
int32_t CmdSetCellFormula(HostState* L);
int32_t CmdClearCellFormula(HostState* L);
int32_t CmdSetColumnWidth(HostState* L);
int32_t CmdGetColumnWidth(HostState* L);
int32_t CmdSetRowHeight(HostState* L);
int32_t CmdGetRowHeight(HostState* L);
int32_t CmdHideColumn(HostState* L);
int32_t CmdHideRow(HostState* L);
int32_t CmdIsColumnHidden(HostState* L);
int32_t CmdIsRowHidden(HostState* L);
int32_t CmdIsSheetActive(HostState* L);
int32_t CmdIsSheetSelected(HostState* L);
int32_t CmdSetSheetActive(HostState* L);
int32_t CmdSetSheetSelected(HostState* L);
int32_t CmdSetSheetVisibility(HostState* L);
int32_t CmdGetSheetVisibility(HostState* L);
int32_t CmdSetProperty(HostState* L);
int32_t CmdGetProperty(HostState* L);
int32_t CmdDeleteProperty(HostState* L);
int32_t CmdCellRange(HostState* L);
int32_t CmdUseSharedStrings(HostState* L);
int32_t CmdGetCellReference(HostState* L);
// Cell formatting.
int32_t CmdSetCellNumberFormat(HostState* L);
int32_t CmdGetCellNumberFormat(HostState* L);
int32_t CmdSetCellDate(HostState* L);
int32_t CmdGetCellDate(HostState* L);
int32_t CmdIsCellDate(HostState* L);
int32_t CmdSetCellFont(HostState* L);
int32_t CmdGetCellFont(HostState* L);
int32_t CmdSetCellFill(HostState* L);
int32_t CmdGetCellFill(HostState* L);
int32_t CmdSetCellBorder(HostState* L);
int32_t CmdGetCellBorder(HostState* L);
int32_t CmdSetCellAlignment(HostState* L);
int32_t CmdGetCellAlignment(HostState* L);
int32_t CmdCopyCellStyle(HostState* L);
// Sheet layout (plugin/layout_commands.cpp).
int32_t CmdMergeCells(HostState* L);
int32_t CmdUnmergeCells(HostState* L);
int32_t CmdGetMergedCount(HostState* L);
int32_t CmdGetMergedRange(HostState* L);
int32_t CmdFreezePanes(HostState* L);
int32_t CmdGetFrozenPanes(HostState* L);
int32_t CmdSetAutoFilter(HostState* L);
int32_t CmdClearAutoFilter(HostState* L);
int32_t CmdGetAutoFilter(HostState* L);
int32_t CmdSetSheetTabColor(HostState* L);
int32_t CmdGetSheetTabColor(HostState* L);
int32_t CmdSetCellHyperlink(HostState* L);
int32_t CmdGetCellHyperlink(HostState* L);
int32_t CmdClearCellHyperlink(HostState* L);

// The metatable every CellRange loop carries (created by InitLibrary), and its __gc (1: the loop's
// userdata), which ends the loop; returns 0.
constexpr const char* kIteratorMetatable = "xlsx.kvp.iterator";
int32_t CellRangeCollect(HostState* L);

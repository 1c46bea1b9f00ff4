// The plugin's named entry points, reached by the host through ResolveEntry (the serializer's are in
// plugin/serializer.h), and the attribute callback of the document object type.
#pragma once

#include <cstdint>

#include "plugin/host_api.h"

// The function of the entry point called name (exact, case-sensitive); null for null or an unknown name.
PluginEntryFn ResolveEntry(const char* name);
// The header the host finds by its magic; static storage.
const PluginHeader* PluginHeaderRecord();
// The version text carried in the file.
const char* PluginVersionText();

// Fills all 14 words of info (when info is not null) and returns 1. With a host table it keeps the table,
// hands the library its host operations, registers the eleven error messages in order and the
// text-encoding notification.
uint32_t InitPlugin(PluginInfo* info, const HostApi* host);
// Does nothing: FreeLibrary has released every document.
void ClosePlugin();
// "xlsx".
const char* GetBaseTable();
const PluginCommand* GetCommands();
const PluginConstant* GetConstants();
const PluginHelp* GetHelpStrings();
// 4 for kind 2, else 0.
uint32_t GetExtensions(uint32_t kind);
// Registers the object type "XLSX document" and the CellRange loops' metatable in the interpreter; returns 0.
int32_t InitLibrary(HostState* L);
// Releases every open document without saving; the list is empty afterwards.
void FreeLibrary(HostState* L);
// Attribute callback of "XLSX document": XLSXATTRSHEETS pushes the number of sheets.
int32_t DocumentAttribute(HostState* L, uint32_t attribute, const ObjectId* id);

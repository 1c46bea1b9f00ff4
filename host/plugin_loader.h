// One loaded plugin: its module, the entry points resolved through its header, its information record
// and its tables, and the start-up and shut-down calls in the order the runtime makes them.
#pragma once

#include <string>

#include "host/module_loader.h"
#include "plugin/host_api.h"

struct Plugin {
  std::string path;
  LoadedModule module;
  PluginInfo info{};
  InitPluginFn initPlugin = nullptr;
  ClosePluginFn closePlugin = nullptr;
  GetBaseTableFn getBaseTable = nullptr;
  GetCommandsFn getCommands = nullptr;
  GetConstantsFn getConstants = nullptr;
  GetHelpStringsFn getHelpStrings = nullptr;
  InitLibraryFn initLibrary = nullptr;
  FreeLibraryFn freeLibrary = nullptr;
  InitSerializerFn initSerializer = nullptr;
  FreeSerializerFn freeSerializer = nullptr;
  SerializeItemFn serializeItem = nullptr;
  DeserializeItemFn deserializeItem = nullptr;
  GetExtensionsFn getExtensions = nullptr;
  bool initialised = false;
};

// Loads the module, resolves all 13 entry points, calls InitPlugin first with a null host table (for the
// information) and then with the host table, then sends the text-encoding notification. False with *error
// set when any step fails; the module is unloaded again then.
bool LoadPlugin(const char* path, Plugin* plugin, std::string* error);
// ClosePlugin (when InitPlugin ran) and unloading; safe to call twice.
void ClosePlugin(Plugin* plugin);
// The plugin's base name ("xlsx"); "" when it gives none.
const char* PluginBaseName(const Plugin& plugin);
// Number of rows of the command table.
int PluginCommandCount(const Plugin& plugin);

// Loading a plugin module and finding its header by the magic "KORVADEL" and the header version, the
// way the target system finds it: by scanning the module's loaded segments, not by a symbol name.
#pragma once

#include <string>

#include "plugin/host_api.h"

struct LoadedModule {
  void* handle = nullptr;                // from dlopen
  const PluginHeader* header = nullptr;  // inside the module
};

// Loads the module at path and finds its header. On failure the module is unloaded again, *error says why
// and false is returned.
bool LoadPluginModule(const char* path, LoadedModule* module, std::string* error);
// Finds the header in a module already loaded with dlopen; false with *error set when there is none with
// PLUGIN_HEADER_VERSION or its resolver lies outside the module's code.
bool FindPluginHeader(void* handle, const PluginHeader** header, std::string* error);
// Unloads the module; a module without handle is ignored.
void UnloadPluginModule(LoadedModule* module);

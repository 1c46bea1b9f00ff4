#include "host/plugin_loader.h"

#include "host/host_table.h"
#include "host/objects.h"
#include "host/text.h"

namespace {

template <typename Fn>
bool Resolve(const PluginHeader* header, const char* name, Fn* out, std::string* error) {
  ResolveEntryFn resolve = header->resolve;
  PluginEntryFn entry = resolve(name);
  if (!entry) {
    *error = std::string("the plugin has no entry point ") + name;
    return false;
  }
  *out = reinterpret_cast<Fn>(entry);
  return true;
}

bool ResolveAll(Plugin* p, std::string* error) {
  const PluginHeader* h = p->module.header;
  return Resolve(h, "InitPlugin", &p->initPlugin, error) && Resolve(h, "ClosePlugin", &p->closePlugin, error) &&
         Resolve(h, "GetBaseTable", &p->getBaseTable, error) && Resolve(h, "GetCommands", &p->getCommands, error) &&
         Resolve(h, "GetConstants", &p->getConstants, error) &&
         Resolve(h, "GetHelpStrings", &p->getHelpStrings, error) && Resolve(h, "InitLibrary", &p->initLibrary, error) &&
         Resolve(h, "FreeLibrary", &p->freeLibrary, error) && Resolve(h, "InitSerializer", &p->initSerializer, error) &&
         Resolve(h, "FreeSerializer", &p->freeSerializer, error) &&
         Resolve(h, "SerializeItem", &p->serializeItem, error) &&
         Resolve(h, "DeserializeItem", &p->deserializeItem, error) &&
         Resolve(h, "GetExtensions", &p->getExtensions, error);
}

}  // namespace

bool LoadPlugin(const char* path, Plugin* plugin, std::string* error) {
  plugin->path = path;
  std::string why;
  if (!LoadPluginModule(path, &plugin->module, &why)) {
    *error = why;
    return false;
  }
  if (!ResolveAll(plugin, &why)) {
    UnloadPluginModule(&plugin->module);
    *error = std::string(path) + ": " + why;
    return false;
  }
  // The first call only asks for the information record; the second hands over the host.
  if (!plugin->initPlugin(&plugin->info, nullptr) || !plugin->initPlugin(&plugin->info, HostApiTable())) {
    UnloadPluginModule(&plugin->module);
    *error = std::string(path) + ": InitPlugin failed";
    return false;
  }
  plugin->initialised = true;
  HostNotify(HOST_NOTIFY_TEXT_ENCODING, HostCharsetIsUtf8() ? 1 : 0);
  return true;
}

void ClosePlugin(Plugin* plugin) {
  if (plugin->initialised) plugin->closePlugin();
  plugin->initialised = false;
  UnloadPluginModule(&plugin->module);
}

const char* PluginBaseName(const Plugin& plugin) {
  const char* name = plugin.getBaseTable ? plugin.getBaseTable() : nullptr;
  return name ? name : "";
}

int PluginCommandCount(const Plugin& plugin) {
  const PluginCommand* commands = plugin.getCommands ? plugin.getCommands() : nullptr;
  int count = 0;
  while (commands && commands[count].name) ++count;
  return count;
}

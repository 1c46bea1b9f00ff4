// A plugin that prints each call the host makes to it, so that tests can check the order of the
// lifecycle: InitPlugin without and with the host table, the text-encoding notification, InitLibrary,
// the commands, FreeLibrary and ClosePlugin.
#include <cstdio>
#include <cstring>

#include "plugin/host_api.h"

namespace {

void Say(const char* text) {
  printf("%s\n", text);
  fflush(stdout);
}

void OnEncoding(uint32_t value) { Say(value ? "notify 3: 1" : "notify 3: 0"); }

uint32_t InitPlugin(PluginInfo* info, const HostApi* api) {
  memset(info, 0, sizeof *info);
  info->baseName = "rec";
  Say(api ? "InitPlugin(host)" : "InitPlugin(null)");
  if (api) api->RegisterNotification(HOST_NOTIFY_TEXT_ENCODING, OnEncoding, 0);
  return 1;
}

int32_t Hello(HostState*) { return Say("Hello"), 0; }
const PluginCommand kCommands[] = {{"Hello", Hello}, {nullptr, nullptr}};
const PluginHelp kHelp[] = {{"rec.Hello() -- say hello", 0}};
const PluginConstant kConstants[] = {{"REC_ANSWER", 0, 42}, {nullptr, 0, 0}};

void ClosePlugin() { Say("ClosePlugin"); }
const char* GetBaseTable() { return "rec"; }
const PluginCommand* GetCommands() { return kCommands; }
const PluginConstant* GetConstants() { return kConstants; }
const PluginHelp* GetHelpStrings() { return kHelp; }
int32_t InitLibrary(HostState*) { return Say("InitLibrary"), 0; }
void FreeLibrary(HostState*) { Say("FreeLibrary"); }
void* InitSerializer(SerialReadFn, SerialWriteFn, void*, const HostTag*) { return nullptr; }
int32_t FreeSerializer(void*) { return 0; }
int32_t SerializeItem(void*, const SerialItem*, const SerialItem*) { return 0; }
int32_t DeserializeItem(void*, SerialItem*, SerialItem*, uint32_t*) { return 0; }
uint32_t GetExtensions(uint32_t) { return 0; }

#define ENTRY(name) {#name, reinterpret_cast<PluginEntryFn>(name)}
PluginEntryFn Resolve(const char* name) {
  static const PluginEntry entries[] = {
      ENTRY(InitPlugin), ENTRY(ClosePlugin), ENTRY(GetBaseTable), ENTRY(GetCommands), ENTRY(GetConstants),
      ENTRY(GetHelpStrings), ENTRY(InitLibrary), ENTRY(FreeLibrary), ENTRY(InitSerializer), ENTRY(FreeSerializer),
      ENTRY(SerializeItem), ENTRY(DeserializeItem), ENTRY(GetExtensions), {nullptr, nullptr}};
  for (const PluginEntry* e = entries; e->name; ++e)
    if (strcmp(e->name, name) == 0) return e->function;
  return nullptr;
}

__attribute__((used)) const PluginHeader kHeader = {{'K', 'O', 'R', 'V', 'A', 'D', 'E', 'L'}, {0, 0, 0, 3}, Resolve};

}  // namespace

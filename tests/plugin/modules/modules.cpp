// The modules the host tests load, one per MODULE_KIND. 0 is a plugin that prints each call the host makes
// to it, so that tests can check the order of the lifecycle: InitPlugin without and with the host table, the
// text-encoding notification, InitLibrary, the commands, FreeLibrary and ClosePlugin. The others are for the
// header lookup: 1 no header at all, 2 header version 2, 3 version 3 written little-endian (it reads as
// 0x03000000), 4 a resolver that knows no entry point, 5 a stray copy of the magic and version without a
// resolver before the header (as an unoptimised build can leave the header constants side by side), 6 that
// stray copy alone.
#include <cstdio>
#include <cstring>

#include "plugin/host_api.h"

extern "C" int NotAPlugin() { return 42; }

namespace {
#define MAGIC {'K', 'O', 'R', 'V', 'A', 'D', 'E', 'L'}
#if MODULE_KIND == 0
void Say(const char* text) { printf("%s\n", text); fflush(stdout); }
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
#else
[[maybe_unused]] PluginEntryFn Resolve(const char*) { return nullptr; }
#endif
#if MODULE_KIND == 0 || MODULE_KIND == 4
__attribute__((used)) const PluginHeader kHeader = {MAGIC, {0, 0, 0, 3}, Resolve};
#elif MODULE_KIND == 2
__attribute__((used)) const PluginHeader kHeader = {MAGIC, {0, 0, 0, 2}, Resolve};
#elif MODULE_KIND == 3
__attribute__((used)) const PluginHeader kHeader = {MAGIC, {3, 0, 0, 0}, Resolve};
#elif MODULE_KIND == 5
struct StrayThenHeader { PluginHeader stray, header; };
__attribute__((used)) const StrayThenHeader kHeaders = {{MAGIC, {0, 0, 0, 3}, nullptr}, {MAGIC, {0, 0, 0, 3}, Resolve}};
#elif MODULE_KIND == 6
__attribute__((used)) const PluginHeader kHeader = {MAGIC, {0, 0, 0, 3}, nullptr};
#endif
}  // namespace

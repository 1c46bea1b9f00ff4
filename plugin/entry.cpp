// What the host sees of the module: the header it finds by its magic, the entry table behind
// ResolveEntry, the information record, and the registrations made at start-up (error messages, the
// text-encoding notification) and for each interpreter (the document object type, the CellRange loops'
// metatable).
#include "plugin/entry.h"

#include <cstring>

#include "plugin/access.h"
#include "plugin/command_table.h"
#include "plugin/commands.h"
#include "plugin/globals.h"
#include "plugin/host_bridge.h"
#include "plugin/serializer.h"

namespace {

// Each entry point under its own name.
#define XLSX_ENTRY(function) {#function, reinterpret_cast<PluginEntryFn>(function)}
const PluginEntry kEntries[] = {
    XLSX_ENTRY(InitPlugin),     XLSX_ENTRY(ClosePlugin),     XLSX_ENTRY(GetBaseTable),  XLSX_ENTRY(GetCommands),
    XLSX_ENTRY(GetConstants),   XLSX_ENTRY(GetHelpStrings),  XLSX_ENTRY(InitLibrary),   XLSX_ENTRY(FreeLibrary),
    XLSX_ENTRY(InitSerializer), XLSX_ENTRY(FreeSerializer),  XLSX_ENTRY(SerializeItem), XLSX_ENTRY(DeserializeItem),
    XLSX_ENTRY(GetExtensions),  {nullptr, nullptr},
};
#undef XLSX_ENTRY

// Kept in the file although nothing refers to them: the host finds the header by scanning the module,
// and the version text is read by people and tools.
__attribute__((used)) const PluginHeader kHeader = {
    {'K', 'O', 'R', 'V', 'A', 'D', 'E', 'L'}, {0, 0, 0, PLUGIN_HEADER_VERSION}, ResolveEntry};
#define XLSX_KVP_DATE "13.09.26"
__attribute__((used)) const char kVersion[] = "$VER: xlsx.kvp 1.1 (" XLSX_KVP_DATE ") [ppc-amigaos]";

#define XLSX_MESSAGE_TEXT(name, text) text,
const char* const kMessages[ERROR_COUNT] = {XLSX_PLUGIN_MESSAGES(XLSX_MESSAGE_TEXT)};
#undef XLSX_MESSAGE_TEXT

void FillInfo(PluginInfo* info) {
  info->capabilities = 0x000A0002;
  info->version = 1;
  info->revision = 1;
  info->word3 = 9;
  info->word4 = 0;
  info->displayName = "XLSX";
  info->baseName = GetBaseTable();
  info->author = "The xlsx.kvp developers";
  info->description = "Create and modify XLSX documents with Korvadel";
  info->rights = "(C) 2024-2026 The xlsx.kvp developers";
  info->url = "https://xlsx-kvp.example.org";
  info->date = XLSX_KVP_DATE;
  info->word12 = 0;
  info->guide = "xlsx.guide";
}

void OnTextEncoding(uint32_t value) { globals.textPassThrough = value; }

// Sets field key (pushed with its length) of the table on top of the stack to what push pushes.
template <typename Push>
void SetField(HostState* L, const char* key, Push push) {
  Host()->PushLString(L, key, static_cast<uint32_t>(strlen(key)));
  push();
  Host()->SetTable(L, -3);
}

}  // namespace

PluginEntryFn ResolveEntry(const char* name) {
  if (!name) return nullptr;
  for (const PluginEntry* entry = kEntries; entry->name; ++entry) {
    if (strcmp(entry->name, name) == 0) return entry->function;
  }
  return nullptr;
}

const PluginHeader* PluginHeaderRecord() { return &kHeader; }
const char* PluginVersionText() { return kVersion; }

uint32_t InitPlugin(PluginInfo* info, const HostApi* host) {
  if (info) FillInfo(info);
  if (!host) return 1;
  globals.host = host;
  InstallLibraryHostOps(host);
  for (uint32_t i = 0; i < ERROR_COUNT; ++i) globals.errorCodes[i] = host->RegisterErrorMessage(kMessages[i]);
  host->RegisterNotification(HOST_NOTIFY_TEXT_ENCODING, OnTextEncoding, 0);
  return 1;
}

void ClosePlugin() {}

const char* GetBaseTable() { return "xlsx"; }
const PluginCommand* GetCommands() { return CommandTable(); }
const PluginConstant* GetConstants() { return ConstantTable(); }
const PluginHelp* GetHelpStrings() { return HelpTable(); }
uint32_t GetExtensions(uint32_t kind) { return kind == 2 ? 4 : 0; }

int32_t InitLibrary(HostState* L) {
  const HostApi* host = Host();
  globals.objectTypeId = host->RegisterObjectType(L, "XLSX document", &globals.documentList, DocumentAttribute);
  // The loops' metatable indexes itself and ends a loop when the collector takes it.
  host->NewMetatable(L, kIteratorMetatable);
  SetField(L, "__index", [&] { host->PushValue(L, -2); });
  SetField(L, "__gc", [&] { host->PushClosure(L, CellRangeCollect, 0); });
  host->SetTop(L, -2);
  return 0;
}

void FreeLibrary(HostState* L) {
  while (DocumentRecord* record = FirstDocument()) ReleaseDocument(L, record);
}

int32_t DocumentAttribute(HostState* L, uint32_t attribute, const ObjectId* id) {
  DocumentRecord* record = nullptr;
  if (int32_t error = FindDocumentOf(id, &record)) return error;
  if (attribute != XLSXATTRSHEETS) return HOST_ERR_UNKNOWN_ATTRIBUTE;
  Host()->PushNumber(L, SheetCount(record));
  return 1;
}

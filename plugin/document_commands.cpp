// Document commands: Open, Create, Close, Save and SaveAs, GetObjectType, and UseSharedStrings, which
// chooses how every document stores its text cells from then on.
#include <cmath>

#include "plugin/access.h"
#include "plugin/commands.h"
#include "plugin/globals.h"

namespace {

// Open and Create: (1: id or nil, 2: file name). An explicit id that names an open document replaces it,
// also when opening the new file fails.
int32_t OpenOrCreate(HostState* L, bool create) {
  const HostApi* host = Host();
  const char* path = host->CheckString(L, 2);
  ObjectId id{};
  host->OptObjectId(L, 1, &id);
  bool automatic = id.handle != 0;
  if (!automatic) ReleaseDocument(L, FindDocument(&id));
  DocumentRecord* record = NewDocumentRecord();
  if (!record) return HOST_ERR_NO_MEMORY;
  record->document = OpenLibraryDocument(path, create);
  if (!record->document) {
    FreeDocumentRecord(record);
    host->SetErrorArgument(path);
    return ErrorCode(create ? ERROR_CREATE : ERROR_OPEN);
  }
  AddDocumentRecord(record, id);
  if (!automatic) return 0;
  host->PushLightUserdata(L, record);
  return 1;
}

// Save and SaveAs: path null saves to the document's own file.
int32_t SaveDocument(HostState* L, const char* path) {
  ObjectId id = ArgId(L);
  DocumentRecord* record = nullptr;
  if (int32_t error = FindDocumentOf(&id, &record)) return error;
  return SaveLibraryDocument(record->document, path) == XLSX_OK ? 0 : ErrorCode(ERROR_SAVE);
}

}  // namespace

int32_t CmdOpen(HostState* L) { return OpenOrCreate(L, false); }

int32_t CmdCreate(HostState* L) { return OpenOrCreate(L, true); }

int32_t CmdClose(HostState* L) {
  ObjectId id = ArgId(L);
  DocumentRecord* record = nullptr;
  if (int32_t error = FindDocumentOf(&id, &record)) return error;
  ReleaseDocument(L, record);
  return 0;
}

int32_t CmdSave(HostState* L) { return SaveDocument(L, nullptr); }

int32_t CmdSaveAs(HostState* L) {
  const char* path = Host()->CheckString(L, 2);
  return SaveDocument(L, path);
}

int32_t CmdGetObjectType(HostState* L) {
  Host()->PushNumber(L, globals.objectTypeId);
  return 1;
}

// UseSharedStrings(on): `on` is truncated toward zero, so 0 (and any value between -1 and 1) stores texts
// in the cells themselves.
int32_t CmdUseSharedStrings(HostState* L) {
  UseSharedStrings(std::trunc(Host()->CheckNumber(L, 1)) != 0);
  return 0;
}

// The document list and the lifecycle commands Open, Create, Close, Save and SaveAs.
#include "plugin/documents.h"

#include "lib/document/document.h"
#include "plugin/access.h"
#include "plugin/commands.h"
#include "plugin/globals.h"
#include "plugin/range_iterator.h"

namespace {

DocumentRecord* First() { return reinterpret_cast<DocumentRecord*>(globals.documentList); }
DocumentRecord* Next(DocumentRecord* record) { return reinterpret_cast<DocumentRecord*>(record->header.next); }

void Unlink(DocumentRecord* record) {
  HostObjectHeader** link = &globals.documentList;
  while (*link && *link != &record->header) link = &(*link)->next;
  if (*link) *link = record->header.next;
  record->header.next = nullptr;
}

// Open and Create: (1: id or nil, 2: file name). An explicit id that names an open document replaces it,
// also when opening the new file fails.
int32_t OpenOrCreate(HostState* L, bool create) {
  const HostApi* host = Host();
  const char* path = host->CheckString(L, 2);
  ObjectId id{};
  host->OptObjectId(L, 1, &id);
  bool automatic = id.handle != 0;
  if (!automatic) ReleaseDocument(L, FindDocument(&id));
  auto* record = static_cast<DocumentRecord*>(host->AllocMem(sizeof(DocumentRecord), 1, "xlsx"));
  if (!record) return HOST_ERR_NO_MEMORY;
  record->document = OpenLibraryDocument(path, create);
  if (!record->document) {
    host->FreeMem(record);
    host->SetErrorArgument(path);
    return ErrorCode(create ? ERROR_CREATE : ERROR_OPEN);
  }
  AppendDocument(record);
  if (automatic) id.handle = reinterpret_cast<uintptr_t>(record);
  record->header.type = globals.objectTypeId;
  record->header.idNumber = id.number;
  record->header.idHandle = id.handle;
  record->defaultSheet = 1;
  if (!automatic) return 0;
  host->PushLightUserdata(L, record);
  return 1;
}

// Save and SaveAs: path null saves to the document's own file.
int32_t SaveDocument(HostState* L, const char* path) {
  ObjectId id{};
  Host()->CheckObjectId(L, 1, &id);
  DocumentRecord* record = FindDocument(&id);
  if (!record) return ErrorCode(ERROR_NO_DOCUMENT);
  return SaveLibraryDocument(record->document, path) == XLSX_OK ? 0 : ErrorCode(ERROR_SAVE);
}

}  // namespace

DocumentRecord* FindDocument(const ObjectId* id) {
  if (!id) return nullptr;
  for (DocumentRecord* record = First(); record; record = Next(record)) {
    if (record->header.idNumber == id->number && record->header.idHandle == id->handle) return record;
  }
  return nullptr;
}

void AppendDocument(DocumentRecord* record) {
  if (!record) return;
  HostObjectHeader** link = &globals.documentList;
  while (*link) link = &(*link)->next;
  record->header.next = nullptr;
  *link = &record->header;
}

void ReleaseDocument(HostState* L, DocumentRecord* record) {
  if (!record) return;
  EndDocumentRanges(record);
  FreeLibraryDocument(record->document);
  record->document = nullptr;
  Host()->ReleaseObject(L, record);
  Unlink(record);
  Host()->FreeMem(record);
}

uint32_t DocumentCount() {
  uint32_t count = 0;
  for (DocumentRecord* record = First(); record; record = Next(record)) ++count;
  return count;
}

int32_t CmdOpen(HostState* L) { return OpenOrCreate(L, false); }

int32_t CmdCreate(HostState* L) { return OpenOrCreate(L, true); }

int32_t CmdClose(HostState* L) {
  ObjectId id{};
  Host()->CheckObjectId(L, 1, &id);
  DocumentRecord* record = FindDocument(&id);
  if (!record) return ErrorCode(ERROR_NO_DOCUMENT);
  ReleaseDocument(L, record);
  return 0;
}

int32_t CmdSave(HostState* L) { return SaveDocument(L, nullptr); }

int32_t CmdSaveAs(HostState* L) {
  const char* path = Host()->CheckString(L, 2);
  return SaveDocument(L, path);
}

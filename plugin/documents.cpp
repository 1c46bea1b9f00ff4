// The document registry: records in creation order, reached through the list head in PluginGlobals.
#include "plugin/documents.h"

#include "plugin/globals.h"

namespace {

DocumentRecord* Next(DocumentRecord* record) { return reinterpret_cast<DocumentRecord*>(record->header.next); }

}  // namespace

DocumentRecord* NewDocumentRecord() {
  return static_cast<DocumentRecord*>(Host()->AllocMem(sizeof(DocumentRecord), 1, "xlsx"));
}

void FreeDocumentRecord(DocumentRecord* record) {
  if (record) Host()->FreeMem(record);
}

void AddDocumentRecord(DocumentRecord* record, ObjectId id) {
  if (id.handle != 0) id.handle = reinterpret_cast<uintptr_t>(record);
  record->header = HostObjectHeader{globals.objectTypeId, id.number, id.handle, 0, nullptr};
  record->defaultSheet = 1;
  HostObjectHeader** link = &globals.documentList;
  while (*link) link = &(*link)->next;
  *link = &record->header;
}

DocumentRecord* FindDocument(const ObjectId* id) {
  if (!id) return nullptr;
  for (DocumentRecord* record = FirstDocument(); record; record = Next(record)) {
    if (record->header.idNumber == id->number && record->header.idHandle == id->handle) return record;
  }
  return nullptr;
}

void ReleaseDocumentRecord(HostState* L, DocumentRecord* record) {
  if (!record) return;
  Host()->ReleaseObject(L, record);
  HostObjectHeader** link = &globals.documentList;
  while (*link && *link != &record->header) link = &(*link)->next;
  if (*link) *link = record->header.next;
  Host()->FreeMem(record);
}

#include "plugin/documents.h"

#include "lib/package/document.h"
#include "plugin/globals.h"

namespace {

DocumentRecord* First() { return reinterpret_cast<DocumentRecord*>(globals.documentList); }
DocumentRecord* Next(DocumentRecord* record) { return reinterpret_cast<DocumentRecord*>(record->header.next); }

void Unlink(DocumentRecord* record) {
  HostObjectHeader** link = &globals.documentList;
  while (*link && *link != &record->header) link = &(*link)->next;
  if (*link) *link = record->header.next;
  record->header.next = nullptr;
}

// Frees the record's library document without saving.
void FreeLibraryDocument(DocumentRecord* record) {
  xlsx_document_close(record->document);
  xlsx_document_free(record->document);
  record->document = nullptr;
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
  FreeLibraryDocument(record);
  Host()->ReleaseObject(L, record);
  Unlink(record);
  Host()->FreeMem(record);
}

uint32_t DocumentCount() {
  uint32_t count = 0;
  for (DocumentRecord* record = First(); record; record = Next(record)) ++count;
  return count;
}

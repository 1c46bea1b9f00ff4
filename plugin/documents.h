// The document registry: the records of the open documents in the list whose head the host knows (the
// object type "XLSX document"), found by explicit or automatic id. It keeps records and ids only: the
// library documents in them are opened and closed by the access layer.
#pragma once

#include <cstdint>

#include "plugin/globals.h"
#include "plugin/host_api.h"

struct XlsxDocument;

// Allocated with AllocMem (cleared, tag "xlsx"); the header's fields come first, as the host walks them.
struct DocumentRecord {
  HostObjectHeader header;  // type, id number, id handle (the record itself for an automatic id), reserved, next
  XlsxDocument* document;   // owned
  uint32_t defaultSheet;    // 1-based sheet used when a command's sheet argument is 0 or absent
};

// A new cleared record, in no list; null when the host has no memory for it.
DocumentRecord* NewDocumentRecord();
// Frees a record that was never added (its document already closed); null is ignored.
void FreeDocumentRecord(DocumentRecord* record);
// Gives record the id (an automatic id, with a nonzero handle, becomes the record's own address), the
// object type and default sheet 1, and appends it at the tail of the list (creation order).
void AddDocumentRecord(DocumentRecord* record, ObjectId id);
// First record whose id number and handle both equal id's; null when none does or id is null.
DocumentRecord* FindDocument(const ObjectId* id);
// The first record of the list; null when no document is open.
inline DocumentRecord* FirstDocument() { return reinterpret_cast<DocumentRecord*>(globals.documentList); }
// Tells the host the record is released (ReleaseObject), unlinks it and frees it; its document must be
// closed already. The record is invalid afterwards; null is ignored.
void ReleaseDocumentRecord(HostState* L, DocumentRecord* record);

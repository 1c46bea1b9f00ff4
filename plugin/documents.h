// The open documents: records in the list whose head the host knows (the object type "XLSX document"),
// found by explicit or automatic id; and the commands that open, create, save and close them.
#pragma once

#include <cstdint>

#include "plugin/host_api.h"

struct XlsxDocument;

// Allocated with AllocMem (cleared, tag "xlsx"); the header's fields come first, as the host walks them.
struct DocumentRecord {
  HostObjectHeader header;  // type, id number, id handle (the record itself for an automatic id), reserved, next
  XlsxDocument* document;   // owned
  uint32_t defaultSheet;    // 1-based sheet used when a command's sheet argument is 0 or absent
};

// First record whose id number and handle both equal id's; null when none does or id is null.
DocumentRecord* FindDocument(const ObjectId* id);
// Appends record at the tail of the list (creation order); null is ignored.
void AppendDocument(DocumentRecord* record);
// Ends the document's range loops, frees its library document without saving, tells the host
// (ReleaseObject), unlinks the record and frees it. The record is invalid afterwards; null is ignored.
void ReleaseDocument(HostState* L, DocumentRecord* record);
// Number of records in the list.
uint32_t DocumentCount();

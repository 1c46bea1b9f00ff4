// Registration with the host: error messages and the text-encoding notification (InitPlugin), the
// document object type and the iterator metatable (InitLibrary), and releasing the documents (FreeLibrary).
#include "lib/document/document.h"
#include "lib/sheet/workbook.h"
#include "plugin/command_table.h"
#include "plugin/documents.h"
#include "plugin/entry.h"
#include "plugin/globals.h"
#include "plugin/host_bridge.h"
#include "plugin/range_iterator.h"

namespace {

const char* const kMessages[ERROR_COUNT] = {
    "Error opening XLSX document %s!",
    "Error creating XLSX document %s!",
    "Cannot find specified XLSX document!",
    "XSLX operation has failed!",
    "Sheet \"%s\" not found!",
    "Specified sheet is out of range!",
    "Specified cell is out of range!",
    "Specified column is out of range!",
    "Specified row is out of range!",
    "Cell doesn't have a formula!",
    "Error saving XLSX document!",
};

void OnTextEncoding(uint32_t value) { globals.textPassThrough = value; }

}  // namespace

void InstallHost(const HostApi* host) {
  globals.host = host;
  InstallLibraryHostOps(host);
  for (uint32_t i = 0; i < ERROR_COUNT; ++i) globals.errorCodes[i] = host->RegisterErrorMessage(kMessages[i]);
  host->RegisterNotification(HOST_NOTIFY_TEXT_ENCODING, OnTextEncoding, 0);
}

int32_t InitLibrary(HostState* L) {
  const HostApi* host = Host();
  globals.objectTypeId = host->RegisterObjectType(L, "XLSX document", &globals.documentList, DocumentAttribute);
  host->NewMetatable(L, "xlsx.kvp.iterator");
  host->PushLString(L, "__index", 7);
  host->PushValue(L, -2);
  host->SetTable(L, -3);
  // The iterator's clean-up function, a closure without upvalues.
  host->PushString(L, "__gc");
  host->PushClosure(L, CellRangeCollect, 0);
  host->SetTable(L, -3);
  host->SetTop(L, -2);
  return 0;
}

void FreeLibrary(HostState* L) {
  while (globals.documentList) ReleaseDocument(L, reinterpret_cast<DocumentRecord*>(globals.documentList));
}

int32_t DocumentAttribute(HostState* L, uint32_t attribute, const ObjectId* id) {
  DocumentRecord* record = FindDocument(id);
  if (!record) return ErrorCode(ERROR_NO_DOCUMENT);
  if (attribute != XLSXATTRSHEETS) return HOST_ERR_UNKNOWN_ATTRIBUTE;
  Host()->PushNumber(L, xlsx_workbook_sheet_count(xlsx_document_workbook(record->document)));
  return 1;
}

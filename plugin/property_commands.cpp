// Document property commands: the 20 XLSX_PROPERTY_ texts of the core and extended property parts.
// Each reads its arguments, then finds the document, then maps the property number.
#include "lib/base/status.h"
#include "plugin/access.h"
#include "plugin/commands.h"
#include "plugin/globals.h"

// SetProperty(id, prop, val$): a number outside the table or a value the property does not accept
// (DocSecurity 0, 1, 2, 4, 8; the true/false flags; AppVersion such as 16.0300) reports
// "XSLX operation has failed!".
int32_t CmdSetProperty(HostState* L) {
  const HostApi* host = Host();
  ObjectId id{};
  host->CheckObjectId(L, 1, &id);
  int32_t property = ArgInt(L, 2);
  const char* value = host->CheckString(L, 3);
  DocumentRecord* record = FindDocument(&id);
  if (!record) return ErrorCode(ERROR_NO_DOCUMENT);
  if (MapProperty(property) < 0) return ErrorCode(ERROR_OPERATION);
  char* release = nullptr;
  xlsx_status status = SetProperty(record, property, ToLibraryText(value, &release));
  ReleaseLibraryText(release);
  return status == XLSX_OK ? 0 : ErrorCode(ERROR_OPERATION);
}

// GetProperty(id, prop) -> val$; a property the document does not hold reads as "".
int32_t CmdGetProperty(HostState* L) {
  ObjectId id{};
  Host()->CheckObjectId(L, 1, &id);
  int32_t property = ArgInt(L, 2);
  DocumentRecord* record = FindDocument(&id);
  if (!record) return ErrorCode(ERROR_NO_DOCUMENT);
  if (MapProperty(property) < 0) return ErrorCode(ERROR_OPERATION);
  PushHostText(L, GetProperty(record, property));
  return 1;
}

// DeleteProperty(id, prop): empties the property; only an unknown number is reported.
int32_t CmdDeleteProperty(HostState* L) {
  ObjectId id{};
  Host()->CheckObjectId(L, 1, &id);
  int32_t property = ArgInt(L, 2);
  DocumentRecord* record = FindDocument(&id);
  if (!record) return ErrorCode(ERROR_NO_DOCUMENT);
  if (MapProperty(property) < 0) return ErrorCode(ERROR_OPERATION);
  DeleteProperty(record, property);
  return 0;
}

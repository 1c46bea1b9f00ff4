// Document property commands: the 20 XLSX_PROPERTY_ texts of the core and extended property parts.
// Each reads its arguments, then finds the document, then checks the property number; a number that
// names no property reports "XSLX operation has failed!".
#include "plugin/access.h"
#include "plugin/commands.h"
#include "plugin/globals.h"

namespace {

// Reads the id (1), the property number (2) and, when value is given, the value text (3); then finds
// the document and checks the number: 0 or the error code.
int32_t ReadPropertyCall(HostState* L, DocumentRecord** record, int32_t* property, const char** value) {
  ObjectId id = ArgId(L);
  *property = ArgInt(L, 2);
  if (value) *value = Host()->CheckText(L, 3);
  if (int32_t error = FindDocumentOf(&id, record)) return error;
  return IsProperty(*property) ? 0 : ErrorCode(ERROR_OPERATION);
}

}  // namespace

// SetProperty(id, prop, val$): a value the property does not accept (DocSecurity 0, 1, 2, 4, 8; the
// true/false flags; AppVersion such as 16.0300) changes nothing and is reported.
int32_t CmdSetProperty(HostState* L) {
  DocumentRecord* record = nullptr;
  int32_t property = 0;
  const char* value = nullptr;
  if (int32_t error = ReadPropertyCall(L, &record, &property, &value)) return error;
  auto set = [record, property](const char* text) { return SetProperty(record, property, text); };
  return ChangeResult(WithLibraryText(value, set) == XLSX_OK);
}

// GetProperty(id, prop) -> val$; a property the document does not hold reads as "".
int32_t CmdGetProperty(HostState* L) {
  DocumentRecord* record = nullptr;
  int32_t property = 0;
  if (int32_t error = ReadPropertyCall(L, &record, &property, nullptr)) return error;
  char* text = GetProperty(record, property);
  if (!text) return ErrorCode(ERROR_OPERATION);
  PushHostText(L, text);
  FreeProperty(text);
  return 1;
}

// DeleteProperty(id, prop): empties the property; a property never set is empty already.
int32_t CmdDeleteProperty(HostState* L) {
  DocumentRecord* record = nullptr;
  int32_t property = 0;
  if (int32_t error = ReadPropertyCall(L, &record, &property, nullptr)) return error;
  return ChangeResult(DeleteProperty(record, property) == XLSX_OK);
}

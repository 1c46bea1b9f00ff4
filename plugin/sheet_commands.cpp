// Sheet commands: adding, deleting, moving, renaming and finding sheets, the default sheet, and each
// sheet's type, active, selected and visibility state.
#include "lib/base/status.h"
#include "plugin/access.h"
#include "plugin/commands.h"
#include "plugin/globals.h"

namespace {

// Reads the document id, always argument 1.
void ReadId(HostState* L, ObjectId* id) { Host()->CheckObjectId(L, 1, id); }

// For commands whose only further argument is a mandatory sheet number idx (0 is out of range).
int32_t FindDocumentIndex(const ObjectId* id, int32_t idx, DocumentRecord** record) {
  *record = FindDocument(id);
  if (!*record) return ErrorCode(ERROR_NO_DOCUMENT);
  if (!SheetInRange(*record, idx)) return ErrorCode(ERROR_SHEET_RANGE);
  return 0;
}

// Commands of the form (id[, sheet]) that push one number computed from the sheet.
template <typename Read>
int32_t PushSheetNumber(HostState* L, Read read) {
  ObjectId id{};
  ReadId(L, &id);
  int32_t sheet = OptArgInt(L, 2, 0);
  DocumentRecord* record = nullptr;
  int32_t index = 0;
  if (int32_t error = FindDocumentSheet(&id, sheet, &record, &index)) return error;
  Host()->PushNumber(L, static_cast<double>(read(record, index)));
  return 1;
}

// Commands of the form (id, number[, sheet]) that change the sheet with the number.
template <typename Write>
int32_t SetSheetNumber(HostState* L, Write write) {
  ObjectId id{};
  ReadId(L, &id);
  int32_t number = ArgInt(L, 2);
  int32_t sheet = OptArgInt(L, 3, 0);
  DocumentRecord* record = nullptr;
  int32_t index = 0;
  if (int32_t error = FindDocumentSheet(&id, sheet, &record, &index)) return error;
  write(record, index, number);
  return 0;
}

}  // namespace

// AddSheet(id, name$[, pos]): the new sheet goes last, then to pos when 1 <= pos < count. A name the
// library refuses (empty, too long, with a character sheet names cannot hold, or already used) changes
// nothing and reports "XSLX operation has failed!".
int32_t CmdAddSheet(HostState* L) {
  ObjectId id{};
  ReadId(L, &id);
  const char* name = Host()->CheckString(L, 2);
  int32_t pos = OptArgInt(L, 3, 0);
  DocumentRecord* record = FindDocument(&id);
  if (!record) return ErrorCode(ERROR_NO_DOCUMENT);
  char* release = nullptr;
  const char* library_name = ToLibraryText(name, &release);
  xlsx_status status = AddSheet(record, library_name);
  int32_t count = static_cast<int32_t>(SheetCount(record));
  int32_t result = count;
  if (status == XLSX_OK && pos >= 1 && pos < count) {
    MoveSheet(record, count, pos);
    result = pos;
  }
  ReleaseLibraryText(release);
  if (status != XLSX_OK) return ErrorCode(ERROR_OPERATION);
  Host()->PushNumber(L, result);
  return 1;
}

int32_t CmdDeleteSheet(HostState* L) {
  ObjectId id{};
  ReadId(L, &id);
  int32_t idx = ArgInt(L, 2);
  DocumentRecord* record = nullptr;
  if (int32_t error = FindDocumentIndex(&id, idx, &record)) return error;
  DeleteSheet(record, idx);
  return 0;
}

// MoveSheet(id, idx, newpos): newpos outside 1..count moves the sheet to the end.
int32_t CmdMoveSheet(HostState* L) {
  ObjectId id{};
  ReadId(L, &id);
  int32_t idx = ArgInt(L, 2);
  int32_t newpos = ArgInt(L, 3);
  DocumentRecord* record = nullptr;
  if (int32_t error = FindDocumentIndex(&id, idx, &record)) return error;
  int32_t count = static_cast<int32_t>(SheetCount(record));
  int32_t target = newpos >= 1 && newpos <= count ? newpos : count;
  if (target != idx) MoveSheet(record, idx, target);
  return 0;
}

int32_t CmdGetSheetIndex(HostState* L) {
  ObjectId id{};
  ReadId(L, &id);
  const char* name = Host()->CheckString(L, 2);
  DocumentRecord* record = FindDocument(&id);
  if (!record) return ErrorCode(ERROR_NO_DOCUMENT);
  char* release = nullptr;
  uint32_t index = SheetIndexByName(record, ToLibraryText(name, &release));
  ReleaseLibraryText(release);
  Host()->PushNumber(L, index);
  return 1;
}

int32_t CmdGetSheetCount(HostState* L) {
  ObjectId id{};
  ReadId(L, &id);
  DocumentRecord* record = FindDocument(&id);
  if (!record) return ErrorCode(ERROR_NO_DOCUMENT);
  Host()->PushNumber(L, SheetCount(record));
  return 1;
}

int32_t CmdGetSheetName(HostState* L) {
  ObjectId id{};
  ReadId(L, &id);
  int32_t idx = ArgInt(L, 2);
  DocumentRecord* record = nullptr;
  if (int32_t error = FindDocumentIndex(&id, idx, &record)) return error;
  PushHostText(L, SheetNameAt(record, idx));
  return 1;
}

// SetSheetName(id, idx, name$): a name the library refuses leaves the sheet as it was, silently.
int32_t CmdSetSheetName(HostState* L) {
  ObjectId id{};
  ReadId(L, &id);
  int32_t idx = ArgInt(L, 2);
  const char* name = Host()->CheckString(L, 3);
  DocumentRecord* record = nullptr;
  if (int32_t error = FindDocumentIndex(&id, idx, &record)) return error;
  char* release = nullptr;
  RenameSheet(record, idx, ToLibraryText(name, &release));
  ReleaseLibraryText(release);
  return 0;
}

int32_t CmdGetSheetType(HostState* L) { return PushSheetNumber(L, SheetType); }

int32_t CmdSetDefaultSheet(HostState* L) {
  ObjectId id{};
  ReadId(L, &id);
  int32_t idx = ArgInt(L, 2);
  DocumentRecord* record = nullptr;
  if (int32_t error = FindDocumentIndex(&id, idx, &record)) return error;
  record->defaultSheet = static_cast<uint32_t>(idx);
  return 0;
}

int32_t CmdIsSheetActive(HostState* L) {
  return PushSheetNumber(L, [](const DocumentRecord* r, int32_t i) { return SheetActive(r, i) ? 1 : 0; });
}

int32_t CmdIsSheetSelected(HostState* L) {
  return PushSheetNumber(L, [](const DocumentRecord* r, int32_t i) { return SheetSelected(r, i) ? 1 : 0; });
}

int32_t CmdSetSheetActive(HostState* L) {
  ObjectId id{};
  ReadId(L, &id);
  int32_t sheet = OptArgInt(L, 2, 0);
  DocumentRecord* record = nullptr;
  int32_t index = 0;
  if (int32_t error = FindDocumentSheet(&id, sheet, &record, &index)) return error;
  SetSheetActive(record, index);
  return 0;
}

// SetSheetSelected(id, sel[, sheet]): a view without the tabSelected attribute gets it.
int32_t CmdSetSheetSelected(HostState* L) {
  return SetSheetNumber(L, [](DocumentRecord* r, int32_t i, int32_t selected) { SetSheetSelected(r, i, selected != 0); });
}

// SetSheetVisibility(id, vis[, sheet]): hiding the last visible sheet is refused silently.
int32_t CmdSetSheetVisibility(HostState* L) {
  return SetSheetNumber(L, [](DocumentRecord* r, int32_t i, int32_t visibility) { SetSheetVisibility(r, i, visibility); });
}

int32_t CmdGetSheetVisibility(HostState* L) { return PushSheetNumber(L, SheetVisibility); }

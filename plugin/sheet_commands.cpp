// Sheet commands: adding, deleting, moving, renaming and finding sheets, the default sheet, and each
// sheet's type, active, selected and visibility state.
#include "plugin/access.h"
#include "plugin/commands.h"
#include "plugin/globals.h"

namespace {

// What a sheet change answers: nothing when it was made, and also when the library refused it by its
// rules (XLSX_ERR_INVALID_ARG: a name it does not allow, hiding or deleting the last visible sheet,
// making a hidden sheet active), which leaves the workbook as it was; "XSLX operation has failed!" when
// it could not be made (no memory, a broken part).
int32_t SheetChangeResult(xlsx_status status) {
  return ChangeResult(status == XLSX_OK || status == XLSX_ERR_INVALID_ARG);
}

// Commands of the form (id, idx): reads both, finds the document and checks idx. 0 or the error code.
int32_t ReadIndexCall(HostState* L, SheetCall* call) {
  ObjectId id = ArgId(L);
  int32_t idx = ArgInt(L, 2);
  return FindDocumentIndex(&id, idx, call);
}

// Commands of the form (id[, sheet]) that push one number read from the sheet.
int32_t PushSheetNumber(HostState* L, int32_t (*read)(SheetCall*)) {
  ObjectId id = ArgId(L);
  int32_t sheet = OptArgInt(L, 2, 0);
  SheetCall call{};
  if (int32_t error = FindDocumentSheet(&id, sheet, &call, false)) return error;
  Host()->PushNumber(L, read(&call));
  return 1;
}

// Commands of the form (id, number[, sheet]) that change the sheet with the number and answer as
// SheetChangeResult or ChangeResult.
int32_t SetSheetNumber(HostState* L, int32_t (*write)(SheetCall*, int32_t)) {
  ObjectId id = ArgId(L);
  int32_t number = ArgInt(L, 2);
  int32_t sheet = OptArgInt(L, 3, 0);
  SheetCall call{};
  if (int32_t error = FindDocumentSheet(&id, sheet, &call, false)) return error;
  return write(&call, number);
}

}  // namespace

// AddSheet(id, name$[, pos]): the new sheet goes last, then to pos when 1 <= pos < count. A name the
// library refuses (empty, too long, with a character sheet names cannot hold, or already used) changes
// nothing and reports "XSLX operation has failed!", as does a sheet that could not be added or moved.
int32_t CmdAddSheet(HostState* L) {
  ObjectId id = ArgId(L);
  const char* name = Host()->CheckText(L, 2);
  int32_t pos = OptArgInt(L, 3, 0);
  DocumentRecord* record = nullptr;
  if (int32_t error = FindDocumentOf(&id, &record)) return error;
  xlsx_status status = WithLibraryText(name, [record](const char* text) { return AddSheet(record, text); });
  // A sheet list that cannot be rebuilt (no memory) counts no sheet.
  int32_t count = static_cast<int32_t>(SheetCount(record));
  if (status == XLSX_OK && count == 0) status = XLSX_ERR_NO_MEMORY;
  int32_t result = count;
  if (status == XLSX_OK && pos >= 1 && pos < count) {
    SheetCall added{record, count};
    status = MoveSheet(&added, pos);
    result = pos;
  }
  if (status != XLSX_OK) return ErrorCode(ERROR_OPERATION);
  Host()->PushNumber(L, result);
  return 1;
}

// DeleteSheet(id, idx): the only worksheet and the only visible sheet stay.
int32_t CmdDeleteSheet(HostState* L) {
  SheetCall call{};
  if (int32_t error = ReadIndexCall(L, &call)) return error;
  return SheetChangeResult(DeleteSheet(&call));
}

// MoveSheet(id, idx, newpos): newpos outside 1..count moves the sheet to the end.
int32_t CmdMoveSheet(HostState* L) {
  ObjectId id = ArgId(L);
  int32_t idx = ArgInt(L, 2);
  int32_t newpos = ArgInt(L, 3);
  SheetCall call{};
  if (int32_t error = FindDocumentIndex(&id, idx, &call)) return error;
  int32_t count = static_cast<int32_t>(SheetCount(call.record));
  int32_t target = newpos >= 1 && newpos <= count ? newpos : count;
  return ChangeResult(target == idx || MoveSheet(&call, target) == XLSX_OK);
}

int32_t CmdGetSheetIndex(HostState* L) {
  ObjectId id = ArgId(L);
  const char* name = Host()->CheckString(L, 2);
  DocumentRecord* record = nullptr;
  if (int32_t error = FindDocumentOf(&id, &record)) return error;
  Host()->PushNumber(L, WithLibraryText(name, [record](const char* text) { return SheetIndexByName(record, text); }));
  return 1;
}

int32_t CmdGetSheetCount(HostState* L) {
  ObjectId id = ArgId(L);
  DocumentRecord* record = nullptr;
  if (int32_t error = FindDocumentOf(&id, &record)) return error;
  Host()->PushNumber(L, SheetCount(record));
  return 1;
}

int32_t CmdGetSheetName(HostState* L) {
  SheetCall call{};
  if (int32_t error = ReadIndexCall(L, &call)) return error;
  PushHostText(L, SheetName(&call));
  return 1;
}

// SetSheetName(id, idx, name$): a name the library refuses leaves the sheet as it was, without error.
int32_t CmdSetSheetName(HostState* L) {
  ObjectId id = ArgId(L);
  int32_t idx = ArgInt(L, 2);
  const char* name = Host()->CheckText(L, 3);
  SheetCall call{};
  if (int32_t error = FindDocumentIndex(&id, idx, &call)) return error;
  return SheetChangeResult(WithLibraryText(name, [&call](const char* text) { return RenameSheet(&call, text); }));
}

int32_t CmdGetSheetType(HostState* L) { return PushSheetNumber(L, SheetType); }

int32_t CmdSetDefaultSheet(HostState* L) {
  SheetCall call{};
  if (int32_t error = ReadIndexCall(L, &call)) return error;
  call.record->defaultSheet = static_cast<uint32_t>(call.index);
  return 0;
}

int32_t CmdIsSheetActive(HostState* L) {
  return PushSheetNumber(L, [](SheetCall* call) { return SheetActive(call) ? 1 : 0; });
}

int32_t CmdIsSheetSelected(HostState* L) {
  return PushSheetNumber(L, [](SheetCall* call) { return SheetSelected(call) ? 1 : 0; });
}

// SetSheetActive(id[, sheet]): a hidden sheet does not become active.
int32_t CmdSetSheetActive(HostState* L) {
  ObjectId id = ArgId(L);
  int32_t sheet = OptArgInt(L, 2, 0);
  SheetCall call{};
  if (int32_t error = FindDocumentSheet(&id, sheet, &call, false)) return error;
  return SheetChangeResult(SetSheetActive(&call));
}

// SetSheetSelected(id, sel[, sheet]): a view without the tabSelected attribute gets it.
int32_t CmdSetSheetSelected(HostState* L) {
  return SetSheetNumber(L, [](SheetCall* call, int32_t selected) {
    return ChangeResult(SetSheetSelected(call, selected != 0) == XLSX_OK);
  });
}

// SetSheetVisibility(id, vis[, sheet]): hiding the last visible sheet is refused without error.
int32_t CmdSetSheetVisibility(HostState* L) {
  return SetSheetNumber(L, [](SheetCall* call, int32_t visibility) {
    return SheetChangeResult(SetSheetVisibility(call, visibility));
  });
}

int32_t CmdGetSheetVisibility(HostState* L) { return PushSheetNumber(L, SheetVisibility); }

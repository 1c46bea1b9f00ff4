// The table serializer: the host hands a table item by item (SerializeItem) or takes one back
// (DeserializeItem); the workbook lives in a temporary file the host names, because the library works on
// files. Writing creates the workbook from the built-in template and streams the saved file when the
// host frees the state; reading copies the whole stream into the file first and walks the rows and cells
// the first sheet holds, row by row, so that its cost follows the cells and not the rectangle they span
// (a sheet holding one cell at XFD1048576 gives one row of one cell).
//
// Cells are stored and read through the access layer, exactly as SetCellValue and GetCellValue do, on a
// document record of the state's own that is never added to the registry of open documents.
#include "plugin/serializer.h"

#include <cstdio>
#include <cstring>

#include "lib/sheet/cellref.h"
#include "plugin/access.h"
#include "plugin/globals.h"

namespace {

constexpr uint32_t kTempNameSize = 1024;
constexpr uint32_t kCopyBufferSize = 16384;
// Option tags of InitSerializer.
constexpr uint32_t kTagSourceEncoding = 1;
constexpr uint32_t kTagTargetEncoding = 2;
// The sheet every item lands on and is read from.
constexpr int32_t kSheet = 1;

// Allocated with AllocMem (cleared, tag "serializeinfo").
struct SerializerState {
  DocumentRecord record;  // record.document: the library document, owned
  HeldWalk walk;          // reading: the rows and cells the first sheet holds
  SerialReadFn read;
  SerialWriteFn write;  // null when reading
  void* user;
  int32_t sourceEncoding;  // of the texts SerializeItem receives
  int32_t targetEncoding;  // of the texts DeserializeItem hands out
  char* convertedText;     // last text made by ConvertText while reading, or null
  char tempName[kTempNameSize];
  uint8_t copyBuffer[kCopyBufferSize];
  uint32_t rowBegins;  // reading: the next item is a row's beginning marker
  uint32_t rowEnds;    // reading: the next item is a row's ending marker
  uint32_t finished;   // reading: the rows are over
  uint32_t currentColumn;  // 1-based: reading, the column of the walk's cell
  uint32_t currentRow;     // 1-based
  double keyNumber;        // reading: the key handed out
  double valueNumber;      // reading: the number value handed out
  ScriptValue cell;        // reading: the last cell read
  uint32_t rowOpen;        // writing: a row's beginning marker came and its ending marker not yet
};

const char kNoCharacters[] = "";

// ---- Items

// The double a number item carries; false for a missing item, another kind or a wrong size.
bool NumberOf(const SerialItem* item, double* out) {
  if (!item || item->kind != SERIAL_NUMBER || !item->data || item->size != sizeof(double)) return false;
  memcpy(out, item->data, sizeof(double));
  return true;
}

// The 1-based position of a 0-based key (fractions truncated); false for NaN, negative keys and keys at
// or past limit, which no row or column can hold.
bool PositionOf(double key, uint32_t limit, uint32_t* out) {
  if (!(key >= 0.0) || key >= static_cast<double>(limit)) return false;
  *out = static_cast<uint32_t>(key) + 1;
  return true;
}

SerialItem NumberItem(const double* number) {
  return SerialItem{SERIAL_NUMBER, number, sizeof(double), 0};
}
SerialItem TextItem(const char* text) {
  return SerialItem{SERIAL_TEXT, text, static_cast<uint32_t>(strlen(text)), 0};
}
SerialItem MarkerItem(uint32_t begins) {
  return SerialItem{SERIAL_TABLE, nullptr, begins, 0};
}

// ---- State

void ApplyOptions(SerializerState* s, const HostTag* options) {
  for (const HostTag* tag = options; tag && tag->tag != HOST_TAG_END; ++tag) {
    if (tag->tag == kTagSourceEncoding) s->sourceEncoding = static_cast<int32_t>(tag->value);
    if (tag->tag == kTagTargetEncoding) s->targetEncoding = static_cast<int32_t>(tag->value);
  }
}

// The first sheet of the state's workbook, for one item.
SheetCall FirstSheet(SerializerState* s) { return SheetCall{&s->record, kSheet}; }

// Releases the texts the previous DeserializeItem handed out.
void ReleaseReadTexts(SerializerState* s) {
  ReleaseScriptValue(&s->cell);
  if (s->convertedText) Host()->FreeText(s->convertedText);
  s->convertedText = nullptr;
}

// Frees everything the state holds, removes the temporary file and frees the state itself.
void Discard(SerializerState* s) {
  const HostApi* host = Host();
  ReleaseReadTexts(s);
  CloseDocument(&s->record);
  if (s->tempName[0]) host->DeleteFile(s->tempName);
  host->FreeMem(s);
}

// ---- Reading: stream to file, file to document, document to items

// Copies the read callback's bytes into the temporary file. A negative result of the callback is a
// failure of the stream; 0 ends it.
bool CopyStreamToFile(SerializerState* s) {
  const HostApi* host = Host();
  HostFile* file = host->OpenFile(s->tempName, HOST_FILE_WRITE);
  if (!file) return false;
  bool ok = true;
  for (;;) {
    int32_t got = s->read(s->copyBuffer, kCopyBufferSize, s->user);
    if (got == 0) break;
    if (got < 0 || static_cast<uint32_t>(got) > kCopyBufferSize ||
        host->WriteFile(file, s->copyBuffer, static_cast<uint32_t>(got)) != static_cast<uint32_t>(got)) {
      ok = false;
      break;
    }
  }
  if (host->CloseFile(file) != 0) ok = false;
  return ok;
}

// Opens the workbook and starts the walk at the first row its first sheet holds.
bool StartReading(SerializerState* s) {
  if (!CopyStreamToFile(s)) return false;
  s->record.document = OpenLibraryDocument(s->tempName, false);
  if (!s->record.document) return false;
  SheetCall sheet = FirstSheet(s);
  // A first sheet without rows: the items end at once.
  s->rowBegins = FirstHeldRow(&sheet, &s->walk, &s->currentRow) ? 1 : 0;
  s->finished = s->rowBegins ? 0 : 1;
  return true;
}

// The beginning or ending marker of the current row.
void NextMarker(SerializerState* s, SerialItem* key, SerialItem* value) {
  s->keyNumber = static_cast<double>(s->currentRow - 1);
  *key = NumberItem(&s->keyNumber);
  if (s->rowBegins) {
    *value = MarkerItem(1);
    s->rowBegins = 0;
    s->rowEnds = NextHeldCell(&s->walk, true, &s->currentColumn) ? 0 : 1;
    return;
  }
  *value = MarkerItem(0);
  s->rowEnds = 0;
  s->rowBegins = NextHeldRow(&s->walk, &s->currentRow) ? 1 : 0;
  s->finished = s->rowBegins ? 0 : 1;
}

// A library text as a text item in the target encoding; false when it cannot be converted.
bool TextValue(SerializerState* s, const char* text, SerialItem* value) {
  if (s->targetEncoding != HOST_ENCODING_UTF8) {
    HostTag options[] = {{HOST_TAG_LENGTH, strlen(text)}, {HOST_TAG_END, 0}};
    s->convertedText = Host()->ConvertText(text, HOST_ENCODING_UTF8, s->targetEncoding, options);
    if (!s->convertedText) return false;
    text = s->convertedText;
  }
  *value = TextItem(text);
  return true;
}

// The value item of the cell just read into s->cell: an error cell gives its own error text (#N/A,
// #DIV/0!, ...), an empty cell the empty text.
bool CellItem(SerializerState* s, SerialItem* value) {
  if (s->cell.text) return TextValue(s, s->cell.text, value);
  if (s->cell.type == CELL_TYPE_EMPTY) {
    *value = TextItem(kNoCharacters);
    return true;
  }
  s->valueNumber = s->cell.number;
  *value = NumberItem(&s->valueNumber);
  return true;
}

// The value of the walk's cell, then the walk moves on (also when the text cannot be converted, the walk
// goes on from there at the next call).
bool NextCell(SerializerState* s, SerialItem* key, SerialItem* value) {
  SheetCall sheet = FirstSheet(s);
  if (ReadHeldValue(&sheet, &s->walk, &s->cell) != XLSX_OK) return false;
  s->keyNumber = static_cast<double>(s->currentColumn - 1);
  *key = NumberItem(&s->keyNumber);
  s->rowEnds = NextHeldCell(&s->walk, false, &s->currentColumn) ? 0 : 1;
  return CellItem(s, value);
}

// ---- Writing: items to cells, document to stream

// Stores a value made from type and number or text (UTF-8) at column key + 1 of the current row.
bool StoreCell(SerializerState* s, double key, int32_t type, double number, const char* text) {
  uint32_t column = 0;
  if (!PositionOf(key, XLSX_CELLREF_MAX_COLUMN, &column)) return false;
  CellArgs args{static_cast<int32_t>(column), static_cast<int32_t>(s->currentRow), nullptr, nullptr};
  SheetCall sheet = FirstSheet(s);
  return StoreCellValue(&sheet, &args, type, number, text) == XLSX_OK;
}

// A row's beginning marker sets the current row; a beginning inside an open row is a nested table,
// which no cell can hold.
bool TableMarker(SerializerState* s, double key, uint32_t begins) {
  if (begins == 0) {
    s->rowOpen = 0;
    return true;
  }
  uint32_t row = 0;
  if (begins != 1 || s->rowOpen || !PositionOf(key, XLSX_CELLREF_MAX_ROW, &row)) return false;
  s->currentRow = row;
  s->rowOpen = 1;
  return true;
}

bool StoreNumber(SerializerState* s, double key, const SerialItem* value) {
  double number = 0;
  // SetCellValue's default type: an integer when whole, else floating point.
  return NumberOf(value, &number) && StoreCell(s, key, CELL_TYPE_ERROR, number, nullptr);
}

// A text item: converted to UTF-8 when the source encoding is another, else copied with a terminator.
// A zero byte inside the text would cut it short in the cell, so such a text fails.
bool StoreText(SerializerState* s, double key, const SerialItem* value) {
  const HostApi* host = Host();
  const char* bytes = static_cast<const char*>(value->data);
  uint32_t length = bytes ? value->size : 0;
  if (length && memchr(bytes, '\0', length)) return false;
  if (!bytes) return StoreCell(s, key, CELL_TYPE_TEXT, 0, kNoCharacters);
  if (s->sourceEncoding != HOST_ENCODING_UTF8) {
    HostTag options[] = {{HOST_TAG_LENGTH, length}, {HOST_TAG_END, 0}};
    char* converted = host->ConvertText(bytes, s->sourceEncoding, HOST_ENCODING_UTF8, options);
    if (!converted) return false;
    bool ok = StoreCell(s, key, CELL_TYPE_TEXT, 0, converted);
    host->FreeText(converted);
    return ok;
  }
  char* copy = static_cast<char*>(host->AllocMem(length + 1, 0, "strval"));
  if (!copy) return false;
  memcpy(copy, bytes, length);
  copy[length] = '\0';
  bool ok = StoreCell(s, key, CELL_TYPE_TEXT, 0, copy);
  host->FreeMem(copy);
  return ok;
}

// The saved file's size, with the file positioned at its start; -1 when it cannot be told.
int64_t FileSize(HostFile* file) {
  const HostApi* host = Host();
  if (host->SeekFile(file, 0, SEEK_END) != 0) return -1;
  int64_t size = host->TellFile(file);
  if (size < 0 || host->SeekFile(file, 0, SEEK_SET) != 0) return -1;
  return size;
}

// Hands the temporary file to the write callback; false when the file cannot be read whole or the
// callback takes fewer (or more) bytes than it was given.
bool CopyFileToStream(SerializerState* s) {
  const HostApi* host = Host();
  HostFile* file = host->OpenFile(s->tempName, HOST_FILE_READ);
  if (!file) return false;
  int64_t left = FileSize(file);
  bool ok = left > 0;
  while (ok && left > 0) {
    uint32_t want = left < kCopyBufferSize ? static_cast<uint32_t>(left) : kCopyBufferSize;
    uint32_t got = host->ReadFile(file, s->copyBuffer, want);
    int32_t written = got == want ? s->write(s->copyBuffer, got, s->user) : -1;
    ok = written >= 0 && static_cast<uint32_t>(written) == got;
    left -= got;
  }
  if (host->CloseFile(file) != 0) ok = false;
  return ok;
}

// A new workbook from the built-in template in the temporary file.
bool StartWriting(SerializerState* s) {
  s->record.document = OpenLibraryDocument(s->tempName, true);
  return s->record.document != nullptr;
}

// Saves the workbook into the temporary file and streams it; a failed save streams nothing.
bool FinishWriting(SerializerState* s) {
  xlsx_status status = SaveLibraryDocument(s->record.document, nullptr);
  CloseDocument(&s->record);
  return status == XLSX_OK && CopyFileToStream(s);
}

}  // namespace

void* InitSerializer(SerialReadFn read, SerialWriteFn write, void* user, const HostTag* options) {
  const HostApi* host = Host();
  if (!host || (!read && !write)) return nullptr;
  int32_t encoding = HOST_ENCODING_SYSTEM;
  HostTag query[] = {{HOST_TAG_DEFAULT_ENCODING, reinterpret_cast<uintptr_t>(&encoding)}, {HOST_TAG_END, 0}};
  host->QuerySettings(query);
  auto* s = static_cast<SerializerState*>(host->AllocMem(sizeof(SerializerState), 1, "serializeinfo"));
  if (!s) return nullptr;
  s->sourceEncoding = encoding;
  s->targetEncoding = encoding;
  ApplyOptions(s, options);
  s->read = read;
  s->write = write;
  s->user = user;
  s->currentColumn = 1;
  s->currentRow = 1;
  HostTag reserve[] = {{HOST_TAG_TEMP_RESERVE, 1}, {HOST_TAG_END, 0}};
  if (host->GetTempFileName(s->tempName, kTempNameSize, reserve) != 0) {
    host->FreeMem(s);  // no name: nothing to remove
    return nullptr;
  }
  s->tempName[kTempNameSize - 1] = '\0';
  if (!(write ? StartWriting(s) : StartReading(s))) {
    Discard(s);
    return nullptr;
  }
  return s;
}

int32_t FreeSerializer(void* state) {
  auto* s = static_cast<SerializerState*>(state);
  if (!s) return 0;
  bool ok = s->write ? FinishWriting(s) : true;
  Discard(s);
  return ok ? 1 : 0;
}

int32_t SerializeItem(void* state, const SerialItem* key, const SerialItem* value) {
  auto* s = static_cast<SerializerState*>(state);
  double k = 0;
  if (!s || !s->write || !value || !NumberOf(key, &k)) return 0;
  switch (value->kind) {
    case SERIAL_TABLE:
      return TableMarker(s, k, value->size) ? 1 : 0;
    case SERIAL_NUMBER:
      return StoreNumber(s, k, value) ? 1 : 0;
    case SERIAL_TEXT:
      return StoreText(s, k, value) ? 1 : 0;
    default:
      return 0;
  }
}

int32_t DeserializeItem(void* state, SerialItem* key, SerialItem* value, uint32_t* done) {
  auto* s = static_cast<SerializerState*>(state);
  if (!s || s->write || !key || !value || !done) return 0;
  ReleaseReadTexts(s);
  if (s->rowBegins || s->rowEnds) {
    NextMarker(s, key, value);
    return 1;
  }
  if (s->finished) {
    s->keyNumber = 0;
    *key = NumberItem(&s->keyNumber);
    *value = TextItem(kNoCharacters);
    *done = 1;
    return 1;
  }
  return NextCell(s, key, value) ? 1 : 0;
}

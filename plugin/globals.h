// The plugin's process-wide state: the open documents, the codes of its registered error messages, the
// host table, and the host's text encoding.
#pragma once

#include <cstdint>

#include "plugin/host_api.h"

// The registered error messages, in registration order: the name handlers report it by, and its text.
#define XLSX_PLUGIN_MESSAGES(X)                                   \
  X(ERROR_OPEN, "Error opening XLSX document %s!")               \
  X(ERROR_CREATE, "Error creating XLSX document %s!")            \
  X(ERROR_NO_DOCUMENT, "Cannot find specified XLSX document!")   \
  X(ERROR_OPERATION, "XSLX operation has failed!")               \
  X(ERROR_SHEET_NOT_FOUND, "Sheet \"%s\" not found!")            \
  X(ERROR_SHEET_RANGE, "Specified sheet is out of range!")       \
  X(ERROR_CELL_RANGE, "Specified cell is out of range!")         \
  X(ERROR_COLUMN_RANGE, "Specified column is out of range!")     \
  X(ERROR_ROW_RANGE, "Specified row is out of range!")           \
  X(ERROR_NO_FORMULA, "Cell doesn't have a formula!")            \
  X(ERROR_SAVE, "Error saving XLSX document!")                  \
  X(ERROR_FORMAT_VALUE, "Invalid cell format value: %s!")  \
  X(ERROR_MERGE_OVERLAP, "Range overlaps merged cells!")

#define XLSX_MESSAGE_NAME(name, text) name,
enum PluginError : uint32_t { XLSX_PLUGIN_MESSAGES(XLSX_MESSAGE_NAME) ERROR_COUNT };
#undef XLSX_MESSAGE_NAME

// Value-initialised (PluginGlobals{}) as the plugin starts.
struct PluginGlobals {
  HostObjectHeader* documentList = nullptr;  // first open document; the host is given this field's address
  uint32_t errorCodes[ERROR_COUNT] = {};     // codes the host gave for the messages
  const HostApi* host = nullptr;             // null until InitPlugin gets the table
  uint32_t textPassThrough = 1;              // nonzero: host texts are UTF-8 already
  // sharedStringsMode lives in the library (xlsx_set_shared_strings_mode), which reads it at every write.
  uint32_t objectTypeId = 0xFFFFFFFFu;       // the host's number of "XLSX document", once registered
};

extern PluginGlobals globals;

// The host table; null before InitPlugin was given one.
inline const HostApi* Host() { return globals.host; }
// The code to return from a handler for error; 0 before the messages are registered.
inline int32_t ErrorCode(PluginError error) { return static_cast<int32_t>(globals.errorCodes[error]); }
// What a command that changes something returns: 0 when the change was made, else the code of
// ERROR_OPERATION.
inline int32_t ChangeResult(bool made) { return made ? 0 : ErrorCode(ERROR_OPERATION); }

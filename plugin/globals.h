// The plugin's process-wide state: the open documents, the codes of its registered error messages, the
// host table, and the host's text encoding.
#pragma once

#include <cstdint>

#include "plugin/host_api.h"

// The registered error messages, in registration order.
enum PluginError : uint32_t {
  ERROR_OPEN,             // "Error opening XLSX document %s!"
  ERROR_CREATE,           // "Error creating XLSX document %s!"
  ERROR_NO_DOCUMENT,      // "Cannot find specified XLSX document!"
  ERROR_OPERATION,        // "XSLX operation has failed!"
  ERROR_SHEET_NOT_FOUND,  // "Sheet \"%s\" not found!"
  ERROR_SHEET_RANGE,      // "Specified sheet is out of range!"
  ERROR_CELL_RANGE,       // "Specified cell is out of range!"
  ERROR_COLUMN_RANGE,     // "Specified column is out of range!"
  ERROR_ROW_RANGE,        // "Specified row is out of range!"
  ERROR_NO_FORMULA,       // "Cell doesn't have a formula!"
  ERROR_SAVE,             // "Error saving XLSX document!"
  ERROR_COUNT
};

struct PluginGlobals {
  HostObjectHeader* documentList;     // first open document; the host is given this field's address
  uint32_t errorCodes[ERROR_COUNT];   // codes the host gave for the messages
  const HostApi* host;                // null until InitPlugin gets the table
  uint32_t textPassThrough;           // nonzero: host texts are UTF-8 already
  // sharedStringsMode lives in the library (xlsx_set_shared_strings_mode), which reads it at every write.
  uint32_t objectTypeId;              // the host's number of "XLSX document"; 0xFFFFFFFF until registered
};

extern PluginGlobals globals;

// The host table; null before InitPlugin was given one.
inline const HostApi* Host() { return globals.host; }
// The code to return from a handler for error; 0 before the messages are registered.
inline int32_t ErrorCode(PluginError error) { return static_cast<int32_t>(globals.errorCodes[error]); }

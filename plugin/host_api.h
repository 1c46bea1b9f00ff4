// The contract between the Korvadel host and a plugin: the host operation table handed to InitPlugin,
// the plugin header the host finds in the loaded module, and the records both sides exchange (entry,
// command, help and constant tables, the information record, object headers and serializer items).
// Layouts that hold addresses use pointer-sized fields, so they are exact on the 32-bit target and
// still correct on 64-bit hosts; numeric fields keep their 32-bit widths.
#pragma once

#include <cstdarg>
#include <cstdint>

// The interpreter state a host operation works on; opaque to the plugin.
struct HostState;
// An open host file; opaque to the plugin.
struct HostFile;

// Pseudo-indexes: the registry, and upvalue n (1-based) of the running closure.
enum : int32_t { HOST_REGISTRYINDEX = -10000 };
constexpr int32_t HostUpvalueIndex(int32_t n) { return -10001 - n; }

// Value types reported by ValueType; HOST_TNONE for an index past the top of the stack.
enum : int32_t {
  HOST_TNONE = -1,
  HOST_TNIL = 0,
  HOST_TBOOLEAN = 1,
  HOST_TLIGHTUSERDATA = 2,
  HOST_TNUMBER = 3,
  HOST_TSTRING = 4,
  HOST_TTABLE = 5,
  HOST_TFUNCTION = 6,
  HOST_TUSERDATA = 7,
  HOST_TTHREAD = 8,
};

// A handler returns the number of results it pushed, or an error code: a code returned by
// RegisterErrorMessage or one of the host's own codes below. Every value from HOST_FIRST_ERROR up is a code.
enum : int32_t {
  HOST_FIRST_ERROR = 1000,
  HOST_ERR_NO_MEMORY = 1000,          // "out of memory"
  HOST_ERR_UNKNOWN_ATTRIBUTE = 1080,  // "unknown attribute"
};

// Text encodings of ConvertText and QuerySettings.
enum : int32_t { HOST_ENCODING_SYSTEM = 0, HOST_ENCODING_UTF8 = 1 };

// Notification kinds; the text-encoding handler receives 1 when host texts are UTF-8, else 0.
enum : uint32_t { HOST_NOTIFY_TEXT_ENCODING = 3 };

// Modes of OpenFile.
enum : uint32_t { HOST_FILE_READ = 0, HOST_FILE_WRITE = 1, HOST_FILE_CREATE_NEW = 2 };

// What FileInfo reports of an existing file (symbolic links followed) and SetFileInfo gives a file.
struct HostFileInfo {
  uint32_t regular;   // 1 for a regular file
  uint32_t writable;  // 1 when the process may write it and its permission bits let anyone write it
  uint32_t mode;      // permission bits (07777)
  uint32_t owner;
  uint32_t group;
  uint32_t links;     // hard links to it
};

// Option lists: (tag, value) pairs ended by tag 0.
struct HostTag {
  uint32_t tag;
  uintptr_t value;
};
// ConvertText: the input's length in bytes (without it the text ends at its terminator).
// QuerySettings: value is the address of an int32_t that receives the default text encoding.
// GetTempFileName: nonzero value creates the file empty, so that the name is reserved.
enum : uint32_t {
  HOST_TAG_END = 0,
  HOST_TAG_LENGTH = 1,
  HOST_TAG_DEFAULT_ENCODING = 1,
  HOST_TAG_TEMP_RESERVE = 1,
};

// An object id as scripts pass it: explicit ids are (n, 0), automatic ids (0, handle).
struct ObjectId {
  uint32_t number;
  uintptr_t handle;
};
// The handle OptObjectId reports for nil: an automatic id is wanted.
constexpr uintptr_t HOST_AUTOMATIC_ID = 1;

// The first fields of every object record a plugin keeps in a list it registered with RegisterObjectType.
struct HostObjectHeader {
  uint32_t type;
  uint32_t idNumber;
  uintptr_t idHandle;
  uint32_t reserved;
  HostObjectHeader* next;
};

typedef int32_t (*HostCFunction)(HostState* L);
// Attribute callback of an object type: pushes the attribute's value and returns the result count, or
// returns an error code.
typedef int32_t (*HostAttributeFn)(HostState* L, uint32_t attribute, const ObjectId* id);
typedef void (*HostNotifyFn)(uint32_t value);

struct HostApi {
  uint32_t size;  // sizeof(HostApi) as the host built it

  // Tagged plugin memory (the tag names the block's use in leak reports), and C-style memory.
  void* (*AllocMem)(uint32_t size, uint32_t clear, const char* tag);
  void (*FreeMem)(void* block);
  void* (*Malloc)(uint32_t size);
  void* (*Calloc)(uint32_t count, uint32_t size);
  void* (*Realloc)(void* block, uint32_t size);
  void (*Free)(void* block);

  // Text services; numbers are read and written with the "C" locale's rules.
  int32_t (*FormatText)(char* buffer, uint32_t size, const char* format, va_list args);
  int32_t (*PrintFormatted)(const char* format, va_list args);
  double (*TextToDouble)(const char* text, char** end);
  int32_t (*TextToLong)(const char* text, char** end, int32_t base);
  int32_t (*TextEqualsNoCase)(const char* a, const char* b);
  char* (*ConvertText)(const char* text, int32_t from, int32_t to, const HostTag* options);
  void (*FreeText)(char* text);
  void (*QuerySettings)(const HostTag* options);

  // Files; integer results are 0 on success.
  HostFile* (*OpenFile)(const char* name, uint32_t mode);
  int32_t (*CloseFile)(HostFile* file);
  int32_t (*SeekFile)(HostFile* file, int64_t offset, int32_t origin);  // origin: SEEK_SET, SEEK_CUR, SEEK_END
  int64_t (*TellFile)(HostFile* file);                                 // -1 on failure
  uint32_t (*ReadFile)(HostFile* file, void* buffer, uint32_t count);
  uint32_t (*WriteFile)(HostFile* file, const void* buffer, uint32_t count);
  int32_t (*DeleteFile)(const char* name);
  int32_t (*RenameFile)(const char* from, const char* to);  // replaces `to`
  int32_t (*GetTempFileName)(char* buffer, uint32_t size, const HostTag* options);
  // OpenFile with HOST_FILE_READ opens regular files only. FileInfo: 0 when name exists. ResolveLinks:
  // the path name designates once symbolic links are followed. SetFileInfo: owner and group where the
  // process may set them, then the mode (0 when the mode was set).
  int32_t (*FileInfo)(const char* name, HostFileInfo* info);
  int32_t (*ResolveLinks)(const char* name, char* buffer, uint32_t size);
  int32_t (*SetFileInfo)(const char* name, const HostFileInfo* info);

  // Errors: a registered message may hold one %s, filled from the last SetErrorArgument.
  uint32_t (*RegisterErrorMessage)(const char* text);
  void (*SetErrorArgument)(const char* text);

  // Objects and notifications.
  uint32_t (*RegisterObjectType)(HostState* L, const char* name, HostObjectHeader** listHead,
                                 HostAttributeFn attribute);
  void (*ReleaseObject)(HostState* L, void* record);
  int32_t (*RegisterNotification)(uint32_t kind, HostNotifyFn handler, uint32_t reserved);

  // Reading arguments; the Check operations raise a script error for a missing or wrong argument.
  double (*CheckNumber)(HostState* L, int32_t index);
  double (*OptNumber)(HostState* L, int32_t index, double fallback);
  const char* (*CheckString)(HostState* L, int32_t index);
  // CheckString for a text to be stored: a string holding a NUL byte (which would cut it) raises too.
  const char* (*CheckText)(HostState* L, int32_t index);
  int32_t (*ValueType)(HostState* L, int32_t index);
  void* (*ToUserdata)(HostState* L, int32_t index);
  void (*CheckObjectId)(HostState* L, int32_t index, ObjectId* id);
  void (*OptObjectId)(HostState* L, int32_t index, ObjectId* id);
  int32_t (*GetTop)(HostState* L);

  // Pushing values, closures, userdata and metatables.
  void (*PushNil)(HostState* L);
  void (*PushNumber)(HostState* L, double value);
  void (*PushString)(HostState* L, const char* text);
  void (*PushLString)(HostState* L, const char* text, uint32_t length);
  void (*PushLightUserdata)(HostState* L, void* pointer);
  void (*PushClosure)(HostState* L, HostCFunction function, int32_t upvalues);
  void* (*NewUserdata)(HostState* L, uint32_t size);
  int32_t (*NewMetatable)(HostState* L, const char* name);  // 0 when the name already had one
  int32_t (*GetMetatable)(HostState* L, const char* name);  // pushes it; returns its value type
  void (*SetMetatable)(HostState* L, int32_t index);        // pops the table on top
  void* (*CheckUserdata)(HostState* L, int32_t index, const char* metatable);
  void (*PushValue)(HostState* L, int32_t index);
  void (*SetTop)(HostState* L, int32_t index);
  void (*SetTable)(HostState* L, int32_t index);     // table[key at -2] = value at -1 (metamethods apply)
  void (*RawSetTable)(HostState* L, int32_t index);  // the same without metamethods
};

// ---- What the plugin hands the host ----

// The magic and the only header version this host accepts.
constexpr char PLUGIN_MAGIC[8] = {'K', 'O', 'R', 'V', 'A', 'D', 'E', 'L'};
constexpr uint32_t PLUGIN_HEADER_VERSION = 3;

typedef void (*PluginEntryFn)(void);
typedef PluginEntryFn (*ResolveEntryFn)(const char* name);

// Found by the host by scanning the module for the magic followed by the version.
struct PluginHeader {
  char magic[8];           // "KORVADEL", no terminator
  uint8_t version[4];      // big-endian
  ResolveEntryFn resolve;  // ResolveEntry
};

struct PluginEntry {
  const char* name;  // null ends the table
  PluginEntryFn function;
};

struct PluginInfo {
  uint32_t capabilities;
  uint32_t version;
  uint32_t revision;
  uint32_t word3;
  uint32_t word4;
  const char* displayName;
  const char* baseName;
  const char* author;
  const char* description;
  const char* rights;
  const char* url;
  const char* date;
  uint32_t word12;
  const char* guide;
};

struct PluginCommand {
  const char* name;  // null ends the table
  HostCFunction handler;
};

// One row per command, in command table order; no end row.
struct PluginHelp {
  const char* text;
  uint32_t zero;
};

struct PluginConstant {
  const char* name;  // null ends the table
  uint32_t zero;
  double value;
};

// A key or value handed through the serializer.
enum : uint32_t { SERIAL_NUMBER = 0, SERIAL_TEXT = 1, SERIAL_TABLE = 2 };
struct SerialItem {
  uint32_t kind;
  const void* data;  // number: a double; text: the bytes (not terminated, may be null); table: null
  uint32_t size;     // number: 8; text: length; table: 1 at the beginning of a row, 0 at its end
  uint32_t reserved;
};

// Stream callbacks of the serializer: bytes moved, 0 or less at the end or on failure.
typedef int32_t (*SerialReadFn)(void* buffer, uint32_t size, void* user);
typedef int32_t (*SerialWriteFn)(const void* buffer, uint32_t size, void* user);

// Signatures of the named entry points.
typedef uint32_t (*InitPluginFn)(PluginInfo* info, const HostApi* host);
typedef void (*ClosePluginFn)(void);
typedef const char* (*GetBaseTableFn)(void);
typedef const PluginCommand* (*GetCommandsFn)(void);
typedef const PluginConstant* (*GetConstantsFn)(void);
typedef const PluginHelp* (*GetHelpStringsFn)(void);
typedef int32_t (*InitLibraryFn)(HostState* L);
typedef void (*FreeLibraryFn)(HostState* L);
typedef void* (*InitSerializerFn)(SerialReadFn read, SerialWriteFn write, void* user, const HostTag* options);
typedef int32_t (*FreeSerializerFn)(void* state);
typedef int32_t (*SerializeItemFn)(void* state, const SerialItem* key, const SerialItem* value);
typedef int32_t (*DeserializeItemFn)(void* state, SerialItem* key, SerialItem* value, uint32_t* done);
typedef uint32_t (*GetExtensionsFn)(uint32_t kind);

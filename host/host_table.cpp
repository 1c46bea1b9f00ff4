#include "host/host_table.h"

#include "host/errors.h"
#include "host/files.h"
#include "host/memory.h"
#include "host/objects.h"
#include "host/stack.h"
#include "host/text.h"

namespace {

HostApi MakeTable() {
  HostApi api{};
  api.size = sizeof(HostApi);
  api.AllocMem = HostAllocMem;
  api.FreeMem = HostFreeMem;
  api.Malloc = HostMalloc;
  api.Calloc = HostCalloc;
  api.Realloc = HostRealloc;
  api.Free = HostFree;
  api.FormatText = HostFormatText;
  api.PrintFormatted = HostPrintFormatted;
  api.TextToDouble = HostTextToDouble;
  api.TextToLong = HostTextToLong;
  api.TextEqualsNoCase = HostTextEqualsNoCase;
  api.ConvertText = HostConvertText;
  api.FreeText = HostFreeText;
  api.QuerySettings = HostQuerySettings;
  api.OpenFile = HostOpenFile;
  api.CloseFile = HostCloseFile;
  api.SeekFile = HostSeekFile;
  api.TellFile = HostTellFile;
  api.ReadFile = HostReadFile;
  api.WriteFile = HostWriteFile;
  api.DeleteFile = HostDeleteFile;
  api.RenameFile = HostRenameFile;
  api.GetTempFileName = HostGetTempFileName;
  api.FileInfo = HostFileInfoOf;
  api.ResolveLinks = HostResolveLinks;
  api.SetFileInfo = HostSetFileInfo;
  api.RegisterErrorMessage = HostRegisterErrorMessage;
  api.SetErrorArgument = HostSetErrorArgument;
  api.RegisterObjectType = HostRegisterObjectType;
  api.ReleaseObject = HostReleaseObject;
  api.RegisterNotification = HostRegisterNotification;
  api.CheckNumber = HostCheckNumber;
  api.OptNumber = HostOptNumber;
  api.CheckString = HostCheckString;
  api.CheckText = HostCheckText;
  api.ValueType = HostValueType;
  api.ToUserdata = HostToUserdata;
  api.CheckObjectId = HostCheckObjectId;
  api.OptObjectId = HostOptObjectId;
  api.GetTop = HostGetTop;
  api.PushNil = HostPushNil;
  api.PushNumber = HostPushNumber;
  api.PushString = HostPushString;
  api.PushLString = HostPushLString;
  api.PushLightUserdata = HostPushLightUserdata;
  api.PushClosure = HostPushClosure;
  api.NewUserdata = HostNewUserdata;
  api.NewMetatable = HostNewMetatable;
  api.GetMetatable = HostGetMetatable;
  api.SetMetatable = HostSetMetatable;
  api.CheckUserdata = HostCheckUserdata;
  api.PushValue = HostPushValue;
  api.SetTop = HostSetTop;
  api.SetTable = HostSetTable;
  api.RawSetTable = HostRawSetTable;
  return api;
}

const HostApi table = MakeTable();

}  // namespace

const HostApi* HostApiTable() {
  return &table;
}

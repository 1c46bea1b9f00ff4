// GetObjectType and UseSharedStrings: the two commands that need no document.
#include <cmath>

#include "lib/sheet/worksheet.h"
#include "plugin/commands.h"
#include "plugin/globals.h"

int32_t CmdGetObjectType(HostState* L) {
  Host()->PushNumber(L, globals.objectTypeId);
  return 1;
}

// `on` is truncated toward zero: 0 (and any value between -1 and 1) stores texts in the cells themselves.
int32_t CmdUseSharedStrings(HostState* L) {
  double on = std::trunc(Host()->CheckNumber(L, 1));
  xlsx_set_shared_strings_mode(on == 0 ? 1 : 0);
  return 0;
}

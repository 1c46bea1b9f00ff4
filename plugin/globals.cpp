#include "plugin/globals.h"

PluginGlobals globals = {nullptr, {}, nullptr, 1, 0xFFFFFFFFu};

#include "plugin/globals.h"

PluginGlobals globals;

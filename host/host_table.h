// The operation table the host hands to InitPlugin.
#pragma once

#include "plugin/host_api.h"

// The host's table, filled with every operation; static storage, never null.
const HostApi* HostApiTable();

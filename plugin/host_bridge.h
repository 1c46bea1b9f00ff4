// Gives the library its host operations (memory, formatting, numbers, files), each forwarding to the
// host table the plugin was given.
#pragma once

#include "plugin/host_api.h"

// Fills the library's operation table from host and installs it; null is ignored.
void InstallLibraryHostOps(const HostApi* host);

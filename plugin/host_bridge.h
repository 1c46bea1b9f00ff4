// Connects the plugin to its host: keeps the host table and gives the library its host operations.
#pragma once

#include "plugin/host_api.h"

// Keeps host as the plugin's host table, installs the library's host operations, registers the error
// messages in order and the text-encoding notification. host must not be null.
void InstallHost(const HostApi* host);
// Fills the library's operation table (memory, formatting, numbers, files) from host and installs it.
void InstallLibraryHostOps(const HostApi* host);

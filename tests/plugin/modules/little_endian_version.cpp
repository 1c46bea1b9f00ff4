// A module whose header writes version 3 in little-endian byte order, which reads as 0x03000000.
#include "plugin/host_api.h"

namespace {
PluginEntryFn Resolve(const char*) {
  return nullptr;
}
__attribute__((used)) const PluginHeader kHeader = {{'K', 'O', 'R', 'V', 'A', 'D', 'E', 'L'}, {3, 0, 0, 0}, Resolve};
}  // namespace

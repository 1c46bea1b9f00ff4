// A module whose header carries the magic with header version 2.
#include "plugin/host_api.h"

namespace {
PluginEntryFn Resolve(const char*) {
  return nullptr;
}
__attribute__((used)) const PluginHeader kHeader = {{'K', 'O', 'R', 'V', 'A', 'D', 'E', 'L'}, {0, 0, 0, 2}, Resolve};
}  // namespace

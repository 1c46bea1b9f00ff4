// A module with a valid header whose ResolveEntry knows no entry point.
#include "plugin/host_api.h"

namespace {
PluginEntryFn Resolve(const char*) {
  return nullptr;
}
__attribute__((used)) const PluginHeader kHeader = {{'K', 'O', 'R', 'V', 'A', 'D', 'E', 'L'}, {0, 0, 0, 3}, Resolve};
}  // namespace

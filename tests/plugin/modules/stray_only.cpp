// A module with the magic and the version but no resolver in its code.
#include "plugin/host_api.h"

namespace {
__attribute__((used)) const PluginHeader kHeader = {{'K', 'O', 'R', 'V', 'A', 'D', 'E', 'L'}, {0, 0, 0, 3}, nullptr};
}  // namespace

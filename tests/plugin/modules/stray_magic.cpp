// A module whose header is preceded by a stray copy of the magic and the version without a resolver (as an
// unoptimised build can leave the header constants side by side in its read-only data).
#include "plugin/host_api.h"

namespace {
PluginEntryFn Resolve(const char*) {
  return nullptr;
}
struct StrayThenHeader {
  PluginHeader stray;
  PluginHeader header;
};
__attribute__((used)) const StrayThenHeader kHeaders = {
    {{'K', 'O', 'R', 'V', 'A', 'D', 'E', 'L'}, {0, 0, 0, 3}, nullptr},
    {{'K', 'O', 'R', 'V', 'A', 'D', 'E', 'L'}, {0, 0, 0, 3}, Resolve}};
}  // namespace

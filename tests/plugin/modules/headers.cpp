// The modules made for the host's header lookup, one per HEADER_KIND: 1 no header at all, 2 header version
// 2, 3 version 3 written little-endian (it reads as 0x03000000), 4 a resolver that knows no entry point,
// 5 a stray copy of the magic and version without a resolver before the header (as an unoptimised build
// can leave the header constants side by side), 6 that stray copy alone.
#include "plugin/host_api.h"

extern "C" int NotAPlugin() { return 42; }

namespace {
[[maybe_unused]] PluginEntryFn Resolve(const char*) { return nullptr; }
#define MAGIC {'K', 'O', 'R', 'V', 'A', 'D', 'E', 'L'}
#if HEADER_KIND == 2
__attribute__((used)) const PluginHeader kHeader = {MAGIC, {0, 0, 0, 2}, Resolve};
#elif HEADER_KIND == 3
__attribute__((used)) const PluginHeader kHeader = {MAGIC, {3, 0, 0, 0}, Resolve};
#elif HEADER_KIND == 4
__attribute__((used)) const PluginHeader kHeader = {MAGIC, {0, 0, 0, 3}, Resolve};
#elif HEADER_KIND == 5
struct StrayThenHeader { PluginHeader stray, header; };
__attribute__((used)) const StrayThenHeader kHeaders = {{MAGIC, {0, 0, 0, 3}, nullptr}, {MAGIC, {0, 0, 0, 3}, Resolve}};
#elif HEADER_KIND == 6
__attribute__((used)) const PluginHeader kHeader = {MAGIC, {0, 0, 0, 3}, nullptr};
#endif
}  // namespace

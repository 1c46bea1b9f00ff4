// The scan reads the module's memory byte by byte with no library calls: the bytes include the guard
// zones that AddressSanitizer keeps between globals, which are readable but poisoned.
#include "host/module_loader.h"

#include <dlfcn.h>
#include <link.h>

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace {

struct Segment {
  uintptr_t start;
  uintptr_t end;
  bool executable;
};

struct ScanResult {
  const struct link_map* map;
  Segment segments[16];
  int count;
};

int CollectSegments(struct dl_phdr_info* info, size_t, void* data) {
  auto* scan = static_cast<ScanResult*>(data);
  if (info->dlpi_addr != scan->map->l_addr || !info->dlpi_name || strcmp(info->dlpi_name, scan->map->l_name) != 0) {
    return 0;
  }
  for (int i = 0; i < info->dlpi_phnum && scan->count < 16; ++i) {
    const ElfW(Phdr)& ph = info->dlpi_phdr[i];
    if (ph.p_type != PT_LOAD || !(ph.p_flags & PF_R)) continue;
    uintptr_t start = info->dlpi_addr + ph.p_vaddr;
    scan->segments[scan->count++] = Segment{start, start + ph.p_memsz, (ph.p_flags & PF_X) != 0};
  }
  return 1;
}

__attribute__((no_sanitize("address", "undefined"))) bool MatchesAt(const unsigned char* p) {
  for (int i = 0; i < 8; ++i) {
    if (p[i] != static_cast<unsigned char>(PLUGIN_MAGIC[i])) return false;
  }
  return true;
}

__attribute__((no_sanitize("address", "undefined"))) uint32_t BigEndianAt(const unsigned char* p) {
  return (uint32_t{p[0]} << 24) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 8) | uint32_t{p[3]};
}

// Address of the first header-aligned magic in [start, end) with the given version; records the version
// of the first other header seen in *otherVersion.
__attribute__((no_sanitize("address", "undefined"))) const PluginHeader* ScanSegment(const Segment& segment,
                                                                                     bool* sawOther,
                                                                                     uint32_t* otherVersion) {
  constexpr uintptr_t kAlign = alignof(PluginHeader);
  uintptr_t first = (segment.start + kAlign - 1) & ~(kAlign - 1);
  for (uintptr_t at = first; at + sizeof(PluginHeader) <= segment.end; at += kAlign) {
    const auto* p = reinterpret_cast<const unsigned char*>(at);
    if (!MatchesAt(p)) continue;
    uint32_t version = BigEndianAt(p + offsetof(PluginHeader, version));
    if (version == PLUGIN_HEADER_VERSION) return reinterpret_cast<const PluginHeader*>(at);
    if (!*sawOther) *otherVersion = version;
    *sawOther = true;
  }
  return nullptr;
}

bool InCode(const ScanResult& scan, uintptr_t address) {
  for (int i = 0; i < scan.count; ++i) {
    const Segment& s = scan.segments[i];
    if (s.executable && address >= s.start && address < s.end) return true;
  }
  return false;
}

}  // namespace

bool FindPluginHeader(void* handle, const PluginHeader** header, std::string* error) {
  ScanResult scan{};
  if (dlinfo(handle, RTLD_DI_LINKMAP, &scan.map) != 0 || !scan.map) {
    *error = "cannot inspect the loaded module";
    return false;
  }
  dl_iterate_phdr(CollectSegments, &scan);
  bool sawOther = false;
  uint32_t otherVersion = 0;
  for (int i = 0; i < scan.count && !*header; ++i) *header = ScanSegment(scan.segments[i], &sawOther, &otherVersion);
  if (!*header) {
    *error = sawOther ? "plugin header version " + std::to_string(otherVersion) + " is not supported (expected " +
                            std::to_string(PLUGIN_HEADER_VERSION) + ")"
                      : "not a Korvadel plugin: no header with the magic \"KORVADEL\"";
    return false;
  }
  ResolveEntryFn resolve;
  memcpy(&resolve, &(*header)->resolve, sizeof resolve);
  if (!InCode(scan, reinterpret_cast<uintptr_t>(resolve))) {
    *header = nullptr;
    *error = "the plugin header's ResolveEntry address lies outside the module's code";
    return false;
  }
  return true;
}

bool LoadPluginModule(const char* path, LoadedModule* module, std::string* error) {
  void* handle = dlopen(path, RTLD_NOW | RTLD_LOCAL);
  if (!handle) {
    const char* reason = dlerror();
    *error = std::string("cannot load plugin ") + path + ": " + (reason ? reason : "unknown reason");
    return false;
  }
  const PluginHeader* header = nullptr;
  std::string why;
  if (!FindPluginHeader(handle, &header, &why)) {
    dlclose(handle);
    *error = std::string(path) + ": " + why;
    return false;
  }
  module->handle = handle;
  module->header = header;
  return true;
}

void UnloadPluginModule(LoadedModule* module) {
  if (!module->handle) return;
  dlclose(module->handle);
  module->handle = nullptr;
  module->header = nullptr;
}

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

bool InCode(const ScanResult& scan, uintptr_t address) {
  for (int i = 0; i < scan.count; ++i) {
    const Segment& s = scan.segments[i];
    if (s.executable && address >= s.start && address < s.end) return true;
  }
  return false;
}

// The ResolveEntry address of the header candidate at p, copied out byte by byte first (the bytes may lie
// in a guard zone).
__attribute__((no_sanitize("address", "undefined"))) uintptr_t ResolveAddressAt(const unsigned char* p) {
  unsigned char bytes[sizeof(ResolveEntryFn)];
  for (size_t i = 0; i < sizeof bytes; ++i) bytes[i] = p[offsetof(PluginHeader, resolve) + i];
  ResolveEntryFn resolve;
  memcpy(&resolve, bytes, sizeof resolve);
  return reinterpret_cast<uintptr_t>(resolve);
}

// What the scan met: the header, and for the error message the first other version among candidates that
// point into the code, or a candidate of our version that does not.
struct Findings {
  const PluginHeader* header = nullptr;
  bool sawOther = false;
  uint32_t otherVersion = 0;
  bool sawStray = false;
};

// Looks at every header-aligned magic in the segment. Only a candidate whose ResolveEntry lies in the
// module's code is a header: the same bytes can stand elsewhere by chance (an unoptimised build keeps the
// magic and the version constant side by side in its read-only data), and must not hide the real one.
__attribute__((no_sanitize("address", "undefined"))) void ScanSegment(const ScanResult& scan, const Segment& segment,
                                                                      Findings* found) {
  constexpr uintptr_t kAlign = alignof(PluginHeader);
  uintptr_t first = (segment.start + kAlign - 1) & ~(kAlign - 1);
  for (uintptr_t at = first; at + sizeof(PluginHeader) <= segment.end && !found->header; at += kAlign) {
    const auto* p = reinterpret_cast<const unsigned char*>(at);
    if (!MatchesAt(p)) continue;
    uint32_t version = BigEndianAt(p + offsetof(PluginHeader, version));
    bool inCode = InCode(scan, ResolveAddressAt(p));
    if (inCode && version == PLUGIN_HEADER_VERSION) {
      found->header = reinterpret_cast<const PluginHeader*>(at);
    } else if (inCode && !found->sawOther) {
      found->sawOther = true;
      found->otherVersion = version;
    } else if (!inCode && version == PLUGIN_HEADER_VERSION) {
      found->sawStray = true;
    }
  }
}

}  // namespace

bool FindPluginHeader(void* handle, const PluginHeader** header, std::string* error) {
  ScanResult scan{};
  if (dlinfo(handle, RTLD_DI_LINKMAP, &scan.map) != 0 || !scan.map) {
    *error = "cannot inspect the loaded module";
    return false;
  }
  dl_iterate_phdr(CollectSegments, &scan);
  Findings found;
  for (int i = 0; i < scan.count && !found.header; ++i) ScanSegment(scan, scan.segments[i], &found);
  *header = found.header;
  if (found.header) return true;
  if (found.sawOther) {
    *error = "plugin header version " + std::to_string(found.otherVersion) + " is not supported (expected " +
             std::to_string(PLUGIN_HEADER_VERSION) + ")";
  } else if (found.sawStray) {
    *error = "the plugin header's ResolveEntry address lies outside the module's code";
  } else {
    *error = "not a Korvadel plugin: no header with the magic \"KORVADEL\"";
  }
  return false;
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

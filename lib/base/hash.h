// The hash of every table whose keys come from a file or a script: SipHash-1-3 under a key drawn once per
// process, so that no input can be made of keys that all fall into one slot (each table still probes as
// it always did, but the probe lengths stay those of random keys).
#pragma once

#include <cstdint>

// Keyed hash of n bytes (bytes may be null when n is 0). The same bytes give the same value within one
// process, a value nobody outside can predict across processes.
uint32_t xlsx_hash_keyed(const void* bytes, uint32_t n);
// xlsx_hash_keyed over a NUL-terminated text without its terminator; null counts as "".
uint32_t xlsx_hash_text(const char* text);

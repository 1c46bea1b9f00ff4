// SipHash-1-3 with a per-process key. The key is drawn from the system's entropy source where there is
// one, mixed with the clock and addresses, so that a machine without such a source still gets a key that
// a file prepared in advance cannot know.
#include "lib/base/hash.h"

#include <chrono>
#include <cstring>
#include <random>

namespace {

struct Key {
  uint64_t k0;
  uint64_t k1;
  bool drawn;
};

Key g_key = {0, 0, false};

uint64_t rotl(uint64_t x, int b) { return (x << b) | (x >> (64 - b)); }

struct State {
  uint64_t v0, v1, v2, v3;
  void round() {
    v0 += v1;
    v1 = rotl(v1, 13);
    v1 ^= v0;
    v0 = rotl(v0, 32);
    v2 += v3;
    v3 = rotl(v3, 16);
    v3 ^= v2;
    v0 += v3;
    v3 = rotl(v3, 21);
    v3 ^= v0;
    v2 += v1;
    v1 = rotl(v1, 17);
    v1 ^= v2;
    v2 = rotl(v2, 32);
  }
  void absorb(uint64_t m) {
    v3 ^= m;
    round();
    v0 ^= m;
  }
};

// Little-endian word of up to 8 bytes, read byte by byte: the same value on every byte order.
uint64_t word(const unsigned char* p, uint32_t n) {
  uint64_t w = 0;
  for (uint32_t i = 0; i < n; i++) w |= uint64_t(p[i]) << (8 * i);
  return w;
}

uint64_t mix(uint64_t x) {
  x ^= x >> 33;
  x *= 0xFF51AFD7ED558CCDull;
  x ^= x >> 33;
  x *= 0xC4CEB9FE1A85EC53ull;
  return x ^ (x >> 33);
}

uint64_t entropy() {
  uint64_t value = 0;
  try {
    std::random_device device;
    value = (uint64_t(device()) << 32) ^ device();
  } catch (...) {
    // No entropy source: the clock and the addresses below still vary from run to run.
  }
  return value;
}

const Key& key() {
  if (!g_key.drawn) {
    uint64_t clock = uint64_t(std::chrono::steady_clock::now().time_since_epoch().count());
    uint64_t here = uint64_t(reinterpret_cast<uintptr_t>(&g_key));
    int local = 0;
    uint64_t stack = uint64_t(reinterpret_cast<uintptr_t>(&local));
    g_key.k0 = mix(entropy() ^ clock);
    g_key.k1 = mix(entropy() ^ (here << 16) ^ stack ^ rotl(clock, 29));
    g_key.drawn = true;
  }
  return g_key;
}

}  // namespace

uint32_t xlsx_hash_keyed(const void* bytes, uint32_t n) {
  const Key& k = key();
  State s = {k.k0 ^ 0x736F6D6570736575ull, k.k1 ^ 0x646F72616E646F6Dull, k.k0 ^ 0x6C7967656E657261ull,
             k.k1 ^ 0x7465646279746573ull};
  const unsigned char* p = static_cast<const unsigned char*>(bytes);
  uint32_t left = n;
  for (; left >= 8; left -= 8, p += 8) s.absorb(word(p, 8));
  s.absorb((uint64_t(n & 0xFF) << 56) | (left ? word(p, left) : 0));
  s.v2 ^= 0xFF;
  s.round();
  s.round();
  s.round();
  uint64_t h = s.v0 ^ s.v1 ^ s.v2 ^ s.v3;
  return uint32_t(h ^ (h >> 32));
}

uint32_t xlsx_hash_text(const char* text) {
  if (!text) text = "";
  return xlsx_hash_keyed(text, uint32_t(std::strlen(text)));
}

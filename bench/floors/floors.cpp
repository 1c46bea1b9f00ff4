// The floors under our benchmarks, measured on this machine in the same run as the benchmarks themselves.
// Each mode prints one "RESULT mode=... key=value ..." line (medians of REPS runs inside the process):
//   fault MB         new anonymous memory touched one 4 KB page at a time (what a program pays that
//                    asks for memory and writes it): seconds for MB megabytes and microseconds per page
//   populate MB      the same amount mapped and filled in one call (MAP_POPULATE), then written once
//   hugepopulate MB  a region advised for huge pages and filled in one call, then written once
// These three report the first run apart (first_s): on these virtual machines memory that the system has
// not used for a while must first be backed again by the machine's host, which costs far more than the
// fault itself; the later runs (s, the median) get back the memory the run before them just returned.
//   latency MB N [huge]  N loads, each at a random place that the previous load gave, in a block of MB
//                    megabytes (as large as a loaded sheet, or small enough for the caches); with "huge"
//                    the block is advised for huge pages, as the host's allocator obtains its regions
//   deflate FILE     libdeflate level 6 on the file's bytes on one processor, and split in two halves
//                    deflated at the same time on two processors (wall time of the slower half)
#include <sys/mman.h>
#include <unistd.h>

#include <libdeflate.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <numeric>
#include <random>
#include <thread>
#include <vector>

namespace {

constexpr int kReps = 5;
constexpr size_t kPage = 4096;

double now() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

double median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

// Maps bytes of anonymous memory with the extra flags; null when the system refuses.
char* map(size_t bytes, int flags) {
  void* at = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS | flags, -1, 0);
  return at == MAP_FAILED ? nullptr : static_cast<char*>(at);
}

// Writes one byte in every page, so that each page is present (faulted in here when it was not).
void touch(char* at, size_t bytes) {
  for (size_t i = 0; i < bytes; i += kPage) at[i] = 1;
}

// Seconds to obtain and write bytes the given way: 0 page by page, 1 MAP_POPULATE, 2 huge pages populated.
double obtain_and_write(size_t bytes, int how) {
  double t0 = now();
  char* at = nullptr;
  if (how == 2) {
    // A 2 MB-aligned range inside a larger mapping, so that whole huge pages fit.
    const size_t huge = 2u << 20;
    char* raw = map(bytes + huge, 0);
    if (!raw) return -1;
    at = reinterpret_cast<char*>((reinterpret_cast<uintptr_t>(raw) + huge - 1) & ~(huge - 1));
#ifdef MADV_HUGEPAGE
    madvise(at, bytes, MADV_HUGEPAGE);
#endif
#ifdef MADV_POPULATE_WRITE
    madvise(at, bytes, MADV_POPULATE_WRITE);
#endif
    touch(at, bytes);
    double t1 = now();
    munmap(raw, bytes + huge);
    return t1 - t0;
  }
  at = map(bytes, how == 1 ? MAP_POPULATE : 0);
  if (!at) return -1;
  touch(at, bytes);
  double t1 = now();
  munmap(at, bytes);
  return t1 - t0;
}

int memory_mode(const char* mode, size_t megabytes) {
  int how = !std::strcmp(mode, "fault") ? 0 : !std::strcmp(mode, "populate") ? 1 : 2;
  size_t bytes = megabytes << 20;
  double first = obtain_and_write(bytes, how);
  std::vector<double> runs;
  for (int i = 1; i < kReps; i++) runs.push_back(obtain_and_write(bytes, how));
  double s = median(runs);
  if (first < 0 || s < 0) return 1;
  double pages = double(bytes / kPage);
  std::printf("RESULT mode=%s mb=%zu first_s=%.4f first_us_per_4k_page=%.3f s=%.4f us_per_4k_page=%.3f\n", mode,
              megabytes, first, first * 1e6 / pages, s, s * 1e6 / pages);
  return 0;
}

// A block of bytes for the latency walk, 2 MB-aligned and advised for huge pages when huge is set; the
// mapping is left to the end of the process.
uint32_t* latency_block(size_t bytes, bool huge) {
  const size_t align = 2u << 20;
  char* raw = map(bytes + align, 0);
  if (!raw) return nullptr;
  char* at = reinterpret_cast<char*>((reinterpret_cast<uintptr_t>(raw) + align - 1) & ~(align - 1));
#ifdef MADV_HUGEPAGE
  if (huge) madvise(at, bytes, MADV_HUGEPAGE);
#endif
  return reinterpret_cast<uint32_t*>(at);
}

int latency_mode(uint32_t megabytes, uint32_t loads, bool huge) {
  // One 64-byte line per entry; its first word names the next line of a random cycle through all of them.
  const uint32_t words = 16;
  const uint32_t lines = megabytes * (1024u * 1024u / 64u);
  uint32_t* block = latency_block(static_cast<size_t>(lines) * words * sizeof(uint32_t), huge);
  if (!block) return 1;
  std::vector<uint32_t> order(lines);
  std::iota(order.begin(), order.end(), 0u);
  std::shuffle(order.begin(), order.end(), std::mt19937(12345));
  for (uint32_t i = 0; i < lines; i++) block[static_cast<size_t>(order[i]) * words] = order[(i + 1) % lines];
  std::vector<double> runs;
  uint32_t at = order[0];
  for (int rep = 0; rep < kReps; rep++) {
    double t0 = now();
    for (uint32_t i = 0; i < loads; i++) at = block[static_cast<size_t>(at) * words];
    runs.push_back((now() - t0) * 1e9 / loads);
  }
  std::printf("RESULT mode=latency mb=%u loads=%u pages=%s ns_per_load=%.1f end=%u\n", megabytes, loads,
              huge ? "huge" : "4k", median(runs), at);
  return 0;
}

std::vector<char> read_file(const char* path) {
  std::vector<char> bytes;
  FILE* f = std::fopen(path, "rb");
  if (!f) return bytes;
  char buffer[1 << 16];
  size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) bytes.insert(bytes.end(), buffer, buffer + n);
  std::fclose(f);
  return bytes;
}

// Deflated size of n bytes at level 6; 0 on failure.
size_t deflate_bytes(const char* in, size_t n) {
  libdeflate_compressor* c = libdeflate_alloc_compressor(6);
  if (!c) return 0;
  std::vector<char> out(libdeflate_deflate_compress_bound(c, n));
  size_t size = libdeflate_deflate_compress(c, in, n, out.data(), out.size());
  libdeflate_free_compressor(c);
  return size;
}

int deflate_mode(const char* path) {
  std::vector<char> in = read_file(path);
  if (in.empty()) return 1;
  std::vector<double> one, two;
  size_t out1 = 0, out2 = 0;
  for (int rep = 0; rep < kReps; rep++) {
    double t0 = now();
    out1 = deflate_bytes(in.data(), in.size());
    double t1 = now();
    size_t half = in.size() / 2, head = 0;
    std::thread worker([&] { head = deflate_bytes(in.data(), half); });
    size_t tail = deflate_bytes(in.data() + half, in.size() - half);
    worker.join();
    double t2 = now();
    out2 = head + tail;
    one.push_back(t1 - t0);
    two.push_back(t2 - t1);
  }
  if (!out1 || !out2) return 1;
  std::printf("RESULT mode=deflate bytes=%zu one_s=%.4f one_out=%zu two_s=%.4f two_out=%zu\n", in.size(), median(one),
              out1, median(two), out2);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  const char* mode = argc >= 2 ? argv[1] : "";
  bool memory = !std::strcmp(mode, "fault") || !std::strcmp(mode, "populate") || !std::strcmp(mode, "hugepopulate");
  if (argc >= 3 && memory)
    return memory_mode(mode, static_cast<size_t>(std::atol(argv[2])));
  if (argc >= 4 && !std::strcmp(mode, "latency"))
    return latency_mode(static_cast<uint32_t>(std::atoi(argv[2])), static_cast<uint32_t>(std::atoi(argv[3])),
                        argc >= 5 && !std::strcmp(argv[4], "huge"));
  if (argc >= 3 && !std::strcmp(mode, "deflate")) return deflate_mode(argv[2]);
  std::fprintf(stderr, "usage: floors fault|populate|hugepopulate MB | latency MB N [huge] | deflate FILE\n");
  return 2;
}

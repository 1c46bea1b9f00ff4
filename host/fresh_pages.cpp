// Fresh mappings for the host's regions: the huge-page policy, filling in one call, and the helper thread
// that maps and fills huge-page mappings ahead of the caller.
#include "host/fresh_pages.h"

#ifndef KORVADEL_PLAIN_MEMORY

#include <sys/mman.h>
#include <time.h>

#include <sched.h>

#include <algorithm>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace {

// Whether new mappings are advised for huge pages. On virtual machines whose system hands memory left idle
// back to the machine's host (free page reporting), a free 2 MB block is usually such memory, and the host
// must back it again 4 KB at a time when it is first written: a huge page then costs several times what
// the 512 faults it saves would have (measured here: 2.2-3.5 s for 370 MB against 0.4-1.0 s in 4 KB pages;
// memory returned moments ago costs 0.12 s in huge pages against 0.64 s). So the fills of new mappings of
// one huge page (the pages and chunks of a tree) are timed, and a huge page is judged against 2 MB of 4 KB
// pages filled in the same process: the first such mapping is filled in 4 KB pages, the next ones advised
// for huge pages until their fills prove slow, then tried again after kFirstRetry such mappings, twice as
// many after each further slow fill (up to kLastRetry); larger blocks are advised only while the fills
// prove huge pages cheap.
struct HugePolicy {
  double small_fill = 0;  // processor time of the last fill of one huge page's span in 4 KB pages; 0 before
  double huge_fill = 0;   // of the fills of huge pages since the last try: a mean weighted to the latest
  bool judged = false;    // a fill of one huge page has been timed
  bool cheap = false;     // and the mean was worth its cost against a fill in 4 KB pages
  uint32_t skipped = 0;
  uint32_t retry = 0;  // mappings to skip before the next try
};

constexpr uint32_t kFirstRetry = 32;
constexpr uint32_t kLastRetry = 1024;
// How many times the fill of the same span in 4 KB pages a huge page may cost and still pay for itself in
// translation misses saved later. Where the kernel compacts memory for each new huge page (3.4 ms a fill
// against 5 ms of 4 KB faults), a loaded sheet read cell by cell took half the time in huge pages; a huge
// page the host must back again (3.5 ms against 0.7 ms in 4 KB pages on one machine, 12-19 ms against
// 0.3-2.6 ms on others) costs more than it saves: the sheet's open pays it all, its lookups gain a tenth.
constexpr double kHugeWorth = 2.0;

// Whether a new mapping of length bytes is to be advised for huge pages; a mapping of exactly one huge
// page is the policy's probe, once a fill in 4 KB pages has been timed to judge it against.
bool WantHuge(HugePolicy& huge, size_t length) {
  if (length < kHugePage) return false;
  if (length > kHugePage) return huge.judged && huge.cheap;
  if (huge.small_fill == 0) return false;
  if (!huge.judged || huge.cheap) return true;
  if (++huge.skipped < huge.retry) return false;
  huge.skipped = 0;
  return true;
}

// Takes the time one fill of a huge page's span took, in a huge page (huge) or in 4 KB pages.
void Judge(HugePolicy& huge, bool in_huge_page, double seconds) {
  if (!in_huge_page) {
    huge.small_fill = seconds > 0 ? seconds : 1e-9;
    return;
  }
  // One slow fill among cheap ones (a block the kernel had to compact) moves the mean a quarter of the way:
  // it takes a few in a row to turn the policy. A try after slow fills starts the mean afresh.
  huge.huge_fill = huge.judged && huge.cheap ? 0.75 * huge.huge_fill + 0.25 * seconds : seconds;
  huge.cheap = huge.huge_fill <= kHugeWorth * huge.small_fill;
  huge.retry = huge.cheap ? kFirstRetry : !huge.judged ? kFirstRetry : std::min(huge.retry * 2, kLastRetry);
  huge.judged = true;
}

double ThreadSeconds() {
  timespec now;
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return double(now.tv_sec) + double(now.tv_nsec) * 1e-9;
}

void AdviseHuge(char* at, size_t length) {
#ifdef MADV_HUGEPAGE
  madvise(at, length, MADV_HUGEPAGE);
#else
  (void)at;
  (void)length;
#endif
}

// Makes the pages of a range present in one call instead of one fault per page (per huge page), when it
// is no larger than a huge page: such blocks are the pages and chunks that a tree fills to the end.
// Larger blocks are often room to grow into (a buffer that doubles, a bound on deflated bytes): they are
// faulted in as they are written, so that room never written costs nothing.
void Populate(char* at, size_t length) {
#ifdef MADV_POPULATE_WRITE
  if (length <= kHugePage) madvise(at, length, MADV_POPULATE_WRITE);
#else
  (void)at;
  (void)length;
#endif
}

// Writes one byte of every page of a new range, so that each is present; returns the processor time taken.
// Unlike a fill in one call (which holds the process's lock on its mappings throughout, so that mapping or
// unmapping anything meanwhile waits), each fault locks only its own mapping: the helper's fills do not
// hold up the caller.
double Touch(char* at, size_t length) {
  double start = ThreadSeconds();
  for (size_t offset = 0; offset < length; offset += kPage) static_cast<volatile char*>(at)[offset] = 0;
  return ThreadSeconds() - start;
}

// The policy and the mappings filled ahead, shared by the caller and the helper thread. Never destroyed:
// blocks may still be returned while the process ends, and the helper ends with it.
struct Ahead {
  static constexpr uint32_t kMostReady = 8;  // 16 MB at most filled ahead
  HugePolicy huge;
  std::mutex lock;
  std::condition_variable wake;
  char* ready[kMostReady] = {};
  uint32_t count = 0;    // ready mappings
  uint32_t want = 0;     // ready mappings to keep; doubles each time the caller finds none
  uint32_t filling = 0;  // mappings the helper is filling now
  double asked = 0;      // when the caller last asked for a mapping (monotonic seconds)
  bool started = false;
  bool running = false;  // the helper was started
};

Ahead& ahead = *new Ahead;

template <typename Work>
auto Locked(Work work) {
  std::lock_guard<std::mutex> hold(ahead.lock);
  return work();
}

// Fills the huge page's span at `at`, advised for a huge page first when advise is set; the policy learns
// from every fill.
void FillHugePage(char* at, bool advise) {
  if (advise) AdviseHuge(at, kHugePage);
  double seconds = Touch(at, kHugePage);
  Locked([advise, seconds] { Judge(ahead.huge, advise, seconds); });
}

// One new mapping of a huge page, advised and filled as the policy says.
char* FillOneHugePage() {
  char* at = MapAligned(kHugePage);
  if (at) FillHugePage(at, Locked([] { return WantHuge(ahead.huge, kHugePage); }));
  return at;
}

double MonotonicSeconds() {
  timespec now;
  clock_gettime(CLOCK_MONOTONIC, &now);
  return double(now.tv_sec) + double(now.tv_nsec) * 1e-9;
}

// Time after the caller's last request in which the helper still fills: a loaded sheet then being read
// keeps both processors to itself.
constexpr double kIdleAfter = 10e-3;

#ifndef XLSX_NO_THREADS
// The helper: keeps `want` mappings ready while the caller asks for them, for as long as the process runs.
void Helper() {
  std::unique_lock<std::mutex> hold(ahead.lock);
  for (;;) {
    if (ahead.count + ahead.filling >= ahead.want || MonotonicSeconds() - ahead.asked > kIdleAfter) {
      ahead.wake.wait(hold);
      continue;
    }
    ++ahead.filling;
    hold.unlock();
    char* at = FillOneHugePage();
    hold.lock();
    --ahead.filling;
    if (!at) {
      ahead.want = 0;  // memory runs short: the caller's own requests will say so
    } else if (ahead.count < ahead.want) {
      ahead.ready[ahead.count++] = at;
    } else {
      munmap(at, kHugePage);
    }
  }
}
#endif

// Starts the helper on the first request where a second processor can fill beside the caller (a process
// pinned to one would only be slowed); false when there is none. Called with the lock held.
bool HelperRunning() {
#ifdef XLSX_NO_THREADS
  return false;
#else
  if (!ahead.started) {
    ahead.started = true;
    cpu_set_t allowed;
    bool second = sched_getaffinity(0, sizeof allowed, &allowed) == 0 ? CPU_COUNT(&allowed) >= 2
                                                                       : std::thread::hardware_concurrency() >= 2;
    try {
      if (second) std::thread(Helper).detach();
      ahead.running = second;
    } catch (...) {  // std::system_error, or std::bad_alloc for the thread's state
    }
  }
  return ahead.running;
#endif
}

// A mapping of one huge page: one the helper filled, else one filled here.
char* HugePageMapping() {
  char* at = nullptr;
  {
    std::lock_guard<std::mutex> hold(ahead.lock);
    if (HelperRunning()) {
      ahead.asked = MonotonicSeconds();
      if (ahead.count > 0) {
        at = ahead.ready[--ahead.count];
      } else {
        ahead.want = std::min(std::max(2u, ahead.want * 2), Ahead::kMostReady);
      }
      ahead.wake.notify_one();
    }
  }
  return at ? at : FillOneHugePage();
}

}  // namespace

char* MapAligned(size_t length) {
  size_t slack = length >= kHugePage ? kHugePage : 0;
  if (length + slack < length) return nullptr;
  void* raw = mmap(nullptr, length + slack, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (raw == MAP_FAILED) return nullptr;
  char* start = static_cast<char*>(raw);
  if (slack == 0) return start;
  char* aligned = reinterpret_cast<char*>((reinterpret_cast<uintptr_t>(start) + kHugePage - 1) & ~(kHugePage - 1));
  if (aligned > start) munmap(start, size_t(aligned - start));
  size_t after = size_t(start + length + slack - (aligned + length));
  if (after) munmap(aligned + length, after);
  return aligned;
}

namespace {

// The probes at the start of a large new block: a span in 4 KB pages unless one was timed, then a huge page.
void Probe(char* at, size_t length) {
  if (Locked([] { return ahead.huge.small_fill == 0; })) {
    FillHugePage(at, false);
    at += kHugePage;
    length -= kHugePage;
  }
  if (length >= kHugePage) FillHugePage(at, true);
}

}  // namespace

char* FreshMapping(size_t length) {
  if (length == kHugePage) return HugePageMapping();
  char* at = MapAligned(length);
  if (!at) return nullptr;
  // A block larger than a huge page asked for before the policy has judged: its first huge pages are the
  // policy's probes, one filled in 4 KB pages, one in a huge page (such blocks are written from their
  // start: a part's text, a buffer being filled), so that the rest is advised for huge pages when they
  // prove cheap rather than faulted in 4 KB at a time.
  if (length > kHugePage && !Locked([] { return ahead.huge.judged; })) Probe(at, length);
  if (Locked([length] { return WantHuge(ahead.huge, length); })) AdviseHuge(at, length);
  Populate(at, length);
  return at;
}

void FreshGrown(char* at, size_t old_length, size_t length) {
  if (Locked([length] { return WantHuge(ahead.huge, length); })) AdviseHuge(at, length);
  Populate(at + old_length, length - old_length);
}

void FreshReleased(size_t length) {
  if (length < kHugePage) return;
  char* drop[Ahead::kMostReady];
  uint32_t dropped;
  {
    std::lock_guard<std::mutex> hold(ahead.lock);
    ahead.want = 0;
    dropped = ahead.count;
    std::copy(ahead.ready, ahead.ready + dropped, drop);
    ahead.count = 0;
  }
  for (uint32_t i = 0; i < dropped; ++i) munmap(drop[i], kHugePage);
}

#endif

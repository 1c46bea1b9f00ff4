#include "tests/support/fault_alloc.h"

#include <gtest/gtest.h>

#include "lib/base/alloc.h"

namespace xlsx_test {
namespace {

struct FaultState {
  bool active = false;
  uint32_t calls = 0;
  uint32_t fail_at = 0;
  bool keep_failing = false;
  uint32_t failures = 0;
  uint32_t reports = 0;
  uint32_t last_report = 0;
  XlsxHostOps underlying{};
};

FaultState g_state;

bool should_fail() {
  ++g_state.calls;
  bool fail = g_state.fail_at != 0 &&
              (g_state.calls == g_state.fail_at || (g_state.keep_failing && g_state.calls > g_state.fail_at));
  if (fail) ++g_state.failures;
  return fail;
}

void* faulty_malloc(uint32_t size) { return should_fail() ? nullptr : g_state.underlying.malloc_fn(size); }
void* faulty_calloc(uint32_t count, uint32_t size) {
  return should_fail() ? nullptr : g_state.underlying.calloc_fn(count, size);
}
void* faulty_realloc(void* block, uint32_t size) {
  return should_fail() ? nullptr : g_state.underlying.realloc_fn(block, size);
}

void counting_oom_handler(uint32_t size) {
  ++g_state.reports;
  g_state.last_report = size;
}

}  // namespace

FaultAllocation::FaultAllocation(uint32_t fail_at, bool keep_failing)
    : previous_(*xlsx_host_ops()), previous_handler_(xlsx_oom_handler()) {
  EXPECT_FALSE(g_state.active) << "only one FaultAllocation may be alive";
  g_state = FaultState{};
  g_state.active = true;
  g_state.fail_at = fail_at;
  g_state.keep_failing = keep_failing;
  g_state.underlying = previous_;
  XlsxHostOps ops = previous_;
  ops.malloc_fn = faulty_malloc;
  ops.calloc_fn = faulty_calloc;
  ops.realloc_fn = faulty_realloc;
  xlsx_set_host_ops(&ops);
  xlsx_set_oom_handler(counting_oom_handler);
}

FaultAllocation::~FaultAllocation() {
  xlsx_set_host_ops(&previous_);
  xlsx_set_oom_handler(previous_handler_);
  g_state.active = false;
}

uint32_t FaultAllocation::calls() const { return g_state.calls; }
uint32_t FaultAllocation::failures() const { return g_state.failures; }
uint32_t FaultAllocation::reports() const { return g_state.reports; }
uint32_t FaultAllocation::last_report() const { return g_state.last_report; }

void FaultAllocation::fail_after(uint32_t n, bool keep_failing) {
  g_state.fail_at = n == 0 ? 0 : g_state.calls + n;
  g_state.keep_failing = keep_failing;
}

uint32_t for_each_allocation_failure(const std::function<void(FaultAllocation&)>& attempt, uint32_t max_runs) {
  for (uint32_t fail_at = 1; fail_at <= max_runs; ++fail_at) {
    FaultAllocation fault(fail_at);
    attempt(fault);
    if (fault.failures() == 0) return fault.calls();
  }
  ADD_FAILURE() << "allocation-failure loop did not finish within " << max_runs << " runs";
  return 0;
}

}  // namespace xlsx_test

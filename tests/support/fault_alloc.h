// Allocation-failure injection for tests: a host table whose malloc, calloc and realloc count their calls
// and fail on a chosen one. Only one FaultAllocation may be alive at a time.
#pragma once

#include <cstdint>
#include <functional>

#include "lib/base/alloc.h"
#include "lib/base/host_ops.h"

namespace xlsx_test {

class FaultAllocation {
 public:
  // Installs the failing table over the current one. fail_at is 1-based, counted over malloc, calloc and
  // realloc calls made from now on; 0 never fails. With keep_failing every call from fail_at on fails.
  // The out-of-memory handler is replaced by a silent one that counts reports (see reports()).
  explicit FaultAllocation(uint32_t fail_at, bool keep_failing = false);
  // Restores the host table and the out-of-memory handler that were in place before.
  ~FaultAllocation();
  FaultAllocation(const FaultAllocation&) = delete;
  FaultAllocation& operator=(const FaultAllocation&) = delete;

  uint32_t calls() const;        // allocation calls seen so far
  uint32_t failures() const;     // calls made to fail so far
  uint32_t reports() const;      // out-of-memory reports received
  uint32_t last_report() const;  // size passed with the latest report
  // Changes the failing call, counted from the calls seen so far (calls() + n); 0 stops failing.
  void fail_after(uint32_t n, bool keep_failing = false);

 private:
  XlsxHostOps previous_;
  XlsxOomHandler previous_handler_;
};

// Runs attempt with the 1st, 2nd, 3rd, ... allocation failing, one run each, until a run makes no
// allocation fail (every allocation of the operation has then been made to fail once). The attempt
// receives the active FaultAllocation and checks the outcome itself: with failures() > 0 the operation
// must report failure and leave its object unchanged. Returns the number of allocations of the final,
// unhindered run. Stops (and fails the current test) after max_runs runs.
uint32_t for_each_allocation_failure(const std::function<void(FaultAllocation&)>& attempt, uint32_t max_runs = 100000);

}  // namespace xlsx_test

// Allocation failure through the whole life of a realistic workbook: the n-th allocation of the library
// fails, for n = 1, 2, ... through open, edits and save. Every run either succeeds or fails with
// XLSX_ERR_NO_MEMORY; an open that failed leaves the document closed; after any failure the document
// stays usable (saving again, with memory back, writes every edit that reported success); a failed save
// leaves the target file as it was; and each run gives back every block it took.
#include <gtest/gtest.h>

#include <string>

#include "lib/document/document.h"
#include "tests/faults/workbook_edits.h"
#include "tests/support/fault_alloc.h"
#include "tests/support/live_allocations.h"
#include "tests/support/temp_dir.h"
#include "tests/support/zip.h"

namespace {

const std::string kWorkbook = xlsx_test::corpus_file("good");
const std::string kBefore = "the file that was there before";

class AllocationFailure : public xlsx_test::CountedTest {
 protected:
  xlsx_test::TempDir dir_;
};

// One run: open, edit, save with the fault armed; then, with memory back, save again and check.
void run_once(xlsx_test::FaultAllocation& fault, const std::string& target, bool keep_failing_after) {
  uint32_t live = xlsx_live_allocations();
  xlsx_test::write_bytes(target, kBefore);
  XlsxDocument* document = xlsx_document_new();
  if (!document) {
    EXPECT_GT(fault.failures(), 0u);
    return;
  }
  xlsx_status status = xlsx_document_open(document, kWorkbook.c_str());
  if (status != XLSX_OK) {
    EXPECT_EQ(status, XLSX_ERR_NO_MEMORY);
    EXPECT_GT(fault.failures(), 0u);
    EXPECT_FALSE(xlsx_document_is_open(document));
  } else {
    xlsx_test::EditLog log = xlsx_test::apply_edits(document);
    EXPECT_TRUE(log.first_failure == XLSX_OK || log.first_failure == XLSX_ERR_NO_MEMORY)
        << "status " << log.first_failure << " (text " << log.text << ", number " << log.number << ", far " << log.far
        << ", formula " << log.formula << ", sheet " << log.sheet << ", renamed " << log.renamed << ") at allocation "
        << fault.calls();
    status = xlsx_document_save_as(document, target.c_str());
    if (status != XLSX_OK) {
      EXPECT_EQ(status, XLSX_ERR_NO_MEMORY);
      EXPECT_EQ(xlsx_test::read_bytes(target), kBefore) << "a failed save changed the target";
    }
    if (status != XLSX_OK || log.first_failure != XLSX_OK || log.lookup_failed) {
      EXPECT_GT(fault.failures(), 0u);
    }
    if (!keep_failing_after) {
      fault.fail_after(0);
      EXPECT_EQ(xlsx_document_save_as(document, target.c_str()), XLSX_OK) << "the document is not usable";
      xlsx_document_close(document);
      EXPECT_EQ(xlsx_document_open(document, target.c_str()), XLSX_OK);
      EXPECT_EQ(xlsx_test::missing_edits(document, log), "") << "edits that reported success were lost";
    }
  }
  xlsx_document_free(document);
  EXPECT_EQ(xlsx_live_allocations(), live) << "blocks left after failing allocation " << fault.calls();
}

TEST_F(AllocationFailure, EveryAllocationOfOpenEditsAndSaveFailsOnceWithoutHarm) {
  std::string target = dir_.file("target.xlsx");
  uint32_t runs = 0;
  uint32_t total = xlsx_test::for_each_allocation_failure([&](xlsx_test::FaultAllocation& fault) {
    ++runs;
    run_once(fault, target, false);
  });
  EXPECT_GT(total, 100u) << "the workbook is too small to exercise the library";
  RecordProperty("runs", std::to_string(runs));
}

// Memory that stays gone: every allocation from the n-th on fails (n stepping through the first run's
// allocations). The document must fail cleanly and release everything when freed.
TEST_F(AllocationFailure, MemoryThatStaysExhaustedFailsCleanlyAndReleasesEverything) {
  std::string target = dir_.file("target.xlsx");
  uint32_t total = 0;
  {
    xlsx_test::FaultAllocation count_only(0);
    run_once(count_only, target, true);
    total = count_only.calls();
  }
  ASSERT_GT(total, 100u);
  for (uint32_t n = 1; n <= total; n += 7) {
    xlsx_test::FaultAllocation fault(n, true);
    run_once(fault, target, true);
    if (HasFailure()) {
      ADD_FAILURE() << "first failing allocation " << n;
      break;
    }
  }
}

}  // namespace

// Failure through the whole life of the corpus's reference workbook. Allocation: the n-th allocation of
// the library fails, for n = 1, 2, ... through open, edits and save; every run succeeds or fails with
// XLSX_ERR_NO_MEMORY, a failed open leaves the document closed, after any failure the document stays usable
// (saving again with memory back writes every edit that reported success), a failed save leaves the target
// as it was, and each run gives back every block it took. Files: open, close, seek, tell, read, write and
// rename fail one at a time at every step of a save of an edited workbook; a failed save reports an error
// and leaves the target byte for byte as it was, with no temporary file beside it; a later save succeeds.
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "lib/base/alloc.h"
#include "lib/document/document.h"
#include "lib/sheet/cell.h"
#include "tests/support/book.h"
#include "tests/support/failing_files.h"
#include "tests/support/fault_alloc.h"
#include "tests/support/live_allocations.h"
#include "tests/support/temp_dir.h"
#include "tests/support/zip.h"

namespace {

const std::string kWorkbook = xlsx_test::corpus_file("good");
const std::string kBefore = "the file that was there before";

// Runs work on the first sheet; the status of the lookup or of the work.
xlsx_status on_first_sheet(XlsxDocument* doc, const std::function<xlsx_status(XlsxWorksheet*)>& work) {
  XlsxWorksheet sheet;
  xlsx_status status = xlsx_workbook_worksheet_at(xlsx_document_workbook(doc), 1, &sheet);
  return status == XLSX_OK ? work(&sheet) : status;
}
// The value of a stored cell read through the value getters ("s:text", "i:4711", "d:1.500000"), or its
// formula ("f:B2*2"); "<none>" when neither can be read.
std::string cell_as_edited(const XlsxCell& cell) {
  std::string text = "<none>";
  XlsxText formula{nullptr};
  XlsxCellValue value;
  xlsx_value_init(&value);
  const char* got = nullptr;
  int64_t integer = 0;
  double number = 0;
  if (xlsx_cell_has_formula(&cell)) {
    if (xlsx_cell_get_formula(&cell, &formula) == XLSX_OK) text = "f:" + std::string(xlsx_text_get(&formula));
  } else if (xlsx_cell_get_value(&cell, &value) == XLSX_OK) {
    if (xlsx_value_get_text(&value, &got) == XLSX_OK) text = "s:" + std::string(got);
    if (xlsx_value_get_int(&value, &integer) == XLSX_OK) text = "i:" + std::to_string(integer);
    if (xlsx_value_get_float(&value, &number) == XLSX_OK) text = "d:" + std::to_string(number);
  }
  xlsx_free(formula.text);
  xlsx_value_reset(&value);
  return text;
}

// The edits made to the workbook: a cell of the first sheet is given a value or a formula, as cell() reads
// it back ("s:", "i:", "d:", "f:"); a sheet is added ("+:name"), the second sheet renamed ("r:name"). Then
// 150 texts new to the shared strings table, so that its index certainly holds texts meeting in one slot.
struct Edit {
  uint32_t row, column;  // 0 for an edit of the sheet list
  std::string change;
};
std::vector<Edit> edits() {
  std::vector<Edit> all = {{1, 1, "s:changed text"}, {2, 2, "i:4711"}, {1048576, 16384, "d:1.500000"},
                           {3, 3, "f:B2*2"},         {0, 0, "+:Extra"}, {0, 0, "r:Renamed"}};
  for (uint32_t row = 10; row < 160; row++) all.push_back({row, 5, "s:text " + std::to_string(row)});
  return all;
}
const std::vector<Edit> kEdits = edits();

xlsx_status apply(XlsxDocument* doc, const Edit& edit) {
  const char kind = edit.change[0], *text = edit.change.c_str() + 2;
  XlsxWorkbook* workbook = xlsx_document_workbook(doc);
  if (kind == '+') return xlsx_workbook_add_sheet(workbook, text);
  if (kind == 'r') {
    // The sheet-list getters have no status: while memory is exhausted they answer as for a sheet that
    // does not exist, so that the rename cannot be attempted; that counts as a failure of memory.
    const char* rel_id = xlsx_workbook_sheet_rid(workbook, xlsx_workbook_sheet_name_at(workbook, 2));
    return *rel_id ? xlsx_workbook_rename_sheet(workbook, rel_id, text) : XLSX_ERR_NO_MEMORY;
  }
  return on_first_sheet(doc, [&](XlsxWorksheet* sheet) {
    XlsxCell cell;
    xlsx_status status = xlsx_sheet_cell(sheet, edit.row, edit.column, &cell);
    if (status != XLSX_OK || kind == 'f') return status == XLSX_OK ? xlsx_cell_set_formula(&cell, text) : status;
    return xlsx_test::set_value(cell, [&](XlsxCellValue* v) {
      return kind == 's' ? xlsx_value_set_string(v, text)
             : kind == 'i' ? xlsx_value_set_int(v, std::strtoll(text, nullptr, 10))
                           : xlsx_value_set_float(v, std::strtod(text, nullptr));
    });
  });
}
// Whether a reopened document holds the edit.
bool held(XlsxDocument* doc, const Edit& edit) {
  if (!edit.row) return xlsx_workbook_sheet_exists(xlsx_document_workbook(doc), edit.change.c_str() + 2);
  XlsxCell cell;
  auto find = [&](XlsxWorksheet* sheet) { return xlsx_sheet_find_cell(sheet, edit.row, edit.column, &cell); };
  return on_first_sheet(doc, find) == XLSX_OK && cell_as_edited(cell) == edit.change;
}

// Which edits reported success; the first status that was not XLSX_OK (XLSX_OK when none).
struct EditLog {
  std::vector<bool> done;
  xlsx_status first_failure = XLSX_OK;
};
EditLog apply_edits(XlsxDocument* doc) {
  EditLog log;
  for (const Edit& edit : kEdits) {
    xlsx_status status = apply(doc, edit);
    log.done.push_back(status == XLSX_OK);
    if (status != XLSX_OK && log.first_failure == XLSX_OK) log.first_failure = status;
  }
  return log;
}
// "" when the document at path opens and holds every edit that log says succeeded, else what is missing.
std::string missing_edits(const std::string& path, const EditLog& log) {
  XlsxDocument* doc = xlsx_document_new();
  bool opened = xlsx_document_open(doc, path.c_str()) == XLSX_OK;
  std::string missing = opened ? "" : "the file does not open";
  for (size_t i = 0; opened && i < log.done.size(); i++) {
    if (log.done[i] && !held(doc, kEdits[i])) missing += " " + kEdits[i].change;
  }
  xlsx_document_free(doc);
  return missing;
}

class DocumentFailure : public xlsx_test::CountedTest {
 protected:
  // One run: open, edit, save with the allocation fault armed; then, unless memory stays exhausted, save
  // again with memory back and check the file.
  void run_once(xlsx_test::FaultAllocation& fault, bool keep_failing_after) {
    uint32_t live = xlsx_live_allocations();
    xlsx_test::write_bytes(target_, kBefore);
    XlsxDocument* doc = xlsx_document_new();
    xlsx_status status = doc ? xlsx_document_open(doc, kWorkbook.c_str()) : XLSX_ERR_NO_MEMORY;
    if (status != XLSX_OK) {
      EXPECT_EQ(status, XLSX_ERR_NO_MEMORY);
      EXPECT_GT(fault.failures(), 0u);
      EXPECT_TRUE(!doc || !xlsx_document_is_open(doc));
    } else {
      EditLog log = apply_edits(doc);
      EXPECT_TRUE(log.first_failure == XLSX_OK || log.first_failure == XLSX_ERR_NO_MEMORY)
          << "status " << log.first_failure << " at allocation " << fault.calls();
      status = xlsx_document_save_as(doc, target_.c_str());
      if (status != XLSX_OK) {
        EXPECT_EQ(status, XLSX_ERR_NO_MEMORY);
        EXPECT_EQ(xlsx_test::read_bytes(target_), kBefore) << "a failed save changed the target";
      }
      EXPECT_TRUE((status == XLSX_OK && log.first_failure == XLSX_OK) || fault.failures() > 0) << "failure unasked";
      if (!keep_failing_after) {
        fault.fail_after(0);
        EXPECT_EQ(xlsx_document_save_as(doc, target_.c_str()), XLSX_OK) << "the document is not usable";
        EXPECT_EQ(missing_edits(target_, log), "") << "edits that reported success were lost";
      }
    }
    xlsx_document_free(doc);
    EXPECT_EQ(xlsx_live_allocations(), live) << "blocks left after failing allocation " << fault.calls();
  }

  xlsx_test::TempDir dir_;
  std::string target_ = dir_.file("book.xlsx");
};

TEST_F(DocumentFailure, EveryAllocationOfOpenEditsAndSaveFailsOnceWithoutHarm) {
  uint32_t total = xlsx_test::for_each_allocation_failure([&](xlsx_test::FaultAllocation& f) { run_once(f, false); });
  EXPECT_GT(total, 100u) << "the workbook is too small to exercise the library";
}

// Memory that stays gone: every allocation from the n-th on fails (n stepping through the first run's
// allocations); the document fails cleanly and releases everything when freed.
TEST_F(DocumentFailure, MemoryThatStaysExhaustedFailsCleanlyAndReleasesEverything) {
  uint32_t total = 0;
  {
    xlsx_test::FaultAllocation count_only(0);
    run_once(count_only, true);
    total = count_only.calls();
  }
  ASSERT_GT(total, 100u);
  for (uint32_t n = 1; n <= total && !HasFailure(); n += 7) {
    xlsx_test::FaultAllocation fault(n, true);
    run_once(fault, true);
    if (HasFailure()) ADD_FAILURE() << "first failing allocation " << n;
  }
}

TEST_F(DocumentFailure, SaveFailingAtEachFileOperationKeepsTheTargetAndALaterSaveSucceeds) {
  const std::string original = xlsx_test::read_bytes(kWorkbook);
  uint32_t fail_at = 1;
  for (bool injected = true; injected; ++fail_at) {
    ASSERT_LT(fail_at, 1000u);
    xlsx_test::write_bytes(target_, original);
    XlsxDocument* doc = xlsx_document_new();
    ASSERT_EQ(xlsx_document_open(doc, target_.c_str()), XLSX_OK);
    EditLog log = apply_edits(doc);
    ASSERT_EQ(log.first_failure, XLSX_OK);
    auto files = std::make_unique<xlsx_test::FailingFiles>(fail_at);
    xlsx_status status = xlsx_document_save(doc);
    injected = files->failures() > 0;
    std::string failed = files->failed_operation();
    files.reset();
    SCOPED_TRACE("file operation " + std::to_string(fail_at) + " (" + failed + ") failed");
    // A failure while the new file is written, closed or put in place keeps the old bytes exactly; only a
    // failure after the new file was complete and in place may leave it there.
    if (failed == "write" || failed == "rename" || failed == "close") {
      EXPECT_NE(status, XLSX_OK);
      EXPECT_EQ(xlsx_test::read_bytes(target_), original);
    }
    if (status == XLSX_OK || xlsx_test::read_bytes(target_) != original) {
      EXPECT_EQ(missing_edits(target_, log), "");
    }
    EXPECT_TRUE(injected || status == XLSX_OK) << "status " << status << " with no failure injected";
    EXPECT_EQ(xlsx_test::list_dir(dir_.path()), std::vector<std::string>{"book.xlsx"}) << "a temporary file was left";
    EXPECT_EQ(xlsx_document_save(doc), XLSX_OK) << "the later save failed";
    EXPECT_EQ(missing_edits(target_, log), "") << "the later save";
    xlsx_document_free(doc);
  }
  EXPECT_GE(fail_at, 6u) << "a save makes too few file operations to have been exercised";
}

}  // namespace

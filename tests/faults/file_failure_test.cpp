// File-system failure during a save: open, close, seek, tell, read, write and rename of the host's files
// fail one at a time, at every step of a save of an edited workbook. A failed save reports an error and
// leaves the target file byte for byte as it was, with no temporary file beside it; a later save
// succeeds and writes every edit.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "lib/document/document.h"
#include "tests/support/failing_files.h"
#include "tests/faults/workbook_edits.h"
#include "tests/support/live_allocations.h"
#include "tests/support/temp_dir.h"
#include "tests/support/zip.h"

namespace {

const std::string kWorkbook = xlsx_test::corpus_file("good");

class FileFailure : public xlsx_test::CountedTest {
 protected:
  void SetUp() override {
    CountedTest::SetUp();
    original_ = xlsx_test::read_bytes(kWorkbook);
    ASSERT_FALSE(original_.empty());
    target_ = dir_.file("book.xlsx");
  }

  // Opens a fresh copy of the workbook at the target and edits it; null on failure.
  XlsxDocument* edited(xlsx_test::EditLog* log) {
    xlsx_test::write_bytes(target_, original_);
    XlsxDocument* document = xlsx_document_new();
    if (xlsx_document_open(document, target_.c_str()) != XLSX_OK) {
      xlsx_document_free(document);
      return nullptr;
    }
    *log = xlsx_test::apply_edits(document);
    return document;
  }

  // The target opens and holds every edit.
  void expect_saved(const xlsx_test::EditLog& log, const char* when) {
    XlsxDocument* check = xlsx_document_new();
    EXPECT_EQ(xlsx_document_open(check, target_.c_str()), XLSX_OK) << when;
    EXPECT_EQ(xlsx_test::missing_edits(check, log), "") << when;
    xlsx_document_free(check);
  }

  std::string original_;
  std::string target_;
  xlsx_test::TempDir dir_;
};

TEST_F(FileFailure, SaveFailingAtEachFileOperationKeepsTheTargetAndALaterSaveSucceeds) {
  uint32_t steps = 0;
  for (uint32_t fail_at = 1; fail_at < 1000; ++fail_at) {
    xlsx_test::EditLog log;
    XlsxDocument* document = edited(&log);
    ASSERT_NE(document, nullptr);
    ASSERT_EQ(log.first_failure, XLSX_OK);
    xlsx_status status;
    std::string failed;
    bool injected;
    {
      xlsx_test::FailingFiles files(fail_at);
      status = xlsx_document_save(document);
      injected = files.failures() > 0;
      failed = files.failed_operation();
    }
    SCOPED_TRACE("file operation " + std::to_string(fail_at) + " (" + failed + ") failed");
    if (!injected) {
      EXPECT_EQ(status, XLSX_OK);
      xlsx_document_free(document);
      steps = fail_at - 1;
      break;
    }
    // A failure while the new file is written, closed or put in place keeps the old bytes exactly.
    if (failed == "write" || failed == "rename" || failed == "close") {
      EXPECT_NE(status, XLSX_OK);
      EXPECT_EQ(xlsx_test::read_bytes(target_), original_);
    }
    if (status != XLSX_OK) {
      std::string now = xlsx_test::read_bytes(target_);
      if (now != original_) {
        // Only a failure after the new file was complete and in place may leave it there.
        expect_saved(log, "target replaced by a save that reported failure");
      }
    } else {
      expect_saved(log, "save that reported success");
    }
    EXPECT_EQ(xlsx_test::list_dir(dir_.path()), std::vector<std::string>{"book.xlsx"}) << "a temporary file was left";
    EXPECT_EQ(xlsx_document_save(document), XLSX_OK) << "the later save failed";
    expect_saved(log, "the later save");
    xlsx_document_free(document);
  }
  EXPECT_GE(steps, 4u) << "a save makes too few file operations to have been exercised";
  RecordProperty("file_operations", std::to_string(steps));
}

}  // namespace

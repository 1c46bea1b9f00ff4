// Allocation failure at every step of opening, editing and saving: a clean status, nothing leaked, and
// the object unchanged and still usable.
#include <cstdio>

#include "lib/base/alloc.h"
#include "lib/package/properties.h"
#include "tests/package/document_test_fixture.h"
#include "tests/support/fault_alloc.h"

namespace {

using xlsx_test::FaultAllocation;

std::string part_text(XlsxPart* part) {
  char* text = nullptr;
  uint32_t length = 0;
  EXPECT_EQ(xlsx_part_serialize(part, &text, &length), XLSX_OK);
  std::string out(text ? text : "", length);
  xlsx_free(text);
  return out;
}

TEST_F(DocumentTest, OpenUnderAllocationFailureFailsCleanly) {
  pkg_test::write_bytes(path("in.xlsx"), pkg_test::make_zip(pkg_test::minimal_workbook_parts()));
  uint32_t runs = 0;
  xlsx_test::for_each_allocation_failure([&](FaultAllocation& fault) {
    runs++;
    uint32_t at_start = xlsx_live_allocations();
    xlsx_status status = xlsx_document_open(doc_, path("in.xlsx").c_str());
    if (fault.failures() > 0) {
      EXPECT_EQ(status, XLSX_ERR_NO_MEMORY);
      EXPECT_FALSE(xlsx_document_is_open(doc_));
    } else {
      EXPECT_EQ(status, XLSX_OK);
      fault.fail_after(0);
      EXPECT_STREQ(xlsx_sst_get(xlsx_document_shared_strings(doc_), 0), "hello");
    }
    xlsx_document_close(doc_);
    EXPECT_EQ(xlsx_live_allocations(), at_start) << "failing allocation " << runs;
  });
  EXPECT_GT(runs, 20u);
}

TEST_F(DocumentTest, FailedSaveForLackOfMemoryKeepsTheFileAndALaterSaveWorks) {
  ASSERT_EQ(open_parts(pkg_test::minimal_workbook_parts(), "book.xlsx"), XLSX_OK);
  std::string original = pkg_test::read_bytes(path("book.xlsx"));
  std::string title;
  for (uint32_t n = 1;; n++) {
    ASSERT_LT(n, 2000u);
    title = "run " + std::to_string(n);
    ASSERT_EQ(xlsx_document_set_property(doc_, XLSX_PROP_TITLE, title.c_str()), XLSX_OK);
    ASSERT_GE(xlsx_sst_append(xlsx_document_shared_strings(doc_), title.c_str()), 0);
    FaultAllocation fault(n);
    xlsx_status status = xlsx_document_save(doc_);
    if (fault.failures() == 0) {
      ASSERT_EQ(status, XLSX_OK);
      break;
    }
    ASSERT_EQ(status, XLSX_ERR_NO_MEMORY) << "allocation " << n;
    ASSERT_EQ(pkg_test::read_bytes(path("book.xlsx")), original) << "allocation " << n;
    ASSERT_TRUE(xlsx_document_is_open(doc_));
  }
  XlsxDocument* again = xlsx_document_new();
  ASSERT_EQ(xlsx_document_open(again, path("book.xlsx").c_str()), XLSX_OK);
  EXPECT_EQ(xlsx_document_get_property(again, XLSX_PROP_TITLE), title);
  EXPECT_GE(xlsx_sst_find(xlsx_document_shared_strings(again), title.c_str()), 1);
  xlsx_document_free(again);
}

TEST_F(DocumentTest, PropertyEditsUnderAllocationFailureChangeNothing) {
  ASSERT_EQ(xlsx_document_create(doc_, path("t.xlsx").c_str()), XLSX_OK);
  std::string core = part_text(xlsx_document_core_properties(doc_));
  std::string app = part_text(xlsx_document_app_properties(doc_));
  xlsx_test::for_each_allocation_failure([&](FaultAllocation& fault) {
    xlsx_status a = xlsx_document_set_property(doc_, XLSX_PROP_KEYWORDS, "a fairly long keyword text");
    xlsx_status b = xlsx_app_add_title(xlsx_document_app_properties(doc_), "Another sheet with a long name");
    if (fault.failures() == 0) return;
    fault.fail_after(0);
    if (a != XLSX_OK) {
      EXPECT_EQ(a, XLSX_ERR_NO_MEMORY);
      EXPECT_EQ(part_text(xlsx_document_core_properties(doc_)), core);
    } else {
      EXPECT_EQ(xlsx_document_delete_property(doc_, XLSX_PROP_KEYWORDS), XLSX_OK);
    }
    if (b != XLSX_OK) {
      EXPECT_EQ(b, XLSX_ERR_NO_MEMORY);
      EXPECT_EQ(part_text(xlsx_document_app_properties(doc_)), app);
    } else {
      EXPECT_EQ(xlsx_app_remove_title(xlsx_document_app_properties(doc_), "Another sheet with a long name"), XLSX_OK);
    }
  });
}

TEST_F(DocumentTest, SharedStringAppendUnderAllocationFailureChangesNothing) {
  ASSERT_EQ(open_parts(pkg_test::minimal_workbook_parts()), XLSX_OK);
  XlsxSharedStrings* sst = xlsx_document_shared_strings(doc_);
  xlsx_sst_find(sst, "hello");  // build the index outside the failing runs
  std::string before = part_text(sst->part);
  xlsx_test::for_each_allocation_failure([&](FaultAllocation& fault) {
    int32_t index = xlsx_sst_append(sst, " spaced text ");
    fault.fail_after(0);
    if (index < 0) {
      EXPECT_EQ(xlsx_sst_count(sst), 1u);
      EXPECT_EQ(part_text(sst->part), before);
    } else {
      EXPECT_EQ(index, int32_t(xlsx_sst_count(sst) - 1));
      EXPECT_STREQ(xlsx_sst_get(sst, uint32_t(index)), " spaced text ");
    }
  });
  EXPECT_EQ(xlsx_sst_find(sst, " spaced text "), 1);
}

TEST_F(DocumentTest, SharedStringsThatCannotBeReadForLackOfMemoryAreReadLater) {
  ASSERT_EQ(open_parts(pkg_test::minimal_workbook_parts()), XLSX_OK);
  XlsxSharedStrings* sst = xlsx_document_shared_strings(doc_);
  xlsx_test::for_each_allocation_failure([&](FaultAllocation& fault) {
    const char* text = xlsx_sst_get(sst, 0);
    fault.fail_after(0);
    if (*text == '\0') {
      EXPECT_EQ(sst->loaded, 0u);
    }
    EXPECT_STREQ(xlsx_sst_get(sst, 0), "hello");
    EXPECT_EQ(xlsx_sst_count(sst), 1u);
  });
}

TEST_F(DocumentTest, ArchivePutUnderAllocationFailureKeepsTheOldEntry) {
  ASSERT_EQ(open_parts(pkg_test::minimal_workbook_parts()), XLSX_OK);
  XlsxArchive* archive = xlsx_document_archive(doc_);
  xlsx_test::for_each_allocation_failure([&](FaultAllocation& fault) {
    xlsx_status put = xlsx_archive_put_entry(archive, "xl/new.xml", "<new/>", 6);
    fault.fail_after(0);
    if (put != XLSX_OK) {
      EXPECT_EQ(put, XLSX_ERR_NO_MEMORY);
      EXPECT_FALSE(xlsx_archive_has_entry(archive, "xl/new.xml"));
    } else {
      EXPECT_EQ(xlsx_archive_delete_entry(archive, "xl/new.xml"), 1);
    }
  });
}

}  // namespace

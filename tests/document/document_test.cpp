// The document binds a shared strings table and a workbook object to the package it opens, and drops
// them with the package; failures leave the model in step with the package.
#include <gtest/gtest.h>

#include "lib/document/document.h"
#include "tests/document/document_fixture.h"
#include "lib/sheet/workbook.h"
#include "tests/support/fault_alloc.h"

namespace {


TEST_F(DocumentTest, OpenBindsTheSharedStringsAndTheWorkbookToThePackage) {
  ASSERT_EQ(open_parts(xlsx_test::workbook_parts()), XLSX_OK);
  EXPECT_TRUE(xlsx_document_is_open(doc_));
  EXPECT_STREQ(xlsx_sst_get(xlsx_document_shared_strings(doc_), 2), "North");
  EXPECT_EQ(xlsx_workbook_sheet_count(xlsx_document_workbook(doc_)), 2u);
  EXPECT_EQ(xlsx_document_workbook_rels(doc_), &doc_->package.workbook_rels);
  EXPECT_EQ(xlsx_document_package(doc_), &doc_->package);
  EXPECT_STREQ(xlsx_document_path(doc_), dir_.file("in.xlsx").c_str());
  ASSERT_EQ(xlsx_document_set_property(doc_, 0, "Title"), XLSX_OK);
  EXPECT_STREQ(xlsx_document_get_property(doc_, 0), "Title");
  // A file without shared strings gets a table holding the empty text; a package without workbook opens
  // without sheets and still takes texts.
  auto parts = xlsx_test::workbook_parts();
  xlsx_test::remove_part(&parts, "xl/sharedStrings.xml");
  ASSERT_EQ(open_parts(parts), XLSX_OK);
  EXPECT_EQ(xlsx_sst_count(xlsx_document_shared_strings(doc_)), 1u);
  EXPECT_EQ(xlsx_sst_append(xlsx_document_shared_strings(doc_), "x"), 1);
  ASSERT_EQ(xlsx_document_save_as(doc_, dir_.file("out.xlsx").c_str()), XLSX_OK);
  EXPECT_NE(xlsx_test::zip_entry(xlsx_test::read_bytes(dir_.file("out.xlsx")), "xl/sharedStrings.xml")
                .find("count=\"2\" uniqueCount=\"2\""),
            std::string::npos);
  ASSERT_EQ(open_parts({{"[Content_Types].xml", "<Types/>"}, {"readme.txt", "hello"}}), XLSX_OK);
  EXPECT_EQ(xlsx_workbook_sheet_count(xlsx_document_workbook(doc_)), 0u);
  EXPECT_EQ(xlsx_sst_append(xlsx_document_shared_strings(doc_), "x"), 1);
}

// A failed open leaves no model behind a closed package; a create that fails on the file leaves an open
// document as it was.
TEST_F(DocumentTest, FailuresLeaveTheModelInStepWithThePackage) {
  ASSERT_EQ(open_parts(xlsx_test::workbook_parts()), XLSX_OK);
  EXPECT_EQ(xlsx_document_create(doc_, dir_.file("no/such/folder/new.xlsx").c_str()), XLSX_ERR_IO);
  EXPECT_EQ(xlsx_workbook_sheet_count(xlsx_document_workbook(doc_)), 2u);
  EXPECT_EQ(xlsx_document_open(doc_, dir_.file("missing.xlsx").c_str()), XLSX_ERR_IO);
  EXPECT_FALSE(xlsx_document_is_open(doc_));
  EXPECT_EQ(xlsx_document_workbook(doc_), nullptr);
  EXPECT_EQ(xlsx_document_save(doc_), XLSX_ERR_INVALID_ARG);
  ASSERT_EQ(xlsx_document_create(doc_, dir_.file("new.xlsx").c_str()), XLSX_OK);
  EXPECT_EQ(xlsx_workbook_sheet_count(xlsx_document_workbook(doc_)), 1u);
  xlsx_document_close(doc_);
  EXPECT_EQ(xlsx_document_workbook(doc_), nullptr);
  EXPECT_STREQ(xlsx_document_path(doc_), "");
  xlsx_test::write_bytes(dir_.file("in.xlsx"), xlsx_test::make_zip(xlsx_test::workbook_parts()));
  xlsx_test::for_each_allocation_failure([&](xlsx_test::FaultAllocation& fault) {
    uint32_t live = xlsx_live_allocations();
    xlsx_status status = xlsx_document_open(doc_, dir_.file("in.xlsx").c_str());
    fault.fail_after(0);
    EXPECT_EQ(status, fault.failures() ? XLSX_ERR_NO_MEMORY : XLSX_OK);
    EXPECT_EQ(xlsx_document_workbook(doc_) != nullptr, status == XLSX_OK);
    if (status == XLSX_OK) {
      EXPECT_STREQ(xlsx_sst_get(xlsx_document_shared_strings(doc_), 0), "Name");
    }
    xlsx_document_close(doc_);
    EXPECT_EQ(xlsx_live_allocations(), live);
  });
  EXPECT_EQ(xlsx_document_open(nullptr, "x") + xlsx_document_open(doc_, nullptr) + xlsx_document_create(nullptr, "x") +
                xlsx_document_save_as(nullptr, "x") + xlsx_document_set_property(nullptr, 0, "x"),
            5 * XLSX_ERR_INVALID_ARG);
  xlsx_document_close(nullptr);
  xlsx_document_free(nullptr);
  EXPECT_FALSE(xlsx_document_is_open(nullptr));
  EXPECT_STREQ(xlsx_document_path(nullptr), "");
  EXPECT_STREQ(xlsx_document_get_property(nullptr, 0), "");
  EXPECT_TRUE(xlsx_document_package(nullptr) == nullptr && xlsx_document_workbook_rels(nullptr) == nullptr &&
              xlsx_document_shared_strings(nullptr) == nullptr && xlsx_document_workbook(nullptr) == nullptr);
}

}  // namespace

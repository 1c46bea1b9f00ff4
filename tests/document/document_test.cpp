// The document binds a shared strings table and a workbook object to the package it opens, and drops
// them with the package.
#include "lib/sheet/workbook.h"
#include "tests/document/document_fixture.h"
#include "tests/support/fault_alloc.h"

namespace {

TEST_F(DocumentTest, OpenBindsTheSharedStringsAndTheWorkbookToThePackage) {
  ASSERT_EQ(open_parts(pkg_test::minimal_workbook_parts()), XLSX_OK);
  EXPECT_TRUE(xlsx_document_is_open(doc_));
  EXPECT_EQ(xlsx_sst_count(xlsx_document_shared_strings(doc_)), 1u);  // read on first use, from the text
  EXPECT_STREQ(xlsx_sst_get(xlsx_document_shared_strings(doc_), 0), "hello");
  EXPECT_EQ(xlsx_workbook_sheet_count(xlsx_document_workbook(doc_)), 1u);
  EXPECT_EQ(xlsx_document_workbook_rels(doc_), &doc_->package.workbook_rels);
  EXPECT_STREQ(xlsx_document_path(doc_), path("in.xlsx").c_str());
}

// The default table of a file without one holds the empty text; the first text appended gets index 1.
TEST_F(DocumentTest, DefaultSharedStringsTakeNewTexts) {
  auto parts = pkg_test::minimal_workbook_parts();
  pkg_test::remove_part(&parts, "xl/sharedStrings.xml");
  ASSERT_EQ(open_parts(parts), XLSX_OK);
  EXPECT_EQ(xlsx_sst_count(xlsx_document_shared_strings(doc_)), 1u);
  EXPECT_STREQ(xlsx_sst_get(xlsx_document_shared_strings(doc_), 0), "");
  EXPECT_EQ(xlsx_sst_append(xlsx_document_shared_strings(doc_), "x"), 1);
  std::string sst_xml = pkg_test::zip_entry(save_as("out.xlsx"), "xl/sharedStrings.xml");
  EXPECT_NE(sst_xml.find("count=\"2\" uniqueCount=\"2\""), std::string::npos);
}

TEST_F(DocumentTest, PackageWithoutWorkbookOpensWithoutSheets) {
  ASSERT_EQ(open_parts({{"[Content_Types].xml", "<Types/>"}, {"readme.txt", "hello"}}), XLSX_OK);
  EXPECT_EQ(xlsx_workbook_sheet_count(xlsx_document_workbook(doc_)), 0u);
  EXPECT_EQ(xlsx_sst_append(xlsx_document_shared_strings(doc_), "x"), 1);
}

// A failed open, and a create that could not write its file, leave no model behind a closed package;
// a create that fails on the file leaves an open document as it was.
TEST_F(DocumentTest, FailuresLeaveTheModelInStepWithThePackage) {
  ASSERT_EQ(open_parts(pkg_test::minimal_workbook_parts()), XLSX_OK);
  EXPECT_EQ(xlsx_document_create(doc_, path("no/such/folder/new.xlsx").c_str()), XLSX_ERR_IO);
  EXPECT_TRUE(xlsx_document_is_open(doc_));
  EXPECT_EQ(xlsx_workbook_sheet_count(xlsx_document_workbook(doc_)), 1u);
  EXPECT_EQ(xlsx_document_open(doc_, path("missing.xlsx").c_str()), XLSX_ERR_IO);
  EXPECT_FALSE(xlsx_document_is_open(doc_));
  EXPECT_EQ(xlsx_document_workbook(doc_), nullptr);
  EXPECT_EQ(xlsx_document_save(doc_), XLSX_ERR_INVALID_ARG);
  ASSERT_EQ(xlsx_document_create(doc_, path("new.xlsx").c_str()), XLSX_OK);
  EXPECT_EQ(xlsx_workbook_sheet_count(xlsx_document_workbook(doc_)), 1u);
  xlsx_document_close(doc_);
  EXPECT_EQ(xlsx_document_workbook(doc_), nullptr);
  EXPECT_STREQ(xlsx_document_path(doc_), "");
}

TEST_F(DocumentTest, OpenUnderAllocationFailureFailsCleanly) {
  pkg_test::write_bytes(path("in.xlsx"), pkg_test::make_zip(pkg_test::minimal_workbook_parts()));
  xlsx_test::for_each_allocation_failure([&](xlsx_test::FaultAllocation& fault) {
    uint32_t at_start = xlsx_live_allocations();
    xlsx_status status = xlsx_document_open(doc_, path("in.xlsx").c_str());
    fault.fail_after(0);
    if (fault.failures() > 0) {
      EXPECT_EQ(status, XLSX_ERR_NO_MEMORY);
      EXPECT_FALSE(xlsx_document_is_open(doc_));
      EXPECT_EQ(xlsx_document_workbook(doc_), nullptr);
    } else {
      EXPECT_EQ(status, XLSX_OK);
      EXPECT_STREQ(xlsx_sst_get(xlsx_document_shared_strings(doc_), 0), "hello");
    }
    xlsx_document_close(doc_);
    EXPECT_EQ(xlsx_live_allocations(), at_start);
  });
}

TEST_F(DocumentTest, NullDocuments) {
  EXPECT_EQ(xlsx_document_open(nullptr, "x"), XLSX_ERR_INVALID_ARG);
  EXPECT_EQ(xlsx_document_open(doc_, nullptr), XLSX_ERR_INVALID_ARG);
  EXPECT_EQ(xlsx_document_create(nullptr, "x"), XLSX_ERR_INVALID_ARG);
  EXPECT_EQ(xlsx_document_save_as(nullptr, "x"), XLSX_ERR_INVALID_ARG);
  xlsx_document_close(nullptr);
  xlsx_document_free(nullptr);
  EXPECT_FALSE(xlsx_document_is_open(nullptr));
  EXPECT_STREQ(xlsx_document_path(nullptr), "");
  EXPECT_EQ(xlsx_document_package(nullptr), nullptr);
  EXPECT_EQ(xlsx_document_workbook_rels(nullptr), nullptr);
  EXPECT_EQ(xlsx_document_shared_strings(nullptr), nullptr);
  EXPECT_EQ(xlsx_document_workbook(nullptr), nullptr);
  EXPECT_EQ(xlsx_document_set_property(nullptr, 0, "x"), XLSX_ERR_INVALID_ARG);
  EXPECT_STREQ(xlsx_document_get_property(nullptr, 0), "");
}

}  // namespace

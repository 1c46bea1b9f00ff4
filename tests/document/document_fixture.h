// Fixture for document tests: a temporary directory, a document and helpers to build packages.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "lib/document/document.h"
#include "tests/package/package_test_util.h"
#include "tests/support/live_allocations.h"
#include "tests/support/temp_dir.h"

class DocumentTest : public xlsx_test::CountedTest {
 protected:
  void SetUp() override {
    CountedTest::SetUp();
    doc_ = xlsx_document_new();
    ASSERT_NE(doc_, nullptr);
  }
  void TearDown() override {
    xlsx_document_free(doc_);
    CountedTest::TearDown();
  }
  std::string path(const char* name) { return dir_.file(name); }
  // Writes the parts as a package and opens it.
  xlsx_status open_parts(const std::vector<pkg_test::ZipInput>& parts, const char* name = "in.xlsx") {
    pkg_test::write_bytes(path(name), pkg_test::make_zip(parts));
    return xlsx_document_open(doc_, path(name).c_str());
  }
  std::string save_as(const char* name) {
    EXPECT_EQ(xlsx_document_save_as(doc_, path(name).c_str()), XLSX_OK);
    return pkg_test::read_bytes(path(name));
  }
  XmlNode* root_of(const char* part_path) { return xlsx_part_root(xlsx_package_find_part(xlsx_document_package(doc_), part_path)); }

  xlsx_test::TempDir dir_;
  XlsxDocument* doc_ = nullptr;
};

// Fixture of the document tests: a document, a temporary folder, and packages written from parts.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "lib/document/document.h"
#include "tests/package/package_test_util.h"
#include "tests/support/live_allocations.h"

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
  xlsx_status open_parts(const std::vector<xlsx_test::ZipInput>& parts, const char* name = "in.xlsx") {
    xlsx_test::write_bytes(path(name), xlsx_test::make_zip(parts));
    return xlsx_document_open(doc_, path(name).c_str());
  }
  // Saves under name and gives the file's bytes.
  std::string save_as(const char* name) {
    EXPECT_EQ(xlsx_document_save_as(doc_, path(name).c_str()), XLSX_OK);
    return xlsx_test::read_bytes(path(name));
  }

  xlsx_test::TempDir dir_;
  XlsxDocument* doc_ = nullptr;
};

namespace pkg_test {
// The base workbook (two sheets, shared strings, both property parts) with a workbook part that holds
// its sheet list and nothing else.
inline std::vector<ZipInput> minimal_workbook_parts() {
  std::vector<ZipInput> parts = workbook_parts();
  replace_part(&parts, "xl/workbook.xml",
               "<workbook xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\" "
               "xmlns:r=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships\"><sheets>"
               "<sheet name=\"Data\" sheetId=\"1\" r:id=\"rId1\"/><sheet name=\"Notes\" sheetId=\"2\" r:id=\"rId2\"/>"
               "</sheets></workbook>");
  return parts;
}
}  // namespace pkg_test

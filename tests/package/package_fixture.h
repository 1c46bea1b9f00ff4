// Fixture for package tests: a temporary directory, a package and helpers to build ZIP files.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "lib/package/package.h"
#include "tests/package/package_test_util.h"
#include "tests/support/live_allocations.h"
#include "tests/support/temp_dir.h"

class PackageTest : public xlsx_test::CountedTest {
 protected:
  void SetUp() override {
    CountedTest::SetUp();
    xlsx_package_init(&package_);
  }
  void TearDown() override {
    xlsx_package_close(pkg_);
    CountedTest::TearDown();
  }
  std::string path(const char* name) { return dir_.file(name); }
  // Writes the parts as a package and opens it.
  xlsx_status open_parts(const std::vector<pkg_test::ZipInput>& parts, const char* name = "in.xlsx") {
    pkg_test::write_bytes(path(name), pkg_test::make_zip(parts));
    return xlsx_package_open(pkg_, path(name).c_str());
  }
  std::string save_as(const char* name) {
    EXPECT_EQ(xlsx_package_save_as(pkg_, path(name).c_str()), XLSX_OK);
    return pkg_test::read_bytes(path(name));
  }
  XmlNode* root_of(const char* part_path) { return xlsx_part_root(xlsx_package_find_part(pkg_, part_path)); }

  xlsx_test::TempDir dir_;
  XlsxPackage package_;
  XlsxPackage* pkg_ = &package_;
};

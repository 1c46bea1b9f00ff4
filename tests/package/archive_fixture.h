// Fixture for archive tests: a new archive per test, opened from bytes written to a temporary file.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "lib/package/archive.h"
#include "tests/package/package_test_util.h"
#include "tests/support/live_allocations.h"
#include "tests/support/temp_dir.h"

class ArchiveTest : public xlsx_test::CountedTest {
 protected:
  void SetUp() override {
    CountedTest::SetUp();
    archive_ = xlsx_archive_new();
    ASSERT_NE(archive_, nullptr);
  }
  void TearDown() override {
    xlsx_archive_free(archive_);
    CountedTest::TearDown();
  }
  xlsx_status open_bytes(const std::string& bytes) {
    pkg_test::write_bytes(dir_.file("in.zip"), bytes);
    return xlsx_archive_open(archive_, dir_.file("in.zip").c_str());
  }
  // The entry's bytes into *out (when given) and the status of the lookup.
  xlsx_status get(const char* name, std::string* out = nullptr) {
    const char* data = nullptr;
    uint32_t size = 0;
    xlsx_status status = xlsx_archive_get_entry(archive_, name, &data, &size);
    if (status == XLSX_OK && out) *out = std::string(data, size);
    return status;
  }
  // The entry's bytes; fails the test when it cannot be had.
  std::string entry(const char* name) {
    std::string out;
    EXPECT_EQ(get(name, &out), XLSX_OK) << name;
    return out;
  }
  std::vector<std::string> names() {
    std::vector<std::string> out;
    for (uint32_t i = 0; i < xlsx_archive_entry_count(archive_); i++) out.push_back(xlsx_archive_entry_at(archive_, i)->name);
    return out;
  }
  std::string write(const char* name = "out.zip") {
    EXPECT_EQ(xlsx_archive_write(archive_, dir_.file(name).c_str()), XLSX_OK);
    return pkg_test::read_bytes(dir_.file(name));
  }

  xlsx_test::TempDir dir_;
  XlsxArchive* archive_ = nullptr;
};

using Names = std::vector<std::string>;

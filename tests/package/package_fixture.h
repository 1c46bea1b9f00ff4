// Fixtures of the package tests: an archive (ArchiveTest) or a package (PackageTest) per test, with a
// temporary directory and helpers to read and write ZIP files; sample entry contents.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "lib/base/alloc.h"
#include "lib/package/archive.h"
#include "lib/package/package.h"
#include "lib/package/part.h"
#include "tests/support/part_text.h"
#include "tests/support/temp_dir.h"
#include "tests/support/zip.h"
#include "tests/support/live_allocations.h"

using Names = std::vector<std::string>;

// Worksheet-like rows (compressible, with long matches) followed by noise bytes that deflate cannot
// shrink.
inline std::string sample(uint32_t rows, uint32_t noise) {
  std::string out;
  for (uint32_t r = 1; r <= rows; r++) {
    std::string n = std::to_string(r);
    out += "<row r=\"" + n + "\"><c r=\"A" + n + "\"><v>" + std::to_string(r * 7 % 1000) + "</v></c><c r=\"B" + n +
           "\" t=\"s\"><v>" + std::to_string(r % 100) + "</v></c></row>";
  }
  for (uint32_t i = 0, x = 11; i < noise; i++) {
    x = x * 1664525u + 1013904223u;
    out += static_cast<char>(x >> 24);
  }
  return out;
}

using xlsx_test::part_text;

class ArchiveTest : public xlsx_test::CountedTest {
 protected:
  void SetUp() override { CountedTest::SetUp(); ASSERT_NE(archive_ = xlsx_archive_new(), nullptr); }
  void TearDown() override { xlsx_archive_free(archive_); CountedTest::TearDown(); }
  xlsx_status open_bytes(const std::string& bytes) {
    xlsx_test::write_bytes(dir_.file("in.zip"), bytes);
    return xlsx_archive_open(archive_, dir_.file("in.zip").c_str());
  }
  // The status of the lookup, and the entry's bytes into *out when given.
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
  Names names() {
    Names out;
    for (uint32_t i = 0; i < xlsx_archive_entry_count(archive_); i++) out.push_back(xlsx_archive_entry_at(archive_, i)->name);
    return out;
  }
  std::string write(const char* name = "out.zip") {
    EXPECT_EQ(xlsx_archive_write(archive_, dir_.file(name).c_str()), XLSX_OK);
    return xlsx_test::read_bytes(dir_.file(name));
  }

  xlsx_test::TempDir dir_;
  XlsxArchive* archive_ = nullptr;
};

class PackageTest : public xlsx_test::CountedTest {
 protected:
  void SetUp() override { CountedTest::SetUp(); xlsx_package_init(&package_); }
  void TearDown() override { xlsx_package_close(pkg_); CountedTest::TearDown(); }
  std::string path(const char* name) { return dir_.file(name); }
  // Writes the parts as a package and opens it.
  xlsx_status open_parts(const std::vector<xlsx_test::ZipInput>& parts, const char* name = "in.xlsx") {
    xlsx_test::write_bytes(path(name), xlsx_test::make_zip(parts));
    return xlsx_package_open(pkg_, path(name).c_str());
  }
  std::string save_as(const char* name) {
    EXPECT_EQ(xlsx_package_save_as(pkg_, path(name).c_str()), XLSX_OK);
    return xlsx_test::read_bytes(path(name));
  }
  XlsxPart* part(const char* part_path) { return xlsx_package_find_part(pkg_, part_path); }
  XmlNode* root_of(const char* part_path) { return xlsx_part_root(part(part_path)); }
  std::string part_xml(const char* part_path) { return part_text(part(part_path)); }

  xlsx_test::TempDir dir_;
  XlsxPackage package_;
  XlsxPackage* pkg_ = &package_;
};

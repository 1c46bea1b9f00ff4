// The default C-library host table and the installing of another one.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "lib/base/host_ops.h"
#include "tests/support/live_allocations.h"
#include "tests/support/temp_dir.h"

namespace {

using HostOps = xlsx_test::CountedTest;

const XlsxHostOps* ops() {
  return xlsx_default_host_ops();
}

void write_file(const std::string& name, const std::string& bytes, int mode = XLSX_FILE_WRITE) {
  void* f = ops()->open_file(name.c_str(), mode);
  ASSERT_NE(f, nullptr) << name;
  EXPECT_EQ(ops()->write_file(f, bytes.data(), static_cast<uint32_t>(bytes.size())), bytes.size());
  EXPECT_EQ(ops()->close_file(f), 0);
}

TEST_F(HostOps, InstalledTableIsACopyAndNullRestoresTheDefault) {
  XlsxHostOps custom = *ops();
  custom.text_equals_nocase = [](const char*, const char*) { return 42; };
  xlsx_set_host_ops(&custom);
  custom.text_equals_nocase = nullptr;  // the library keeps its own copy
  EXPECT_EQ(xlsx_host_ops()->text_equals_nocase("a", "b"), 42);
  xlsx_set_host_ops(nullptr);
  EXPECT_EQ(xlsx_host_ops()->text_equals_nocase("a", "b"), 0);
}

// The target's `long` has 32 bits: conversions clamp there instead of returning 64-bit values.
TEST_F(HostOps, TextToLongClampsToThe32BitRange) {
  char* end = nullptr;
  const char* big = "99999999999";
  EXPECT_EQ(ops()->text_to_long(big, &end, 10), INT32_MAX);
  EXPECT_EQ(end, big + 11);
  EXPECT_EQ(ops()->text_to_long("-99999999999", nullptr, 10), INT32_MIN);
  EXPECT_EQ(ops()->text_to_long("-2147483648", nullptr, 10), INT32_MIN);
  EXPECT_EQ(ops()->text_to_long(" 42x", &end, 10), 42);
  EXPECT_EQ(*end, 'x');
}

TEST_F(HostOps, CaseInsensitiveEqualityIsAsciiOnly) {
  EXPECT_NE(ops()->text_equals_nocase("TRUE", "true"), 0);
  EXPECT_EQ(ops()->text_equals_nocase("true", "tru"), 0);
  EXPECT_EQ(ops()->text_equals_nocase("[", "{"), 0);        // 32 apart but no letters
  EXPECT_EQ(ops()->text_equals_nocase("\xC4", "\xE4"), 0);  // Latin-1 letters are not folded
}

TEST_F(HostOps, FilesWriteSeekReadAndTell) {
  xlsx_test::TempDir dir;
  std::string name = dir.file("data.bin");
  write_file(name, "0123456789");
  void* in = ops()->open_file(name.c_str(), XLSX_FILE_READ);
  ASSERT_NE(in, nullptr);
  EXPECT_EQ(ops()->seek_file(in, 0, SEEK_END), 0);
  EXPECT_EQ(ops()->tell_file(in), 10);
  EXPECT_EQ(ops()->seek_file(in, 4, SEEK_SET), 0);
  char buffer[16] = {};
  EXPECT_EQ(ops()->read_file(in, buffer, sizeof buffer), 6u);
  EXPECT_STREQ(buffer, "456789");
  EXPECT_EQ(ops()->close_file(in), 0);
  EXPECT_EQ(ops()->open_file(dir.file("missing").c_str(), XLSX_FILE_READ), nullptr);
  EXPECT_EQ(ops()->open_file(dir.file("x").c_str(), 7), nullptr);  // unknown mode
}

TEST_F(HostOps, CreateNewRenameAndDelete) {
  xlsx_test::TempDir dir;
  std::string from = dir.file("new.tmp"), to = dir.file("book.xlsx");
  write_file(to, "old contents");
  EXPECT_EQ(ops()->open_file(to.c_str(), XLSX_FILE_CREATE_NEW), nullptr);  // exists already
  write_file(from, "new", XLSX_FILE_CREATE_NEW);
  EXPECT_EQ(ops()->rename_file(from.c_str(), to.c_str()), 0);  // replaces the target
  void* f = ops()->open_file(to.c_str(), XLSX_FILE_READ);
  ASSERT_NE(f, nullptr);
  char buffer[32] = {};
  EXPECT_EQ(ops()->read_file(f, buffer, sizeof buffer - 1), 3u);
  ops()->close_file(f);
  EXPECT_STREQ(buffer, "new");
  EXPECT_EQ(ops()->open_file(from.c_str(), XLSX_FILE_READ), nullptr);
  EXPECT_EQ(ops()->delete_file(to.c_str()), 0);
  EXPECT_NE(ops()->delete_file(to.c_str()), 0);
}

}  // namespace

// The default C-library host table and the installing of another one.
#include <gtest/gtest.h>

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <string>

#include "lib/base/host_ops.h"
#include "tests/support/live_allocations.h"
#include "tests/support/temp_dir.h"

namespace {

using HostOps = xlsx_test::CountedTest;

const XlsxHostOps* ops() { return xlsx_default_host_ops(); }

int format(char* buffer, uint32_t size, const char* fmt, ...) {
  va_list args;
  va_start(args, fmt);
  int n = ops()->format_text(buffer, size, fmt, args);
  va_end(args);
  return n;
}

TEST_F(HostOps, DefaultTableIsInstalledAndRestoredByNull) {
  EXPECT_EQ(xlsx_host_ops()->malloc_fn, ops()->malloc_fn);
  XlsxHostOps custom = *ops();
  custom.text_equals_nocase = [](const char*, const char*) { return 42; };
  xlsx_set_host_ops(&custom);
  EXPECT_EQ(xlsx_host_ops()->text_equals_nocase("a", "b"), 42);
  xlsx_set_host_ops(nullptr);
  EXPECT_EQ(xlsx_host_ops()->text_equals_nocase("a", "b"), 0);
}

TEST_F(HostOps, InstalledTableIsACopy) {
  XlsxHostOps custom = *ops();
  custom.text_to_long = [](const char*, char**, int) -> int32_t { return 7; };
  xlsx_set_host_ops(&custom);
  custom.text_to_long = nullptr;  // the library keeps its own copy
  EXPECT_EQ(xlsx_host_ops()->text_to_long("1", nullptr, 10), 7);
  xlsx_set_host_ops(nullptr);
}

TEST_F(HostOps, FormatFollowsSnprintfRules) {
  char buffer[8];
  EXPECT_EQ(format(buffer, sizeof buffer, "%lld", -1234567890123LL), 14);
  EXPECT_STREQ(buffer, "-123456");
  EXPECT_EQ(format(nullptr, 0, "%.9g", 0.5), 3);
}

TEST_F(HostOps, TextToLongClampsToThe32BitRange) {
  char* end = nullptr;
  const char* big = "99999999999";
  EXPECT_EQ(ops()->text_to_long(big, &end, 10), INT32_MAX);
  EXPECT_EQ(end, big + 11);
  EXPECT_EQ(ops()->text_to_long("-99999999999", nullptr, 10), INT32_MIN);
  EXPECT_EQ(ops()->text_to_long("2147483647", nullptr, 10), INT32_MAX);
  EXPECT_EQ(ops()->text_to_long("-2147483648", nullptr, 10), INT32_MIN);
  EXPECT_EQ(ops()->text_to_long(" 42x", &end, 10), 42);
  EXPECT_EQ(*end, 'x');
}

TEST_F(HostOps, TextToDoubleReportsWhereItStopped) {
  char* end = nullptr;
  const char* text = " 2.5e3rest";
  EXPECT_EQ(ops()->text_to_double(text, &end), 2500.0);
  EXPECT_STREQ(end, "rest");
}

TEST_F(HostOps, CaseInsensitiveEqualityIsAsciiOnly) {
  EXPECT_NE(ops()->text_equals_nocase("TRUE", "true"), 0);
  EXPECT_NE(ops()->text_equals_nocase("", ""), 0);
  EXPECT_EQ(ops()->text_equals_nocase("true", "tru"), 0);
  EXPECT_EQ(ops()->text_equals_nocase("[", "{"), 0);        // 0x5B and 0x7B differ by 32 but are no letters
  EXPECT_EQ(ops()->text_equals_nocase("\xC4", "\xE4"), 0);  // Latin-1 letters are not folded
}

TEST_F(HostOps, FilesWriteSeekReadAndTell) {
  xlsx_test::TempDir dir;
  std::string name = dir.file("data.bin");
  void* out = ops()->open_file(name.c_str(), XLSX_FILE_WRITE);
  ASSERT_NE(out, nullptr);
  EXPECT_EQ(ops()->write_file(out, "0123456789", 10), 10u);
  EXPECT_EQ(ops()->tell_file(out), 10);
  EXPECT_EQ(ops()->close_file(out), 0);

  void* in = ops()->open_file(name.c_str(), XLSX_FILE_READ);
  ASSERT_NE(in, nullptr);
  EXPECT_EQ(ops()->seek_file(in, 0, SEEK_END), 0);
  EXPECT_EQ(ops()->tell_file(in), 10);
  EXPECT_EQ(ops()->seek_file(in, 4, SEEK_SET), 0);
  char buffer[16] = {};
  EXPECT_EQ(ops()->read_file(in, buffer, sizeof buffer), 6u);
  EXPECT_STREQ(buffer, "456789");
  EXPECT_EQ(ops()->close_file(in), 0);
}

TEST_F(HostOps, CreateNewRefusesAnExistingFile) {
  xlsx_test::TempDir dir;
  std::string name = dir.file("once.xlsx");
  void* first = ops()->open_file(name.c_str(), XLSX_FILE_CREATE_NEW);
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(ops()->close_file(first), 0);
  EXPECT_EQ(ops()->open_file(name.c_str(), XLSX_FILE_CREATE_NEW), nullptr);
}

TEST_F(HostOps, OpenFailsForMissingFilesAndUnknownModes) {
  xlsx_test::TempDir dir;
  EXPECT_EQ(ops()->open_file(dir.file("missing").c_str(), XLSX_FILE_READ), nullptr);
  EXPECT_EQ(ops()->open_file(dir.file("x").c_str(), 7), nullptr);
  EXPECT_EQ(ops()->open_file(nullptr, XLSX_FILE_READ), nullptr);
}

TEST_F(HostOps, RenameReplacesTheTargetAndDeleteRemoves) {
  xlsx_test::TempDir dir;
  std::string from = dir.file("new.tmp"), to = dir.file("book.xlsx");
  for (const std::string& name : {from, to}) {
    void* f = ops()->open_file(name.c_str(), XLSX_FILE_WRITE);
    ASSERT_NE(f, nullptr);
    ops()->write_file(f, name.c_str(), static_cast<uint32_t>(name.size()));
    ops()->close_file(f);
  }
  EXPECT_EQ(ops()->rename_file(from.c_str(), to.c_str()), 0);
  void* f = ops()->open_file(to.c_str(), XLSX_FILE_READ);
  ASSERT_NE(f, nullptr);
  char buffer[512] = {};
  ops()->read_file(f, buffer, sizeof buffer - 1);
  ops()->close_file(f);
  EXPECT_EQ(std::string(buffer), from);
  EXPECT_EQ(ops()->open_file(from.c_str(), XLSX_FILE_READ), nullptr);
  EXPECT_EQ(ops()->delete_file(to.c_str()), 0);
  EXPECT_NE(ops()->delete_file(to.c_str()), 0);
}

}  // namespace

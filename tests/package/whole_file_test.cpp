// Whole-file reading and writing, and replacing a file only when the new contents are complete.
#include <gtest/gtest.h>

#include "lib/base/alloc.h"
#include "lib/package/archive.h"
#include "tests/package/package_test_util.h"
#include "tests/support/live_allocations.h"
#include "tests/support/temp_dir.h"

using pkg_test::FailingFiles;

class WholeFileTest : public xlsx_test::CountedTest {
 protected:
  xlsx_test::TempDir dir_;
};

TEST_F(WholeFileTest, ReadGivesTheBytesWithATrailingNulNotCounted) {
  for (const std::string& bytes : {std::string("ab\0c", 4), std::string()}) {
    SCOPED_TRACE(bytes.size());
    pkg_test::write_bytes(dir_.file("f"), bytes);
    char* data = nullptr;
    uint32_t size = 99;
    ASSERT_EQ(xlsx_read_file(dir_.file("f").c_str(), &data, &size), XLSX_OK);
    EXPECT_EQ(std::string(data, size), bytes);
    EXPECT_EQ(data[size], '\0');
    xlsx_free(data);
  }
  char* data = reinterpret_cast<char*>(1);
  uint32_t size = 5;
  EXPECT_EQ(xlsx_read_file(dir_.file("missing").c_str(), &data, &size), XLSX_ERR_IO);
  EXPECT_EQ(data, nullptr);
  EXPECT_EQ(size, 0u);
  EXPECT_EQ(xlsx_read_file(nullptr, &data, &size), XLSX_ERR_INVALID_ARG);
}

TEST_F(WholeFileTest, WriteCreatesAndTruncates) {
  std::string path = dir_.file("w");
  ASSERT_EQ(xlsx_write_file(path.c_str(), "long contents", 13), XLSX_OK);
  ASSERT_EQ(xlsx_write_file(path.c_str(), "short", 5), XLSX_OK);
  EXPECT_EQ(pkg_test::read_bytes(path), "short");
  ASSERT_EQ(xlsx_write_file(path.c_str(), nullptr, 0), XLSX_OK);
  EXPECT_EQ(pkg_test::read_bytes(path), "");
  EXPECT_EQ(xlsx_write_file(dir_.file("no/such/dir").c_str(), "x", 1), XLSX_ERR_IO);
}

TEST_F(WholeFileTest, ReplaceWritesNewContentsLeavingNoTemporaryFileAndSkipsATakenName) {
  std::string path = dir_.file("t.xlsx");
  pkg_test::write_bytes(path, "old contents");
  ASSERT_EQ(xlsx_replace_file(path.c_str(), "new", 3), XLSX_OK);
  EXPECT_EQ(pkg_test::read_bytes(path), "new");
  EXPECT_EQ(pkg_test::list_dir(dir_.path()), std::vector<std::string>{"t.xlsx"});
  pkg_test::write_bytes(path + ".~0.tmp", "someone else's file");
  ASSERT_EQ(xlsx_replace_file(path.c_str(), "data", 4), XLSX_OK);
  EXPECT_EQ(pkg_test::read_bytes(path), "data");
  EXPECT_EQ(pkg_test::read_bytes(path + ".~0.tmp"), "someone else's file");
  EXPECT_EQ(pkg_test::list_dir(dir_.path()).size(), 2u);
}

// A document save goes through this replacement: a failure at any step keeps the old file byte for byte.
class ReplaceFailureTest : public WholeFileTest, public ::testing::WithParamInterface<FailingFiles::Step> {};

TEST_P(ReplaceFailureTest, FailureAtAnyStepKeepsTheOldFileAndRemovesTheTemporaryOne) {
  std::string path = dir_.file("target.xlsx");
  std::string old(100000, 'o');
  pkg_test::write_bytes(path, old);
  {
    FailingFiles failing(GetParam());
    EXPECT_EQ(xlsx_replace_file(path.c_str(), std::string(200000, 'n').data(), 200000), XLSX_ERR_IO);
  }
  EXPECT_EQ(pkg_test::read_bytes(path), old);
  EXPECT_EQ(pkg_test::list_dir(dir_.path()), std::vector<std::string>{"target.xlsx"});
  ASSERT_EQ(xlsx_replace_file(path.c_str(), "fine", 4), XLSX_OK);
  EXPECT_EQ(pkg_test::read_bytes(path), "fine");
}

INSTANTIATE_TEST_SUITE_P(EachStep, ReplaceFailureTest,
                         ::testing::Values(FailingFiles::kCreateTemp, FailingFiles::kWrite, FailingFiles::kShortWrite,
                                           FailingFiles::kClose, FailingFiles::kRename),
                         [](const auto& info) { return std::string(FailingFiles::name(info.param)); });

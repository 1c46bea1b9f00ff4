// Tagged and C-style plugin memory with its live counts, and the file operations the library saves with.
#include <cstdio>
#include <cstring>
#include <string>

#include "host/files.h"
#include "host/memory.h"
#include "host/regions.h"
#include "tests/support/live_allocations.h"
#include "tests/support/temp_dir.h"

namespace {

using HostMemoryTest = xlsx_test::CountedTest;

TEST_F(HostMemoryTest, TaggedBlocksAreCountedPerTagUntilFreed) {
  uint32_t before = HostLiveTaggedBlocks();
  auto* record = static_cast<unsigned char*>(HostAllocMem(28, 1, "xlsx"));
  void* text = HostAllocMem(5, 0, "strdup");
  ASSERT_TRUE(record && text);
  for (int i = 0; i < 28; ++i) EXPECT_EQ(record[i], 0) << "cleared on request";
  EXPECT_EQ(HostLiveTaggedBlocks(), before + 2);
  EXPECT_EQ(HostLiveTaggedBlocksWithTag("xlsx"), 1u);
  HostFreeMem(record);
  EXPECT_EQ(HostLiveTaggedBlocksWithTag("xlsx"), 0u);
  HostFreeMem(text);
  HostFreeMem(nullptr);
  EXPECT_EQ(HostLiveTaggedBlocks(), before);
  EXPECT_EQ(HostAllocMem(UINT32_MAX, 0, "xlsx"), nullptr) << "an impossible size";
}

TEST_F(HostMemoryTest, LeakReportNamesEachLiveBlock) {
  void* block = HostAllocMem(16, 0, "serializeinfo");
  FILE* out = tmpfile();
  ASSERT_NE(out, nullptr);
  EXPECT_GE(HostReportLeaks(out), 1u);
  rewind(out);
  char line[200] = {};
  ASSERT_NE(fgets(line, sizeof line, out), nullptr);
  EXPECT_NE(strstr(line, "tag \"serializeinfo\""), nullptr) << line;
  fclose(out);
  HostFreeMem(block);
}

TEST_F(HostMemoryTest, CStyleBlocksCountFreshAllocationsOnly) {
  uint32_t before = HostLiveCBlocks();
  void* a = HostMalloc(0);
  void* b = HostCalloc(0, 8);
  void* c = HostRealloc(nullptr, 10);
  ASSERT_TRUE(a && b && c);
  EXPECT_EQ(HostLiveCBlocks(), before + 3);
  c = HostRealloc(c, 1000);
  EXPECT_EQ(HostLiveCBlocks(), before + 3);
  HostFree(a);
  HostFree(b);
  HostFree(c);
  HostFree(nullptr);
  EXPECT_EQ(HostLiveCBlocks(), before);
}

// Fills n bytes with a pattern that depends on the position; checks it.
void Fill(void* block, size_t n) {
  for (size_t i = 0; i < n; i += 997) static_cast<unsigned char*>(block)[i] = static_cast<unsigned char>(i / 997 + 1);
}

bool Holds(const void* block, size_t n) {
  for (size_t i = 0; i < n; i += 997) {
    if (static_cast<const unsigned char*>(block)[i] != static_cast<unsigned char>(i / 997 + 1)) return false;
  }
  return true;
}

TEST_F(HostMemoryTest, ResizingAcrossTheRegionSizeKeepsTheBytes) {
  // Small and large blocks, growing and shrinking, in and out of mappings of their own.
  const uint32_t sizes[] = {100, 300u << 10, 5u << 20, 200u << 10, 100, 3u << 20, 2u << 20};
  RegionFigures before = RegionCurrentFigures();
  uint32_t live = HostLiveCBlocks();
  void* block = HostRealloc(nullptr, sizes[0]);
  ASSERT_NE(block, nullptr);
  Fill(block, sizes[0]);
  for (size_t i = 1; i < sizeof sizes / sizeof sizes[0]; ++i) {
    block = HostRealloc(block, sizes[i]);
    ASSERT_NE(block, nullptr) << sizes[i];
    uint32_t kept = sizes[i] < sizes[i - 1] ? sizes[i] : sizes[i - 1];
    EXPECT_TRUE(Holds(block, kept)) << "from " << sizes[i - 1] << " to " << sizes[i];
    Fill(block, sizes[i]);
  }
  EXPECT_EQ(HostLiveCBlocks(), live + 1);
  if (RegionsInUse()) {
    EXPECT_EQ(RegionCurrentFigures().mappings, before.mappings + 1);
  }
  HostFree(block);
  EXPECT_EQ(HostLiveCBlocks(), live);
  RegionFigures after = RegionCurrentFigures();
  EXPECT_EQ(after.mappings, before.mappings) << "every mapping is returned";
  EXPECT_EQ(after.mapped_bytes, before.mapped_bytes);
}

TEST_F(HostMemoryTest, LargeBlocksAreZeroedOnRequestAndReturned) {
  RegionFigures before = RegionCurrentFigures();
  auto* cleared = static_cast<unsigned char*>(HostCalloc(3, 1u << 20));
  auto* tagged = static_cast<unsigned char*>(HostAllocMem(4u << 20, 1, "xlsx"));
  ASSERT_TRUE(cleared && tagged);
  bool zero = true;
  for (uint32_t i = 0; i < (3u << 20); i += 4093) zero = zero && cleared[i] == 0;
  for (uint32_t i = 0; i < (4u << 20); i += 4093) zero = zero && tagged[i] == 0;
  EXPECT_TRUE(zero);
  if (RegionsInUse()) {
    EXPECT_GE(RegionCurrentFigures().mapped_bytes, before.mapped_bytes + (7u << 20));
  }
  HostFree(cleared);
  HostFreeMem(tagged);
  EXPECT_EQ(RegionCurrentFigures().mapped_bytes, before.mapped_bytes);
}

class HostFilesTest : public xlsx_test::CountedTest {
 protected:
  void TearDown() override {
    EXPECT_EQ(HostOpenFiles(), 0u);
    CountedTest::TearDown();
  }
  xlsx_test::TempDir dir;
};

TEST_F(HostFilesTest, WriteSeekTellRead) {
  std::string path = dir.file("a.bin");
  HostFile* file = HostOpenFile(path.c_str(), HOST_FILE_WRITE);
  ASSERT_NE(file, nullptr);
  EXPECT_EQ(HostWriteFile(file, "0123456789", 10), 10u);
  EXPECT_EQ(HostTellFile(file), 10);
  EXPECT_EQ(HostCloseFile(file), 0);

  file = HostOpenFile(path.c_str(), HOST_FILE_READ);
  ASSERT_NE(file, nullptr);
  EXPECT_EQ(HostSeekFile(file, -3, SEEK_END), 0);
  EXPECT_EQ(HostTellFile(file), 7);
  char buffer[8] = {};
  EXPECT_EQ(HostReadFile(file, buffer, sizeof buffer), 3u);
  EXPECT_STREQ(buffer, "789");
  EXPECT_EQ(HostCloseFile(file), 0);
}

TEST_F(HostFilesTest, CreateNewRefusesAnExistingFileRenameReplacesAndDeleteRemoves) {
  std::string from = dir.file("new.tmp");
  std::string to = dir.file("book.xlsx");
  for (const std::string& p : {from, to}) {
    HostFile* file = HostOpenFile(p.c_str(), p == from ? HOST_FILE_CREATE_NEW : HOST_FILE_WRITE);
    ASSERT_NE(file, nullptr);
    HostWriteFile(file, p.c_str(), static_cast<uint32_t>(p.size()));
    HostCloseFile(file);
  }
  EXPECT_EQ(HostOpenFile(from.c_str(), HOST_FILE_CREATE_NEW), nullptr);
  EXPECT_EQ(HostRenameFile(from.c_str(), to.c_str()), 0);
  HostFile* file = HostOpenFile(to.c_str(), HOST_FILE_READ);
  ASSERT_NE(file, nullptr);
  char buffer[512] = {};
  HostReadFile(file, buffer, sizeof buffer - 1);
  HostCloseFile(file);
  EXPECT_EQ(std::string(buffer), from);
  EXPECT_EQ(HostOpenFile(from.c_str(), HOST_FILE_READ), nullptr);
  EXPECT_EQ(HostDeleteFile(to.c_str()), 0);
  EXPECT_EQ(HostDeleteFile(to.c_str()), -1);
  EXPECT_EQ(HostRenameFile(from.c_str(), to.c_str()), -1);
}

TEST_F(HostFilesTest, TemporaryNamesAreUniqueAndReservedOnRequest) {
  char first[1024];
  char second[1024];
  HostTag reserve[] = {{HOST_TAG_TEMP_RESERVE, 1}, {HOST_TAG_END, 0}};
  ASSERT_EQ(HostGetTempFileName(first, sizeof first, reserve), 0);
  ASSERT_EQ(HostGetTempFileName(second, sizeof second, nullptr), 0);
  EXPECT_STRNE(first, second);
  HostFile* file = HostOpenFile(first, HOST_FILE_READ);
  EXPECT_NE(file, nullptr) << "a reserved name exists as an empty file";
  HostCloseFile(file);
  EXPECT_EQ(HostOpenFile(second, HOST_FILE_READ), nullptr);
  EXPECT_EQ(HostDeleteFile(first), 0);
  char tiny[8];
  EXPECT_EQ(HostGetTempFileName(tiny, sizeof tiny, nullptr), -1);
}

}  // namespace

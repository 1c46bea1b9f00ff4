// Every file of the hostile corpus (make_corpus.py) through the library: open either succeeds or fails
// with a reading status; an opened file reads, edits and saves, and the saved file opens again; the
// library's memory stays under the stated bound; nothing leaks.
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "lib/document/document.h"
#include "lib/package/archive.h"
#include "lib/sheet/workbook.h"
#include "tests/support/live_allocations.h"
#include "tests/support/peak_memory.h"
#include "tests/support/workbook_exercise.h"

namespace {

struct CorpusCase {
  std::string name;
  std::string expect;  // "open", "refuse" or "either"
};

// Tests are named for the file; the record itself prints as its name.
void PrintTo(const CorpusCase& c, std::ostream* out) { *out << c.name << " (" << c.expect << ")"; }

std::vector<CorpusCase> load_manifest() {
  std::vector<CorpusCase> cases;
  std::ifstream manifest(std::string(HOSTILE_CORPUS_DIR) + "/MANIFEST");
  CorpusCase entry;
  while (manifest >> entry.name >> entry.expect) cases.push_back(entry);
  return cases;
}

uint64_t file_size(const std::string& path) {
  std::ifstream file(path, std::ios::binary | std::ios::ate);
  return file ? uint64_t(file.tellg()) : 0;
}

// The library's memory bound for opening, reading every cell, editing and saving one file: the file's
// bytes, one inflated entry at the per-entry cap while it is read (with its doubling growth), the trees
// of the parts within the document's budget, and their output, which stays within a fixed allowance.
uint64_t memory_bound(uint64_t size) {
  return 2 * size + 2 * uint64_t(XLSX_ENTRY_MAX_INFLATED) + XLSX_PACKAGE_MAX_PARSED + (64u << 20);
}

class HostileCorpus : public xlsx_test::CountedTest, public ::testing::WithParamInterface<CorpusCase> {};

TEST_P(HostileCorpus, OpensOrRefusesThenReadsEditsAndSavesWithinTheMemoryBound) {
  const CorpusCase& c = GetParam();
#if HOSTILE_SKIP_BOMBS
  if (c.name.rfind("deflate_bomb", 0) == 0) {
    GTEST_SKIP() << "inflating 256 MiB takes minutes under emulation";
  }
#endif
  std::string path = std::string(HOSTILE_CORPUS_DIR) + "/" + c.name + ".xlsx";
  std::string saved = std::string(HOSTILE_SAVED_DIR) + "/" + c.name + ".xlsx";
  ASSERT_TRUE(c.expect == "open" || c.expect == "refuse" || c.expect == "either") << c.expect;
  ASSERT_TRUE(std::ifstream(path)) << "the corpus lacks the file";
  std::remove(saved.c_str());
  xlsx_test::PeakMemory memory;
  XlsxDocument* document = xlsx_document_new();
  ASSERT_NE(document, nullptr);
  xlsx_status status = xlsx_document_open(document, path.c_str());
  if (c.expect != "either") {
    EXPECT_EQ(status == XLSX_OK, c.expect == "open") << xlsx_status_text(status);
  }
  EXPECT_TRUE(status == XLSX_OK || status == XLSX_ERR_PARSE || status == XLSX_ERR_IO) << xlsx_status_text(status);
  EXPECT_EQ(xlsx_document_is_open(document), status == XLSX_OK);
  if (status == XLSX_OK) {
    WorkbookExerciseResult result = workbook_read_all(document, 1000000);
    workbook_edit(document, &result);
    EXPECT_EQ(result.no_memory, 0u);
    uint32_t sheets = xlsx_workbook_sheet_count(xlsx_document_workbook(document));
    EXPECT_EQ(xlsx_document_save_as(document, saved.c_str()), XLSX_OK);
    xlsx_document_close(document);
    EXPECT_EQ(xlsx_document_open(document, saved.c_str()), XLSX_OK) << "the saved file does not open again";
    EXPECT_EQ(workbook_read_all(document, 1000000).sheets, sheets) << "the saved file lists other sheets";
  }
  xlsx_document_free(document);
  EXPECT_EQ(memory.live_bytes(), 0u);
  EXPECT_LE(memory.peak_bytes(), memory_bound(file_size(path))) << "peak " << memory.peak_bytes();
  RecordProperty("peak_bytes", std::to_string(memory.peak_bytes()));
}

std::string case_name(const ::testing::TestParamInfo<CorpusCase>& info) { return info.param.name; }

INSTANTIATE_TEST_SUITE_P(Files, HostileCorpus, ::testing::ValuesIn(load_manifest()), case_name);

// The manifest itself: the corpus was generated, and the reference workbook is in it.
TEST(HostileManifest, ListsTheGeneratedFilesWithTheGoodReferenceFirst) {
  std::vector<CorpusCase> cases = load_manifest();
  ASSERT_GE(cases.size(), 60u);
  EXPECT_EQ(cases[0].name, "good");
}

}  // namespace

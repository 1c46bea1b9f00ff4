// Fuzz target: arbitrary bytes as a workbook file. Open must succeed or fail with a reading status; an
// opened document is read cell by cell, edited and saved, and the saved file must open again. No block
// of the library may be left allocated.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "lib/base/alloc.h"
#include "lib/document/document.h"
#include "tests/support/workbook_exercise.h"

namespace {

[[noreturn]] void finding(const char* what, xlsx_status status) {
  fprintf(stderr, "document_fuzzer: %s (status %u)\n", what, unsigned(status));
  abort();
}

// Files of this process in the temporary folder (a memory file system where there is one).
std::string scratch(const char* name) {
  const char* dir = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
  return std::string(dir) + "/xlsx-doc-fuzz-" + std::to_string(getpid()) + "-" + name;
}

bool write_all(const std::string& path, const uint8_t* data, size_t size) {
  FILE* file = fopen(path.c_str(), "wb");
  if (!file) return false;
  bool ok = fwrite(data, 1, size, file) == size;
  return fclose(file) == 0 && ok;
}

void exercise(XlsxDocument* document, const std::string& saved) {
  WorkbookExerciseResult result = workbook_read_all(document, 100000);
  workbook_edit(document, &result);
  if (result.no_memory) finding("out of memory while reading or editing", XLSX_ERR_NO_MEMORY);
  xlsx_status status = xlsx_document_save_as(document, saved.c_str());
  if (status != XLSX_OK) return;  // reported, the document stays open; nothing more to check here
  xlsx_document_close(document);
  status = xlsx_document_open(document, saved.c_str());
  if (status != XLSX_OK) finding("a saved file does not open again", status);
  workbook_read_all(document, 100000);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const std::string input = scratch("in.xlsx");
  static const std::string saved = scratch("out.xlsx");
  if (size > (4u << 20) || !write_all(input, data, size)) return 0;
  uint32_t live = xlsx_live_allocations();
  XlsxDocument* document = xlsx_document_new();
  if (!document) finding("no document", XLSX_ERR_NO_MEMORY);
  xlsx_status status = xlsx_document_open(document, input.c_str());
  if (status == XLSX_OK) {
    exercise(document, saved);
  } else if (status != XLSX_ERR_PARSE && status != XLSX_ERR_IO) {
    finding("open failed with an unexpected status", status);
  }
  xlsx_document_free(document);
  if (xlsx_live_allocations() != live) finding("library blocks left allocated", XLSX_OK);
  return 0;
}

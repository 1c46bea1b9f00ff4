// Fuzz target: arbitrary bytes as a workbook file. Built with FUZZ_PARTS (workbook_parts_fuzzer), the
// input is split at "\n--part--\n" into the texts of the package's fixed parts (content types, package
// relationships, workbook, workbook relationships, first worksheet, shared strings, styles), stored in a
// valid ZIP so that the fuzzer's changes reach the XML and the spreadsheet model instead of failing the
// ZIP's checksums. Open must succeed or fail with a reading status; an opened document is read cell by
// cell, edited and saved, and the saved file must open again. No block of the library may be left.
#include <unistd.h>
#include <zip.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "lib/base/alloc.h"
#include "lib/document/document.h"
#include "tests/support/workbook_exercise.h"

namespace {

[[noreturn]] void finding(const char* what, xlsx_status status) {
  fprintf(stderr, "%s: %s (status %u)\n", FUZZ_PARTS ? "workbook_parts_fuzzer" : "document_fuzzer", what,
          unsigned(status));
  abort();
}

// Files of this process in the temporary folder (a memory file system where there is one).
std::string scratch(const char* name) {
  const char* dir = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
  return std::string(dir) + "/xlsx-doc-fuzz-" + std::to_string(getpid()) + "-" + name;
}

bool write_file(const std::string& path, const std::string& input) {
  FILE* file = fopen(path.c_str(), "wb");
  if (!file) return false;
  bool ok = fwrite(input.data(), 1, input.size(), file) == input.size();
  return fclose(file) == 0 && ok;
}

// Writes the parts into a stored ZIP at path; false when the ZIP library refuses.
bool write_package(const std::string& path, const std::string& input) {
  static const char* const kParts[] = {"[Content_Types].xml", "_rels/.rels", "xl/workbook.xml",
                                       "xl/_rels/workbook.xml.rels", "xl/worksheets/sheet1.xml",
                                       "xl/sharedStrings.xml", "xl/styles.xml"};
  const std::string separator = "\n--part--\n";
  int error = 0;
  zip_t* archive = zip_open(path.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error);
  if (!archive) return false;
  size_t start = 0;
  for (const char* name : kParts) {
    size_t end = input.find(separator, start);
    std::string text = input.substr(start, end == std::string::npos ? std::string::npos : end - start);
    // The ZIP library frees the copy with its source; an empty text has no copy (it would not be freed).
    void* copy = text.empty() ? nullptr : malloc(text.size());
    if (copy) text.copy(static_cast<char*>(copy), text.size());
    zip_source_t* source = zip_source_buffer(archive, copy, text.size(), copy ? 1 : 0);
    zip_int64_t index = source ? zip_file_add(archive, name, source, ZIP_FL_ENC_UTF_8) : -1;
    if (index < 0) {
      if (source) zip_source_free(source);
      else free(copy);
      zip_discard(archive);
      return false;
    }
    zip_set_file_compression(archive, zip_uint64_t(index), ZIP_CM_STORE, 0);
    if (end == std::string::npos) break;
    start = end + separator.size();
  }
  return zip_close(archive) == 0;
}

void exercise(XlsxDocument* document, const std::string& saved) {
  WorkbookExerciseResult result = workbook_read_all(document, 100000);
  workbook_edit(document, &result);
  if (result.no_memory) finding("out of memory while reading or editing", XLSX_ERR_NO_MEMORY);
  if (xlsx_document_save_as(document, saved.c_str()) != XLSX_OK) return;  // reported; the document stays open
  xlsx_document_close(document);
  xlsx_status status = xlsx_document_open(document, saved.c_str());
  if (status != XLSX_OK) finding("a saved file does not open again", status);
  workbook_read_all(document, 100000);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const std::string input = scratch("in.xlsx");
  static const std::string saved = scratch("out.xlsx");
  std::string bytes(reinterpret_cast<const char*>(data), size);
  if (size > (FUZZ_PARTS ? 1u << 20 : 4u << 20)) return 0;
  if (!(FUZZ_PARTS ? write_package(input, bytes) : write_file(input, bytes))) return 0;
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

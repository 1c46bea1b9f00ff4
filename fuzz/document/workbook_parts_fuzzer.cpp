// Fuzz target: arbitrary XML in the parts of a well-formed package. The input is split at "\n--part--\n"
// into the texts of the package's fixed parts (content types, package relationships, workbook, workbook
// relationships, first worksheet, shared strings, styles); the target stores them in a valid ZIP, so that
// the fuzzer's changes reach the XML and the spreadsheet model instead of failing the ZIP's checksums.
// Then as document_fuzzer: open, read every cell, edit, save, reopen; nothing may be left allocated.
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

const char* const kParts[] = {"[Content_Types].xml",        "_rels/.rels",          "xl/workbook.xml",
                              "xl/_rels/workbook.xml.rels", "xl/worksheets/sheet1.xml", "xl/sharedStrings.xml",
                              "xl/styles.xml"};
const std::string kSeparator = "\n--part--\n";

[[noreturn]] void finding(const char* what, xlsx_status status) {
  fprintf(stderr, "workbook_parts_fuzzer: %s (status %u)\n", what, unsigned(status));
  abort();
}

std::string scratch(const char* name) {
  const char* dir = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
  return std::string(dir) + "/xlsx-parts-fuzz-" + std::to_string(getpid()) + "-" + name;
}

// Writes the parts into a stored ZIP at path; false when the ZIP library refuses.
bool write_package(const std::string& path, const std::string& input) {
  int error = 0;
  zip_t* archive = zip_open(path.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error);
  if (!archive) return false;
  size_t start = 0;
  for (const char* name : kParts) {
    size_t end = input.find(kSeparator, start);
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
    start = end + kSeparator.size();
  }
  return zip_close(archive) == 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const std::string input = scratch("in.xlsx");
  static const std::string saved = scratch("out.xlsx");
  if (size > (1u << 20) || !write_package(input, std::string(reinterpret_cast<const char*>(data), size))) return 0;
  uint32_t live = xlsx_live_allocations();
  XlsxDocument* document = xlsx_document_new();
  if (!document) finding("no document", XLSX_ERR_NO_MEMORY);
  xlsx_status status = xlsx_document_open(document, input.c_str());
  if (status == XLSX_OK) {
    WorkbookExerciseResult result = workbook_read_all(document, 100000);
    workbook_edit(document, &result);
    if (result.no_memory) finding("out of memory while reading or editing", XLSX_ERR_NO_MEMORY);
    if (xlsx_document_save_as(document, saved.c_str()) == XLSX_OK) {
      xlsx_document_close(document);
      status = xlsx_document_open(document, saved.c_str());
      if (status != XLSX_OK) finding("a saved file does not open again", status);
      workbook_read_all(document, 100000);
    }
  } else if (status != XLSX_ERR_PARSE && status != XLSX_ERR_IO) {
    finding("open failed with an unexpected status", status);
  }
  xlsx_document_free(document);
  if (xlsx_live_allocations() != live) finding("library blocks left allocated", XLSX_OK);
  return 0;
}

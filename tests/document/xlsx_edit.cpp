// Command-line driver of the document layer for the interoperability tests:
//   xlsx_edit create OUT
//   xlsx_edit edit IN OUT [--property NUMBER VALUE]... [--string TEXT]...
//   xlsx_edit show IN
// "edit" opens IN, applies the changes in order and saves to OUT (IN itself when OUT is the same path).
// "show" prints the properties and the shared strings, one per line. Exit status 0 on success.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "lib/document/document.h"
#include "lib/package/properties.h"

namespace {

int fail(const char* what, xlsx_status status) {
  fprintf(stderr, "xlsx_edit: %s: %s\n", what, xlsx_status_text(status));
  return 1;
}

int apply_changes(XlsxDocument* doc, int argc, char** argv) {
  for (int i = 0; i < argc; i++) {
    if (strcmp(argv[i], "--property") == 0 && i + 2 < argc) {
      xlsx_status status = xlsx_document_set_property(doc, uint32_t(atoi(argv[i + 1])), argv[i + 2]);
      if (status != XLSX_OK) return fail("set property", status);
      i += 2;
    } else if (strcmp(argv[i], "--string") == 0 && i + 1 < argc) {
      if (xlsx_sst_find_or_append(xlsx_document_shared_strings(doc), argv[i + 1]) < 0) {
        return fail("append string", XLSX_ERR_INTERNAL);
      }
      i += 1;
    } else {
      fprintf(stderr, "xlsx_edit: unknown argument %s\n", argv[i]);
      return 2;
    }
  }
  return 0;
}

int edit(const char* in, const char* out, int argc, char** argv) {
  XlsxDocument* doc = xlsx_document_new();
  xlsx_status status = xlsx_document_open(doc, in);
  int result = status == XLSX_OK ? apply_changes(doc, argc, argv) : fail("open", status);
  if (result == 0) {
    status = xlsx_document_save_as(doc, out);
    if (status != XLSX_OK) result = fail("save", status);
  }
  xlsx_document_free(doc);
  return result;
}

int create(const char* out) {
  XlsxDocument* doc = xlsx_document_new();
  xlsx_status status = xlsx_document_create(doc, out);
  xlsx_document_free(doc);
  return status == XLSX_OK ? 0 : fail("create", status);
}

int show(const char* in) {
  XlsxDocument* doc = xlsx_document_new();
  xlsx_status status = xlsx_document_open(doc, in);
  if (status != XLSX_OK) {
    xlsx_document_free(doc);
    return fail("open", status);
  }
  for (uint32_t n = 0; n < XLSX_PROP_COUNT; n++) {
    printf("property %u %s=%s\n", unsigned(n), xlsx_property_element(n), xlsx_document_get_property(doc, n));
  }
  XlsxSharedStrings* sst = xlsx_document_shared_strings(doc);
  for (uint32_t i = 0; i < xlsx_sst_count(sst); i++) printf("string %u=%s\n", unsigned(i), xlsx_sst_get(sst, i));
  xlsx_document_free(doc);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc >= 3 && strcmp(argv[1], "create") == 0) return create(argv[2]);
  if (argc >= 4 && strcmp(argv[1], "edit") == 0) return edit(argv[2], argv[3], argc - 4, argv + 4);
  if (argc >= 3 && strcmp(argv[1], "show") == 0) return show(argv[2]);
  fprintf(stderr, "usage: xlsx_edit create OUT | edit IN OUT [--property N VALUE]... [--string TEXT]... | show IN\n");
  return 2;
}

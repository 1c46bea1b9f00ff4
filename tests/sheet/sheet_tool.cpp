// Command-line driver of the spreadsheet library for the interoperability scripts.
//   sheet_tool FILE COMMAND... : opens FILE, runs the commands in order, and exits 1 on the first failure.
// Commands:
//   dump                       every sheet, cell value, formula, row and column attribute, one per line
//   add NAME | delete NAME | move NAME POS | rename OLD NEW | state NAME STATE | active NAME
//   set SHEET REF KIND VALUE   KIND: int, float, str, bool, error, formula, empty
//   width SHEET COL W | height SHEET ROW H | hidecol SHEET COL F | hiderow SHEET ROW F
//   inline 0|1                 shared strings mode for the following writes
//   save PATH
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "lib/sheet/cell.h"
#include "lib/sheet/columns.h"
#include "lib/sheet/workbook.h"
#include "lib/sheet/worksheet.h"
#include "tests/support/book.h"

namespace {

xlsx_test::TestBook g_book;

XlsxWorkbook* workbook() { return g_book.workbook; }

std::string escaped(const char* text) {
  std::string out;
  for (const char* p = text; *p; p++) {
    if (*p == '\t') out += "\\t";
    else if (*p == '\n') out += "\\n";
    else if (*p == '\\') out += "\\\\";
    else out += *p;
  }
  return out;
}

std::string value_text(const XlsxCellValue& v) {
  char buffer[64];
  switch (v.type) {
    case XLSX_VALUE_BOOLEAN: return v.boolean ? "1" : "0";
    case XLSX_VALUE_INTEGER: std::snprintf(buffer, sizeof buffer, "%lld", static_cast<long long>(v.integer)); return buffer;
    case XLSX_VALUE_FLOAT: std::snprintf(buffer, sizeof buffer, "%.17g", v.number); return buffer;
    default: return escaped(v.text ? v.text : "");
  }
}

void dump_cell(const char* sheet, const XlsxCell& cell) {
  XlsxCellRef ref;
  xlsx_cell_ref(&cell, &ref);
  XlsxCellValue v;
  xlsx_value_init(&v);
  if (xlsx_cell_get_value(&cell, &v) == XLSX_OK && v.type != XLSX_VALUE_EMPTY)
    std::printf("cell\t%s\t%s\t%s\t%s\n", sheet, xlsx_cellref_text(&ref), xlsx_value_type_name(&v), value_text(v).c_str());
  xlsx_value_reset(&v);
  if (xlsx_cell_has_formula(&cell)) {
    XlsxText f;
    xlsx_text_init(&f);
    xlsx_status status = xlsx_cell_get_formula(&cell, &f);
    std::printf("formula\t%s\t%s\t%s\n", sheet, xlsx_cellref_text(&ref),
                status == XLSX_OK ? escaped(xlsx_text_get(&f)).c_str() : "(unsupported)");
    xlsx_text_release(&f);
  }
}

bool dump() {
  XlsxWorkbook* wb = workbook();
  for (uint32_t i = 1; i <= xlsx_workbook_sheet_count(wb); i++) {
    const char* name = xlsx_workbook_sheet_name_at(wb, i);
    std::string rel_id = xlsx_workbook_sheet_rid(wb, name);
    std::printf("sheet\t%u\t%s\t%s\t%d\n", i, name, xlsx_workbook_sheet_state(wb, rel_id.c_str()),
                xlsx_workbook_is_active(wb, rel_id.c_str()) ? 1 : 0);
    XlsxWorksheet ws;
    if (xlsx_workbook_worksheet_at(wb, i, &ws) != XLSX_OK) continue;
    uint32_t rows = xlsx_sheet_row_count(&ws), columns = xlsx_sheet_column_count(&ws);
    for (uint32_t r = 1; r <= rows; r++) {
      for (uint32_t c = 1; c <= columns; c++) {
        XlsxCell cell;
        if (xlsx_sheet_find_cell(&ws, r, c, &cell) == XLSX_OK) dump_cell(name, cell);
      }
    }
    for (uint32_t r = 1; r <= rows; r++) {
      XlsxRow row;
      if (xlsx_sheet_row(&ws, r, &row) != XLSX_OK) continue;
      if (xlsx_row_height(&row) != 15.0 || xlsx_row_is_hidden(&row))
        std::printf("row\t%s\t%u\t%.9g\t%d\n", name, r, xlsx_row_height(&row), xlsx_row_is_hidden(&row) ? 1 : 0);
    }
  }
  return true;
}

bool set_cell(const char* sheet, const char* ref, const char* kind, const char* text) {
  XlsxWorksheet ws;
  XlsxCell cell;
  if (xlsx_workbook_worksheet(workbook(), sheet, &ws) != XLSX_OK || xlsx_sheet_cell_by_ref(&ws, ref, &cell) != XLSX_OK)
    return false;
  if (std::strcmp(kind, "formula") == 0) return xlsx_cell_set_formula(&cell, text) == XLSX_OK;
  XlsxCellValue v;
  xlsx_value_init(&v);
  if (std::strcmp(kind, "int") == 0) xlsx_value_set_int(&v, std::strtoll(text, nullptr, 10));
  else if (std::strcmp(kind, "float") == 0) xlsx_value_set_float(&v, std::strtod(text, nullptr));
  else if (std::strcmp(kind, "bool") == 0) xlsx_value_set_bool(&v, std::strcmp(text, "0") != 0);
  else if (std::strcmp(kind, "error") == 0) xlsx_value_set_error(&v, text);
  else if (std::strcmp(kind, "str") == 0) xlsx_value_set_string(&v, text);
  bool ok = xlsx_cell_set_value(&cell, &v) == XLSX_OK;
  xlsx_value_reset(&v);
  return ok;
}

bool attribute(const char* what, const char* sheet, uint32_t n, double x) {
  XlsxWorksheet ws;
  if (xlsx_workbook_worksheet(workbook(), sheet, &ws) != XLSX_OK) return false;
  if (what[0] == 'w' || std::strcmp(what, "hidecol") == 0) {
    XlsxColumn col;
    if (xlsx_sheet_column(&ws, n, &col) != XLSX_OK) return false;
    return (what[0] == 'w' ? xlsx_column_set_width(&col, static_cast<float>(x)) : xlsx_column_set_hidden(&col, x != 0)) == XLSX_OK;
  }
  XlsxRow row;
  if (xlsx_sheet_row(&ws, n, &row) != XLSX_OK) return false;
  return (what[0] == 'h' && what[1] == 'e' ? xlsx_row_set_height(&row, static_cast<float>(x))
                                           : xlsx_row_set_hidden(&row, x != 0)) == XLSX_OK;
}

// Runs the command at argv[i]; returns the number of words used, 0 on failure.
int run(int argc, char** argv, int i) {
  const char* c = argv[i];
  auto need = [&](int n) { return i + n < argc; };
  XlsxWorkbook* wb = workbook();
  if (!std::strcmp(c, "dump")) return dump() ? 1 : 0;
  if (!std::strcmp(c, "add") && need(1)) return xlsx_workbook_add_sheet(wb, argv[i + 1]) == XLSX_OK ? 2 : 0;
  if (!std::strcmp(c, "delete") && need(1)) return xlsx_workbook_delete_sheet(wb, argv[i + 1]) == XLSX_OK ? 2 : 0;
  if (!std::strcmp(c, "move") && need(2)) return xlsx_workbook_move_sheet(wb, argv[i + 1], std::atoi(argv[i + 2])) == XLSX_OK ? 3 : 0;
  if (!std::strcmp(c, "rename") && need(2)) {
    std::string rid = xlsx_workbook_sheet_rid(wb, argv[i + 1]);
    return xlsx_workbook_rename_sheet(wb, rid.c_str(), argv[i + 2]) == XLSX_OK ? 3 : 0;
  }
  if (!std::strcmp(c, "state") && need(2)) {
    std::string rid = xlsx_workbook_sheet_rid(wb, argv[i + 1]);
    return xlsx_workbook_set_sheet_state(wb, rid.c_str(), argv[i + 2]) == XLSX_OK ? 3 : 0;
  }
  if (!std::strcmp(c, "active") && need(1)) {
    std::string rid = xlsx_workbook_sheet_rid(wb, argv[i + 1]);
    xlsx_workbook_set_active(wb, rid.c_str());
    return 2;
  }
  if (!std::strcmp(c, "set") && need(4)) return set_cell(argv[i + 1], argv[i + 2], argv[i + 3], argv[i + 4]) ? 5 : 0;
  if ((!std::strcmp(c, "width") || !std::strcmp(c, "height") || !std::strcmp(c, "hidecol") || !std::strcmp(c, "hiderow")) && need(3))
    return attribute(c, argv[i + 1], static_cast<uint32_t>(std::atoi(argv[i + 2])), std::atof(argv[i + 3])) ? 4 : 0;
  if (!std::strcmp(c, "inline") && need(1)) {
    xlsx_set_shared_strings_mode(static_cast<uint32_t>(std::atoi(argv[i + 1])));
    return 2;
  }
  if (!std::strcmp(c, "save") && need(1)) return xlsx_package_save_as(&g_book.package, argv[i + 1]) == XLSX_OK ? 2 : 0;
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: sheet_tool FILE COMMAND...\n");
    return 2;
  }
  if (xlsx_test::test_book_open(&g_book, argv[1]) != XLSX_OK) {
    std::fprintf(stderr, "cannot open %s\n", argv[1]);
    xlsx_test::test_book_close(&g_book);
    return 1;
  }
  int status = 0;
  for (int i = 2; i < argc;) {
    int used = run(argc, argv, i);
    if (used == 0) {
      std::fprintf(stderr, "command failed: %s\n", argv[i]);
      status = 1;
      break;
    }
    i += used;
  }
  xlsx_test::test_book_close(&g_book);
  return status;
}

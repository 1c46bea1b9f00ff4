// Rows, cells, ranges, the cell lookup and the shared strings (lib/sheet).
#include "tests/sheet/sheet_fixture.h"

namespace {

// Finding never creates, reading does; rows and cells go in order; positions outside the sheet are refused.
TEST_F(Cells, RowsAndCellsAreCreatedInOrderAndCounted) {
  EXPECT_EQ(xlsx_sheet_row_count(&ws_) * 10 + xlsx_sheet_column_count(&ws_), 1u);
  XlsxCell c;
  EXPECT_EQ(xlsx_sheet_find_cell(&ws_, 4, 3, &c), XLSX_ERR_NOT_FOUND) << "finding never creates";
  EXPECT_EQ(c.element, nullptr);
  EXPECT_EQ(value_at(4, 3), "empty:") << "reading creates the cell";
  EXPECT_EQ(xlsx_sheet_row_count(&ws_) * 10 + xlsx_sheet_column_count(&ws_), 43u);
  for (uint32_t column : {2u, 1u, 3u}) set(2, column, "integer:" + std::to_string(column));
  for (uint32_t r : {10u, 11u, 12u, 7u}) cell(r, 1);
  EXPECT_EQ(sheet_data_xml(), named("rows-in-order"));
  const uint32_t positions[][2] = {{0, 1}, {1048577, 1}, {1, 16385}, {1, 0}};
  for (const auto& p : positions) EXPECT_EQ(xlsx_sheet_cell(&ws_, p[0], p[1], &c), XLSX_ERR_INVALID_ARG);
  for (const char* text : {"", "XFE1", "A10485760"})
    EXPECT_EQ(xlsx_sheet_cell_by_ref(&ws_, text, &c), XLSX_ERR_INVALID_ARG);
  XlsxRow row;
  EXPECT_EQ(xlsx_sheet_row(&ws_, 0, &row) + xlsx_sheet_row(&ws_, 1048577, &row), 2 * XLSX_ERR_INVALID_ARG);
  EXPECT_EQ(xlsx_sheet_cell(nullptr, 1, 1, &c), XLSX_ERR_INVALID_ARG);
  EXPECT_EQ(xlsx_sheet_row_count(&ws_), 12u) << "refusals created nothing";
  load_sheet(worksheet_with(""));
  EXPECT_EQ(xlsx_sheet_cell(&ws_, 1, 1, &c), XLSX_ERR_INVALID_ARG) << "a sheet without sheetData";
  EXPECT_EQ(xlsx_sheet_row_count(&ws_), 0u);
}

// Every stored form reads the same through the copying and the lending read; a lent text is not copied.
TEST_F(CellValues, EveryStoredFormReadsTheSameCopiedOrLent) {
  ASSERT_EQ(xlsx_sst_append(&book_.sst, "second"), 1);
  for (const auto& row : cases("stored")) {
    load_cell(row[0], row[1]);
    XlsxCell c = cell(1, 1);
    EXPECT_EQ(value_of(c), row[2]) << row.where;
    XlsxCellValue v{};
    const char* text = nullptr;
    uint32_t live = xlsx_live_allocations();
    ASSERT_EQ(xlsx_cell_peek_value(&c, &v, &text), XLSX_OK) << row.where;
    EXPECT_TRUE(!text || xlsx_live_allocations() == live) << "a lent text was copied: " << row.where;
    EXPECT_TRUE(row[3] == "-" || (text != nullptr) == (row[3] == "1")) << row.where;
    EXPECT_EQ(describe(v, text), row[2]) << "lending read of " << row.where;
    xlsx_value_reset(&v);
  }
}

// Decimal texts at the edges of the double range, halfway or beyond 17 digits, read as strtod reads them.
TEST_F(CellValues, NumbersReadAsTheCLibraryDoes) {
  XlsxCell c = cell(1, 1);
  XmlNode* v = xml_node_append_child(c.element, "v");
  for (const auto& row : cases("decimal")) {
    ASSERT_TRUE(xml_node_set_text(v, row[0].c_str()));
    Value value;
    ASSERT_EQ(xlsx_cell_get_value(&c, &value), XLSX_OK);
    double expected = std::strtod(row[0].c_str(), nullptr);
    EXPECT_TRUE(value.type == XLSX_VALUE_FLOAT && std::memcmp(&value.number, &expected, sizeof expected) == 0)
        << row.where;
  }
}

// Each kind is written in its form over what the cell held and reads back; an infinite float is "#NUM!".
TEST_F(CellValues, EachKindIsWrittenInItsForm) {
  xlsx_set_shared_strings_mode(1);
  for (const auto& row : cases("written")) {
    load_cell(row[0], row[1]);
    set(1, 1, row[2]);
    EXPECT_EQ(sheet_data_xml(), "<sheetData><row r=\"1\">" + row[3] + "</row></sheetData>") << row.where;
    EXPECT_EQ(value_at(1, 1), row[4]) << row.where;
  }
  XlsxCell a1 = cell(1, 1);
  XlsxCellValue infinite{};
  infinite.type = XLSX_VALUE_FLOAT, infinite.number = INFINITY;
  EXPECT_EQ(xlsx_cell_set_value(&a1, &infinite), XLSX_OK);
  EXPECT_TRUE(holds(sheet_data_xml(), "<c r=\"A1\" s=\"4\" t=\"e\"><f>B1</f><v>#NUM!</v></c>"));
}

// Texts are shared once each; clearing keeps style and formula; bad handles fail and clear a lent text.
TEST_F(CellValues, TextsAreSharedOnceOrInlineAndReplacingKeepsStyleAndFormula) {
  set(1, 1, "string:abc");
  set(2, 2, "string:abc");
  uint32_t count = xlsx_sst_count(&book_.sst);
  set(3, 3, "string:abc");
  EXPECT_EQ(xlsx_sst_count(&book_.sst), count);
  std::string index = std::to_string(xlsx_sst_find(&book_.sst, "abc"));
  EXPECT_TRUE(has(sheet_data_xml(), "<c r=\"B2\" t=\"s\"><v>" + index + "</v></c>"));
  EXPECT_EQ(value_at(2, 2), "string:abc");
  load_cell("s=\"4\" t=\"str\"", "<f>B1</f><v>x</v>");
  XlsxCell c = cell(1, 1), none = {};
  EXPECT_EQ(xlsx_cell_clear_value(&c), XLSX_OK);
  EXPECT_EQ(sheet_data_xml(), "<sheetData><row r=\"1\"><c r=\"A1\" s=\"4\"><f>B1</f></c></row></sheetData>");
  Value v;
  EXPECT_EQ(xlsx_cell_get_value(&none, &v), XLSX_ERR_INTERNAL);
  EXPECT_EQ(xlsx_cell_set_value(&none, &v) + xlsx_cell_clear_value(nullptr), 2 * XLSX_ERR_INVALID_ARG);
  EXPECT_FALSE(xlsx_cell_has_formula(&none));
  for (auto [target, value] : std::vector<std::pair<XlsxCell*, XlsxCellValue*>>{{&none, &v}, {&c, nullptr}}) {
    const char* text = "stale";
    EXPECT_EQ(xlsx_cell_peek_value(target, value, &text), XLSX_ERR_INTERNAL);
    EXPECT_EQ(text, nullptr);
  }
  EXPECT_EQ(xlsx_cell_peek_value(&c, &v, nullptr), XLSX_ERR_INTERNAL);
}

// The references of the cells of the range walked, "," between them.
std::string walk(XlsxWorksheet* ws, const char* first, const char* last) {
  XlsxCellRef a, b;
  xlsx_cellref_set_text(&a, first);
  xlsx_cellref_set_text(&b, last);
  XlsxCellRange range;
  EXPECT_EQ(xlsx_range_init(ws, &a, &b, &range), XLSX_OK);
  XlsxCellIterator it;
  std::string refs;
  for (xlsx_iter_begin(&it, &range); !xlsx_iter_at_end(&it); xlsx_iter_next(&it)) {
    XlsxCell c = xlsx_iter_cell(&it);
    XlsxCellRef ref;
    EXPECT_EQ(xlsx_cell_ref(&c, &ref), XLSX_OK);
    refs += (refs.empty() ? "" : ",") + std::string(xlsx_cellref_text(&ref));
  }
  EXPECT_EQ(xlsx_iter_cell(&it).element, nullptr);
  return refs;
}

// Ranges are walked in reading order, reversed corners put in order, missing cells created.
TEST_F(Cells, RangesAreWalkedInReadingOrder) {
  set(2, 2, "integer:22");
  EXPECT_EQ(walk(&ws_, "A2", "B3"), "A2,B2,A3,B3");
  EXPECT_EQ(walk(&ws_, "C3", "B2"), "B2,C2,B3,C3");
  EXPECT_EQ(walk(&ws_, "B3", "C2"), "B2,C2,B3,C3");
  EXPECT_EQ(walk(&ws_, "D4", "D4"), "D4");
  EXPECT_EQ(value_at(2, 2), "integer:22");
  load_empty("");
  walk(&ws_, "A1", "B2");
  EXPECT_EQ(sheet_data_xml(), named("range-created"));
  XlsxCellRef a = {0, 1, "?"}, b = {2, 2, "B2"};
  XlsxCellRange range;
  EXPECT_EQ(xlsx_range_init(&ws_, &a, &b, &range), XLSX_ERR_INVALID_ARG);
  XlsxCellIterator it;
  EXPECT_EQ(xlsx_iter_begin(&it, nullptr), XLSX_ERR_INVALID_ARG);
  EXPECT_TRUE(xlsx_iter_at_end(&it));
}

// A saved sheet's `dimension` covers its cells (none: A1), is not added, and is left alone when right.
TEST_F(Cells, SavedSheetsDimensionSpansEveryCell) {
  auto dimension = [this] {
    EXPECT_EQ(xlsx_sheet_update_dimension(ws_.part), XLSX_OK);
    std::string xml = sheet_xml();
    size_t start = xml.find("<dimension");
    return start == std::string::npos ? "" : xml.substr(start, xml.find("/>", start) + 2 - start);
  };
  load_sheet(worksheet_with("<sheetData/>", "<dimension ref=\"C9\"/>"));
  EXPECT_EQ(dimension(), "<dimension ref=\"A1\"/>");
  set(3, 4, "integer:1");
  EXPECT_EQ(dimension(), "<dimension ref=\"D3\"/>");
  const uint32_t cells[][2] = {{2, 3}, {5, 2}, {4, 7}};
  for (const auto& rc : cells) set(rc[0], rc[1], "integer:1");
  EXPECT_EQ(dimension(), "<dimension ref=\"B2:G5\"/>");
  uint32_t generation = xlsx_part_load(ws_.part)->generation;
  EXPECT_EQ(dimension(), "<dimension ref=\"B2:G5\"/>");
  EXPECT_EQ(xlsx_part_load(ws_.part)->generation, generation);
  load_sheet(worksheet_with("<sheetData><row r=\"2\"><c r=\"B2\"><v>1</v></c></row></sheetData>"));
  EXPECT_EQ(dimension(), "");
}

// On random sheets (gaps, no `r`, disorder, other nodes), with cells removed behind the index now and then,
// every find and create gives the cell a walk through the row finds, and leaves rows and cells in order.
using Random = std::mt19937;
uint32_t pick(Random& random, uint32_t n) { return static_cast<uint32_t>(random() % n); }

std::string random_row(Random& random, uint32_t number, bool with_r, uint32_t* id) {
  std::vector<std::string> cells;
  char letters[4];
  for (uint32_t i = 0, column = 0, count = pick(random, 14); i < count; i++) {
    column += 1 + (pick(random, 3) == 0 ? pick(random, 40) : 0);
    std::string r = " r=\"" + std::string(xlsx_column_to_letters(column, letters)) + std::to_string(number) + "\"";
    cells.push_back("<c" + (pick(random, 10) == 0 ? "" : r) + "><v>" + std::to_string((*id)++) + "</v></c>");
  }
  if (cells.size() > 1 && pick(random, 6) == 0)
    std::swap(cells[0], cells[1 + pick(random, uint32_t(cells.size()) - 1)]);
  std::string text = with_r ? "<row r=\"" + std::to_string(number) + "\">" : "<row>";
  for (const std::string& c : cells) text += (pick(random, 4) == 0 ? "\n   " : "") + c;
  return text + (pick(random, 12) == 0 ? "<extLst/>" : "") + "</row>";
}

std::string random_sheet(Random& random, uint32_t* max_row) {
  std::vector<std::string> rows;
  uint32_t number = 0, id = 1;
  bool swap = pick(random, 4) == 0;
  for (uint32_t i = 0, count = 1 + pick(random, 30); i < count; i++) {
    bool with_r = swap || pick(random, 12) != 0;
    number += 1 + (with_r && pick(random, 3) == 0 ? pick(random, 5) : 0);
    rows.push_back(random_row(random, number, with_r, &id));
  }
  if (swap && rows.size() > 1)
    std::swap(rows[pick(random, uint32_t(rows.size()))], rows[pick(random, uint32_t(rows.size()))]);
  *max_row = number + 2;
  std::string data;
  for (const std::string& row : rows) data += (pick(random, 3) == 0 ? "\n " : "") + row;
  return worksheet_with("<sheetData>" + data + "</sheetData>");
}

class CellLookup : public SheetTest {
 protected:
  XmlNode* sheet_data() { return xml_node_child(xlsx_part_root(ws_.part), "sheetData"); }
  void expect_ordered() {
    uint32_t previous_row = 0;
    for (XmlNode* row = xml_node_first_element(sheet_data()); row; row = xml_node_next_element(row)) {
      ASSERT_GT(sheet_row_number(row), previous_row);
      previous_row = sheet_row_number(row);
      const XlsxRowEntry* entry = ws_.index ? sheet_index_find_row(ws_.index, previous_row) : nullptr;
      uint32_t previous_column = 0;
      for (XmlNode* x = xml_node_first_element(row); entry && entry->cells_checked && x; x = xml_node_next_element(x)) {
        if (!xml_node_is_element(x, "c")) continue;
        ASSERT_GE(sheet_cell_column(x), previous_column) << "row " << previous_row;
        previous_column = sheet_cell_column(x);
      }
    }
  }
  // One lookup, checked against a plain walk through every `c` of row r made right after it.
  void check(uint32_t r, uint32_t c, bool create) {
    XlsxCell found;
    xlsx_status status = create ? xlsx_sheet_cell(&ws_, r, c, &found) : xlsx_sheet_find_cell(&ws_, r, c, &found);
    std::vector<XmlNode*> walked;
    for (XmlNode* row = xml_node_first_element(sheet_data()); row; row = xml_node_next_element(row)) {
      if (!xml_node_is_element(row, "row") || sheet_row_number(row) != r) continue;
      for (XmlNode* x = xml_node_first_element(row); x; x = xml_node_next_element(x))
        if (xml_node_is_element(x, "c") && sheet_cell_column(x) == c) walked.push_back(x);
    }
    std::string where = (create ? "created " : "found ") + std::to_string(r) + "," + std::to_string(c);
    ASSERT_EQ(status, walked.empty() ? XLSX_ERR_NOT_FOUND : XLSX_OK) << where;
    ASSERT_TRUE(walked.empty() || std::find(walked.begin(), walked.end(), found.element) != walked.end()) << where;
  }
};

TEST_F(CellLookup, EveryFindAndCreateGivesTheCellAWalkOfTheRowFinds) {
  Random random(20261207);
  for (int sheet = 0; sheet < 60 && !HasFatalFailure(); sheet++) {
    SCOPED_TRACE("sheet " + std::to_string(sheet));
    uint32_t max_row = 0;
    load_sheet(random_sheet(random, &max_row));
    uint32_t top = 1 + pick(random, max_row), left = 1 + pick(random, 40);
    for (uint32_t r = top; r < top + 4 && !HasFatalFailure(); r++)
      for (uint32_t c = left; c < left + 30 && !HasFatalFailure(); c++) check(r, c, pick(random, 5) == 0);
    for (int i = 0; i < 300 && !HasFatalFailure(); i++) {
      check(1 + pick(random, max_row), 1 + (pick(random, 2) ? pick(random, 40) : pick(random, 160)),
            pick(random, 4) == 0);
      if (pick(random, 50) == 0) {  // a cell of some row goes behind the index
        XmlNode* row = xml_node_first_element(sheet_data());
        for (uint32_t k = pick(random, 8); k > 0 && xml_node_next_element(row); k--) row = xml_node_next_element(row);
        if (XmlNode* victim = sheet_last_cell(row)) xml_node_remove_child(row, victim);
      }
    }
    expect_ordered();
  }
  // A regular sheet large enough for the index to sample its rows and guess where cells lie, read from
  // the end (past the last sample) to the start.
  std::string data;
  for (uint32_t r = 1; r <= 1057; r++)  // 33 samples, the last row past them
    data += "<row r=\"" + std::to_string(r) + "\"><c r=\"A" + std::to_string(r) + "\"/><c r=\"B" +
            std::to_string(r) + "\"><v>1</v></c><c r=\"C" + std::to_string(r) + "\"/></row>";
  load_sheet(worksheet_with("<sheetData>" + data + "</sheetData>"));
  for (uint32_t r = 1057; r >= 1 && !HasFatalFailure(); r = r > 3 ? r - 3 : 0)
    for (uint32_t c = 1; c <= 4; c++) check(r, (c * r) % 4 + 1, c == 4);
}

using Texts = std::vector<std::string>;

// A table over a part whose stored text is xml, with its own array of texts; parsed first when asked.
class Table {
 public:
  explicit Table(const std::string& xml, bool parse_first = false) : text_(xml) {
    xlsx_part_init(&part_, nullptr, "xl/sharedStrings.xml", "", XLSX_CT_SHARED_STRINGS);
    auto load = [](void* self, const char*, uint32_t* size, xlsx_status* status) -> const char* {
      const std::string& text = static_cast<Table*>(self)->text_;
      return *status = XLSX_OK, *size = uint32_t(text.size()), text.data();
    };
    xlsx_part_set_loader(&part_, load, this);
    xlsx_part_set_release(&part_, [](void* context, const char*) { static_cast<Table*>(context)->releases_++; });
    dynarray_init(&strings_, sizeof(char*), nullptr);
    xlsx_sst_init(&table_, &part_, &strings_);
    if (parse_first) xlsx_part_load(&part_);
  }
  ~Table() {
    for (uint32_t i = 0; i < strings_.count; i++) xlsx_free(*static_cast<char**>(dynarray_get(&strings_, i)));
    dynarray_free(&strings_);
    xlsx_sst_release(&table_);
    xlsx_part_free(&part_);
  }
  Texts texts() {
    Texts out;
    for (uint32_t i = 0, n = xlsx_sst_count(&table_); i < n; i++) out.emplace_back(xlsx_sst_get(&table_, i));
    return out;
  }
  // Whether the texts were read without parsing the part.
  bool read_directly() const { return table_.loaded && !part_.loaded; }
  std::string text_;
  uint32_t releases_ = 0;
  XlsxSharedStrings table_{};
  XlsxPart part_{};
  DynArray strings_{};
};

const std::string kHead =
    "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n"
    "<sst xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\" count=\"9\" uniqueCount=\"9\">";

std::string table_of(const std::string& items) { return kHead + items + "</sst>"; }

// Each item form is read directly and gives the tree's texts; whole tables of other forms go to the tree.
TEST_F(SharedStrings, EveryKnownFormGivesTheTextsOfTheTree) {
  for (const auto& c : cases("items")) {
    Table direct(table_of(c[1])), tree(table_of(c[1]), true);
    Texts expected(c.fields.begin() + 2, c.fields.end());
    EXPECT_EQ(direct.texts(), expected) << c.where;
    EXPECT_TRUE(direct.read_directly()) << c.where;
    EXPECT_EQ(direct.releases_, 1u) << "the inflated text is dropped once read: " << c.where;
    EXPECT_EQ(tree.texts(), expected) << c.where;
  }
  for (const auto& c : cases("table")) {
    std::string xml = c[0];
    if (xml.find("HEAD") != std::string::npos) xml.replace(xml.find("HEAD"), 4, kHead);
    Table direct(xml), tree(xml, true);
    EXPECT_EQ(direct.texts(), tree.texts()) << c.where;
    EXPECT_TRUE(c[1] == "-" || direct.read_directly() == (c[1] == "1")) << c.where;
    EXPECT_TRUE(c.fields.size() < 3 || direct.texts().size() == std::stoul(c[2])) << c.where;
    EXPECT_TRUE(c.fields.size() < 4 || direct.texts() == Texts(c.fields.begin() + 3, c.fields.end())) << c.where;
  }
}

// Appends after a direct reading save the same bytes as after a tree reading; the counts follow, edge
// spaces are preserved, the empty text is a bare item; a file without `count` gets none.
TEST_F(SharedStrings, AppendsKeepTheXmlAndTheArrayInStep) {
  const std::string xml = table_of("<si><t>one</t></si><si><r><t>t</t></r><r><t>wo</t></r></si>");
  Table direct(xml), tree(xml, true);
  ASSERT_EQ(xlsx_sst_ensure_loaded(&direct.table_), XLSX_OK);
  EXPECT_TRUE(direct.read_directly());
  for (Table* table : {&direct, &tree}) {
    EXPECT_EQ(xlsx_sst_find_or_append(&table->table_, "two"), 1);
    EXPECT_EQ(xlsx_sst_find_or_append(&table->table_, " lead"), 2);
    int32_t index = 3;
    for (const char* text : {"trail ", "mid dle", "", static_cast<const char*>(nullptr)})
      EXPECT_EQ(xlsx_sst_append(&table->table_, text), index++);
    EXPECT_EQ(xlsx_sst_find(&table->table_, ""), 5);
  }
  EXPECT_EQ(direct.texts(), tree.texts());
  EXPECT_EQ(part_text(&direct.part_), part_text(&tree.part_));
  EXPECT_TRUE(has(part_text(&direct.part_), "count=\"7\" uniqueCount=\"7\""));
  EXPECT_TRUE(holds(part_text(&direct.part_), named("appended-texts")));
  Table no_count("<sst uniqueCount=\"1\"><si><t>x</t></si></sst>");
  ASSERT_EQ(xlsx_sst_append(&no_count.table_, "y"), 1);
  EXPECT_TRUE(has(part_text(&no_count.part_), "<sst uniqueCount=\"2\">"));
}

// Lookups find the first of duplicates and scale to many texts; a table without part or array refuses.
TEST_F(SharedStrings, LookupsFindTheFirstOfDuplicatesAndScaleToManyTexts) {
  Table dup(table_of("<si><t>a</t></si><si><t>dup</t></si><si><t>b</t></si><si><t>dup</t></si>"));
  EXPECT_EQ(xlsx_sst_find(&dup.table_, "dup"), 1);
  EXPECT_EQ(xlsx_sst_find(&dup.table_, "DUP") + xlsx_sst_find(&dup.table_, nullptr) + xlsx_sst_find(nullptr, "a"), -3);
  EXPECT_TRUE(xlsx_sst_contains(&dup.table_, "b") && !xlsx_sst_contains(&dup.table_, "c"));
  EXPECT_STREQ(xlsx_sst_get(&dup.table_, 4), "");
  EXPECT_STREQ(xlsx_sst_get(nullptr, 0), "");
  std::string items;
  Texts expected;
  for (int i = 0; i < 5000; i++) {
    std::string text = i % 7 == 0 ? "a &amp; " + std::to_string(i) : "name-" + std::to_string(i);
    items += i % 11 == 0 ? "<si><r><t>" + text + "</t></r></si>" : "<si><t>" + text + "</t></si>";
    expected.push_back(i % 7 == 0 ? "a & " + std::to_string(i) : text);
  }
  Table large(table_of(items));
  EXPECT_EQ(large.texts(), expected);
  EXPECT_TRUE(large.read_directly());
  for (int i = 5000; i < 6000; i++)
    ASSERT_EQ(xlsx_sst_find_or_append(&large.table_, ("t-" + std::to_string(i)).c_str()), i);
  for (int i = 0; i < 6000; i += 7)
    ASSERT_EQ(xlsx_sst_find(&large.table_, (i < 5000 ? expected[i] : "t-" + std::to_string(i)).c_str()), i);
  XlsxSharedStrings none;
  xlsx_sst_init(&none, nullptr, nullptr);
  EXPECT_EQ(xlsx_sst_append(&none, "x") + xlsx_sst_find(&none, "x"), -2) << "a table without part or array";
  EXPECT_EQ(xlsx_sst_count(&none), 0u);
  xlsx_sst_release(&none);
  EXPECT_EQ(xlsx_sst_ensure_loaded(nullptr), XLSX_ERR_INVALID_ARG);
}

// A reading that runs out of memory leaves the table empty and readable; a failed append changes nothing.
TEST_F(SharedStrings, RunningOutOfMemoryChangesNothing) {
  const std::string xml =
      table_of("<si><t>a</t></si><si><r><t>b</t></r><r><t>&amp;c</t></r></si><si><t>d\r\n</t></si>");
  for (uint32_t fail_at = 1, parsed = 0; parsed < 2; fail_at++) {  // read directly, then from the tree
    ASSERT_LT(fail_at, 200u) << "the reading never completed";
    Table table(xml, parsed);
    xlsx_test::FaultAllocation fault(fail_at);
    xlsx_status status = xlsx_sst_ensure_loaded(&table.table_);
    bool failed = fault.failures() > 0;
    fault.fail_after(1, true);  // a reader that cannot load the table reads ""
    EXPECT_TRUE(!failed || *xlsx_sst_get(&table.table_, 0) == 0);
    fault.fail_after(0);
    EXPECT_TRUE(!failed || (status == XLSX_ERR_NO_MEMORY && table.strings_.count == 0 && !table.table_.loaded));
    EXPECT_EQ(table.texts(), (Texts{"a", "b&c", "d\n"}));
    if (!failed) fail_at = 0, parsed++;
  }
  // A table of many texts is sampled last: without memory for that its reading fails whole, too.
  std::string many;
  for (int i = 0; i < 5000; i++) many += "<si><t>" + std::to_string(i) + "</t></si>";
  for (bool parsed : {false, true}) {
    Table probe(table_of(many), parsed), starved(table_of(many), parsed);
    xlsx_test::FaultAllocation fault(0);
    ASSERT_EQ(xlsx_sst_ensure_loaded(&probe.table_), XLSX_OK);
    fault.fail_after(fault.calls());  // the same reading's last allocation
    EXPECT_EQ(xlsx_sst_ensure_loaded(&starved.table_), XLSX_ERR_NO_MEMORY);
    EXPECT_EQ(fault.failures() * 10000 + starved.strings_.count, 10000u) << parsed;
    EXPECT_STREQ(xlsx_sst_get(&starved.table_, 4999), "4999");
  }
  // Appends to a table read directly, and to a parsed one with its free slots and text arena used up to
  // each of several levels (a page or a chunk runs out at each step, the second count among them).
  std::string items;
  for (int i = 0; i < 12; i++) items += "<si><t>" + std::to_string(i) + "</t></si>";
  for (int32_t room = -16; room <= 64; room += 8) {
    for (uint32_t n = 1;; n++) {  // a fresh table each time: what a failed run leaves allocated stays
      Table table(table_of(items), room > -16);
      if (room >= 0) use_up(xlsx_part_root(&table.part_), room);
      xlsx_sst_find(&table.table_, "a");  // read and indexed outside the failing run
      const std::string before = part_text(&table.part_);
      xlsx_test::FaultAllocation fault(n);
      int32_t index = xlsx_sst_append(&table.table_, " spaced text ");
      bool failed = fault.failures() > 0;
      fault.fail_after(0);
      if (!failed) {
        EXPECT_STREQ(xlsx_sst_get(&table.table_, uint32_t(index)), " spaced text ");
        break;
      }
      EXPECT_EQ(index, -1);
      EXPECT_EQ(xlsx_sst_count(&table.table_), 12u);
      EXPECT_EQ(part_text(&table.part_), before) << room << ", allocation " << n;
    }
  }
}

}  // namespace

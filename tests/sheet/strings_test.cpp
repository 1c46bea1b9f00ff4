// The shared strings table: read from the part's text or the tree, lookups, appends, running out of memory.
#include "lib/package/content_types.h"
#include "lib/sheet/shared_strings.h"
#include "tests/sheet/sheet_test_util.h"

namespace sheet_test {
namespace {

using Texts = std::vector<std::string>;

// A table over a part whose stored text is xml, with its own array of texts; parsed first when asked.
class Table {
 public:
  explicit Table(const std::string& xml, bool parse_first = false) : text_(xml) {
    xlsx_part_init(&part_, nullptr, "xl/sharedStrings.xml", "", XLSX_CT_SHARED_STRINGS);
    auto load = [](void* self, const char*, uint32_t* size, xlsx_status* status) -> const char* {
      const std::string& text = static_cast<Table*>(self)->text_;
      *status = XLSX_OK, *size = uint32_t(text.size());
      return text.data();
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

using SharedStrings = xlsx_test::CountedTest;

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
  EXPECT_TRUE(has(part_text(&direct.part_), "<si><t xml:space=\"preserve\"> lead</t></si><si><t xml:space=\"preserve\">"
                                            "trail </t></si><si><t>mid dle</t></si><si><t/></si><si><t/></si>"));
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
}  // namespace sheet_test

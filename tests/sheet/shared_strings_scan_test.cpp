// Reading the shared strings table straight from the part's text: every form gives the texts the tree
// walk gives, forms the direct reading does not know are left to the tree, appends and saves after a
// direct reading are the same as after a tree reading, and running out of memory leaves the table empty
// and readable later.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "lib/base/alloc.h"
#include "lib/base/dynarray.h"
#include "lib/package/content_types.h"
#include "lib/package/part.h"
#include "lib/sheet/shared_strings.h"
#include "tests/support/fault_alloc.h"
#include "tests/support/live_allocations.h"

namespace {

// The stored text of the part, handed out as an archive entry would be.
struct Source {
  std::string text;
  uint32_t loads = 0;
  uint32_t releases = 0;
};

const char* load_text(void* context, const char*, uint32_t* size, xlsx_status* status) {
  Source* source = static_cast<Source*>(context);
  source->loads++;
  *status = XLSX_OK;
  *size = static_cast<uint32_t>(source->text.size());
  return source->text.data();
}

void release_text(void* context, const char*) { static_cast<Source*>(context)->releases++; }

// A table over a part whose stored text is xml, with its own array of texts.
class Table {
 public:
  explicit Table(const std::string& xml) {
    source_.text = xml;
    xlsx_part_init(&part_, nullptr, "xl/sharedStrings.xml", "", XLSX_CT_SHARED_STRINGS);
    xlsx_part_set_loader(&part_, load_text, &source_);
    xlsx_part_set_release(&part_, release_text);
    dynarray_init(&strings_, sizeof(char*), nullptr);
    xlsx_sst_init(&table_, &part_, &strings_);
  }
  ~Table() {
    for (uint32_t i = 0; i < strings_.count; i++) xlsx_free(*static_cast<char**>(dynarray_get(&strings_, i)));
    dynarray_free(&strings_);
    xlsx_sst_release(&table_);
    xlsx_part_free(&part_);
  }
  Table(const Table&) = delete;
  Table& operator=(const Table&) = delete;

  std::vector<std::string> texts() {
    std::vector<std::string> out;
    uint32_t n = xlsx_sst_count(&table_);
    for (uint32_t i = 0; i < n; i++) out.emplace_back(xlsx_sst_get(&table_, i));
    return out;
  }
  std::string part_text() {
    char* text = nullptr;
    uint32_t length = 0;
    if (xlsx_part_serialize(&part_, &text, &length) != XLSX_OK) return "<failed>";
    std::string out(text, length);
    xlsx_free(text);
    return out;
  }
  // Whether the texts were read without parsing the part.
  bool read_directly() const { return table_.loaded && !part_.loaded; }

  XlsxSharedStrings table_{};
  XlsxPart part_{};
  DynArray strings_{};
  Source source_;
};

// The texts of xml read directly (when the reading knows the form) and through the tree.
struct BothWays {
  std::vector<std::string> direct;
  std::vector<std::string> tree;
  bool read_directly;
};

BothWays read_both_ways(const std::string& xml) {
  BothWays out;
  {
    Table table(xml);
    EXPECT_EQ(xlsx_sst_ensure_loaded(&table.table_), XLSX_OK);
    out.read_directly = table.read_directly();
    out.direct = table.texts();
  }
  Table table(xml);
  xlsx_part_load(&table.part_);  // a parsed part is read through its tree
  EXPECT_EQ(xlsx_sst_ensure_loaded(&table.table_), XLSX_OK);
  out.tree = table.texts();
  return out;
}

const char kHead[] =
    "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n"
    "<sst xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\" count=\"9\" uniqueCount=\"9\">";

std::string table_of(const std::string& items) { return kHead + items + "</sst>"; }

using SharedStringsScanTest = xlsx_test::CountedTest;

TEST_F(SharedStringsScanTest, PlainItemsAreReadWithoutParsingThePart) {
  Table table(table_of("<si><t>item-1</t></si><si><t>name-1</t></si><si><t></t></si><si><t/></si><si/>"));
  EXPECT_EQ(table.texts(), (std::vector<std::string>{"item-1", "name-1", "", "", ""}));
  EXPECT_TRUE(table.read_directly());
  EXPECT_EQ(table.source_.releases, 1u) << "the inflated text is dropped once read";
  EXPECT_EQ(xlsx_sst_find(&table.table_, "name-1"), 1);
  EXPECT_EQ(xlsx_sst_find(&table.table_, ""), 2);
}

struct FormCase {
  const char* name;
  std::string items;
  std::vector<std::string> texts;
};

TEST_F(SharedStringsScanTest, EveryKnownFormGivesTheTextsOfTheTree) {
  const FormCase cases[] = {
      {"rich text runs", "<si><r><rPr><b/><sz val=\"11\"/></rPr><t>bold</t></r><r><t xml:space=\"preserve\"> and plain</t></r></si>",
       {"bold and plain"}},
      {"a run without text and a run with two", "<si><r><rPr/></r><r><t>a</t><t>b</t></r></si>", {"a"}},
      {"named and numeric references", "<si><t>&lt;a&gt; &amp; &quot;b&quot; &apos;c&apos; &#65;&#x263A;&#x1F600;</t></si>",
       {"<a> & \"b\" 'c' A\xE2\x98\xBA\xF0\x9F\x98\x80"}},
      {"references left as written", "<si><t>&foo; & x &#0; &#xZZ; &abcdefghijklmnop;</t></si>",
       {"&foo; & x &#0; &#xZZ; &abcdefghijklmnop;"}},
      {"line ends", "<si><t>a\r\nb\rc\nd</t></si>", {"a\nb\nc\nd"}},
      {"kept white space", "<si><t xml:space=\"preserve\">  two  </t></si><si><t>   </t></si>", {"  two  ", "   "}},
      {"indented items", "\n  <si>\n    <t>x</t>\n  </si>\n  <si>\n    <r>\n      <t>y</t>\n    </r>\n  </si>\n", {"x", "y"}},
      {"phonetic guides left out", "<si><t>kanji</t><rPh sb=\"0\" eb=\"1\"><t>kana</t></rPh><phoneticPr fontId=\"1\"/></si>",
       {"kanji"}},
      {"first element that is not a text", "<si><rPh><t>kana</t></rPh><t>kanji</t></si><si><u>text of u</u></si>",
       {"", "text of u"}},
      {"single quotes and attributes on items", "<si a='1'><t b='&gt;'>q</t></si>", {"q"}},
      {"attributes without white space between", "<si><t a=\"1\"b='2'>a</t></si>", {"a"}},
      {"references in runs", "<si><r><t>&amp;</t></r><r><t>&#x41;</t></r></si>", {"&A"}},
  };
  for (const FormCase& c : cases) {
    BothWays both = read_both_ways(table_of(c.items));
    EXPECT_TRUE(both.read_directly) << c.name;
    EXPECT_EQ(both.direct, c.texts) << c.name;
    EXPECT_EQ(both.direct, both.tree) << c.name;
  }
}

// Whole documents: the direct reading takes a byte-order mark, a missing declaration and an empty root, and
// leaves everything it does not know to the tree, which gives the same texts in every case.
TEST_F(SharedStringsScanTest, DocumentLevelFormsAreReadOrLeftToTheTree) {
  std::string nul_in_text = table_of("<si><t>a#b</t></si>");
  nul_in_text[nul_in_text.find('#')] = '\0';  // the table is then empty, as from the tree
  const struct {
    std::string xml;
    int direct;  // -1: either way
  } cases[] = {
      {"\xEF\xBB\xBF" + table_of("<si><t>a</t></si>"), 1},
      {"<sst><si><t>a</t></si></sst>\n", 1},
      {"<?xml version=\"1.0\"?><sst count=\"0\"/>", 1},
      {table_of("<si><t>a<!-- note -->b</t></si>"), 0},
      {table_of("<si><t><![CDATA[<raw>]]></t></si>"), 0},
      {table_of("<si><t>a</t></si><?pi data?>"), 0},
      {table_of("<si><t>a</x></si>"), 0},                    // mismatched end tag
      {kHead + std::string("<si><t>a</t></si>"), 0},         // never closed
      {kHead + std::string("<si><t>a"), 0},                  // ends inside a text
      {table_of("<si><t>a</t></si>") + "<extra/>", 0},       // a second top-level element
      {"<!DOCTYPE sst>" + table_of("<si><t>a</t></si>"), 0},
      {"not xml at all", 0},
      {"<?xml version=\"1.0\"?>", 0},
      {nul_in_text, -1},
  };
  for (const auto& c : cases) {
    BothWays both = read_both_ways(c.xml);
    if (c.direct >= 0) {
      EXPECT_EQ(both.read_directly, c.direct == 1) << c.xml;
    }
    EXPECT_EQ(both.direct, both.tree) << c.xml;
  }
  EXPECT_EQ(read_both_ways(cases[2].xml).direct.size(), 0u);
  EXPECT_TRUE(read_both_ways(nul_in_text).direct.empty());
}

TEST_F(SharedStringsScanTest, AppendsAfterADirectReadingSaveTheSameBytes) {
  const std::string xml = table_of("<si><t>one</t></si><si><r><t>t</t></r><r><t>wo</t></r></si>");
  Table direct(xml);
  ASSERT_EQ(xlsx_sst_ensure_loaded(&direct.table_), XLSX_OK);
  ASSERT_TRUE(direct.read_directly());
  Table tree(xml);
  xlsx_part_load(&tree.part_);
  for (Table* table : {&direct, &tree}) {
    EXPECT_EQ(xlsx_sst_find_or_append(&table->table_, "two"), 1);
    EXPECT_EQ(xlsx_sst_find_or_append(&table->table_, " three "), 2);
    EXPECT_EQ(xlsx_sst_find(&table->table_, " three "), 2);
  }
  EXPECT_EQ(direct.texts(), tree.texts());
  EXPECT_EQ(direct.part_text(), tree.part_text());
  EXPECT_NE(direct.part_text().find("count=\"3\" uniqueCount=\"3\""), std::string::npos);
}

TEST_F(SharedStringsScanTest, ALargeTableReadsLikeTheTree) {
  std::string items;
  std::vector<std::string> expected;
  for (int i = 0; i < 5000; i++) {
    std::string text = i % 7 == 0 ? "a &amp; " + std::to_string(i) : "name-" + std::to_string(i);
    items += i % 11 == 0 ? "<si><r><t>" + text + "</t></r></si>" : "<si><t>" + text + "</t></si>";
    expected.push_back(i % 7 == 0 ? "a & " + std::to_string(i) : text);
  }
  BothWays both = read_both_ways(table_of(items));
  EXPECT_TRUE(both.read_directly);
  EXPECT_EQ(both.direct, expected);
  EXPECT_EQ(both.direct, both.tree);
}

TEST_F(SharedStringsScanTest, RunningOutOfMemoryLeavesTheTableEmptyAndReadableLater) {
  const std::string xml = table_of("<si><t>a</t></si><si><r><t>b</t></r><r><t>&amp;c</t></r></si><si><t>d\r\n</t></si>");
  // The table is built before each run's failing allocation is armed; the k-th allocation of the
  // reading fails in run k, until a run reads the whole table.
  for (uint32_t fail_at = 1; fail_at < 200; fail_at++) {
    Table table(xml);
    xlsx_test::FaultAllocation fault(fail_at);
    xlsx_status status = xlsx_sst_ensure_loaded(&table.table_);
    bool failed = fault.failures() > 0;
    fault.fail_after(0);
    if (failed) {
      EXPECT_EQ(status, XLSX_ERR_NO_MEMORY);
      EXPECT_EQ(table.strings_.count, 0u);
      EXPECT_EQ(table.table_.loaded, 0u);
    } else {
      EXPECT_TRUE(table.read_directly());
    }
    EXPECT_EQ(table.texts(), (std::vector<std::string>{"a", "b&c", "d\n"}));
    if (!failed) return;
  }
  ADD_FAILURE() << "the reading never completed";
}

}  // namespace

// The shared strings table: read straight from the part's text where the form is known (giving the texts
// the tree walk gives) and through the tree otherwise, hashed lookups, appends that keep the XML and the
// array in step, and running out of memory while reading or appending.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "lib/base/alloc.h"
#include "lib/package/content_types.h"
#include "lib/package/part.h"
#include "lib/sheet/shared_strings.h"
#include "tests/support/fault_alloc.h"
#include "tests/support/live_allocations.h"

namespace {

using Texts = std::vector<std::string>;

struct Source {
  std::string text;
  uint32_t releases = 0;
};

// A table over a part whose stored text is xml, with its own array of texts; parsed first when asked.
class Table {
 public:
  explicit Table(const std::string& xml, bool parse_first = false) {
    source_.text = xml;
    xlsx_part_init(&part_, nullptr, "xl/sharedStrings.xml", "", XLSX_CT_SHARED_STRINGS);
    xlsx_part_set_loader(&part_, [](void* context, const char*, uint32_t* size, xlsx_status* status) -> const char* {
      *status = XLSX_OK;
      *size = uint32_t(static_cast<Source*>(context)->text.size());
      return static_cast<Source*>(context)->text.data();
    }, &source_);
    xlsx_part_set_release(&part_, [](void* context, const char*) { static_cast<Source*>(context)->releases++; });
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

const char kHead[] =
    "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n"
    "<sst xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\" count=\"9\" uniqueCount=\"9\">";

std::string table_of(const std::string& items) { return kHead + items + "</sst>"; }

using SharedStrings = xlsx_test::CountedTest;

// Each item form read both ways: the direct reading knows it (read_directly) and gives the tree's texts.
TEST_F(SharedStrings, EveryKnownFormGivesTheTextsOfTheTree) {
  const struct {
    const char* name;
    std::string items;
    Texts texts;
  } cases[] = {
      {"plain and empty items", "<si><t>item-1</t></si><si><t></t></si><si><t/></si><si/>", {"item-1", "", "", ""}},
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
      {"phonetic guides left out", "<si><r><t>Kan</t></r><r><t>ji</t></r><rPh sb=\"0\" eb=\"1\"><t>kana</t></rPh>"
       "<phoneticPr fontId=\"1\"/></si><si><t>plain</t><rPh sb=\"0\" eb=\"1\"><t>x</t></rPh></si>", {"Kanji", "plain"}},
      {"first element that is not a text", "<si><rPh><t>kana</t></rPh><t>kanji</t></si><si><u>text of u</u></si>",
       {"", "text of u"}},
      {"quotes and attributes", "<si a='1'><t b='&gt;'>q</t></si><si><t a=\"1\"b='2'>a</t></si>", {"q", "a"}},
      {"references in runs", "<si><r><t>&amp;</t></r><r><t>&#x41;</t></r></si>", {"&A"}},
  };
  for (const auto& c : cases) {
    Table direct(table_of(c.items)), tree(table_of(c.items), true);
    EXPECT_EQ(direct.texts(), c.texts) << c.name;
    EXPECT_TRUE(direct.read_directly()) << c.name;
    EXPECT_EQ(direct.source_.releases, 1u) << "the inflated text is dropped once read: " << c.name;
    EXPECT_EQ(tree.texts(), c.texts) << c.name;
  }
}

// Whole documents: the direct reading takes a byte-order mark, a missing declaration and an empty root,
// and leaves every other form to the tree, which gives the same texts.
TEST_F(SharedStrings, DocumentLevelFormsAreReadOrLeftToTheTree) {
  std::string nul_in_text = table_of("<si><t>a#b</t></si>");
  nul_in_text[nul_in_text.find('#')] = '\0';
  const struct {
    std::string xml;
    int direct;  // -1: either way
  } cases[] = {
      {"\xEF\xBB\xBF" + table_of("<si><t>a</t></si>"), 1},  {"<sst><si><t>a</t></si></sst>\n", 1},
      {"<?xml version=\"1.0\"?><sst count=\"0\"/>", 1},       {table_of("<si><t>a<!-- note -->b</t></si>"), 0},
      {table_of("<si><t><![CDATA[<raw>]]></t></si>"), 0},    {table_of("<si><t>a</t></si><?pi data?>"), 0},
      {table_of("<si><t>a</x></si>"), 0},                     {kHead + std::string("<si><t>a</t></si>"), 0},
      {kHead + std::string("<si><t>a"), 0},                   {table_of("<si><t>a</t></si>") + "<extra/>", 0},
      {"<!DOCTYPE sst>" + table_of("<si><t>a</t></si>"), 0},  {"not xml at all", 0},
      {"<?xml version=\"1.0\"?>", 0},                         {nul_in_text, -1},
  };
  for (const auto& c : cases) {
    Table direct(c.xml), tree(c.xml, true);
    EXPECT_EQ(direct.texts(), tree.texts()) << c.xml;
    if (c.direct >= 0) {
      EXPECT_EQ(direct.read_directly(), c.direct == 1) << c.xml;
    }
  }
  EXPECT_TRUE(Table(nul_in_text).texts().empty());
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
    EXPECT_EQ(xlsx_sst_append(&table->table_, "trail "), 3);
    EXPECT_EQ(xlsx_sst_append(&table->table_, "mid dle"), 4);
    EXPECT_EQ(xlsx_sst_append(&table->table_, ""), 5);
    EXPECT_EQ(xlsx_sst_append(&table->table_, nullptr), 6);
    EXPECT_EQ(xlsx_sst_find(&table->table_, ""), 5);
  }
  EXPECT_EQ(direct.texts(), tree.texts());
  EXPECT_EQ(direct.part_text(), tree.part_text());
  EXPECT_NE(direct.part_text().find("count=\"7\" uniqueCount=\"7\""), std::string::npos);
  EXPECT_NE(direct.part_text().find("<si><t xml:space=\"preserve\"> lead</t></si><si><t xml:space=\"preserve\">trail </t>"
                                    "</si><si><t>mid dle</t></si><si><t/></si><si><t/></si>"),
            std::string::npos);
  Table no_count("<sst uniqueCount=\"1\"><si><t>x</t></si></sst>");
  ASSERT_EQ(xlsx_sst_append(&no_count.table_, "y"), 1);
  EXPECT_NE(no_count.part_text().find("<sst uniqueCount=\"2\">"), std::string::npos);
}

TEST_F(SharedStrings, LookupsFindTheFirstOfDuplicatesAndScaleToManyTexts) {
  Table dup(table_of("<si><t>a</t></si><si><t>dup</t></si><si><t>b</t></si><si><t>dup</t></si>"));
  EXPECT_EQ(xlsx_sst_find(&dup.table_, "dup"), 1);
  EXPECT_EQ(xlsx_sst_find(&dup.table_, "DUP") + xlsx_sst_find(&dup.table_, nullptr) + xlsx_sst_find(nullptr, "a"), -3);
  EXPECT_TRUE(xlsx_sst_contains(&dup.table_, "b"));
  EXPECT_FALSE(xlsx_sst_contains(&dup.table_, "c"));
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
  for (int i = 5000; i < 6000; i++) {
    ASSERT_EQ(xlsx_sst_find_or_append(&large.table_, ("t-" + std::to_string(i)).c_str()), i);
  }
  for (int i = 0; i < 6000; i += 7) {
    ASSERT_EQ(xlsx_sst_find(&large.table_, (i < 5000 ? expected[i] : "t-" + std::to_string(i)).c_str()), i);
  }
  XlsxSharedStrings none;
  xlsx_sst_init(&none, nullptr, nullptr);
  EXPECT_EQ(xlsx_sst_append(&none, "x") + xlsx_sst_find(&none, "x"), -2) << "a table without part or array";
  EXPECT_EQ(xlsx_sst_count(&none), 0u);
  xlsx_sst_release(&none);
  EXPECT_EQ(xlsx_sst_ensure_loaded(nullptr), XLSX_ERR_INVALID_ARG);
}

// Reading with the k-th allocation failing leaves the table empty and readable later; an append that
// fails changes neither the part nor the array.
TEST_F(SharedStrings, RunningOutOfMemoryChangesNothing) {
  const std::string xml = table_of("<si><t>a</t></si><si><r><t>b</t></r><r><t>&amp;c</t></r></si><si><t>d\r\n</t></si>");
  for (uint32_t fail_at = 1;; fail_at++) {
    ASSERT_LT(fail_at, 200u) << "the reading never completed";
    Table table(xml);
    xlsx_test::FaultAllocation fault(fail_at);
    xlsx_status status = xlsx_sst_ensure_loaded(&table.table_);
    bool failed = fault.failures() > 0;
    fault.fail_after(0);
    if (failed) {
      EXPECT_TRUE(status == XLSX_ERR_NO_MEMORY && table.strings_.count == 0 && !table.table_.loaded);
    }
    EXPECT_EQ(table.texts(), (Texts{"a", "b&c", "d\n"}));
    if (!failed) break;
  }
  for (bool direct : {true, false}) {
    Table table(xml, !direct);
    xlsx_sst_find(&table.table_, "a");  // read and indexed outside the failing runs
    const std::string before = table.part_text();
    xlsx_test::for_each_allocation_failure([&](xlsx_test::FaultAllocation& fault) {
      int32_t index = xlsx_sst_append(&table.table_, " spaced text ");
      fault.fail_after(0);
      if (index >= 0) {
        EXPECT_STREQ(xlsx_sst_get(&table.table_, uint32_t(index)), " spaced text ");
        return;
      }
      EXPECT_EQ(xlsx_sst_count(&table.table_), 3u);
      EXPECT_EQ(table.part_text(), before);
    });
    EXPECT_EQ(xlsx_sst_find(&table.table_, " spaced text "), 3);
  }
}

}  // namespace

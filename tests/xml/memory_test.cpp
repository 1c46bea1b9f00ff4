// Memory: counted blocks of a parsed tree, interned names and slots of edited texts reused when replaced,
// long texts released when replaced, and allocation failure at every step of parsing, writing and editing
// (each run fails cleanly or succeeds, and leaks nothing).
#include <cstdio>
#include <functional>
#include <string>

#include "lib/xml/node_pool.h"
#include "lib/xml/text_arena.h"
#include "tests/support/fault_alloc.h"
#include "tests/xml/xml_test_util.h"

namespace {

using xlsx_test::FaultAllocation;
using xml_test::XmlTest;

// A worksheet of rows x 10 cells in the shape spreadsheet applications write, with indentation, shared
// string cells, an inline string with entities and a formula.
std::string worksheet(int rows) {
  std::string text =
      "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\r\n"
      "<worksheet xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\">\n <sheetData>\n";
  for (int r = 1; r <= rows; r++) {
    std::string row = std::to_string(r);
    text += "  <row r=\"" + row + "\" spans=\"1:10\">";
    for (int c = 0; c < 10; c++) {
      std::string ref = std::string(1, static_cast<char>('A' + c)) + row;
      if (c == 3) {
        text += "<c r=\"" + ref + "\" t=\"inlineStr\"><is><t xml:space=\"preserve\"> a &amp; b </t></is></c>";
      } else if (c == 4) {
        text += "<c r=\"" + ref + "\"><f>SUM(A" + row + ":C" + row + ")</f><v>" + row + "</v></c>";
      } else if (c % 2) {
        text += "<c r=\"" + ref + "\" t=\"s\"><v>" + std::to_string(r % 7) + "</v></c>";
      } else {
        text += "<c r=\"" + ref + "\"><v>" + std::to_string(r * 10 + c) + ".5</v></c>";
      }
    }
    text += "</row>\n";
  }
  text += " </sheetData>\n</worksheet>";
  return text;
}

class TreeMemory : public XmlTest {};

TEST_F(TreeMemory, AParsedTreeCostsPagesAndArenaChunksOnly) {
  uint32_t before = xlsx_live_allocations();
  ASSERT_EQ(load(worksheet(100), XML_PARSE_PACKAGE), XLSX_OK);
  uint32_t blocks = xlsx_live_allocations() - before;
  uint32_t expected = xml_pool_node_pages(doc_) + xml_pool_attribute_pages(doc_) + xml_arena_chunks(doc_->arena);
  EXPECT_EQ(blocks, expected);
  // 100 rows of 10 cells hold about 4,500 nodes and 2,000 attributes: a few dozen blocks in all.
  EXPECT_LT(blocks, 40u);
  EXPECT_FALSE(doc_->heap_texts);
}

TEST_F(TreeMemory, ShortEditedTextsTakeSlotsThatAreReusedWhenReplaced) {
  ASSERT_EQ(load("<r a='parsed'/>", 0), XLSX_OK);
  XmlAttr* a = xml_node_attribute(root(), "a");
  uint32_t before = xlsx_live_allocations();
  uint32_t chunks = xml_arena_chunks(doc_->arena);
  // Overwriting a value many times keeps memory bounded: each replaced text goes back to its class.
  char text[32];
  for (int i = 0; i < 20000; i++) {
    snprintf(text, sizeof text, "%d.25", i);
    ASSERT_NE(xml_attribute_set_value(a, text), nullptr);
  }
  EXPECT_STREQ(xml_attribute_value(a), "19999.25");
  EXPECT_EQ(xlsx_live_allocations(), before);
  EXPECT_EQ(xml_arena_chunks(doc_->arena), chunks);
  EXPECT_FALSE(doc_->heap_texts);
}

TEST_F(TreeMemory, AReleasedSlotIsTakenAgainByTheNextTextOfItsClass) {
  ASSERT_EQ(load("<r/>", 0), XLSX_OK);
  XmlAttr* a = xml_node_set_attribute(root(), "a", "abc");
  const char* first = xml_attribute_value(a);
  xml_attribute_set_value(a, "defgh");  // same class: a second slot, then the first goes free
  const char* second = xml_attribute_value(a);
  EXPECT_NE(first, second);
  xml_attribute_set_value(a, "ij");
  EXPECT_EQ(xml_attribute_value(a), first);
  // A text of another class does not take it.
  xml_node_remove_attribute(root(), "a");
  XmlAttr* b = xml_node_set_attribute(root(), "b", "a text of twenty bytes");
  EXPECT_NE(xml_attribute_value(b), first);
  EXPECT_NE(xml_attribute_value(b), second);
  EXPECT_STREQ(xml_attribute_value(b), "a text of twenty bytes");
}

TEST_F(TreeMemory, OneByteTextsAreSharedUnlessARuleChangesTheByte) {
  ASSERT_EQ(load("<r><c t='s'><v>1</v></c><c t='s'><v>1</v></c><d a='&#10;' b='&amp;'>&lt;</d></r>",
                 XML_PARSE_PACKAGE),
            XLSX_OK);
  XmlNode* first = xml_node_child(root(), "c");
  XmlNode* second = xml_node_next_sibling_named(first, "c");
  EXPECT_EQ(xml_attribute_value(xml_node_attribute(first, "t")), xml_attribute_value(xml_node_attribute(second, "t")));
  EXPECT_EQ(xml_node_text(xml_node_child(first, "v")), xml_node_text(xml_node_child(second, "v")));
  EXPECT_EQ(xml_node_text(xml_node_child(first, "v")), xml_text_one_byte('1'));
  // Edited one-byte texts take no slot and are left alone when replaced.
  XmlAttr* t = xml_node_set_attribute(first, "t", "b");
  EXPECT_EQ(xml_attribute_value(t), xml_text_one_byte('b'));
  xml_attribute_set_value(t, "str");
  EXPECT_STREQ(xml_attribute_value(xml_node_attribute(second, "t")), "s");
  XmlNode* d = xml_node_child(root(), "d");
  EXPECT_STREQ(xml_attribute_value(xml_node_attribute(d, "a")), "\n");
  EXPECT_STREQ(xml_attribute_value(xml_node_attribute(d, "b")), "&");
  EXPECT_STREQ(xml_node_text(d), "<");
}

TEST_F(TreeMemory, LongEditedTextsAreBlocksOfTheirOwn) {
  ASSERT_EQ(load("<r a='parsed'/>", 0), XLSX_OK);
  XmlAttr* a = xml_node_attribute(root(), "a");
  uint32_t before = xlsx_live_allocations();
  const std::string long_text(100, 'x');
  xml_attribute_set_value(a, long_text.c_str());
  EXPECT_EQ(xlsx_live_allocations(), before + 1);
  EXPECT_TRUE(doc_->heap_texts);
  xml_attribute_set_value(a, (long_text + "y").c_str());
  EXPECT_EQ(xlsx_live_allocations(), before + 1);
  xml_attribute_set_value(a, "short");
  EXPECT_EQ(xlsx_live_allocations(), before);
  xml_attribute_set_value(a, long_text.c_str());
  xml_node_remove_attribute(root(), "a");
  EXPECT_EQ(xlsx_live_allocations(), before);
}

TEST_F(TreeMemory, NamesOfCreatedElementsAndAttributesAreInternedOnce) {
  ASSERT_EQ(load("<sheetData/>", 0), XLSX_OK);
  XmlNode* first = xml_node_append_child(root(), "c");
  xml_node_set_attribute(first, "r", "A1");
  uint32_t before = xlsx_live_allocations();
  uint32_t pages = xml_pool_node_pages(doc_) + xml_pool_attribute_pages(doc_);
  uint32_t chunks = xml_arena_chunks(doc_->arena);
  for (int i = 0; i < 2000; i++) {
    XmlNode* c = xml_node_append_child(root(), "c");
    ASSERT_NE(xml_node_set_attribute(c, "r", "B2"), nullptr);
    ASSERT_NE(xml_node_set_attribute(c, "t", "s"), nullptr);
    EXPECT_EQ(xml_node_name(c), xml_node_name(first));
  }
  // Only whole pages and arena chunks: no block per element, attribute or short value.
  uint32_t grown = xml_pool_node_pages(doc_) + xml_pool_attribute_pages(doc_) - pages;
  EXPECT_EQ(xlsx_live_allocations() - before, grown + xml_arena_chunks(doc_->arena) - chunks);
  EXPECT_LT(xlsx_live_allocations() - before, 30u);
  // Renaming points at the interned name.
  XmlAttr* r = xml_node_attribute(first, "r");
  ASSERT_TRUE(xml_attribute_set_name(r, "t"));
  EXPECT_EQ(xml_attribute_name(r), xml_attribute_name(xml_node_attribute(xml_node_last_child(root()), "t")));
}

TEST_F(TreeMemory, CopiesHaveTheirOwnEditedTexts) {
  ASSERT_EQ(load("<r><x k='parsed'/></r>", 0), XLSX_OK);
  XmlNode* x = xml_node_child(root(), "x");
  xml_node_set_attribute(x, "k", "edited");
  xml_node_set_text(x, "text");
  XmlNode* copy = xml_node_append_move(root(), xml_node_copy(x));
  ASSERT_NE(copy, nullptr);
  xml_node_set_attribute(x, "k", "changed");
  xml_node_set_text(x, "other");
  xml_node_remove_child(root(), x);
  EXPECT_STREQ(xml_attribute_value(xml_node_attribute(copy, "k")), "edited");
  EXPECT_STREQ(xml_node_text(copy), "text");
}

TEST_F(TreeMemory, TextsOfTheDocumentNodeSurviveReloads) {
  xml_node_set_attribute(top(), "first", "value of the document node");
  ASSERT_EQ(load("<r a='1'/>", 0), XLSX_OK);
  xml_node_set_attribute(top(), "second", "v");
  ASSERT_EQ(load("<r b='2'/>", 0), XLSX_OK);
  ASSERT_EQ(load("<r c='3'/>", 0), XLSX_OK);
  EXPECT_STREQ(xml_attribute_value(xml_node_attribute(top(), "first")), "value of the document node");
  EXPECT_STREQ(xml_attribute_value(xml_node_attribute(root(), "c")), "3");
  EXPECT_STREQ(xml_attribute_value(xml_node_attribute(top(), "second")), "v");
}

TEST_F(TreeMemory, DestroyReleasesHeapTextsOfDetachedNodes) {
  XmlDoc* doc = xml_document_create();
  uint32_t live = xlsx_live_allocations();
  XmlNode* detached = xml_node_copy(xml_node_append_child(&doc->node, "kept"));
  xml_node_set_attribute(detached, "name", "value");
  xml_node_set_text(detached, "text");
  EXPECT_GT(xlsx_live_allocations(), live + 3);  // page, name copies, value, text
  xml_document_destroy(doc);
  EXPECT_EQ(xlsx_live_allocations(), live - 1);  // the document's own block is gone too
}

// Allocation failure: run the step with the 1st, 2nd, ... allocation failing until a run succeeds.
class AllocationFailure : public XmlTest {};

TEST_F(AllocationFailure, ParsingFailsCleanlyAtEveryAllocation) {
  const std::string text = worksheet(60);
  xml_document_destroy(doc_);
  doc_ = nullptr;
  uint32_t live = xlsx_live_allocations();
  std::string expected;
  {
    XmlDoc* reference = xml_document_create();
    ASSERT_EQ(xml_document_load_buffer(reference, text.data(), text.size(), XML_PARSE_PACKAGE), XLSX_OK);
    expected = xml_test::write(reference);
    xml_document_destroy(reference);
  }
  uint32_t runs = 0;
  for (uint32_t fail_at = 1;; fail_at++) {
    XmlDoc* doc = xml_document_create();
    ASSERT_NE(doc, nullptr);
    xlsx_status status;
    bool failed;
    {
      FaultAllocation fault(fail_at);
      status = xml_document_load_buffer(doc, text.data(), text.size(), XML_PARSE_PACKAGE);
      failed = fault.failures() > 0;
    }
    runs++;
    if (failed) {
      ASSERT_EQ(status, XLSX_ERR_NO_MEMORY) << "allocation " << fail_at;
      EXPECT_EQ(xml_node_first_child(&doc->node), nullptr);
      // The document is still usable.
      ASSERT_EQ(xml_document_load_buffer(doc, text.data(), text.size(), XML_PARSE_PACKAGE), XLSX_OK);
    } else {
      ASSERT_EQ(status, XLSX_OK);
    }
    EXPECT_EQ(xml_test::write(doc), expected);
    xml_document_destroy(doc);
    ASSERT_EQ(xlsx_live_allocations(), live) << "allocation " << fail_at;
    if (!failed) break;
  }
  EXPECT_GT(runs, 10u);
  doc_ = xml_document_create();
}

TEST_F(AllocationFailure, ParsingWithEveryLaterAllocationFailing) {
  const std::string text = worksheet(30);
  for (uint32_t fail_at = 1; fail_at < 40; fail_at++) {
    xlsx_status status;
    {
      FaultAllocation fault(fail_at, true);
      status = load(text, XML_PARSE_PACKAGE);
    }
    EXPECT_TRUE(status == XLSX_OK || status == XLSX_ERR_NO_MEMORY);
    if (status != XLSX_OK) {
      EXPECT_EQ(xml_node_first_child(top()), nullptr);
    }
  }
}

TEST_F(AllocationFailure, WritingFailsCleanlyAtEveryAllocation) {
  ASSERT_EQ(load(worksheet(60), XML_PARSE_PACKAGE), XLSX_OK);
  const std::string expected = xml_test::write(doc_);
  uint32_t live = xlsx_live_allocations();
  for (uint32_t fail_at = 1;; fail_at++) {
    char* text = reinterpret_cast<char*>(&fail_at);  // must stay untouched on failure
    uint32_t length = 12345;
    xlsx_status status;
    bool failed;
    {
      FaultAllocation fault(fail_at);
      status = xml_document_save_buffer(doc_, &text, &length);
      failed = fault.failures() > 0;
    }
    if (failed) {
      ASSERT_EQ(status, XLSX_ERR_NO_MEMORY);
      EXPECT_EQ(text, reinterpret_cast<char*>(&fail_at));
      EXPECT_EQ(length, 12345u);
      ASSERT_EQ(xlsx_live_allocations(), live);
      continue;
    }
    ASSERT_EQ(status, XLSX_OK);
    EXPECT_EQ(std::string(text, length), expected);
    xlsx_free(text);
    ASSERT_EQ(xlsx_live_allocations(), live);
    EXPECT_GT(fail_at, 5u);  // the output grows by doubling: several allocations
    break;
  }
}

struct Edit {
  const char* name;
  std::function<bool(XmlDoc*)> apply;              // true when the operation reports success
  std::function<void(XmlDoc*)> prepare = nullptr;  // runs before the failing allocator is installed
};

class EditingFailure : public XmlTest, public ::testing::WithParamInterface<Edit> {};

TEST_P(EditingFailure, LeavesTheTreeUnchanged) {
  const std::string source = "<r a='1'><x k='v'>t<y/></x><z/></r>";
  const Edit& edit = GetParam();
  std::string expected;
  {
    ASSERT_EQ(load(source, XML_PARSE_PACKAGE), XLSX_OK);
    if (edit.prepare) edit.prepare(doc_);
    ASSERT_TRUE(edit.apply(doc_));
    expected = xml_test::write(doc_);
  }
  for (uint32_t fail_at = 1;; fail_at++) {
    // Every run starts from a tree with fresh pages, so the operation has to allocate.
    xml_document_destroy(doc_);
    doc_ = xml_document_create();
    ASSERT_EQ(load(source, XML_PARSE_PACKAGE), XLSX_OK);
    if (edit.prepare) edit.prepare(doc_);
    const std::string before = xml_test::write(doc_);
    uint32_t generation = doc_->generation;
    uint32_t live = xlsx_live_allocations();
    bool ok;
    bool failed;
    {
      FaultAllocation fault(fail_at);
      ok = edit.apply(doc_);
      failed = fault.failures() > 0;
    }
    if (!failed) {
      EXPECT_TRUE(ok);
      EXPECT_EQ(xml_test::write(doc_), expected);
      break;
    }
    EXPECT_FALSE(ok) << "allocation " << fail_at;
    EXPECT_EQ(xml_test::write(doc_), before) << "allocation " << fail_at;
    EXPECT_EQ(doc_->generation, generation);
    EXPECT_EQ(xlsx_live_allocations(), live);
  }
}

XmlNode* root_of(XmlDoc* doc) {
  return xml_document_element(doc);
}

// Uses up the free node slots so that the next node needs a new page.
void fill_node_page(XmlDoc* doc) {
  while (doc->free_nodes) {
    if (!xml_node_append_child_of_type(root_of(doc), XML_NODE_COMMENT)) break;  // a broken append must not hang
  }
}

// Uses up the free attribute slots (with names interned before the failing run) likewise.
void fill_attribute_page(XmlDoc* doc) {
  XmlNode* z = xml_node_child(root_of(doc), "z");
  while (doc->free_attributes) {
    if (!xml_node_append_attribute(z, "n")) break;  // a broken append must not hang
  }
}

const Edit kEdits[] = {
    {"AppendChild", [](XmlDoc* d) { return xml_node_append_child(root_of(d), "new") != nullptr; }},
    {"AppendChildOnFullPage", [](XmlDoc* d) { return xml_node_append_child(root_of(d), "new") != nullptr; },
     fill_node_page},
    {"SetTextOnFullPage", [](XmlDoc* d) { return xml_node_set_text(xml_node_child(root_of(d), "z"), "t"); },
     fill_node_page},
    {"InsertChildBefore",
     [](XmlDoc* d) {
       XmlNode* r = root_of(d);
       return xml_node_insert_child_before(r, "new", xml_node_child(r, "z")) != nullptr;
     }},
    {"SetNewAttribute", [](XmlDoc* d) { return xml_node_set_attribute(root_of(d), "b", "2") != nullptr; }},
    {"SetExistingAttribute", [](XmlDoc* d) { return xml_node_set_attribute(root_of(d), "a", "22") != nullptr; }},
    {"AppendAttribute", [](XmlDoc* d) { return xml_node_append_attribute(root_of(d), "c") != nullptr; }},
    {"RenameAttribute",
     [](XmlDoc* d) { return xml_attribute_set_name(xml_node_attribute(root_of(d), "a"), "renamed"); }},
    {"SetDouble", [](XmlDoc* d) { return xml_attribute_set_double(xml_node_attribute(root_of(d), "a"), 0.5); }},
    {"SetNewText", [](XmlDoc* d) { return xml_node_set_text(xml_node_child(root_of(d), "z"), "text"); }},
    {"ReplaceText", [](XmlDoc* d) { return xml_node_set_text_i64(xml_node_child(root_of(d), "x"), -5); }},
    {"AppendAttributeOnFullPage", [](XmlDoc* d) { return xml_node_append_attribute(root_of(d), "fresh") != nullptr; },
     fill_attribute_page},
    {"SetLongText",
     [](XmlDoc* d) { return xml_node_set_text(xml_node_child(root_of(d), "z"), std::string(80, 'L').c_str()); }},
    {"CopySubtree",
     [](XmlDoc* d) {
       XmlNode* r = root_of(d);
       XmlNode* copy = xml_node_copy(xml_node_child(r, "x"));
       return copy && xml_node_append_move(r, copy);
     }},
};

INSTANTIATE_TEST_SUITE_P(Operations, EditingFailure, ::testing::ValuesIn(kEdits),
                         [](const ::testing::TestParamInfo<Edit>& info) { return info.param.name; });

}  // namespace

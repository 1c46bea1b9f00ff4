// The XML tree: accessors and typed readers, edits, moves and copies, the generation, the journal, bounded
// memory, and allocation failure at every step of parsing, writing and editing.
#include "tests/xml/xml_fixture.h"

namespace {

// Names of the children of node joined with ","; checks that the sibling links agree both ways.
std::string child_names(const XmlNode* node) {
  std::string names;
  const XmlNode* previous = nullptr;
  for (XmlNode* child = node->first_child; child; child = child->next_sibling) {
    EXPECT_EQ(child->parent, node);
    EXPECT_EQ(child->previous_sibling, previous);
    previous = child;
    names += (names.empty() ? "" : ",") + std::string(xml_node_name(child));
  }
  EXPECT_EQ(node->last_child, previous);
  return names;
}

TEST(TreeNullHandles, AccessorsAnswerNeutrallyReadersGiveTheDefaultWritersIgnoreNull) {
  for (const char* text : {xml_node_name(nullptr), xml_node_value(nullptr), xml_attribute_name(nullptr),
                           xml_attribute_value(nullptr), xml_node_text(nullptr)})
    EXPECT_STREQ(text, "");
  EXPECT_TRUE(xml_node_type(nullptr) == XML_NODE_NULL && xml_node_is_empty(nullptr));
  EXPECT_TRUE(!xml_node_parent(nullptr) && !xml_node_first_child(nullptr) && !xml_node_last_child(nullptr) &&
              !xml_node_next_sibling(nullptr) && !xml_node_previous_sibling(nullptr) && !xml_node_child(nullptr, "a") &&
              !xml_node_attribute(nullptr, "a") && !xml_node_first_attribute(nullptr) && !xml_attribute_next(nullptr) &&
              !xml_document_element(nullptr) && !xml_node_text_node(nullptr) && !xml_node_copy(nullptr) &&
              !xml_attribute_set_value(nullptr, "x") && !xml_node_append_child(nullptr, "x") &&
              !xml_node_append_attribute(nullptr, "x"));
  EXPECT_FALSE(xml_node_has_attribute(nullptr, "a") || xml_attribute_set_name(nullptr, "x") ||
               xml_node_set_text(nullptr, "x") || xml_node_set_value(nullptr, "x") ||
               xml_node_remove_child(nullptr, nullptr) || xml_node_remove_attribute(nullptr, "x"));
  EXPECT_TRUE(xml_attribute_as_bool(nullptr, true) && xml_attribute_as_double(nullptr, 2.5) == 2.5);
  EXPECT_EQ(xml_attribute_as_u64(nullptr, 7u) + xml_attribute_as_uint(nullptr, 9u), 16u);
  EXPECT_EQ(xml_attribute_as_i64(nullptr, -7) + xml_attribute_as_int(nullptr, -9), -16);
  EXPECT_TRUE(xml_node_text_as_double(nullptr, 1.5) == 1.5 && !xml_node_text_as_bool(nullptr, false));
  EXPECT_EQ(xml_node_text_as_i64(nullptr, 3) + int64_t(xml_node_text_as_u64(nullptr, 4u)), 7);
  xml_node_remove_children(nullptr);
  xml_document_destroy(nullptr);
}

TEST_F(Tree, LookupsByNameAndAttributeTextsAndTypedReaders) {
  ASSERT_EQ(load("<r><a k='1'/><b k='2'/>text<a k='3' j='x'/><!--c--><b/>"
                 "<n>12</n><f>0.125</f><t>t</t><m>-4</m></r>", XML_PARSE_COMMENTS), XLSX_OK);
  XmlNode* a = xml_node_child(root(), "a");
  XmlNode* a3 = xml_node_next_sibling_named(a, "a");
  EXPECT_STREQ(xml_attribute_value(xml_node_attribute(a3, "k")), "3");
  EXPECT_TRUE(!xml_node_next_sibling_named(a3, "a") && !xml_node_previous_sibling_named(a, "a"));
  EXPECT_EQ(xml_node_previous_sibling_named(a3, "a"), a);
  EXPECT_TRUE(!xml_node_child(root(), "missing") && !xml_node_child(root(), nullptr));
  EXPECT_EQ(xml_node_find_child_by_attribute(root(), "a", "k", "3"), a3);
  EXPECT_EQ(xml_node_find_child_by_attribute(root(), "b", "k", "3"), nullptr);
  EXPECT_STREQ(xml_node_name(xml_node_find_child_by_attribute(root(), nullptr, "k", "2")), "b") << "any element";
  EXPECT_TRUE(!xml_node_find_child_by_attribute(root(), "a", nullptr, "3") &&
              !xml_node_find_child_by_attribute(root(), "a", "k", nullptr));
  EXPECT_STREQ(xml_attribute_name(xml_attribute_next(xml_node_first_attribute(a3))), "j");
  EXPECT_EQ(xml_attribute_next(xml_attribute_next(xml_node_first_attribute(a3))), nullptr);
  EXPECT_TRUE(std::string(xml_node_text(root())) == "text" && std::string(xml_node_child_value(root())) == "text");
  EXPECT_EQ(xml_node_type(xml_node_text_node(root())), XML_NODE_TEXT);
  EXPECT_EQ(xml_node_text_as_u64(xml_node_child(root(), "n"), 0), 12u);
  EXPECT_EQ(xml_node_text_as_double(xml_node_child(root(), "f"), 0), 0.125);
  EXPECT_TRUE(xml_node_text_as_bool(xml_node_child(root(), "t"), false));
  EXPECT_EQ(xml_node_text_as_i64(xml_node_child(root(), "m"), 0), -4);
  EXPECT_EQ(xml_node_text_as_u64(xml_node_child(root(), "m"), 9), 9u);
  auto read = [](const Case& c, const XmlAttr* a) {
    if (c[0] == "bool") return std::to_string(xml_attribute_as_bool(a, c[2] == "1"));
    if (c[0] == "uint") return std::to_string(xml_attribute_as_uint(a, std::stoul(c[2])));
    if (c[0] == "u64") return std::to_string(xml_attribute_as_u64(a, std::stoull(c[2])));
    if (c[0] == "int") return std::to_string(xml_attribute_as_int(a, std::stoi(c[2])));
    if (c[0] == "i64") return std::to_string(xml_attribute_as_i64(a, std::stoll(c[2])));
    return std::to_string(xml_attribute_as_double(a, std::stod(c[2])));
  };
  for (const Case& c : cases("reader")) {
    XmlAttr* a = xml_node_set_attribute(xml_node_append_child(top(), "e"), "v", c[1].c_str());
    EXPECT_EQ(read(c, a), c[0] == "double" ? std::to_string(std::stod(c[3])) : c[3]) << c.where;
  }
}

TEST_F(Tree, CreatedNodesAndAttributesTakeTheirPlace) {
  XmlNode* r = xml_node_append_child(top(), "r");
  XmlNode* other = xml_node_append_child(top(), "other");
  XmlNode* b = xml_node_append_child(r, "b");
  xml_node_prepend_child(r, "a");
  xml_node_append_child(r, "d");
  xml_node_insert_child_after(r, "c", b);
  xml_node_insert_child_before(r, "a0", xml_node_first_child(r));
  xml_node_insert_child_before(r, "x", nullptr);  // null or foreign references append
  xml_node_insert_child_after(r, "y", other);
  xml_node_insert_child_before(r, "z", xml_node_append_child(b, "g"));
  EXPECT_EQ(child_names(r), "a0,a,b,c,d,x,y,z");
  xml_node_remove_children(top());
  r = xml_node_append_child(top(), nullptr);
  EXPECT_STREQ(xml_node_name(r), "");
  xml_node_set_value(xml_node_append_child_of_type(r, XML_NODE_COMMENT), "note");
  EXPECT_EQ(xml_node_append_child_of_type(r, XML_NODE_ELEMENT)->name, nullptr);
  EXPECT_TRUE(!xml_node_append_child_of_type(r, XML_NODE_DOCUMENT) &&
              !xml_node_append_child_of_type(r, static_cast<XmlNodeType>(9)));
  // Repeated attribute names are kept; set finds the first or appends.
  xml_attribute_set_value(xml_node_append_attribute(r, "k"), "1");
  xml_attribute_set_value(xml_node_append_attribute(r, "k"), "2");
  EXPECT_EQ(xml_node_set_attribute(r, "k", "one"), xml_node_first_attribute(r));
  xml_node_set_attribute(r, "b", nullptr);
  EXPECT_EQ(body(), "< k=\"one\" k=\"2\" b=\"\"><!--note--><:anonymous/></>");
  EXPECT_TRUE(xml_node_remove_attribute(r, "k") && xml_node_remove_attribute(r, "k"));
  EXPECT_FALSE(xml_node_remove_attribute(r, "k"));
  EXPECT_TRUE(xml_node_remove_attribute(r, "b") && !xml_node_first_attribute(r) && !r->last_attribute);
}

// Texts and names are set as copies (an element keeps one text node, after its elements); numbers are
// written in full (tests/xml/xml.cases).
TEST_F(Tree, TextsAndNumbersAreSetAsCopies) {
  ASSERT_EQ(load("<r a='parsed'><a/><c><![CDATA[old]]></c></r>", XML_PARSE_CDATA), XLSX_OK);
  EXPECT_TRUE(xml_node_set_text(root(), "x") && xml_node_set_text(root(), "y"));
  EXPECT_TRUE(xml_node_set_text(xml_node_child(root(), "c"), "new"));
  EXPECT_EQ(body(), "<r a=\"parsed\"><a/><c><![CDATA[new]]></c>y</r>") << "one text node, after the elements";
  XmlAttr* a = xml_node_attribute(root(), "a");
  EXPECT_STREQ(xml_attribute_set_value(a, xml_attribute_value(a)), "parsed");  // its own text, arena
  EXPECT_STREQ(xml_attribute_set_value(a, xml_attribute_value(a)), "parsed");  // and heap
  char buffer[8] = "abc";
  xml_attribute_set_value(a, buffer);
  buffer[0] = 'X';
  EXPECT_TRUE(xml_attribute_set_name(a, "renamed"));
  EXPECT_STREQ(xml_attribute_value(xml_node_attribute(root(), "renamed")), "abc");
  EXPECT_STREQ(xml_attribute_set_value(a, nullptr), "");
  // Numbers as texts, on the attribute and (but for booleans) on the node's text.
  XmlNode* r = root();
  for (const Case& c : cases("number")) {
    const std::string& t = c[0];
    const double d = std::stod(c[1]);
    const uint64_t u = t == "u64" ? std::stoull(c[1]) : 0;
    const int64_t i = t == "i64" ? std::stoll(c[1]) : 0;
    bool set = t == "double"  ? xml_attribute_set_double(a, d) && xml_node_set_text_double(r, d)
               : t == "float" ? xml_attribute_set_float(a, float(d)) && xml_node_set_text_float(r, float(d))
               : t == "u64"   ? xml_attribute_set_u64(a, u) && xml_node_set_text_u64(r, u)
               : t == "i64"   ? xml_attribute_set_i64(a, i) && xml_node_set_text_i64(r, i)
                              : xml_attribute_set_bool(a, d != 0);
    EXPECT_TRUE(set) << c.where;
    EXPECT_STREQ(xml_attribute_value(a), c[2].c_str()) << c.where;
    EXPECT_TRUE(t == "bool" || xml_node_text(r) == c[2]) << c.where;
  }
}

// Each move within the parent, applied in turn, gives the moved node and the children's order; moves
// into another parent take the node along; a move into the node's own subtree or another document is
// refused and changes nothing.
TEST_F(Tree, MovesWithinAndAcrossParents) {
  ASSERT_EQ(load("<r><a><a1/></a><b/><c/></r>", 0), XLSX_OK);
  XmlNode *r = root(), *a = xml_node_child(r, "a"), *b = xml_node_child(r, "b"), *c = xml_node_child(r, "c");
  const struct { std::function<XmlNode*()> move; XmlNode* moved; const char* names; } steps[] = {
      {[&] { return xml_node_append_move(r, a); }, a, "b,c,a"},
      {[&] { return xml_node_prepend_move(r, c); }, c, "c,b,a"},
      {[&] { return xml_node_insert_move_after(r, a, nullptr); }, a, "a,c,b"},  // null: to the ends
      {[&] { return xml_node_insert_move_before(r, a, nullptr); }, a, "c,b,a"},
      {[&] { return xml_node_insert_move_before(r, a, c); }, a, "a,c,b"},
      {[&] { return xml_node_insert_move_after(r, c, b); }, c, "a,b,c"},
      {[&] { return xml_node_insert_move_after(r, b, b); }, b, "a,b,c"},
  };
  for (const auto& step : steps) {
    EXPECT_EQ(step.move(), step.moved) << step.names;
    EXPECT_EQ(child_names(r), step.names);
  }
  uint32_t generation = doc_->generation;
  XmlNode* a1 = xml_node_child(a, "a1");
  XmlDoc* other = xml_document_create();
  XmlNode* foreign = xml_node_append_child(&other->node, "f");
  EXPECT_TRUE(!xml_node_append_move(a1, a) && !xml_node_append_move(a, a));
  EXPECT_TRUE(!xml_node_prepend_move(a, r) && !xml_node_append_move(r, top()));
  EXPECT_TRUE(!xml_node_append_move(r, foreign) && !xml_node_append_move(foreign, a));
  xml_document_destroy(other);
  EXPECT_EQ(doc_->generation, generation);
  EXPECT_EQ(xml_node_append_move(c, a1), a1);
  EXPECT_EQ(child_names(a), "");
  EXPECT_EQ(body(), "<r><a/><b/><c><a1/></c></r>");
}

// Removing frees subtrees; a copy is deep, detached and independent, and a deep chain is copied without
// recursion.
TEST_F(Tree, RemovingFreesSubtreesAndCopiesAreDeepAndDetached) {
  ASSERT_EQ(load("<r><a x='1'><g>deep<h/></g></a><b/><a/><k v='v' e=''>t<m><n/>u</m><!--n--></k></r>",
                 XML_PARSE_COMMENTS), XLSX_OK);
  XmlNode* a = xml_node_child(root(), "a");
  EXPECT_FALSE(xml_node_remove_child(root(), xml_node_child(a, "g"))) << "not a child";
  EXPECT_TRUE(xml_node_remove_child(root(), a) && xml_node_remove_child_named(root(), "a"));
  EXPECT_FALSE(xml_node_remove_child_named(root(), "a"));
  XmlNode* k = xml_node_child(root(), "k");
  XmlNode* copy = xml_node_copy(k);
  ASSERT_TRUE(copy != nullptr && xml_node_parent(copy) == nullptr);
  xml_node_append_move(root(), copy);
  xml_attribute_set_value(xml_node_attribute(copy, "v"), std::string(50, 'L').c_str());
  xml_node_set_text(k, "T");
  EXPECT_EQ(body(), "<r><b/><k v=\"v\" e=\"\">T<m><n/>u</m><!--n--></k><k v=\"" + std::string(50, 'L') +
                        "\" e=\"\">t<m><n/>u</m><!--n--></k></r>");
  EXPECT_EQ(xml_node_copy(top()), nullptr) << "the document node is not copied";
  xml_node_copy(copy);  // detached and left: freed with the document
  xml_node_remove_children(root());
  EXPECT_EQ(xml_node_last_child(root()), nullptr);
  XmlNode* node = root();
  for (int i = 0; i < 100000; i++) node = xml_node_append_child(node, "d");
  XmlNode* chain = xml_node_copy(xml_node_first_child(root()));
  ASSERT_NE(chain, nullptr) << "a deep chain is copied without recursion";
  int depth = 0;
  for (XmlNode* at = chain; at; at = xml_node_first_child(at)) depth++;
  EXPECT_EQ(depth, 100000);
}

// A parsed tree is pages and arena chunks, not a block per node; texts replaced again and again take
// no more memory (short ones reuse slots, long ones are blocks given back when replaced).
TEST_F(Tree, MemoryStaysBoundedUnderRepeatedEdits) {
  std::string text = "<r>";
  for (int i = 0; i < 1000; i++)
    text += "<c r=\"A" + std::to_string(i) + "\" t=\"s\"><v>" + std::to_string(i) + "</v></c>";
  uint32_t before = xlsx_live_allocations();
  ASSERT_EQ(load(text + "</r>", XML_PARSE_PACKAGE), XLSX_OK);
  EXPECT_LT(xlsx_live_allocations() - before, 40u);
  // The pool's figures (read by the memory benchmark) count every node and attribute slot in use.
  EXPECT_TRUE(xml_pool_node_bytes(doc_) >= 3001 * sizeof(XmlNode) &&
              xml_pool_attribute_bytes(doc_) >= 2000 * sizeof(XmlAttr));
  XmlAttr* a = xml_node_attribute(xml_node_child(root(), "c"), "r");
  xml_attribute_set_value(a, "warm up");
  xml_attribute_set_value(a, std::string(100, 'x').c_str());
  uint32_t live = xlsx_live_allocations();
  char value[32];
  for (int i = 0; i < 20000; i++) {
    snprintf(value, sizeof value, "%d.25", i);
    ASSERT_NE(xml_attribute_set_value(a, i % 2 ? value : std::string(100 + i % 50, 'y').c_str()), nullptr);
  }
  EXPECT_STREQ(xml_attribute_value(a), "19999.25");
  EXPECT_LE(xlsx_live_allocations(), live);
}

// One table of changes, each made inside an edit with the n-th allocation failing (taken back, the tree and
// its generation are as before; the last run is kept and gives the tree of the row's change case in
// tests/xml/xml.cases), and outside an edit on fresh pages (so that it has to allocate), where a failure
// leaves the tree, its generation and the memory alone.
const char kBefore[] = "<r a=\"1\" b=\"2\"><x>text</x><y/><z c=\"3\"><w/>u</z></r>";

// Uses up the free node (or attribute) slots so that the next one needs a new page.
void fill_node_page(XmlNode* r) {
  while (r->document->free_nodes && xml_node_append_child_of_type(r, XML_NODE_COMMENT)) {}
}
void fill_attribute_page(XmlNode* r) {
  while (r->document->free_attributes && xml_node_append_attribute(xml_node_child(r, "z"), "n")) {}
}

struct Change {
  const char* name;
  std::function<bool(XmlNode* root)> apply;        // false when the change itself failed
  std::function<void(XmlNode*)> prepare = nullptr;  // runs on the loaded tree before the change
};

XmlNode* child(XmlNode* r, const char* name) { return xml_node_child(r, name); }

const Change kChanges[] = {
    {"SetAttribute", [](XmlNode* r) { return xml_node_set_attribute(r, "a", "one") != nullptr; }},
    {"AddAttribute", [](XmlNode* r) { return xml_node_set_attribute(r, "n", "new") != nullptr; }},
    {"RemoveAttribute", [](XmlNode* r) { return xml_node_remove_attribute(r, "a"); }},
    {"RenameAttribute", [](XmlNode* r) { return xml_attribute_set_name(xml_node_attribute(r, "a"), "renamed"); }},
    {"SetDouble", [](XmlNode* r) { return xml_attribute_set_double(xml_node_attribute(r, "a"), 0.5); }},
    {"SetText", [](XmlNode* r) { return xml_node_set_text(child(r, "x"), "changed"); }},
    {"SetTextNumber", [](XmlNode* r) { return xml_node_set_text_i64(child(r, "x"), -5); }},
    {"SetLongText", [](XmlNode* r) { return xml_node_set_text(child(r, "y"), std::string(80, 'L').c_str()); }},
    {"NewText", [](XmlNode* r) { return xml_node_set_text(child(r, "y"), "new"); }},
    {"AppendChild", [](XmlNode* r) { return xml_node_append_child(r, "new") != nullptr; }},
    {"Insert", [](XmlNode* r) { return xml_node_insert_child_before(r, "v", child(r, "y")) != nullptr; }},
    {"Remove", [](XmlNode* r) { return xml_node_remove_child(r, child(r, "z")); }},
    {"RemoveChildren", [](XmlNode* r) { xml_node_remove_children(r); return true; }},
    {"Move", [](XmlNode* r) { return xml_node_prepend_move(r, child(r, "z")) != nullptr; }},
    {"CopyAndMoveIn", [](XmlNode* r) { return xml_node_append_move(r, xml_node_copy(child(r, "z"))) != nullptr; }},
    {"Several", [](XmlNode* r) {
       XmlNode* y = child(r, "y");
       return xml_node_set_attribute(y, "k", "v") && xml_node_set_text(xml_node_append_child(y, "u"), "t") &&
              xml_node_remove_attribute(r, "b") && xml_node_remove_child(r, child(r, "x")) &&
              xml_node_set_attribute(r, "a", std::string(40, 'A').c_str());
     }},
    {"AppendChildOnFullPage", [](XmlNode* r) { return xml_node_append_child(r, "new") != nullptr; }, fill_node_page},
    {"SetTextOnFullPage", [](XmlNode* r) { return xml_node_set_text(child(r, "y"), "t"); }, fill_node_page},
    {"AppendAttributeOnFullPage", [](XmlNode* r) { return xml_node_append_attribute(r, "fresh") != nullptr; },
     fill_attribute_page},
};

void PrintTo(const Change& change, std::ostream* out) { *out << change.name; }

class Changes : public XmlTest, public ::testing::WithParamInterface<Change> {
 protected:
  // Loads kBefore with the options and prepares it; the tree as written.
  std::string start(uint32_t options = 0) {
    EXPECT_EQ(load(kBefore, options), XLSX_OK);
    if (GetParam().prepare) GetParam().prepare(root());
    return write(doc_);
  }
};

TEST_P(Changes, TakenBackByTheJournalAtAnyAllocationFailureOrKept) {
  const std::string before = start();
  const uint32_t generation = doc_->generation;
  xlsx_test::for_each_allocation_failure([&](FaultAllocation& fault) {
    bool begun = xml_document_begin_edit(doc_);
    bool applied = begun && GetParam().apply(root());
    fault.fail_after(0);
    EXPECT_TRUE(fault.failures() > 0 || (applied && doc_->generation != generation));
    if (begun) xml_document_end_edit(doc_, false);
    EXPECT_EQ(write(doc_), before);
    EXPECT_EQ(doc_->generation, generation);
  });
  ASSERT_TRUE(xml_document_begin_edit(doc_) && GetParam().apply(root()));
  xml_document_end_edit(doc_, true);
  std::string after;  // "-" for a tree that depends on the page size: only a change is asked for
  for (const Case& c : cases("change")) after = c[0] == GetParam().name ? c[1] : after;
  ASSERT_FALSE(after.empty()) << "no change case for " << GetParam().name;
  if (after == "-") EXPECT_NE(write(doc_), before);
  else EXPECT_EQ(body(), after);
}

TEST_P(Changes, AllocationFailureOutsideAnEditChangesNothing) {
  for (uint32_t fail_at = 1;; fail_at++) {
    xml_document_destroy(doc_);
    doc_ = xml_document_create();
    const std::string before = start(XML_PARSE_PACKAGE);
    uint32_t generation = doc_->generation, live = xlsx_live_allocations();
    bool ok, failed;
    {
      FaultAllocation fault(fail_at);
      ok = GetParam().apply(root());
      failed = fault.failures() > 0;
    }
    if (!failed) {
      EXPECT_TRUE(ok);
      EXPECT_NE(write(doc_), before);
      break;
    }
    EXPECT_FALSE(ok) << "allocation " << fail_at;
    EXPECT_EQ(write(doc_), before) << "allocation " << fail_at;
    EXPECT_TRUE(doc_->generation == generation && xlsx_live_allocations() == live) << "allocation " << fail_at;
  }
}

INSTANTIATE_TEST_SUITE_P(Table, Changes, ::testing::ValuesIn(kChanges),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(Tree, NestedEditsJoinTheOutermost) {
  ASSERT_EQ(load(kBefore, 0), XLSX_OK);
  ASSERT_TRUE(xml_document_begin_edit(doc_));
  ASSERT_TRUE(xml_document_begin_edit(doc_));
  ASSERT_TRUE(xml_node_remove_attribute(root(), "a"));
  xml_document_end_edit(doc_, true);  // inner: the outermost decides
  ASSERT_TRUE(xml_node_remove_attribute(root(), "b"));
  xml_document_end_edit(doc_, false);
  EXPECT_EQ(write(doc_), "<?xml version=\"1.0\"?>" + std::string(kBefore));
  xml_document_end_edit(doc_, false);  // none open: ignored
  xml_document_end_edit(nullptr, false);
  EXPECT_FALSE(xml_document_begin_edit(nullptr));
  ASSERT_TRUE(xml_document_begin_edit(doc_));
  ASSERT_TRUE(xml_node_remove_attribute(root(), "b"));
}  // destroyed with the edit open: the changes are kept and nothing leaks

// Parsing with the n-th allocation (or every one from the n-th on) failing leaves an empty, usable document;
// writing leaves the output alone; every run gives back every block. Texts (twice, one node apart) and long
// values parsed into fresh documents have a node page and an arena chunk run out at a text and at a value.
TEST_F(Tree, ParsingAndWritingFailCleanlyAtEveryAllocation) {
  std::string texts, values = "<r>";
  for (int i = 0; i < 300; i++) {
    texts += "<a>text " + std::to_string(i) + "</a>";
    values += "<a v=\"" + std::string(60, 'v') + std::to_string(i) + "\"/>";
  }
  for (const std::string& input : {"<r>" + texts + "</r>", "<r><b/>" + texts + "</r>", values + "</r>"}) {
    for (uint32_t fail_at = 1;; fail_at++) {
      xml_document_destroy(doc_);
      doc_ = xml_document_create();
      FaultAllocation fault(fail_at);
      xlsx_status status = load(input, XML_PARSE_PACKAGE);
      if (fault.failures() == 0) break;
      EXPECT_TRUE(status == XLSX_ERR_NO_MEMORY && !xml_node_first_child(top())) << fail_at;
    }
  }
  const std::string text = "<r>" + texts + values.substr(3) + "</r>";
  ASSERT_EQ(load(text, XML_PARSE_PACKAGE), XLSX_OK);
  const std::string expected = write(doc_);
  EXPECT_GT(xlsx_test::for_each_allocation_failure([&](FaultAllocation& fault) {
    xlsx_status status = load(text, XML_PARSE_PACKAGE);
    fault.fail_after(0);
    if (fault.failures() > 0) {
      ASSERT_TRUE(status == XLSX_ERR_NO_MEMORY && !xml_node_first_child(top()));
      ASSERT_EQ(load(text, XML_PARSE_PACKAGE), XLSX_OK);
    }
    EXPECT_EQ(write(doc_), expected);
  }), 2u) << "a load of several allocations, each made to fail";
  for (uint32_t fail_at = 1; fail_at < 40; fail_at++) {
    FaultAllocation fault(fail_at, true);
    xlsx_status status = load(text, XML_PARSE_PACKAGE);
    EXPECT_TRUE(status == XLSX_OK || (status == XLSX_ERR_NO_MEMORY && !xml_node_first_child(top())));
  }
  ASSERT_EQ(load(text, XML_PARSE_PACKAGE), XLSX_OK);
  uint32_t live = xlsx_live_allocations();
  char untouched = 0;
  EXPECT_GE(xlsx_test::for_each_allocation_failure([&](FaultAllocation& fault) {
    char* out = &untouched;  // must stay untouched on failure
    uint32_t length = 12345;
    xlsx_status status = xml_document_save_buffer(doc_, &out, &length);
    if (fault.failures() > 0) EXPECT_TRUE(status == XLSX_ERR_NO_MEMORY && out == &untouched && length == 12345u);
    else EXPECT_EQ(std::string(out, length), expected);
    if (status == XLSX_OK) xlsx_free(out);
    EXPECT_EQ(xlsx_live_allocations(), live);
  }), 5u) << "the output grows by doubling: several allocations";
}

}  // namespace

// Editing the tree: creating, setting texts and numbers, moving, removing, copying, and the generation
// counter that tells the package layer a part has changed.
#include <cstring>
#include <functional>
#include <string>

#include "lib/xml/node_pool.h"
#include "tests/xml/xml_test_util.h"

namespace {

using xml_test::XmlTest;

// Names of the children of node, joined with ",".
std::string child_names(const XmlNode* node) {
  std::string names;
  for (XmlNode* child = xml_node_first_child(node); child; child = xml_node_next_sibling(child)) {
    if (!names.empty()) names += ",";
    names += xml_node_name(child);
  }
  return names;
}

// Checks that the sibling links of node's children agree in both directions.
void expect_consistent_links(const XmlNode* node) {
  const XmlNode* previous = nullptr;
  for (XmlNode* child = node->first_child; child; child = child->next_sibling) {
    EXPECT_EQ(child->parent, node);
    EXPECT_EQ(child->previous_sibling, previous);
    previous = child;
  }
  EXPECT_EQ(node->last_child, previous);
}

class DomCreate : public XmlTest {};

TEST_F(DomCreate, AppendPrependAndInsertKeepOrder) {
  XmlNode* r = xml_node_append_child(top(), "r");
  XmlNode* b = xml_node_append_child(r, "b");
  xml_node_prepend_child(r, "a");
  xml_node_append_child(r, "d");
  xml_node_insert_child_after(r, "c", b);
  xml_node_insert_child_before(r, "a0", xml_node_first_child(r));
  EXPECT_EQ(child_names(r), "a0,a,b,c,d");
  expect_consistent_links(r);
  EXPECT_EQ(body(), "<r><a0/><a/><b/><c/><d/></r>");
}

TEST_F(DomCreate, InsertWithForeignOrNullReferenceAppends) {
  XmlNode* r = xml_node_append_child(top(), "r");
  XmlNode* other = xml_node_append_child(top(), "other");
  XmlNode* grandchild = xml_node_append_child(xml_node_append_child(r, "a"), "g");
  xml_node_insert_child_before(r, "x", nullptr);
  xml_node_insert_child_after(r, "y", other);
  xml_node_insert_child_before(r, "z", grandchild);
  EXPECT_EQ(child_names(r), "a,x,y,z");
  expect_consistent_links(r);
}

TEST_F(DomCreate, NullNamesAndOtherKinds) {
  XmlNode* r = xml_node_append_child(top(), nullptr);
  EXPECT_STREQ(xml_node_name(r), "");
  XmlNode* comment = xml_node_append_child_of_type(r, XML_NODE_COMMENT);
  xml_node_set_value(comment, "note");
  XmlNode* anonymous = xml_node_append_child_of_type(r, XML_NODE_ELEMENT);
  EXPECT_EQ(anonymous->name, nullptr);
  EXPECT_EQ(xml_node_append_child_of_type(r, XML_NODE_DOCUMENT), nullptr);
  EXPECT_EQ(xml_node_append_child_of_type(r, static_cast<XmlNodeType>(9)), nullptr);
  EXPECT_EQ(body(), "<><!--note--><:anonymous/></>");
}

TEST_F(DomCreate, RepeatedAttributeNamesAreKept) {
  XmlNode* r = xml_node_append_child(top(), "r");
  xml_attribute_set_value(xml_node_append_attribute(r, "k"), "1");
  xml_attribute_set_value(xml_node_append_attribute(r, "k"), "2");
  EXPECT_STREQ(xml_attribute_value(xml_node_attribute(r, "k")), "1");
  EXPECT_TRUE(xml_node_remove_attribute(r, "k"));
  EXPECT_STREQ(xml_attribute_value(xml_node_attribute(r, "k")), "2");
  EXPECT_TRUE(xml_node_remove_attribute(r, "k"));
  EXPECT_FALSE(xml_node_remove_attribute(r, "k"));
  EXPECT_EQ(xml_node_first_attribute(r), nullptr);
  EXPECT_EQ(r->last_attribute, nullptr);
}

TEST_F(DomCreate, SetAttributeFindsOrAppends) {
  XmlNode* r = xml_node_append_child(top(), "r");
  XmlAttr* first = xml_node_set_attribute(r, "a", "1");
  XmlAttr* again = xml_node_set_attribute(r, "a", "2");
  EXPECT_EQ(first, again);
  xml_node_set_attribute(r, "b", nullptr);
  EXPECT_EQ(body(), "<r a=\"2\" b=\"\"/>");
}

TEST_F(DomCreate, PagesDoubleFromTheFirstPageSize) {
  XmlNode* r = xml_node_append_child(top(), "r");  // the document node is no slot: r is the first
  for (uint32_t i = 1; i < XML_FIRST_PAGE_SLOTS; i++) xml_node_append_child(r, "c");
  EXPECT_EQ(xml_pool_node_pages(doc_), 1u);
  xml_node_append_child(r, "c");
  EXPECT_EQ(xml_pool_node_pages(doc_), 2u);
  EXPECT_EQ(xml_pool_node_bytes(doc_), 2 * sizeof(XmlNodePage) + 3 * XML_FIRST_PAGE_SLOTS * sizeof(XmlNode));
  for (uint32_t i = 1; i < 2 * XML_FIRST_PAGE_SLOTS; i++) xml_node_append_child(r, "c");
  EXPECT_EQ(xml_pool_node_pages(doc_), 2u);
  xml_node_append_child(r, "c");
  EXPECT_EQ(xml_pool_node_pages(doc_), 3u);
}

class DomText : public XmlTest {};

TEST_F(DomText, SetTextAppendsOneTextNodeAfterElements) {
  ASSERT_EQ(load("<r><a/></r>", 0), XLSX_OK);
  EXPECT_TRUE(xml_node_set_text(root(), "x"));
  EXPECT_TRUE(xml_node_set_text(root(), "y"));
  EXPECT_EQ(xml_node_type(xml_node_last_child(root())), XML_NODE_TEXT);
  EXPECT_EQ(body(), "<r><a/>y</r>");
}

TEST_F(DomText, SetTextKeepsCdata) {
  ASSERT_EQ(load("<r><![CDATA[old]]></r>", XML_PARSE_CDATA), XLSX_OK);
  EXPECT_TRUE(xml_node_set_text(root(), "new"));
  EXPECT_EQ(body(), "<r><![CDATA[new]]></r>");
}

TEST_F(DomText, NumberFormats) {
  XmlNode* r = xml_node_append_child(top(), "r");
  XmlAttr* a = xml_node_append_attribute(r, "a");
  EXPECT_TRUE(xml_attribute_set_double(a, 9.8));
  EXPECT_STREQ(xml_attribute_value(a), "9.8000000000000007");
  EXPECT_TRUE(xml_attribute_set_float(a, 15.75f));
  EXPECT_STREQ(xml_attribute_value(a), "15.75");
  EXPECT_TRUE(xml_attribute_set_float(a, 0.1f));
  EXPECT_STREQ(xml_attribute_value(a), "0.100000001");
  EXPECT_TRUE(xml_attribute_set_u64(a, UINT64_MAX));
  EXPECT_STREQ(xml_attribute_value(a), "18446744073709551615");
  EXPECT_TRUE(xml_attribute_set_i64(a, INT64_MIN));
  EXPECT_STREQ(xml_attribute_value(a), "-9223372036854775808");
  EXPECT_TRUE(xml_attribute_set_bool(a, true));
  EXPECT_STREQ(xml_attribute_value(a), "true");
  EXPECT_TRUE(xml_attribute_set_bool(a, false));
  EXPECT_STREQ(xml_attribute_value(a), "false");
  EXPECT_TRUE(xml_node_set_text_double(r, 0.1));
  EXPECT_STREQ(xml_node_text(r), "0.10000000000000001");
  EXPECT_TRUE(xml_node_set_text_float(r, 2.5f));
  EXPECT_STREQ(xml_node_text(r), "2.5");
  EXPECT_TRUE(xml_node_set_text_u64(r, 42));
  EXPECT_STREQ(xml_node_text(r), "42");
  EXPECT_TRUE(xml_node_set_text_i64(r, -42));
  EXPECT_STREQ(xml_node_text(r), "-42");
}

TEST_F(DomText, SettersCopyAndAcceptTheirOwnText) {
  ASSERT_EQ(load("<r a='parsed'/>", 0), XLSX_OK);
  XmlAttr* a = xml_node_attribute(root(), "a");
  // Replacing an arena text with itself, then a heap text with itself.
  EXPECT_STREQ(xml_attribute_set_value(a, xml_attribute_value(a)), "parsed");
  EXPECT_STREQ(xml_attribute_set_value(a, xml_attribute_value(a)), "parsed");
  char buffer[8] = "abc";
  xml_attribute_set_value(a, buffer);
  buffer[0] = 'X';
  EXPECT_STREQ(xml_attribute_value(a), "abc");
  EXPECT_TRUE(xml_attribute_set_name(a, "renamed"));
  EXPECT_EQ(body(), "<r renamed=\"abc\"/>");
  EXPECT_STREQ(xml_attribute_set_value(a, nullptr), "");
}

class DomMove : public XmlTest {
 protected:
  void SetUp() override {
    XmlTest::SetUp();
    ASSERT_EQ(load("<r><a><a1/></a><b/><c/></r>", 0), XLSX_OK);
    a_ = xml_node_child(root(), "a");
    b_ = xml_node_child(root(), "b");
    c_ = xml_node_child(root(), "c");
  }
  XmlNode* a_ = nullptr;
  XmlNode* b_ = nullptr;
  XmlNode* c_ = nullptr;
};

// Each move within the parent, applied in turn, gives the moved node and the children's order.
TEST_F(DomMove, WithinTheParent) {
  XmlNode* r = root();
  const struct {
    std::function<XmlNode*()> move;
    XmlNode* moved;
    const char* names;
  } steps[] = {
      {[&] { return xml_node_append_move(r, a_); }, a_, "b,c,a"},
      {[&] { return xml_node_prepend_move(r, c_); }, c_, "c,b,a"},
      {[&] { return xml_node_insert_move_after(r, a_, nullptr); }, a_, "a,c,b"},  // null: to the ends
      {[&] { return xml_node_insert_move_before(r, a_, nullptr); }, a_, "c,b,a"},
      {[&] { return xml_node_insert_move_before(r, a_, c_); }, a_, "a,c,b"},
      {[&] { return xml_node_insert_move_after(r, c_, b_); }, c_, "a,b,c"},
      {[&] { return xml_node_insert_move_after(r, b_, b_); }, b_, "a,b,c"},
  };
  for (const auto& step : steps) {
    EXPECT_EQ(step.move(), step.moved) << step.names;
    EXPECT_EQ(child_names(r), step.names);
    expect_consistent_links(r);
  }
}

TEST_F(DomMove, IntoAnotherParent) {
  XmlNode* a1 = xml_node_child(a_, "a1");
  EXPECT_EQ(xml_node_append_move(c_, a1), a1);
  EXPECT_EQ(xml_node_first_child(a_), nullptr);
  EXPECT_EQ(xml_node_last_child(a_), nullptr);
  EXPECT_EQ(body(), "<r><a/><b/><c><a1/></c></r>");
}

TEST_F(DomMove, IntoItsOwnSubtreeIsRefused) {
  uint32_t generation = doc_->generation;
  EXPECT_EQ(xml_node_append_move(xml_node_child(a_, "a1"), a_), nullptr);
  EXPECT_EQ(xml_node_append_move(a_, a_), nullptr);
  EXPECT_EQ(xml_node_prepend_move(a_, root()), nullptr);
  EXPECT_EQ(xml_node_append_move(root(), top()), nullptr);
  EXPECT_EQ(doc_->generation, generation);
  EXPECT_EQ(body(), "<r><a><a1/></a><b/><c/></r>");
}

TEST_F(DomMove, AcrossDocumentsIsRefused) {
  XmlDoc* other = xml_document_create();
  XmlNode* foreign = xml_node_append_child(&other->node, "f");
  EXPECT_EQ(xml_node_append_move(root(), foreign), nullptr);
  EXPECT_EQ(xml_node_append_move(foreign, a_), nullptr);
  EXPECT_EQ(xml_node_parent(foreign), &other->node);
  xml_document_destroy(other);
}

class DomRemove : public XmlTest {
 protected:
  void SetUp() override {
    XmlTest::SetUp();
    ASSERT_EQ(load("<r><a x='1'><g>deep<h/></g></a><b/><a/></r>", 0), XLSX_OK);
  }
};

TEST_F(DomRemove, RemoveChildFreesTheSubtree) {
  XmlNode* a = xml_node_child(root(), "a");
  XmlNode* grandchild = xml_node_child(a, "g");
  EXPECT_FALSE(xml_node_remove_child(root(), grandchild));
  EXPECT_EQ(body(), "<r><a x=\"1\"><g>deep<h/></g></a><b/><a/></r>");
  EXPECT_TRUE(xml_node_remove_child(root(), a));
  EXPECT_EQ(body(), "<r><b/><a/></r>");
  expect_consistent_links(root());
}

TEST_F(DomRemove, RemoveChildNamedTakesTheFirstAndRemoveChildrenTakesAll) {
  EXPECT_TRUE(xml_node_remove_child_named(root(), "a"));
  EXPECT_EQ(body(), "<r><b/><a/></r>");
  EXPECT_TRUE(xml_node_remove_child_named(root(), "a"));
  EXPECT_FALSE(xml_node_remove_child_named(root(), "a"));
  EXPECT_EQ(body(), "<r><b/></r>");
  xml_node_remove_children(root());
  EXPECT_EQ(xml_node_first_child(root()), nullptr);
  EXPECT_EQ(xml_node_last_child(root()), nullptr);
  EXPECT_EQ(body(), "<r/>");
}

TEST_F(DomRemove, FreedSlotsAreReused) {
  XmlNode* a = xml_node_child(root(), "a");
  XmlNode* g = xml_node_child(a, "g");
  const XmlNode* freed[] = {a, g, xml_node_first_child(g), xml_node_last_child(g)};
  xml_node_remove_child(root(), a);
  XmlNode* fresh = xml_node_append_child(root(), "n");
  bool reused = false;
  for (const XmlNode* slot : freed) reused = reused || slot == fresh;
  EXPECT_TRUE(reused);
  EXPECT_EQ(xml_pool_node_pages(doc_), 1u);
}

class DomCopy : public XmlTest {};

TEST_F(DomCopy, DeepCopyIsDetachedAndEqual) {
  ASSERT_EQ(load("<r><a k='v' e=''>t<b><c/>u</b><!--n--></a></r>", XML_PARSE_COMMENTS), XLSX_OK);
  XmlNode* a = xml_node_child(root(), "a");
  XmlNode* copy = xml_node_copy(a);
  ASSERT_NE(copy, nullptr);
  EXPECT_EQ(xml_node_parent(copy), nullptr);
  EXPECT_NE(copy, a);
  xml_node_append_move(root(), copy);
  EXPECT_EQ(body(), "<r><a k=\"v\" e=\"\">t<b><c/>u</b><!--n--></a><a k=\"v\" e=\"\">t<b><c/>u</b><!--n--></a></r>");
  // The copy has its own texts: changing one side leaves the other.
  xml_attribute_set_value(xml_node_attribute(copy, "k"), "changed");
  xml_node_set_text(a, "T");
  EXPECT_EQ(body(),
            "<r><a k=\"v\" e=\"\">T<b><c/>u</b><!--n--></a><a k=\"changed\" e=\"\">t<b><c/>u</b><!--n--></a></r>");
  EXPECT_EQ(xml_node_copy(top()), nullptr) << "the document node is not copied";
}

TEST_F(DomCopy, DeepChainWithoutRecursion) {
  XmlNode* node = xml_node_append_child(top(), "d");
  for (int i = 0; i < 100000; i++) node = xml_node_append_child(node, "d");
  XmlNode* copy = xml_node_copy(root());
  ASSERT_NE(copy, nullptr);
  int depth = 0;
  for (XmlNode* at = copy; at; at = xml_node_first_child(at)) depth++;
  EXPECT_EQ(depth, 100001);
  xml_node_append_move(top(), copy);
  xml_node_remove_children(top());
  EXPECT_EQ(xml_node_first_child(top()), nullptr);
}

class DomGeneration : public XmlTest {
 protected:
  // Runs the operation and tells whether the generation moved.
  template <typename F>
  bool changes(F operation) {
    uint32_t before = doc_->generation;
    operation();
    return doc_->generation != before;
  }
};

TEST_F(DomGeneration, EveryMutationCounts) {
  XmlNode* r = nullptr;
  EXPECT_TRUE(changes([&] { ASSERT_EQ(load("<r><a/><b/></r>", 0), XLSX_OK); }));
  r = root();
  EXPECT_TRUE(changes([&] { xml_node_append_child(r, "c"); }));
  EXPECT_TRUE(changes([&] { xml_node_prepend_child(r, "z"); }));
  EXPECT_TRUE(changes([&] { xml_node_insert_child_after(r, "y", xml_node_child(r, "a")); }));
  EXPECT_TRUE(changes([&] { xml_node_insert_child_before(r, "x", xml_node_child(r, "a")); }));
  EXPECT_TRUE(changes([&] { xml_node_append_child_of_type(r, XML_NODE_COMMENT); }));
  EXPECT_TRUE(changes([&] { xml_node_append_attribute(r, "k"); }));
  EXPECT_TRUE(changes([&] { xml_node_set_attribute(r, "k", "v"); }));
  EXPECT_TRUE(changes([&] { xml_attribute_set_name(xml_node_attribute(r, "k"), "j"); }));
  EXPECT_TRUE(changes([&] { xml_attribute_set_u64(xml_node_attribute(r, "j"), 3); }));
  EXPECT_TRUE(changes([&] { xml_node_set_text(r, "t"); }));
  EXPECT_TRUE(changes([&] { xml_node_set_text(r, "u"); }));
  EXPECT_TRUE(changes([&] { xml_node_set_value(xml_node_text_node(r), "w"); }));
  EXPECT_TRUE(changes([&] { xml_node_append_move(r, xml_node_child(r, "a")); }));
  EXPECT_TRUE(changes([&] { xml_node_insert_move_before(r, xml_node_child(r, "a"), xml_node_child(r, "b")); }));
  EXPECT_TRUE(changes([&] { xml_node_copy(xml_node_child(r, "a")); }));
  EXPECT_TRUE(changes([&] { xml_node_remove_attribute(r, "j"); }));
  EXPECT_TRUE(changes([&] { xml_node_remove_child_named(r, "a"); }));
  EXPECT_TRUE(changes([&] { xml_node_remove_children(r); }));
}

TEST_F(DomGeneration, RefusedOperationsDoNotCount) {
  ASSERT_EQ(load("<r><a><g/></a></r>", 0), XLSX_OK);
  XmlNode* a = xml_node_child(root(), "a");
  EXPECT_FALSE(changes([&] { xml_node_remove_child(root(), xml_node_child(a, "g")); }));
  EXPECT_FALSE(changes([&] { xml_node_remove_attribute(a, "none"); }));
  EXPECT_FALSE(changes([&] { xml_node_remove_child_named(root(), "none"); }));
  EXPECT_FALSE(changes([&] { xml_node_append_move(a, root()); }));
  EXPECT_FALSE(changes([&] { xml_node_child(root(), "a"); }));
  EXPECT_FALSE(changes([&] { std::string out = xml_test::write(doc_); }));
}

}  // namespace

// Accessors and typed readers: null tolerance, name lookups and the lenient conversions. The text of a
// CDATA child and the document element behind a declaration are checked with the parser (parse_test.cpp).
#include <cstring>

#include "tests/xml/xml_test_util.h"

namespace {

using xml_test::XmlTest;

class TreeNullHandles : public xlsx_test::CountedTest {};

TEST_F(TreeNullHandles, AccessorsAnswerNeutrallyReadersGiveTheDefaultWritersIgnoreNull) {
  EXPECT_EQ(xml_node_type(nullptr), XML_NODE_NULL);
  EXPECT_TRUE(xml_node_is_empty(nullptr));
  EXPECT_STREQ(xml_node_name(nullptr), "");
  EXPECT_STREQ(xml_node_value(nullptr), "");
  EXPECT_STREQ(xml_attribute_name(nullptr), "");
  EXPECT_STREQ(xml_attribute_value(nullptr), "");
  EXPECT_STREQ(xml_node_text(nullptr), "");
  EXPECT_EQ(xml_node_parent(nullptr), nullptr);
  EXPECT_EQ(xml_node_first_child(nullptr), nullptr);
  EXPECT_EQ(xml_node_last_child(nullptr), nullptr);
  EXPECT_EQ(xml_node_next_sibling(nullptr), nullptr);
  EXPECT_EQ(xml_node_previous_sibling(nullptr), nullptr);
  EXPECT_EQ(xml_node_child(nullptr, "a"), nullptr);
  EXPECT_EQ(xml_node_attribute(nullptr, "a"), nullptr);
  EXPECT_FALSE(xml_node_has_attribute(nullptr, "a"));
  EXPECT_EQ(xml_node_first_attribute(nullptr), nullptr);
  EXPECT_EQ(xml_attribute_next(nullptr), nullptr);
  EXPECT_EQ(xml_document_element(nullptr), nullptr);
  EXPECT_EQ(xml_node_text_node(nullptr), nullptr);
  EXPECT_EQ(xml_node_copy(nullptr), nullptr);
  // Typed readers give the default.
  EXPECT_TRUE(xml_attribute_as_bool(nullptr, true));
  EXPECT_EQ(xml_attribute_as_double(nullptr, 2.5), 2.5);
  EXPECT_EQ(xml_attribute_as_u64(nullptr, 7u), 7u);
  EXPECT_EQ(xml_attribute_as_i64(nullptr, -7), -7);
  EXPECT_EQ(xml_attribute_as_uint(nullptr, 9u), 9u);
  EXPECT_EQ(xml_attribute_as_int(nullptr, -9), -9);
  EXPECT_EQ(xml_node_text_as_double(nullptr, 1.5), 1.5);
  EXPECT_EQ(xml_node_text_as_i64(nullptr, 3), 3);
  EXPECT_EQ(xml_node_text_as_u64(nullptr, 4u), 4u);
  EXPECT_FALSE(xml_node_text_as_bool(nullptr, false));
  // Writers ignore null.
  uint32_t live = xlsx_live_allocations();
  EXPECT_EQ(xml_attribute_set_value(nullptr, "x"), nullptr);
  EXPECT_FALSE(xml_attribute_set_name(nullptr, "x"));
  EXPECT_FALSE(xml_node_set_text(nullptr, "x"));
  EXPECT_FALSE(xml_node_set_value(nullptr, "x"));
  EXPECT_EQ(xml_node_append_child(nullptr, "x"), nullptr);
  EXPECT_EQ(xml_node_append_attribute(nullptr, "x"), nullptr);
  EXPECT_FALSE(xml_node_remove_child(nullptr, nullptr));
  EXPECT_FALSE(xml_node_remove_attribute(nullptr, "x"));
  xml_node_remove_children(nullptr);
  xml_document_destroy(nullptr);
  EXPECT_EQ(xlsx_live_allocations(), live);
}

class TreeAccess : public XmlTest {
 protected:
  void SetUp() override {
    XmlTest::SetUp();
    ASSERT_EQ(load("<r><a k='1'/><b k='2'/>text<a k='3' j='x'/><!--c--><b/></r>", XML_PARSE_COMMENTS), XLSX_OK);
  }
};

TEST_F(TreeAccess, LookupsByNameAndAttributeAndTheAttributeWalk) {
  XmlNode* a = xml_node_child(root(), "a");
  ASSERT_NE(a, nullptr);
  EXPECT_STREQ(xml_attribute_value(xml_node_attribute(a, "k")), "1");
  EXPECT_EQ(xml_node_child(root(), "missing"), nullptr);
  EXPECT_EQ(xml_node_child(root(), nullptr), nullptr);
  XmlNode* a3 = xml_node_next_sibling_named(a, "a");
  EXPECT_STREQ(xml_attribute_value(xml_node_attribute(a3, "k")), "3");
  EXPECT_EQ(xml_node_next_sibling_named(a3, "a"), nullptr);
  EXPECT_EQ(xml_node_previous_sibling_named(a3, "a"), a);
  EXPECT_EQ(xml_node_previous_sibling_named(a, "a"), nullptr);
  XmlNode* last_b = xml_node_next_sibling_named(a3, "b");
  EXPECT_EQ(last_b, xml_node_last_child(root()));
  EXPECT_EQ(xml_node_find_child_by_attribute(root(), "a", "k", "3"), a3);
  EXPECT_EQ(xml_node_find_child_by_attribute(root(), "b", "k", "3"), nullptr);
  // A null element name matches any element.
  EXPECT_STREQ(xml_node_name(xml_node_find_child_by_attribute(root(), nullptr, "k", "2")), "b");
  EXPECT_EQ(xml_node_find_child_by_attribute(root(), "a", nullptr, "3"), nullptr);
  EXPECT_EQ(xml_node_find_child_by_attribute(root(), "a", "k", nullptr), nullptr);
  XmlAttr* first = xml_node_first_attribute(a3);
  EXPECT_STREQ(xml_attribute_name(first), "k");
  EXPECT_STREQ(xml_attribute_name(xml_attribute_next(first)), "j");
  EXPECT_EQ(xml_attribute_next(xml_attribute_next(first)), nullptr);
  EXPECT_TRUE(xml_node_has_attribute(a3, "j"));
  EXPECT_STREQ(xml_attribute_value(xml_node_attribute(a3, "j")), "x");
  EXPECT_FALSE(xml_node_has_attribute(a3, "z"));
}

TEST_F(TreeAccess, TextIsTheFirstTextOrCdataChild) {
  EXPECT_STREQ(xml_node_text(root()), "text");
  EXPECT_STREQ(xml_node_child_value(root()), "text");
  EXPECT_EQ(xml_node_type(xml_node_text_node(root())), XML_NODE_TEXT);
}

class TypedReaders : public XmlTest {
 protected:
  XmlAttr* attr(const char* value) {
    XmlNode* element = xml_node_append_child(top(), "e");
    return xml_node_set_attribute(element, "v", value);
  }
};

TEST_F(TypedReaders, BoolReadsTheFirstByte) {
  EXPECT_TRUE(xml_attribute_as_bool(attr("yes"), false));
  EXPECT_TRUE(xml_attribute_as_bool(attr("True"), false));
  EXPECT_TRUE(xml_attribute_as_bool(attr("1"), false));
  EXPECT_FALSE(xml_attribute_as_bool(attr("no"), true));
  EXPECT_FALSE(xml_attribute_as_bool(attr("0"), true));
  EXPECT_FALSE(xml_attribute_as_bool(attr("2"), true));
  EXPECT_TRUE(xml_attribute_as_bool(attr(""), true));
  EXPECT_FALSE(xml_attribute_as_bool(attr(""), false));
}

TEST_F(TypedReaders, IntegersClampAndUnsignedRejectsMinusDoubleIsStrict) {
  EXPECT_EQ(xml_attribute_as_uint(attr("4294967296"), 5u), 4294967295u);
  EXPECT_EQ(xml_attribute_as_uint(attr("-1"), 5u), 5u);
  EXPECT_EQ(xml_attribute_as_uint(attr(" 42 "), 5u), 42u);
  EXPECT_EQ(xml_attribute_as_u64(attr("18446744073709551615"), 0u), UINT64_MAX);
  EXPECT_EQ(xml_attribute_as_u64(attr("12x"), 3u), 3u);
  // Signed readers clamp to 32 bits.
  EXPECT_EQ(xml_attribute_as_int(attr("3000000000"), 0), INT32_MAX);
  EXPECT_EQ(xml_attribute_as_int(attr("-3000000000"), 0), INT32_MIN);
  EXPECT_EQ(xml_attribute_as_int(attr("-17"), 0), -17);
  EXPECT_EQ(xml_attribute_as_i64(attr("-9223372036854775807"), 0), -INT64_MAX);
  EXPECT_EQ(xml_attribute_as_i64(attr(""), 11), 11);
  // The double reader is strict.
  EXPECT_EQ(xml_attribute_as_double(attr("2.5"), 0), 2.5);
  EXPECT_EQ(xml_attribute_as_double(attr("1e+20"), 0), 1e20);
  EXPECT_EQ(xml_attribute_as_double(attr("2.5x"), -1), -1);
  EXPECT_EQ(xml_attribute_as_double(attr(""), -1), -1);
}

TEST_F(TypedReaders, ElementTextReaders) {
  ASSERT_EQ(load("<r><n>12</n><f>0.125</f><b>t</b><m>-4</m></r>", 0), XLSX_OK);
  EXPECT_EQ(xml_node_text_as_u64(xml_node_child(root(), "n"), 0), 12u);
  EXPECT_EQ(xml_node_text_as_double(xml_node_child(root(), "f"), 0), 0.125);
  EXPECT_TRUE(xml_node_text_as_bool(xml_node_child(root(), "b"), false));
  EXPECT_EQ(xml_node_text_as_i64(xml_node_child(root(), "m"), 0), -4);
  EXPECT_EQ(xml_node_text_as_u64(xml_node_child(root(), "m"), 9), 9u);
}

}  // namespace

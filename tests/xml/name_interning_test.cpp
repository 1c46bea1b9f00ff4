// Names met while parsing are stored once per document: a repeated name gives the same text, names that
// differ only slightly (same first byte, same length) stay apart, and long or many names still parse.
#include <string>
#include <vector>

#include "tests/xml/xml_test_util.h"

namespace {

using xml_test::XmlTest;

class NameInterning : public XmlTest {
 protected:
  std::vector<XmlNode*> children(XmlNode* node) {
    std::vector<XmlNode*> out;
    for (XmlNode* c = xml_node_first_child(node); c; c = xml_node_next_sibling(c)) out.push_back(c);
    return out;
  }
};

TEST_F(NameInterning, RepeatedNamesShareOneTextAndLookalikesStayApart) {
  // Alternating names that share their first byte and length, as elements and as attributes: each
  // repeated name is the very text of its first use, and the lookalikes never mix.
  std::string text = "<r>";
  for (int i = 0; i < 40; i++) text += i % 2 ? "<ab ax=\"1\" ay=\"2\"/>" : "<ac ay=\"3\" ax=\"4\"/>";
  text += "</r>";
  ASSERT_EQ(load(text, 0), XLSX_OK);
  std::vector<XmlNode*> nodes = children(root());
  ASSERT_EQ(nodes.size(), 40u);
  for (size_t i = 0; i < nodes.size(); i++) {
    EXPECT_STREQ(nodes[i]->name, i % 2 ? "ab" : "ac") << i;
    EXPECT_STREQ(xml_attribute_name(nodes[i]->first_attribute), i % 2 ? "ax" : "ay") << i;
    EXPECT_STREQ(xml_attribute_value(xml_node_attribute(nodes[i], "ax")), i % 2 ? "1" : "4") << i;
    EXPECT_EQ(nodes[i]->name, nodes[i % 2]->name) << i;
    EXPECT_EQ(nodes[i]->first_attribute->name, nodes[i % 2]->first_attribute->name) << i;
  }
  EXPECT_EQ(body(), text);
}

TEST_F(NameInterning, LongAndManyDistinctNamesParseAndWriteBack) {
  // Names of 15 to 18 bytes around the length that short names stop at, and more distinct names than the
  // per-load table keeps; each must come back exactly.
  std::string text = "<root>";
  const char* long_names[] = {"abcdefghijklmno", "abcdefghijklmnop", "abcdefghijklmnopq", "abcdefghijklmnopqr"};
  for (int round = 0; round < 3; round++) {
    for (const char* name : long_names) text += "<" + std::string(name) + " " + name + "=\"v\"/>";
  }
  for (int i = 0; i < 600; i++) text += "<n" + std::to_string(i) + "/>";
  text += "</root>";
  ASSERT_EQ(load(text, 0), XLSX_OK);
  EXPECT_EQ(body(), text);
  std::vector<XmlNode*> nodes = children(root());
  ASSERT_EQ(nodes.size(), 612u);
  EXPECT_STREQ(nodes[5]->name, "abcdefghijklmnop");
  EXPECT_STREQ(xml_attribute_name(nodes[6]->first_attribute), "abcdefghijklmnopq");
  EXPECT_STREQ(nodes[611]->name, "n599");
}

TEST_F(NameInterning, ANameAtTheVeryEndOfTheInputIsNotReadPast) {
  // An instruction whose target is empty and ends the input: nothing beyond the bytes given is looked at.
  std::string text = "<r/><?";
  EXPECT_EQ(load(text, XML_PARSE_PI), XLSX_ERR_PARSE);
  EXPECT_EQ(load("<r/><? x?>", XML_PARSE_PI), XLSX_OK);
  EXPECT_EQ(body(), "<r/><? x?>");
}

TEST_F(NameInterning, CreatedNamesAreSharedAndPrefixesStayApart) {
  // Names that begin alike ("r" and "row", "v" and "vv") and names that share a cache slot must each keep
  // their own text; a repeated name gives the text it got the first time.
  ASSERT_EQ(load("<sheetData/>", 0), XLSX_OK);
  const char* names[] = {"row", "r", "rows", "v", "vv", "c", "t", "s", "xml:space", "r"};
  std::vector<XmlNode*> made;
  for (int round = 0; round < 3; round++) {
    for (const char* name : names) {
      XmlNode* node = xml_node_append_child(root(), name);
      ASSERT_NE(node, nullptr);
      ASSERT_NE(xml_node_append_attribute(node, name), nullptr);
      made.push_back(node);
    }
  }
  const size_t count = sizeof names / sizeof names[0];
  for (size_t i = 0; i < made.size(); i++) {
    EXPECT_STREQ(made[i]->name, names[i % count]) << i;
    EXPECT_STREQ(made[i]->first_attribute->name, names[i % count]) << i;
    EXPECT_EQ(made[i]->name, made[i % count]->name) << i;
    EXPECT_EQ(made[i]->first_attribute->name, made[i]->name) << i;
  }
  EXPECT_EQ(made[1]->name, made[9]->name);
  EXPECT_NE(made[0]->name, made[1]->name);
}

// A reload forgets the names of the last load, parsed and created alike: the new document gets its own
// texts, and creating a name again must not hand out a freed one (the sanitizer build sees any such use).
TEST_F(NameInterning, AReloadForgetsTheNamesOfTheLastLoad) {
  ASSERT_EQ(load("<a><bb/><bc/></a>", 0), XLSX_OK);
  ASSERT_NE(xml_node_append_child(root(), "cell"), nullptr);
  ASSERT_NE(xml_node_set_attribute(root(), "ref", "A1"), nullptr);
  ASSERT_EQ(load("<a><bc/><bb/></a>", 0), XLSX_OK);
  std::vector<XmlNode*> nodes = children(root());
  ASSERT_EQ(nodes.size(), 2u);
  EXPECT_STREQ(nodes[0]->name, "bc");
  EXPECT_STREQ(nodes[1]->name, "bb");
  XmlNode* cell = xml_node_append_child(root(), "cell");
  ASSERT_NE(xml_node_set_attribute(cell, "ref", "B2"), nullptr);
  EXPECT_STREQ(cell->name, "cell");
  EXPECT_EQ(body(), "<a><bc/><bb/><cell ref=\"B2\"/></a>");
}

}  // namespace

// The writer: the declaration rule, each node kind, every escape rule, CDATA splitting and deep trees.
#include <string>

#include "tests/support/cases.h"
#include "tests/xml/xml_test_util.h"

namespace {

using xml_test::XmlTest;

class Write : public XmlTest {};

// Null arguments are refused; an empty tree gives the default declaration; the length is optional.
TEST_F(Write, NullArgumentsAndTheEmptyTree) {
  char* text = nullptr;
  EXPECT_EQ(xml_document_save_buffer(nullptr, &text, nullptr), XLSX_ERR_INVALID_ARG);
  EXPECT_TRUE(xml_document_save_buffer(doc_, nullptr, nullptr) == XLSX_ERR_INVALID_ARG && text == nullptr);
  uint32_t length = 99;
  ASSERT_EQ(xml_document_save_buffer(doc_, &text, &length), XLSX_OK);
  EXPECT_TRUE(std::string(text) == "<?xml version=\"1.0\"?>" && length == 21);
  xlsx_free(text);
  ASSERT_EQ(xml_document_save_buffer(doc_, &text, nullptr), XLSX_OK);
  xlsx_free(text);
}

// A declaration anywhere at the top (not deeper down) replaces the default; one made without a name is
// written as one.
TEST_F(Write, ADeclarationAnywhereAtTheTopReplacesTheDefault) {
  ASSERT_EQ(load("<r/><?xml version='1.1'?>", XML_PARSE_DECLARATION), XLSX_OK);
  EXPECT_EQ(xml_test::write(doc_), "<r/><?xml version=\"1.1\"?>");
  ASSERT_EQ(load("<r><?xml v='1'?></r>", XML_PARSE_DECLARATION), XLSX_OK);
  EXPECT_EQ(xml_test::write(doc_), "<?xml version=\"1.0\"?><r><?xml v=\"1\"?></r>");
  xml_node_remove_children(top());
  XmlNode* declaration = xml_node_append_child_of_type(top(), XML_NODE_DECLARATION);
  xml_node_set_attribute(declaration, "version", "1.0");
  xml_node_append_child(top(), "r");
  EXPECT_EQ(xml_test::write(doc_), "<?xml version=\"1.0\"?><r/>");
}

// Every node kind; comments and instructions are written without escapes, unnamed kinds as :anonymous;
// an element with an empty text child still gets a close tag; attributes take double quotes.
TEST_F(Write, EveryNodeKind) {
  XmlNode* r = xml_node_append_child(top(), "r");
  xml_node_set_attribute(r, "a", "1");
  xml_node_append_attribute(r, "b")->name = nullptr;
  const std::pair<XmlNodeType, const char*> kinds[] = {
      {XML_NODE_TEXT, "t"},         {XML_NODE_CDATA, "c<&>"},      {XML_NODE_COMMENT, " <&> "},
      {XML_NODE_PI, nullptr},       {XML_NODE_PI, "v <&>"},        {XML_NODE_DOCTYPE, nullptr},
      {XML_NODE_DOCTYPE, "x [<!x>]"}, {XML_NODE_COMMENT, nullptr}, {XML_NODE_CDATA, nullptr}};
  for (auto [type, value] : kinds) {
    XmlNode* node = xml_node_append_child_of_type(r, type);
    if (value) xml_node_set_value(node, value);
  }
  xml_node_append_child(xml_node_append_child_of_type(r, XML_NODE_NULL), "hidden");
  xml_node_append_child(xml_node_append_child_of_type(r, XML_NODE_TEXT), "hidden");
  xml_node_set_text(xml_node_append_child(r, "e"), "");
  xml_node_append_child(r, "f");
  xml_node_append_child_of_type(xml_node_append_child(r, "g"), XML_NODE_TEXT);
  EXPECT_EQ(body(),
            "<r a=\"1\" :anonymous=\"\">t<![CDATA[c<&>]]><!-- <&> --><?:anonymous?><?:anonymous v <&>?><!DOCTYPE>"
            "<!DOCTYPE x [<!x>]><!----><![CDATA[]]><e></e><f/><g></g></r>");
}

// Texts escape &, <, > and control bytes but tab and line ends, also after a long plain run; attribute
// values escape &, <, the double quote and every control byte.
TEST_F(Write, TextAndAttributeEscapes) {
  const std::string run(5000, 'x');
  XmlNode* r = xml_node_append_child(top(), "r");
  xml_node_set_attribute(r, "a", "&<>\"'\t\n\r\x01\x1F\x7F\xC3\xA9");
  xml_node_set_text(r, ("&<>\"'\t\n\r\x01\x0B\x1F\x7F\xC3\xA9\xFF" + run + "<" + run + "&").c_str());
  EXPECT_EQ(body(), "<r a=\"&amp;&lt;>&quot;'&#09;&#10;&#13;&#01;&#31;\x7F\xC3\xA9\">&amp;&lt;&gt;\"'\t\n\r&#01;&#11;&#31;"
                    "\x7F\xC3\xA9\xFF" + run + "&lt;" + run + "&amp;</r>");
}

// CDATA text holding the terminator is split around it, and the pieces parse back to the same text.
TEST_F(Write, CdataIsSplitAroundTheTerminator) {
  for (const xlsx_test::Case& row : xlsx_test::read_cases("xml/xml.cases", "cdata")) {
    xml_node_remove_children(top());
    xml_node_set_value(xml_node_append_child_of_type(xml_node_append_child(top(), "r"), XML_NODE_CDATA), row[0].c_str());
    EXPECT_EQ(body(), "<r>" + row[1] + "</r>") << row.where;
    ASSERT_EQ(load(xml_test::write(doc_), XML_PARSE_CDATA), XLSX_OK);
    std::string joined;
    for (XmlNode* child = xml_node_first_child(root()); child; child = xml_node_next_sibling(child)) {
      joined += xml_node_value(child);
    }
    EXPECT_EQ(joined, row[0]);
  }
}

// Deep trees are written without recursion, siblings after deep branches in their place.
TEST_F(Write, DeepTreeWithoutRecursion) {
  ASSERT_EQ(load("<r><a><b><c/></b></a><d/></r><s/>", 0), XLSX_OK);
  XmlNode* node = top();
  for (int i = 0; i < 200000; i++) node = xml_node_append_child(node, "d");
  std::string open, close;
  for (int i = 0; i < 200000; i++) open += "<d>", close += "</d>";
  EXPECT_EQ(body(), "<r><a><b><c/></b></a><d/></r><s/>" + open.substr(0, open.size() - 3) + "<d/>" + close.substr(4));
}

}  // namespace

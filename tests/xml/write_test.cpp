// The writer: the declaration rule, each node kind, every escape rule, CDATA splitting, deep trees, and
// package parts that come out as they went in.
#include <string>

#include "tests/support/cases.h"
#include "tests/support/temp_dir.h"
#include "tests/xml/xml_test_util.h"

namespace {

using xml_test::XmlTest;

class Write : public XmlTest {};

// Null arguments are refused; an empty tree gives the default declaration; the length is optional.
TEST_F(Write, NullArgumentsAndTheEmptyTree) {
  char* text = nullptr;
  EXPECT_EQ(xml_document_save_buffer(nullptr, &text, nullptr), XLSX_ERR_INVALID_ARG);
  EXPECT_EQ(xml_document_save_buffer(doc_, nullptr, nullptr), XLSX_ERR_INVALID_ARG);
  EXPECT_EQ(text, nullptr);
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
  xml_node_set_value(xml_node_append_child_of_type(r, XML_NODE_TEXT), "t");
  xml_node_set_value(xml_node_append_child_of_type(r, XML_NODE_CDATA), "c<&>");
  xml_node_set_value(xml_node_append_child_of_type(r, XML_NODE_COMMENT), " <&> ");
  xml_node_append_child_of_type(r, XML_NODE_PI);
  xml_node_set_value(xml_node_append_child_of_type(r, XML_NODE_PI), "v <&>");
  xml_node_append_child_of_type(r, XML_NODE_DOCTYPE);
  xml_node_set_value(xml_node_append_child_of_type(r, XML_NODE_DOCTYPE), "x [<!x>]");
  xml_node_append_child_of_type(r, XML_NODE_COMMENT);
  xml_node_append_child_of_type(r, XML_NODE_CDATA);
  xml_node_append_child(xml_node_append_child_of_type(r, XML_NODE_NULL), "hidden");
  xml_node_append_child(xml_node_append_child_of_type(r, XML_NODE_TEXT), "hidden");
  xml_node_set_text(xml_node_append_child(r, "e"), "");
  xml_node_append_child(r, "f");
  xml_node_append_child_of_type(xml_node_append_child(r, "g"), XML_NODE_TEXT);
  EXPECT_EQ(body(),
            "<r a=\"1\" :anonymous=\"\">t<![CDATA[c<&>]]><!-- <&> --><?:anonymous?><?:anonymous v <&>?><!DOCTYPE>"
            "<!DOCTYPE x [<!x>]><!----><![CDATA[]]><e></e><f/><g></g></r>");
}

// Texts escape &, <, > and control bytes other than tab and line ends, also between long plain runs.
TEST_F(Write, TextEscapes) {
  std::string text = "&<>\"'\t\n\r";
  for (int c = 1; c < 32; c++) {
    if (c != 9 && c != 10 && c != 13) text += static_cast<char>(c);
  }
  text += "\x7F\xC3\xA9\xFF";
  xml_node_set_text(xml_node_append_child(top(), "r"), text.c_str());
  EXPECT_EQ(body(),
            "<r>&amp;&lt;&gt;\"'\t\n\r&#01;&#02;&#03;&#04;&#05;&#06;&#07;&#08;&#11;&#12;&#14;&#15;&#16;&#17;&#18;"
            "&#19;&#20;&#21;&#22;&#23;&#24;&#25;&#26;&#27;&#28;&#29;&#30;&#31;\x7F\xC3\xA9\xFF</r>");
  std::string run(5000, 'x');
  xml_node_remove_children(top());
  xml_node_set_text(xml_node_append_child(top(), "r"), (run + "<" + run + "&").c_str());
  EXPECT_EQ(body(), "<r>" + run + "&lt;" + run + "&amp;</r>");
}

// Attribute values escape &, <, the double quote and every control byte.
TEST_F(Write, AttributeEscapes) {
  std::string value = "&<>\"'";
  for (int c = 1; c < 32; c++) value += static_cast<char>(c);
  value += "\x7F\xC3\xA9";
  xml_node_set_attribute(xml_node_append_child(top(), "r"), "a", value.c_str());
  EXPECT_EQ(body(),
            "<r a=\"&amp;&lt;>&quot;'&#01;&#02;&#03;&#04;&#05;&#06;&#07;&#08;&#09;&#10;&#11;&#12;&#13;&#14;&#15;"
            "&#16;&#17;&#18;&#19;&#20;&#21;&#22;&#23;&#24;&#25;&#26;&#27;&#28;&#29;&#30;&#31;\x7F\xC3\xA9\"/>");
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
  XmlNode* node = xml_node_append_child(top(), "d");
  const int depth = 200000;
  for (int i = 1; i < depth; i++) node = xml_node_append_child(node, "d");
  xml_node_set_text(node, "x");
  std::string open, close;
  for (int i = 0; i < depth; i++) open += "<d>", close += "</d>";
  EXPECT_EQ(body(), open + "x" + close);
  ASSERT_EQ(load("<r><a><b><c/></b></a><d/></r><s/>", 0), XLSX_OK);
  xml_node_append_child(xml_node_append_child(top(), "u"), "t");
  EXPECT_EQ(body(), "<r><a><b><c/></b></a><d/></r><s/><u><t/></u>");
}

// A part as spreadsheet applications write it (tests/xml/worksheet_part.xml), parsed with the package
// options and written back: the bytes come out as they went in (the default declaration in place of the
// original one), and writing the written text again changes nothing.
TEST_F(Write, PackagePartsComeOutAsTheyWentIn) {
  const std::string part = xlsx_test::read_bytes(std::string(XLSX_TEST_SOURCES) + "/xml/worksheet_part.xml");
  ASSERT_NE(part.find("'single'"), std::string::npos);
  std::string once = round_trip("<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\r\n" + part,
                                XML_PARSE_PACKAGE);
  EXPECT_EQ(once, "<?xml version=\"1.0\"?>" + part);
  EXPECT_EQ(round_trip(once, XML_PARSE_PACKAGE), once);
  XmlNode* row = xml_node_child(xml_node_child(root(), "sheetData"), "row");
  XmlNode* b1 = xml_node_next_sibling_named(xml_node_child(row, "c"), "c");
  EXPECT_STREQ(xml_node_text(xml_node_child(xml_node_child(b1, "is"), "t")), "a < b & c > d");
  EXPECT_STREQ(xml_node_text(xml_node_child(xml_node_child(root(), "si"), "t")), "  lead and trail  ");
}

}  // namespace

// The XML parser (options, white-space and reference rules, errors, NUL bytes, the depth limit, interned
// names, reloading), the writer (declaration, node kinds, escapes, CDATA, deep trees) and the _xHHHH_
// escapes of cell texts.
#include "tests/xml/xml_fixture.h"

namespace {

// Null arguments are refused and leave the document alone; a length of zero reads to the terminator; an
// empty tree is written as the default declaration, and the output length is optional.
TEST_F(Parse, NullArgumentsLengthZeroAndTheEmptyTree) {
  char* out = nullptr;
  uint32_t length = 99;
  EXPECT_EQ(xml_document_save_buffer(nullptr, &out, nullptr), XLSX_ERR_INVALID_ARG);
  EXPECT_TRUE(xml_document_save_buffer(doc_, nullptr, nullptr) == XLSX_ERR_INVALID_ARG && out == nullptr);
  ASSERT_EQ(xml_document_save_buffer(doc_, &out, &length), XLSX_OK);
  EXPECT_TRUE(std::string(out) == "<?xml version=\"1.0\"?>" && length == 21);
  xlsx_free(out);
  ASSERT_EQ(xml_document_save_buffer(doc_, &out, nullptr), XLSX_OK);
  xlsx_free(out);
  ASSERT_EQ(load("<r/>", 0), XLSX_OK);
  uint32_t generation = doc_->generation;
  EXPECT_EQ(xml_document_load_buffer(nullptr, "<r/>", 4, 0), XLSX_ERR_INVALID_ARG);
  EXPECT_EQ(xml_document_load_buffer(doc_, nullptr, 4, 0), XLSX_ERR_INVALID_ARG);
  EXPECT_EQ(doc_->generation, generation);
  const char text[] = "<a>x</a>\0<b/>";
  EXPECT_TRUE(xml_document_load_buffer(doc_, text, 0, 0) == XLSX_OK && body() == "<a>x</a>");
  EXPECT_TRUE(xml_document_load_buffer(doc_, text, sizeof text - 1, 0) == XLSX_OK && body() == "<a>x</a><b/>");
}

// The cases of tests/xml/xml.cases: what each input keeps, texts and attribute values, references decoded
// once, and malformed input that fails the parse and leaves the document empty.
TEST_F(Parse, Cases) {
  for (const Case& c : cases("keeps")) {
    ASSERT_EQ(load(c[1], options(c[0])), XLSX_OK) << c.where;
    EXPECT_EQ(body(), c[2]) << c.where;
  }
  for (const Case& c : cases("value")) {
    ASSERT_EQ(load(c[1], options(c[0])), XLSX_OK) << c.where;
    XmlAttr* a = xml_node_attribute(root(), c[2].c_str());
    EXPECT_EQ(c[2].empty() ? xml_node_text(root()) : xml_attribute_value(a), c[3]) << c.where;
  }
  for (const Case& c : cases("reference")) {
    ASSERT_EQ(load("<r a=\"" + c[0] + "\">" + c[0] + "</r>", XML_PARSE_ENTITIES), XLSX_OK) << c.where;
    EXPECT_EQ(xml_node_text(root()), c[1]) << c.where;
    EXPECT_EQ(xml_attribute_value(xml_node_attribute(root(), "a")), c[1]) << c.where;
  }
  for (const Case& c : cases("malformed")) {
    ASSERT_EQ(load("<old/>", 0), XLSX_OK);
    EXPECT_EQ(load(c[1], options(c[0])), XLSX_ERR_PARSE) << c.where;
    EXPECT_EQ(body(), "") << c.where;
  }
}

std::string nested(uint32_t depth, const char* innermost) {
  std::string open, close;
  for (uint32_t i = 1; i < depth; i++) open += "<d>", close += "</d>";
  return open + innermost + close;
}

// Parsing limits nesting to XML_MAX_DEPTH (an error, not a stack overflow); deeper trees built by edits are
// written without recursion, siblings after deep branches in their place.
TEST_F(Parse, NestingIsLimitedButDeeperTreesAreWritten) {
  ASSERT_EQ(load(nested(XML_MAX_DEPTH, "<d></d>"), 0), XLSX_OK);
  EXPECT_EQ(body(), nested(XML_MAX_DEPTH, "<d/>"));
  EXPECT_EQ(load(nested(XML_MAX_DEPTH + 1, "<d/>"), 0), XLSX_ERR_PARSE);
  EXPECT_EQ(load(nested(XML_MAX_DEPTH + 1, "<d></d>"), 0), XLSX_ERR_PARSE);
  ASSERT_EQ(load("<r><a><b><c/></b></a><d/></r><s/>", 0), XLSX_OK);
  XmlNode* node = top();
  for (int i = 0; i < 200000; i++) node = xml_node_append_child(node, "d");
  EXPECT_EQ(body(), "<r><a><b><c/></b></a><d/></r><s/>" + nested(200000, "<d/>"));
}

// Names are interned per load: names that begin alike and more distinct names than the per-load table
// keeps all come back exactly.
TEST_F(Parse, InternedNamesComeBackExactly) {
  std::string text = "<r>";
  for (int i = 0; i < 40; i++) text += i % 2 ? "<ab ax=\"1\" ay=\"2\"/>" : "<ac ay=\"3\" ax=\"4\"/>";
  for (std::string name : {"abcdefghijklmno", "abcdefghijklmnop", "abcdefghijklmnopq"})
    text += "<" + name + " " + name + "=\"v\"/>";
  for (int i = 0; i < 600; i++) text += "<n" + std::to_string(i) + "/>";
  ASSERT_EQ(load(text + "</r>", 0), XLSX_OK);
  EXPECT_EQ(body(), text + "</r>");
}

// A load replaces the whole content (edited texts and detached copies go with it) but keeps the document
// node's own attributes.
TEST_F(Parse, LoadReplacesEverythingAndKeepsTheDocumentNodesOwnTexts) {
  xml_node_set_attribute(top(), "first", "value of the document node");
  std::string text = "<r>";
  for (int i = 0; i < 1000; i++) text += "<c a='1'/>";
  ASSERT_EQ(load(text + "</r>", 0), XLSX_OK);
  XmlNode* detached = xml_node_copy(root());
  ASSERT_NE(detached, nullptr);
  xml_node_set_attribute(root(), "edited", std::string(100, 'x').c_str());
  uint32_t live = xlsx_live_allocations();
  ASSERT_EQ(load(text + "</r>", 0), XLSX_OK);
  EXPECT_LE(xlsx_live_allocations(), live) << "the edited text and the detached copy went with the old content";
  EXPECT_FALSE(xml_node_has_attribute(root(), "edited"));
  EXPECT_TRUE(load("<s/>", 0) == XLSX_OK && body() == "<s/>");
  EXPECT_STREQ(xml_attribute_value(xml_node_attribute(top(), "first")), "value of the document node");
}

// A declaration anywhere at the top (not deeper down) replaces the default; one made without a name is
// written as one.
TEST_F(Write, ADeclarationAnywhereAtTheTopReplacesTheDefault) {
  ASSERT_EQ(load("<r/><?xml version='1.1'?>", XML_PARSE_DECLARATION), XLSX_OK);
  EXPECT_EQ(write(doc_), "<r/><?xml version=\"1.1\"?>");
  ASSERT_EQ(load("<r><?xml v='1'?></r>", XML_PARSE_DECLARATION), XLSX_OK);
  EXPECT_EQ(write(doc_), "<?xml version=\"1.0\"?><r><?xml v=\"1\"?></r>");
  xml_node_remove_children(top());
  XmlNode* declaration = xml_node_append_child_of_type(top(), XML_NODE_DECLARATION);
  xml_node_set_attribute(declaration, "version", "1.0");
  xml_node_append_child(top(), "r");
  EXPECT_EQ(write(doc_), "<?xml version=\"1.0\"?><r/>");
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
  EXPECT_EQ(body(), "<r a=\"&amp;&lt;>&quot;'&#09;&#10;&#13;&#01;&#31;\x7F\xC3\xA9\">"
                    "&amp;&lt;&gt;\"'\t\n\r&#01;&#11;&#31;\x7F\xC3\xA9\xFF" + run + "&lt;" + run + "&amp;</r>");
}

// CDATA text holding the terminator is split around it, and the pieces parse back to the same text.
TEST_F(Write, CdataIsSplitAroundTheTerminator) {
  for (const Case& row : cases("cdata")) {
    xml_node_remove_children(top());
    XmlNode* cdata = xml_node_append_child_of_type(xml_node_append_child(top(), "r"), XML_NODE_CDATA);
    xml_node_set_value(cdata, row[0].c_str());
    EXPECT_EQ(body(), "<r>" + row[1] + "</r>") << row.where;
    ASSERT_EQ(load(write(doc_), XML_PARSE_CDATA), XLSX_OK);
    std::string joined;
    for (XmlNode* child = xml_node_first_child(root()); child; child = xml_node_next_sibling(child))
      joined += xml_node_value(child);
    EXPECT_EQ(joined, row[0]) << row.where;
  }
}

std::string unescaped(std::string text) {
  return text.substr(0, xml_unescape_text(text.data(), static_cast<uint32_t>(text.size())));
}

// The escape and unescape cases of tests/xml/xml.cases: what is escaped, how, that decoding gives back
// every text, and the escapes other writers produce.
TEST(Escapes, TextsCarryOnlyWhatXmlCanAndDecodeBackWhole) {
  for (const Case& c : cases("escape")) {
    StrBuf out;
    strbuf_init(&out);
    EXPECT_EQ(xml_escape_text(c[0].c_str(), &out), XLSX_OK);
    EXPECT_EQ(std::string(out.data ? out.data : ""), c[1]) << c.where;
    strbuf_free(&out);
    EXPECT_EQ(xml_text_needs_escape(c[0].c_str()), c[1] != c[0]) << c.where;
    EXPECT_EQ(unescaped(c[1]), c[0]) << c.where;
  }
  for (const Case& c : cases("unescape")) {
    EXPECT_TRUE(c[0] == c[1] || xml_text_has_escape(c[0].c_str())) << c.where;
    EXPECT_EQ(unescaped(c[0]), c[1]) << c.where;
  }
  EXPECT_FALSE(xml_text_needs_escape(nullptr) || xml_text_has_escape(nullptr));
}

}  // namespace

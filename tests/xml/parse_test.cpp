// The parser: what each option keeps, leniency, errors, the byte order mark and the depth limit.
#include <cstring>
#include <string>

#include "tests/xml/xml_test_util.h"

namespace {

using xml_test::XmlTest;

class Parse : public XmlTest {};

TEST_F(Parse, NullArgumentsLeaveTheDocumentAlone) {
  ASSERT_EQ(load("<r/>", 0), XLSX_OK);
  uint32_t generation = doc_->generation;
  EXPECT_EQ(xml_document_load_buffer(nullptr, "<r/>", 4, 0), XLSX_ERR_INVALID_ARG);
  EXPECT_EQ(xml_document_load_buffer(doc_, nullptr, 4, 0), XLSX_ERR_INVALID_ARG);
  EXPECT_STREQ(xml_node_name(root()), "r");
  EXPECT_EQ(doc_->generation, generation);
}

TEST_F(Parse, EmptyInputGivesAnEmptyDocument) {
  EXPECT_EQ(xml_document_load_buffer(doc_, "", 0, XML_PARSE_PACKAGE), XLSX_OK);
  EXPECT_EQ(xml_node_first_child(top()), nullptr);
}

TEST_F(Parse, LengthZeroReadsUpToTheTerminator) {
  const char text[] = "<a>x</a>\0<b/>";
  EXPECT_EQ(xml_document_load_buffer(doc_, text, 0, 0), XLSX_OK);
  EXPECT_EQ(body(), "<a>x</a>");
  EXPECT_EQ(xml_document_load_buffer(doc_, text, sizeof text - 1, 0), XLSX_OK);
  EXPECT_EQ(body(), "<a>x</a><b/>");
}

TEST_F(Parse, ByteOrderMarkIsSkipped) {
  EXPECT_EQ(round_trip("\xEF\xBB\xBF<r a='1'>t</r>", 0), round_trip("<r a='1'>t</r>", 0));
  EXPECT_EQ(load("\xEF\xBB\xBF", 0), XLSX_OK);
  EXPECT_EQ(xml_node_first_child(top()), nullptr);
  // Two bytes of a mark are not a mark: they are text at the document level, dropped.
  EXPECT_EQ(load("\xEF\xBB", 0), XLSX_OK);
  EXPECT_EQ(xml_node_first_child(top()), nullptr);
}

TEST_F(Parse, PackageOptionsDropTheDeclarationAndKeepIndentation) {
  std::string part =
      "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\r\n"
      "<r>\n  <a v=\"x\ty\"/>\n</r>";
  EXPECT_EQ(round_trip(part, XML_PARSE_PACKAGE), "<?xml version=\"1.0\"?><r>\n  <a v=\"x y\"/>\n</r>");
}

TEST_F(Parse, WhiteSpaceTextOnlyWithTheOption) {
  EXPECT_EQ(round_trip("<r> <a/>\t\r\n</r>", 0), "<?xml version=\"1.0\"?><r><a/></r>");
  EXPECT_EQ(round_trip("<r> <a/>\t\r\n</r>", XML_PARSE_WS_TEXT), "<?xml version=\"1.0\"?><r> <a/>\t\r\n</r>");
  // Vertical tab and form feed are not in the dropped set.
  EXPECT_EQ(load("<r>\v</r>", 0), XLSX_OK);
  EXPECT_STREQ(xml_node_text(root()), "\v");
  // Text mixed with content is kept as it is.
  EXPECT_EQ(round_trip("<r> x </r>", 0), "<?xml version=\"1.0\"?><r> x </r>");
}

TEST_F(Parse, TextAtTheDocumentLevelIsDropped) {
  EXPECT_EQ(load("lead<r/>trail<s/>", XML_PARSE_WS_TEXT), XLSX_OK);
  EXPECT_EQ(body(), "<r/><s/>");
}

TEST_F(Parse, CommentsOnlyWithTheOption) {
  EXPECT_EQ(load("<r><!-- c --></r>", 0), XLSX_OK);
  EXPECT_EQ(xml_node_first_child(root()), nullptr);
  EXPECT_EQ(load("<r><!-- c -- d --></r>", XML_PARSE_COMMENTS), XLSX_OK);
  EXPECT_EQ(xml_node_type(xml_node_first_child(root())), XML_NODE_COMMENT);
  EXPECT_STREQ(xml_node_value(xml_node_first_child(root())), " c -- d ");
}

TEST_F(Parse, CdataIsRawAndOnlyWithTheOption) {
  EXPECT_EQ(load("<r><![CDATA[a&amp;\r\n<b>]]></r>", XML_PARSE_CDATA | XML_PARSE_ENTITIES | XML_PARSE_EOL), XLSX_OK);
  EXPECT_STREQ(xml_node_value(xml_node_first_child(root())), "a&amp;\r\n<b>");
  EXPECT_EQ(load("<r><![CDATA[x]]></r>", 0), XLSX_OK);
  EXPECT_EQ(xml_node_first_child(root()), nullptr);
  // A short "<![CDA" is not a CDATA section but a "<!" construct.
  EXPECT_EQ(load("<r/><![CDA", 0), XLSX_OK);
}

TEST_F(Parse, ProcessingInstructions) {
  ASSERT_EQ(load("<r><?target  some text ?><?bare?><?xml-stylesheet href='a'?></r>", XML_PARSE_PI), XLSX_OK);
  XmlNode* pi = xml_node_first_child(root());
  EXPECT_EQ(xml_node_type(pi), XML_NODE_PI);
  EXPECT_STREQ(xml_node_name(pi), "target");
  EXPECT_STREQ(xml_node_value(pi), "some text ");
  XmlNode* bare = xml_node_next_sibling(pi);
  EXPECT_STREQ(xml_node_name(bare), "bare");
  EXPECT_EQ(bare->value, nullptr);
  EXPECT_STREQ(xml_node_name(xml_node_next_sibling(bare)), "xml-stylesheet");
  ASSERT_EQ(load("<r><?target x?></r>", 0), XLSX_OK);
  EXPECT_EQ(xml_node_first_child(root()), nullptr);
}

TEST_F(Parse, DeclarationWithItsPseudoAttributes) {
  ASSERT_EQ(load("<?xml version='1.0' encoding=\"a&amp;b\tc\"?><r/>", XML_PARSE_DECLARATION | XML_PARSE_ENTITIES),
            XLSX_OK);
  XmlNode* declaration = xml_node_first_child(top());
  EXPECT_EQ(xml_node_type(declaration), XML_NODE_DECLARATION);
  EXPECT_STREQ(xml_node_name(declaration), "xml");
  EXPECT_STREQ(xml_attribute_value(xml_node_attribute(declaration, "version")), "1.0");
  // Declaration values are decoded but their white space is left alone.
  EXPECT_STREQ(xml_attribute_value(xml_node_attribute(declaration, "encoding")), "a&b\tc");
  // The target is case-sensitive: XML is a processing instruction.
  ASSERT_EQ(load("<?XML v='1'?><r/>", XML_PARSE_DECLARATION | XML_PARSE_PI), XLSX_OK);
  EXPECT_EQ(xml_node_type(xml_node_first_child(top())), XML_NODE_PI);
}

TEST_F(Parse, DocumentTypeDeclaration) {
  ASSERT_EQ(load("<!DOCTYPE r [<!ENTITY e 'v'>]><r/>", XML_PARSE_DOCTYPE), XLSX_OK);
  XmlNode* doctype = xml_node_first_child(top());
  EXPECT_EQ(xml_node_type(doctype), XML_NODE_DOCTYPE);
  EXPECT_STREQ(xml_node_value(doctype), "r [<!ENTITY e 'v'>]");
  EXPECT_STREQ(xml_node_name(root()), "r");
  ASSERT_EQ(load("<!DOCTYPE><r/>", XML_PARSE_DOCTYPE), XLSX_OK);
  EXPECT_EQ(xml_node_first_child(top())->value, nullptr);
  ASSERT_EQ(load("<!DOCTYPE r [ > ]><r/>", 0), XLSX_OK);
  EXPECT_EQ(body(), "<r/>");
  // Running to the end of input is no error.
  EXPECT_EQ(load("<r/><!DOCTYPE [", XML_PARSE_DOCTYPE), XLSX_OK);
}

TEST_F(Parse, UnusedOptionBitsChangeNothing) {
  const std::string text = "<r a='&amp;'> <b/>x&lt;</r>";
  std::string plain = round_trip(text, XML_PARSE_PACKAGE);
  EXPECT_EQ(round_trip(text, XML_PARSE_PACKAGE | 0x080 | 0x100 | 0x200), plain);
}

TEST_F(Parse, ClosingTagAtTheDocumentLevelEndsTheParse) {
  EXPECT_EQ(load("<a/><b/></c><d/>", 0), XLSX_OK);
  EXPECT_EQ(body(), "<a/><b/>");
  EXPECT_EQ(load("<a/></", 0), XLSX_OK);
  EXPECT_EQ(body(), "<a/>");
}

TEST_F(Parse, ClosingTagsAreNotCompared) {
  EXPECT_EQ(round_trip("<a><b></a>x</b>", 0), "<?xml version=\"1.0\"?><a><b/>x</a>");
  EXPECT_EQ(round_trip("<a><b>t</>u</a>", 0), "<?xml version=\"1.0\"?><a><b>t</b>u</a>");
}

TEST_F(Parse, UnclosedElementsAreKept) {
  EXPECT_EQ(round_trip("<a><b>text", 0), "<?xml version=\"1.0\"?><a><b>text</b></a>");
  EXPECT_EQ(round_trip("<a><b></", 0), "<?xml version=\"1.0\"?><a><b/></a>");
}

TEST_F(Parse, AttributesQuotesAndSpacing) {
  ASSERT_EQ(load("<r a='say \"hi\"' b=\"it's > ok\"c='3' d = '4'/>", 0), XLSX_OK);
  EXPECT_STREQ(xml_attribute_value(xml_node_attribute(root(), "a")), "say \"hi\"");
  EXPECT_STREQ(xml_attribute_value(xml_node_attribute(root(), "b")), "it's > ok");
  EXPECT_STREQ(xml_attribute_value(xml_node_attribute(root(), "c")), "3");
  EXPECT_STREQ(xml_attribute_value(xml_node_attribute(root(), "d")), "4");
  ASSERT_EQ(load("<r e=''/>", 0), XLSX_OK);
  EXPECT_STREQ(xml_attribute_value(xml_node_attribute(root(), "e")), "");
}

TEST_F(Parse, AttributeLineEndsAlwaysChange) {
  ASSERT_EQ(load("<r a='1\r\n2\r3\n4\t5'/>", 0), XLSX_OK);
  EXPECT_STREQ(xml_attribute_value(xml_node_attribute(root(), "a")), "1\n2\n3\n4\t5");
  ASSERT_EQ(load("<r a='1\r\n2\r3\n4\t5'/>", XML_PARSE_ATTR_WS), XLSX_OK);
  EXPECT_STREQ(xml_attribute_value(xml_node_attribute(root(), "a")), "1 2 3 4 5");
  // Character references are decoded after the white-space rule, so they survive it.
  ASSERT_EQ(load("<r a='&#9;&#10;&#13;'/>", XML_PARSE_PACKAGE), XLSX_OK);
  EXPECT_STREQ(xml_attribute_value(xml_node_attribute(root(), "a")), "\t\n\r");
}

TEST_F(Parse, TextLineEndsWithTheOption) {
  ASSERT_EQ(load("<r>1\r\n2\r3\n</r>", XML_PARSE_EOL), XLSX_OK);
  EXPECT_STREQ(xml_node_text(root()), "1\n2\n3\n");
  ASSERT_EQ(load("<r>1\r\n2\r</r>", 0), XLSX_OK);
  EXPECT_STREQ(xml_node_text(root()), "1\r\n2\r");
  ASSERT_EQ(load("<r>a&#13;\r\nb</r>", XML_PARSE_EOL | XML_PARSE_ENTITIES), XLSX_OK);
  EXPECT_STREQ(xml_node_text(root()), "a\r\nb");
}

TEST_F(Parse, NamesInternedPerDocument) {
  ASSERT_EQ(load("<r><c r='A1'/><c r='B1'/></r>", 0), XLSX_OK);
  XmlNode* first = xml_node_first_child(root());
  XmlNode* second = xml_node_next_sibling(first);
  EXPECT_EQ(first->name, second->name);
  EXPECT_EQ(first->first_attribute->name, second->first_attribute->name);
  EXPECT_STREQ(second->first_attribute->value, "B1");
}

TEST_F(Parse, NameCharacters) {
  ASSERT_EQ(load("<x:a-b.c_1 y:z='1'/>", 0), XLSX_OK);
  EXPECT_STREQ(xml_node_name(root()), "x:a-b.c_1");
  EXPECT_TRUE(xml_node_has_attribute(root(), "y:z"));
  EXPECT_EQ(load("<-lead/>", 0), XLSX_OK);  // any name character may start a name
  EXPECT_EQ(load("<\xC3\xA9l\xC3\xA9ment/>", 0), XLSX_ERR_PARSE);
  // Bytes that are not UTF-8 are accepted in text.
  ASSERT_EQ(load("<r>\xFF\xFE</r>", 0), XLSX_OK);
  EXPECT_STREQ(xml_node_text(root()), "\xFF\xFE");
}

struct BadInput {
  const char* name;
  const char* text;
};

class ParseErrors : public XmlTest, public ::testing::WithParamInterface<BadInput> {};

TEST_P(ParseErrors, FailAndLeaveTheDocumentEmpty) {
  ASSERT_EQ(load("<old/>", 0), XLSX_OK);
  EXPECT_EQ(load(GetParam().text, 0xFFF), XLSX_ERR_PARSE);
  EXPECT_EQ(xml_node_first_child(top()), nullptr);
  EXPECT_EQ(body(), "");
}

const BadInput kBadInputs[] = {
    {"UnterminatedComment", "<r><!-- x </r>"},
    {"UnterminatedCdata", "<r><![CDATA[x</r>"},
    {"UnterminatedDeclaration", "<?xml version='1.0'"},
    {"UnterminatedProcessingInstruction", "<r><?pi x</r>"},
    {"LessThanWithoutName", "<r>< b/></r>"},
    {"LessThanAtTheEnd", "<r>a<"},
    {"BareAttributeName", "<r a/>"},
    {"MissingEquals", "<r a '1'/>"},
    {"MissingQuote", "<r a=1/>"},
    {"UnmatchedQuote", "<r a='1/>"},
    {"EndInsideTag", "<r a='1'"},
    {"JunkAfterAttributes", "<r a='1' / >"},
    {"QuestionMarkInElementTag", "<r ?>"},
    {"AttributeStartsWithBadByte", "<r #a='1'/>"},
    {"ErrorAfterGoodContent", "<r><a>t</a><b c=></r>"},
};

INSTANTIATE_TEST_SUITE_P(Malformed, ParseErrors, ::testing::ValuesIn(kBadInputs),
                         [](const ::testing::TestParamInfo<BadInput>& info) { return info.param.name; });

class ParseDepth : public XmlTest {
 protected:
  static std::string nested(uint32_t depth, bool self_closing_innermost) {
    std::string text;
    for (uint32_t i = 1; i < depth; i++) text += "<d>";
    text += self_closing_innermost ? "<d/>" : "<d></d>";
    for (uint32_t i = 1; i < depth; i++) text += "</d>";
    return text;
  }
};

TEST_F(ParseDepth, TheLimitItselfParses) {
  ASSERT_EQ(load(nested(XML_MAX_DEPTH, true), 0), XLSX_OK);
  uint32_t depth = 0;
  for (XmlNode* node = root(); node; node = xml_node_first_child(node)) depth++;
  EXPECT_EQ(depth, XML_MAX_DEPTH);
  EXPECT_EQ(round_trip(nested(XML_MAX_DEPTH, false), 0), "<?xml version=\"1.0\"?>" + nested(XML_MAX_DEPTH, true));
}

TEST_F(ParseDepth, OneDeeperFails) {
  EXPECT_EQ(load(nested(XML_MAX_DEPTH + 1, true), 0), XLSX_ERR_PARSE);
  EXPECT_EQ(xml_node_first_child(top()), nullptr);
  EXPECT_EQ(load(nested(XML_MAX_DEPTH + 1, false), 0), XLSX_ERR_PARSE);
}

TEST_F(ParseDepth, SiblingsDoNotAddDepth) {
  std::string text = "<r>";
  for (int i = 0; i < 5000; i++) text += "<a><b/></a>";
  EXPECT_EQ(load(text, 0), XLSX_OK);
}

TEST_F(ParseDepth, HugeNestingIsAnErrorNotACrash) {
  std::string text;
  for (int i = 0; i < 1000000; i++) text += "<a>";
  EXPECT_EQ(load(text, 0), XLSX_ERR_PARSE);
}

class ParseReload : public XmlTest {};

TEST_F(ParseReload, LoadReplacesEverythingAndReusesPages) {
  std::string text = "<r>";
  for (int i = 0; i < 1000; i++) text += "<c a='1'/>";
  text += "</r>";
  ASSERT_EQ(load(text, 0), XLSX_OK);
  XmlNode* detached = xml_node_copy(root());
  ASSERT_NE(detached, nullptr);
  xml_node_set_attribute(root(), "edited", "yes");
  uint32_t live = xlsx_live_allocations();
  ASSERT_EQ(load(text, 0), XLSX_OK);
  // Pages stay; the edited text and the detached copy are gone with the old content.
  EXPECT_LE(xlsx_live_allocations(), live);
  EXPECT_FALSE(xml_node_has_attribute(root(), "edited"));
  EXPECT_EQ(load("<s/>", 0), XLSX_OK);
  EXPECT_EQ(body(), "<s/>");
}

}  // namespace

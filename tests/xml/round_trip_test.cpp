// Real package parts parsed with the package options and written back: the bytes come out as they went
// in, except that the default declaration replaces the original one.
#include <string>

#include "tests/xml/xml_test_util.h"

namespace {

using xml_test::XmlTest;

const char kDeclaration[] = "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n";
const char kDefault[] = "<?xml version=\"1.0\"?>";

const char kIndentedWorksheet[] =
    R"(<worksheet xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main" xmlns:r="http://schemas.openxmlformats.org/officeDocument/2006/relationships">
  <dimension ref="A1:C3"/>
  <sheetViews>
    <sheetView tabSelected="1" workbookViewId="0">
      <selection activeCell="B2" sqref="B2"/>
    </sheetView>
  </sheetViews>
  <sheetFormatPr defaultRowHeight="15"/>
  <cols>
    <col min="1" max="1" width="12.7109375" customWidth="1"/>
  </cols>
  <sheetData>
    <row r="1" spans="1:3">
      <c r="A1" t="s"><v>0</v></c>
      <c r="B1"><v>1.5</v></c>
      <c r="C1" t="b"><v>1</v></c>
    </row>
    <row r="2" spans="1:3" ht="20.25" customHeight="1">
      <c r="A2" t="inlineStr"><is><t>a &lt; b &amp; c &gt; d</t></is></c>
      <c r="B2"><f>SUM(B1,1)</f><v>2.5</v></c>
      <c r="C2" t="e"><v>#DIV/0!</v></c>
    </row>
    <row r="3">
      <c r="A3" s="1" t="str"><f>"x"&amp;"y"</f><v>xy</v></c>
    </row>
  </sheetData>
  <pageMargins left="0.7" right="0.7" top="0.75" bottom="0.75" header="0.3" footer="0.3"/>
</worksheet>)";

const char kSharedStrings[] =
    R"(<sst xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main" count="4" uniqueCount="4">)"
    R"(<si><t>plain</t></si>)"
    R"(<si><t xml:space="preserve">  leading and trailing  </t></si>)"
    R"(<si><r><rPr><b/><sz val="11"/><color rgb="FFFF0000"/><rFont val="Calibri"/></rPr><t>bold red</t></r>)"
    R"(<r><t xml:space="preserve"> then plain &amp; "quoted" 'single'</t></r></si>)"
    "<si><t>line one\nline two \xE2\x82\xAC \xC3\xA9</t></si>"
    R"(</sst>)";

const char kContentTypes[] =
    R"(<Types xmlns="http://schemas.openxmlformats.org/package/2006/content-types">)"
    R"(<Default Extension="rels" ContentType="application/vnd.openxmlformats-package.relationships+xml"/>)"
    R"(<Default Extension="xml" ContentType="application/xml"/>)"
    R"(<Override PartName="/xl/workbook.xml" ContentType="application/vnd.openxmlformats-officedocument.spreadsheetml.sheet.main+xml"/>)"
    R"(<Override PartName="/xl/worksheets/sheet1.xml" ContentType="application/vnd.openxmlformats-officedocument.spreadsheetml.worksheet+xml"/>)"
    R"(<Override PartName="/xl/sharedStrings.xml" ContentType="application/vnd.openxmlformats-officedocument.spreadsheetml.sharedStrings+xml"/>)"
    R"(<Override PartName="/docProps/core.xml" ContentType="application/vnd.openxmlformats-package.core-properties+xml"/>)"
    R"(</Types>)";

const char kRelationships[] =
    R"(<Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">)"
    R"(<Relationship Id="rId3" Type="http://schemas.openxmlformats.org/package/2006/relationships/metadata/core-properties" Target="docProps/core.xml"/>)"
    R"(<Relationship Id="rId2" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/extended-properties" Target="docProps/app.xml"/>)"
    R"(<Relationship Id="rId1" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/officeDocument" Target="xl/workbook.xml"/>)"
    R"(</Relationships>)";

class RoundTrip : public XmlTest {
 protected:
  void expect_same_part(const std::string& content) {
    EXPECT_EQ(round_trip(kDeclaration + content, XML_PARSE_PACKAGE), kDefault + content);
    // Writing the written text again changes nothing.
    std::string once = round_trip(kDeclaration + content, XML_PARSE_PACKAGE);
    EXPECT_EQ(round_trip(once, XML_PARSE_PACKAGE), once);
  }
};

TEST_F(RoundTrip, PackagePartsComeOutAsTheyWentIn) {
  for (const char* part : {kIndentedWorksheet, kSharedStrings, kContentTypes, kRelationships}) {
    SCOPED_TRACE(std::string(part, 40));
    expect_same_part(part);
  }
  // Entities and preserved space are decoded on the way in.
  ASSERT_EQ(load(kIndentedWorksheet, XML_PARSE_PACKAGE), XLSX_OK);
  XmlNode* row2 = xml_node_next_sibling_named(xml_node_child(xml_node_child(root(), "sheetData"), "row"), "row");
  XmlNode* inline_text = xml_node_child(xml_node_child(xml_node_child(row2, "c"), "is"), "t");
  EXPECT_STREQ(xml_node_text(inline_text), "a < b & c > d");
  ASSERT_EQ(load(kSharedStrings, XML_PARSE_PACKAGE), XLSX_OK);
  XmlNode* second = xml_node_next_sibling(xml_node_first_child(root()));
  EXPECT_STREQ(xml_node_text(xml_node_child(second, "t")), "  leading and trailing  ");
}

// What the package options change: Windows line ends become line feeds, equivalent spellings come out in
// the writer's form, comments and instructions are dropped.
TEST_F(RoundTrip, WhatThePackageOptionsChange) {
  const struct {
    const char* text;
    const char* written;
  } rows[] = {
      {"<?xml version=\"1.0\"?>\r\n<r>\r\n  <a>x\r\ny</a>\r\n</r>", "<r>\n  <a>x\ny</a>\n</r>"},
      {"<r a='&apos;&#34;' b='&gt;'>&apos;&quot;&#x41;&#13;</r>", "<r a=\"'&quot;\" b=\">\">'\"A\r</r>"},
      {"<?xml version=\"1.0\"?><!-- c --><r><?pi x?><!-- d --><a/></r>", "<r><a/></r>"},
  };
  for (const auto& row : rows)
    EXPECT_EQ(round_trip(row.text, XML_PARSE_PACKAGE), kDefault + std::string(row.written)) << row.text;
}

}  // namespace

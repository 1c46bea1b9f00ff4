// Document properties: validation, where elements are created, reading without side effects, and the
// sheet-title list of the extended properties.
#include "lib/package/properties.h"

#include "lib/base/alloc.h"
#include "lib/xml/tree.h"
#include "lib/xml/writer.h"
#include "tests/package/package_fixture.h"

namespace {

class PropertiesTest : public PackageTest {
 protected:
  void SetUp() override {
    PackageTest::SetUp();
    ASSERT_EQ(xlsx_package_create(pkg_, path("t.xlsx").c_str()), XLSX_OK);
  }
  std::string part_xml(const char* part_path) {
    char* text = nullptr;
    uint32_t length = 0;
    EXPECT_EQ(xlsx_part_serialize(xlsx_package_find_part(pkg_, part_path), &text, &length), XLSX_OK);
    std::string out(text, length);
    xlsx_free(text);
    return out;
  }
  std::string first_child_name(const char* part_path) {
    XmlNode* n = xml_node_first_child(root_of(part_path));
    while (n && xml_node_type(n) != XML_NODE_ELEMENT) n = xml_node_next_sibling(n);
    return xml_node_name(n);
  }
  std::string last_child_name(const char* part_path) {
    XmlNode* n = xml_node_last_child(root_of(part_path));
    while (n && xml_node_type(n) != XML_NODE_ELEMENT) n = xml_node_previous_sibling(n);
    return xml_node_name(n);
  }
  std::string titles() {
    XmlNode* vector = xml_node_child(xml_node_child(root_of("docProps/app.xml"), "TitlesOfParts"), "vt:vector");
    std::string out = std::string("size=") + xml_attribute_value(xml_node_attribute(vector, "size")) + ":";
    for (XmlNode* n = xml_node_child(vector, "vt:lpstr"); n; n = xml_node_next_sibling_named(n, "vt:lpstr")) {
      out += std::string(xml_node_text(n)) + ";";
    }
    return out;
  }
  XlsxPart* app() { return xlsx_package_app_properties(pkg_); }
};

TEST_F(PropertiesTest, ValueRulesOfTheRestrictedProperties) {
  EXPECT_STREQ(xlsx_package_get_property(pkg_, XLSX_PROP_SCALE_CROP), "false");
  const struct {
    uint32_t property;
    const char* value;
    xlsx_status expected;
  } rows[] = {{XLSX_PROP_SCALE_CROP, "TRUE", XLSX_ERR_INVALID_ARG}, {XLSX_PROP_SCALE_CROP, "1", XLSX_ERR_INVALID_ARG},
              {XLSX_PROP_SCALE_CROP, "true", XLSX_OK},             {XLSX_PROP_SCALE_CROP, "", XLSX_OK},
              {XLSX_PROP_DOC_SECURITY, "3", XLSX_ERR_INVALID_ARG}, {XLSX_PROP_DOC_SECURITY, "4", XLSX_OK},
              {XLSX_PROP_APP_VERSION, "16", XLSX_ERR_INVALID_ARG}, {XLSX_PROP_APP_VERSION, "123.4", XLSX_ERR_INVALID_ARG},
              {XLSX_PROP_APP_VERSION, "16.", XLSX_ERR_INVALID_ARG}, {XLSX_PROP_APP_VERSION, "1.234567", XLSX_ERR_INVALID_ARG},
              {XLSX_PROP_APP_VERSION, "x1.2", XLSX_ERR_INVALID_ARG}, {XLSX_PROP_APP_VERSION, "16.0300", XLSX_OK},
              {XLSX_PROP_APP_VERSION, "1.2", XLSX_OK},             {XLSX_PROP_APP_VERSION, "12.12345", XLSX_OK},
              {XLSX_PROP_LINKS_UP_TO_DATE, nullptr, XLSX_OK}};
  for (const auto& row : rows) {
    std::string before = xlsx_package_get_property(pkg_, row.property);
    EXPECT_EQ(xlsx_package_set_property(pkg_, row.property, row.value), row.expected)
        << xlsx_property_element(row.property) << " = " << (row.value ? row.value : "(null)");
    if (row.expected == XLSX_OK) {
      EXPECT_STREQ(xlsx_package_get_property(pkg_, row.property), row.value ? row.value : "");
    } else {
      EXPECT_EQ(xlsx_package_get_property(pkg_, row.property), before) << row.value;
    }
  }
}

TEST_F(PropertiesTest, NumbersOutsideTheTable) {
  EXPECT_EQ(xlsx_package_set_property(pkg_, 20, "x"), XLSX_ERR_INVALID_ARG);
  EXPECT_STREQ(xlsx_package_get_property(pkg_, 20), "");
  EXPECT_EQ(xlsx_package_delete_property(pkg_, 99), XLSX_ERR_INVALID_ARG);
  EXPECT_EQ(xlsx_property_element(20), nullptr);
  EXPECT_STREQ(xlsx_property_element(XLSX_PROP_CREATED), "dcterms:created");
  EXPECT_EQ(xlsx_package_set_property(nullptr, 0, "x"), XLSX_ERR_INVALID_ARG);
  EXPECT_STREQ(xlsx_package_get_property(nullptr, 0), "");
}

TEST_F(PropertiesTest, NewCorePropertyBecomesTheFirstChildAndNewExtendedOneTheLast) {
  ASSERT_EQ(xlsx_package_set_property(pkg_, XLSX_PROP_TITLE, "Report"), XLSX_OK);
  EXPECT_EQ(first_child_name("docProps/core.xml"), "dc:title");
  EXPECT_NE(part_xml("docProps/core.xml").find("<dc:title>Report</dc:title><dc:creator/>"), std::string::npos);
  EXPECT_STREQ(xlsx_package_get_property(pkg_, XLSX_PROP_TITLE), "Report");
  ASSERT_EQ(xlsx_package_set_property(pkg_, XLSX_PROP_MANAGER, "Boss"), XLSX_OK);
  EXPECT_EQ(last_child_name("docProps/app.xml"), "Manager");
  EXPECT_STREQ(xlsx_package_get_property(pkg_, XLSX_PROP_MANAGER), "Boss");
}

TEST_F(PropertiesTest, ReadingAMissingPropertyChangesNothing) {
  std::string before = part_xml("docProps/core.xml");
  EXPECT_STREQ(xlsx_package_get_property(pkg_, XLSX_PROP_KEYWORDS), "");
  EXPECT_STREQ(xlsx_package_get_property(pkg_, XLSX_PROP_HYPERLINK_BASE), "");
  EXPECT_EQ(part_xml("docProps/core.xml"), before);
  EXPECT_FALSE(xlsx_part_is_dirty(xlsx_package_core_properties(pkg_)));
  EXPECT_FALSE(xlsx_part_is_dirty(app()));
}

TEST_F(PropertiesTest, DeleteLeavesAnEmptyElement) {
  ASSERT_EQ(xlsx_package_set_property(pkg_, XLSX_PROP_COMPANY, "Firm"), XLSX_OK);
  ASSERT_EQ(xlsx_package_delete_property(pkg_, XLSX_PROP_COMPANY), XLSX_OK);
  EXPECT_STREQ(xlsx_package_get_property(pkg_, XLSX_PROP_COMPANY), "");
  EXPECT_NE(xml_node_child(root_of("docProps/app.xml"), "Company"), nullptr);
}

TEST_F(PropertiesTest, DatesKeepTheirAttributesAndMustBeDates) {
  EXPECT_EQ(xlsx_package_set_property(pkg_, XLSX_PROP_CREATED, "yesterday"), XLSX_ERR_INVALID_ARG);
  ASSERT_EQ(xlsx_package_set_property(pkg_, XLSX_PROP_CREATED, "2024-02-29T10:00:00Z"), XLSX_OK);
  EXPECT_NE(part_xml("docProps/core.xml").find("<dcterms:created xsi:type=\"dcterms:W3CDTF\">2024-02-29T10:00:00Z</dcterms:created>"),
            std::string::npos);
}

TEST_F(PropertiesTest, CreatedCoreElementGetsItsNamespaceDeclaredWhenMissing) {
  auto parts = pkg_test::minimal_workbook_parts();
  ASSERT_EQ(open_parts(parts), XLSX_OK);  // core.xml there declares cp and dc only
  ASSERT_EQ(xlsx_package_set_property(pkg_, XLSX_PROP_MODIFIED, "2024-01-01T00:00:00Z"), XLSX_OK);
  EXPECT_STREQ(xml_attribute_value(xml_node_attribute(root_of("docProps/core.xml"), "xmlns:dcterms")),
               "http://purl.org/dc/terms/");
  ASSERT_EQ(xlsx_package_set_property(pkg_, XLSX_PROP_CREATOR, "me"), XLSX_OK);
  EXPECT_STREQ(xlsx_package_get_property(pkg_, XLSX_PROP_CREATOR), "me");
}

// A property the package has no part for cannot be stored, and the setter says so.
TEST_F(PropertiesTest, PackageWithoutPropertyPartsStoresNothingAndSaysSo) {
  ASSERT_EQ(open_parts({{"[Content_Types].xml", "<Types/>"}, {"a.txt", "x"}}), XLSX_OK);
  EXPECT_EQ(xlsx_package_set_property(pkg_, XLSX_PROP_TITLE, "t"), XLSX_ERR_NOT_FOUND);
  EXPECT_EQ(xlsx_package_set_property(pkg_, XLSX_PROP_COMPANY, "c"), XLSX_ERR_NOT_FOUND);
  EXPECT_STREQ(xlsx_package_get_property(pkg_, XLSX_PROP_TITLE), "");
}

TEST_F(PropertiesTest, SheetTitlesFollowAddRenameAndRemove) {
  EXPECT_EQ(titles(), "size=1:Sheet1;");
  ASSERT_EQ(xlsx_app_add_title(app(), "Sales"), XLSX_OK);
  EXPECT_EQ(titles(), "size=2:Sheet1;Sales;");
  ASSERT_EQ(xlsx_app_rename_title(app(), "Sales", "Costs"), XLSX_OK);
  EXPECT_EQ(titles(), "size=2:Sheet1;Costs;");
  ASSERT_EQ(xlsx_app_remove_title(app(), "Costs"), XLSX_OK);
  EXPECT_EQ(titles(), "size=1:Sheet1;");
  ASSERT_EQ(xlsx_app_remove_title(app(), "Nope"), XLSX_OK);
  ASSERT_EQ(xlsx_app_rename_title(app(), "Nope", "x"), XLSX_OK);
  EXPECT_EQ(titles(), "size=1:Sheet1;");
  EXPECT_EQ(xlsx_app_add_title(nullptr, "x"), XLSX_OK);
}

TEST_F(PropertiesTest, TitleSizeNeverWrapsBelowZero) {
  XmlNode* vector = xml_node_child(xml_node_child(root_of("docProps/app.xml"), "TitlesOfParts"), "vt:vector");
  ASSERT_NE(xml_node_set_attribute(vector, "size", "0"), nullptr);
  ASSERT_EQ(xlsx_app_remove_title(app(), "Sheet1"), XLSX_OK);
  EXPECT_EQ(titles(), "size=0:");
  ASSERT_NE(xml_node_set_attribute(vector, "size", "99999999999"), nullptr);
  ASSERT_EQ(xlsx_app_add_title(app(), "A"), XLSX_OK);
  EXPECT_EQ(titles(), "size=4294967296:A;");
}

TEST_F(PropertiesTest, IndentedTitlesVectorIsFound) {
  auto parts = pkg_test::minimal_workbook_parts();
  pkg_test::replace_part(&parts, "docProps/app.xml",
                         "<Properties xmlns:vt=\"http://schemas.openxmlformats.org/officeDocument/2006/docPropsVTypes\">\n"
                         "  <TitlesOfParts>\n    <vt:vector size=\"1\" baseType=\"lpstr\">\n"
                         "      <vt:lpstr>Sheet1</vt:lpstr>\n    </vt:vector>\n  </TitlesOfParts>\n</Properties>\n");
  ASSERT_EQ(open_parts(parts), XLSX_OK);
  ASSERT_EQ(xlsx_app_add_title(app(), "Second"), XLSX_OK);
  EXPECT_EQ(titles(), "size=2:Sheet1;Second;");
  ASSERT_EQ(xlsx_app_remove_title(app(), "Sheet1"), XLSX_OK);
  EXPECT_EQ(titles(), "size=1:Second;");
}

TEST_F(PropertiesTest, VectorWithoutSizeGetsNone) {
  XmlNode* vector = xml_node_child(xml_node_child(root_of("docProps/app.xml"), "TitlesOfParts"), "vt:vector");
  ASSERT_TRUE(xml_node_remove_attribute(vector, "size"));
  ASSERT_EQ(xlsx_app_add_title(app(), "B"), XLSX_OK);
  EXPECT_FALSE(xml_node_has_attribute(vector, "size"));
}

}  // namespace

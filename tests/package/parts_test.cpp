// Parts parsed on first use, and the parts the package reads itself: content types, relationships and
// the document properties.
#include <sstream>

#include "lib/package/content_types.h"
#include "lib/package/part.h"
#include "lib/package/properties.h"
#include "lib/package/relationships.h"
#include "lib/xml/parser.h"
#include "lib/xml/tree.h"
#include "tests/package/package_fixture.h"
#include "tests/support/cases.h"

namespace {

struct Source {
  std::string text;
  xlsx_status failure = XLSX_OK;
  int calls = 0;
};

const char* fake_loader(void* context, const char* path, uint32_t* size, xlsx_status* status) {
  Source* source = static_cast<Source*>(context);
  source->calls++;
  EXPECT_NE(path, nullptr);
  if (source->failure != XLSX_OK) {
    *status = source->failure;
    return nullptr;
  }
  *size = uint32_t(source->text.size());
  return source->text.data();
}

// A part of its own, loaded from source_ (or from load()), for the part, content type and relationship
// tests.
class PartTest : public xlsx_test::CountedTest {
 protected:
  void SetUp() override { CountedTest::SetUp(); init("rId7"); }
  void TearDown() override { xlsx_part_free(&part_); CountedTest::TearDown(); }
  void init(const char* rel_id = "") {
    xlsx_part_free(&part_);
    ASSERT_EQ(xlsx_part_init(&part_, nullptr, "xl/part.xml", rel_id, 2), XLSX_OK);
    xlsx_part_set_loader(&part_, fake_loader, &source_);
    types_.part = rels_.part = &part_;
  }
  void load(const std::string& xml) {
    ASSERT_EQ(xml_document_load_buffer(part_.xml, xml.c_str(), 0, XML_PARSE_PACKAGE), XLSX_OK);
    part_.loaded = 1;
  }
  std::string xml() { return part_text(&part_); }
  Source source_;
  XlsxPart part_ = {};
  XlsxContentTypes types_ = {};
  XlsxRelationships rels_ = {};
};

// The first use parses once; edits make the part dirty; a tree built before the first use is kept.
TEST_F(PartTest, FirstUseParsesOnceAndEditsMakeThePartDirty) {
  EXPECT_TRUE(std::string(xlsx_part_path(&part_)) == "xl/part.xml" && std::string(xlsx_part_rel_id(&part_)) == "rId7");
  EXPECT_TRUE(xlsx_part_content_type(&part_) == 2 && source_.calls == 0);
  EXPECT_TRUE(*xlsx_part_path(nullptr) == '\0' && *xlsx_part_rel_id(nullptr) == '\0');
  EXPECT_EQ(xlsx_part_content_type(nullptr), 21u);
  EXPECT_TRUE(xlsx_part_load(nullptr) == nullptr && xlsx_part_root(nullptr) == nullptr);
  source_.text = "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\r\n<root a=\"1\"><b>t</b></root>";
  XmlNode* root = xlsx_part_root(&part_);
  ASSERT_NE(root, nullptr);
  EXPECT_TRUE(xlsx_part_root(&part_) == root && source_.calls == 1 && xlsx_part_load_status(&part_) == XLSX_OK);
  EXPECT_FALSE(xlsx_part_is_dirty(&part_));
  EXPECT_EQ(xml(), "<?xml version=\"1.0\"?><root a=\"1\"><b>t</b></root>");
  ASSERT_NE(xml_node_set_attribute(root, "x", "1"), nullptr);
  EXPECT_TRUE(xlsx_part_is_dirty(&part_));
  xlsx_part_mark_clean(&part_);
  EXPECT_FALSE(xlsx_part_is_dirty(&part_) || xlsx_part_is_dirty(nullptr));
  char* text = nullptr;
  uint32_t length = 0;
  EXPECT_TRUE(xlsx_part_serialize(nullptr, &text, &length) == XLSX_ERR_INVALID_ARG &&
              xlsx_part_serialize(&part_, nullptr, &length) == XLSX_ERR_INVALID_ARG);
  init();
  ASSERT_NE(xml_node_append_child(&part_.xml->node, "built"), nullptr);
  EXPECT_STREQ(xml_node_name(xlsx_part_root(&part_)), "built");
  EXPECT_TRUE(xlsx_part_is_dirty(&part_) && source_.calls == 1);
}

// Text that is not XML and bytes the loader cannot give leave an empty tree with the failure as status,
// the loader not asked again; out of memory is retried at the next use.
TEST_F(PartTest, UnreadableBytesGiveAnEmptyTreeAndAStatusOnce) {
  const struct {
    std::string text;
    xlsx_status failure;
  } rows[] = {{"<root attr=></root>", XLSX_OK}, {std::string("PK\x03\x04\x00bin", 8), XLSX_OK}, {"", XLSX_OK},
              {"<root/>", XLSX_ERR_PARSE}, {"<root/>", XLSX_ERR_NO_MEMORY}};
  for (const auto& row : rows) {
    init();
    source_ = {row.text, row.failure, 0};
    EXPECT_EQ(xlsx_part_root(&part_), nullptr);
    if (row.failure == XLSX_ERR_NO_MEMORY) break;
    EXPECT_EQ(xlsx_part_load_status(&part_), XLSX_ERR_PARSE);
    EXPECT_TRUE(xlsx_part_root(&part_) == nullptr && source_.calls == 1);
  }
  EXPECT_EQ(part_.loaded, 0u);
  source_.failure = XLSX_OK;
  EXPECT_TRUE(xlsx_part_root(&part_) != nullptr && source_.calls == 2);
  init();
  xlsx_part_set_loader(&part_, nullptr, nullptr);  // nothing to read: an empty tree, settled
  EXPECT_TRUE(xlsx_part_root(&part_) == nullptr && part_.loaded == 1 && xlsx_part_load_status(&part_) == XLSX_OK);
}

int g_released = 0;

// An attachment is released when replaced by another (not by itself) and when the part is freed.
TEST_F(PartTest, AttachmentIsReleasedWhenReplacedAndWhenThePartIsFreed) {
  auto release = [](void* extra) { g_released++, xlsx_free(extra); };
  void* first = xlsx_malloc(8);
  xlsx_part_set_extra(&part_, first, release);
  xlsx_part_set_extra(&part_, first, release);
  EXPECT_TRUE(xlsx_part_extra(&part_) == first && g_released == 0);
  xlsx_part_set_extra(&part_, xlsx_malloc(8), release);
  EXPECT_EQ(g_released, 1);
  xlsx_part_free(&part_);
  EXPECT_EQ(g_released, 2);
  EXPECT_TRUE(xlsx_part_extra(&part_) == nullptr && xlsx_part_extra(nullptr) == nullptr);
}

const std::string kRel = "http://schemas.openxmlformats.org/officeDocument/2006/relationships/";

// Type codes and texts map both ways; overrides are listed, found, appended with their attributes in
// order and removed (the first of two; defaults never); codes without a text add nothing.
TEST_F(PartTest, ContentTypesListFindAddAndRemoveOverrides) {
  const std::string worksheet = "application/vnd.openxmlformats-officedocument.spreadsheetml.worksheet+xml";
  EXPECT_EQ(xlsx_content_type_text(2), worksheet);
  for (uint32_t code = 0; code <= 20; code++) EXPECT_EQ(xlsx_content_type_code(xlsx_content_type_text(code)), code);
  EXPECT_EQ(xlsx_content_type_text(21), nullptr);
  for (const char* other : {"application/xml", static_cast<const char*>(nullptr), "APPLICATION/VND.MS-OFFICE.VBAPROJECT"}) {
    EXPECT_EQ(xlsx_content_type_code(other), 21u);
  }
  DynArray list;
  dynarray_init(&list, sizeof(XlsxContentItem), nullptr);
  EXPECT_EQ(xlsx_content_types_root(&types_), nullptr) << "a part without root lists nothing";
  EXPECT_TRUE(xlsx_content_types_list(&types_, &list) == XLSX_OK && list.count == 0);
  EXPECT_EQ(xlsx_content_types_list(&types_, nullptr), XLSX_ERR_INVALID_ARG);
  load("<Types>\n  <Default Extension=\"xml\" ContentType=\"application/xml\"/>\n  <!-- note -->\n"
       "  <Override PartName=\"/w.xml\" ContentType=\"" + worksheet + "\"/>\n"
       "  <Override PartName=\"/u.xml\" ContentType=\"application/unknown\"/><Override PartName=\"/n.xml\"/></Types>");
  ASSERT_EQ(xlsx_content_types_list(&types_, &list), XLSX_OK);
  ASSERT_EQ(list.count, 3u);
  EXPECT_STREQ(xlsx_content_item_part_name(*static_cast<XlsxContentItem*>(dynarray_get(&list, 2))), "/n.xml");
  dynarray_free(&list);
  for (auto [name, type] : {std::pair{"/w.xml", 2u}, {"/u.xml", 21u}, {"/n.xml", 21u}, {"/missing.xml", 21u}}) {
    EXPECT_EQ(xlsx_content_item_type(xlsx_content_types_find(&types_, name)), type) << name;
  }
  EXPECT_STREQ(xlsx_content_item_part_name(XlsxContentItem{nullptr}), "");
  EXPECT_EQ(xlsx_content_types_find(&types_, "/missing.xml").node, nullptr);
  const std::string before = xml();
  EXPECT_EQ(xlsx_content_types_add(&types_, "/x.xml", 21), XLSX_OK);
  EXPECT_EQ(xlsx_content_types_add(&types_, "/x.xml", 99), XLSX_OK);
  EXPECT_EQ(xlsx_content_types_remove(&types_, "/xml"), 0);
  EXPECT_EQ(xlsx_content_types_add(nullptr, "/x.xml", 2), XLSX_OK);
  EXPECT_EQ(xml(), before);
  ASSERT_EQ(xlsx_content_types_add(&types_, "/w.xml", 3), XLSX_OK);
  EXPECT_NE(xml().find("<Override PartName=\"/n.xml\"/><Override PartName=\"/w.xml\" ContentType=\"application/"
                       "vnd.openxmlformats-officedocument.spreadsheetml.chartsheet+xml\"/>"),
            std::string::npos);
  EXPECT_EQ(xlsx_content_types_remove(&types_, "/w.xml"), 1);
  EXPECT_EQ(xlsx_content_item_type(xlsx_content_types_find(&types_, "/w.xml")), 3u);
  EXPECT_EQ(xlsx_content_types_remove(&types_, "/absent.xml"), 0);
}

std::string rel(const std::string& id, const std::string& target = "t.xml") {
  return "<Relationship Id=\"" + id + "\" Type=\"" + kRel + "worksheet\" Target=\"" + target + "\"/>";
}

// Type codes and URIs map both ways (6 and 7 have none); relationships are found by id, target and
// type; a new one gets the next free id (tests/package/package.cases), external ones their mode.
TEST_F(PartTest, RelationshipsFindAndAddWithTheNextFreeId) {
  EXPECT_EQ(xlsx_rel_type_uri(4), kRel + "worksheet");
  for (uint32_t code = 0; code <= 22; code++) {
    const char* uri = xlsx_rel_type_uri(code);
    EXPECT_EQ(uri == nullptr, code == 6 || code == 7) << code;
    EXPECT_TRUE(!uri || xlsx_rel_type_code(uri) == code) << code;
  }
  EXPECT_TRUE(!xlsx_rel_type_uri(23) && xlsx_rel_type_code(nullptr) == 23 && xlsx_rel_type_code("http://x/o") == 23);
  EXPECT_EQ(xlsx_rels_add(&rels_, 4, "x").node, nullptr) << "a part without root";
  for (const xlsx_test::Case& c : xlsx_test::read_cases("package/package.cases", "next_id")) {
    std::string children, id;
    for (std::istringstream ids(c[0]); ids >> id;) children += rel(id);
    load("<Relationships>" + children + "</Relationships>");
    EXPECT_TRUE(c[1] == "-" || xlsx_rels_remove_by_id(&rels_, c[1].c_str()) == 1) << c.where;
    EXPECT_STREQ(xlsx_rel_item_id(xlsx_rels_add(&rels_, 4, "new.xml")), c[2].c_str()) << c.where;
  }
  load("<Relationships>\n  " + rel("rId1", "worksheets/sheet1.xml") + "\n  <Relationship Id=\"rId2\" Type=\"" + kRel +
       "styles\" Target=\"styles.xml\"/>\n  <Relationship Id=\"rId3\" Type=\"http://example.com/c\" Target=\"c\"/>"
       "</Relationships>");
  XlsxRelItem by_id = xlsx_rels_find_by_id(&rels_, "rId2");
  EXPECT_TRUE(std::string(xlsx_rel_item_target(by_id)) == "styles.xml" && xlsx_rel_item_type(by_id) == 12);
  EXPECT_EQ(xlsx_rel_item_type(xlsx_rels_find_by_id(&rels_, "rId3")), 23u);
  EXPECT_STREQ(xlsx_rel_item_id(xlsx_rels_find_by_target(&rels_, "worksheets/sheet1.xml")), "rId1");
  EXPECT_STREQ(xlsx_rel_item_id(xlsx_rels_find_by_type(&rels_, 12)), "rId2");
  EXPECT_TRUE(!xlsx_rels_find_by_id(&rels_, "RID2").node && !xlsx_rels_find_by_target(&rels_, nullptr).node &&
              !xlsx_rels_find_by_id(nullptr, "rId1").node);
  EXPECT_TRUE(*xlsx_rel_item_id(XlsxRelItem{nullptr}) == '\0' && xlsx_rel_item_type(XlsxRelItem{nullptr}) == 23);
  const std::string before = xml();
  EXPECT_EQ(xlsx_rels_remove_by_id(&rels_, "rId9"), 0);
  for (uint32_t code : {6u, 7u, 23u, 500u}) EXPECT_EQ(xlsx_rels_add(&rels_, code, "x").node, nullptr) << code;
  EXPECT_EQ(xml(), before);
  ASSERT_NE(xlsx_rels_add(&rels_, 10, "file.xlsx").node, nullptr);
  EXPECT_NE(xml().find("<Relationship Id=\"rId4\" Type=\"" + kRel +
                       "externalLinkPath\" Target=\"file.xlsx\" TargetMode=\"External\"/>"),
            std::string::npos);
}

class PropertiesTest : public PackageTest {
 protected:
  void SetUp() override { PackageTest::SetUp(); ASSERT_EQ(xlsx_package_create(pkg_, path("t.xlsx").c_str()), XLSX_OK); }
  XlsxPart* app() { return xlsx_package_app_properties(pkg_); }
  std::string titles() {
    XmlNode* vector = xml_node_child(xml_node_child(root_of("docProps/app.xml"), "TitlesOfParts"), "vt:vector");
    std::string out = std::string("size=") + xml_attribute_value(xml_node_attribute(vector, "size")) + ":";
    for (XmlNode* n = xml_node_child(vector, "vt:lpstr"); n; n = xml_node_next_sibling_named(n, "vt:lpstr")) {
      out += std::string(xml_node_text(n)) + ";";
    }
    return out;
  }
};

// The restricted properties refuse values outside their rules (tests/package/package.cases) and keep
// the old value; numbers out of range are refused.
TEST_F(PropertiesTest, ValueRulesOfTheRestrictedProperties) {
  EXPECT_STREQ(xlsx_package_get_property(pkg_, XLSX_PROP_SCALE_CROP), "false");
  for (const xlsx_test::Case& c : xlsx_test::read_cases("package/package.cases", "property")) {
    uint32_t property = 0;
    while (property < XLSX_PROP_COUNT && c[0] != xlsx_property_element(property)) property++;
    const char* value = c[1] == "(null)" ? nullptr : c[1].c_str();
    std::string before = xlsx_package_get_property(pkg_, property);
    xlsx_status expected = c[2] == "ok" ? XLSX_OK : XLSX_ERR_INVALID_ARG;
    EXPECT_EQ(xlsx_package_set_property(pkg_, property, value), expected) << c.where;
    EXPECT_EQ(xlsx_package_get_property(pkg_, property), c[2] == "ok" ? std::string(value ? value : "") : before)
        << c.where;
  }
  EXPECT_EQ(xlsx_package_set_property(pkg_, 20, "x"), XLSX_ERR_INVALID_ARG);
  EXPECT_STREQ(xlsx_package_get_property(pkg_, 20), "");
  EXPECT_EQ(xlsx_package_delete_property(pkg_, 99), XLSX_ERR_INVALID_ARG);
  EXPECT_EQ(xlsx_property_element(20), nullptr);
  EXPECT_EQ(xlsx_package_set_property(nullptr, 0, "x"), XLSX_ERR_INVALID_ARG);
  EXPECT_STREQ(xlsx_package_get_property(nullptr, 0), "");
}

// A core part that declares only cp gets the namespaces of the elements set in it; a package without
// property parts stores nothing and says so.
TEST_F(PropertiesTest, OtherFilesDeclareWhatTheyLack) {
  ASSERT_EQ(open_parts({{"[Content_Types].xml", "<Types/>"}, {"a.txt", "x"}}), XLSX_OK);
  EXPECT_EQ(xlsx_package_set_property(pkg_, XLSX_PROP_TITLE, "t"), XLSX_ERR_NOT_FOUND);
  auto parts = xlsx_test::workbook_parts();
  xlsx_test::replace_part(&parts, "docProps/core.xml",
                          "<cp:coreProperties xmlns:cp=\"http://schemas.openxmlformats.org/package/2006/metadata/"
                          "core-properties\"/>");
  ASSERT_EQ(open_parts(parts), XLSX_OK);
  ASSERT_EQ(xlsx_package_set_property(pkg_, XLSX_PROP_MODIFIED, "2024-01-01T00:00:00Z"), XLSX_OK);
  ASSERT_EQ(xlsx_package_set_property(pkg_, XLSX_PROP_CREATOR, "me"), XLSX_OK);
  XmlNode* root = root_of("docProps/core.xml");
  EXPECT_STREQ(xml_attribute_value(xml_node_attribute(root, "xmlns:dcterms")), "http://purl.org/dc/terms/");
  EXPECT_STREQ(xml_attribute_value(xml_node_attribute(root, "xmlns:dc")), "http://purl.org/dc/elements/1.1/");
  EXPECT_STREQ(xlsx_package_get_property(pkg_, XLSX_PROP_CREATOR), "me");
}

TEST_F(PropertiesTest, SheetTitlesFollowAddRenameAndRemove) {
  EXPECT_EQ(titles(), "size=1:Sheet1;");
  ASSERT_EQ(xlsx_app_add_title(app(), "Sales"), XLSX_OK);
  ASSERT_EQ(xlsx_app_rename_title(app(), "Sales", "Costs"), XLSX_OK);
  EXPECT_EQ(titles(), "size=2:Sheet1;Costs;");
  ASSERT_EQ(xlsx_app_remove_title(app(), "Costs"), XLSX_OK);
  ASSERT_EQ(xlsx_app_remove_title(app(), "Nope"), XLSX_OK);
  ASSERT_EQ(xlsx_app_rename_title(app(), "Nope", "x"), XLSX_OK);
  EXPECT_EQ(titles(), "size=1:Sheet1;");
  EXPECT_EQ(xlsx_app_add_title(nullptr, "x"), XLSX_OK);
  // The size never wraps below zero nor past 32 bits; a vector without size gets none.
  XmlNode* vector = xml_node_child(xml_node_child(root_of("docProps/app.xml"), "TitlesOfParts"), "vt:vector");
  ASSERT_NE(xml_node_set_attribute(vector, "size", "0"), nullptr);
  ASSERT_EQ(xlsx_app_remove_title(app(), "Sheet1"), XLSX_OK);
  EXPECT_EQ(titles(), "size=0:");
  ASSERT_NE(xml_node_set_attribute(vector, "size", "99999999999"), nullptr);
  ASSERT_EQ(xlsx_app_add_title(app(), "A"), XLSX_OK);
  EXPECT_EQ(titles(), "size=4294967296:A;");
  ASSERT_TRUE(xml_node_remove_attribute(vector, "size"));
  ASSERT_EQ(xlsx_app_add_title(app(), "B"), XLSX_OK);
  EXPECT_FALSE(xml_node_has_attribute(vector, "size"));
  auto parts = xlsx_test::workbook_parts();
  xlsx_test::replace_part(&parts, "docProps/app.xml",
                          "<Properties xmlns:vt=\"http://schemas.openxmlformats.org/officeDocument/2006/docPropsVTypes\">\n"
                          "  <TitlesOfParts>\n    <vt:vector size=\"1\" baseType=\"lpstr\">\n"
                          "      <vt:lpstr>Sheet1</vt:lpstr>\n    </vt:vector>\n  </TitlesOfParts>\n</Properties>\n");
  ASSERT_EQ(open_parts(parts), XLSX_OK);
  ASSERT_EQ(xlsx_app_add_title(app(), "Second"), XLSX_OK);
  ASSERT_EQ(xlsx_app_remove_title(app(), "Sheet1"), XLSX_OK);
  EXPECT_EQ(titles(), "size=1:Second;") << "an indented vector is found";
}

}  // namespace

// [Content_Types].xml: the code table, listing, finding, adding and removing overrides.
#include <gtest/gtest.h>

#include <string>

#include "lib/base/alloc.h"
#include "lib/package/content_types.h"
#include "lib/package/part.h"
#include "lib/xml/parser.h"
#include "lib/xml/writer.h"
#include "tests/support/live_allocations.h"

namespace {

const char* const kWorksheetType = "application/vnd.openxmlformats-officedocument.spreadsheetml.worksheet+xml";

class ContentTypesTest : public xlsx_test::CountedTest {
 protected:
  void SetUp() override {
    CountedTest::SetUp();
    ASSERT_EQ(xlsx_part_init(&part_, nullptr, "[Content_Types].xml", "", 21), XLSX_OK);
    types_.part = &part_;
  }
  void TearDown() override {
    xlsx_part_free(&part_);
    CountedTest::TearDown();
  }
  void load(const char* xml) {
    ASSERT_EQ(xml_document_load_buffer(part_.xml, xml, 0, XML_PARSE_PACKAGE), XLSX_OK);
    part_.loaded = 1;
  }
  std::string xml() {
    char* text = nullptr;
    uint32_t length = 0;
    EXPECT_EQ(xml_document_save_buffer(part_.xml, &text, &length), XLSX_OK);
    std::string out(text, length);
    xlsx_free(text);
    return out;
  }
  std::vector<std::string> listed() {
    DynArray list;
    dynarray_init(&list, sizeof(XlsxContentItem), nullptr);
    EXPECT_EQ(xlsx_content_types_list(&types_, &list), XLSX_OK);
    std::vector<std::string> out;
    for (uint32_t i = 0; i < list.count; i++) {
      out.push_back(xlsx_content_item_part_name(*static_cast<XlsxContentItem*>(dynarray_get(&list, i))));
    }
    dynarray_free(&list);
    return out;
  }
  XlsxPart part_ = {};
  XlsxContentTypes types_ = {};
};

using Names = std::vector<std::string>;

TEST(ContentTypeCodes, TableMapsBothWays) {
  EXPECT_STREQ(xlsx_content_type_text(2), kWorksheetType);
  EXPECT_EQ(xlsx_content_type_code(kWorksheetType), 2u);
  for (uint32_t code = 0; code <= 20; code++) {
    ASSERT_NE(xlsx_content_type_text(code), nullptr) << code;
    EXPECT_EQ(xlsx_content_type_code(xlsx_content_type_text(code)), code);
  }
  EXPECT_EQ(xlsx_content_type_text(21), nullptr);
  EXPECT_EQ(xlsx_content_type_text(1000), nullptr);
  EXPECT_EQ(xlsx_content_type_code("application/xml"), 21u);
  EXPECT_EQ(xlsx_content_type_code(nullptr), 21u);
  EXPECT_EQ(xlsx_content_type_code("APPLICATION/VND.MS-OFFICE.VBAPROJECT"), 21u);
  EXPECT_EQ(xlsx_content_type_code("application/vnd.ms-office.vbaProject"), 14u);
}

TEST_F(ContentTypesTest, ListsOverridesOnlyAndSkipsIndentation) {
  load("<Types>\n  <Default Extension=\"xml\" ContentType=\"application/xml\"/>\n"
       "  <Override PartName=\"/a.xml\" ContentType=\"x\"/>\n  <!-- note -->\n"
       "  <Override PartName=\"/b.xml\" ContentType=\"y\"/>\n</Types>");
  EXPECT_EQ(listed(), (Names{"/a.xml", "/b.xml"}));
}

TEST_F(ContentTypesTest, ItemTypeIsTheCodeOrNone) {
  load(("<Types><Override PartName=\"/w.xml\" ContentType=\"" + std::string(kWorksheetType) +
        "\"/><Override PartName=\"/u.xml\" ContentType=\"application/unknown\"/><Override PartName=\"/n.xml\"/></Types>")
           .c_str());
  EXPECT_EQ(xlsx_content_item_type(xlsx_content_types_find(&types_, "/w.xml")), 2u);
  EXPECT_EQ(xlsx_content_item_type(xlsx_content_types_find(&types_, "/u.xml")), 21u);
  EXPECT_EQ(xlsx_content_item_type(xlsx_content_types_find(&types_, "/n.xml")), 21u);
  EXPECT_EQ(xlsx_content_item_type(XlsxContentItem{nullptr}), 21u);
  EXPECT_STREQ(xlsx_content_item_part_name(XlsxContentItem{nullptr}), "");
  EXPECT_EQ(xlsx_content_types_find(&types_, "/missing.xml").node, nullptr);
}

TEST_F(ContentTypesTest, AddAppendsOverrideWithAttributesInOrder) {
  load("<Types><Default Extension=\"xml\" ContentType=\"application/xml\"/></Types>");
  ASSERT_EQ(xlsx_content_types_add(&types_, "/xl/worksheets/sheet2.xml", 2), XLSX_OK);
  EXPECT_NE(xml().find("<Default Extension=\"xml\" ContentType=\"application/xml\"/><Override "
                       "PartName=\"/xl/worksheets/sheet2.xml\" ContentType=\"" + std::string(kWorksheetType) + "\"/>"),
            std::string::npos);
}

TEST_F(ContentTypesTest, AddWithUnknownCodeAndRemoveOfADefaultChangeNothing) {
  load("<Types><Default Extension=\"png\" ContentType=\"image/png\"/></Types>");
  std::string before = xml();
  EXPECT_EQ(xlsx_content_types_add(&types_, "/x.xml", 21), XLSX_OK);
  EXPECT_EQ(xlsx_content_types_add(&types_, "/x.xml", 99), XLSX_OK);
  EXPECT_EQ(xlsx_content_types_remove(&types_, "/png"), 0);
  EXPECT_EQ(xml(), before);
  EXPECT_EQ(xlsx_content_types_add(nullptr, "/x.xml", 2), XLSX_OK);
}

TEST_F(ContentTypesTest, AddingTwiceGivesTwoAndRemoveTakesTheFirst) {
  load("<Types/>");
  xlsx_content_types_add(&types_, "/a.xml", 2);
  xlsx_content_types_add(&types_, "/a.xml", 3);
  EXPECT_EQ(listed(), (Names{"/a.xml", "/a.xml"}));
  EXPECT_EQ(xlsx_content_types_remove(&types_, "/a.xml"), 1);
  EXPECT_EQ(xlsx_content_item_type(xlsx_content_types_find(&types_, "/a.xml")), 3u);
  EXPECT_EQ(xlsx_content_types_remove(&types_, "/absent.xml"), 0);
  EXPECT_EQ(listed(), Names{"/a.xml"});
}

TEST_F(ContentTypesTest, PartWithoutRootListsNothing) {
  EXPECT_EQ(xlsx_content_types_root(&types_), nullptr);
  EXPECT_TRUE(listed().empty());
  EXPECT_EQ(xlsx_content_types_list(&types_, nullptr), XLSX_ERR_INVALID_ARG);
}

}  // namespace

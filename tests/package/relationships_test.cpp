// Relationship parts: the type table, lookups, and additions with the next free id.
#include <gtest/gtest.h>

#include <string>

#include "lib/base/alloc.h"
#include "lib/package/part.h"
#include "lib/package/relationships.h"
#include "lib/xml/parser.h"
#include "lib/xml/writer.h"
#include "tests/support/live_allocations.h"

namespace {

const std::string kRel = "http://schemas.openxmlformats.org/officeDocument/2006/relationships/";

class RelationshipsTest : public xlsx_test::CountedTest {
 protected:
  void SetUp() override {
    CountedTest::SetUp();
    ASSERT_EQ(xlsx_part_init(&part_, nullptr, "xl/_rels/workbook.xml.rels", "", 21), XLSX_OK);
    rels_.part = &part_;
  }
  void TearDown() override {
    xlsx_part_free(&part_);
    CountedTest::TearDown();
  }
  void load(const std::string& children) {
    std::string xml = "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">" +
                      children + "</Relationships>";
    ASSERT_EQ(xml_document_load_buffer(part_.xml, xml.c_str(), 0, XML_PARSE_PACKAGE), XLSX_OK);
    part_.loaded = 1;
  }
  static std::string rel(const std::string& id, const std::string& target = "t.xml") {
    return "<Relationship Id=\"" + id + "\" Type=\"" + kRel + "worksheet\" Target=\"" + target + "\"/>";
  }
  std::string added_id(uint32_t code = 4) { return xlsx_rel_item_id(xlsx_rels_add(&rels_, code, "new.xml")); }
  std::string xml() {
    char* text = nullptr;
    uint32_t length = 0;
    EXPECT_EQ(xml_document_save_buffer(part_.xml, &text, &length), XLSX_OK);
    std::string out(text, length);
    xlsx_free(text);
    return out;
  }
  XlsxPart part_ = {};
  XlsxRelationships rels_ = {};
};

TEST(RelationshipTypes, TableMapsBothWays) {
  EXPECT_EQ(xlsx_rel_type_uri(4), kRel + "worksheet");
  EXPECT_EQ(xlsx_rel_type_code((kRel + "sharedStrings").c_str()), 19u);
  EXPECT_STREQ(xlsx_rel_type_uri(21), "http://schemas.microsoft.com/office/2006/relationships/vbaProject");
  EXPECT_STREQ(xlsx_rel_type_uri(0), "http://schemas.openxmlformats.org/package/2006/relationships/metadata/core-properties");
  for (uint32_t code = 0; code <= 22; code++) {
    if (code == 6 || code == 7) {
      EXPECT_EQ(xlsx_rel_type_uri(code), nullptr);
      continue;
    }
    ASSERT_NE(xlsx_rel_type_uri(code), nullptr) << code;
    EXPECT_EQ(xlsx_rel_type_code(xlsx_rel_type_uri(code)), code);
  }
  EXPECT_EQ(xlsx_rel_type_uri(23), nullptr);
  EXPECT_EQ(xlsx_rel_type_code(nullptr), 23u);
  EXPECT_EQ(xlsx_rel_type_code("http://example.com/other"), 23u);
}

// The next id is one above the highest number found after the first three characters of any id (not
// the count of relationships); ids removed from below the top are not reused.
TEST_F(RelationshipsTest, NextIdFollowsTheHighestNumber) {
  const struct {
    std::string children;
    const char* removed;
    const char* expected;
  } rows[] = {{"", nullptr, "rId1"},
              {rel("rId1") + rel("rId10") + rel("rId9"), nullptr, "rId11"},
              {rel("R7x") + rel("Ref12") + rel("rIdA"), nullptr, "rId13"},
              {rel("rId1") + rel("rId2") + rel("rId3"), "rId2", "rId4"},
              {rel("rId1") + rel("rId2") + rel("rId4"), "rId4", "rId3"}};
  for (const auto& row : rows) {
    SCOPED_TRACE(row.children);
    load(row.children);
    if (row.removed) {
      ASSERT_EQ(xlsx_rels_remove_by_id(&rels_, row.removed), 1);
    }
    EXPECT_EQ(added_id(), row.expected);
  }
}

TEST_F(RelationshipsTest, ExternalLinkPathGetsTargetModeLast) {
  load("");
  XlsxRelItem item = xlsx_rels_add(&rels_, 10, "file.xlsx");
  ASSERT_NE(item.node, nullptr);
  EXPECT_NE(xml().find("<Relationship Id=\"rId1\" Type=\"" + kRel +
                       "externalLinkPath\" Target=\"file.xlsx\" TargetMode=\"External\"/>"),
            std::string::npos);
}

TEST_F(RelationshipsTest, CodesWithoutUriAddNothing) {
  load(rel("rId1"));
  std::string before = xml();
  for (uint32_t code : {6u, 7u, 23u, 500u}) EXPECT_EQ(xlsx_rels_add(&rels_, code, "x").node, nullptr);
  EXPECT_EQ(xml(), before);
}

TEST_F(RelationshipsTest, LookupsByIdTargetAndTypeSkipIndentation) {
  load("\n  " + rel("rId1", "worksheets/sheet1.xml") + "\n  <Relationship Id=\"rId2\" Type=\"" + kRel +
       "styles\" Target=\"styles.xml\"/>\n");
  XlsxRelItem by_id = xlsx_rels_find_by_id(&rels_, "rId2");
  EXPECT_EQ(std::string(xlsx_rel_item_target(by_id)), "styles.xml");
  EXPECT_EQ(xlsx_rel_item_type(by_id), 12u);
  EXPECT_STREQ(xlsx_rel_item_id(xlsx_rels_find_by_target(&rels_, "worksheets/sheet1.xml")), "rId1");
  EXPECT_STREQ(xlsx_rel_item_id(xlsx_rels_find_by_type(&rels_, 12)), "rId2");
  EXPECT_EQ(xlsx_rels_find_by_id(&rels_, "RID2").node, nullptr);
  EXPECT_EQ(xlsx_rels_find_by_target(&rels_, nullptr).node, nullptr);
  EXPECT_STREQ(xlsx_rel_item_id(XlsxRelItem{nullptr}), "");
  EXPECT_EQ(xlsx_rel_item_type(XlsxRelItem{nullptr}), 23u);
}

TEST_F(RelationshipsTest, UnknownTypeIsNoneAndRemovingAnAbsentIdChangesNothing) {
  load("<Relationship Id=\"rId1\" Type=\"http://example.com/custom\" Target=\"c.xml\"/>");
  EXPECT_EQ(xlsx_rel_item_type(xlsx_rels_find_by_id(&rels_, "rId1")), 23u);
  std::string before = xml();
  EXPECT_EQ(xlsx_rels_remove_by_id(&rels_, "rId9"), 0);
  EXPECT_EQ(xml(), before);
}

TEST_F(RelationshipsTest, PartWithoutRootGivesNullItems) {
  EXPECT_EQ(xlsx_rels_root(&rels_), nullptr);
  EXPECT_EQ(xlsx_rels_add(&rels_, 4, "x").node, nullptr);
  EXPECT_EQ(xlsx_rels_find_by_id(nullptr, "rId1").node, nullptr);
}

}  // namespace

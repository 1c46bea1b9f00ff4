// The shared strings table: reading plain, rich and indented items, hashed lookups by text, and appends
// that keep the XML and the array in step.
#include "lib/sheet/shared_strings.h"

#include "lib/base/alloc.h"
#include "lib/xml/tree.h"
#include "lib/xml/writer.h"
#include "tests/document/document_fixture.h"
#include "tests/support/fault_alloc.h"

namespace {

class SharedStringsTest : public DocumentTest {
 protected:
  xlsx_status open_sst(const std::string& sst_xml) {
    auto parts = pkg_test::minimal_workbook_parts();
    pkg_test::replace_part(&parts, "xl/sharedStrings.xml", sst_xml);
    return open_parts(parts);
  }
  XlsxSharedStrings* sst() { return xlsx_document_shared_strings(doc_); }
  std::string sst_xml() {
    char* text = nullptr;
    uint32_t length = 0;
    EXPECT_EQ(xlsx_part_serialize(sst()->part, &text, &length), XLSX_OK);
    std::string out(text, length);
    xlsx_free(text);
    return out;
  }
  static std::string wrap(const std::string& items, const std::string& attributes = " count=\"9\" uniqueCount=\"9\"") {
    return "<sst xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\"" + attributes + ">" + items +
           "</sst>";
  }
};

// An item's text is its `t`, or its runs' `t` joined; phonetic guides after the runs are not part of it,
// and indentation between items and runs is not an item or text. More item forms are read in the sheet
// suite's shared strings scan test.
TEST_F(SharedStringsTest, ItemsReadAsTheirTexts) {
  using Texts = std::vector<std::string>;
  const struct {
    const char* items;
    Texts expected;
  } rows[] = {
      {"<si><t>abc</t></si><si/><si><r><t xml:space=\"preserve\">Hello </t></r><r><rPr><b/></rPr><t>World</t></r></si>"
       "<si><t xml:space=\"preserve\">  </t></si>",
       {"abc", "", "Hello World", "  "}},
      {"<si><r><t>Kan</t></r><r><t>ji</t></r><rPh sb=\"0\" eb=\"1\"><t>reading</t></rPh><phoneticPr fontId=\"1\"/></si>"
       "<si><t>plain</t><rPh sb=\"0\" eb=\"1\"><t>x</t></rPh></si>",
       {"Kanji", "plain"}},
      {"\n  <si>\n    <t>first</t>\n  </si>\n  <si>\n    <r>\n      <t>a</t>\n    </r>\n    <r>\n      <t>b</t>\n"
       "    </r>\n  </si>\n",
       {"first", "ab"}}};
  for (const auto& row : rows) {
    SCOPED_TRACE(row.items);
    ASSERT_EQ(open_sst(wrap(row.items)), XLSX_OK);
    Texts got;
    for (uint32_t i = 0; i < xlsx_sst_count(sst()); i++) got.push_back(xlsx_sst_get(sst(), i));
    EXPECT_EQ(got, row.expected);
    EXPECT_STREQ(xlsx_sst_get(sst(), uint32_t(row.expected.size())), "");
    EXPECT_EQ(xlsx_sst_append(sst(), "third"), int32_t(row.expected.size()));
    EXPECT_EQ(xlsx_sst_find(sst(), row.expected[0].c_str()), 0);
  }
  EXPECT_STREQ(xlsx_sst_get(nullptr, 0), "");
}

TEST_F(SharedStringsTest, FindGivesTheSmallestIndexOfATextUsedTwice) {
  ASSERT_EQ(open_sst(wrap("<si><t>a</t></si><si><t>dup</t></si><si><t>b</t></si><si><t>dup</t></si>")), XLSX_OK);
  EXPECT_EQ(xlsx_sst_find(sst(), "dup"), 1);
  EXPECT_EQ(xlsx_sst_find(sst(), "DUP"), -1);
  EXPECT_EQ(xlsx_sst_find(sst(), nullptr), -1);
  EXPECT_TRUE(xlsx_sst_contains(sst(), "b"));
  EXPECT_FALSE(xlsx_sst_contains(sst(), "c"));
  EXPECT_EQ(xlsx_sst_find(nullptr, "a"), -1);
}

TEST_F(SharedStringsTest, AppendUpdatesCountsAndPreservesEdgeSpaces) {
  ASSERT_EQ(open_sst(wrap("<si><t>x</t></si>", " count=\"1\" uniqueCount=\"1\"")), XLSX_OK);
  EXPECT_EQ(xlsx_sst_append(sst(), " lead"), 1);
  EXPECT_EQ(xlsx_sst_append(sst(), "trail "), 2);
  EXPECT_EQ(xlsx_sst_append(sst(), "mid dle"), 3);
  EXPECT_EQ(xlsx_sst_append(sst(), "\ttab"), 4);
  std::string xml = sst_xml();
  EXPECT_NE(xml.find("count=\"5\" uniqueCount=\"5\""), std::string::npos);
  EXPECT_NE(xml.find("<si><t xml:space=\"preserve\"> lead</t></si><si><t xml:space=\"preserve\">trail </t></si>"
                     "<si><t>mid dle</t></si><si><t>\ttab</t></si>"),
            std::string::npos);
  EXPECT_STREQ(xlsx_sst_get(sst(), 2), "trail ");
}

TEST_F(SharedStringsTest, AppendingTheEmptyTextAddsABareItem) {
  ASSERT_EQ(open_sst(wrap("<si><t>x</t></si>")), XLSX_OK);
  EXPECT_EQ(xlsx_sst_append(sst(), ""), 1);
  EXPECT_EQ(xlsx_sst_append(sst(), nullptr), 2);
  EXPECT_EQ(xlsx_sst_find(sst(), ""), 1);
  EXPECT_NE(sst_xml().find("<si><t/></si><si><t/></si>"), std::string::npos);
}

TEST_F(SharedStringsTest, MissingCountAttributesAreNotCreated) {
  ASSERT_EQ(open_sst(wrap("<si><t>x</t></si>", " uniqueCount=\"1\"")), XLSX_OK);
  ASSERT_EQ(xlsx_sst_append(sst(), "y"), 1);
  XmlNode* root = xlsx_part_root(sst()->part);
  EXPECT_FALSE(xml_node_has_attribute(root, "count"));
  EXPECT_STREQ(xml_attribute_value(xml_node_attribute(root, "uniqueCount")), "2");
}

TEST_F(SharedStringsTest, HashedLookupAgreesWithTheArrayForManyTexts) {
  ASSERT_EQ(open_sst(wrap("")), XLSX_OK);
  for (int i = 0; i < 5000; i++) ASSERT_EQ(xlsx_sst_append(sst(), ("text-" + std::to_string(i)).c_str()), i);
  EXPECT_EQ(xlsx_sst_find(sst(), "text-0"), 0);
  EXPECT_EQ(xlsx_sst_find(sst(), "text-4999"), 4999);
  EXPECT_EQ(xlsx_sst_find(sst(), "text-5000"), -1);
  for (int i = 5000; i < 6000; i++) ASSERT_EQ(xlsx_sst_find_or_append(sst(), ("text-" + std::to_string(i)).c_str()), i);
  for (int i = 0; i < 6000; i += 7) ASSERT_EQ(xlsx_sst_find_or_append(sst(), ("text-" + std::to_string(i)).c_str()), i);
  EXPECT_EQ(xlsx_sst_count(sst()), 6000u);
  EXPECT_GE(sst()->slot_count, 8000u);
}

TEST_F(SharedStringsTest, TableWithoutPartOrArrayRefusesAppends) {
  XlsxSharedStrings table;
  xlsx_sst_init(&table, nullptr, nullptr);
  EXPECT_EQ(xlsx_sst_append(&table, "x"), -1);
  EXPECT_EQ(xlsx_sst_find(&table, "x"), -1);
  EXPECT_EQ(xlsx_sst_count(&table), 0u);
  xlsx_sst_release(&table);
  EXPECT_EQ(xlsx_sst_ensure_loaded(nullptr), XLSX_ERR_INVALID_ARG);
}

std::string part_text(XlsxPart* part) {
  char* text = nullptr;
  uint32_t length = 0;
  EXPECT_EQ(xlsx_part_serialize(part, &text, &length), XLSX_OK);
  std::string out(text ? text : "", length);
  xlsx_free(text);
  return out;
}

using xlsx_test::FaultAllocation;

TEST_F(DocumentTest, SharedStringAppendUnderAllocationFailureChangesNothing) {
  ASSERT_EQ(open_parts(pkg_test::minimal_workbook_parts()), XLSX_OK);
  XlsxSharedStrings* sst = xlsx_document_shared_strings(doc_);
  xlsx_sst_find(sst, "hello");  // build the index outside the failing runs
  std::string before = part_text(sst->part);
  xlsx_test::for_each_allocation_failure([&](FaultAllocation& fault) {
    int32_t index = xlsx_sst_append(sst, " spaced text ");
    fault.fail_after(0);
    if (index < 0) {
      EXPECT_EQ(xlsx_sst_count(sst), 1u);
      EXPECT_EQ(part_text(sst->part), before);
    } else {
      EXPECT_EQ(index, int32_t(xlsx_sst_count(sst) - 1));
      EXPECT_STREQ(xlsx_sst_get(sst, uint32_t(index)), " spaced text ");
    }
  });
  EXPECT_EQ(xlsx_sst_find(sst, " spaced text "), 1);
}

TEST_F(DocumentTest, SharedStringsThatCannotBeReadForLackOfMemoryAreReadLater) {
  ASSERT_EQ(open_parts(pkg_test::minimal_workbook_parts()), XLSX_OK);
  XlsxSharedStrings* sst = xlsx_document_shared_strings(doc_);
  xlsx_test::for_each_allocation_failure([&](FaultAllocation& fault) {
    const char* text = xlsx_sst_get(sst, 0);
    fault.fail_after(0);
    if (*text == '\0') {
      EXPECT_EQ(sst->loaded, 0u);
    }
    EXPECT_STREQ(xlsx_sst_get(sst, 0), "hello");
    EXPECT_EQ(xlsx_sst_count(sst), 1u);
  });
}

}  // namespace

// Package parts: parsed on first use from their loader, failures leave an empty tree with a status,
// and changes are tracked by the tree's generation.
#include <gtest/gtest.h>

#include <string>

#include "lib/base/alloc.h"
#include "lib/package/part.h"
#include "lib/xml/tree.h"
#include "tests/support/live_allocations.h"

namespace {

struct FakeSource {
  std::string text;
  xlsx_status failure = XLSX_OK;
  int calls = 0;
};

const char* fake_loader(void* context, const char* path, uint32_t* size, xlsx_status* status) {
  FakeSource* source = static_cast<FakeSource*>(context);
  source->calls++;
  EXPECT_STREQ(path, "xl/part.xml");
  if (source->failure != XLSX_OK) {
    *status = source->failure;
    return nullptr;
  }
  *size = uint32_t(source->text.size());
  return source->text.data();
}

class PartTest : public xlsx_test::CountedTest {
 protected:
  void SetUp() override {
    CountedTest::SetUp();
    ASSERT_EQ(xlsx_part_init(&part_, nullptr, "xl/part.xml", "rId7", 2), XLSX_OK);
    xlsx_part_set_loader(&part_, fake_loader, &source_);
  }
  void TearDown() override {
    xlsx_part_free(&part_);
    CountedTest::TearDown();
  }
  FakeSource source_;
  XlsxPart part_ = {};
};

TEST_F(PartTest, InitCopiesTextsAndLoadsNothing) {
  EXPECT_STREQ(xlsx_part_path(&part_), "xl/part.xml");
  EXPECT_STREQ(xlsx_part_rel_id(&part_), "rId7");
  EXPECT_EQ(xlsx_part_content_type(&part_), 2u);
  EXPECT_EQ(part_.loaded, 0u);
  EXPECT_EQ(source_.calls, 0);
  EXPECT_STREQ(xlsx_part_path(nullptr), "");
  EXPECT_STREQ(xlsx_part_rel_id(nullptr), "");
  EXPECT_EQ(xlsx_part_content_type(nullptr), 21u);
  EXPECT_EQ(xlsx_part_load(nullptr), nullptr);
  EXPECT_EQ(xlsx_part_root(nullptr), nullptr);
}

TEST_F(PartTest, FirstUseParsesOnceAndKeepsTheTree) {
  source_.text = "<?xml version=\"1.0\"?><root><a>1</a></root>";
  XmlNode* root = xlsx_part_root(&part_);
  ASSERT_NE(root, nullptr);
  EXPECT_STREQ(xml_node_name(root), "root");
  EXPECT_EQ(xlsx_part_root(&part_), root);
  EXPECT_EQ(source_.calls, 1);
  EXPECT_EQ(xlsx_part_load_status(&part_), XLSX_OK);
  EXPECT_FALSE(xlsx_part_is_dirty(&part_));
}

// Text that is not XML (bad syntax, binary bytes, nothing at all) and bytes the loader cannot give leave
// an empty tree with the failure as status; the loader is not asked again.
TEST_F(PartTest, UnparsableOrUnreadableBytesGiveAnEmptyTreeAndAStatusOnce) {
  const struct {
    std::string text;
    xlsx_status failure;
  } rows[] = {{"<root attr=></root>", XLSX_OK},
              {std::string("PK\x03\x04\x00binary", 9), XLSX_OK},
              {"", XLSX_OK},
              {"<root/>", XLSX_ERR_PARSE}};
  for (const auto& row : rows) {
    SCOPED_TRACE(row.text);
    xlsx_part_free(&part_);
    ASSERT_EQ(xlsx_part_init(&part_, nullptr, "xl/part.xml", "rId7", 2), XLSX_OK);
    xlsx_part_set_loader(&part_, fake_loader, &source_);
    source_ = {row.text, row.failure, 0};
    EXPECT_EQ(xlsx_part_root(&part_), nullptr);
    EXPECT_EQ(part_.loaded, 1u);
    EXPECT_EQ(xlsx_part_load_status(&part_), XLSX_ERR_PARSE);
    EXPECT_EQ(xlsx_part_root(&part_), nullptr);
    EXPECT_EQ(source_.calls, 1);
  }
}

TEST_F(PartTest, OutOfMemoryWhileLoadingIsRetriedLater) {
  source_.failure = XLSX_ERR_NO_MEMORY;
  source_.text = "<root/>";
  EXPECT_EQ(xlsx_part_root(&part_), nullptr);
  EXPECT_EQ(part_.loaded, 0u);
  source_.failure = XLSX_OK;
  ASSERT_NE(xlsx_part_root(&part_), nullptr);
  EXPECT_EQ(source_.calls, 2);
  EXPECT_EQ(xlsx_part_load_status(&part_), XLSX_OK);
}

TEST_F(PartTest, TreeBuiltBeforeFirstUseIsKeptAndCountsAsChanged) {
  source_.text = "<fromfile/>";
  ASSERT_NE(xml_node_append_child(&part_.xml->node, "built"), nullptr);
  EXPECT_STREQ(xml_node_name(xlsx_part_root(&part_)), "built");
  EXPECT_EQ(source_.calls, 0);
  EXPECT_TRUE(xlsx_part_is_dirty(&part_));
}

TEST_F(PartTest, EditsMakeThePartDirtyUntilMarkedClean) {
  source_.text = "<root/>";
  XmlNode* root = xlsx_part_root(&part_);
  ASSERT_FALSE(xlsx_part_is_dirty(&part_));
  ASSERT_NE(xml_node_set_attribute(root, "x", "1"), nullptr);
  EXPECT_TRUE(xlsx_part_is_dirty(&part_));
  xlsx_part_mark_clean(&part_);
  EXPECT_FALSE(xlsx_part_is_dirty(&part_));
  EXPECT_FALSE(xlsx_part_is_dirty(nullptr));
}

TEST_F(PartTest, SerializeWritesTheTreeWithTheDefaultDeclaration) {
  source_.text = "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\r\n<root a=\"1\"><b>t</b></root>";
  char* text = nullptr;
  uint32_t length = 0;
  ASSERT_EQ(xlsx_part_serialize(&part_, &text, &length), XLSX_OK);
  std::string out(text, length);
  xlsx_free(text);
  EXPECT_EQ(out.rfind("<?xml version=\"1.0\"", 0), 0u);
  EXPECT_NE(out.find("<root a=\"1\"><b>t</b></root>"), std::string::npos);
  EXPECT_EQ(xlsx_part_serialize(nullptr, &text, &length), XLSX_ERR_INVALID_ARG);
  EXPECT_EQ(xlsx_part_serialize(&part_, nullptr, &length), XLSX_ERR_INVALID_ARG);
}

int g_released = 0;
void release_extra(void* extra) {
  g_released++;
  xlsx_free(extra);
}

TEST_F(PartTest, AttachmentIsReleasedWhenReplacedAndWhenThePartIsFreed) {
  g_released = 0;
  void* first = xlsx_malloc(8);
  xlsx_part_set_extra(&part_, first, release_extra);
  EXPECT_EQ(xlsx_part_extra(&part_), first);
  xlsx_part_set_extra(&part_, first, release_extra);  // the same pointer again is not released
  EXPECT_EQ(g_released, 0);
  xlsx_part_set_extra(&part_, xlsx_malloc(8), release_extra);
  EXPECT_EQ(g_released, 1);
  xlsx_part_free(&part_);
  EXPECT_EQ(g_released, 2);
  EXPECT_EQ(xlsx_part_extra(&part_), nullptr);
  EXPECT_EQ(xlsx_part_extra(nullptr), nullptr);
}

}  // namespace

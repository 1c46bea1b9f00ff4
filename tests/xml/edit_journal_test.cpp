// Edits taken back: every kind of change made inside an edit is undone by ending it without keeping, the
// tree and its generation then as before, and kept when ending with keep; allocation failure at any
// point of a journaled edit leaves a tree that the taking back restores exactly.
#include <functional>
#include <string>

#include "tests/support/fault_alloc.h"
#include "tests/xml/xml_test_util.h"

namespace {

using xml_test::XmlTest;

const char kBefore[] = "<r a=\"1\" b=\"2\"><x>text</x><y/><z c=\"3\"><w/></z></r>";

struct Change {
  const char* name;
  std::function<bool(XmlNode* root)> apply;  // false when the change itself failed
  const char* after;                         // the tree when the change is kept
};

const Change kChanges[] = {
    {"set attribute", [](XmlNode* r) { return xml_node_set_attribute(r, "a", "one") != nullptr; },
     "<r a=\"one\" b=\"2\"><x>text</x><y/><z c=\"3\"><w/></z></r>"},
    {"add attribute", [](XmlNode* r) { return xml_node_set_attribute(r, "n", "new") != nullptr; },
     "<r a=\"1\" b=\"2\" n=\"new\"><x>text</x><y/><z c=\"3\"><w/></z></r>"},
    {"remove attribute", [](XmlNode* r) { return xml_node_remove_attribute(r, "a"); },
     "<r b=\"2\"><x>text</x><y/><z c=\"3\"><w/></z></r>"},
    {"set text", [](XmlNode* r) { return xml_node_set_text(xml_node_child(r, "x"), "changed"); },
     "<r a=\"1\" b=\"2\"><x>changed</x><y/><z c=\"3\"><w/></z></r>"},
    {"new text", [](XmlNode* r) { return xml_node_set_text(xml_node_child(r, "y"), "new"); },
     "<r a=\"1\" b=\"2\"><x>text</x><y>new</y><z c=\"3\"><w/></z></r>"},
    {"insert", [](XmlNode* r) { return xml_node_insert_child_before(r, "v", xml_node_child(r, "y")) != nullptr; },
     "<r a=\"1\" b=\"2\"><x>text</x><v/><y/><z c=\"3\"><w/></z></r>"},
    {"remove", [](XmlNode* r) { return xml_node_remove_child(r, xml_node_child(r, "z")); },
     "<r a=\"1\" b=\"2\"><x>text</x><y/></r>"},
    {"remove children", [](XmlNode* r) { xml_node_remove_children(r); return true; }, "<r a=\"1\" b=\"2\"/>"},
    {"move", [](XmlNode* r) { return xml_node_prepend_move(r, xml_node_child(r, "z")) != nullptr; },
     "<r a=\"1\" b=\"2\"><z c=\"3\"><w/></z><x>text</x><y/></r>"},
    {"copy and move in", [](XmlNode* r) { return xml_node_append_move(r, xml_node_copy(xml_node_child(r, "z"))) != nullptr; },
     "<r a=\"1\" b=\"2\"><x>text</x><y/><z c=\"3\"><w/></z><z c=\"3\"><w/></z></r>"},
    {"several", [](XmlNode* r) {
       XmlNode* y = xml_node_child(r, "y");
       return xml_node_set_attribute(y, "k", "v") && xml_node_set_text(xml_node_append_child(y, "u"), "t") &&
              xml_node_remove_attribute(r, "b") && xml_node_remove_child(r, xml_node_child(r, "x")) &&
              xml_node_set_attribute(r, "a", "A");
     },
     "<r a=\"A\"><y k=\"v\"><u>t</u></y><z c=\"3\"><w/></z></r>"},
};

void PrintTo(const Change& change, std::ostream* out) { *out << change.name; }

// The text the writer gives for a tree whose root is body.
std::string written(const char* body) { return std::string("<?xml version=\"1.0\"?>") + body; }

class EditJournal : public XmlTest, public ::testing::WithParamInterface<Change> {};

TEST_P(EditJournal, TakenBackOrKept) {
  const Change& change = GetParam();
  ASSERT_EQ(load(kBefore, 0), XLSX_OK);
  uint32_t generation = doc_->generation;
  ASSERT_TRUE(xml_document_begin_edit(doc_));
  ASSERT_TRUE(change.apply(root()));
  EXPECT_NE(doc_->generation, generation);
  xml_document_end_edit(doc_, false);
  EXPECT_EQ(xml_test::write(doc_), written(kBefore));
  EXPECT_EQ(doc_->generation, generation);
  ASSERT_TRUE(xml_document_begin_edit(doc_));
  ASSERT_TRUE(change.apply(root()));
  xml_document_end_edit(doc_, true);
  EXPECT_EQ(xml_test::write(doc_), written(change.after));
  EXPECT_NE(doc_->generation, generation);
}

// With the n-th allocation failing, the change fails or not; taken back, the tree is as before.
TEST_P(EditJournal, AllocationFailureInsideAnEditIsTakenBack) {
  const Change& change = GetParam();
  ASSERT_EQ(load(kBefore, 0), XLSX_OK);
  xlsx_test::for_each_allocation_failure([&](xlsx_test::FaultAllocation& fault) {
    bool begun = xml_document_begin_edit(doc_);
    bool applied = begun && change.apply(root());
    fault.fail_after(0);
    if (begun) xml_document_end_edit(doc_, false);
    EXPECT_EQ(xml_test::write(doc_), written(kBefore));
    if (!applied) {
      EXPECT_GT(fault.failures(), 0u);
    }
  });
}

INSTANTIATE_TEST_SUITE_P(Changes, EditJournal, ::testing::ValuesIn(kChanges),
                         [](const ::testing::TestParamInfo<Change>& info) {
                           std::string name;
                           for (const char* p = info.param.name; *p; p++) if (*p != ' ') name += *p;
                           return name;
                         });

TEST_F(XmlTest, NestedEditsJoinTheOutermost) {
  ASSERT_EQ(load(kBefore, 0), XLSX_OK);
  ASSERT_TRUE(xml_document_begin_edit(doc_));
  ASSERT_TRUE(xml_document_begin_edit(doc_));
  ASSERT_TRUE(xml_node_remove_attribute(root(), "a"));
  xml_document_end_edit(doc_, true);  // inner: the outermost decides
  ASSERT_TRUE(xml_node_remove_attribute(root(), "b"));
  xml_document_end_edit(doc_, false);
  EXPECT_EQ(xml_test::write(doc_), written(kBefore));
  xml_document_end_edit(doc_, false);  // none open: ignored
  xml_document_end_edit(nullptr, false);
  EXPECT_FALSE(xml_document_begin_edit(nullptr));
  ASSERT_TRUE(xml_document_begin_edit(doc_));
  ASSERT_TRUE(xml_node_remove_attribute(root(), "b"));
}  // destroyed with the edit open: the changes are kept and nothing leaks

}  // namespace

// Registration with a real host: the error messages in order, the text-encoding notification, the
// document object type and its list, and the iterator metatable. What scripts see of them (attributes,
// GetObjectType, UseSharedStrings, FreeLibrary) is checked by the script suites.
#include <string>

#include "host/memory.h"
#include "lib/base/host_ops.h"
#include "lib/document/document.h"
#include "lib/sheet/workbook.h"
#include "lib/sheet/worksheet.h"
#include "plugin/command_table.h"
#include "plugin/access.h"
#include "plugin/entry.h"
#include "plugin/globals.h"
#include "tests/support/host_fixture.h"
#include "tests/support/temp_dir.h"

namespace {

class RegistrationTest : public HostTest {
 protected:
  void SetUp() override {
    HostTest::SetUp();
    saved_ = globals;
    globals = PluginGlobals{};
    taggedAtStart_ = HostLiveTaggedBlocks();
    PluginInfo info{};
    ASSERT_EQ(InitPlugin(&info, api), 1u);
    ASSERT_EQ(InitLibrary(hs), 0);
  }

  void TearDown() override {
    FreeLibrary(hs);
    ClosePlugin();
    xlsx_set_host_ops(nullptr);
    EXPECT_EQ(HostLiveTaggedBlocks(), taggedAtStart_);
    globals = saved_;
    HostTest::TearDown();
  }

  // Adds a record of a new workbook from the template under id.
  DocumentRecord* AddDocument(ObjectId id) {
    DocumentRecord* record = NewDocumentRecord();
    record->document = xlsx_document_new();
    std::string path = dir_.file("book" + std::to_string(HostObjectCount(globals.objectTypeId)) + ".xlsx");
    EXPECT_EQ(xlsx_document_create(record->document, path.c_str()), XLSX_OK);
    AddDocumentRecord(record, id);
    return record;
  }

  PluginGlobals saved_{};
  uint32_t taggedAtStart_ = 0;
  xlsx_test::TempDir dir_;
};

TEST_F(RegistrationTest, TheMessagesAreRegisteredInOrder) {
  const char* expected[] = {
      "Error opening XLSX document %s!", "Error creating XLSX document %s!",  "Cannot find specified XLSX document!",
      "XSLX operation has failed!",      "Sheet \"%s\" not found!",           "Specified sheet is out of range!",
      "Specified cell is out of range!", "Specified column is out of range!", "Specified row is out of range!",
      "Cell doesn't have a formula!",    "Error saving XLSX document!",       "Invalid cell format value: %s!",
      "Range overlaps merged cells!",
  };
  static_assert(std::size(expected) == ERROR_COUNT);
  for (uint32_t i = 0; i < ERROR_COUNT; ++i) {
    EXPECT_STREQ(HostErrorMessage(ErrorCode(static_cast<PluginError>(i))), expected[i]);
    if (i > 0) {
      EXPECT_GT(globals.errorCodes[i], globals.errorCodes[i - 1]);
    }
  }
  EXPECT_EQ(globals.host, api);
}

TEST_F(RegistrationTest, TheTextEncodingNotificationSetsPassThrough) {
  HostNotify(HOST_NOTIFY_TEXT_ENCODING, 0);
  EXPECT_EQ(globals.textPassThrough, 0u);
  HostNotify(HOST_NOTIFY_TEXT_ENCODING, 1);
  EXPECT_EQ(globals.textPassThrough, 1u);
  HostNotify(HOST_NOTIFY_TEXT_ENCODING + 1, 0);
  EXPECT_EQ(globals.textPassThrough, 1u) << "other kinds do not reach the handler";
}

TEST_F(RegistrationTest, TheDocumentTypeIsRegisteredWithTheListHead) {
  EXPECT_NE(globals.objectTypeId, 0xFFFFFFFFu);
  EXPECT_STREQ(HostObjectTypeName(globals.objectTypeId), "XLSX document");
  EXPECT_EQ(HostObjectCount(globals.objectTypeId), 0u);
  AddDocument(ObjectId{1, 0});
  EXPECT_EQ(HostObjectCount(globals.objectTypeId), 1u) << "the host walks the plugin's list";
}

TEST_F(RegistrationTest, TheIteratorMetatableIndexesItselfAndLeavesTheStackAsItWas) {
  EXPECT_EQ(lua_gettop(L), 0);
  ASSERT_EQ(luaL_getmetatable(L, "xlsx.kvp.iterator"), LUA_TTABLE);
  EXPECT_EQ(lua_getfield(L, -1, "__index"), LUA_TTABLE);
  EXPECT_TRUE(lua_rawequal(L, -1, -2));
  EXPECT_EQ(lua_getfield(L, -2, "__gc"), LUA_TFUNCTION) << "the range iterator's clean-up";
  lua_settop(L, 0);
}

TEST_F(RegistrationTest, DocumentsAreFoundByNumberAndHandleTogether) {
  DocumentRecord* explicitOne = AddDocument(ObjectId{1, 0});
  DocumentRecord* automatic = AddDocument(ObjectId{0, HOST_AUTOMATIC_ID});
  ObjectId byNumber{1, 0};
  ObjectId byHandle{0, reinterpret_cast<uintptr_t>(automatic)};
  ObjectId wrongHalf{1, reinterpret_cast<uintptr_t>(automatic)};
  EXPECT_EQ(FindDocument(&byNumber), explicitOne);
  EXPECT_EQ(FindDocument(&byHandle), automatic);
  EXPECT_EQ(FindDocument(&wrongHalf), nullptr);
  EXPECT_EQ(FindDocument(nullptr), nullptr);
  ReleaseDocument(hs, explicitOne);
  EXPECT_EQ(FindDocument(&byNumber), nullptr);
  EXPECT_EQ(FindDocument(&byHandle), automatic);
  EXPECT_EQ(HostObjectCount(globals.objectTypeId), 1u);
}

}  // namespace

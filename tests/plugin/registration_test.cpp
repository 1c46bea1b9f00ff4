// Registration with a real host: the error messages in order, the text-encoding notification, the
// document object type with its attribute callback, the iterator metatable, and FreeLibrary.
#include <string>

#include "host/memory.h"
#include "lib/base/host_ops.h"
#include "lib/package/document.h"
#include "lib/sheet/workbook.h"
#include "lib/sheet/worksheet.h"
#include "plugin/command_table.h"
#include "plugin/documents.h"
#include "plugin/entry.h"
#include "plugin/globals.h"
#include "tests/plugin/host_fixture.h"
#include "tests/support/temp_dir.h"

namespace {

class RegistrationTest : public HostTest {
 protected:
  void SetUp() override {
    HostTest::SetUp();
    saved_ = globals;
    globals = PluginGlobals{nullptr, {}, nullptr, 1, 0xFFFFFFFFu};
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

  // Opens a new workbook from the template with `sheets` sheets under explicit id n.
  DocumentRecord* AddDocument(uint32_t n, int sheets) {
    XlsxDocument* document = xlsx_document_new();
    std::string path = dir_.file("book" + std::to_string(n) + ".xlsx");
    EXPECT_EQ(xlsx_document_create(document, path.c_str()), XLSX_OK);
    for (int i = 2; i <= sheets; ++i) {
      std::string name = "Sheet" + std::to_string(i);
      EXPECT_EQ(xlsx_workbook_add_sheet(xlsx_document_workbook(document), name.c_str()), XLSX_OK);
    }
    auto* record = static_cast<DocumentRecord*>(api->AllocMem(sizeof(DocumentRecord), 1, "xlsx"));
    record->header.type = globals.objectTypeId;
    record->header.idNumber = n;
    record->document = document;
    record->defaultSheet = 1;
    AppendDocument(record);
    return record;
  }

  std::string Attribute(const char* id, uint32_t attribute) {
    std::string chunk = "result = GetAttribute(" + std::to_string(globals.objectTypeId) + ", " + id + ", " +
                        std::to_string(attribute) + ")";
    return Run(chunk.c_str());
  }

  PluginGlobals saved_{};
  uint32_t taggedAtStart_ = 0;
  xlsx_test::TempDir dir_;
};

TEST_F(RegistrationTest, ElevenMessagesAreRegisteredInOrder) {
  const char* expected[] = {
      "Error opening XLSX document %s!", "Error creating XLSX document %s!",  "Cannot find specified XLSX document!",
      "XSLX operation has failed!",      "Sheet \"%s\" not found!",           "Specified sheet is out of range!",
      "Specified cell is out of range!", "Specified column is out of range!", "Specified row is out of range!",
      "Cell doesn't have a formula!",    "Error saving XLSX document!",
  };
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
  AddDocument(1, 1);
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

TEST_F(RegistrationTest, AttributeSheetsGivesTheSheetCount) {
  AddDocument(1, 3);
  AddDocument(2, 1);
  EXPECT_EQ(Attribute("1", 32768), "");
  EXPECT_EQ(Number("return result"), 3);
  EXPECT_EQ(Attribute("2", 32768), "");
  EXPECT_EQ(Number("return result"), 1);
}

TEST_F(RegistrationTest, OtherAttributesAndUnknownIdsAreErrors) {
  AddDocument(1, 3);
  EXPECT_NE(Attribute("1", 32769).find(": unknown attribute"), std::string::npos);
  EXPECT_NE(Attribute("9", 32768).find(": Cannot find specified XLSX document!"), std::string::npos);
}

TEST_F(RegistrationTest, FreeLibraryReleasesEveryDocumentOnce) {
  AddDocument(1, 2);
  AddDocument(2, 1);
  uint32_t released = HostReleasedObjects();
  FreeLibrary(hs);
  EXPECT_EQ(globals.documentList, nullptr);
  EXPECT_EQ(HostReleasedObjects(), released + 2);
  EXPECT_EQ(HostLiveTaggedBlocksWithTag("xlsx"), 0u);
  FreeLibrary(hs);
  EXPECT_EQ(HostReleasedObjects(), released + 2) << "a second FreeLibrary does nothing";
}

TEST_F(RegistrationTest, DocumentsAreFoundByNumberAndHandleTogether) {
  DocumentRecord* explicitOne = AddDocument(1, 1);
  DocumentRecord* automatic = AddDocument(0, 1);
  automatic->header.idHandle = reinterpret_cast<uintptr_t>(automatic);
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
  EXPECT_EQ(DocumentCount(), 1u);
}

TEST_F(RegistrationTest, GetObjectTypeAndUseSharedStringsThroughTheHost) {
  for (const PluginCommand* c = CommandTable(); c->name; ++c) Define(c->name, c->handler);
  EXPECT_EQ(Number("return GetObjectType()"), globals.objectTypeId);
  EXPECT_EQ(Run("UseSharedStrings(0)"), "");
  EXPECT_EQ(xlsx_shared_strings_mode(), 1u) << "0 stores texts in the cells";
  EXPECT_EQ(Run("UseSharedStrings(1)"), "");
  EXPECT_EQ(xlsx_shared_strings_mode(), 0u);
  EXPECT_EQ(Run("UseSharedStrings(0.7)"), "");
  EXPECT_EQ(xlsx_shared_strings_mode(), 1u) << "the argument is truncated toward zero";
  EXPECT_EQ(Run("UseSharedStrings(-3)"), "");
  EXPECT_EQ(xlsx_shared_strings_mode(), 0u);
  EXPECT_NE(Run("UseSharedStrings()").find("bad argument #1"), std::string::npos);
}

}  // namespace

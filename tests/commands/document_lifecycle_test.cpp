// Documents by explicit and automatic id: the list the host walks, replacement by reopening an id, failed
// opens leaving no record, the attribute callback, and FreeLibrary releasing every document.
#include <gtest/gtest.h>

#include "host/memory.h"
#include "plugin/command_table.h"
#include "plugin/documents.h"
#include "tests/commands/commands_fixture.h"

namespace {

using DocumentLifecycleTest = CommandsTest;

TEST_F(DocumentLifecycleTest, RecordsAreKeptInCreationOrderWithTheirIds) {
  ASSERT_EQ(Run("xlsx.Create(3, DIR .. '/a.xlsx') auto = xlsx.Create(nil, DIR .. '/b.xlsx')"
                "xlsx.Open(1, DIR .. '/a.xlsx')"),
            "");
  ASSERT_EQ(HostObjectCount(globals.objectTypeId), 3u);
  auto* first = reinterpret_cast<DocumentRecord*>(globals.documentList);
  auto* second = reinterpret_cast<DocumentRecord*>(first->header.next);
  auto* third = reinterpret_cast<DocumentRecord*>(second->header.next);
  EXPECT_EQ(first->header.idNumber, 3u);
  EXPECT_EQ(first->header.idHandle, 0u);
  EXPECT_EQ(second->header.idNumber, 0u);
  EXPECT_EQ(second->header.idHandle, reinterpret_cast<uintptr_t>(second)) << "an automatic id is the record";
  EXPECT_EQ(third->header.idNumber, 1u);
  EXPECT_EQ(third->header.next, nullptr);
  EXPECT_EQ(first->header.type, globals.objectTypeId);
  EXPECT_EQ(first->defaultSheet, 1u);
  lua_getglobal(L, "auto");
  EXPECT_EQ(lua_touserdata(L, -1), second);
  lua_pop(L, 1);
}

TEST_F(DocumentLifecycleTest, ReopeningAnIdReplacesTheDocumentEvenWhenTheNewOpenFails) {
  ASSERT_EQ(Run("xlsx.Create(1, DIR .. '/a.xlsx') xlsx.Create(2, DIR .. '/b.xlsx')"), "");
  uint32_t released = HostReleasedObjects();
  ASSERT_EQ(Run("xlsx.Open(1, DIR .. '/b.xlsx')"), "");
  EXPECT_EQ(HostObjectCount(globals.objectTypeId), 2u);
  EXPECT_EQ(HostReleasedObjects(), released + 1) << "the old record was released to the host";
  auto* first = reinterpret_cast<DocumentRecord*>(globals.documentList);
  EXPECT_EQ(first->header.idNumber, 2u) << "the replacement is appended at the tail";
  uint32_t tagged = HostLiveTaggedBlocksWithTag("xlsx");
  std::string error = Run("xlsx.Open(1, DIR .. '/missing.xlsx')");
  EXPECT_TRUE(EndsWith(error, "Error opening XLSX document " + scratch_ + "/missing.xlsx!")) << error;
  EXPECT_TRUE(EndsWith(Run("xlsx.GetSheetCount(1)"), "Cannot find specified XLSX document!"));
  // Failed opens and creates, by automatic or explicit id, leave no record and no record memory.
  EXPECT_TRUE(EndsWith(Run("xlsx.Open(nil, DIR .. '/none.xlsx')"), "none.xlsx!"));
  EXPECT_TRUE(EndsWith(Run("xlsx.Create(4, '/nonexistent-folder/x.xlsx')"),
                       "Error creating XLSX document /nonexistent-folder/x.xlsx!"));
  EXPECT_EQ(HostObjectCount(globals.objectTypeId), 1u);
  EXPECT_EQ(HostLiveTaggedBlocksWithTag("xlsx"), tagged - 1) << "only the replaced record was released";
}

TEST_F(DocumentLifecycleTest, AttributeCallbackCountsSheetsAndRefusesUnknownIdsAndAttributes) {
  ASSERT_EQ(Run("xlsx.Create(1, DIR .. '/a.xlsx') xlsx.AddSheet(1, 'B') xlsx.AddSheet(1, 'C')"), "");
  ObjectId id{1, 0};
  int top = lua_gettop(L);
  EXPECT_EQ(DocumentAttribute(hs, XLSXATTRSHEETS, &id), 1);
  EXPECT_EQ(lua_tonumber(L, -1), 3);
  lua_settop(L, top);
  EXPECT_EQ(DocumentAttribute(hs, XLSXATTRSHEETS + 1, &id), HOST_ERR_UNKNOWN_ATTRIBUTE);
  ObjectId unknown{2, 0};
  EXPECT_EQ(DocumentAttribute(hs, XLSXATTRSHEETS, &unknown), ErrorCode(ERROR_NO_DOCUMENT));
  EXPECT_EQ(lua_gettop(L), top) << "failures push nothing";
}

TEST_F(DocumentLifecycleTest, FreeLibraryReleasesEveryDocumentAndASecondCallDoesNothing) {
  ASSERT_EQ(Run("xlsx.Create(1, DIR .. '/a.xlsx') xlsx.Create(nil, DIR .. '/b.xlsx')"
                "for p in xlsx.CellRange(1, 1, 1, 9, 9) do break end"),
            "");
  uint32_t live = xlsx_live_allocations();
  uint32_t released = HostReleasedObjects();
  FreeLibrary(hs);
  EXPECT_EQ(globals.documentList, nullptr);
  EXPECT_EQ(HostReleasedObjects(), released + 2);
  EXPECT_LT(xlsx_live_allocations(), live);
  FreeLibrary(hs);
  EXPECT_EQ(HostReleasedObjects(), released + 2);
}

}  // namespace

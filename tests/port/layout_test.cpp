// Layout of every record the plugin and the host exchange. The host of the real target is a 32-bit
// big-endian PowerPC program that reads these records by offset, so on a 32-bit build each size and offset
// must be exactly the one the host expects; on a 64-bit build the address fields widen to 8 bytes and the
// records keep their field order with natural alignment. The checks are compile-time: a build whose
// records drift does not compile, on whatever target it is built.
#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <limits>
#include <type_traits>

#include "plugin/documents.h"
#include "plugin/host_api.h"
#include "tests/support/live_allocations.h"

namespace {

constexpr bool kAddress32 = sizeof(void*) == 4;
static_assert(sizeof(void*) == 4 || sizeof(void*) == 8, "addresses are 32 or 64 bits wide");
static_assert(sizeof(uintptr_t) == sizeof(void*), "pointer-sized words hold an address");
static_assert(std::numeric_limits<double>::is_iec559 && sizeof(double) == 8, "numbers are 64-bit IEEE doubles");

// Expected size or offset: exact on a 32-bit build, the natural 64-bit layout otherwise.
constexpr size_t at(size_t on32, size_t on64) {
  return kAddress32 ? on32 : on64;
}

// A record the host reads by offset: plain data with a fixed layout.
template <typename T>
constexpr bool plain_record = std::is_standard_layout_v<T>&& std::is_trivially_copyable_v<T>;

#define EXPECT_FIELD(Type, field, on32, on64, width)                                         \
  static_assert(offsetof(Type, field) == at(on32, on64), #Type "." #field ": wrong offset"); \
  static_assert(sizeof(Type::field) == (width), #Type "." #field ": wrong width")
#define EXPECT_RECORD(Type, on32, on64)                   \
  static_assert(plain_record<Type>, #Type ": not plain"); \
  static_assert(sizeof(Type) == at(on32, on64), #Type ": wrong size")
#define ADDRESS sizeof(void*)

// Plugin header: magic 8 bytes, version 4 bytes (big-endian), address of ResolveEntry.
EXPECT_RECORD(PluginHeader, 16, 24);
EXPECT_FIELD(PluginHeader, magic, 0, 0, 8);
EXPECT_FIELD(PluginHeader, version, 8, 8, 4);
EXPECT_FIELD(PluginHeader, resolve, 12, 16, ADDRESS);

// Entry table row: name, function.
EXPECT_RECORD(PluginEntry, 8, 16);
EXPECT_FIELD(PluginEntry, name, 0, 0, ADDRESS);
EXPECT_FIELD(PluginEntry, function, 4, 8, ADDRESS);

// Information record: 14 consecutive words; numbers stay 32-bit, texts are addresses.
EXPECT_RECORD(PluginInfo, 14 * 4, 96);
EXPECT_FIELD(PluginInfo, capabilities, 0, 0, 4);
EXPECT_FIELD(PluginInfo, version, 4, 4, 4);
EXPECT_FIELD(PluginInfo, revision, 8, 8, 4);
EXPECT_FIELD(PluginInfo, word3, 12, 12, 4);
EXPECT_FIELD(PluginInfo, word4, 16, 16, 4);
EXPECT_FIELD(PluginInfo, displayName, 20, 24, ADDRESS);
EXPECT_FIELD(PluginInfo, baseName, 24, 32, ADDRESS);
EXPECT_FIELD(PluginInfo, author, 28, 40, ADDRESS);
EXPECT_FIELD(PluginInfo, description, 32, 48, ADDRESS);
EXPECT_FIELD(PluginInfo, rights, 36, 56, ADDRESS);
EXPECT_FIELD(PluginInfo, url, 40, 64, ADDRESS);
EXPECT_FIELD(PluginInfo, date, 44, 72, ADDRESS);
EXPECT_FIELD(PluginInfo, word12, 48, 80, 4);
EXPECT_FIELD(PluginInfo, guide, 52, 88, ADDRESS);

// Command table row: name, handler.
EXPECT_RECORD(PluginCommand, 8, 16);
EXPECT_FIELD(PluginCommand, name, 0, 0, ADDRESS);
EXPECT_FIELD(PluginCommand, handler, 4, 8, ADDRESS);

// Help table row: text, a 32-bit 0.
EXPECT_RECORD(PluginHelp, 8, 16);
EXPECT_FIELD(PluginHelp, text, 0, 0, ADDRESS);
EXPECT_FIELD(PluginHelp, zero, 4, 8, 4);

// Constant table row: name, a 32-bit 0, a 64-bit double. On PowerPC a double is 8-aligned inside a record;
// the name and the zero word fill exactly the 8 bytes before it, so no padding is needed there.
EXPECT_RECORD(PluginConstant, 16, 24);
EXPECT_FIELD(PluginConstant, name, 0, 0, ADDRESS);
EXPECT_FIELD(PluginConstant, zero, 4, 8, 4);
EXPECT_FIELD(PluginConstant, value, 8, 16, 8);
static_assert(std::is_same_v<decltype(PluginConstant::value), double>);

// Serializer item: kind, address of the data, size, reserved.
EXPECT_RECORD(SerialItem, 16, 24);
EXPECT_FIELD(SerialItem, kind, 0, 0, 4);
EXPECT_FIELD(SerialItem, data, 4, 8, ADDRESS);
EXPECT_FIELD(SerialItem, size, 8, 16, 4);
EXPECT_FIELD(SerialItem, reserved, 12, 20, 4);

// Object id: number, handle word.
EXPECT_RECORD(ObjectId, 8, 16);
EXPECT_FIELD(ObjectId, number, 0, 0, 4);
EXPECT_FIELD(ObjectId, handle, 4, 8, ADDRESS);

// The host's object header, the first five words of every document record.
EXPECT_RECORD(HostObjectHeader, 20, 32);
EXPECT_FIELD(HostObjectHeader, type, 0, 0, 4);
EXPECT_FIELD(HostObjectHeader, idNumber, 4, 4, 4);
EXPECT_FIELD(HostObjectHeader, idHandle, 8, 8, ADDRESS);
EXPECT_FIELD(HostObjectHeader, reserved, 12, 16, 4);
EXPECT_FIELD(HostObjectHeader, next, 16, 24, ADDRESS);

// Document record: the host's object header, then the library document and the default sheet.
EXPECT_RECORD(DocumentRecord, 7 * 4, 48);
static_assert(offsetof(DocumentRecord, header) == 0, "the host walks the list through the header");
EXPECT_FIELD(DocumentRecord, document, 20, 32, ADDRESS);
EXPECT_FIELD(DocumentRecord, defaultSheet, 24, 40, 4);

using RecordLayout = xlsx_test::CountedTest;

// The host finds the header by scanning the module's bytes for the magic followed by the version 3 in
// big-endian order, whatever the byte order of the machine that built the module.
TEST_F(RecordLayout, HeaderVersionBytesAreBigEndianOnEveryTarget) {
  const PluginHeader header = {{'K', 'O', 'R', 'V', 'A', 'D', 'E', 'L'}, {0, 0, 0, 3}, nullptr};
  unsigned char bytes[sizeof(PluginHeader)];
  std::memcpy(bytes, &header, sizeof bytes);
  EXPECT_EQ(0, std::memcmp(bytes, PLUGIN_MAGIC, sizeof PLUGIN_MAGIC));
  const uint32_t version =
      (uint32_t{bytes[8]} << 24) | (uint32_t{bytes[9]} << 16) | (uint32_t{bytes[10]} << 8) | bytes[11];
  EXPECT_EQ(PLUGIN_HEADER_VERSION, version);
}

}  // namespace

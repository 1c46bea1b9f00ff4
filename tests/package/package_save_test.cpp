// Saving documents: only changed parts are serialised, everything else keeps its record bit for bit,
// and a save that fails at any step leaves the previous file as it was.
#include <algorithm>
#include <map>

#include "lib/package/properties.h"
#include "lib/xml/tree.h"
#include "tests/package/package_fixture.h"

namespace {

using Names = std::vector<std::string>;

// The minimal workbook with more declarations in its [Content_Types].xml.
std::vector<pkg_test::ZipInput> workbook_with_types(const std::string& declarations) {
  auto parts = pkg_test::minimal_workbook_parts();
  std::string types = parts[0].data;
  types.insert(types.find("</Types>"), declarations);
  pkg_test::replace_part(&parts, "[Content_Types].xml", types);
  return parts;
}

const char* const kBroken = "<comments><unterminated attr=></comments>";
const char* const kGhost = "<Override PartName=\"/xl/ghost.xml\" ContentType=\"application/xml\"/>";

// A workbook with a macro project, an image, a part that does not parse and a relationship part.
std::vector<pkg_test::ZipInput> workbook_with_extras() {
  auto parts = workbook_with_types(
      "<Default Extension=\"bin\" ContentType=\"application/vnd.ms-office.vbaProject\"/>"
      "<Default Extension=\"png\" ContentType=\"image/png\"/>"
      "<Override PartName=\"/xl/broken.xml\" ContentType=\"application/"
      "vnd.openxmlformats-officedocument.spreadsheetml.comments+xml\"/>");
  std::string binary;
  for (int i = 0; i < 4096; i++) binary.push_back(char((i * 7919) & 0xFF));
  parts.push_back({"xl/vbaProject.bin", binary});
  parts.push_back({"xl/media/image1.png", std::string("\x89PNG\r\n\x1a\n", 8) + binary, true});
  parts.push_back({"xl/broken.xml", kBroken});
  parts.push_back({"xl/worksheets/_rels/sheet1.xml.rels", "<Relationships/>"});
  return parts;
}

// Raw compressed records by name.
std::map<std::string, pkg_test::ZipRecord> records_by_name(const std::string& zip) {
  std::map<std::string, pkg_test::ZipRecord> out;
  for (auto& r : pkg_test::zip_records(zip)) out[r.name] = r;
  return out;
}

TEST_F(PackageTest, SavingAnUntouchedOrOnlyReadPackageWritesTheSameBytes) {
  ASSERT_EQ(open_parts(workbook_with_extras()), XLSX_OK);
  std::string original = pkg_test::read_bytes(path("in.xlsx"));
  xlsx_part_load(xlsx_package_find_part(pkg_, "xl/sharedStrings.xml"));  // reading changes nothing
  EXPECT_EQ(save_as("out.xlsx"), original);
  for (uint32_t i = 0; i < xlsx_package_part_count(pkg_); i++) xlsx_part_load(xlsx_package_part_at(pkg_, i));
  xlsx_package_get_property(pkg_, XLSX_PROP_KEYWORDS);  // absent: reading must not add it
  EXPECT_EQ(save_as("again.xlsx"), original);
}

TEST_F(PackageTest, OnlyTheChangedPartIsRewritten) {
  ASSERT_EQ(open_parts(workbook_with_extras()), XLSX_OK);
  std::string original = pkg_test::read_bytes(path("in.xlsx"));
  ASSERT_EQ(xlsx_package_set_property(pkg_, XLSX_PROP_TITLE, "Changed"), XLSX_OK);
  std::string saved = save_as("out.xlsx");
  auto before = records_by_name(original);
  auto after = records_by_name(saved);
  for (auto& [name, record] : before) {
    if (name == "docProps/core.xml") {
      EXPECT_NE(after[name].raw, record.raw);
    } else {
      EXPECT_EQ(after[name].raw, record.raw) << name;
    }
  }
  EXPECT_NE(pkg_test::zip_entry(saved, "docProps/core.xml").find("<dc:title>Changed</dc:title>"), std::string::npos);
  EXPECT_EQ(xlsx_package_find_part(pkg_, "xl/worksheets/sheet1.xml")->loaded, 0u);
}

TEST_F(PackageTest, PartThatDoesNotParseKeepsItsBytesAcrossSaves) {
  ASSERT_EQ(open_parts(workbook_with_extras()), XLSX_OK);
  XlsxPart* broken = xlsx_package_find_part(pkg_, "xl/broken.xml");
  ASSERT_NE(broken, nullptr);
  EXPECT_EQ(xlsx_part_root(broken), nullptr);
  EXPECT_EQ(xlsx_part_load_status(broken), XLSX_ERR_PARSE);
  ASSERT_EQ(xlsx_package_set_property(pkg_, XLSX_PROP_TITLE, "x"), XLSX_OK);
  std::string saved = save_as("out.xlsx");
  EXPECT_EQ(pkg_test::zip_entry(saved, "xl/broken.xml"), kBroken);
  ASSERT_EQ(xlsx_package_set_property(pkg_, XLSX_PROP_TITLE, "y"), XLSX_OK);
  std::string again = save_as("out.xlsx");
  EXPECT_EQ(pkg_test::zip_entry(again, "xl/broken.xml"), kBroken);
}

TEST_F(PackageTest, OverrideForAMissingPartGetsNoEntry) {
  auto parts = workbook_with_types(kGhost);
  ASSERT_EQ(open_parts(parts), XLSX_OK);
  EXPECT_EQ(xlsx_part_root(xlsx_package_find_part(pkg_, "xl/ghost.xml")), nullptr);
  ASSERT_EQ(xlsx_package_set_property(pkg_, XLSX_PROP_TITLE, "changed"), XLSX_OK);
  std::string saved = save_as("out.xlsx");
  auto names = pkg_test::zip_names(saved);
  EXPECT_EQ(std::find(names.begin(), names.end(), "xl/ghost.xml"), names.end());
  EXPECT_EQ(names.size(), parts.size());
  // The override stays as the file had it, and the part stays empty: a second save writes no entry either.
  EXPECT_NE(pkg_test::zip_entry(saved, "[Content_Types].xml").find("/xl/ghost.xml"), std::string::npos);
  std::string again = save_as("again.xlsx");
  EXPECT_EQ(pkg_test::zip_names(again), names);
}

TEST_F(PackageTest, PartBuiltIntoAnOverrideWithoutEntryIsWritten) {
  ASSERT_EQ(open_parts(workbook_with_types(kGhost)), XLSX_OK);
  XmlDoc* ghost = xlsx_part_load(xlsx_package_find_part(pkg_, "xl/ghost.xml"));
  ASSERT_NE(xml_node_append_child(&ghost->node, "note"), nullptr);
  std::string saved = save_as("out.xlsx");
  EXPECT_NE(pkg_test::zip_entry(saved, "xl/ghost.xml").find("<note"), std::string::npos);
}

TEST_F(PackageTest, CalculationChainIsDroppedWithItsOverrideAndRelationship) {
  auto parts = workbook_with_types("<Override PartName=\"/xl/calcChain.xml\" ContentType=\"application/"
                                   "vnd.openxmlformats-officedocument.spreadsheetml.calcChain+xml\"/>");
  std::string rels = "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
                     "<Relationship Id=\"rId1\" Type=\"http://schemas.openxmlformats.org/officeDocument/2006/"
                     "relationships/worksheet\" Target=\"worksheets/sheet1.xml\"/><Relationship Id=\"rId5\" "
                     "Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/calcChain\" "
                     "Target=\"calcChain.xml\"/></Relationships>";
  pkg_test::replace_part(&parts, "xl/_rels/workbook.xml.rels", rels);
  parts.push_back({"xl/calcChain.xml", "<calcChain><c r=\"A1\" i=\"1\"/></calcChain>"});
  ASSERT_EQ(open_parts(parts), XLSX_OK);
  ASSERT_TRUE(xlsx_package_has_part(pkg_, "xl/calcChain.xml"));
  std::string saved = save_as("out.xlsx");
  auto names = pkg_test::zip_names(saved);
  EXPECT_EQ(std::find(names.begin(), names.end(), "xl/calcChain.xml"), names.end());
  EXPECT_FALSE(xlsx_package_has_part(pkg_, "xl/calcChain.xml"));
  EXPECT_EQ(pkg_test::zip_entry(saved, "[Content_Types].xml").find("calcChain"), std::string::npos);
  EXPECT_EQ(pkg_test::zip_entry(saved, "xl/_rels/workbook.xml.rels").find("calcChain"), std::string::npos);
}

TEST_F(PackageTest, SaveAsOwnPathIsSaveAndNewPathBecomesTheDocuments) {
  ASSERT_EQ(open_parts(pkg_test::minimal_workbook_parts()), XLSX_OK);
  ASSERT_EQ(xlsx_package_set_property(pkg_, XLSX_PROP_SUBJECT, "s"), XLSX_OK);
  ASSERT_EQ(xlsx_package_save_as(pkg_, path("in.xlsx").c_str()), XLSX_OK);
  std::string first = pkg_test::read_bytes(path("in.xlsx"));
  ASSERT_EQ(xlsx_package_save(pkg_), XLSX_OK);
  EXPECT_EQ(pkg_test::read_bytes(path("in.xlsx")), first);
  ASSERT_EQ(xlsx_package_save_as(pkg_, path("other.xlsx").c_str()), XLSX_OK);
  EXPECT_EQ(std::string(xlsx_package_path(pkg_)), path("other.xlsx"));
  EXPECT_EQ(pkg_test::read_bytes(path("other.xlsx")), first);
  EXPECT_EQ(xlsx_package_save_as(pkg_, nullptr), XLSX_ERR_INVALID_ARG);
}

TEST_F(PackageTest, ChangesAfterASaveAreSavedToo) {
  ASSERT_EQ(open_parts(pkg_test::minimal_workbook_parts()), XLSX_OK);
  ASSERT_EQ(xlsx_package_set_property(pkg_, XLSX_PROP_TITLE, "one"), XLSX_OK);
  save_as("out.xlsx");
  ASSERT_EQ(xlsx_package_set_property(pkg_, XLSX_PROP_TITLE, "two"), XLSX_OK);
  std::string saved = save_as("out.xlsx");
  EXPECT_NE(pkg_test::zip_entry(saved, "docProps/core.xml").find("<dc:title>two</dc:title>"), std::string::npos);
  XlsxPackage again;
  xlsx_package_init(&again);
  ASSERT_EQ(xlsx_package_open(&again, path("out.xlsx").c_str()), XLSX_OK);
  EXPECT_STREQ(xlsx_package_get_property(&again, XLSX_PROP_TITLE), "two");
  xlsx_package_close(&again);
}

}  // namespace

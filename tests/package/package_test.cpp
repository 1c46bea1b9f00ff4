// Opening, creating and saving packages: the parts list built from the content types, the parts a file
// lacks, the template, records kept bit for bit, and failures (refused files, no memory) that leave the
// package and the file on disk as they were.
#include <algorithm>
#include <map>

#include "lib/package/properties.h"
#include "lib/package/template.h"
#include "lib/xml/tree.h"
#include "tests/package/package_fixture.h"
#include "tests/support/cases.h"
#include "tests/support/fault_alloc.h"

namespace {

using xlsx_test::make_zip;
using xlsx_test::workbook_parts;
using xlsx_test::zip_entry;
using xlsx_test::zip_names;
using xlsx_test::ZipInput;

const char kCt[] = "application/vnd.openxmlformats-officedocument.spreadsheetml.";
const char kRel[] = "http://schemas.openxmlformats.org/officeDocument/2006/relationships/";

Names part_paths(XlsxPackage* package) {
  Names out;
  for (uint32_t i = 0; i < xlsx_package_part_count(package); i++) out.push_back(xlsx_part_path(xlsx_package_part_at(package, i)));
  return out;
}

// The workbook with more declarations in its [Content_Types].xml.
std::vector<ZipInput> with_types(const std::string& declarations) {
  auto parts = workbook_parts();
  parts[0].data.insert(parts[0].data.find("</Types>"), declarations);
  return parts;
}

std::string override_of(const char* name, const std::string& type) {
  return "<Override PartName=\"" + std::string(name) + "\" ContentType=\"" + type + "\"/>";
}

TEST_F(PackageTest, RefusedFilesLeaveThePackageClosed) {
  auto no_types = workbook_parts();
  xlsx_test::remove_part(&no_types, "[Content_Types].xml");
  const struct {
    std::string bytes;
    xlsx_status status;
  } rows[] = {{"", XLSX_ERR_IO},  // no file
              {make_zip({{"readme.txt", "hello"}}), XLSX_ERR_PARSE},
              {make_zip(no_types), XLSX_ERR_PARSE},
              {std::string("PK\x05\x06", 4) + std::string(18, '\0'), XLSX_ERR_PARSE}};
  for (const auto& row : rows) {
    ASSERT_EQ(open_parts(workbook_parts(), "good.xlsx"), XLSX_OK);
    std::string path = dir_.file(row.bytes.empty() ? "missing.xlsx" : "in.xlsx");
    if (!row.bytes.empty()) xlsx_test::write_bytes(path, row.bytes);
    EXPECT_EQ(xlsx_package_open(pkg_, path.c_str()), row.status) << row.bytes.size();
    EXPECT_TRUE(!xlsx_package_is_open(pkg_) && !xlsx_package_archive(pkg_) && xlsx_package_part_count(pkg_) == 0);
    EXPECT_TRUE(*xlsx_package_path(pkg_) == '\0' && xlsx_package_save(pkg_) == XLSX_ERR_INVALID_ARG);
    EXPECT_TRUE(row.bytes.empty() || xlsx_test::read_bytes(path) == row.bytes) << "the file is left as it was";
  }
  EXPECT_EQ(xlsx_package_open(nullptr, "x"), XLSX_ERR_INVALID_ARG);
  EXPECT_EQ(xlsx_package_open(pkg_, nullptr), XLSX_ERR_INVALID_ARG);
  xlsx_package_close(nullptr);
  EXPECT_TRUE(xlsx_package_archive(nullptr) == nullptr && xlsx_package_content_types(nullptr) == nullptr &&
              xlsx_package_workbook_rels(nullptr) == nullptr && xlsx_package_find_part(nullptr, "x") == nullptr);
  EXPECT_FALSE(xlsx_package_has_part(pkg_, "x"));
  EXPECT_EQ(xlsx_package_add_part(pkg_, nullptr, "", 2), nullptr);
}

// What a file lacks is made up once: an override twice gives one part, an absolute relationship target
// gives no id, shared strings (with their override and relationship) and the workbook's override (at the
// end) are added; a file whose content types list nothing has no sheets and gets no empty entries.
TEST_F(PackageTest, WhatTheFileLacksIsMadeUpOnce) {
  auto parts = workbook_parts();
  xlsx_test::remove_part(&parts, "xl/sharedStrings.xml");
  xlsx_test::replace_part(&parts, "[Content_Types].xml",
                          "<Types>" + override_of("/xl/worksheets/sheet1.xml", std::string(kCt) + "worksheet+xml") +
                              override_of("/xl/worksheets/sheet1.xml", std::string(kCt) + "worksheet+xml") + "</Types>");
  xlsx_test::replace_part(&parts, "xl/_rels/workbook.xml.rels",
                          "<Relationships><Relationship Id=\"rId7\" Type=\"" + std::string(kRel) +
                              "worksheet\" Target=\"/xl/worksheets/sheet1.xml\"/></Relationships>");
  ASSERT_EQ(open_parts(parts), XLSX_OK);
  XlsxPart* strings = part("xl/sharedStrings.xml");
  EXPECT_TRUE(std::string(xlsx_part_rel_id(strings)) == "rId8" && xlsx_part_content_type(strings) == 7);
  EXPECT_STREQ(xlsx_part_rel_id(part("xl/worksheets/sheet1.xml")), "");
  Names paths = part_paths(pkg_);
  EXPECT_EQ(std::count(paths.begin(), paths.end(), "xl/worksheets/sheet1.xml"), 1);
  XmlNode* last = xml_node_last_child(root_of("[Content_Types].xml"));
  EXPECT_STREQ(xml_attribute_value(xml_node_attribute(last, "PartName")), "/xl/workbook.xml");
  EXPECT_EQ(zip_names(save_as("out.xlsx")).back(), "xl/sharedStrings.xml");
  ASSERT_EQ(open_parts({{"[Content_Types].xml", "<Types/>"}, {"readme.txt", "hello"}}, "b.xlsx"), XLSX_OK);
  EXPECT_EQ(part_paths(pkg_), (Names{"[Content_Types].xml", "_rels/.rels", "xl/_rels/workbook.xml.rels",
                                     "xl/sharedStrings.xml", "xl/workbook.xml"}));
  EXPECT_EQ(xlsx_package_core_properties(pkg_), nullptr);
  EXPECT_EQ(zip_names(save_as("out.xlsx")), (Names{"[Content_Types].xml", "readme.txt", "xl/sharedStrings.xml"}));
  EXPECT_EQ(std::string(xlsx_package_path(pkg_)), path("out.xlsx"));
  ASSERT_EQ(xlsx_package_open(pkg_, pkg_->path), XLSX_OK) << "its own path text, freed by the reset";
}

// The workbook is the entry the package's officeDocument relationship names when the file holds it and does
// not declare it as another kind of part; otherwise xl/workbook.xml.
TEST_F(PackageTest, WorkbookIsWhereThePackageRelationshipPointsIfThatIsAWorkbook) {
  for (const xlsx_test::Case& c : xlsx_test::read_cases("package/package.cases", "workbook")) {
    auto parts = with_types(c[1] == "-" ? "" : override_of("/book/main.xml", kCt + c[1]));
    for (const ZipInput& p : workbook_parts()) {
      if (p.name == "xl/workbook.xml") parts.push_back({"book/main.xml", p.data});
    }
    xlsx_test::replace_part(&parts, "_rels/.rels",
                            "<Relationships><Relationship Id=\"rId1\" Type=\"" + std::string(kRel) +
                                "officeDocument\" Target=\"" + c[0] + "\"/></Relationships>");
    ASSERT_EQ(open_parts(parts), XLSX_OK) << c.where;
    EXPECT_EQ(xlsx_package_workbook_path(pkg_), c[2]) << c.where;
    EXPECT_EQ(xlsx_package_workbook(pkg_), part(c[2].c_str())) << c.where;
  }
}

// The template is deflated and names its sheet without an absolute path; create writes it at once over an
// old file, and a create that fails leaves the open package alone.
TEST_F(PackageTest, CreateWritesTheTemplateAtOnceAndSavesItsEntries) {
  const std::string bytes(reinterpret_cast<const char*>(xlsx_template_bytes), xlsx_template_size);
  const Names entries = zip_names(bytes);
  EXPECT_EQ(entries.size(), 10u);
  for (const auto& record : xlsx_test::zip_records(bytes)) EXPECT_EQ(record.method, 8) << record.name;
  std::string workbook = zip_entry(bytes, "xl/workbook.xml");
  EXPECT_NE(workbook.find("<sheet name=\"Sheet1\" sheetId=\"1\" r:id=\"rId1\"/>"), std::string::npos);
  EXPECT_EQ(workbook.find("absPath"), std::string::npos);
  xlsx_test::write_bytes(path("new.xlsx"), "an old file that is replaced");
  ASSERT_EQ(xlsx_package_create(pkg_, path("new.xlsx").c_str()), XLSX_OK);
  EXPECT_EQ(zip_names(xlsx_test::read_bytes(path("new.xlsx"))), entries);
  EXPECT_EQ(zip_names(save_as("saved.xlsx")), entries);
  EXPECT_EQ(xlsx_package_create(pkg_, path("no/such/folder/new.xlsx").c_str()), XLSX_ERR_IO);
  EXPECT_EQ(std::string(xlsx_package_path(pkg_)), path("saved.xlsx")) << "the open package is left as it was";
  EXPECT_EQ(xlsx_package_create(pkg_, nullptr), XLSX_ERR_INVALID_ARG);
}

// A workbook with a macro project, an image, a part that does not parse and a relationship part.
std::vector<ZipInput> workbook_with_extras() {
  auto parts = with_types("<Default Extension=\"bin\" ContentType=\"application/vnd.ms-office.vbaProject\"/>"
                          "<Default Extension=\"png\" ContentType=\"image/png\"/>" +
                          override_of("/xl/broken.xml", std::string(kCt) + "comments+xml"));
  std::string binary;
  for (int i = 0; i < 4096; i++) binary.push_back(char((i * 7919) & 0xFF));
  parts.push_back({"xl/vbaProject.bin", binary});
  parts.push_back({"xl/media/image1.png", std::string("\x89PNG\r\n\x1a\n", 8) + binary, true});
  parts.push_back({"xl/broken.xml", "<comments><unterminated attr=></comments>"});
  parts.push_back({"xl/worksheets/_rels/sheet1.xml.rels", "<Relationships/>"});
  return parts;
}

// Reading changes nothing a save writes; an edit rewrites only its part; a part that does not parse
// keeps its bytes across saves; the calculation chain goes with its override and relationship.
TEST_F(PackageTest, SavingRewritesOnlyWhatChanged) {
  ASSERT_EQ(open_parts(workbook_with_extras()), XLSX_OK);
  std::string original = xlsx_test::read_bytes(path("in.xlsx"));
  for (uint32_t i = 0; i < xlsx_package_part_count(pkg_); i++) xlsx_part_load(xlsx_package_part_at(pkg_, i));
  xlsx_package_get_property(pkg_, XLSX_PROP_KEYWORDS);  // absent: reading must not add it
  EXPECT_EQ(save_as("out.xlsx"), original);
  EXPECT_EQ(xlsx_part_load_status(part("xl/broken.xml")), XLSX_ERR_PARSE);
  ASSERT_EQ(xlsx_package_set_property(pkg_, XLSX_PROP_TITLE, "Changed"), XLSX_OK);
  std::string saved = save_as("out.xlsx");
  std::map<std::string, std::string> after;  // raw records by name
  for (auto& r : xlsx_test::zip_records(saved)) after[r.name] = r.raw;
  for (auto& r : xlsx_test::zip_records(original)) {
    EXPECT_EQ(after[r.name] == r.raw, r.name != "docProps/core.xml") << r.name;
  }
  EXPECT_NE(zip_entry(saved, "docProps/core.xml").find("<dc:title>Changed</dc:title>"), std::string::npos);
  ASSERT_EQ(xlsx_package_set_property(pkg_, XLSX_PROP_TITLE, "again"), XLSX_OK);
  EXPECT_EQ(zip_entry(save_as("out.xlsx"), "xl/broken.xml"), "<comments><unterminated attr=></comments>");
  auto parts = with_types(override_of("/xl/calcChain.xml", std::string(kCt) + "calcChain+xml"));
  xlsx_test::replace_part(&parts, "xl/_rels/workbook.xml.rels",
                          "<Relationships><Relationship Id=\"rId1\" Type=\"" + std::string(kRel) +
                              "worksheet\" Target=\"worksheets/sheet1.xml\"/><Relationship Id=\"rId5\" Type=\"" +
                              kRel + "calcChain\" Target=\"calcChain.xml\"/></Relationships>");
  parts.push_back({"xl/calcChain.xml", "<calcChain><c r=\"A1\" i=\"1\"/></calcChain>"});
  ASSERT_EQ(open_parts(parts), XLSX_OK);
  ASSERT_TRUE(xlsx_package_has_part(pkg_, "xl/calcChain.xml"));
  saved = save_as("out.xlsx");
  EXPECT_FALSE(xlsx_package_has_part(pkg_, "xl/calcChain.xml") || saved.find("xl/calcChain.xml") != std::string::npos);
  EXPECT_EQ(zip_entry(saved, "[Content_Types].xml").find("calcChain"), std::string::npos);
  EXPECT_EQ(zip_entry(saved, "xl/_rels/workbook.xml.rels").find("calcChain"), std::string::npos);
}

// An override naming a part the file lacks: no entry is written for it (an entry holding only a
// declaration makes readers refuse the file) unless something was built into it.
TEST_F(PackageTest, PartsWithoutEntryAreWrittenOnlyWhenBuilt) {
  auto parts = with_types(override_of("/xl/ghost.xml", "application/xml"));
  ASSERT_EQ(open_parts(parts), XLSX_OK);
  EXPECT_EQ(root_of("xl/ghost.xml"), nullptr);
  ASSERT_EQ(xlsx_package_set_property(pkg_, XLSX_PROP_TITLE, "changed"), XLSX_OK);
  std::string saved = save_as("out.xlsx");
  EXPECT_EQ(zip_names(saved).size(), parts.size());
  EXPECT_NE(zip_entry(saved, "[Content_Types].xml").find("/xl/ghost.xml"), std::string::npos);
  EXPECT_EQ(zip_names(save_as("again.xlsx")), zip_names(saved));
  ASSERT_NE(xml_node_append_child(&xlsx_part_load(part("xl/ghost.xml"))->node, "note"), nullptr);
  EXPECT_NE(zip_entry(save_as("out.xlsx"), "xl/ghost.xml").find("<note"), std::string::npos);
}

// Opening with the n-th allocation failing fails cleanly and gives every block back; a save failing
// for lack of memory keeps the file, and a later save works; failed property edits change nothing.
TEST_F(PackageTest, AllocationFailureLeavesPackageAndFileAsTheyWere) {
  xlsx_test::write_bytes(path("in.xlsx"), make_zip(workbook_parts()));
  uint32_t runs = 0;
  xlsx_test::for_each_allocation_failure([&](xlsx_test::FaultAllocation& fault) {
    runs++;
    uint32_t live = xlsx_live_allocations();
    xlsx_status status = xlsx_package_open(pkg_, path("in.xlsx").c_str());
    fault.fail_after(0);
    EXPECT_EQ(status, fault.failures() ? XLSX_ERR_NO_MEMORY : XLSX_OK);
    EXPECT_EQ(xlsx_package_is_open(pkg_), status == XLSX_OK);
    EXPECT_TRUE(status != XLSX_OK || root_of("xl/sharedStrings.xml") != nullptr);
    xlsx_package_close(pkg_);
    EXPECT_EQ(xlsx_live_allocations(), live) << "failing allocation " << runs;
  });
  EXPECT_GT(runs, 20u);
  ASSERT_EQ(xlsx_package_open(pkg_, path("in.xlsx").c_str()), XLSX_OK);
  const std::string original = xlsx_test::read_bytes(path("in.xlsx"));
  std::string title;
  for (uint32_t n = 1;; n++) {
    ASSERT_LT(n, 2000u);
    title = "run " + std::to_string(n);
    ASSERT_EQ(xlsx_package_set_property(pkg_, XLSX_PROP_TITLE, title.c_str()), XLSX_OK);
    xlsx_test::FaultAllocation fault(n);
    xlsx_status status = xlsx_package_save(pkg_);
    if (fault.failures() == 0) break;
    ASSERT_EQ(status, XLSX_ERR_NO_MEMORY) << "allocation " << n;
    ASSERT_EQ(xlsx_test::read_bytes(path("in.xlsx")), original) << "allocation " << n;
  }
  ASSERT_EQ(xlsx_package_open(pkg_, path("in.xlsx").c_str()), XLSX_OK);
  EXPECT_EQ(xlsx_package_get_property(pkg_, XLSX_PROP_TITLE), title);
  ASSERT_EQ(xlsx_package_create(pkg_, path("t.xlsx").c_str()), XLSX_OK);
  const std::string core = part_xml("docProps/core.xml"), app = part_xml("docProps/app.xml");
  XlsxPart* app_part = xlsx_package_app_properties(pkg_);
  xlsx_test::for_each_allocation_failure([&](xlsx_test::FaultAllocation& fault) {
    xlsx_status a = xlsx_package_set_property(pkg_, XLSX_PROP_KEYWORDS, "a fairly long keyword text");
    xlsx_status b = xlsx_app_add_title(app_part, "Another sheet with a long name");
    fault.fail_after(0);
    EXPECT_TRUE(a == XLSX_OK ? xlsx_package_delete_property(pkg_, XLSX_PROP_KEYWORDS) == XLSX_OK
                             : a == XLSX_ERR_NO_MEMORY && part_xml("docProps/core.xml") == core);
    EXPECT_TRUE(b == XLSX_OK ? xlsx_app_remove_title(app_part, "Another sheet with a long name") == XLSX_OK
                             : b == XLSX_ERR_NO_MEMORY && part_xml("docProps/app.xml") == app);
  });
}

}  // namespace

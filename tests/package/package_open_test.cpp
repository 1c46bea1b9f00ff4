// Opening documents: the parts list built from the content types, the default shared strings, and
// creating from the built-in template.
#include <cstring>

#include "lib/package/template.h"
#include "lib/xml/tree.h"
#include "tests/package/package_fixture.h"

namespace {

using Names = std::vector<std::string>;

Names part_paths(XlsxPackage* doc) {
  Names out;
  for (uint32_t i = 0; i < xlsx_package_part_count(doc); i++) out.push_back(xlsx_part_path(xlsx_package_part_at(doc, i)));
  return out;
}

const Names kTemplateEntries = {"_rels/.rels",          "xl/workbook.xml",   "xl/styles.xml",
                                "xl/theme/theme1.xml",  "xl/worksheets/sheet1.xml", "docProps/app.xml",
                                "docProps/core.xml",    "xl/sharedStrings.xml", "[Content_Types].xml",
                                "xl/_rels/workbook.xml.rels"};

TEST_F(PackageTest, OpenFailuresLeaveTheDocumentClosed) {
  EXPECT_EQ(xlsx_package_open(pkg_, path("missing.xlsx").c_str()), XLSX_ERR_IO);
  EXPECT_FALSE(xlsx_package_is_open(pkg_));
  pkg_test::write_bytes(path("text.xlsx"), "this is not a zip file at all");
  EXPECT_EQ(xlsx_package_open(pkg_, path("text.xlsx").c_str()), XLSX_ERR_PARSE);
  EXPECT_FALSE(xlsx_package_is_open(pkg_));
  EXPECT_EQ(xlsx_package_archive(pkg_), nullptr);
  EXPECT_EQ(xlsx_package_open(nullptr, "x"), XLSX_ERR_INVALID_ARG);
  EXPECT_EQ(xlsx_package_open(pkg_, nullptr), XLSX_ERR_INVALID_ARG);
}

TEST_F(PackageTest, OpenMakesTheFixedPartsThenOnePartPerOverrideAndParsesOnlyContentTypes) {
  ASSERT_EQ(open_parts(pkg_test::minimal_workbook_parts()), XLSX_OK);
  EXPECT_TRUE(xlsx_package_is_open(pkg_));
  EXPECT_EQ(part_paths(pkg_), (Names{"[Content_Types].xml", "_rels/.rels", "xl/_rels/workbook.xml.rels",
                                     "xl/workbook.xml", "xl/worksheets/sheet1.xml", "xl/sharedStrings.xml",
                                     "docProps/core.xml", "docProps/app.xml"}));
  for (const char* lazy : {"xl/worksheets/sheet1.xml", "xl/workbook.xml", "xl/sharedStrings.xml"}) {
    EXPECT_EQ(xlsx_package_find_part(pkg_, lazy)->loaded, 0u) << lazy;
  }
  EXPECT_EQ(xlsx_package_find_part(pkg_, "[Content_Types].xml")->loaded, 1u);
  XlsxPart* sheet = xlsx_package_find_part(pkg_, "xl/worksheets/sheet1.xml");
  EXPECT_STREQ(xlsx_part_rel_id(sheet), "rId1");
  EXPECT_EQ(xlsx_part_content_type(sheet), 2u);
  EXPECT_STREQ(xlsx_part_rel_id(xlsx_package_find_part(pkg_, "xl/workbook.xml")), "rId1");
  EXPECT_STREQ(xlsx_part_rel_id(xlsx_package_find_part(pkg_, "docProps/app.xml")), "rId3");
  EXPECT_EQ(xlsx_package_core_properties(pkg_), xlsx_package_find_part(pkg_, "docProps/core.xml"));
  EXPECT_EQ(xlsx_package_app_properties(pkg_), xlsx_package_find_part(pkg_, "docProps/app.xml"));
  EXPECT_EQ(sheet->loaded, 0u);
}

TEST_F(PackageTest, ParsedPartsDoNotKeepTheirInflatedBytes) {
  ASSERT_EQ(open_parts(pkg_test::minimal_workbook_parts()), XLSX_OK);
  XlsxArchive* archive = xlsx_package_archive(pkg_);
  ASSERT_NE(xlsx_part_root(xlsx_package_find_part(pkg_, "xl/worksheets/sheet1.xml")), nullptr);
  for (uint32_t i = 0; i < xlsx_archive_entry_count(archive); i++) {
    EXPECT_EQ(xlsx_archive_entry_at(archive, i)->data, nullptr) << xlsx_archive_entry_at(archive, i)->name;
  }
  EXPECT_EQ(archive->inflated_total, 0u);
  const char* data = nullptr;
  ASSERT_EQ(xlsx_archive_get_entry(archive, "xl/worksheets/sheet1.xml", &data, nullptr), XLSX_OK);
  EXPECT_NE(strstr(data, "<sheetData>"), nullptr);  // inflated again on request
}

TEST_F(PackageTest, FileWithoutSharedStringsGetsTheDefaultPart) {
  auto parts = pkg_test::minimal_workbook_parts();
  pkg_test::remove_part(&parts, "xl/sharedStrings.xml");
  pkg_test::replace_part(&parts, "[Content_Types].xml",
                         "<Types xmlns=\"http://schemas.openxmlformats.org/package/2006/content-types\">"
                         "<Override PartName=\"/xl/workbook.xml\" ContentType=\"application/"
                         "vnd.openxmlformats-officedocument.spreadsheetml.sheet.main+xml\"/></Types>");
  pkg_test::replace_part(&parts, "xl/_rels/workbook.xml.rels",
                         "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
                         "<Relationship Id=\"rId1\" Type=\"http://schemas.openxmlformats.org/officeDocument/2006/"
                         "relationships/worksheet\" Target=\"worksheets/sheet1.xml\"/><Relationship Id=\"rId3\" "
                         "Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/styles\" "
                         "Target=\"styles.xml\"/></Relationships>");
  ASSERT_EQ(open_parts(parts), XLSX_OK);
  XlsxPart* sst = xlsx_package_find_part(pkg_, "xl/sharedStrings.xml");
  ASSERT_NE(sst, nullptr);
  EXPECT_STREQ(xlsx_part_rel_id(sst), "rId4");
  EXPECT_EQ(xlsx_part_content_type(sst), 7u);
  EXPECT_EQ(std::string(XLSX_DEFAULT_SHARED_STRINGS), pkg_test::zip_entry(save_as("out.xlsx"), "xl/sharedStrings.xml"));
  EXPECT_EQ(pkg_test::zip_names(save_as("out.xlsx")).back(), "xl/sharedStrings.xml");
}

TEST_F(PackageTest, ExistingSharedStringsDeclarationsAreNotDuplicated) {
  // The override and relationship are there, only the entry is missing.
  auto parts = pkg_test::minimal_workbook_parts();
  pkg_test::remove_part(&parts, "xl/sharedStrings.xml");
  ASSERT_EQ(open_parts(parts), XLSX_OK);
  std::string saved = save_as("out.xlsx");
  std::string types = pkg_test::zip_entry(saved, "[Content_Types].xml");
  std::string rels = pkg_test::zip_entry(saved, "xl/_rels/workbook.xml.rels");
  EXPECT_EQ(types.find("/xl/sharedStrings.xml"), types.rfind("/xl/sharedStrings.xml"));
  EXPECT_EQ(rels.find("sharedStrings.xml"), rels.rfind("sharedStrings.xml"));
}

TEST_F(PackageTest, MissingWorkbookOverrideIsAddedAtTheEnd) {
  auto parts = pkg_test::minimal_workbook_parts();
  pkg_test::replace_part(&parts, "[Content_Types].xml",
                         "<Types><Default Extension=\"xml\" ContentType=\"application/xml\"/>"
                         "<Override PartName=\"/xl/sharedStrings.xml\" ContentType=\"application/"
                         "vnd.openxmlformats-officedocument.spreadsheetml.sharedStrings+xml\"/></Types>");
  ASSERT_EQ(open_parts(parts), XLSX_OK);
  XmlNode* last = xml_node_last_child(root_of("[Content_Types].xml"));
  EXPECT_STREQ(xml_attribute_value(xml_node_attribute(last, "PartName")), "/xl/workbook.xml");
  EXPECT_EQ(xlsx_part_content_type(xlsx_package_find_part(pkg_, "xl/workbook.xml")), 0u);
}

TEST_F(PackageTest, AbsoluteRelationshipTargetGivesAnEmptyRelationshipId) {
  auto parts = pkg_test::minimal_workbook_parts();
  pkg_test::replace_part(&parts, "xl/_rels/workbook.xml.rels",
                         "<Relationships><Relationship Id=\"rId1\" Type=\"http://schemas.openxmlformats.org/"
                         "officeDocument/2006/relationships/worksheet\" Target=\"/xl/worksheets/sheet1.xml\"/>"
                         "</Relationships>");
  ASSERT_EQ(open_parts(parts), XLSX_OK);
  EXPECT_STREQ(xlsx_part_rel_id(xlsx_package_find_part(pkg_, "xl/worksheets/sheet1.xml")), "");
}

TEST_F(PackageTest, DuplicateOverrideGivesOnePart) {
  auto parts = pkg_test::minimal_workbook_parts();
  std::string types = parts[0].data;
  std::string dup = "<Override PartName=\"/xl/worksheets/sheet1.xml\" ContentType=\"application/"
                    "vnd.openxmlformats-officedocument.spreadsheetml.worksheet+xml\"/>";
  types.insert(types.find("</Types>"), dup);
  pkg_test::replace_part(&parts, "[Content_Types].xml", types);
  ASSERT_EQ(open_parts(parts), XLSX_OK);
  int count = 0;
  for (const std::string& p : part_paths(pkg_)) count += p == "xl/worksheets/sheet1.xml";
  EXPECT_EQ(count, 1);
  std::string saved = save_as("out.xlsx");
  auto names = pkg_test::zip_names(saved);
  EXPECT_EQ(std::count(names.begin(), names.end(), "xl/worksheets/sheet1.xml"), 1);
}

// A ZIP that is not a workbook package (no [Content_Types].xml, or no entry at all) is refused like a
// file that is not a ZIP: the file is left as it was, and the document that was open is closed.
TEST_F(PackageTest, ZipWithoutContentTypesIsRefusedAndLeftAsItWas) {
  auto workbook = pkg_test::minimal_workbook_parts();
  pkg_test::remove_part(&workbook, "[Content_Types].xml");
  const std::string refused[] = {pkg_test::make_zip({{"readme.txt", "hello"}}), pkg_test::make_zip(workbook),
                                 std::string("PK\x05\x06", 4) + std::string(18, '\0')};
  for (const std::string& bytes : refused) {
    SCOPED_TRACE(pkg_test::zip_names(bytes).empty() ? "no entry" : pkg_test::zip_names(bytes)[0]);
    ASSERT_EQ(open_parts(pkg_test::minimal_workbook_parts(), "good.xlsx"), XLSX_OK);
    pkg_test::write_bytes(path("in.xlsx"), bytes);
    EXPECT_EQ(xlsx_package_open(pkg_, path("in.xlsx").c_str()), XLSX_ERR_PARSE);
    EXPECT_FALSE(xlsx_package_is_open(pkg_));
    EXPECT_EQ(xlsx_package_archive(pkg_), nullptr);
    EXPECT_EQ(xlsx_package_part_count(pkg_), 0u);
    EXPECT_STREQ(xlsx_package_path(pkg_), "");
    EXPECT_EQ(xlsx_package_save(pkg_), XLSX_ERR_INVALID_ARG);
    EXPECT_EQ(pkg_test::read_bytes(path("in.xlsx")), bytes);
  }
}

TEST_F(PackageTest, PackageWithAnEmptyContentTypesPartOpensWithoutSheets) {
  ASSERT_EQ(open_parts({{"[Content_Types].xml", "<Types/>"}, {"readme.txt", "hello"}}), XLSX_OK);
  EXPECT_EQ(part_paths(pkg_), (Names{"[Content_Types].xml", "_rels/.rels", "xl/_rels/workbook.xml.rels",
                                     "xl/sharedStrings.xml", "xl/workbook.xml"}));
  EXPECT_EQ(xlsx_package_core_properties(pkg_), nullptr);
  std::string saved = save_as("out.xlsx");
  EXPECT_EQ(pkg_test::zip_entry(saved, "readme.txt"), "hello");
  // The relationship parts and the workbook that the file lacks are not written as empty entries.
  EXPECT_EQ(pkg_test::zip_names(saved), (Names{"[Content_Types].xml", "readme.txt", "xl/sharedStrings.xml"}));
}

TEST_F(PackageTest, OpeningAgainReplacesTheOpenFile) {
  ASSERT_EQ(open_parts(pkg_test::minimal_workbook_parts(), "a.xlsx"), XLSX_OK);
  ASSERT_EQ(open_parts({{"[Content_Types].xml", "<Types/>"}, {"x.txt", "x"}}, "b.xlsx"), XLSX_OK);
  EXPECT_EQ(std::string(xlsx_package_path(pkg_)), path("b.xlsx"));
  EXPECT_EQ(xlsx_package_find_part(pkg_, "xl/worksheets/sheet1.xml"), nullptr);
  EXPECT_EQ(xlsx_package_core_properties(pkg_), nullptr);
  std::string own = xlsx_package_path(pkg_);
  ASSERT_EQ(xlsx_package_open(pkg_, pkg_->path), XLSX_OK);  // its own path text, freed by the reset
  EXPECT_EQ(std::string(xlsx_package_path(pkg_)), own);
}

TEST_F(PackageTest, CloseAndAccessorsOfNull) {
  ASSERT_EQ(open_parts(pkg_test::minimal_workbook_parts()), XLSX_OK);
  xlsx_package_close(pkg_);
  EXPECT_FALSE(xlsx_package_is_open(pkg_));
  EXPECT_EQ(xlsx_package_part_count(pkg_), 0u);
  EXPECT_STREQ(xlsx_package_path(pkg_), "");
  EXPECT_EQ(xlsx_package_save(pkg_), XLSX_ERR_INVALID_ARG);
  xlsx_package_close(nullptr);
  EXPECT_EQ(xlsx_package_archive(nullptr), nullptr);
  EXPECT_EQ(xlsx_package_content_types(nullptr), nullptr);
  EXPECT_EQ(xlsx_package_workbook_rels(nullptr), nullptr);
  EXPECT_EQ(xlsx_package_find_part(nullptr, "x"), nullptr);
  EXPECT_FALSE(xlsx_package_has_part(pkg_, "x"));
}

TEST_F(PackageTest, AddFindAndRemoveParts) {
  ASSERT_EQ(open_parts(pkg_test::minimal_workbook_parts()), XLSX_OK);
  uint32_t count = xlsx_package_part_count(pkg_);
  XlsxPart* added = xlsx_package_add_part(pkg_, "xl/worksheets/sheet9.xml", "rId9", 2);
  ASSERT_NE(added, nullptr);
  EXPECT_EQ(xlsx_package_find_part(pkg_, "xl/worksheets/sheet9.xml"), added);
  EXPECT_EQ(xlsx_part_root(added), nullptr);  // no entry yet: loads empty
  xlsx_package_remove_part(pkg_, "xl/worksheets/sheet9.xml");
  xlsx_package_remove_part(pkg_, "xl/worksheets/sheet9.xml");
  EXPECT_EQ(xlsx_package_part_count(pkg_), count);
  EXPECT_EQ(xlsx_package_add_part(pkg_, nullptr, "", 2), nullptr);
}

TEST_F(PackageTest, TemplateIsAValidZipOfTenEntriesInOrder) {
  std::string bytes(reinterpret_cast<const char*>(xlsx_template_bytes), xlsx_template_size);
  auto records = pkg_test::zip_records(bytes);
  Names names;
  for (const auto& r : records) {
    names.push_back(r.name);
    EXPECT_EQ(r.method, 8) << r.name;
  }
  EXPECT_EQ(names, kTemplateEntries);
  std::string workbook = pkg_test::zip_entry(bytes, "xl/workbook.xml");
  EXPECT_NE(workbook.find("<sheet name=\"Sheet1\" sheetId=\"1\" r:id=\"rId1\"/>"), std::string::npos);
  EXPECT_EQ(workbook.find("absPath"), std::string::npos);
  std::string theme = pkg_test::zip_entry(bytes, "xl/theme/theme1.xml");
  EXPECT_NE(theme.find("name=\"Office Theme\""), std::string::npos);
  EXPECT_NE(theme.find("typeface=\"Calibri Light\""), std::string::npos);
}

TEST_F(PackageTest, CreateWritesTheTemplateAtOnceOpensItAndSavesItsEntries) {
  pkg_test::write_bytes(path("new.xlsx"), "an old file that is replaced");
  ASSERT_EQ(xlsx_package_create(pkg_, path("new.xlsx").c_str()), XLSX_OK);
  EXPECT_EQ(pkg_test::zip_names(pkg_test::read_bytes(path("new.xlsx"))), kTemplateEntries);
  EXPECT_TRUE(xlsx_package_is_open(pkg_));
  EXPECT_EQ(xlsx_part_content_type(xlsx_package_find_part(pkg_, "xl/theme/theme1.xml")), 5u);
  EXPECT_EQ(pkg_test::zip_names(save_as("saved.xlsx")), kTemplateEntries);
}

TEST_F(PackageTest, CreateInAMissingFolderFailsAndOpensNothing) {
  EXPECT_EQ(xlsx_package_create(pkg_, path("no/such/folder/new.xlsx").c_str()), XLSX_ERR_IO);
  EXPECT_FALSE(xlsx_package_is_open(pkg_));
  EXPECT_EQ(xlsx_package_create(pkg_, nullptr), XLSX_ERR_INVALID_ARG);
}

}  // namespace

// Opening, creating and saving packages: the parts list built from the content types, the parts a file
// lacks, the template, records kept bit for bit, and failures (refused files, no memory) that leave the
// package and the file on disk as they were. Parts parsed on first use, and the parts the package reads
// itself: content types, relationships and the document properties.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "lib/base/alloc.h"
#include "lib/package/content_types.h"
#include "lib/package/package.h"
#include "lib/package/part.h"
#include "lib/package/properties.h"
#include "lib/package/relationships.h"
#include "lib/package/template.h"
#include "lib/xml/parser.h"
#include "lib/xml/tree.h"
#include "tests/support/cases.h"
#include "tests/support/fault_alloc.h"
#include "tests/support/live_allocations.h"
#include "tests/support/part_text.h"
#include "tests/support/temp_dir.h"
#include "tests/support/zip.h"

namespace {

using namespace xlsx_test;

using Names = std::vector<std::string>;
std::vector<Case> cases(const char* kind) { return read_cases("package/package.cases", kind); }
const std::string kCt = "application/vnd.openxmlformats-officedocument.spreadsheetml.";
const std::string kRel = "http://schemas.openxmlformats.org/officeDocument/2006/relationships/";

// A relationship of type kRel + type, and a relationships part of them.
std::string rel(const std::string& id, const std::string& target = "t.xml", const std::string& type = "worksheet") {
  return "<Relationship Id=\"" + id + "\" Type=\"" + kRel + type + "\" Target=\"" + target + "\"/>";
}
std::string rels(const std::string& children) { return "<Relationships>" + children + "</Relationships>"; }

class PackageTest : public CountedTest {
 protected:
  void SetUp() override { CountedTest::SetUp(); xlsx_package_init(&package_); }
  void TearDown() override { xlsx_package_close(pkg_); CountedTest::TearDown(); }
  std::string path(const char* name) { return dir_.file(name); }
  // Writes the parts as a package and opens it.
  xlsx_status open_parts(const std::vector<ZipInput>& parts, const char* name = "in.xlsx") {
    write_bytes(path(name), make_zip(parts));
    return xlsx_package_open(pkg_, path(name).c_str());
  }
  std::string save_as(const char* name) {
    EXPECT_EQ(xlsx_package_save_as(pkg_, path(name).c_str()), XLSX_OK);
    return read_bytes(path(name));
  }
  XlsxPart* part(const char* part_path) { return xlsx_package_find_part(pkg_, part_path); }
  XmlNode* root_of(const char* part_path) { return xlsx_part_root(part(part_path)); }
  std::string part_xml(const char* part_path) { return part_text(part(part_path)); }
  TempDir dir_;
  XlsxPackage package_;
  XlsxPackage* pkg_ = &package_;
};

Names part_paths(XlsxPackage* package) {
  Names out;
  for (uint32_t i = 0; i < xlsx_package_part_count(package); i++)
    out.push_back(xlsx_part_path(xlsx_package_part_at(package, i)));
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
  remove_part(&no_types, "[Content_Types].xml");
  const struct { std::string bytes; xlsx_status status; } rows[] = {{"", XLSX_ERR_IO},  // no file
              {make_zip({{"readme.txt", "hello"}}), XLSX_ERR_PARSE},
              {make_zip(no_types), XLSX_ERR_PARSE},
              {std::string("PK\x05\x06", 4) + std::string(18, '\0'), XLSX_ERR_PARSE}};
  for (const auto& row : rows) {
    ASSERT_EQ(open_parts(workbook_parts(), "good.xlsx"), XLSX_OK);
    std::string path = dir_.file(row.bytes.empty() ? "missing.xlsx" : "in.xlsx");
    if (!row.bytes.empty()) write_bytes(path, row.bytes);
    EXPECT_EQ(xlsx_package_open(pkg_, path.c_str()), row.status) << row.bytes.size();
    EXPECT_TRUE(!xlsx_package_is_open(pkg_) && !xlsx_package_archive(pkg_) && xlsx_package_part_count(pkg_) == 0);
    EXPECT_TRUE(*xlsx_package_path(pkg_) == '\0' && xlsx_package_save(pkg_) == XLSX_ERR_INVALID_ARG);
    EXPECT_TRUE(row.bytes.empty() || read_bytes(path) == row.bytes) << "the file is left as it was";
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
  remove_part(&parts, "xl/sharedStrings.xml");
  const std::string sheet = override_of("/xl/worksheets/sheet1.xml", kCt + "worksheet+xml");
  replace_part(&parts, "[Content_Types].xml", "<Types>" + sheet + sheet + "</Types>");
  replace_part(&parts, "xl/_rels/workbook.xml.rels", rels(rel("rId7", "/xl/worksheets/sheet1.xml")));
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
  for (const Case& c : cases("workbook")) {
    auto parts = with_types(c[1] == "-" ? "" : override_of("/book/main.xml", kCt + c[1]));
    for (const ZipInput& p : workbook_parts())
      if (p.name == "xl/workbook.xml") parts.push_back({"book/main.xml", p.data});
    replace_part(&parts, "_rels/.rels", rels(rel("rId1", c[0], "officeDocument")));
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
  for (const auto& record : zip_records(bytes)) EXPECT_EQ(record.method, 8) << record.name;
  std::string workbook = zip_entry(bytes, "xl/workbook.xml");
  EXPECT_NE(workbook.find("<sheet name=\"Sheet1\" sheetId=\"1\" r:id=\"rId1\"/>"), std::string::npos);
  EXPECT_EQ(workbook.find("absPath"), std::string::npos);
  write_bytes(path("new.xlsx"), "an old file that is replaced");
  ASSERT_EQ(xlsx_package_create(pkg_, path("new.xlsx").c_str()), XLSX_OK);
  EXPECT_EQ(zip_names(read_bytes(path("new.xlsx"))), entries);
  EXPECT_EQ(zip_names(save_as("saved.xlsx")), entries);
  EXPECT_EQ(xlsx_package_create(pkg_, path("no/such/folder/new.xlsx").c_str()), XLSX_ERR_IO);
  EXPECT_EQ(std::string(xlsx_package_path(pkg_)), path("saved.xlsx")) << "the open package is left as it was";
  EXPECT_EQ(xlsx_package_create(pkg_, nullptr), XLSX_ERR_INVALID_ARG);
}

// A workbook with a macro project, an image, a part that does not parse and a relationship part.
std::vector<ZipInput> workbook_with_extras() {
  auto parts = with_types("<Default Extension=\"bin\" ContentType=\"application/vnd.ms-office.vbaProject\"/>"
                          "<Default Extension=\"png\" ContentType=\"image/png\"/>" +
                          override_of("/xl/broken.xml", kCt + "comments+xml"));
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
  std::string original = read_bytes(path("in.xlsx"));
  for (uint32_t i = 0; i < xlsx_package_part_count(pkg_); i++) xlsx_part_load(xlsx_package_part_at(pkg_, i));
  xlsx_package_get_property(pkg_, XLSX_PROP_KEYWORDS);  // absent: reading must not add it
  EXPECT_EQ(save_as("out.xlsx"), original);
  EXPECT_EQ(xlsx_part_load_status(part("xl/broken.xml")), XLSX_ERR_PARSE);
  ASSERT_EQ(xlsx_package_set_property(pkg_, XLSX_PROP_TITLE, "Changed"), XLSX_OK);
  std::string saved = save_as("out.xlsx");
  std::map<std::string, std::string> after;  // raw records by name
  for (auto& r : zip_records(saved)) after[r.name] = r.raw;
  for (auto& r : zip_records(original))
    EXPECT_EQ(after[r.name] == r.raw, r.name != "docProps/core.xml") << r.name;
  EXPECT_NE(zip_entry(saved, "docProps/core.xml").find("<dc:title>Changed</dc:title>"), std::string::npos);
  ASSERT_EQ(xlsx_package_set_property(pkg_, XLSX_PROP_TITLE, "again"), XLSX_OK);
  EXPECT_EQ(zip_entry(save_as("out.xlsx"), "xl/broken.xml"), "<comments><unterminated attr=></comments>");
  auto parts = with_types(override_of("/xl/calcChain.xml", kCt + "calcChain+xml"));
  replace_part(&parts, "xl/_rels/workbook.xml.rels",
                          rels(rel("rId1", "worksheets/sheet1.xml") + rel("rId5", "calcChain.xml", "calcChain")));
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

// A save failing for lack of memory keeps the file, and a later save works; failed property edits change
// nothing. (An open failing at each allocation is checked with the document, which opens its package.)
TEST_F(PackageTest, AllocationFailureLeavesPackageAndFileAsTheyWere) {
  ASSERT_EQ(open_parts(workbook_parts()), XLSX_OK);
  const std::string original = read_bytes(path("in.xlsx"));
  std::string title;
  for (uint32_t n = 1;; n++) {
    ASSERT_LT(n, 2000u);
    title = "run " + std::to_string(n);
    ASSERT_EQ(xlsx_package_set_property(pkg_, XLSX_PROP_TITLE, title.c_str()), XLSX_OK);
    FaultAllocation fault(n);
    xlsx_status status = xlsx_package_save(pkg_);
    if (fault.failures() == 0) break;
    ASSERT_EQ(status, XLSX_ERR_NO_MEMORY) << "allocation " << n;
    ASSERT_EQ(read_bytes(path("in.xlsx")), original) << "allocation " << n;
  }
  ASSERT_EQ(xlsx_package_open(pkg_, path("in.xlsx").c_str()), XLSX_OK);
  EXPECT_EQ(xlsx_package_get_property(pkg_, XLSX_PROP_TITLE), title);
  ASSERT_EQ(xlsx_package_create(pkg_, path("t.xlsx").c_str()), XLSX_OK);
  const std::string core = part_xml("docProps/core.xml"), app = part_xml("docProps/app.xml");
  XlsxPart* app_part = xlsx_package_app_properties(pkg_);
  for_each_allocation_failure([&](FaultAllocation& fault) {
    xlsx_status a = xlsx_package_set_property(pkg_, XLSX_PROP_KEYWORDS, "a fairly long keyword text");
    xlsx_status b = xlsx_app_add_title(app_part, "Another sheet with a long name");
    fault.fail_after(0);
    EXPECT_TRUE(a == XLSX_OK ? xlsx_package_delete_property(pkg_, XLSX_PROP_KEYWORDS) == XLSX_OK
                             : a == XLSX_ERR_NO_MEMORY && part_xml("docProps/core.xml") == core);
    EXPECT_TRUE(b == XLSX_OK ? xlsx_app_remove_title(app_part, "Another sheet with a long name") == XLSX_OK
                             : b == XLSX_ERR_NO_MEMORY && part_xml("docProps/app.xml") == app);
  });
}

struct Source { std::string text; xlsx_status failure = XLSX_OK; int calls = 0; };

// The loader of the part tests: the bytes of the Source given as context, or its failure.
const char* fake_loader(void* context, const char* path, uint32_t* size, xlsx_status* status) {
  Source* source = static_cast<Source*>(context);
  source->calls++;
  EXPECT_NE(path, nullptr);
  if (source->failure == XLSX_OK) *size = uint32_t(source->text.size());
  else *status = source->failure;
  return source->failure == XLSX_OK ? source->text.data() : nullptr;
}

// A part of its own, loaded from source_ (or by load()), for the part, content type and relationship tests.
class PartTest : public CountedTest {
 protected:
  void SetUp() override { CountedTest::SetUp(); init("rId7"); }
  void TearDown() override { xlsx_part_free(&part_); CountedTest::TearDown(); }
  void init(const char* rel_id = "") {
    xlsx_part_free(&part_);
    ASSERT_EQ(xlsx_part_init(&part_, nullptr, "xl/part.xml", rel_id, 2), XLSX_OK);
    xlsx_part_set_loader(&part_, fake_loader, &source_);
    types_.part = rels_.part = &part_;
  }
  void load(const std::string& xml) {
    ASSERT_EQ(xml_document_load_buffer(part_.xml, xml.c_str(), 0, XML_PARSE_PACKAGE), XLSX_OK);
    part_.loaded = 1;
  }
  std::string xml() { return part_text(&part_); }
  Source source_;
  XlsxPart part_ = {};
  XlsxContentTypes types_ = {};
  XlsxRelationships rels_ = {};
};

// The first use parses once; edits make the part dirty; a tree built before the first use is kept.
TEST_F(PartTest, FirstUseParsesOnceAndEditsMakeThePartDirty) {
  EXPECT_TRUE(std::string(xlsx_part_path(&part_)) == "xl/part.xml" && std::string(xlsx_part_rel_id(&part_)) == "rId7");
  EXPECT_TRUE(xlsx_part_content_type(&part_) == 2 && source_.calls == 0);
  EXPECT_TRUE(*xlsx_part_path(nullptr) == '\0' && *xlsx_part_rel_id(nullptr) == '\0');
  EXPECT_EQ(xlsx_part_content_type(nullptr), 21u);
  EXPECT_TRUE(xlsx_part_load(nullptr) == nullptr && xlsx_part_root(nullptr) == nullptr);
  source_.text = "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\r\n<root a=\"1\"><b>t</b></root>";
  XmlNode* root = xlsx_part_root(&part_);
  ASSERT_NE(root, nullptr);
  EXPECT_TRUE(xlsx_part_root(&part_) == root && source_.calls == 1 && xlsx_part_load_status(&part_) == XLSX_OK);
  EXPECT_FALSE(xlsx_part_is_dirty(&part_));
  EXPECT_EQ(xml(), "<?xml version=\"1.0\"?><root a=\"1\"><b>t</b></root>");
  ASSERT_NE(xml_node_set_attribute(root, "x", "1"), nullptr);
  EXPECT_TRUE(xlsx_part_is_dirty(&part_));
  xlsx_part_mark_clean(&part_);
  EXPECT_FALSE(xlsx_part_is_dirty(&part_) || xlsx_part_is_dirty(nullptr));
  char* text = nullptr;
  uint32_t length = 0;
  EXPECT_TRUE(xlsx_part_serialize(nullptr, &text, &length) == XLSX_ERR_INVALID_ARG &&
              xlsx_part_serialize(&part_, nullptr, &length) == XLSX_ERR_INVALID_ARG);
  init();
  ASSERT_NE(xml_node_append_child(&part_.xml->node, "built"), nullptr);
  EXPECT_STREQ(xml_node_name(xlsx_part_root(&part_)), "built");
  EXPECT_TRUE(xlsx_part_is_dirty(&part_) && source_.calls == 1);
}

// Text that is not XML and bytes the loader cannot give leave an empty tree with the failure as status,
// the loader not asked again; out of memory is retried at the next use.
TEST_F(PartTest, UnreadableBytesGiveAnEmptyTreeAndAStatusOnce) {
  const struct { std::string text; xlsx_status failure; } rows[] = {
      {"<root attr=></root>", XLSX_OK}, {std::string("PK\x03\x04\x00bin", 8), XLSX_OK}, {"", XLSX_OK},
      {"<root/>", XLSX_ERR_PARSE}, {"<root/>", XLSX_ERR_NO_MEMORY}};
  for (const auto& row : rows) {
    init();
    source_ = {row.text, row.failure, 0};
    EXPECT_EQ(xlsx_part_root(&part_), nullptr);
    if (row.failure == XLSX_ERR_NO_MEMORY) break;
    EXPECT_EQ(xlsx_part_load_status(&part_), XLSX_ERR_PARSE);
    EXPECT_TRUE(xlsx_part_root(&part_) == nullptr && source_.calls == 1);
  }
  EXPECT_EQ(part_.loaded, 0u);
  source_.failure = XLSX_OK;
  EXPECT_TRUE(xlsx_part_root(&part_) != nullptr && source_.calls == 2);
  init();
  xlsx_part_set_loader(&part_, nullptr, nullptr);  // nothing to read: an empty tree, settled
  EXPECT_TRUE(xlsx_part_root(&part_) == nullptr && part_.loaded == 1 && xlsx_part_load_status(&part_) == XLSX_OK);
}

int g_released = 0;

// An attachment is released when replaced by another (not by itself) and when the part is freed.
TEST_F(PartTest, AttachmentIsReleasedWhenReplacedAndWhenThePartIsFreed) {
  auto release = [](void* extra) { g_released++, xlsx_free(extra); };
  void* first = xlsx_malloc(8);
  xlsx_part_set_extra(&part_, first, release);
  xlsx_part_set_extra(&part_, first, release);
  EXPECT_TRUE(xlsx_part_extra(&part_) == first && g_released == 0);
  xlsx_part_set_extra(&part_, xlsx_malloc(8), release);
  EXPECT_EQ(g_released, 1);
  xlsx_part_free(&part_);
  EXPECT_EQ(g_released, 2);
  EXPECT_TRUE(xlsx_part_extra(&part_) == nullptr && xlsx_part_extra(nullptr) == nullptr);
}

// Type codes and texts map both ways; overrides are listed, found, appended with their attributes in
// order and removed (the first of two; defaults never); codes without a text add nothing.
TEST_F(PartTest, ContentTypesListFindAddAndRemoveOverrides) {
  const std::string worksheet = kCt + "worksheet+xml";
  EXPECT_EQ(xlsx_content_type_text(2), worksheet);
  for (uint32_t code = 0; code <= 20; code++) EXPECT_EQ(xlsx_content_type_code(xlsx_content_type_text(code)), code);
  EXPECT_EQ(xlsx_content_type_text(21), nullptr);
  for (const char* other : {"application/xml", "APPLICATION/VND.MS-OFFICE.VBAPROJECT", (const char*)nullptr})
    EXPECT_EQ(xlsx_content_type_code(other), 21u) << (other ? other : "null");
  DynArray list;
  dynarray_init(&list, sizeof(XlsxContentItem), nullptr);
  EXPECT_EQ(xlsx_content_types_root(&types_), nullptr) << "a part without root lists nothing";
  EXPECT_TRUE(xlsx_content_types_list(&types_, &list) == XLSX_OK && list.count == 0);
  EXPECT_EQ(xlsx_content_types_list(&types_, nullptr), XLSX_ERR_INVALID_ARG);
  load("<Types>\n  <Default Extension=\"xml\" ContentType=\"application/xml\"/>\n  <!-- note -->\n"
       "  <Override PartName=\"/w.xml\" ContentType=\"" + worksheet + "\"/>\n"
       "  <Override PartName=\"/u.xml\" ContentType=\"application/unknown\"/><Override PartName=\"/n.xml\"/></Types>");
  ASSERT_EQ(xlsx_content_types_list(&types_, &list), XLSX_OK);
  ASSERT_EQ(list.count, 3u);
  EXPECT_STREQ(xlsx_content_item_part_name(*static_cast<XlsxContentItem*>(dynarray_get(&list, 2))), "/n.xml");
  dynarray_free(&list);
  for (auto [name, type] : {std::pair{"/w.xml", 2u}, {"/u.xml", 21u}, {"/n.xml", 21u}, {"/missing.xml", 21u}})
    EXPECT_EQ(xlsx_content_item_type(xlsx_content_types_find(&types_, name)), type) << name;
  EXPECT_STREQ(xlsx_content_item_part_name(XlsxContentItem{nullptr}), "");
  EXPECT_EQ(xlsx_content_types_find(&types_, "/missing.xml").node, nullptr);
  const std::string before = xml();
  EXPECT_EQ(xlsx_content_types_add(&types_, "/x.xml", 21), XLSX_OK);
  EXPECT_EQ(xlsx_content_types_add(&types_, "/x.xml", 99), XLSX_OK);
  EXPECT_EQ(xlsx_content_types_remove(&types_, "/xml"), 0);
  EXPECT_EQ(xlsx_content_types_add(nullptr, "/x.xml", 2), XLSX_OK);
  EXPECT_EQ(xml(), before);
  ASSERT_EQ(xlsx_content_types_add(&types_, "/w.xml", 3), XLSX_OK);
  EXPECT_NE(xml().find("<Override PartName=\"/n.xml\"/>" + override_of("/w.xml", kCt + "chartsheet+xml")),
            std::string::npos);
  EXPECT_EQ(xlsx_content_types_remove(&types_, "/w.xml"), 1);
  EXPECT_EQ(xlsx_content_item_type(xlsx_content_types_find(&types_, "/w.xml")), 3u);
  EXPECT_EQ(xlsx_content_types_remove(&types_, "/absent.xml"), 0);
}

// Type codes and URIs map both ways (6 and 7 have none); relationships are found by id, target and
// type; a new one gets the next free id (tests/package/package.cases), external ones their mode.
TEST_F(PartTest, RelationshipsFindAndAddWithTheNextFreeId) {
  EXPECT_EQ(xlsx_rel_type_uri(4), kRel + "worksheet");
  for (uint32_t code = 0; code <= 22; code++) {
    const char* uri = xlsx_rel_type_uri(code);
    EXPECT_EQ(uri == nullptr, code == 6 || code == 7) << code;
    EXPECT_TRUE(!uri || xlsx_rel_type_code(uri) == code) << code;
  }
  EXPECT_TRUE(!xlsx_rel_type_uri(23) && xlsx_rel_type_code(nullptr) == 23 && xlsx_rel_type_code("http://x/o") == 23);
  EXPECT_EQ(xlsx_rels_add(&rels_, 4, "x").node, nullptr) << "a part without root";
  for (const Case& c : cases("next_id")) {
    std::string children, id;
    for (std::istringstream ids(c[0]); ids >> id;) children += rel(id);
    load(rels(children));
    EXPECT_TRUE(c[1] == "-" || xlsx_rels_remove_by_id(&rels_, c[1].c_str()) == 1) << c.where;
    EXPECT_STREQ(xlsx_rel_item_id(xlsx_rels_add(&rels_, 4, "new.xml")), c[2].c_str()) << c.where;
  }
  load(rels("\n  " + rel("rId1", "worksheets/sheet1.xml") + "\n  " + rel("rId2", "styles.xml", "styles") +
            "\n  <Relationship Id=\"rId3\" Type=\"http://example.com/c\" Target=\"c\"/>"));
  XlsxRelItem by_id = xlsx_rels_find_by_id(&rels_, "rId2");
  EXPECT_TRUE(std::string(xlsx_rel_item_target(by_id)) == "styles.xml" && xlsx_rel_item_type(by_id) == 12);
  EXPECT_EQ(xlsx_rel_item_type(xlsx_rels_find_by_id(&rels_, "rId3")), 23u);
  EXPECT_STREQ(xlsx_rel_item_id(xlsx_rels_find_by_target(&rels_, "worksheets/sheet1.xml")), "rId1");
  EXPECT_STREQ(xlsx_rel_item_id(xlsx_rels_find_by_type(&rels_, 12)), "rId2");
  EXPECT_TRUE(!xlsx_rels_find_by_id(&rels_, "RID2").node && !xlsx_rels_find_by_target(&rels_, nullptr).node &&
              !xlsx_rels_find_by_id(nullptr, "rId1").node);
  EXPECT_TRUE(*xlsx_rel_item_id(XlsxRelItem{nullptr}) == '\0' && xlsx_rel_item_type(XlsxRelItem{nullptr}) == 23);
  const std::string before = xml();
  EXPECT_EQ(xlsx_rels_remove_by_id(&rels_, "rId9"), 0);
  for (uint32_t code : {6u, 7u, 23u, 500u}) EXPECT_EQ(xlsx_rels_add(&rels_, code, "x").node, nullptr) << code;
  EXPECT_EQ(xml(), before);
  ASSERT_NE(xlsx_rels_add(&rels_, 10, "file.xlsx").node, nullptr);
  EXPECT_NE(xml().find("<Relationship Id=\"rId4\" Type=\"" + kRel +
                       "externalLinkPath\" Target=\"file.xlsx\" TargetMode=\"External\"/>"),
            std::string::npos);
}

class PropertiesTest : public PackageTest {
 protected:
  void SetUp() override { PackageTest::SetUp(); ASSERT_EQ(xlsx_package_create(pkg_, path("t.xlsx").c_str()), XLSX_OK); }
  XlsxPart* app() { return xlsx_package_app_properties(pkg_); }
  auto vector() { return xml_node_child(xml_node_child(root_of("docProps/app.xml"), "TitlesOfParts"), "vt:vector"); }
  std::string titles() {
    std::string out = std::string("size=") + xml_attribute_value(xml_node_attribute(vector(), "size")) + ":";
    for (XmlNode* n = xml_node_child(vector(), "vt:lpstr"); n; n = xml_node_next_sibling_named(n, "vt:lpstr"))
      out += std::string(xml_node_text(n)) + ";";
    return out;
  }
};

// The restricted properties refuse values outside their rules (tests/package/package.cases) and keep
// the old value; numbers out of range are refused.
TEST_F(PropertiesTest, ValueRulesOfTheRestrictedProperties) {
  EXPECT_STREQ(xlsx_package_get_property(pkg_, XLSX_PROP_SCALE_CROP), "false");
  for (const Case& c : cases("property")) {
    uint32_t property = 0;
    while (property < XLSX_PROP_COUNT && c[0] != xlsx_property_element(property)) property++;
    const char* value = c[1] == "(null)" ? nullptr : c[1].c_str();
    std::string before = xlsx_package_get_property(pkg_, property);
    xlsx_status expected = c[2] == "ok" ? XLSX_OK : XLSX_ERR_INVALID_ARG;
    EXPECT_EQ(xlsx_package_set_property(pkg_, property, value), expected) << c.where;
    EXPECT_EQ(xlsx_package_get_property(pkg_, property), c[2] == "ok" ? std::string(value ? value : "") : before)
        << c.where;
  }
  EXPECT_EQ(xlsx_package_set_property(pkg_, 20, "x"), XLSX_ERR_INVALID_ARG);
  EXPECT_STREQ(xlsx_package_get_property(pkg_, 20), "");
  EXPECT_EQ(xlsx_package_delete_property(pkg_, 99), XLSX_ERR_INVALID_ARG);
  EXPECT_EQ(xlsx_property_element(20), nullptr);
  EXPECT_EQ(xlsx_package_set_property(nullptr, 0, "x"), XLSX_ERR_INVALID_ARG);
  EXPECT_STREQ(xlsx_package_get_property(nullptr, 0), "");
}

// A core part that declares only cp gets the namespaces of the elements set in it; a package without
// property parts stores nothing and says so.
TEST_F(PropertiesTest, OtherFilesDeclareWhatTheyLack) {
  ASSERT_EQ(open_parts({{"[Content_Types].xml", "<Types/>"}, {"a.txt", "x"}}), XLSX_OK);
  EXPECT_EQ(xlsx_package_set_property(pkg_, XLSX_PROP_TITLE, "t"), XLSX_ERR_NOT_FOUND);
  auto parts = workbook_parts();
  replace_part(&parts, "docProps/core.xml",
                          "<cp:coreProperties xmlns:cp=\"http://schemas.openxmlformats.org/package/2006/metadata/"
                          "core-properties\"/>");
  ASSERT_EQ(open_parts(parts), XLSX_OK);
  ASSERT_EQ(xlsx_package_set_property(pkg_, XLSX_PROP_MODIFIED, "2024-01-01T00:00:00Z"), XLSX_OK);
  ASSERT_EQ(xlsx_package_set_property(pkg_, XLSX_PROP_CREATOR, "me"), XLSX_OK);
  XmlNode* root = root_of("docProps/core.xml");
  EXPECT_STREQ(xml_attribute_value(xml_node_attribute(root, "xmlns:dcterms")), "http://purl.org/dc/terms/");
  EXPECT_STREQ(xml_attribute_value(xml_node_attribute(root, "xmlns:dc")), "http://purl.org/dc/elements/1.1/");
  EXPECT_STREQ(xlsx_package_get_property(pkg_, XLSX_PROP_CREATOR), "me");
}

TEST_F(PropertiesTest, SheetTitlesFollowAddRenameAndRemove) {
  EXPECT_EQ(titles(), "size=1:Sheet1;");
  ASSERT_EQ(xlsx_app_add_title(app(), "Sales"), XLSX_OK);
  ASSERT_EQ(xlsx_app_rename_title(app(), "Sales", "Costs"), XLSX_OK);
  EXPECT_EQ(titles(), "size=2:Sheet1;Costs;");
  ASSERT_EQ(xlsx_app_remove_title(app(), "Costs"), XLSX_OK);
  ASSERT_EQ(xlsx_app_remove_title(app(), "Nope"), XLSX_OK);
  ASSERT_EQ(xlsx_app_rename_title(app(), "Nope", "x"), XLSX_OK);
  EXPECT_EQ(titles(), "size=1:Sheet1;");
  EXPECT_EQ(xlsx_app_add_title(nullptr, "x"), XLSX_OK);
  // The size never wraps below zero nor past 32 bits; a vector without size gets none.
  ASSERT_NE(xml_node_set_attribute(vector(), "size", "0"), nullptr);
  ASSERT_EQ(xlsx_app_remove_title(app(), "Sheet1"), XLSX_OK);
  EXPECT_EQ(titles(), "size=0:");
  ASSERT_NE(xml_node_set_attribute(vector(), "size", "99999999999"), nullptr);
  ASSERT_EQ(xlsx_app_add_title(app(), "A"), XLSX_OK);
  EXPECT_EQ(titles(), "size=4294967296:A;");
  ASSERT_TRUE(xml_node_remove_attribute(vector(), "size"));
  ASSERT_EQ(xlsx_app_add_title(app(), "B"), XLSX_OK);
  EXPECT_FALSE(xml_node_has_attribute(vector(), "size"));
  auto parts = workbook_parts();
  replace_part(&parts, "docProps/app.xml",
                          "<Properties xmlns:vt=\"http://schemas.openxmlformats.org/officeDocument/2006/"
                          "docPropsVTypes\">\n  <TitlesOfParts>\n    <vt:vector size=\"1\" baseType=\"lpstr\">\n"
                          "      <vt:lpstr>Sheet1</vt:lpstr>\n    </vt:vector>\n  </TitlesOfParts>\n</Properties>\n");
  ASSERT_EQ(open_parts(parts), XLSX_OK);
  ASSERT_EQ(xlsx_app_add_title(app(), "Second"), XLSX_OK);
  ASSERT_EQ(xlsx_app_remove_title(app(), "Sheet1"), XLSX_OK);
  EXPECT_EQ(titles(), "size=1:Second;") << "an indented vector is found";
}

}  // namespace

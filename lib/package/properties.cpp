// Document properties: 20 named texts in docProps/core.xml and docProps/app.xml, and the sheet titles
// listed in docProps/app.xml.
#include "lib/package/properties.h"

#include <cstring>

#include "lib/base/alloc.h"
#include "lib/base/convert.h"
#include "lib/base/host_ops.h"
#include "lib/package/package.h"
#include "lib/package/part.h"
#include "lib/base/strbuf.h"
#include "lib/xml/escape.h"
#include "lib/xml/tree.h"

namespace {

enum ValueRule { kAnyText, kDocSecurity, kBoolean, kAppVersion, kDate };

struct PropertyRow {
  bool core;  // docProps/core.xml, else docProps/app.xml
  const char* element;
  ValueRule rule;
};

const PropertyRow kProperties[XLSX_PROP_COUNT] = {
    {true, "dc:title", kAnyText},          {true, "dc:subject", kAnyText},
    {true, "dc:creator", kAnyText},        {true, "cp:keywords", kAnyText},
    {true, "dc:description", kAnyText},    {true, "cp:lastModifiedBy", kAnyText},
    {true, "cp:lastPrinted", kDate},       {true, "dcterms:created", kDate},
    {true, "dcterms:modified", kDate},     {true, "cp:category", kAnyText},
    {false, "Application", kAnyText},      {false, "DocSecurity", kDocSecurity},
    {false, "ScaleCrop", kBoolean},        {false, "Manager", kAnyText},
    {false, "Company", kAnyText},          {false, "LinksUpToDate", kBoolean},
    {false, "SharedDoc", kBoolean},        {false, "HyperlinkBase", kAnyText},
    {false, "HyperlinksChanged", kBoolean}, {false, "AppVersion", kAppVersion},
};

// Namespaces of the prefixes the core properties use, declared on the root when an element of that
// prefix is created in a part that lacks the declaration (an undeclared prefix makes the part unreadable).
struct PrefixRow {
  const char* attribute;
  const char* uri;
};
const PrefixRow kCorePrefixes[] = {
    {"xmlns:dc", "http://purl.org/dc/elements/1.1/"},
    {"xmlns:dcterms", "http://purl.org/dc/terms/"},
    {"xmlns:cp", "http://schemas.openxmlformats.org/package/2006/metadata/core-properties"},
    {"xmlns:xsi", "http://www.w3.org/2001/XMLSchema-instance"},
};

// The property parts a package without them gets when a property is set.
const char kNewCoreProperties[] =
    "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n"
    "<cp:coreProperties xmlns:cp=\"http://schemas.openxmlformats.org/package/2006/metadata/core-properties\" "
    "xmlns:dc=\"http://purl.org/dc/elements/1.1/\" xmlns:dcterms=\"http://purl.org/dc/terms/\" "
    "xmlns:dcmitype=\"http://purl.org/dc/dcmitype/\" xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\"/>";
const char kNewAppProperties[] =
    "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n"
    "<Properties xmlns=\"http://schemas.openxmlformats.org/officeDocument/2006/extended-properties\" "
    "xmlns:vt=\"http://schemas.openxmlformats.org/officeDocument/2006/docPropsVTypes\"/>";

// Where each property part lives and how the package names it.
struct PartRow {
  const char* path;
  const char* part_name;
  uint32_t content_type;
  uint32_t relationship;
  const char* text;
  uint32_t size;
};
const PartRow kCorePart = {"docProps/core.xml", "/docProps/core.xml", XLSX_CT_CORE_PROPERTIES,
                           XLSX_REL_CORE_PROPERTIES, kNewCoreProperties, sizeof kNewCoreProperties - 1};
const PartRow kAppPart = {"docProps/app.xml", "/docProps/app.xml", XLSX_CT_EXTENDED_PROPERTIES,
                          XLSX_REL_EXTENDED_PROPERTIES, kNewAppProperties, sizeof kNewAppProperties - 1};

// "16.0300": a number at the start, one or two characters before the first ".", one to five after it.
bool valid_app_version(const char* value) {
  char* end = nullptr;
  xlsx_host_ops()->text_to_double(value, &end);
  if (!end || end == value) return false;
  const char* point = strchr(value, '.');
  if (!point) return false;
  size_t before = size_t(point - value);
  size_t after = strlen(point + 1);
  return before >= 1 && before <= 2 && after >= 1 && after <= 5;
}

// n decimal digits at p into *value; false when one is missing.
bool digits(const char*& p, int n, int* value) {
  *value = 0;
  for (int i = 0; i < n; i++, p++) {
    if (*p < '0' || *p > '9') return false;
    *value = *value * 10 + (*p - '0');
  }
  return true;
}

bool valid_day(int year, int month, int day) {
  static const int kDays[] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (year < 1 || month < 1 || month > 12 || day < 1 || day > kDays[month - 1]) return false;
  bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
  return month != 2 || day <= 28 || leap;
}

// "hh:mm" with hours 0 to 23 and minutes 0 to 59 at p.
bool valid_hours_minutes(const char*& p) {
  int hour = 0, minute = 0;
  return digits(p, 2, &hour) && *p++ == ':' && digits(p, 2, &minute) && hour < 24 && minute < 60;
}

// A date as the properties store them (W3C date and time): YYYY-MM-DD, optionally followed by
// Thh:mm[:ss[.s]] and a zone, Z or +hh:mm / -hh:mm. Years and months alone, which the form also has,
// are refused: other readers of the format cannot open a file that holds them.
bool valid_date(const char* p) {
  int year = 0, month = 0, day = 0;
  if (!digits(p, 4, &year) || *p++ != '-' || !digits(p, 2, &month) || *p++ != '-' || !digits(p, 2, &day) ||
      !valid_day(year, month, day))
    return false;
  if (*p == 0) return true;
  if (*p++ != 'T' || !valid_hours_minutes(p)) return false;
  int second = 0;
  if (*p == ':' && !(digits(++p, 2, &second) && second < 60)) return false;
  if (*p == '.') {
    const char* fraction = ++p;
    while (*p >= '0' && *p <= '9') p++;
    if (p == fraction) return false;
  }
  if (*p == 'Z') return p[1] == 0;
  if (*p != '+' && *p != '-') return false;
  ++p;
  return valid_hours_minutes(p) && *p == 0;
}

bool valid_value(ValueRule rule, const char* value) {
  if (!value || !*value) return true;
  switch (rule) {
    case kDocSecurity:
      return strcmp(value, "0") == 0 || strcmp(value, "1") == 0 || strcmp(value, "2") == 0 ||
             strcmp(value, "4") == 0 || strcmp(value, "8") == 0;
    case kBoolean:
      return strcmp(value, "true") == 0 || strcmp(value, "false") == 0;
    case kAppVersion:
      return valid_app_version(value);
    case kDate:
      return valid_date(value);
    default:
      return true;
  }
}


XmlNode* part_root(XlsxPackage* package, bool core) {
  return xlsx_part_root(core ? package->core_properties : package->app_properties);
}

// Declares the namespace of element's prefix on root when the root lacks it; false when memory runs out.
bool declare_prefix(XmlNode* root, const char* element) {
  for (const PrefixRow& row : kCorePrefixes) {
    const char* prefix = row.attribute + 6;  // after "xmlns:"
    size_t n = strlen(prefix);
    if (strncmp(element, prefix, n) != 0 || element[n] != ':') continue;
    if (xml_node_attribute(root, row.attribute)) return true;
    return xml_node_set_attribute(root, row.attribute, row.uri) != nullptr;
  }
  return true;
}

// The property's element, created (first child in core, last child in app) when missing. The two dates
// of the Dublin Core terms are created with the type attribute the format asks of them.
XmlNode* find_or_create(XmlNode* root, const PropertyRow& row) {
  XmlNode* element = xml_node_child(root, row.element);
  if (element) return element;
  if (!row.core) return xml_node_append_child(root, row.element);
  bool typed = strncmp(row.element, "dcterms:", 8) == 0;
  if (!declare_prefix(root, row.element) || (typed && !declare_prefix(root, "xsi:type"))) return nullptr;
  element = xml_node_prepend_child(root, row.element);
  if (element && typed && !xml_node_set_attribute(element, "xsi:type", "dcterms:W3CDTF")) return nullptr;
  return element;
}

// Whether the package keeps the property part of row: it has the part and the part has an entry (an
// Override without its entry names a part with nothing in it).
bool has_part(const XlsxPackage* package, const PartRow& row) {
  const XlsxPart* part = &row == &kCorePart ? package->core_properties : package->app_properties;
  return part && xlsx_archive_has_entry(package->archive, row.path);
}

XlsxPart** part_slot(XlsxPackage* package, const PartRow& row) {
  return &row == &kCorePart ? &package->core_properties : &package->app_properties;
}

// Gives a package without it the property part of row: its entry and part, its content type and its
// package relationship (an empty part of that name is replaced). The trees' changes belong to the
// caller's journaled edit of the content types and the package relationships; *added tells whether
// undo_part has anything to take back.
xlsx_status add_property_part(XlsxPackage* package, const PartRow& row, bool* added) {
  *added = false;
  if (!xlsx_rels_root(&package->package_rels) || !xlsx_content_types_root(&package->content_types))
    return XLSX_ERR_NOT_FOUND;
  xlsx_status status = XLSX_OK;
  if (!xlsx_content_types_find(&package->content_types, row.part_name).node)
    status = xlsx_content_types_add(&package->content_types, row.part_name, row.content_type);
  if (status == XLSX_OK && !xlsx_rels_find_by_type(&package->package_rels, row.relationship).node &&
      !xlsx_rels_add(&package->package_rels, row.relationship, row.path).node)
    status = XLSX_ERR_NO_MEMORY;
  if (status == XLSX_OK) status = xlsx_archive_put_entry(package->archive, row.path, row.text, row.size);
  if (status != XLSX_OK) return status;
  *added = true;
  xlsx_package_remove_part(package, row.path);
  *part_slot(package, row) = xlsx_package_add_part(package, row.path, "", row.content_type);
  return *part_slot(package, row) ? XLSX_OK : XLSX_ERR_NO_MEMORY;
}

// Takes back what add_property_part made outside the trees: the package then has an empty part of that
// name again when it had one, which writes nothing, as before.
void undo_part(XlsxPackage* package, const PartRow& row, bool had_part) {
  xlsx_package_remove_part(package, row.path);
  xlsx_archive_delete_entry(package->archive, row.path);
  *part_slot(package, row) = had_part ? xlsx_package_add_part(package, row.path, "", row.content_type) : nullptr;
}

// Stores value in the part's tree in the escaped form (lib/xml/escape.h); false when memory runs out.
bool store_property(XmlNode* root, const PropertyRow& row, const char* value) {
  XmlNode* element = find_or_create(root, row);
  if (!element) return false;
  if (!xml_text_needs_escape(value)) return xml_node_set_whole_text(element, value);
  StrBuf escaped;
  strbuf_init(&escaped);
  bool ok = xml_escape_text(value, &escaped) == XLSX_OK && xml_node_set_whole_text(element, escaped.data);
  strbuf_free(&escaped);
  return ok;
}

// Sets the property in the part, which the package has: a journaled edit of its tree.
xlsx_status set_in_part(XlsxPart* part, const PropertyRow& row, const char* value) {
  XlsxPartsEdit edit;
  xlsx_status status = xlsx_parts_edit_begin(&edit, &part, 1);
  if (status != XLSX_OK) return status;
  // A part whose bytes did not parse cannot keep the value: said so.
  XmlNode* root = xlsx_part_root(part);
  if (!root) status = XLSX_ERR_NOT_FOUND;
  else if (!store_property(root, row, value)) status = XLSX_ERR_NO_MEMORY;
  return xlsx_parts_edit_end(&edit, status);
}

// "YYYY-MM-DDThh:mm:ssZ" of seconds since 1970-01-01 UTC into a buffer of at least 21 bytes (the civil
// date from the day count, so that no C library time conversion is needed).
void format_utc(int64_t seconds, char* buffer) {
  int64_t days = seconds >= 0 ? seconds / 86400 : -((-seconds + 86399) / 86400);
  int64_t rest = seconds - days * 86400;
  int64_t z = days + 719468;
  int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  int64_t doe = z - era * 146097;
  int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  int64_t mp = (5 * doy + 2) / 153;
  int64_t day = doy - (153 * mp + 2) / 5 + 1;
  int64_t month = mp < 10 ? mp + 3 : mp - 9;
  int64_t year = yoe + era * 400 + (month <= 2 ? 1 : 0);
  xlsx_snprintf(buffer, 21, "%04d-%02d-%02dT%02d:%02d:%02dZ", int(year), int(month), int(day), int(rest / 3600),
                int(rest / 60 % 60), int(rest % 60));
}

// The vt:vector of TitlesOfParts (its first element child), or null.
XmlNode* titles_vector(XlsxPart* app_properties) {
  XmlNode* titles = xml_node_child(xlsx_part_root(app_properties), "TitlesOfParts");
  return xml_node_first_element(titles);
}

// First element child of the vector whose text equals name.
XmlNode* find_title(XmlNode* vector, const char* name) {
  for (XmlNode* n = xml_node_first_element(vector); n; n = xml_node_next_element(n)) {
    if (strcmp(xml_node_text(n), name) == 0) return n;
  }
  return nullptr;
}

// The size attribute as an unsigned 32-bit number: 0 when unreadable, the maximum when too large.
uint64_t read_size(const char* text) {
  if (!*text) return 0;
  uint64_t value = 0;
  for (const char* p = text; *p; p++) {
    if (*p < '0' || *p > '9') return 0;
    value = value * 10 + uint64_t(*p - '0');
    if (value > UINT32_MAX) value = UINT32_MAX;
  }
  return value;
}

// Adds delta (+1 or -1) to the vector's size attribute, never below 0; a vector without one gets none.
bool change_size(XmlNode* vector, int delta) {
  XmlAttr* size = xml_node_attribute(vector, "size");
  if (!size) return true;
  uint64_t value = read_size(xml_attribute_value(size));
  if (delta > 0) value += 1;
  else if (value > 0) value -= 1;
  return xml_attribute_set_u64(size, value);
}

}  // namespace

const char* xlsx_property_element(uint32_t number) {
  return number < XLSX_PROP_COUNT ? kProperties[number].element : nullptr;
}

bool xlsx_property_value_valid(uint32_t number, const char* value) {
  return number < XLSX_PROP_COUNT && valid_value(kProperties[number].rule, value);
}

xlsx_status xlsx_package_set_property(XlsxPackage* package, uint32_t number, const char* value) {
  if (!package || !xlsx_property_value_valid(number, value)) return XLSX_ERR_INVALID_ARG;
  const PropertyRow& row = kProperties[number];
  const PartRow& part_row = row.core ? kCorePart : kAppPart;
  if (!value) value = "";
  xlsx_status status = XLSX_OK;
  if (has_part(package, part_row)) {
    status = set_in_part(*part_slot(package, part_row), row, value);
  } else {
    // A package without the part gets one, with its content type and relationship.
    XlsxPart* records[] = {package->content_types.part, package->package_rels.part};
    XlsxPartsEdit edit;
    status = xlsx_parts_edit_begin(&edit, records, 2);
    if (status != XLSX_OK) return status;
    bool had_part = *part_slot(package, part_row) != nullptr, added = false;
    status = add_property_part(package, part_row, &added);
    if (status == XLSX_OK) status = set_in_part(*part_slot(package, part_row), row, value);
    if (xlsx_parts_edit_end(&edit, status) != XLSX_OK && added) undo_part(package, part_row, had_part);
  }
  if (status == XLSX_OK && number == XLSX_PROP_MODIFIED) package->modified_set = 1;
  return status;
}

const char* xlsx_package_get_property(XlsxPackage* package, uint32_t number) {
  if (!package || number >= XLSX_PROP_COUNT) return "";
  const PropertyRow& row = kProperties[number];
  return xml_node_text(xml_node_child(part_root(package, row.core), row.element));
}

char* xlsx_package_property_text(XlsxPackage* package, uint32_t number) {
  StrBuf text;
  strbuf_init(&text);
  const PropertyRow* row = package && number < XLSX_PROP_COUNT ? &kProperties[number] : nullptr;
  XmlNode* element = row ? xml_node_child(part_root(package, row->core), row->element) : nullptr;
  if (strbuf_append(&text, "") != XLSX_OK || xml_node_append_text(element, &text) != XLSX_OK) {
    strbuf_free(&text);
    return nullptr;
  }
  char* copy = strbuf_detach(&text, nullptr);
  if (copy && xml_text_has_escape(copy)) xml_unescape_text(copy, uint32_t(strlen(copy)));
  return copy;
}

xlsx_status xlsx_package_delete_property(XlsxPackage* package, uint32_t number) {
  return xlsx_package_set_property(package, number, "");
}

xlsx_status xlsx_package_stamp_dates(XlsxPackage* package, int64_t now, bool created) {
  if (!package) return XLSX_ERR_INVALID_ARG;
  char date[24];
  format_utc(now, date);
  XlsxPart* part = package->core_properties;
  if (!part) return XLSX_OK;
  XlsxPartsEdit edit;
  xlsx_status status = xlsx_parts_edit_begin(&edit, &part, 1);
  if (status != XLSX_OK) return status;
  XmlNode* root = xlsx_part_root(part);
  bool ok = !root || ((!created || store_property(root, kProperties[XLSX_PROP_CREATED], date)) &&
                      store_property(root, kProperties[XLSX_PROP_MODIFIED], date));
  return xlsx_parts_edit_end(&edit, ok ? XLSX_OK : XLSX_ERR_NO_MEMORY);
}

xlsx_status xlsx_app_add_title(XlsxPart* app_properties, const char* name) {
  XmlNode* vector = titles_vector(app_properties);
  if (!vector || !name) return XLSX_OK;
  XmlNode* title = xml_node_append_child(vector, "vt:lpstr");
  if (!title) return XLSX_ERR_NO_MEMORY;
  if (!xml_node_set_text(title, name) || !change_size(vector, +1)) {
    xml_node_remove_child(vector, title);
    return XLSX_ERR_NO_MEMORY;
  }
  return XLSX_OK;
}

xlsx_status xlsx_app_remove_title(XlsxPart* app_properties, const char* name) {
  XmlNode* vector = titles_vector(app_properties);
  XmlNode* title = name ? find_title(vector, name) : nullptr;
  if (!title) return XLSX_OK;
  if (!change_size(vector, -1)) return XLSX_ERR_NO_MEMORY;
  xml_node_remove_child(vector, title);
  return XLSX_OK;
}

xlsx_status xlsx_app_rename_title(XlsxPart* app_properties, const char* old_name, const char* new_name) {
  XmlNode* vector = titles_vector(app_properties);
  XmlNode* title = old_name ? find_title(vector, old_name) : nullptr;
  if (!title) return XLSX_OK;
  return xml_node_set_text(title, new_name ? new_name : "") ? XLSX_OK : XLSX_ERR_NO_MEMORY;
}

namespace {

// One heading of HeadingPairs: its name, the count variant's value element and the titles it counts.
struct Heading {
  XmlNode* name_variant;
  XmlNode* count_value;  // the vt:i4 (or other) element inside the count variant
  const char* name;
  uint32_t count;
};

constexpr uint32_t kMaxHeadings = 16;

// The headings of the vector (pairs of variants); false when it is not made of such pairs or has more
// than kMaxHeadings.
bool read_headings(XmlNode* vector, Heading* headings, uint32_t* count) {
  *count = 0;
  for (XmlNode* v = xml_node_first_element(vector); v; v = xml_node_next_element(xml_node_next_element(v))) {
    XmlNode* counted = xml_node_next_element(v);
    if (!counted || *count == kMaxHeadings) return false;
    XmlNode* value = xml_node_first_element(counted);
    headings[(*count)++] = {v, value, xml_node_text(xml_node_first_element(v)),
                            uint32_t(read_size(xml_node_text(value)))};
  }
  return true;
}

// Sets an element's text to a count.
bool set_count_text(XmlNode* element, uint32_t count) {
  char text[24];
  xlsx_snprintf(text, sizeof text, "%u", unsigned(count));
  return xml_node_set_whole_text(element, text);
}

// Appends a heading pair (name, count) to the vector, before the variant before (null: at the end).
bool insert_heading(XmlNode* vector, XmlNode* before, const char* name, uint32_t count) {
  XmlNode* named = xml_node_insert_child_before(vector, "vt:variant", before);
  XmlNode* counted = xml_node_insert_child_before(vector, "vt:variant", before);
  XmlNode* text = xml_node_append_child(named, "vt:lpstr");
  XmlNode* number = xml_node_append_child(counted, "vt:i4");
  return text && number && xml_node_set_text(text, name) && set_count_text(number, count);
}

struct TitleBlock {
  const char* heading;
  const char* const* names;
  uint32_t count;
};

}  // namespace

xlsx_status xlsx_app_sync_titles(XlsxPart* app_properties, const char* const* worksheets, uint32_t worksheet_count,
                                 const char* const* charts, uint32_t chart_count) {
  XmlNode* root = xlsx_part_root(app_properties);
  XmlNode* titles = titles_vector(app_properties);
  if (!titles) return XLSX_OK;
  XmlNode* pairs = xml_node_first_element(xml_node_child(root, "HeadingPairs"));
  Heading headings[kMaxHeadings];
  uint32_t heading_count = 0;
  // Pairs the library does not understand are left as they are, and so are the titles.
  if (!pairs || !read_headings(pairs, headings, &heading_count)) return XLSX_OK;
  uint32_t old_titles = 0;
  for (XmlNode* t = xml_node_first_element(titles); t; t = xml_node_next_element(t)) old_titles++;
  uint32_t counted = 0;
  for (uint32_t i = 0; i < heading_count; i++) counted += headings[i].count;
  bool consistent = counted == old_titles;
  const TitleBlock managed[] = {{"Worksheets", worksheets, worksheet_count}, {"Charts", charts, chart_count}};
  // New titles: for each heading in order, its sheets (managed headings) or its old titles (the others,
  // such as named ranges, when the counts add up); managed headings that are missing come first.
  XmlNode* old_first = xml_node_first_element(titles);
  XmlNode* first_variant = xml_node_first_element(pairs);
  bool ok = true;
  for (const TitleBlock& block : managed) {
    bool present = false;
    for (uint32_t i = 0; i < heading_count; i++) present = present || xlsx_str_equal(headings[i].name, block.heading);
    if (!present && block.count > 0) ok = ok && insert_heading(pairs, first_variant, block.heading, block.count);
    for (uint32_t i = 0; !present && block.count > 0 && ok && i < block.count; i++) {
      XmlNode* title = xml_node_insert_child_before(titles, "vt:lpstr", old_first);
      ok = title && xml_node_set_text(title, block.names[i]);
    }
  }
  XmlNode* old = old_first;
  for (uint32_t h = 0; h < heading_count && ok; h++) {
    const TitleBlock* block = nullptr;
    for (const TitleBlock& b : managed) block = xlsx_str_equal(headings[h].name, b.heading) ? &b : block;
    uint32_t keep = block ? 0 : consistent ? headings[h].count : 0;
    for (uint32_t i = 0; i < headings[h].count && old; i++) {
      XmlNode* next = xml_node_next_element(old);
      if (i >= keep) ok = ok && xml_node_remove_child(titles, old);
      old = next;
    }
    for (uint32_t i = 0; block && ok && i < block->count; i++) {
      XmlNode* title = xml_node_insert_child_before(titles, "vt:lpstr", old);
      ok = title && xml_node_set_text(title, block->names[i]);
    }
    if (ok && (block || !consistent)) ok = set_count_text(headings[h].count_value, block ? block->count : 0);
  }
  while (ok && old) {  // titles beyond what the headings count
    XmlNode* next = xml_node_next_element(old);
    ok = xml_node_remove_child(titles, old);
    old = next;
  }
  uint32_t total = 0, variants = 0;
  for (XmlNode* t = xml_node_first_element(titles); t; t = xml_node_next_element(t)) total++;
  for (XmlNode* v = xml_node_first_element(pairs); v; v = xml_node_next_element(v)) variants++;
  XmlAttr* size = xml_node_attribute(titles, "size");
  XmlAttr* pair_size = xml_node_attribute(pairs, "size");
  ok = ok && (!size || xml_attribute_set_u64(size, total)) && (!pair_size || xml_attribute_set_u64(pair_size, variants));
  return ok ? XLSX_OK : XLSX_ERR_NO_MEMORY;
}

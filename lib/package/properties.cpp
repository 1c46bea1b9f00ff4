// Document properties: 20 named texts in docProps/core.xml and docProps/app.xml, and the sheet titles
// listed in docProps/app.xml.
#include "lib/package/properties.h"

#include <cstring>

#include "lib/base/alloc.h"
#include "lib/base/host_ops.h"
#include "lib/package/package.h"
#include "lib/package/part.h"
#include "lib/xml/tree.h"

namespace {

enum ValueRule { kAnyText, kDocSecurity, kBoolean, kAppVersion };

struct PropertyRow {
  bool core;  // docProps/core.xml, else docProps/app.xml
  const char* element;
  ValueRule rule;
};

const PropertyRow kProperties[XLSX_PROP_COUNT] = {
    {true, "dc:title", kAnyText},          {true, "dc:subject", kAnyText},
    {true, "dc:creator", kAnyText},        {true, "cp:keywords", kAnyText},
    {true, "dc:description", kAnyText},    {true, "cp:lastModifiedBy", kAnyText},
    {true, "cp:lastPrinted", kAnyText},    {true, "dcterms:created", kAnyText},
    {true, "dcterms:modified", kAnyText},  {true, "cp:category", kAnyText},
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
};

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

// The property's element, created (first child in core, last child in app) when missing.
XmlNode* find_or_create(XmlNode* root, const PropertyRow& row) {
  XmlNode* element = xml_node_child(root, row.element);
  if (element) return element;
  if (row.core && !declare_prefix(root, row.element)) return nullptr;
  return row.core ? xml_node_prepend_child(root, row.element) : xml_node_append_child(root, row.element);
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
  XlsxPart* part = row.core ? package->core_properties : package->app_properties;
  XlsxPartsEdit edit;
  xlsx_status status = xlsx_parts_edit_begin(&edit, &part, 1);
  if (status != XLSX_OK) return status;
  // A package without the part (or with one that did not parse) cannot keep the value: said so.
  XmlNode* root = xlsx_part_root(part);
  XmlNode* element = root ? find_or_create(root, row) : nullptr;
  if (!root) status = XLSX_ERR_NOT_FOUND;
  else if (!element || !xml_node_set_text(element, value ? value : "")) status = XLSX_ERR_NO_MEMORY;
  return xlsx_parts_edit_end(&edit, status);
}

const char* xlsx_package_get_property(XlsxPackage* package, uint32_t number) {
  if (!package || number >= XLSX_PROP_COUNT) return "";
  const PropertyRow& row = kProperties[number];
  return xml_node_text(xml_node_child(part_root(package, row.core), row.element));
}

xlsx_status xlsx_package_delete_property(XlsxPackage* package, uint32_t number) {
  return xlsx_package_set_property(package, number, "");
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

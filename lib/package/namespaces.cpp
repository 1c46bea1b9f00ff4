// Usual prefixes for parsed parts: see namespaces.h.
#include "lib/package/namespaces.h"

#include <cstring>

#include "lib/xml/text_arena.h"

namespace {

// The namespaces whose elements the code names without a prefix: SpreadsheetML, content types, package
// relationships.
const char* const kElementNamespaces[] = {
    "http://schemas.openxmlformats.org/spreadsheetml/2006/main",
    "http://schemas.openxmlformats.org/package/2006/content-types",
    "http://schemas.openxmlformats.org/package/2006/relationships",
};
const char kRelationshipsNamespace[] = "http://schemas.openxmlformats.org/officeDocument/2006/relationships";

// The namespace the root binds to prefix (length n), or null.
const char* bound(const XmlNode* root, const char* prefix, size_t n) {
  for (XmlAttr* a = xml_node_first_attribute(root); a; a = xml_attribute_next(a)) {
    const char* name = xml_attribute_name(a);
    if (std::strncmp(name, "xmlns:", 6) == 0 && std::strlen(name + 6) == n && std::strncmp(name + 6, prefix, n) == 0)
      return xml_attribute_value(a);
  }
  return nullptr;
}

bool is_element_namespace(const char* uri) {
  for (const char* known : kElementNamespaces)
    if (uri && std::strcmp(uri, known) == 0) return true;
  return false;
}

// Whether name starts with prefix (length n) and a colon.
bool has_prefix(const char* name, const char* prefix, size_t n) {
  return name && std::strncmp(name, prefix, n) == 0 && name[n] == ':';
}

// The next element after node in document order within top, or null.
XmlNode* next_element(XmlNode* node, const XmlNode* top) {
  if (XmlNode* child = xml_node_first_element(node)) return child;
  for (; node && node != top; node = xml_node_parent(node))
    if (XmlNode* sibling = xml_node_next_element(node)) return sibling;
  return nullptr;
}

// Drops prefix (length n) from every element name under and including root.
bool drop_element_prefix(XmlDoc* doc, XmlNode* root, const char* prefix, size_t n) {
  for (XmlNode* x = root; x; x = next_element(x, root)) {
    if (!has_prefix(x->name, prefix, n)) continue;
    char* local = xml_doc_intern(doc, x->name + n + 1);
    if (!local) return false;
    x->name = local;
  }
  return true;
}

// Renames every attribute prefix:name under and including root to r:name.
bool use_r_prefix(XmlNode* root, const char* prefix, size_t n) {
  char name[256];
  for (XmlNode* x = root; x; x = next_element(x, root)) {
    for (XmlAttr* a = xml_node_first_attribute(x); a; a = xml_attribute_next(a)) {
      const char* old = xml_attribute_name(a);
      if (!has_prefix(old, prefix, n) || std::strlen(old + n) + 2 > sizeof name) continue;
      name[0] = 'r';
      std::strcpy(name + 1, old + n);
      if (!xml_attribute_set_name(a, name)) return false;
    }
  }
  return true;
}

// The prefix (and its length) the root binds to the relationships namespace other than `r`, or null.
const char* other_relationships_prefix(const XmlNode* root, size_t* n) {
  for (XmlAttr* a = xml_node_first_attribute(root); a; a = xml_attribute_next(a)) {
    const char* name = xml_attribute_name(a);
    if (std::strncmp(name, "xmlns:", 6) != 0 || std::strcmp(name + 6, "r") == 0) continue;
    if (std::strcmp(xml_attribute_value(a), kRelationshipsNamespace) != 0) continue;
    *n = std::strlen(name + 6);
    return name + 6;
  }
  return nullptr;
}

}  // namespace

xlsx_status xlsx_part_use_usual_prefixes(XmlDoc* doc) {
  XmlNode* root = doc ? xml_document_element(doc) : nullptr;
  if (!root) return XLSX_OK;
  const char* colon = std::strchr(root->name, ':');
  if (colon) {
    char prefix[64];
    size_t n = size_t(colon - root->name);
    if (n >= sizeof prefix) return XLSX_OK;
    std::memcpy(prefix, root->name, n);  // the root's name changes on the way
    prefix[n] = '\0';
    const char* uri = bound(root, prefix, n);
    const char* default_uri = xml_attribute_value(xml_node_attribute(root, "xmlns"));
    bool free_default = !xml_node_attribute(root, "xmlns") || (uri && std::strcmp(default_uri, uri) == 0);
    if (is_element_namespace(uri) && free_default) {
      if (!xml_node_set_attribute(root, "xmlns", uri) || !drop_element_prefix(doc, root, prefix, n))
        return XLSX_ERR_NO_MEMORY;
    }
  }
  size_t n = 0;
  const char* prefix = other_relationships_prefix(root, &n);
  const char* r = bound(root, "r", 1);
  if (prefix && (!r || std::strcmp(r, kRelationshipsNamespace) == 0)) {
    char copy[64];
    if (n >= sizeof copy) return XLSX_OK;
    std::memcpy(copy, prefix, n);  // prefix lies in an attribute name of the root, which may move
    copy[n] = '\0';
    if (!xml_node_set_attribute(root, "xmlns:r", kRelationshipsNamespace) || !use_r_prefix(root, copy, n))
      return XLSX_ERR_NO_MEMORY;
  }
  return XLSX_OK;
}

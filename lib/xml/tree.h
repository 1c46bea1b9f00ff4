// The mutable XML tree of a package part. Nodes and attributes are plain pointers owned by their
// document; every accessor accepts null handles and answers with a neutral result (null, "", false or
// the caller's default), so lookups chain without checks. Texts returned are borrowed: valid until the
// node or attribute is changed or freed. Texts handed in are copied; null counts as "".
// Operations that create or copy return null when memory runs out and leave the tree unchanged; setters
// return false (or null) in that case and keep the old text.
#pragma once

#include <cstdint>

#include "lib/base/status.h"

enum XmlNodeType : uint8_t {
  XML_NODE_NULL = 0,
  XML_NODE_DOCUMENT = 1,
  XML_NODE_ELEMENT = 2,
  XML_NODE_TEXT = 3,
  XML_NODE_CDATA = 4,
  XML_NODE_COMMENT = 5,
  XML_NODE_PI = 6,
  XML_NODE_DECLARATION = 7,
  XML_NODE_DOCTYPE = 8,
};

struct XmlDoc;
struct XmlAttr;

struct XmlNode {
  XmlNodeType type;
  char* name;
  char* value;
  XmlNode* parent;
  XmlNode* first_child;
  XmlNode* last_child;
  XmlNode* next_sibling;
  XmlNode* previous_sibling;
  XmlAttr* first_attribute;
  XmlAttr* last_attribute;
  XmlDoc* document;
};

struct XmlAttr {
  char* name;
  char* value;
  XmlAttr* next;
  XmlAttr* previous;
  XmlNode* owner;
};

struct XmlNodePage;
struct XmlAttrPage;
struct XmlTextArena;

// The document node followed by the pools. Fields after the pools are the tree module's own.
struct XmlDoc {
  XmlNode node;  // type XML_NODE_DOCUMENT, node.document == this
  XmlNodePage* node_pages;
  XmlAttrPage* attribute_pages;
  XmlNode* free_nodes;
  XmlAttr* free_attributes;
  XmlTextArena* arena;   // bulk storage for texts made by the parser
  uint32_t generation;   // incremented whenever the tree changes (callers detect edits and reloads)
  bool heap_texts;       // set once a text in a block of its own was stored (freeing must then look)
};

// --- documents
XmlDoc* xml_document_create();
void xml_document_destroy(XmlDoc* doc);
// First element child of the document node, or null.
XmlNode* xml_document_element(const XmlDoc* doc);

// --- accessors
XmlNodeType xml_node_type(const XmlNode* node);
bool xml_node_is_empty(const XmlNode* node);
const char* xml_node_name(const XmlNode* node);
const char* xml_node_value(const XmlNode* node);
XmlNode* xml_node_parent(const XmlNode* node);
XmlNode* xml_node_first_child(const XmlNode* node);
XmlNode* xml_node_last_child(const XmlNode* node);
XmlNode* xml_node_next_sibling(const XmlNode* node);
XmlNode* xml_node_previous_sibling(const XmlNode* node);
// First element child with that name; null when node or name is null or nothing matches.
XmlNode* xml_node_child(const XmlNode* node, const char* name);
XmlNode* xml_node_next_sibling_named(const XmlNode* node, const char* name);
XmlNode* xml_node_previous_sibling_named(const XmlNode* node, const char* name);
// First child element (named element_name unless that is null) with attribute attr_name == attr_value.
XmlNode* xml_node_find_child_by_attribute(const XmlNode* node, const char* element_name, const char* attr_name,
                                          const char* attr_value);
// First TEXT or CDATA child, or null.
XmlNode* xml_node_text_node(const XmlNode* node);
// Value of that child, or "".
const char* xml_node_text(const XmlNode* node);
const char* xml_node_child_value(const XmlNode* node);
XmlAttr* xml_node_first_attribute(const XmlNode* node);
XmlAttr* xml_attribute_next(const XmlAttr* attr);
const char* xml_attribute_name(const XmlAttr* attr);
const char* xml_attribute_value(const XmlAttr* attr);
XmlAttr* xml_node_attribute(const XmlNode* node, const char* name);
bool xml_node_has_attribute(const XmlNode* node, const char* name);

// --- typed readers (default when the handle or text is missing or does not convert)
bool xml_attribute_as_bool(const XmlAttr* attr, bool def);
bool xml_node_text_as_bool(const XmlNode* node, bool def);
double xml_attribute_as_double(const XmlAttr* attr, double def);
double xml_node_text_as_double(const XmlNode* node, double def);
uint64_t xml_attribute_as_u64(const XmlAttr* attr, uint64_t def);
uint64_t xml_node_text_as_u64(const XmlNode* node, uint64_t def);
int64_t xml_attribute_as_i64(const XmlAttr* attr, int64_t def);
int64_t xml_node_text_as_i64(const XmlNode* node, int64_t def);
uint32_t xml_attribute_as_uint(const XmlAttr* attr, uint32_t def);
int32_t xml_attribute_as_int(const XmlAttr* attr, int32_t def);

// --- attribute writers (null attr ignored; false / null when memory runs out, old text kept)
const char* xml_attribute_set_value(XmlAttr* attr, const char* text);  // returns the stored copy
bool xml_attribute_set_name(XmlAttr* attr, const char* text);
bool xml_attribute_set_bool(XmlAttr* attr, bool flag);
bool xml_attribute_set_float(XmlAttr* attr, float value);     // "%.9g"
bool xml_attribute_set_double(XmlAttr* attr, double value);   // "%.17g"
bool xml_attribute_set_u64(XmlAttr* attr, uint64_t value);
bool xml_attribute_set_i64(XmlAttr* attr, int64_t value);

// --- element text writers (the first TEXT/CDATA child, appended when missing)
bool xml_node_set_text(XmlNode* node, const char* text);
bool xml_node_set_text_float(XmlNode* node, float value);
bool xml_node_set_text_double(XmlNode* node, double value);
bool xml_node_set_text_u64(XmlNode* node, uint64_t value);
bool xml_node_set_text_i64(XmlNode* node, int64_t value);
// Replaces the node's own value (text nodes).
bool xml_node_set_value(XmlNode* node, const char* text);

// --- creating
XmlNode* xml_node_append_child(XmlNode* node, const char* name);
XmlNode* xml_node_prepend_child(XmlNode* node, const char* name);
XmlNode* xml_node_insert_child_after(XmlNode* node, const char* name, XmlNode* ref);
XmlNode* xml_node_insert_child_before(XmlNode* node, const char* name, XmlNode* ref);
XmlNode* xml_node_append_child_of_type(XmlNode* node, XmlNodeType type);
XmlAttr* xml_node_append_attribute(XmlNode* node, const char* name);
// Finds or appends the attribute, then sets its value; null when memory runs out.
XmlAttr* xml_node_set_attribute(XmlNode* node, const char* name, const char* text);

// --- moving (moved is detached first; null for another document or a move into its own subtree)
XmlNode* xml_node_prepend_move(XmlNode* node, XmlNode* moved);
XmlNode* xml_node_append_move(XmlNode* node, XmlNode* moved);
XmlNode* xml_node_insert_move_before(XmlNode* node, XmlNode* moved, XmlNode* ref);
XmlNode* xml_node_insert_move_after(XmlNode* node, XmlNode* moved, XmlNode* ref);

// --- removing
bool xml_node_remove_child(XmlNode* node, XmlNode* child);
bool xml_node_remove_child_named(XmlNode* node, const char* name);
void xml_node_remove_children(XmlNode* node);
bool xml_node_remove_attribute(XmlNode* node, const char* name);

// --- copying: detached deep copy in the same document; null for null or when memory runs out.
XmlNode* xml_node_copy(const XmlNode* node);

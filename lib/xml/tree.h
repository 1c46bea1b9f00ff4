// The mutable XML tree of a package part. Nodes and attributes are plain pointers owned by their
// document; every accessor accepts null handles and answers with a neutral result (null, "", false or
// the caller's default), so lookups chain without checks. Texts returned are borrowed: valid until the
// node or attribute is changed or freed. Texts handed in are copied; null counts as "".
// Operations that create or copy return null when memory runs out and leave the tree unchanged; setters
// return false (or null) in that case and keep the old text.
// Handles stay valid until their node is removed, or the document is reloaded (which releases every node
// of the document, attached or detached) or destroyed.
// The name and value fields are the tree's own storage: read them, but change them only through these
// functions (texts made by the parser live in the document's arena and are never freed one by one).
#pragma once

#include <cstdint>

#include "lib/base/status.h"
#include "lib/base/strbuf.h"

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
struct XmlNameTable;
struct XmlJournal;

// The document node followed by the pools. Fields after the pools are the tree module's own.
struct XmlDoc {
  XmlNode node;  // type XML_NODE_DOCUMENT, node.document == this
  XmlNodePage* node_pages;
  XmlAttrPage* attribute_pages;
  XmlNode* free_nodes;
  XmlAttr* free_attributes;
  XmlTextArena* arena;  // bulk storage for texts made by the parser
  uint32_t generation;  // a new value after every operation that changes the tree (create, set, move,
                        // remove, load), so callers can tell whether a part changed since it was loaded;
                        // an edit taken back restores the value it had when the edit began
  uint32_t last_generation;  // the latest generation handed out
  XmlJournal* journal;       // the edit being journaled, or null
  bool heap_texts;      // set once a text in a block of its own was stored (freeing must then look)
  XmlNameTable* names;  // names interned by the editing functions (texts in the arena), or null
  char* free_slots[4];  // free text slots of each size class (XML_TEXT_SLOT_CLASSES), linked through
                        // their first bytes
  char* recent_names[32];  // interned names met last, by their first two bytes (a small cache in front
                           // of names; cleared whenever names is)
};

// --- documents
// New empty document (caller destroys it); null when memory runs out.
XmlDoc* xml_document_create();
// Releases the document with every node, attribute and text; null is ignored. All handles become invalid.
// An edit still open is ended keeping its changes.
void xml_document_destroy(XmlDoc* doc);
// Begins an edit of doc that can be taken back as a whole: until xml_document_end_edit every change is
// journaled, and a change that cannot be journaled for lack of memory fails like any other (the tree
// unchanged). A begin while an edit is open joins it; the outermost end decides. False for a null doc or
// when memory runs out (no edit begun). The document must not be loaded while an edit is open (a load
// ends it, keeping its changes).
bool xml_document_begin_edit(XmlDoc* doc);
// Ends the edit: with keep the changes stay, otherwise every change since the begin is taken back, without
// allocating, and the tree and its generation are as they were at the begin (handles to nodes and
// attributes created during the edit become invalid; removed ones are valid again). Null doc, or none
// open, ignored.
void xml_document_end_edit(XmlDoc* doc, bool keep);
// First element child of the document node; null for a null doc or when there is none.
XmlNode* xml_document_element(const XmlDoc* doc);

// --- accessors (borrowed results: valid until the node is removed or the document reloaded)
// Kind of the node; XML_NODE_NULL for null.
XmlNodeType xml_node_type(const XmlNode* node);
// True for null or a node of kind XML_NODE_NULL.
bool xml_node_is_empty(const XmlNode* node);
// Name, or "" when the node is null or has none; valid until the node is changed or freed.
const char* xml_node_name(const XmlNode* node);
// Value, or "" when the node is null or has none; valid until the node is changed or freed.
const char* xml_node_value(const XmlNode* node);
// Parent; null for null, for the document node and for detached nodes.
XmlNode* xml_node_parent(const XmlNode* node);
// First child; null for null or a childless node.
XmlNode* xml_node_first_child(const XmlNode* node);
// Last child; null for null or a childless node.
XmlNode* xml_node_last_child(const XmlNode* node);
// Next sibling; null for null or the last child.
XmlNode* xml_node_next_sibling(const XmlNode* node);
// Previous sibling; null for null or the first child.
XmlNode* xml_node_previous_sibling(const XmlNode* node);
// First element child with that name; null when node or name is null or nothing matches.
XmlNode* xml_node_child(const XmlNode* node, const char* name);
// Nearest following sibling element with that name; null when node or name is null or none follows.
XmlNode* xml_node_next_sibling_named(const XmlNode* node, const char* name);
// Nearest preceding sibling element with that name; null when node or name is null or none precedes.
XmlNode* xml_node_previous_sibling_named(const XmlNode* node, const char* name);
// Whether node is an element named name; false for null arguments. Inline: the worksheet walks test it
// for every cell.
inline bool xml_node_is_element(const XmlNode* node, const char* name) {
  if (!node || node->type != XML_NODE_ELEMENT || !node->name || !name || node->name[0] != name[0]) return false;
  for (uint32_t i = 1;; i++) {
    if (node->name[i] != name[i]) return false;
    if (!name[i]) return true;
  }
}
// The first / last child and the next / previous sibling that is an element (white-space text, comments
// and the rest skipped); null when there is none or for null.
inline XmlNode* xml_node_next_element(const XmlNode* node) {
  XmlNode* x = node ? node->next_sibling : nullptr;
  while (x && x->type != XML_NODE_ELEMENT) x = x->next_sibling;
  return x;
}
inline XmlNode* xml_node_previous_element(const XmlNode* node) {
  XmlNode* x = node ? node->previous_sibling : nullptr;
  while (x && x->type != XML_NODE_ELEMENT) x = x->previous_sibling;
  return x;
}
inline XmlNode* xml_node_first_element(const XmlNode* node) {
  XmlNode* x = node ? node->first_child : nullptr;
  return x && x->type != XML_NODE_ELEMENT ? xml_node_next_element(x) : x;
}
inline XmlNode* xml_node_last_element(const XmlNode* node) {
  XmlNode* x = node ? node->last_child : nullptr;
  return x && x->type != XML_NODE_ELEMENT ? xml_node_previous_element(x) : x;
}
// First child element (named element_name unless that is null) with attribute attr_name == attr_value;
// null when node, attr_name or attr_value is null or nothing matches.
XmlNode* xml_node_find_child_by_attribute(const XmlNode* node, const char* element_name, const char* attr_name,
                                          const char* attr_value);
// First TEXT or CDATA child; null for null or when there is none.
XmlNode* xml_node_text_node(const XmlNode* node);
// Value of that child, or ""; valid until that child is changed or freed.
const char* xml_node_text(const XmlNode* node);
// The same as xml_node_text.
const char* xml_node_child_value(const XmlNode* node);
// Whether xml_node_text gives the node's whole text: it has no second TEXT or CDATA child (a text split
// by a comment or a CDATA section has). True for null.
bool xml_node_text_is_whole(const XmlNode* node);
// Appends the values of every TEXT and CDATA child of node, in order, to out; comments, instructions and
// elements are skipped. XLSX_ERR_NO_MEMORY (out then holds part of it); nothing for null.
xlsx_status xml_node_append_text(const XmlNode* node, StrBuf* out);
// First attribute; null for null or a node without attributes.
XmlAttr* xml_node_first_attribute(const XmlNode* node);
// Next attribute of the same owner; null for null or the last one.
XmlAttr* xml_attribute_next(const XmlAttr* attr);
// Name, or "" for null; valid until the attribute is changed or removed.
const char* xml_attribute_name(const XmlAttr* attr);
// Value, or "" for null; valid until the attribute is changed or removed.
const char* xml_attribute_value(const XmlAttr* attr);
// First attribute with that name; null when node or name is null or none matches.
XmlAttr* xml_node_attribute(const XmlNode* node, const char* name);
// Whether xml_node_attribute finds one.
bool xml_node_has_attribute(const XmlNode* node, const char* name);

// --- typed readers (def when the handle or text is missing or does not convert)
// First byte of the value: "1", "t", "T", "y", "Y" give true, any other false, an empty value def.
bool xml_attribute_as_bool(const XmlAttr* attr, bool def);
// The same for the node's text.
bool xml_node_text_as_bool(const XmlNode* node, bool def);
// Strict decimal conversion of the value (surrounding white space allowed).
double xml_attribute_as_double(const XmlAttr* attr, double def);
// Strict decimal conversion of the node's text.
double xml_node_text_as_double(const XmlNode* node, double def);
// Strict unsigned conversion of the value (a minus sign is rejected).
uint64_t xml_attribute_as_u64(const XmlAttr* attr, uint64_t def);
// Strict unsigned conversion of the node's text.
uint64_t xml_node_text_as_u64(const XmlNode* node, uint64_t def);
// Strict signed conversion of the value.
int64_t xml_attribute_as_i64(const XmlAttr* attr, int64_t def);
// Strict signed conversion of the node's text.
int64_t xml_node_text_as_i64(const XmlNode* node, int64_t def);
// xml_attribute_as_u64, results above 4294967295 clamped to it.
uint32_t xml_attribute_as_uint(const XmlAttr* attr, uint32_t def);
// xml_attribute_as_i64, results clamped to the 32-bit range.
int32_t xml_attribute_as_int(const XmlAttr* attr, int32_t def);

// --- attribute writers (null attr ignored; false / null when memory runs out, old text kept)
// Stores a copy of text (null gives ""); the stored copy, valid until the attribute changes, or null.
const char* xml_attribute_set_value(XmlAttr* attr, const char* text);
// Replaces the name with a copy of text; false for null attr or when memory runs out.
bool xml_attribute_set_name(XmlAttr* attr, const char* text);
// Stores "true" or "false"; false for null attr or when memory runs out.
bool xml_attribute_set_bool(XmlAttr* attr, bool flag);
// Stores "%.9g" of the value; false for null attr or when memory runs out.
bool xml_attribute_set_float(XmlAttr* attr, float value);
// Stores "%.17g" of the value; false for null attr or when memory runs out.
bool xml_attribute_set_double(XmlAttr* attr, double value);
// Stores "%llu" of the value; false for null attr or when memory runs out.
bool xml_attribute_set_u64(XmlAttr* attr, uint64_t value);
// Stores "%lld" of the value; false for null attr or when memory runs out.
bool xml_attribute_set_i64(XmlAttr* attr, int64_t value);

// --- element text writers (the first TEXT/CDATA child, appended when missing; a CDATA child stays CDATA)
// Stores a copy of text (null gives ""); false for null node or when memory runs out (nothing changes).
bool xml_node_set_text(XmlNode* node, const char* text);
// xml_node_set_text, then removes every later TEXT and CDATA child, so that the whole text of the node is
// text; false for null node or when memory runs out (nothing changes inside a journaled edit).
bool xml_node_set_whole_text(XmlNode* node, const char* text);
// xml_node_set_text with "%.9g" of the value.
bool xml_node_set_text_float(XmlNode* node, float value);
// xml_node_set_text with "%.17g" of the value.
bool xml_node_set_text_double(XmlNode* node, double value);
// xml_node_set_text with "%llu" of the value.
bool xml_node_set_text_u64(XmlNode* node, uint64_t value);
// xml_node_set_text with "%lld" of the value.
bool xml_node_set_text_i64(XmlNode* node, int64_t value);
// Replaces the node's own value (text nodes) with a copy; false for null node or when memory runs out.
bool xml_node_set_value(XmlNode* node, const char* text);

// --- creating (null for null node or when memory runs out; the tree is then unchanged)
// New element named name (null gives "") as the last child; owned by the document.
XmlNode* xml_node_append_child(XmlNode* node, const char* name);
// New element as the first child.
XmlNode* xml_node_prepend_child(XmlNode* node, const char* name);
// New element right after ref; appended when ref is null or not a child of node.
XmlNode* xml_node_insert_child_after(XmlNode* node, const char* name, XmlNode* ref);
// New element right before ref; appended when ref is null or not a child of node.
XmlNode* xml_node_insert_child_before(XmlNode* node, const char* name, XmlNode* ref);
// New node of that kind, without name or value, as the last child; null also for XML_NODE_DOCUMENT and
// for values beyond XML_NODE_DOCTYPE.
XmlNode* xml_node_append_child_of_type(XmlNode* node, XmlNodeType type);
// New attribute named name (null gives "") with value "", as the last one; an existing one of that name is
// not looked for.
XmlAttr* xml_node_append_attribute(XmlNode* node, const char* name);
// Finds or appends the attribute, then sets its value; null for null node or when memory runs out.
XmlAttr* xml_node_set_attribute(XmlNode* node, const char* name, const char* text);

// --- moving (moved is detached first; null when node or moved is null, moved belongs to another document,
// is the document node, or is node itself or one of its ancestors; the tree is then unchanged)
// moved becomes the first child of node.
XmlNode* xml_node_prepend_move(XmlNode* node, XmlNode* moved);
// moved becomes the last child of node.
XmlNode* xml_node_append_move(XmlNode* node, XmlNode* moved);
// moved goes right before ref; a null ref or one not a child of node appends; moved == ref changes nothing.
XmlNode* xml_node_insert_move_before(XmlNode* node, XmlNode* moved, XmlNode* ref);
// moved goes right after ref; a null ref or one not a child of node prepends; moved == ref changes nothing.
XmlNode* xml_node_insert_move_after(XmlNode* node, XmlNode* moved, XmlNode* ref);

// --- removing (handles into a removed subtree become invalid)
// Detaches child and frees its subtree; false when either is null or child's parent is not node.
bool xml_node_remove_child(XmlNode* node, XmlNode* child);
// Removes the first child element with that name; false when there is none.
bool xml_node_remove_child_named(XmlNode* node, const char* name);
// Frees every child subtree; null is ignored.
void xml_node_remove_children(XmlNode* node);
// Removes the first attribute with that name; false when there is none.
bool xml_node_remove_attribute(XmlNode* node, const char* name);

// --- copying
// Detached deep copy in the same document (the caller attaches it or leaves it to the document); null for
// null, for the document node or when memory runs out.
XmlNode* xml_node_copy(const XmlNode* node);

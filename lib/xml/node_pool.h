// Slot pools of a document: nodes and attributes come from pages of slots with free lists, and the
// low-level linking shared by the tree operations and the parser. Internal to lib/xml.
// A document's first page holds XML_FIRST_PAGE_SLOTS slots and every further page twice as many as the one
// before, up to what fits XML_PAGE_BYTES: a small part costs a few kilobytes, and a large one is held in
// blocks that the host can back with whole huge pages (header and slots fill the block to within one slot).
#pragma once

#include <cstdint>

#include "lib/xml/tree.h"

enum : uint32_t { XML_FIRST_PAGE_SLOTS = 64, XML_PAGE_BYTES = 2u << 20 };

// Page headers; the page's slots follow the header.
struct alignas(8) XmlNodePage {
  XmlNodePage* previous;
  uint32_t count;  // slots in the page
};

struct alignas(8) XmlAttrPage {
  XmlAttrPage* previous;
  uint32_t count;
};

inline XmlNode* xml_page_slots(XmlNodePage* page) {
  return reinterpret_cast<XmlNode*>(page + 1);
}

inline XmlAttr* xml_page_slots(XmlAttrPage* page) {
  return reinterpret_cast<XmlAttr*>(page + 1);
}

// Adds a page of free node / attribute slots; false when memory runs out (nothing changes).
bool xml_pool_grow_nodes(XmlDoc* doc);
bool xml_pool_grow_attributes(XmlDoc* doc);

// Zero-filled node slot of the given type belonging to doc; null when a new page cannot be allocated.
inline XmlNode* xml_pool_take_node(XmlDoc* doc, XmlNodeType type) {
  if (!doc->free_nodes && !xml_pool_grow_nodes(doc)) return nullptr;
  XmlNode* node = doc->free_nodes;
  doc->free_nodes = node->next_sibling;
  *node = XmlNode{};
  node->type = type;
  node->document = doc;
  return node;
}

// Zero-filled attribute slot of doc; null when a new page cannot be allocated. Not yet linked to owner.
inline XmlAttr* xml_pool_take_attribute(XmlDoc* doc) {
  if (!doc->free_attributes && !xml_pool_grow_attributes(doc)) return nullptr;
  XmlAttr* attr = doc->free_attributes;
  doc->free_attributes = attr->next;
  *attr = XmlAttr{};
  return attr;
}

// Frees the newest node / attribute page, whose slots must all be free (the undo of a grow made by the
// failed operation that took the only slot it used and gave it back).
void xml_pool_drop_node_page(XmlDoc* doc);
void xml_pool_drop_attribute_page(XmlDoc* doc);

// Releases the attribute's texts and returns its slot to the free list (it must be unlinked already).
void xml_pool_give_attribute(XmlDoc* doc, XmlAttr* attr);
// Releases the node's texts and attributes and returns its slot; children and links are not looked at.
void xml_pool_give_node(XmlNode* node);
// Frees node and its whole subtree, without recursion. The caller detaches node first (or discards it).
void xml_pool_free_subtree(XmlNode* node);
// Releases every node and attribute of doc except the document node and its own attributes, and the text
// arena; the pages stay and all their slots are free again.
void xml_pool_reset(XmlDoc* doc);
// Releases every page (and the heap texts of slots in use). The document is unusable afterwards.
void xml_pool_release(XmlDoc* doc);
// The bytes the node / attribute pages take, headers included (figures for the memory benchmark).
uint64_t xml_pool_node_bytes(const XmlDoc* doc);
uint64_t xml_pool_attribute_bytes(const XmlDoc* doc);

// The tree's doubly linked lists (the children of a node, the attributes of a node): item goes into the
// list whose ends are *first and *last directly before next, or last when next is null; or comes out.
template <typename T>
inline void xml_list_insert(T* item, T* next, T** first, T** last, T* T::*previous_of, T* T::*next_of) {
  T* previous = next ? next->*previous_of : *last;
  item->*previous_of = previous;
  item->*next_of = next;
  (previous ? previous->*next_of : *first) = item;
  (next ? next->*previous_of : *last) = item;
}
template <typename T>
inline void xml_list_remove(T* item, T** first, T** last, T* T::*previous_of, T* T::*next_of) {
  T* previous = item->*previous_of;
  T* next = item->*next_of;
  (previous ? previous->*next_of : *first) = next;
  (next ? next->*previous_of : *last) = previous;
}

// Links child (detached) under parent directly before next (one of its children), or last when next is
// null.
inline void xml_link_child(XmlNode* parent, XmlNode* child, XmlNode* next) {
  child->parent = parent;
  xml_list_insert(child, next, &parent->first_child, &parent->last_child, &XmlNode::previous_sibling,
                  &XmlNode::next_sibling);
}
// Links child (detached) as the last child of parent.
inline void xml_link_append(XmlNode* parent, XmlNode* child) { xml_link_child(parent, child, nullptr); }
// Links child (detached) directly before ref, a child of some parent.
inline void xml_link_before(XmlNode* ref, XmlNode* child) { xml_link_child(ref->parent, child, ref); }

// Unlinks node from its parent (nothing for a detached node); its subtree stays with it.
inline void xml_unlink(XmlNode* node) {
  XmlNode* parent = node->parent;
  if (!parent) return;
  xml_list_remove(node, &parent->first_child, &parent->last_child, &XmlNode::previous_sibling, &XmlNode::next_sibling);
  node->parent = nullptr;
  node->next_sibling = nullptr;
  node->previous_sibling = nullptr;
}

// Links attr (unlinked) into owner's attributes directly before next, or last when next is null.
inline void xml_link_attribute_before(XmlNode* owner, XmlAttr* attr, XmlAttr* next) {
  attr->owner = owner;
  xml_list_insert(attr, next, &owner->first_attribute, &owner->last_attribute, &XmlAttr::previous, &XmlAttr::next);
}
// Links attr (fresh) as the last attribute of owner.
inline void xml_link_append_attribute(XmlNode* owner, XmlAttr* attr) { xml_link_attribute_before(owner, attr, nullptr); }
// Unlinks attr from its owner (attr->owner stays set).
inline void xml_unlink_attribute(XmlAttr* attr) {
  XmlNode* owner = attr->owner;
  xml_list_remove(attr, &owner->first_attribute, &owner->last_attribute, &XmlAttr::previous, &XmlAttr::next);
}

// Records that doc changed: a generation it never had before (an edit taken back restores an older one,
// so counting on from the current value could repeat a generation seen during that edit).
inline void xml_doc_changed(XmlDoc* doc) { doc->generation = ++doc->last_generation; }


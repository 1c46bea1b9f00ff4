// Page pools of nodes and attributes, and freeing of subtrees and whole documents.
#include "lib/xml/node_pool.h"

#include "lib/base/alloc.h"
#include "lib/xml/text_arena.h"

namespace {

// Pushes the slots of a page on the free list in ascending order, so the last slot is taken first. Only
// the link and the in-use mark (document) are written: a slot is cleared whole when it is taken, and
// clearing every page twice cost a pass over all node memory while parsing.
void push_node_slots(XmlDoc* doc, XmlNodePage* page) {
  for (uint32_t i = 0; i < XML_PAGE_SLOTS; i++) {
    XmlNode* slot = &page->slots[i];
    slot->document = nullptr;
    slot->next_sibling = doc->free_nodes;
    doc->free_nodes = slot;
  }
}

// Heap texts only: used when the whole arena goes, slots included.
void release_node_texts(XmlNode* node) {
  xml_text_release(node->name);
  xml_text_release(node->value);
}

void release_attribute_texts(XmlAttr* attr) {
  xml_text_release(attr->name);
  xml_text_release(attr->value);
}

// Heap texts are freed and slots go back to their free lists: used when one node or attribute goes.
void give_back_texts(XmlDoc* doc, char* name, char* value) {
  xml_doc_release(doc, name);
  xml_doc_release(doc, value);
}

}  // namespace

bool xml_pool_grow_nodes(XmlDoc* doc) {
  auto* page = static_cast<XmlNodePage*>(xlsx_malloc(sizeof(XmlNodePage)));
  if (!page) return false;
  page->previous = doc->node_pages;
  doc->node_pages = page;
  push_node_slots(doc, page);
  return true;
}

bool xml_pool_grow_attributes(XmlDoc* doc) {
  auto* page = static_cast<XmlAttrPage*>(xlsx_malloc(sizeof(XmlAttrPage)));
  if (!page) return false;
  page->previous = doc->attribute_pages;
  doc->attribute_pages = page;
  for (uint32_t i = 0; i < XML_PAGE_SLOTS; i++) {
    XmlAttr* slot = &page->slots[i];
    slot->owner = nullptr;  // the in-use mark; the rest is cleared when the slot is taken
    slot->next = doc->free_attributes;
    doc->free_attributes = slot;
  }
  return true;
}

void xml_pool_drop_node_page(XmlDoc* doc) {
  XmlNodePage* page = doc->node_pages;
  doc->node_pages = page->previous;
  doc->free_nodes = nullptr;
  xlsx_free(page);
}

void xml_pool_drop_attribute_page(XmlDoc* doc) {
  XmlAttrPage* page = doc->attribute_pages;
  doc->attribute_pages = page->previous;
  doc->free_attributes = nullptr;
  xlsx_free(page);
}

void xml_pool_give_attribute(XmlDoc* doc, XmlAttr* attr) {
  give_back_texts(doc, attr->name, attr->value);
  *attr = XmlAttr{};
  attr->next = doc->free_attributes;
  doc->free_attributes = attr;
}

void xml_pool_give_node(XmlNode* node) {
  XmlDoc* doc = node->document;
  XmlAttr* attr = node->first_attribute;
  while (attr) {
    XmlAttr* next = attr->next;
    xml_pool_give_attribute(doc, attr);
    attr = next;
  }
  give_back_texts(doc, node->name, node->value);
  *node = XmlNode{};
  node->next_sibling = doc->free_nodes;
  doc->free_nodes = node;
}

void xml_pool_free_subtree(XmlNode* root) {
  // Post-order walk that unlinks each freed child from its parent, so that every step looks only at
  // first_child, next_sibling and parent of nodes still alive.
  XmlNode* node = root;
  for (;;) {
    if (node->first_child) {
      node = node->first_child;
      continue;
    }
    if (node == root) break;
    XmlNode* parent = node->parent;
    XmlNode* next = node->next_sibling;
    xml_pool_give_node(node);
    parent->first_child = next;
    node = next ? next : parent;
  }
  xml_pool_give_node(root);
}

void xml_pool_reset(XmlDoc* doc) {
  XmlNode* owner = &doc->node;
  doc->free_nodes = nullptr;
  for (XmlNodePage* page = doc->node_pages; page; page = page->previous) {
    if (doc->heap_texts) {
      for (XmlNode& slot : page->slots) {
        if (slot.document) release_node_texts(&slot);
      }
    }
    push_node_slots(doc, page);
  }
  doc->free_attributes = nullptr;
  for (XmlAttrPage* page = doc->attribute_pages; page; page = page->previous) {
    for (XmlAttr& slot : page->slots) {
      if (slot.owner == owner) continue;  // the document node keeps its own attributes
      if (slot.owner && doc->heap_texts) release_attribute_texts(&slot);
      slot = XmlAttr{};
      slot.next = doc->free_attributes;
      doc->free_attributes = &slot;
    }
  }
  owner->first_child = nullptr;
  owner->last_child = nullptr;
  xml_doc_texts_reset(doc);
  xml_arena_free(&doc->arena);
}

namespace {

// Frees every page of a list, releasing the heap texts of the slots in use first (when the document has
// any); in_use and release say which slots are in use and how their texts go.
template <typename Page, typename InUse, typename Release>
void free_pages(Page* page, bool heap_texts, InUse in_use, Release release) {
  while (page) {
    Page* previous = page->previous;
    if (heap_texts) {
      for (auto& slot : page->slots)
        if (in_use(slot)) release(&slot);
    }
    xlsx_free(page);
    page = previous;
  }
}

}  // namespace

void xml_pool_release(XmlDoc* doc) {
  free_pages(doc->node_pages, doc->heap_texts, [](const XmlNode& slot) { return slot.document != nullptr; },
             release_node_texts);
  free_pages(doc->attribute_pages, doc->heap_texts, [](const XmlAttr& slot) { return slot.owner != nullptr; },
             release_attribute_texts);
  doc->node_pages = nullptr;
  doc->attribute_pages = nullptr;
  doc->free_nodes = nullptr;
  doc->free_attributes = nullptr;
  xml_doc_texts_release(doc);
  xml_arena_free(&doc->arena);
}

uint32_t xml_pool_node_pages(const XmlDoc* doc) {
  uint32_t count = 0;
  for (const XmlNodePage* page = doc->node_pages; page; page = page->previous) count++;
  return count;
}

uint32_t xml_pool_attribute_pages(const XmlDoc* doc) {
  uint32_t count = 0;
  for (const XmlAttrPage* page = doc->attribute_pages; page; page = page->previous) count++;
  return count;
}

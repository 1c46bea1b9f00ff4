// The edit journal of a document: between xml_document_begin_edit and xml_document_end_edit every change
// the tree operations make is recorded, and what a change replaces or removes is kept rather than freed,
// so that the edit as a whole can be taken back without allocating. Internal to lib/xml: the tree
// operations call these; callers use xml_document_begin_edit / xml_document_end_edit (lib/xml/tree.h).
#pragma once

#include <cstdint>

#include "lib/xml/tree.h"

struct XmlJournalEntry;

// Kept by the document from its first edit on and reused, so that an edit allocates nothing once the
// entries have grown to its size.
struct XmlJournal {
  XmlJournalEntry* entries;  // owned
  uint32_t count;
  uint32_t capacity;
  uint32_t open;        // 1 while an edit is open
  uint32_t depth;       // nested begins joined to the open edit
  uint32_t generation;  // the document's generation when the edit began
};

// Grows the entries of doc's open edit to room for n more; false when memory runs out.
bool xml_journal_grow(XmlDoc* doc, uint32_t n);
// Whether n more changes of doc can be recorded: true without an open edit, otherwise once there is room for
// them (false when memory runs out; the change must then not be made). Inline: every change asks.
inline bool xml_journal_room(XmlDoc* doc, uint32_t n) {
  const XmlJournal* journal = doc->journal;
  return !journal || !journal->open || journal->capacity - journal->count >= n || xml_journal_grow(doc, n);
}
// Whether an edit of doc is open: removed nodes and attributes are then handed to the journal, not freed.
inline bool xml_journal_keeps(const XmlDoc* doc) { return doc->journal && doc->journal->open; }
// Records a change made after xml_journal_room said yes. Each does nothing without a journal.
// node was created (attached or not); taking the edit back frees it with its subtree.
void xml_journal_created(XmlDoc* doc, XmlNode* node);
// node was detached from parent, where it stood before next (null: last); it is kept until the end.
void xml_journal_removed(XmlDoc* doc, XmlNode* node, XmlNode* parent, XmlNode* next);
// node was moved from parent (null: it was detached), where it stood before next.
void xml_journal_moved(XmlDoc* doc, XmlNode* node, XmlNode* parent, XmlNode* next);
// *field held old before a change; true when the journal keeps old (the caller must not release it).
bool xml_journal_replaced(XmlDoc* doc, char** field, char* old);
// attr was created and linked to its owner.
void xml_journal_attribute_created(XmlDoc* doc, XmlAttr* attr);
// attr was unlinked from owner, where it stood before next (null: last); it is kept until the end.
void xml_journal_attribute_removed(XmlDoc* doc, XmlAttr* attr, XmlNode* owner, XmlAttr* next);
// Ends an open edit of doc at once, keeping its changes (before a load); null doc ignored.
void xml_journal_discard(XmlDoc* doc);
// Ends an open edit keeping its changes, then releases the journal (before a destroy); null doc ignored.
void xml_journal_release(XmlDoc* doc);

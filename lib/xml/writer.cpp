// The XML writer: serialises a tree into one StrBuf without recursion. Runs of bytes that need no escaping
// are appended whole; the output adds nothing but a default declaration when the tree has none.
#include "lib/xml/writer.h"

#include <cstring>

#include "lib/base/alloc.h"
#include "lib/base/strbuf.h"

namespace {

// Escape classes: 0 copies the byte; anything else names the replacement.
enum : uint8_t { kCopy = 0, kEnd, kAmp, kLt, kGt, kQuot, kCharRef };

struct EscapeTable {
  uint8_t text[256];
  uint8_t attribute[256];
  constexpr EscapeTable() : text(), attribute() {
    for (int c = 1; c < 32; c++) {
      attribute[c] = kCharRef;
      text[c] = (c == 9 || c == 10 || c == 13) ? kCopy : kCharRef;
    }
    text[0] = attribute[0] = kEnd;
    text[uint8_t{'&'}] = attribute[uint8_t{'&'}] = kAmp;
    text[uint8_t{'<'}] = attribute[uint8_t{'<'}] = kLt;
    text[uint8_t{'>'}] = kGt;
    attribute[uint8_t{'"'}] = kQuot;
  }
};

constexpr EscapeTable kEscapes;

const char kDefaultDeclaration[] = "<?xml version=\"1.0\"?>";
const char kAnonymous[] = ":anonymous";

// Output buffer with a sticky failure: after the first failed growth nothing more is appended.
struct Writer {
  StrBuf out;
  bool ok;
};

// Makes room for n more bytes and the terminator.
bool room(Writer& w, uint32_t n) {
  if (!w.ok) return false;
  uint32_t need = w.out.length + n + 1;
  if (need < w.out.length) return w.ok = false;  // beyond what a 32-bit length can count
  if (need <= w.out.capacity) return true;
  return w.ok = strbuf_reserve(&w.out, need) == XLSX_OK;
}

inline void put(Writer& w, const char* bytes, uint32_t n) {
  if (!room(w, n)) return;
  memcpy(w.out.data + w.out.length, bytes, n);
  w.out.length += n;
}

inline void put_text(Writer& w, const char* text) {
  if (text) put(w, text, static_cast<uint32_t>(strlen(text)));
}

// Longest name put_tag_name copies without measuring it first.
constexpr uint32_t kShortName = 32;

template <uint32_t N>
inline void put_literal(Writer& w, const char (&text)[N]) {
  put(w, text, N - 1);
}

// before, a name and after with one capacity check: the pieces of a tag ("<" name, " " name "=\"",
// "</" name ">") are written together, and every cell writes several. Names are short: they are copied
// byte by byte instead of a strlen and a memcpy call each; a longer one takes the general path, which
// writes over the partial copy.
template <uint32_t B, uint32_t A>
inline void put_tag_name(Writer& w, const char (&before)[B], const char* name, const char (&after)[A]) {
  if (!room(w, (B - 1) + kShortName + (A - 1))) return;
  char* out = w.out.data + w.out.length;
  memcpy(out, before, B - 1);
  out += B - 1;
  for (uint32_t i = 0; i < kShortName; i++) {
    if (!name[i]) {
      memcpy(out + i, after, A - 1);
      w.out.length += (B - 1) + i + (A - 1);
      return;
    }
    out[i] = name[i];
  }
  w.out.length += B - 1;
  put_text(w, name);
  put_literal(w, after);
}

// A run of n bytes of a value: values are mostly a few bytes long (a cell reference, a number), which
// are copied in place rather than through a library call.
inline void put_run(Writer& w, const char* bytes, uint32_t n) {
  if (n > 16) {
    put(w, bytes, n);
    return;
  }
  if (!room(w, n)) return;
  char* out = w.out.data + w.out.length;
  for (uint32_t i = 0; i < n; i++) out[i] = bytes[i];
  w.out.length += n;
}

void put_escape(Writer& w, uint8_t kind, uint8_t byte) {
  if (kind == kAmp || kind == kLt || kind == kGt || kind == kQuot) {
    static const char* const kEntity[] = {"&amp;", "&lt;", "&gt;", "&quot;"};
    const char* entity = kEntity[kind == kAmp ? 0 : kind == kLt ? 1 : kind == kGt ? 2 : 3];
    put(w, entity, static_cast<uint32_t>(strlen(entity)));
    return;
  }
  // Always two digits: byte 1 gives "&#01;".
  char ref[5] = {'&', '#', static_cast<char>('0' + byte / 10), static_cast<char>('0' + byte % 10), ';'};
  put(w, ref, 5);
}

// Appends text escaped by the table, run by run: one table lookup per byte finds the next byte to replace
// (or the terminator), and the run before it is appended whole.
void put_escaped(Writer& w, const char* text, const uint8_t* table) {
  if (!text) return;
  const char* run = text;
  for (const char* at = text;; at++) {
    uint8_t byte = static_cast<uint8_t>(*at);
    uint8_t kind = table[byte];
    if (kind == kCopy) continue;
    put_run(w, run, static_cast<uint32_t>(at - run));
    if (kind == kEnd) return;
    put_escape(w, kind, byte);
    run = at + 1;
  }
}

void put_attributes(Writer& w, const XmlNode* node) {
  for (const XmlAttr* attr = node->first_attribute; attr; attr = attr->next) {
    put_tag_name(w, " ", attr->name ? attr->name : kAnonymous, "=\"");
    put_escaped(w, attr->value, kEscapes.attribute);
    put_literal(w, "\"");
  }
}

// CDATA content split around every "]]>": the first section ends after "]]", the next starts with ">".
void put_cdata(Writer& w, const char* value) {
  const char* rest = value ? value : "";
  for (;;) {
    const char* split = strstr(rest, "]]>");
    put_literal(w, "<![CDATA[");
    if (!split) break;
    put(w, rest, static_cast<uint32_t>(split + 2 - rest));
    put_literal(w, "]]>");
    rest = split + 2;
  }
  put_text(w, rest);
  put_literal(w, "]]>");
}

// Everything a node writes before its children; for an element with children, the open tag.
void put_open(Writer& w, const XmlNode* node) {
  switch (node->type) {
    case XML_NODE_ELEMENT:
      put_tag_name(w, "<", node->name ? node->name : kAnonymous, "");
      put_attributes(w, node);
      if (node->first_child) {
        put_literal(w, ">");
      } else {
        put_literal(w, "/>");
      }
      break;
    case XML_NODE_TEXT:
      put_escaped(w, node->value, kEscapes.text);
      break;
    case XML_NODE_CDATA:
      put_cdata(w, node->value);
      break;
    case XML_NODE_COMMENT:
      put_literal(w, "<!--");
      put_text(w, node->value);
      put_literal(w, "-->");
      break;
    case XML_NODE_PI:
      put_literal(w, "<?");
      put_text(w, node->name ? node->name : kAnonymous);
      if (node->value && *node->value) {
        put_literal(w, " ");
        put_text(w, node->value);
      }
      put_literal(w, "?>");
      break;
    case XML_NODE_DECLARATION:
      put_literal(w, "<?");
      put_text(w, node->name ? node->name : "xml");
      put_attributes(w, node);
      put_literal(w, "?>");
      break;
    case XML_NODE_DOCTYPE:
      put_literal(w, "<!DOCTYPE");
      if (node->value && *node->value) {
        put_literal(w, " ");
        put_text(w, node->value);
      }
      put_literal(w, ">");
      break;
    default:
      break;  // document and null kinds write nothing
  }
}

void put_close(Writer& w, const XmlNode* element) {
  put_tag_name(w, "</", element->name ? element->name : kAnonymous, ">");
}

// Only elements write their children; an element's close tag follows its last child.
bool descends(const XmlNode* node) {
  return node->type == XML_NODE_ELEMENT && node->first_child;
}

// Writes the children of the document node in order, walking the tree without recursion.
void put_children(Writer& w, const XmlNode* top) {
  const XmlNode* node = top->first_child;
  while (node && w.ok) {
    put_open(w, node);
    if (descends(node)) {
      node = node->first_child;
      continue;
    }
    while (!node->next_sibling && node->parent != top) {
      node = node->parent;
      put_close(w, node);
    }
    node = node->next_sibling;
  }
}

bool has_declaration(const XmlNode* top) {
  for (const XmlNode* child = top->first_child; child; child = child->next_sibling) {
    if (child->type == XML_NODE_DECLARATION) return true;
  }
  return false;
}

}  // namespace

xlsx_status xml_document_save_buffer(const XmlDoc* doc, char** out, uint32_t* length_out) {
  return xml_document_save_buffer_sized(doc, 0, out, length_out);
}

xlsx_status xml_document_save_buffer_sized(const XmlDoc* doc, uint32_t expected, char** out, uint32_t* length_out) {
  if (!doc || !out) return XLSX_ERR_INVALID_ARG;
  Writer w;
  strbuf_init(&w.out);
  // The first block is made to the expected length and a sixteenth more, for small edits (growth would
  // round it up to a power of two); a larger text grows from there.
  uint64_t first = uint64_t(expected) + expected / 16 + 64;
  if (expected && first < UINT32_MAX) {
    if (xlsx_grow_array(&w.out.data, &w.out.capacity, uint32_t(first), uint32_t(first)) != XLSX_OK)
      return XLSX_ERR_NO_MEMORY;
    w.out.data[0] = 0;
  }
  w.ok = true;
  const XmlNode* top = &doc->node;
  if (!has_declaration(top)) put_literal(w, kDefaultDeclaration);
  put_children(w, top);
  if (w.ok && room(w, 0)) w.out.data[w.out.length] = 0;
  if (!w.ok) {
    strbuf_free(&w.out);
    return XLSX_ERR_NO_MEMORY;
  }
  uint32_t length = 0;
  char* text = strbuf_detach(&w.out, &length);
  if (!text) return XLSX_ERR_NO_MEMORY;
  *out = text;
  if (length_out) *length_out = length;
  return XLSX_OK;
}

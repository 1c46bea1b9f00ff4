// The XML parser: a single iterative pass over a byte range into an XmlDoc. Lenient and non-validating:
// closing tags are not compared with the open element, an element left open at the end of input is kept,
// only the five predefined entities and numeric character references are decoded.
#include "lib/xml/parser.h"

#include <cstring>

#include "lib/base/hash.h"
#include "lib/xml/journal.h"
#include "lib/xml/node_pool.h"
#include "lib/xml/text_arena.h"
#include "lib/xml/text_decode.h"

namespace {

// Byte classes, built at compile time so the hot loops are table lookups with no calls.
enum : uint8_t {
  kNameChar = 1,    // letters, digits, "_", "-", ".", ":"
  kSpace = 2,       // bytes 9 to 13 and 32
  kAmp = 4,         // "&"
  kCr = 8,          // CR
  kNotTextWs = 16,  // anything but space, tab, CR and LF (what a white-space-only text run may hold)
  kAttrWs = 32,     // tab and LF, which attribute white-space handling may replace
  kNul = 64,        // byte 0, which no stored text can hold
};

struct ByteClasses {
  uint8_t of[256];
  constexpr ByteClasses() : of() {
    for (int c = 0; c < 256; c++) {
      uint8_t bits = 0;
      bool alnum = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
      if (alnum || c == '_' || c == '-' || c == '.' || c == ':') bits |= kNameChar;
      if ((c >= 9 && c <= 13) || c == ' ') bits |= kSpace;
      if (c == '&') bits |= kAmp;
      if (c == '\r') bits |= kCr;
      if (!(c == ' ' || c == '\t' || c == '\r' || c == '\n')) bits |= kNotTextWs;
      if (c == '\t' || c == '\n') bits |= kAttrWs;
      if (c == 0) bits |= kNul;
      of[c] = bits;
    }
  }
};

constexpr ByteClasses kClasses;

inline uint8_t class_of(char c) {
  return kClasses.of[static_cast<uint8_t>(c)];
}

// Interned names of one load: each distinct element, attribute or target name is stored once in the
// arena. The table is bounded; names beyond its fill limit are stored per use.
struct NameTable {
  static constexpr uint32_t kSlots = 512;
  static constexpr uint32_t kFillLimit = 256;
  struct Slot {
    const char* text;
    uint32_t length;
    uint32_t hash;
  };
  Slot slots[kSlots];
  uint32_t used;
};

// The names met last, by first byte and length: a worksheet repeats a handful of short names millions of
// times, and a hit here costs a few byte comparisons instead of a hash over the name and a table probe.
struct RecentNames {
  static constexpr uint32_t kSlots = 64;
  static constexpr uint32_t kLongest = 16;  // longer names always go to the table
  struct Slot {
    const char* text;
    uint32_t length;
  };
  Slot slots[kSlots];
};

enum class AttrMode { kElement, kDeclaration };

struct Parser {
  const char* pos;
  const char* end;
  uint32_t options;
  XmlDoc* doc;
  XmlNode* parent;
  uint32_t depth;  // elements open around the current position
  xlsx_status status;
  uint64_t budget;  // bytes the tree may still cost
  RecentNames recent;
  NameTable names;
};

bool fail(Parser& p, xlsx_status status) {
  if (p.status == XLSX_OK) p.status = status;
  return false;
}

// What a text of n bytes counts against a budget (names are not counted: each is stored once, or once
// per use beyond the parser's table, and so within the bytes of the input).
inline uint64_t text_cost(uint64_t n) { return n ? n + 1 : 0; }

// Takes the cost of a node, attribute or text from the budget; false (a parse error) when it is spent.
bool charge(Parser& p, uint64_t cost) {
  if (cost > p.budget) return fail(p, XLSX_ERR_PARSE);
  p.budget -= cost;
  return true;
}

inline void skip_space(Parser& p) {
  while (p.pos < p.end && (class_of(*p.pos) & kSpace)) p.pos++;
}

inline const char* scan_name(const char* at, const char* end) {
  while (at < end && (class_of(*at) & kNameChar)) at++;
  return at;
}

// First byte c in [from, end), or null. Inside markup the byte looked for is mostly a few bytes away:
// those are looked at in place, and only a longer distance goes to the library search.
inline const char* find_byte(const char* from, const char* end, char c) {
  const char* stop = end - from > 16 ? from + 16 : end;
  for (const char* at = from; at < stop; at++) {
    if (*at == c) return at;
  }
  if (stop == end) return nullptr;
  return static_cast<const char*>(memchr(stop, c, static_cast<size_t>(end - stop)));
}

// First occurrence of the n-byte pattern in [from, end), or null.
const char* find(const char* from, const char* end, const char* pattern, size_t n) {
  while (static_cast<size_t>(end - from) >= n) {
    const char* hit = static_cast<const char*>(memchr(from, pattern[0], end - from - n + 1));
    if (!hit) return nullptr;
    if (memcmp(hit, pattern, n) == 0) return hit;
    from = hit + 1;
  }
  return nullptr;
}

inline uint32_t recent_slot(const char* bytes, uint32_t n) {
  return (static_cast<uint8_t>(bytes[0]) * 7u + n) & (RecentNames::kSlots - 1);
}

inline bool same_bytes(const char* a, const char* b, uint32_t n) {
  for (uint32_t i = 0; i < n; i++) {
    if (a[i] != b[i]) return false;
  }
  return true;
}

char* intern_in_table(Parser& p, const char* bytes, uint32_t n);

// The interned arena copy of a name; null when memory runs out.
inline char* intern(Parser& p, const char* bytes, uint32_t n) {
  if (n == 0 || n > RecentNames::kLongest) return intern_in_table(p, bytes, n);
  RecentNames::Slot& recent = p.recent.slots[recent_slot(bytes, n)];
  if (recent.text && recent.length == n && same_bytes(recent.text, bytes, n)) return const_cast<char*>(recent.text);
  char* text = intern_in_table(p, bytes, n);
  if (text) recent = {text, n};
  return text;
}

// The table's copy of a name (made on first sight); null when memory runs out.
char* intern_in_table(Parser& p, const char* bytes, uint32_t n) {
  uint32_t hash = xlsx_hash_keyed(bytes, n);
  NameTable& table = p.names;
  uint32_t index = hash & (NameTable::kSlots - 1);
  while (table.slots[index].text) {
    const NameTable::Slot& slot = table.slots[index];
    if (slot.hash == hash && slot.length == n && memcmp(slot.text, bytes, n) == 0) {
      return const_cast<char*>(slot.text);
    }
    index = (index + 1) & (NameTable::kSlots - 1);
  }
  char* text = xml_arena_copy(&p.doc->arena, bytes, n);
  if (text && table.used < NameTable::kFillLimit) {
    table.slots[index] = {text, n, hash};
    table.used++;
  }
  return text;
}

// New node of the given kind appended to the current parent; null (status set) when memory runs out.
XmlNode* append_node(Parser& p, XmlNodeType type) {
  if (!charge(p, sizeof(XmlNode))) return nullptr;
  XmlNode* node = xml_pool_take_node(p.doc, type);
  if (!node) {
    fail(p, XLSX_ERR_NO_MEMORY);
    return nullptr;
  }
  xml_link_append(p.parent, node);
  return node;
}

// --- text decoding (references and line ends: lib/xml/text_decode.h)

// Copies an attribute value applying the white-space rule; returns the length written.
uint32_t copy_attribute_ws(char* out, const char* from, uint32_t n, bool to_space) {
  char* start = out;
  const char line = to_space ? ' ' : '\n';
  const char tab = to_space ? ' ' : '\t';
  const char* end = from + n;
  while (from < end) {
    char c = *from++;
    if (c == '\r') {
      *out++ = line;
      if (from < end && *from == '\n') from++;
    } else if (c == '\n') {
      *out++ = line;
    } else if (c == '\t') {
      *out++ = tab;
    } else {
      *out++ = c;
    }
  }
  return static_cast<uint32_t>(out - start);
}

// --- texts and values

// Stores bytes [from, from + n) as an arena text: line ends normalised when eol is set, white space of
// attribute values handled when attr_ws is set (to spaces when attr_space), then references decoded when
// decode is set. Null (status set) when memory runs out.
char* store_value(Parser& p, const char* from, uint32_t n, bool eol, bool attr_ws, bool attr_space, bool decode) {
  if (n == 0) return xml_text_empty();
  // A byte that no rule changes is stored as the shared one-byte text.
  if (n == 1 && !(class_of(*from) & (kAmp | kCr | kAttrWs | kNul))) return xml_text_one_byte(*from);
  char* text = xml_arena_reserve_fast(&p.doc->arena, n);
  if (!text) {
    fail(p, XLSX_ERR_NO_MEMORY);
    return nullptr;
  }
  uint32_t length;
  if (attr_ws) {
    length = copy_attribute_ws(text, from, n, attr_space);
  } else if (eol) {
    length = xml_copy_normalising_eol(text, from, n);
  } else {
    memcpy(text, from, n);
    length = n;
  }
  if (decode) length = xml_decode_references(text, length);
  xml_arena_commit(p.doc->arena, text, n, length);
  return charge(p, text_cost(length)) ? text : nullptr;
}

// Stores the raw bytes [from, from + n) of a comment, CDATA section, instruction or document type as the
// node's value; false (status set) when they hold a NUL byte or memory runs out.
bool store_raw(Parser& p, XmlNode* node, const char* from, size_t n) {
  if (memchr(from, 0, n)) return fail(p, XLSX_ERR_PARSE);
  node->value = store_value(p, from, static_cast<uint32_t>(n), false, false, false, false);
  return node->value != nullptr;
}

// A text run [from, to) inside an element becomes a text node unless it is white space only and such runs
// are dropped.
bool text_run(Parser& p, const char* from, const char* to) {
  uint8_t seen = 0;
  for (const char* at = from; at < to; at++) seen |= class_of(*at);
  if (!(seen & kNotTextWs) && !(p.options & XML_PARSE_WS_TEXT)) return true;
  if (seen & kNul) return fail(p, XLSX_ERR_PARSE);
  XmlNode* node = append_node(p, XML_NODE_TEXT);
  if (!node) return false;
  bool eol = (p.options & XML_PARSE_EOL) && (seen & kCr);
  bool decode = (p.options & XML_PARSE_ENTITIES) && (seen & kAmp);
  node->value = store_value(p, from, static_cast<uint32_t>(to - from), eol, false, false, decode);
  return node->value != nullptr;
}

// Reads the attributes of the current tag into owner, up to (not including) ">", "/" or "?".
bool attributes(Parser& p, XmlNode* owner, AttrMode mode) {
  for (;;) {
    skip_space(p);
    if (p.pos >= p.end) return fail(p, XLSX_ERR_PARSE);
    char c = *p.pos;
    if (c == '>' || c == '/' || c == '?') return true;
    const char* name_end = scan_name(p.pos, p.end);
    if (name_end == p.pos) return fail(p, XLSX_ERR_PARSE);
    const char* name = p.pos;
    p.pos = name_end;
    skip_space(p);
    if (p.pos >= p.end || *p.pos != '=') return fail(p, XLSX_ERR_PARSE);
    p.pos++;
    skip_space(p);
    if (p.pos >= p.end || (*p.pos != '"' && *p.pos != '\'')) return fail(p, XLSX_ERR_PARSE);
    char quote = *p.pos++;
    const char* close = find_byte(p.pos, p.end, quote);
    if (!close) return fail(p, XLSX_ERR_PARSE);
    if (!charge(p, sizeof(XmlAttr))) return false;
    XmlAttr* attr = xml_pool_take_attribute(p.doc);
    if (!attr) return fail(p, XLSX_ERR_NO_MEMORY);
    xml_link_append_attribute(owner, attr);
    attr->name = intern(p, name, static_cast<uint32_t>(name_end - name));
    if (!attr->name) return fail(p, XLSX_ERR_NO_MEMORY);
    uint8_t seen = 0;
    for (const char* at = p.pos; at < close; at++) seen |= class_of(*at);
    if (seen & kNul) return fail(p, XLSX_ERR_PARSE);
    bool element = mode == AttrMode::kElement;
    bool space = p.options & XML_PARSE_ATTR_WS;
    // Tab and LF stay as they are unless they become spaces; CR always changes.
    bool ws = element && ((seen & kCr) || (space && (seen & kAttrWs)));
    bool decode = (p.options & XML_PARSE_ENTITIES) && (seen & kAmp);
    attr->value = store_value(p, p.pos, static_cast<uint32_t>(close - p.pos), false, ws, space, decode);
    if (!attr->value) return false;
    p.pos = close + 1;
  }
}

// --- markup

// "</...>": closes the current element whatever its name; at the document level it ends the parse.
// Returns false when the parse is over.
bool closing_tag(Parser& p) {
  const char* gt = find_byte(p.pos + 2, p.end, '>');
  if (!gt || p.parent == &p.doc->node) {
    p.pos = p.end;
    return false;
  }
  p.pos = gt + 1;
  p.parent = p.parent->parent;
  p.depth--;
  return true;
}

// A comment or CDATA section: its text runs from opening bytes after p.pos to the three-byte close; kept as
// a node of type when the option asks for it.
bool raw_section(Parser& p, uint32_t opening, const char* close_text, uint32_t option, XmlNodeType type) {
  const char* from = p.pos + opening;
  const char* close = find(from, p.end, close_text, 3);
  if (!close) return fail(p, XLSX_ERR_PARSE);
  if (p.options & option) {
    XmlNode* node = append_node(p, type);
    if (!node || !store_raw(p, node, from, close - from)) return false;
  }
  p.pos = close + 3;
  return true;
}

// "<!" other than a comment or CDATA: runs to a ">" outside brackets, or to the end of input.
bool doctype(Parser& p) {
  const char* at = p.pos + 2;
  int32_t brackets = 0;
  for (; at < p.end; at++) {
    if (*at == '[') {
      brackets++;
    } else if (*at == ']') {
      brackets--;
    } else if (*at == '>' && brackets <= 0) {
      break;
    }
  }
  const char* stop = at;
  if (p.options & XML_PARSE_DOCTYPE) {
    XmlNode* node = append_node(p, XML_NODE_DOCTYPE);
    if (!node) return false;
    const char* value = p.pos + 2;
    while (value < stop && !(class_of(*value) & kSpace) && *value != '>') value++;
    while (value < stop && (class_of(*value) & kSpace)) value++;
    if (value < stop) {
      if (!store_raw(p, node, value, stop - value)) return false;
    }
  }
  p.pos = stop < p.end ? stop + 1 : p.end;
  return true;
}

// "<?": the xml declaration (target exactly "xml") or a processing instruction.
bool processing_instruction(Parser& p) {
  const char* target = p.pos + 2;
  const char* target_end = scan_name(target, p.end);
  uint32_t target_length = static_cast<uint32_t>(target_end - target);
  p.pos = target_end;
  if (target_length == 3 && memcmp(target, "xml", 3) == 0) {
    if (p.options & XML_PARSE_DECLARATION) {
      XmlNode* node = append_node(p, XML_NODE_DECLARATION);
      if (!node) return false;
      node->name = intern(p, target, 3);
      if (!node->name) return fail(p, XLSX_ERR_NO_MEMORY);
      if (!attributes(p, node, AttrMode::kDeclaration)) return false;
    }
    const char* close = find(p.pos, p.end, "?>", 2);
    if (!close) return fail(p, XLSX_ERR_PARSE);
    p.pos = close + 2;
    return true;
  }
  skip_space(p);
  const char* close = find(p.pos, p.end, "?>", 2);
  if (!close) return fail(p, XLSX_ERR_PARSE);
  if (p.options & XML_PARSE_PI) {
    XmlNode* node = append_node(p, XML_NODE_PI);
    if (!node) return false;
    node->name = intern(p, target, target_length);
    if (!node->name) return fail(p, XLSX_ERR_NO_MEMORY);
    if (close > p.pos) {
      if (!store_raw(p, node, p.pos, close - p.pos)) return false;
    }
  }
  p.pos = close + 2;
  return true;
}

// "<name attributes" followed by "/>" or ">"; with ">" the element becomes the current parent.
bool element(Parser& p) {
  const char* name = p.pos + 1;
  const char* name_end = scan_name(name, p.end);
  if (name_end == name) return fail(p, XLSX_ERR_PARSE);
  if (p.depth >= XML_MAX_DEPTH) return fail(p, XLSX_ERR_PARSE);
  XmlNode* node = append_node(p, XML_NODE_ELEMENT);
  if (!node) return false;
  node->name = intern(p, name, static_cast<uint32_t>(name_end - name));
  if (!node->name) return fail(p, XLSX_ERR_NO_MEMORY);
  p.pos = name_end;
  if (!attributes(p, node, AttrMode::kElement)) return false;
  skip_space(p);
  if (p.pos < p.end && *p.pos == '>') {
    p.pos++;
    p.parent = node;
    p.depth++;
    return true;
  }
  if (p.end - p.pos >= 2 && p.pos[0] == '/' && p.pos[1] == '>') {
    p.pos += 2;
    return true;
  }
  return fail(p, XLSX_ERR_PARSE);
}

// One markup construct at "<"; false when the parse is over (finished or failed).
bool markup(Parser& p) {
  size_t left = static_cast<size_t>(p.end - p.pos);
  char next = left >= 2 ? p.pos[1] : 0;
  if (next == '/') return closing_tag(p);
  if (next == '!') {
    if (left >= 4 && p.pos[2] == '-' && p.pos[3] == '-') return raw_section(p, 4, "-->", XML_PARSE_COMMENTS, XML_NODE_COMMENT);
    if (left >= 9 && memcmp(p.pos + 2, "[CDATA[", 7) == 0) return raw_section(p, 9, "]]>", XML_PARSE_CDATA, XML_NODE_CDATA);
    return doctype(p);
  }
  if (next == '?') return processing_instruction(p);
  return element(p);
}

void parse_content(Parser& p) {
  XmlNode* document_node = &p.doc->node;
  while (p.pos < p.end) {
    const char* lt = find_byte(p.pos, p.end, '<');
    if (!lt) lt = p.end;
    // Text directly at the document level is never kept.
    if (lt != p.pos && p.parent != document_node && !text_run(p, p.pos, lt)) return;
    p.pos = lt;
    if (p.pos == p.end || !markup(p)) return;
  }
}

}  // namespace

xlsx_status xml_document_load_buffer(XmlDoc* doc, const char* bytes, uint32_t length, uint32_t options) {
  uint64_t budget = UINT64_MAX;
  return xml_document_load_within(doc, bytes, length, options, &budget);
}

uint64_t xml_document_cost(const XmlDoc* doc) {
  if (!doc) return 0;
  uint64_t cost = 0;
  const XmlNode* top = &doc->node;
  for (const XmlNode* n = top->first_child; n;) {
    cost += sizeof(XmlNode) + text_cost(n->value ? strlen(n->value) : 0);
    for (const XmlAttr* a = n->first_attribute; a; a = a->next)
      cost += sizeof(XmlAttr) + text_cost(a->value ? strlen(a->value) : 0);
    if (n->first_child) {
      n = n->first_child;
      continue;
    }
    while (n != top && !n->next_sibling) n = n->parent;
    n = n == top ? nullptr : n->next_sibling;
  }
  return cost;
}

xlsx_status xml_document_load_within(XmlDoc* doc, const char* bytes, uint32_t length, uint32_t options,
                                     uint64_t* budget) {
  if (!doc || !bytes || !budget) return XLSX_ERR_INVALID_ARG;
  xml_journal_discard(doc);
  xml_pool_reset(doc);
  xml_doc_changed(doc);
  if (length == 0) length = static_cast<uint32_t>(strlen(bytes));
  if (length > 2 && static_cast<uint8_t>(bytes[0]) == 0xEF && static_cast<uint8_t>(bytes[1]) == 0xBB &&
      static_cast<uint8_t>(bytes[2]) == 0xBF) {
    bytes += 3;
    length -= 3;
  }
  Parser parser;
  parser.pos = bytes;
  parser.end = bytes + length;
  parser.options = options;
  parser.doc = doc;
  parser.parent = &doc->node;
  parser.depth = 0;
  parser.status = XLSX_OK;
  parser.budget = *budget;
  memset(&parser.recent, 0, sizeof parser.recent);
  memset(&parser.names, 0, sizeof parser.names);
  parse_content(parser);
  if (parser.status != XLSX_OK) xml_pool_reset(doc);
  if (parser.status == XLSX_OK) *budget = parser.budget;
  return parser.status;
}

// The shared strings table: the array of texts read from xl/sharedStrings.xml, a hash index over it for
// lookups by text, and appends that keep the XML and the array in step.
#include "lib/sheet/shared_strings.h"

#include <cstring>

#include "lib/base/alloc.h"
#include "lib/base/convert.h"
#include "lib/base/hash.h"
#include "lib/base/strbuf.h"
#include "lib/package/package.h"
#include "lib/package/part.h"
#include "lib/sheet/lookahead.h"
#include "lib/xml/escape.h"
#include "lib/xml/text_decode.h"
#include "lib/xml/tree.h"

namespace {

const char* text_at(const DynArray* strings, uint32_t index) {
  char** slot = static_cast<char**>(dynarray_get(strings, index));
  return slot && *slot ? *slot : "";
}

// Decodes the escapes of characters XML cannot carry in an owned text (lib/xml/escape.h); null stays null.
char* unescaped(char* text) {
  if (text && xml_text_has_escape(text)) xml_unescape_text(text, uint32_t(strlen(text)));
  return text;
}

// The text of one si: its t, or the runs' t texts joined, every text node of a t counted (a CDATA
// section or a comment may split it). Phonetic guides (rPh) and their properties are reading aids shown
// above the text, not part of it, and are left out.
char* item_text(const XmlNode* item) {
  XmlNode* first = xml_node_first_element(item);
  bool rich = first && strcmp(xml_node_name(first), "r") == 0;
  StrBuf sb;
  strbuf_init(&sb);
  xlsx_status status = strbuf_append(&sb, "");
  if (!rich && status == XLSX_OK) status = xml_node_append_text(first, &sb);
  for (XmlNode* run = rich ? first : nullptr; run && status == XLSX_OK; run = xml_node_next_element(run)) {
    if (strcmp(xml_node_name(run), "r") == 0) status = xml_node_append_text(xml_node_child(run, "t"), &sb);
  }
  if (status != XLSX_OK) {
    strbuf_free(&sb);
    return nullptr;
  }
  return unescaped(strbuf_detach(&sb, nullptr));
}

uint32_t hash_text(const char* text) { return xlsx_hash_text(text); }

// Slot of text (whose hash is hash) in the index: the slot holding it, or the empty slot where it would go.
uint32_t probe(const XlsxSharedStrings* table, const char* text, uint32_t hash) {
  uint32_t mask = table->slot_count - 1;
  uint32_t i = hash & mask;
  for (;; i = (i + 1) & mask) {
    const XlsxSstSlot& slot = table->slots[i];
    if (slot.position == 0) return i;
    if (slot.hash == hash && strcmp(text_at(table->strings, slot.position - 1), text) == 0) return i;
  }
}

xlsx_status grow_index(XlsxSharedStrings* table) {
  uint32_t count = table->slot_count ? table->slot_count * 2 : 1024;
  if (count == 0 || count > (UINT32_MAX / sizeof(XlsxSstSlot))) return XLSX_ERR_NO_MEMORY;
  XlsxSstSlot* slots = static_cast<XlsxSstSlot*>(xlsx_calloc(count, sizeof(XlsxSstSlot)));
  if (!slots) return XLSX_ERR_NO_MEMORY;
  XlsxSstSlot* old = table->slots;
  uint32_t old_count = table->slot_count;
  table->slots = slots;
  table->slot_count = count;
  // The texts are distinct: each goes to the first empty slot from its hash, without comparing texts.
  for (uint32_t i = 0; i < old_count; i++) {
    if (old[i].position == 0) continue;
    uint32_t at = old[i].hash & (count - 1);
    while (slots[at].position != 0) at = (at + 1) & (count - 1);
    slots[at] = old[i];
  }
  xlsx_free(old);
  return XLSX_OK;
}

// Indexes the texts not yet indexed; on memory failure the rest stays unindexed (found by scanning).
void update_index(XlsxSharedStrings* table) {
  if (table->indexed > table->strings->count) {  // the array was emptied behind the index's back
    xlsx_free(table->slots);
    table->slots = nullptr;
    table->slot_count = 0;
    table->indexed = 0;
    table->distinct = 0;
  }
  while (table->indexed < table->strings->count) {
    if (uint64_t(table->distinct + 1) * 4 > uint64_t(table->slot_count) * 3 && grow_index(table) != XLSX_OK) return;
    const char* text = text_at(table->strings, table->indexed);
    uint32_t hash = hash_text(text);
    XlsxSstSlot& slot = table->slots[probe(table, text, hash)];
    if (slot.position == 0) {  // only the first position of a text is kept: find gives the smallest
      slot = XlsxSstSlot{table->indexed + 1, hash};
      table->distinct++;
    }
    table->indexed++;
  }
}

// Sets the root's count attribute name (when present) to value; false when memory runs out.
bool set_count(XmlNode* root, const char* name, const char* value) {
  XmlAttr* attr = xml_node_attribute(root, name);
  return !attr || xml_attribute_set_value(attr, value);
}

XmlNode* append_item(XmlNode* root, const char* text) {
  XmlNode* item = xml_node_append_child(root, "si");
  XmlNode* t = xml_node_append_child(item, "t");
  size_t length = strlen(text);
  bool edge_space = length > 0 && (text[0] == ' ' || text[length - 1] == ' ');
  StrBuf escaped;
  strbuf_init(&escaped);
  bool escape = xml_text_needs_escape(text);
  bool ok = t && (!edge_space || xml_node_set_attribute(t, "xml:space", "preserve")) &&
            (!escape || xml_escape_text(text, &escaped) == XLSX_OK) &&
            (length == 0 || xml_node_set_text(t, escape ? escaped.data : text));
  strbuf_free(&escaped);
  if (!ok && item) {
    xml_node_remove_child(root, item);
    item = nullptr;
  }
  return item;
}

// Updates uniqueCount and count to value; on failure restores what it changed and removes item.
bool update_counts(XmlNode* root, XmlNode* item, const char* value) {
  char old[24] = "";
  const char* current = xml_attribute_value(xml_node_attribute(root, "uniqueCount"));
  bool restorable = strlen(current) < sizeof(old);
  if (restorable) strcpy(old, current);
  if (!set_count(root, "uniqueCount", value)) {
    xml_node_remove_child(root, item);
    return false;
  }
  if (!set_count(root, "count", value)) {
    if (restorable) set_count(root, "uniqueCount", old);
    xml_node_remove_child(root, item);
    return false;
  }
  return true;
}

// ---- Reading the table straight from the part's text
//
// A large table is read without building its tree: one pass over the XML fills the array with the
// texts the tree walk above would give (the first element of an item, or the joined `t` of its `r`
// runs; line ends normalised and references decoded as the parser does). The pass knows only the
// plain form writers produce; on anything else (comments, CDATA, processing instructions inside the
// root, a NUL byte, a malformed or mismatched tag, deep nesting) it gives up and the tree is parsed,
// so both ways give the same texts. The tree itself is parsed only when a text is appended.

enum class Scan { kDone, kNoMemory, kGiveUp };

// Nesting below an item that the pass follows before it leaves the table to the parser.
constexpr uint32_t kScanDepth = 32;

bool is_name_char(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' || c == '-' ||
         c == '.' || c == ':';
}

struct Span {
  const char* from;
  uint32_t n;
};

bool span_is(const Span& span, const char* text) {
  return span.n == strlen(text) && memcmp(span.from, text, span.n) == 0;
}

struct Scanner {
  const char* p;
  const char* end;
};

void skip_space(Scanner& s) {
  while (s.p < s.end && char_is_space(static_cast<unsigned char>(*s.p))) s.p++;
}

bool read_name(Scanner& s, Span* name) {
  const char* from = s.p;
  while (s.p < s.end && is_name_char(*s.p)) s.p++;
  *name = Span{from, uint32_t(s.p - from)};
  return s.p > from;
}

// After an element's name: its attributes and the tag's end. *empty tells "/>" from ">".
bool finish_start_tag(Scanner& s, bool* empty) {
  for (;;) {
    skip_space(s);
    if (s.p >= s.end) return false;
    if (*s.p == '>') {
      s.p++;
      *empty = false;
      return true;
    }
    if (*s.p == '/') {
      if (s.end - s.p < 2 || s.p[1] != '>') return false;
      s.p += 2;
      *empty = true;
      return true;
    }
    Span name;
    if (!read_name(s, &name)) return false;
    skip_space(s);
    if (s.p >= s.end || *s.p != '=') return false;
    s.p++;
    skip_space(s);
    if (s.p >= s.end || (*s.p != '"' && *s.p != '\'')) return false;
    const char* close = static_cast<const char*>(memchr(s.p + 1, *s.p, size_t(s.end - s.p - 1)));
    if (!close) return false;
    s.p = close + 1;
  }
}

// At "</": the end tag of the element named name.
bool end_tag(Scanner& s, const Span& name) {
  s.p += 2;
  Span closing;
  if (!read_name(s, &closing) || closing.n != name.n || memcmp(closing.from, name.from, name.n) != 0) return false;
  skip_space(s);
  if (s.p >= s.end || *s.p != '>') return false;
  s.p++;
  return true;
}

// What an item needs to know of one of its elements.
struct Element {
  Span name;
  Span text;    // its first text run; n = 0 when it has none
  Span t_text;  // the first text run of its first `t` child; n = 0 when none
  bool has_t;
};

// The text run at s.p, up to the next "<" (or the end).
Span text_run(Scanner& s) {
  const char* lt = static_cast<const char*>(memchr(s.p, '<', size_t(s.end - s.p)));
  if (!lt) lt = s.end;
  Span run{s.p, uint32_t(lt - s.p)};
  s.p = lt;
  return run;
}

// Reads the start tag at s.p ("<" included) into *name and *empty; false when it is not a plain one.
bool start_tag(Scanner& s, Span* name, bool* empty) {
  s.p++;
  *empty = false;
  return read_name(s, name) && finish_start_tag(s, empty);
}

// The content of an element whose start tag was read, up to the end of its end tag: each text run goes to
// on_text, each child element to on_child (which reads it whole and returns how that went). A comment, an
// instruction, a cut-off end or another end tag gives up (the parser then decides).
template <typename OnText, typename OnChild>
Scan content(Scanner& s, const Span& name, bool empty, OnText on_text, OnChild on_child) {
  while (!empty) {
    on_text(text_run(s));
    if (s.end - s.p < 2) return Scan::kGiveUp;
    if (s.p[1] == '/') return end_tag(s, name) ? Scan::kDone : Scan::kGiveUp;
    if (s.p[1] == '!' || s.p[1] == '?') return Scan::kGiveUp;
    Scan result = on_child();
    if (result != Scan::kDone) return result;
  }
  return Scan::kDone;
}

// One element from its "<" to the end of its end tag, children included.
Scan element(Scanner& s, uint32_t depth, Element* out) {
  *out = Element{};
  bool empty = false;
  if (!start_tag(s, &out->name, &empty)) return Scan::kGiveUp;
  return content(
      s, out->name, empty,
      [&](const Span& run) {
        if (run.n > 0 && out->text.n == 0) out->text = run;
      },
      [&] {
        if (depth >= kScanDepth) return Scan::kGiveUp;
        Element child;
        Scan result = element(s, depth + 1, &child);
        if (result == Scan::kDone && !out->has_t && span_is(child.name, "t")) {
          out->has_t = true;
          out->t_text = child.text;
        }
        return result;
      });
}

// The stored text of a run, as an owned NUL-terminated copy; null when memory runs out.
char* run_text(const Span& run) {
  char* text = static_cast<char*>(xlsx_malloc(run.n + 1));
  if (!text) return nullptr;
  uint32_t length = run.n;
  if (run.n > 0 && memchr(run.from, '\r', run.n)) length = xml_copy_normalising_eol(text, run.from, run.n);
  else if (run.n > 0) memcpy(text, run.from, run.n);  // an empty item has no source bytes (null)
  if (length > 0 && memchr(text, '&', length)) length = xml_decode_references(text, length);
  text[length] = 0;
  return unescaped(text);
}

// Appends the stored text of a run to joined; false when memory runs out.
bool append_run(StrBuf* joined, const Span& run) {
  char* text = run_text(run);
  bool ok = text && strbuf_append(joined, text) == XLSX_OK;
  xlsx_free(text);
  return ok;
}

// The form nearly every item has, "<si><t>text</t></si>" with a text free of references and CR: its text
// is copied as it stands. False (nothing read) for any other form.
bool plain_item(Scanner& s, char** text) {
  static const char kOpen[] = "<si><t>";
  static const char kClose[] = "</t></si>";
  const char* from = s.p + sizeof kOpen - 1;
  if (s.end - s.p < 16 || memcmp(s.p, kOpen, sizeof kOpen - 1) != 0) return false;
  const char* at = from;
  while (at < s.end && *at != '<' && *at != '&' && *at != '\r') at++;
  if (size_t(s.end - at) < sizeof kClose - 1 || memcmp(at, kClose, sizeof kClose - 1) != 0) return false;
  *text = unescaped(xlsx_strndup(from, uint32_t(at - from)));
  s.p = at + sizeof kClose - 1;
  return true;
}

// One item from its "<" to its end tag; its text goes to *text (owned).
Scan item(Scanner& s, char** text) {
  *text = nullptr;
  if (plain_item(s, text)) return *text ? Scan::kDone : Scan::kNoMemory;
  Span name;
  bool empty = false;
  if (!start_tag(s, &name, &empty)) return Scan::kGiveUp;
  bool first = true, rich = false;
  Span plain{nullptr, 0};
  StrBuf joined;
  strbuf_init(&joined);
  Scan result = content(
      s, name, empty, [](const Span&) {},
      [&] {
        Element child;
        Scan read = element(s, 1, &child);
        if (read != Scan::kDone) return read;
        if (first) {
          first = false;
          rich = span_is(child.name, "r");
          plain = child.text;
        }
        if (rich && span_is(child.name, "r") && child.has_t && !append_run(&joined, child.t_text)) return Scan::kNoMemory;
        return Scan::kDone;
      });
  if (result == Scan::kDone) {
    *text = rich ? strbuf_detach(&joined, nullptr) : run_text(plain);
    if (!*text) result = Scan::kNoMemory;
  }
  strbuf_free(&joined);
  return result;
}

// The document level before the root: a byte-order mark, white space and the xml declaration.
bool skip_prolog(Scanner& s) {
  if (s.end - s.p >= 3 && uint8_t(s.p[0]) == 0xEF && uint8_t(s.p[1]) == 0xBB && uint8_t(s.p[2]) == 0xBF) s.p += 3;
  skip_space(s);
  if (s.end - s.p >= 5 && memcmp(s.p, "<?xml", 5) == 0 && s.end - s.p > 5 && !is_name_char(s.p[5])) {
    const char* close = s.p + 5;
    while (close + 1 < s.end && !(close[0] == '?' && close[1] == '>')) close++;
    if (close + 1 >= s.end) return false;
    s.p = close + 2;
    skip_space(s);
  }
  return s.p < s.end && *s.p == '<' && s.end - s.p >= 2 && is_name_char(s.p[1]);
}

// Drops the texts pushed after the first `before` entries.
void pop_to(DynArray* strings, uint32_t before) {
  while (strings->count > before) {
    xlsx_free(*static_cast<char**>(dynarray_get(strings, strings->count - 1)));
    dynarray_pop(strings);
  }
}

// The items of the whole text into strings; on anything but kDone the array is as it was.
// What a string read without a tree counts against its package's budget: its bytes, its slot in the
// array and the allocator's record of its block.
uint64_t scanned_cost(const char* text) { return strlen(text) + 1 + 2 * sizeof(char*); }

Scan scan_items(const char* bytes, uint32_t size, DynArray* strings, uint64_t* budget) {
  Scanner s{bytes, bytes + size};
  if (memchr(bytes, 0, size) || !skip_prolog(s)) return Scan::kGiveUp;
  uint32_t before = strings->count;
  uint64_t left = *budget;
  Span root;
  bool empty = false;
  if (!start_tag(s, &root, &empty)) return Scan::kGiveUp;
  Scan result = content(
      s, root, empty, [](const Span&) {},
      [&] {
        char* text = nullptr;
        Scan read = item(s, &text);
        if (read != Scan::kDone) return read;
        uint64_t cost = scanned_cost(text);
        if (cost > left) {
          xlsx_free(text);
          return Scan::kGiveUp;  // beyond the budget: the parse that follows fails at it too
        }
        left -= cost;
        if (dynarray_push(strings, &text)) return Scan::kDone;
        xlsx_free(text);
        return Scan::kNoMemory;
      });
  skip_space(s);
  if (result == Scan::kDone && s.p != s.end) result = Scan::kGiveUp;  // anything after the root
  if (result != Scan::kDone) pop_to(strings, before);
  if (result == Scan::kDone) *budget = left;
  return result;
}

// Reads the table from the part's stored text when that is possible without a tree; kGiveUp leaves
// the part to be parsed (its inflated text is kept for that).
Scan scan_part(XlsxSharedStrings* table) {
  XlsxPart* part = table->part;
  if (part->loaded || xml_document_element(part->xml) || !part->loader) return Scan::kGiveUp;
  uint32_t size = 0;
  xlsx_status status = XLSX_OK;
  const char* bytes = part->loader(part->loader_context, part->path, &size, &status);
  if (!bytes) return status == XLSX_ERR_NO_MEMORY ? Scan::kNoMemory : Scan::kGiveUp;
  if (size == 0) return Scan::kGiveUp;
  uint64_t unbounded = UINT64_MAX;
  Scan result = scan_items(bytes, size, table->strings, part->owner ? &part->owner->parsed_left : &unbounded);
  if (result != Scan::kGiveUp && part->release) part->release(part->loader_context, part->path);
  return result;
}

// Texts from one sample to the next, and the fewest texts a table has for samples to be taken (a smaller
// one stays in the cache).
constexpr uint32_t kTextSampleStep = 32;
constexpr uint32_t kTextSampleMinCount = 4096;

// Samples the loaded texts afresh (none for a table of few texts); XLSX_ERR_NO_MEMORY without them.
xlsx_status take_text_samples(XlsxSharedStrings* table) {
  auto address = [table](uint32_t at) { return lookahead::address_of(text_at(table->strings, at)); };
  bool taken = lookahead::resample(&table->text_samples, &table->text_sample_count, table->strings->count,
                                   kTextSampleMinCount, kTextSampleStep, address);
  return taken ? XLSX_OK : XLSX_ERR_NO_MEMORY;
}

// Asks for text index where the samples around it place it: the texts were made one after another, so
// they mostly lie at an even stride between two samples.
void fetch_text(const XlsxSharedStrings* table, uint32_t index) {
  uint32_t k = index / kTextSampleStep;
  if (!table->text_samples || k + 1 >= table->text_sample_count) return;
  uintptr_t from = table->text_samples[k], to = table->text_samples[k + 1];
  uintptr_t at = from + (index % kTextSampleStep) * lookahead::stride(from, to, kTextSampleStep);
  lookahead::fetch(at);
  lookahead::fetch(at + lookahead::kLine);
}

// The array filled from the part from position before on: sampled, and the table marked loaded; without
// memory for the samples the texts are taken back.
xlsx_status finish_load(XlsxSharedStrings* table, uint32_t before) {
  if (take_text_samples(table) != XLSX_OK) {
    pop_to(table->strings, before);
    return XLSX_ERR_NO_MEMORY;
  }
  table->loaded = 1;
  return XLSX_OK;
}

}  // namespace

void xlsx_sst_init(XlsxSharedStrings* table, XlsxPart* part, DynArray* strings) {
  if (!table) return;
  *table = XlsxSharedStrings{};
  table->part = part;
  table->strings = strings;
}

void xlsx_sst_release(XlsxSharedStrings* table) {
  if (!table) return;
  xlsx_free(table->slots);
  xlsx_free(table->text_samples);
  *table = XlsxSharedStrings{};
}

xlsx_status xlsx_sst_ensure_loaded(XlsxSharedStrings* table) {
  if (!table) return XLSX_ERR_INVALID_ARG;
  if (table->loaded || !table->part || !table->strings) return XLSX_OK;
  DynArray* strings = table->strings;
  uint32_t before = strings->count;
  Scan scanned = scan_part(table);
  if (scanned == Scan::kNoMemory) return XLSX_ERR_NO_MEMORY;
  if (scanned == Scan::kDone) return finish_load(table, before);
  xlsx_part_load(table->part);
  if (!table->part->loaded) return XLSX_ERR_NO_MEMORY;  // left unparsed for lack of memory
  for (XmlNode* item = xml_node_first_element(xlsx_part_root(table->part)); item;
       item = xml_node_next_element(item)) {
    char* text = item_text(item);
    if (!text || !dynarray_push(strings, &text)) {
      xlsx_free(text);
      pop_to(strings, before);
      return XLSX_ERR_NO_MEMORY;
    }
  }
  return finish_load(table, before);
}

const char* xlsx_sst_get(XlsxSharedStrings* table, uint32_t index) {
  if (!table || !table->strings || xlsx_sst_ensure_loaded(table) != XLSX_OK) return "";
  fetch_text(table, index);
  return text_at(table->strings, index);
}

uint32_t xlsx_sst_count(XlsxSharedStrings* table) {
  if (!table || !table->strings || xlsx_sst_ensure_loaded(table) != XLSX_OK) return 0;
  return table->strings->count;
}

int32_t xlsx_sst_find(XlsxSharedStrings* table, const char* text) {
  if (!table || !table->strings || !text || xlsx_sst_ensure_loaded(table) != XLSX_OK) return -1;
  update_index(table);
  if (table->slot_count > 0) {
    uint32_t slot = table->slots[probe(table, text, hash_text(text))].position;
    if (slot != 0) return int32_t(slot - 1);
  }
  for (uint32_t i = table->indexed; i < table->strings->count; i++) {
    if (strcmp(text_at(table->strings, i), text) == 0) return int32_t(i);
  }
  return -1;
}

bool xlsx_sst_contains(XlsxSharedStrings* table, const char* text) { return xlsx_sst_find(table, text) >= 0; }

int32_t xlsx_sst_append(XlsxSharedStrings* table, const char* text) {
  if (!table || !table->part || !table->strings || xlsx_sst_ensure_loaded(table) != XLSX_OK) return -1;
  if (!text) text = "";
  XmlNode* root = xlsx_part_root(table->part);
  DynArray* strings = table->strings;
  if (!root || strings->count >= uint32_t(INT32_MAX)) return -1;
  char* copy = xlsx_strdup(text);
  if (!copy || dynarray_reserve(strings, strings->count + 1) != XLSX_OK) {
    xlsx_free(copy);
    return -1;
  }
  char count[24];
  // The "%u" text, written without the formatted printer: every text a script stores first comes here.
  xlsx_u64_to_text(strings->count + 1, count);
  XmlNode* item = append_item(root, text);
  if (!item || !update_counts(root, item, count)) {
    xlsx_free(copy);
    return -1;
  }
  dynarray_push(strings, &copy);  // cannot fail: the slot was reserved
  return int32_t(strings->count - 1);
}

void xlsx_sst_truncate(XlsxSharedStrings* table, uint32_t count) {
  // The hash index notices a shorter array and is built again (update_index).
  if (table && table->strings) pop_to(table->strings, count);
}

int32_t xlsx_sst_find_or_append(XlsxSharedStrings* table, const char* text) {
  int32_t index = xlsx_sst_find(table, text ? text : "");
  return index >= 0 ? index : xlsx_sst_append(table, text);
}

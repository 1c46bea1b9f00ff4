// What a loaded sheet costs in memory, part by part: every block the library asks for is counted (the
// bytes asked for, and the bytes the allocator holds for it), and the loaded structures are walked.
//   sheet_memory FILE R [c]   open FILE, load its first worksheet and the shared strings, read every cell
//                             of R rows x 10 columns (so that the row index is built as a reader builds
//                             it), then change A1 and save a copy. Blocks come from the host's regions
//                             (host/regions.h) as korvadel gives them, or from the C library with "c".
// Prints a table of bytes per cell and one "RESULT ..." line.
#include <malloc.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <unordered_map>

#include "host/regions.h"
#include "lib/base/host_ops.h"
#include "lib/document/document.h"
#include "lib/sheet/cell.h"
#include "lib/sheet/sheet_index.h"
#include "lib/sheet/workbook.h"
#include "lib/sheet/worksheet.h"
#include "lib/xml/node_pool.h"
#include "lib/xml/text_arena.h"

namespace {

bool g_regions = true;

// Every live block with the size asked for; the totals now and at their highest since the last mark.
struct Counts {
  std::unordered_map<void*, uint32_t> sizes;
  uint64_t asked = 0;  // bytes asked for by live blocks
  uint64_t held = 0;   // bytes the allocator holds for them
  uint64_t peak_asked = 0;
  uint64_t peak_held = 0;
} g_counts;

// Bytes the allocator holds for a block of size bytes: a page-rounded mapping for a region, else the
// C library's chunk (its usable size and one size word).
uint64_t held_for(void* block, uint32_t size) {
  if (g_regions && RegionsInUse() && size >= kRegionMinimum) return (uint64_t(size) + 4095) & ~uint64_t(4095);
  return malloc_usable_size(block) + sizeof(size_t);
}

void note(void* block, uint32_t size) {
  g_counts.sizes[block] = size;
  g_counts.asked += size;
  g_counts.held += held_for(block, size);
  if (g_counts.asked > g_counts.peak_asked) g_counts.peak_asked = g_counts.asked;
  if (g_counts.held > g_counts.peak_held) g_counts.peak_held = g_counts.held;
}

// Takes a live block out of the counts, before it is released.
void forget(void* block) {
  auto it = g_counts.sizes.find(block);
  if (it == g_counts.sizes.end()) return;
  g_counts.asked -= it->second;
  g_counts.held -= held_for(block, it->second);
  g_counts.sizes.erase(it);
}

void mark_peak() {
  g_counts.peak_asked = g_counts.asked;
  g_counts.peak_held = g_counts.held;
}

void* counted_malloc(uint32_t size) {
  void* block = g_regions ? RegionObtain(size, false) : malloc(size ? size : 1);
  if (block) note(block, size);
  return block;
}

void* counted_calloc(uint32_t count, uint32_t size) {
  uint32_t bytes = count * size;  // the library checks the product
  void* block = g_regions ? RegionObtain(bytes, true) : calloc(1, bytes ? bytes : 1);
  if (block) note(block, bytes);
  return block;
}

void* counted_realloc(void* block, uint32_t size) {
  // The old block leaves the counts first (its held bytes can only be read while it lives); it comes back
  // when the resize fails.
  auto it = g_counts.sizes.find(block);
  uint32_t old = it != g_counts.sizes.end() ? it->second : 0;
  if (block) forget(block);
  void* moved = g_regions ? RegionResize(block, size) : realloc(block, size ? size : 1);
  if (!moved) {
    if (block) note(block, old);
    return nullptr;
  }
  note(moved, size);
  return moved;
}

void counted_free(void* block) {
  if (!block) return;
  forget(block);
  if (g_regions) {
    RegionRelease(block);
  } else {
    free(block);
  }
}

// Resident bytes of the process now.
uint64_t resident_bytes() {
  unsigned long pages = 0, resident = 0;
  FILE* f = std::fopen("/proc/self/statm", "r");
  if (f) {
    if (std::fscanf(f, "%lu %lu", &pages, &resident) != 2) resident = 0;
    std::fclose(f);
  }
  return uint64_t(resident) * uint64_t(sysconf(_SC_PAGESIZE));
}

// Nodes by kind, attributes and the values of one byte (which the tree may share) of a tree.
struct TreeFigures {
  uint64_t elements = 0, texts = 0, others = 0, attributes = 0, one_byte_values = 0;
};

uint64_t one_byte(const char* text) {
  return text && text[0] && !text[1];
}

TreeFigures walk(XmlDoc* doc) {
  TreeFigures f;
  XmlNode* node = doc->node.first_child;
  while (node) {
    if (node->type == XML_NODE_ELEMENT) {
      f.elements++;
    } else if (node->type == XML_NODE_TEXT) {
      f.texts++;
    } else {
      f.others++;
    }
    f.one_byte_values += one_byte(node->value);
    for (XmlAttr* a = node->first_attribute; a; a = a->next) {
      f.attributes++;
      f.one_byte_values += one_byte(a->value);
    }
    if (node->first_child) {
      node = node->first_child;
      continue;
    }
    while (node && !node->next_sibling) node = node->parent == &doc->node ? nullptr : node->parent;
    if (node) node = node->next_sibling;
  }
  return f;
}

uint64_t arena_bytes(const XmlDoc* doc) {
  uint64_t total = 0;
  for (const XmlTextArena* chunk = doc->arena; chunk; chunk = chunk->previous) {
    total += sizeof(XmlTextArena) + chunk->capacity;
  }
  return total;
}

struct Row {
  const char* what;
  double bytes;
};

void print_rows(const Row* rows, int n, double cells) {
  std::printf("| item | MB | bytes per cell |\n|---|---|---|\n");
  for (int i = 0; i < n; i++) {
    std::printf("| %s | %.1f | %.1f |\n", rows[i].what, rows[i].bytes / 1e6, rows[i].bytes / cells);
  }
}

int run(const char* path, uint32_t rows) {
  XlsxHostOps ops = *xlsx_default_host_ops();
  ops.malloc_fn = counted_malloc;
  ops.calloc_fn = counted_calloc;
  ops.realloc_fn = counted_realloc;
  ops.free_fn = counted_free;
  xlsx_set_host_ops(&ops);
  uint64_t rss0 = resident_bytes();

  XlsxDocument* doc = xlsx_document_new();
  XlsxWorksheet ws;
  XlsxCell cell;
  // The worksheet part is parsed when the worksheet is first asked for.
  if (xlsx_document_open(doc, path) != XLSX_OK) return 1;
  uint64_t opened = g_counts.asked;
  mark_peak();
  if (xlsx_workbook_worksheet_at(xlsx_document_workbook(doc), 1, &ws) != XLSX_OK ||
      xlsx_sheet_find_cell(&ws, 1, 1, &cell) != XLSX_OK)
    return 1;
  uint64_t parse_peak = g_counts.peak_asked;
  uint64_t parsed = g_counts.asked;
  if (xlsx_sst_ensure_loaded(xlsx_document_shared_strings(doc)) != XLSX_OK) return 1;
  XlsxCellValue v;
  xlsx_value_init(&v);
  uint64_t seen = 0;
  for (uint32_t r = 1; r <= rows; r++)
    for (uint32_t c = 1; c <= 10; c++)
      if (xlsx_sheet_find_cell(&ws, r, c, &cell) == XLSX_OK && xlsx_cell_get_value(&cell, &v) == XLSX_OK &&
          v.type != XLSX_VALUE_EMPTY)
        seen++;
  xlsx_value_reset(&v);
  uint64_t loaded = g_counts.asked, loaded_held = g_counts.held, rss1 = resident_bytes();

  // The worksheet's tree, its index and the shared strings.
  XmlDoc* xml = ws.part->xml;
  TreeFigures tree = walk(xml);
  uint64_t arena = arena_bytes(xml);
  uint64_t node_pool = xml_pool_node_bytes(xml), attr_pool = xml_pool_attribute_bytes(xml);
  XlsxSheetIndex* index = ws.index;
  uint64_t index_bytes = sizeof(XlsxSheetIndex) + uint64_t(index->row_capacity) * sizeof(XlsxRowEntry);
  DynArray* strings = &doc->shared_strings;
  uint64_t sst_array = uint64_t(strings->capacity) * strings->element_size, sst_texts = 0;
  for (uint32_t i = 0; i < strings->count; i++) {
    sst_texts += std::strlen(*static_cast<char**>(dynarray_get(strings, i))) + 1;
  }
  uint64_t sst_index = uint64_t(doc->shared_strings_table.slot_count) * sizeof(XlsxSstSlot);
  double cells = double(rows) * 10;

  std::printf("sheet %s, %u rows x 10 = %.0f cells (%llu read), %zu-bit build, blocks from %s\n\n", path, rows, cells,
              static_cast<unsigned long long>(seen), sizeof(void*) * 8,
              g_regions && RegionsInUse() ? "the host's regions" : "the C library");
  std::printf("tree: %llu elements, %llu texts, %llu others, %llu attributes, %llu values of one byte; XmlNode %zu "
              "bytes, XmlAttr %zu bytes\n\n",
              static_cast<unsigned long long>(tree.elements), static_cast<unsigned long long>(tree.texts),
              static_cast<unsigned long long>(tree.others), static_cast<unsigned long long>(tree.attributes),
              static_cast<unsigned long long>(tree.one_byte_values), sizeof(XmlNode), sizeof(XmlAttr));
  uint64_t nodes_in_use = (tree.elements + tree.texts + tree.others) * sizeof(XmlNode);
  uint64_t attrs_in_use = tree.attributes * sizeof(XmlAttr);
  Row table[] = {
      {"nodes in use", double(nodes_in_use)},
      {"attributes in use", double(attrs_in_use)},
      {"node and attribute pages beyond the slots in use", double(node_pool + attr_pool - nodes_in_use - attrs_in_use)},
      {"text arena: texts (tag and terminator included), names, room in the newest chunk", double(arena)},
      {"row index", double(index_bytes)},
      {"shared strings: texts", double(sst_texts)},
      {"shared strings: array and hash index", double(sst_array + sst_index)},
      {"worksheet part and workbook parts: everything asked for", double(parsed - opened)},
      {"document after open (the file's bytes, the archive's records)", double(opened)},
      {"all blocks asked for, sheet loaded and read", double(loaded)},
      {"allocator's own overhead (held - asked)", double(loaded_held - loaded)},
      {"resident growth of the process", double(rss1 - rss0)},
      {"while parsing: highest asked for beyond what stays", double(parse_peak - parsed)},
  };
  print_rows(table, sizeof table / sizeof table[0], cells);

  // Change one cell and save: what is held twice while the part is serialised and stored.
  XlsxCellValue forty_two;
  xlsx_value_init(&forty_two);
  xlsx_value_set_int(&forty_two, 42);
  if (xlsx_sheet_cell(&ws, 1, 1, &cell) != XLSX_OK || xlsx_cell_set_value(&cell, &forty_two) != XLSX_OK) return 1;
  char out[4096];
  std::snprintf(out, sizeof out, "%s.memory-copy.xlsx", path);
  uint64_t before_save = g_counts.asked;
  mark_peak();
  xlsx_status saved = xlsx_document_save_as(doc, out);
  uint64_t save_peak = g_counts.peak_asked, save_peak_held = g_counts.peak_held;
  std::remove(out);
  xlsx_document_free(doc);
  std::printf("\nsave of the changed sheet: highest asked for beyond the loaded document %.1f MB = %.1f bytes per cell "
              "(held %.1f MB)\n",
              (save_peak - before_save) / 1e6, (save_peak - before_save) / cells, (save_peak_held - before_save) / 1e6);
  std::printf("RESULT mode=memory cells=%.0f loaded_per_cell=%.1f held_per_cell=%.1f rss_per_cell=%.1f "
              "parse_extra_per_cell=%.1f save_extra_per_cell=%.1f left=%llu check=%s\n",
              cells, loaded / cells, loaded_held / cells, (rss1 - rss0) / cells, (parse_peak - parsed) / cells,
              (save_peak - before_save) / cells, static_cast<unsigned long long>(g_counts.sizes.size()),
              saved == XLSX_OK && seen == uint64_t(cells) && g_counts.sizes.empty() ? "ok" : "FAILED");
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: sheet_memory FILE R [c]\n");
    return 2;
  }
  g_regions = !(argc >= 4 && !std::strcmp(argv[3], "c"));
  return run(argv[1], static_cast<uint32_t>(std::atoi(argv[2])));
}

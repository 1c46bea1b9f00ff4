// Fetching ahead for a cell lookup far from the cursor. Such a lookup reads, each after the one before, the
// row's entry, the cells it counts past from an end of the row, the counted cell's `r` attribute and the
// attribute's text; on a loaded sheet of a million cells each of them is a cache miss. The parser lays a row
// out in three runs of nearly even stride (its nodes, its attributes, its texts), so once the entry is read
// the addresses of the rest can be guessed from the row's ends and from where the next row's runs start, and
// asked for all at once: the misses then overlap instead of following one another. Rows of a large sheet
// are sampled (XlsxRowSample), so that the same guesses can be made from the nearest sample, in a table small
// enough to stay in the cache, while the row's own entry is still being read.
// Only a hint to the processor: a prefetch reads nothing the program sees and cannot fault, so a wrong guess
// (a row laid out otherwise, a tree changed by edits) costs a wasted fetch, never a wrong result. Addresses
// are computed as integers, never as pointers into objects they may not belong to.
#pragma once

#include <cstdint>

#include "lib/base/alloc.h"
#include "lib/xml/tree.h"

namespace lookahead {

// The compiler counts a prefetch as free of side effects, so it would drop a loop, or a call of a function,
// made only of prefetches; the empty volatile statement after each one keeps them.
inline void fetch(uintptr_t address) {
  __builtin_prefetch(reinterpret_cast<const void*>(address));
  __asm__ volatile("");
}

// The cache line the fetches step by (the benchmark machines'; elsewhere a fetch may bring less or more).
constexpr uintptr_t kLine = 64;

// Every line of a node at address: points at most a line apart, the last byte included.
inline void fetch_node(uintptr_t address) {
  for (uintptr_t offset = 0; offset < sizeof(XmlNode); offset += kLine) fetch(address + offset);
  fetch(address + sizeof(XmlNode) - 1);
}

// The distance from `from` to `to` (either direction) shared out over n steps, as an address offset.
inline uintptr_t stride(uintptr_t from, uintptr_t to, uint32_t n) {
  return static_cast<uintptr_t>((static_cast<int64_t>(to) - static_cast<int64_t>(from)) / n);
}

// The address of p as an integer, for guessing from; 0 for null.
inline uintptr_t address_of(const void* p) { return reinterpret_cast<uintptr_t>(p); }

// Most cells a count passes that are fetched ahead, and the most bytes of the counted cell's subtree.
constexpr uint32_t kSteps = 8;
constexpr uint32_t kSubtreeBytes = 512;

// A count of `steps` cells from the first (forward) or last child of a row of `cells` + 1 cells: the node it
// starts from and the nodes it passes, guessed by the row's stride in the node run, and the counted cell's
// subtree (its value and text nodes follow it in that run).
inline void fetch_count(uintptr_t first, uintptr_t last, uint32_t cells, uint32_t steps, bool forward) {
  if (!first || !last || cells == 0) return;
  uintptr_t cell = stride(first, last, cells);  // a cell's share of the node run
  uintptr_t step = forward ? cell : 0 - cell;
  uintptr_t at = forward ? first : last;
  for (uint32_t k = 0; k <= steps && k <= kSteps; k++) fetch_node(at + k * step);  // the start, then the passed
  at += steps * step;
  // The subtree lies after the cell in the order the parser made the nodes, whichever way the run goes.
  bool down = last < first;
  uintptr_t bytes = down ? 0 - cell : cell;
  for (uintptr_t offset = 0; offset < bytes && offset < kSubtreeBytes; offset += kLine)
    fetch(down ? at - offset : at + offset);
}

// The k-th of a row's `cells` cells: its attributes and texts, guessed between where this row's runs start
// and where the next row's do (a line either side, for rows whose cells differ in their attributes).
inline void fetch_cell_texts(uintptr_t attributes, uintptr_t next_attributes, uintptr_t texts, uintptr_t next_texts,
                             uint32_t k, uint32_t cells) {
  if (!attributes || !next_attributes || !texts || !next_texts || cells == 0) return;
  uintptr_t attribute = attributes + k * stride(attributes, next_attributes, cells);
  uintptr_t text = texts + k * stride(texts, next_texts, cells);
  fetch(attribute - kLine);
  fetch(attribute);
  fetch(attribute + kLine);
  fetch(text - kLine);
  fetch(text);
  fetch(text + kLine);
}

// The samples of a long run of n items (rows, texts) that guesses are made from: one per `step` items from
// the first, take(i) made from item i; they replace *samples and *count, and there are none (null, 0) for a
// run shorter than `fewest`. False without memory for them.
template <typename Sample, typename Take>
bool resample(Sample** samples, uint32_t* count, uint32_t n, uint32_t fewest, uint32_t step, Take take) {
  xlsx_free(*samples);
  *samples = nullptr;
  *count = 0;
  if (n == 0 || n < fewest) return true;
  uint32_t made = (n - 1) / step + 1;
  auto* table = static_cast<Sample*>(xlsx_malloc(made * static_cast<uint32_t>(sizeof(Sample))));
  if (!table) return false;
  for (uint32_t k = 0; k < made; k++) table[k] = take(k * step);
  *samples = table;
  *count = made;
  return true;
}

}  // namespace lookahead

// DynArray: contiguous fixed-size elements in counted memory.
#include "lib/base/dynarray.h"

#include <cstring>

#include "lib/base/alloc.h"

namespace {

char* slot(const DynArray* arr, uint32_t index) {
  return static_cast<char*>(arr->data) + static_cast<size_t>(index) * arr->element_size;
}

// Offset of p inside the array's block, or -1 when p points elsewhere (an element copied from the
// array itself must be found again after the block moved).
int64_t offset_in_block(const DynArray* arr, const void* p) {
  if (!arr->data || !p) return -1;
  const char* c = static_cast<const char*>(p);
  const char* base = static_cast<const char*>(arr->data);
  if (c < base || c >= base + static_cast<size_t>(arr->capacity) * arr->element_size) return -1;
  return c - base;
}

void fill_slot(const DynArray* arr, char* target, const void* element) {
  if (element) {
    std::memmove(target, element, arr->element_size);
  } else {
    std::memset(target, 0, arr->element_size);
  }
}

void destroy(const DynArray* arr, uint32_t index) {
  if (arr->element_destructor) arr->element_destructor(slot(arr, index));
}

// Room for one more element; the element pointer is re-based when it pointed into the old block.
bool grow_for_one(DynArray* arr, const void** element) {
  if (arr->count == UINT32_MAX) return false;
  int64_t inside = offset_in_block(arr, *element);
  if (dynarray_reserve(arr, arr->count + 1) != XLSX_OK) return false;
  if (inside >= 0) *element = static_cast<const char*>(arr->data) + inside;
  return true;
}

}  // namespace

void dynarray_init(DynArray* arr, uint32_t element_size, DynArrayDestructor destructor) {
  arr->data = nullptr;
  arr->count = 0;
  arr->capacity = 0;
  arr->element_size = element_size ? element_size : 1;
  arr->element_destructor = destructor;
}

xlsx_status dynarray_reserve(DynArray* arr, uint32_t need) {
  return xlsx_grow(&arr->data, &arr->capacity, need, arr->element_size, 8);
}

void* dynarray_push(DynArray* arr, const void* element) {
  if (!grow_for_one(arr, &element)) return nullptr;
  char* target = slot(arr, arr->count);
  fill_slot(arr, target, element);
  ++arr->count;
  return target;
}

void* dynarray_insert(DynArray* arr, uint32_t index, const void* element) {
  if (index >= arr->count) return dynarray_push(arr, element);
  if (!grow_for_one(arr, &element)) return nullptr;
  char* target = slot(arr, index);
  std::memmove(target + arr->element_size, target, static_cast<size_t>(arr->count - index) * arr->element_size);
  // A source among the slots that just moved up is now one slot further on.
  const char* source = static_cast<const char*>(element);
  if (source && source >= target && source < slot(arr, arr->count)) source += arr->element_size;
  fill_slot(arr, target, source);
  ++arr->count;
  return target;
}

void* dynarray_get(const DynArray* arr, uint32_t index) {
  if (!arr || index >= arr->count) return nullptr;
  return slot(arr, index);
}

void dynarray_remove(DynArray* arr, uint32_t index) {
  if (!arr || index >= arr->count) return;
  destroy(arr, index);
  char* target = slot(arr, index);
  std::memmove(target, target + arr->element_size, static_cast<size_t>(arr->count - index - 1) * arr->element_size);
  --arr->count;
}

bool dynarray_pop(DynArray* arr) {
  if (!arr || arr->count == 0) return false;
  destroy(arr, arr->count - 1);
  --arr->count;
  return true;
}

void dynarray_clear(DynArray* arr) {
  if (!arr) return;
  for (uint32_t i = 0; i < arr->count; ++i) destroy(arr, i);
  arr->count = 0;
}

void dynarray_free(DynArray* arr) {
  if (!arr) return;
  dynarray_clear(arr);
  xlsx_free(arr->data);
  arr->data = nullptr;
  arr->capacity = 0;
}

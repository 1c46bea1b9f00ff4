// DynArray: a dynamic array of fixed-size elements with an optional element destructor.
// Growing operations leave the array unchanged and report failure when they cannot allocate.
#pragma once

#include <cstdint>

#include "lib/base/status.h"

typedef void (*DynArrayDestructor)(void* element);  // receives a pointer to the element's slot

struct DynArray {
  void* data;                             // capacity x element_size bytes; null until the first growth
  uint32_t count;                         // elements in use
  uint32_t capacity;                      // element slots allocated
  uint32_t element_size;                  // never 0
  DynArrayDestructor element_destructor;  // may be null
};

// Empty array without storage; an element size of 0 is stored as 1. arr must not be null.
void dynarray_init(DynArray* arr, uint32_t element_size, DynArrayDestructor destructor);
// capacity >= need (8, 16, 32, ... elements); XLSX_ERR_NO_MEMORY when it cannot grow or the byte size
// would pass 32 bits. Growing moves the block: element pointers are invalidated.
xlsx_status dynarray_reserve(DynArray* arr, uint32_t need);
// Copies element (zero-fills when null; it may be an element of arr) into a new last slot; pointer to the slot, null on
// failure.
void* dynarray_push(DynArray* arr, const void* element);
// Inserts at index (appends when index >= count); pointer to the slot, null on failure.
void* dynarray_insert(DynArray* arr, uint32_t index, const void* element);
// Pointer to slot index, or null when index >= count. Valid until the next growing or shifting call.
void* dynarray_get(const DynArray* arr, uint32_t index);
// Destroys and removes slot index, shifting later slots down; nothing when index >= count or arr is null.
void dynarray_remove(DynArray* arr, uint32_t index);
// Destroys and removes the last slot; false when empty.
bool dynarray_pop(DynArray* arr);
// Destroys every element in index order; storage stays. Null arr is ignored.
void dynarray_clear(DynArray* arr);
// Clears and releases the storage; null arr is ignored.
void dynarray_free(DynArray* arr);

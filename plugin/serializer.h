// The table serializer the host drives: a host table written as the first worksheet of a workbook to a
// byte stream, and read back, through a temporary file.
#pragma once

#include <cstdint>

#include "plugin/host_api.h"

// New serializer state for writing (write given) or reading (write null); null on failure.
void* InitSerializer(SerialReadFn read, SerialWriteFn write, void* user, const HostTag* options);
// Finishes (writing: saves and streams the workbook) and frees the state; 1 on success, 0 on failure.
int32_t FreeSerializer(void* state);
// Stores one item; 1 on success, 0 on failure.
int32_t SerializeItem(void* state, const SerialItem* key, const SerialItem* value);
// Gives the next item, or sets *done at the end; 1 on success, 0 when a text cannot be converted.
int32_t DeserializeItem(void* state, SerialItem* key, SerialItem* value, uint32_t* done);

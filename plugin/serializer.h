// The table serializer the host drives: a host table written as the first worksheet of a workbook to a
// byte stream, and read back, through a temporary file named by the host. An inner table with 0-based
// key r is row r + 1; its item with 0-based key c is the cell in column c + 1.
#pragma once

#include <cstdint>

#include "plugin/host_api.h"

// New serializer state for writing (write given) or reading (write null, read given: the whole stream is
// copied to the temporary file and opened); null on any failure, with the temporary file removed. The
// state belongs to the host until FreeSerializer. options: tag 1 source encoding, tag 2 target encoding.
void* InitSerializer(SerialReadFn read, SerialWriteFn write, void* user, const HostTag* options);
// Finishes (writing: saves the workbook and streams it to the write callback) and frees the state and
// the temporary file on every path; 1 on success, 0 on failure or for a null state. The state is invalid
// afterwards, and so are the items the last DeserializeItem handed out.
int32_t FreeSerializer(void* state);
// Stores one item on the first sheet; 1 on success, 0 (sheet unchanged) for a null or reading state, a
// key that is not a number in range, a nested table, a text that cannot be converted, or a failed store.
int32_t SerializeItem(void* state, const SerialItem* key, const SerialItem* value);
// Gives the next item, or sets *done at the end; 1 on success, 0 for null arguments, a writing state or a
// text that cannot be converted. The items point into the state: valid until the next call or FreeSerializer.
int32_t DeserializeItem(void* state, SerialItem* key, SerialItem* value, uint32_t* done);

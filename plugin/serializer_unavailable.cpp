// The serializer entry points until the table serializer is built (plugin/serializer.cpp replaces this
// file): every call reports failure, so hosts see "cannot serialize" rather than an empty workbook.
#include "plugin/serializer.h"

void* InitSerializer(SerialReadFn, SerialWriteFn, void*, const HostTag*) { return nullptr; }
int32_t FreeSerializer(void*) { return 0; }
int32_t SerializeItem(void*, const SerialItem*, const SerialItem*) { return 0; }
int32_t DeserializeItem(void*, SerialItem*, SerialItem*, uint32_t*) { return 0; }

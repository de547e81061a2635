#pragma once

#include <cstdint>

#include "memory/memory_image.h"

namespace kvtlnk {

// The image's records as bytes, for applications that keep them (files, an archive) and give
// them back: kind, version word, 7-byte date stamp in wire order, data. Memories are named by
// their store ids (1 procedure, 2 results); results are the library's result codes.

// The memory a store id names; false for any other number.
bool memoryOfId(uint32_t id, Memory* memory);

// Appends a record to a memory as an upload does, undecoded: kind and version 0 to 65,535, a
// stamp of 7 bytes (nullptr: the store's clock), 1 to 64,976 data bytes. index receives the
// record's index, or -1; it may be nullptr. 0; 2013 for an argument outside those bounds; 2012
// when the store cannot take the record. A failure leaves the image as it was.
uint32_t loadRecord(MemoryImage& image, uint32_t memory, uint32_t kind, uint32_t version,
                    const uint8_t* stamp, const uint8_t* data, uint32_t length, int32_t* index);

// A record's fields into the caller's outputs, each of which may be nullptr; its data into
// data unless that is nullptr. 0; 2013 for another memory, or a capacity below the record's
// length (data untouched, the rest filled); 2014 when there is no record at the index (kind,
// version and length 0, stamp and data untouched).
uint32_t readRecord(const MemoryImage& image, uint32_t memory, int32_t index, uint32_t* kind,
                    uint32_t* version, uint8_t* stamp, uint32_t* length, uint8_t* data,
                    uint32_t capacity);

// Removes the records of a memory from index on; index may be the memory's count (nothing is
// removed). 0; 2013 for another memory; 2014 for an index outside 0 to the count.
uint32_t truncateRecords(MemoryImage& image, uint32_t memory, int32_t index);

}  // namespace kvtlnk

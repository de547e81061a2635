#pragma once

#include <cstdint>

#include "memory/memory_image.h"

namespace kvtlnk {

// Decodes the record that ref names as a calibration result (kind 7 or 8): its references,
// entries and optional parts, each within the record. It must name a SETUP_5 record whose head
// is whole and a strategy with as many points as it has entries.
bool decodeCalResult(MemoryImage& image, RecordRef ref, CalResultView* view);

// Makes the result at a results-memory index the image's current result; false when there is
// none there or it does not decode.
bool selectResult(MemoryImage& image, int32_t index);

}  // namespace kvtlnk

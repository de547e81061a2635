#pragma once

#include <cstdint>

#include "memory/memory_image.h"
#include "setup/range_tables.h"
#include "setup/setup_state.h"

namespace kvtlnk {

// Decodes the record that ref names as a calibration result (kind 7 or 8): its references,
// entries and optional parts, each within the record. It must name a SETUP_5 record whose head
// is whole and a strategy with as many points as it has entries.
bool decodeCalResult(MemoryImage& image, RecordRef ref, CalResultView* view);

// Makes the result at a results-memory index the image's current result, decoding it unless
// the image holds it decoded already; false when there is none there or it does not decode.
bool selectResult(MemoryImage& image, int32_t index);

// The ranges one side of a result's values was taken in: for thermocouples and RTDs the one
// of the setup's sensor type, for other functions the one of the group that each entry's range
// code names.
struct SideRanges {
    const RangeGroup* group = &kSentinelRangeGroup;
    const RangeEntry* bySensor = nullptr;

    const RangeEntry& of(uint8_t code) const {
        return bySensor != nullptr ? *bySensor : rangeEntry(*group, code, 0);
    }
};

// The setup a result ran with, restored into an object of its own (never the global one), and
// the ranges of both sides found in it; a pressure side's group lies in that object.
struct EntryRanges {
    SetupState setup;
    SideRanges in;
    SideRanges out;
};

}  // namespace kvtlnk

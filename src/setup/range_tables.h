#pragma once

#include <cstdint>

namespace kvtlnk {

class SetupState;

// One measure or source range: its limits in the group's base units (amps, volts, hertz,
// ohms, degrees) and how a reading in it is displayed.
struct RangeEntry {
    uint8_t kind;        // sensor type for tc and RTD ranges, else 0
    const char* format;  // printf format of a reading (a few end in a blank)
    uint32_t prefix;     // unit-prefix index of the display units
    float low;
    float high;
};

// The ranges of one function in one units code. Entry i is range number first + i.
struct RangeGroup {
    const RangeEntry* entries;
    uint32_t last;
    uint32_t first;
    uint32_t isSigned;  // 0: a negative value is looked up by its magnitude
    uint32_t function;
    uint32_t units;
};

// The groups of one side, ended by a null pointer.
using RangeTable = const RangeGroup* const*;

extern const RangeGroup* const inputRanges[];   // measure side
extern const RangeGroup* const outputRanges[];  // source side

// A missing range ("<Nr>", all numbers 0) and the group that stands for a missing group.
extern const RangeEntry kEmptyRangeEntry;
extern const RangeGroup kSentinelRangeGroup;

// The group of a function in units: the owner's own pressure group for function 14 (whatever
// the units), else the table's first matching group, else the sentinel group.
const RangeGroup& findGroup(RangeTable table, const SetupState& owner, uint32_t function,
                            uint32_t units);

// A nonzero number gives that range's entry (the empty entry outside the group); number 0
// gives the highest-numbered entry of the given kind (the empty entry when there is none).
const RangeEntry& rangeEntry(const RangeGroup& group, uint32_t number, uint32_t kind);

// A starting value for a newly chosen function or sensor: the low limit of the group's first
// range (of the given kind) when it is 0 or more; 0.0 for a range spanning zero; else its high
// limit. 0.0 for a missing group or kind.
float defaultValue(RangeTable table, const SetupState& owner, uint32_t function, uint32_t units,
                   uint32_t kind);

// Automatic range choice with hysteresis: the range number that takes value, or 0. With a
// nonzero start (ignored when kind is nonzero) the start range is kept while the value stays
// inside its own limits, else the nearest range upward or downward that holds it is chosen;
// with start 0 the first range of the kind that holds the value.
uint32_t findRange(RangeTable table, const SetupState& owner, uint32_t function, uint32_t units,
                   uint32_t kind, uint32_t start, float value);

}  // namespace kvtlnk

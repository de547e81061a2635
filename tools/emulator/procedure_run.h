#pragma once

#include <cstdint>
#include <vector>

#include "emu_memory.h"

namespace k27emu {

struct RunSummary {
    int templatesRun = 0;      // templates performed, each leaving three items
    int templatesSkipped = 0;  // templates whose strategy or setup is missing or unreadable,
                               // or that found the results memory full
};

// Performs every TEMPLATE of the procedure memory as a technician would in the field, in
// memory order, and appends to the results memory what the calibrator stores for each: a
// SETUP_5 copy of the template's setup, a calibration result (kind 7) that refers to that copy
// and to the template's strategy with one entry per strategy point, and a TAG_ID. The readings
// follow from the setup's scales and ranges with small errors drawn from the seed, so the
// same memories and seed always give the same results. New items carry the given stamp.
RunSummary runProcedures(const EmuMemory& procedure, EmuMemory& results, uint32_t seed,
                         const DateStamp& stamp);

// The setup record of kind 1 ... 5 rewritten in the form of kind 5: the min/max and logging
// blocks dropped, an output block of zeros added when the form had none. False when the
// record is not a setup or is shorter than its blocks.
bool setupAsForm5(const EmuRecord& setup, std::vector<uint8_t>* out);

}  // namespace k27emu

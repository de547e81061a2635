// The state a resident emulator keeps between runs: both memories, its clock and the seed of
// its instruments, in one JSON file that is also a memory file (kvtsim --image, kvtlnk show):
//   {"kvtsimState": 1, "seed": 1, "clockOffsetSeconds": 2592000, "inServiceSince": 1800000000,
//    "clock": "2027-02-14 09:00:00", "procedure": [ITEM...], "results": [ITEM...]}
// "clock" (the emulator's time when written) is for the reader and ignored when loading.
#pragma once

#include <cstdint>
#include <string>

#include "common/image_file.h"

namespace k27emu {

struct EmulatorState {
    kvttools::MemoryFile memories;
    uint32_t seed = 1;               // the readings and the instruments' drifts
    int64_t clockOffsetSeconds = 0;  // the emulator's clock less the host's
    int64_t inServiceSince = 0;      // the emulator's time when the state was made
};

constexpr int kStateFormat = 1;

// Reads and checks a state file as untrusted input: a bounded read, then every field (the
// format number, whole numbers within their range, both memory lists as a memory file's). False
// with "PATH: field: message", and *state untouched.
bool loadState(const std::string& path, EmulatorState* state, std::string* error);
std::string formatState(const EmulatorState& state, int64_t hostNow);

}  // namespace k27emu

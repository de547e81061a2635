#pragma once

#include <cstdint>

#include "setup/name_tables.h"
#include "setup/setup_state.h"

namespace kvtlnk {

// Whether the calibrator can source the function (every function but "current_sink" can be
// measured). False for codes past the last function.
bool isSourceFunction(uint32_t function);

// 0 when the function takes the units (0 standing for the function's own) and, for tc and RTD
// functions, the sensor type is not "none"; else kStatusCombination.
uint16_t checkCombination(uint32_t function, uint32_t units, uint32_t tcType, uint32_t rtdType);

// Loop power counts as on for "24v" and "28v".
inline bool loopPowerOn(uint32_t code) {
    return code == kLoop24v || code == kLoop28v;
}

// The end of a setter: status = code, false.
inline bool refuse(SetupState& s, uint16_t code) {
    s.status = code;
    return false;
}

// The end of a setter that made its setting: a warning from the clash rules goes to status and
// makes the result false; no warning, true.
inline bool settle(SetupState& s, uint16_t warning) {
    return warning == 0 || refuse(s, warning);
}

}  // namespace kvtlnk
